// The station's settings as one table: every value the operator sets, with its profile section and
// key, kind, allowed values, default, the setup command's name for it and its help line; and the
// user table with its ten slots. `quintar setup`, the Setup dialog and the station's start take
// their rules and key names from here only, so they cannot disagree.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Platform.h"
#include "SettingKeys.h"
#include "SettingsProfile.h"

namespace quintar::settings {

using Entry = SettingsProfile::Entry;
using Entries = std::vector<Entry>;
using Refusal = std::optional<std::string>;  // why a value is refused; nothing when it is taken

enum class Id {
    ComPort,
    ComBaud,
    TcpPort,
    Tls,
    TlsPort,
    Plain,
    SessionTime,
    Log,
    LogFolder,
    Voice,
    SipPort,
    BindAddress,
    CaptureDevice,
    PlaybackDevice,
    PlayFile,
    RecordFile,
    WindowPosition,  // the window's, "%05d%05d" top and left; not the operator's to set
};

enum class Kind {
    Range,   // an integer from min to max
    Choice,  // an integer from a list
    Switch,  // 0 or 1; the setup command says "on" or "off"
    Folder,  // an existing folder, stored as an absolute path
    Text,    // free text without control characters; empty for the default
    File,    // an absolute file path, or empty
};

// A key is either one of the library's (its name and default from the library's key table) or one
// that only the host reads, named here with its default.
struct KeyRef {
    std::optional<brenlow::server::Key> library;
    const char* section = nullptr;  // host keys only
    const char* name = nullptr;
    int intDefault = 0;
    const char* textDefault = "";
};

struct Row {
    Id id;
    KeyRef key;
    Kind kind;
    int min, max;                     // Range
    std::span<const int> choices;     // Choice
    int intDefault;                   // the key's
    const char* textDefault;
    const char* shellName;   // "set <shellName> <shellValue>"
    const char* shellValue;
    const char* help;        // "{}" stands for the values a Range or Choice allows
};

// The default of one of the library's keys.
constexpr int KeyDefault(brenlow::server::Key key)
{
    return brenlow::server::Row(key).intDefault;
}

inline constexpr std::array<int, 6> kBaudRates = {4800, 9600, 19200, 38400, 57600, 115200};
inline constexpr std::array<int, 14> kSessionMinutes = {0, 1, 2, 3, 5, 10, 15, 20, 30, 40, 50, 60, 90, 120};
inline constexpr int kMinComPort = 1, kMaxComPort = 20;
inline constexpr int kMinTcpPort = 1024, kMaxTcpPort = 65535;
inline constexpr int kUserSlots = brenlow::server::kUserSlots;
inline constexpr std::size_t kMaxUserIdLength = brenlow::server::kMaxUserId;
inline constexpr std::size_t kMaxPasswordLength = brenlow::server::kMaxUserId;
inline constexpr std::size_t kMaxDescriptionLength = brenlow::server::kMaxDescription;
inline constexpr std::size_t kMaxFolderLength = 260;
inline constexpr char kPortsSection[] = "Ports";  // the serial device of each "COM" port number

std::span<const Row> Rows();
const Row& RowOf(Id id);
std::string SectionOf(Id id);
std::string KeyOf(Id id);
const Row* RowNamed(std::string_view shellName);

int ReadInt(brenlow::Profile& profile, Id id);
std::string ReadText(brenlow::Profile& profile, Id id);
Entry MakeEntry(Id id, int value);
Entry MakeEntry(Id id, std::string value);
// A number setting whose stored text is no number (ReadInt gives its default then): which setting
// holds what, as in: the setting "VEXA IP Port No" is "5213O", not a number. Nothing when it is
// missing or a number.
Refusal StoredNotANumber(brenlow::Profile& profile, Id id);

// A value as the operator types it (setup command or dialog): the value to store, or why not.
// Switches take "on"/"off" or "1"/"0"; folders must exist and are made absolute.
struct Parsed {
    std::optional<int> number;
    std::optional<std::string> text;
    Refusal refusal;
};
Parsed Parse(Id id, const std::string& typed);

// The TLS port the station listens on: its setting, or 0 there for the session port + 1.
int EffectiveTlsPort(brenlow::Profile& profile);

// The serial device of "COM" port n: profile section "Ports", key "COM<n>", default /dev/ttyS<n-1>.
std::string ComDeviceKey(int port);
std::string DefaultComDevice(int port);
std::string ReadComDevice(brenlow::Profile& profile, int port);
Refusal CheckComDevice(std::string_view path);

// ---- Users -------------------------------------------------------------------------------------

struct UserRecord {
    std::string id;
    std::string password;
    std::string description;
    int disabled = 0;
    bool operator==(const UserRecord&) const = default;
};
using UserTable = std::array<std::optional<UserRecord>, kUserSlots>;

enum class UserField { Id, Password, Description, Disabled };
std::string UserKey(int slot, UserField field);  // "VEXA 007 Password"

UserTable LoadUsers(brenlow::Profile& profile);  // empty ids are free slots; disabled read as 0 or 1
// What the station and `quintar setup` say about the user slots: an id in more than one slot
// (letter case ignored; logins use the first exact one) and users in slots past 009, which
// nothing reads. One line each, naming the slots.
std::vector<std::string> UserSlotWarnings(SettingsProfile& profile);
void StoreUser(Entries& entries, int slot, const UserRecord& user);  // an empty record frees the slot

Refusal CheckUserId(std::string_view id);
// Whether a text holds a character that no user id or password may hold (an empty one does not).
bool HasInvalidCredentialCharacter(std::string_view text);
Refusal CheckPassword(std::string_view password);
Refusal CheckDescription(std::string_view description);
bool SameUserId(std::string_view a, std::string_view b);  // letter case ignored, as the dialog compares

// The lines of `quintar setup --help` that list the settings, from the rows.
std::string SetCommandHelp();
// The values a Range or Choice row allows, as the help gives them: "1..20", "4800, 9600 or 19200".
std::string AllowedValues(Id id);

// ---- The Setup dialog ----------------------------------------------------------------------------

// A value as it is saved: out of its range or set, the row's default; a switch is 0 or 1.
int Normalized(Id id, int value);

// The texts of the dialog's drop-down list of a Range or Choice row, one per value, leading
// blanks included ("    COM1", "  115200bps", "   Unlimited", "     5").
std::vector<std::string> ListItems(Id id);
// The entry that shows a stored value. A serial port outside 1..20 shows none; any other value
// outside the list shows the default's entry.
std::optional<int> ListIndexOf(Id id, int value);
// The value an entry stands for; no entry, or one beyond the list, gives the default.
int ListValueAt(Id id, std::optional<int> index);

// The serial devices present under `devRoot`: ttyS*, ttyUSB*, ttyACM* and serial/by-id/*, in
// that order, each group sorted by name with numbers in numeric order.
std::vector<std::string> PresentSerialDevices(const std::string& devRoot = "/dev");

// Everything the Setup dialog shows and saves.
struct SetupValues {
    int comPort = KeyDefault(brenlow::server::Key::ComPort);
    int baud = KeyDefault(brenlow::server::Key::ComBaud);
    int tcpPort = KeyDefault(brenlow::server::Key::IpPort);
    int voice = KeyDefault(brenlow::server::Key::Voice);
    int sessionMinutes = KeyDefault(brenlow::server::Key::SessionTime);
    int log = KeyDefault(brenlow::server::Key::Log);
    std::string logFolder;
    // Top of the dialog's list first. Loading puts the used slots in reverse order (each one goes
    // on top) and saving writes the top user to slot 000, so each save reverses the stored order;
    // stored profiles and their operators rely on that.
    std::vector<UserRecord> users;
    std::map<int, std::string> comDevices;  // serial device by port number, only those to store
};

// The values as stored, unchecked: the dialog shows them by its own rules.
SetupValues LoadSetup(brenlow::Profile& profile);
// The whole save in the dialog's order: the log, the serial and TCP settings, voice and session
// time, then all ten user slots (those beyond the users empty), then the serial devices. Values
// out of range are saved as their defaults; users beyond ten are dropped.
Entries SetupEntries(const SetupValues& values);

}  // namespace quintar::settings
