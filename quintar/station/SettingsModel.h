// The station's settings as one table: every value the operator sets, with its profile section and
// key, kind, allowed values, default, the setup command's name for it and its help line; and the
// user table with its ten slots. `quintar setup`, the Setup dialog and the station's start take
// their rules and key names from here only, so they cannot disagree.
#pragma once

#include <array>
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

// A key is either one of the library's (its name composed by the library's key table) or one that
// only the host reads, named here.
struct KeyRef {
    std::optional<brenlow::server::Key> library;
    const char* section = nullptr;  // host keys only
    const char* name = nullptr;
};

struct Row {
    Id id;
    KeyRef key;
    Kind kind;
    int min, max;                     // Range
    std::span<const int> choices;     // Choice
    int intDefault;
    const char* textDefault;
    const char* shellName;   // "set <shellName> <shellValue>"
    const char* shellValue;
    const char* help;
};

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

// A value as the operator types it (setup command or dialog): the value to store, or why not.
// Switches take "on"/"off" or "1"/"0"; folders must exist and are made absolute.
struct Parsed {
    std::optional<int> number;
    std::optional<std::string> text;
    Refusal refusal;
};
Parsed Parse(Id id, const std::string& typed);

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
void StoreUser(Entries& entries, int slot, const UserRecord& user);  // an empty record frees the slot

Refusal CheckUserId(std::string_view id);
Refusal CheckPassword(std::string_view password);
Refusal CheckDescription(std::string_view description);
bool SameUserId(std::string_view a, std::string_view b);  // letter case ignored, as the dialog compares

// The lines of `quintar setup --help` that list the settings, from the rows.
std::string SetCommandHelp();

}  // namespace quintar::settings
