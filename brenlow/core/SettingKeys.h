// The application profile's keys as one table, and typed access to the profile the host registered
// (CBrenlow::SetProfile). Without a registered profile every read gives its default and writes are dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace brenlow::server {

enum class Key : std::uint8_t {
    ComPort,
    ComBaud,
    IpPort,
    Voice,
    SessionTime,
    Log,
    UserId,
    Password,
    Description,
    UserDisabled,
    LogFilePath,
    WindowPos,
    Tls,
    TlsPort,
    Plain,
    Count
};

// How a key's name is composed from its word.
enum class KeyForm : std::uint8_t {
    Plain,     // the word itself
    Vexa,      // "%s %s" with "VEXA"
    VexaSlot,  // "%s %03d %s" with "VEXA" and the user slot
};

enum class KeyType : std::uint8_t { Int, String };

struct KeyRow {
    Key key;
    const char* section;
    KeyForm form;
    const char* word;
    KeyType type;
    int intDefault;
    const char* textDefault;
};

inline constexpr char kVexa[] = "VEXA";
inline constexpr char kSetting[] = "Setting";
inline constexpr char kFilePath[] = "File Path";

inline constexpr KeyRow kKeys[] = {
    {Key::ComPort, kSetting, KeyForm::Plain, "COM Port", KeyType::Int, 1, ""},
    {Key::ComBaud, kSetting, KeyForm::Plain, "COM Baud", KeyType::Int, 9600, ""},
    {Key::IpPort, kSetting, KeyForm::Vexa, "IP Port No", KeyType::Int, 50000, ""},
    {Key::Voice, kSetting, KeyForm::Vexa, "Voice", KeyType::Int, 0, ""},
    {Key::SessionTime, kSetting, KeyForm::Vexa, "Session Time", KeyType::Int, 0, ""},
    {Key::Log, kSetting, KeyForm::Vexa, "Log", KeyType::Int, 0, ""},
    {Key::UserId, kSetting, KeyForm::VexaSlot, "User ID", KeyType::String, 0, ""},
    {Key::Password, kSetting, KeyForm::VexaSlot, "Password", KeyType::String, 0, ""},
    {Key::Description, kSetting, KeyForm::VexaSlot, "Description", KeyType::String, 0, ""},
    {Key::UserDisabled, kSetting, KeyForm::VexaSlot, "User Disabled", KeyType::Int, 0, ""},
    {Key::LogFilePath, kFilePath, KeyForm::Vexa, "Log File Path", KeyType::String, 0, ""},
    {Key::WindowPos, "WindowPos", KeyForm::Plain, "Vexa", KeyType::String, 0, ""},
    {Key::Tls, kSetting, KeyForm::Vexa, "TLS", KeyType::Int, 0, ""},
    {Key::TlsPort, kSetting, KeyForm::Vexa, "TLS Port No", KeyType::Int, 0, ""},  // 0: the session port + 1
    {Key::Plain, kSetting, KeyForm::Vexa, "Plain", KeyType::Int, 1, ""},
};

constexpr bool KeysInEnumOrder() {
    for (std::size_t i = 0; i < std::size(kKeys); ++i)
        if (static_cast<std::size_t>(kKeys[i].key) != i) return false;
    return std::size(kKeys) == static_cast<std::size_t>(Key::Count);
}
static_assert(KeysInEnumOrder(), "one row per key, in the order of Key");

inline constexpr int kUserSlots = 10;            // slots 000 to 009
inline constexpr std::size_t kMaxUserId = 32;    // also the longest password
inline constexpr std::size_t kMaxDescription = 128;

constexpr const KeyRow& Row(Key key) { return kKeys[static_cast<std::size_t>(key)]; }

// The one rule for the characters of user ids and passwords, wherever they are entered (a client's
// "@@CP", the Setup dialog, `quintar setup`): '!' to DEL (0x21..0x7F) except ';'. Blanks, control
// characters and every byte above 0x7F are refused, so a stored credential can always be typed again.
constexpr bool IsCredentialCharacter(unsigned char c) { return c >= 0x21 && c <= 0x7F && c != ';'; }
constexpr bool IsValidCredential(std::string_view text) {
    if (text.empty() || text.size() > kMaxUserId) return false;
    for (char c : text)
        if (!IsCredentialCharacter(static_cast<unsigned char>(c))) return false;
    return true;
}

// The key's name as the profile stores it; `slot` counts only for user keys.
std::string KeyName(Key key, int slot = 0);

int ReadInt(Key key, int slot = 0);
std::string ReadString(Key key, int slot = 0);
bool WriteInt(Key key, int value, int slot = 0);  // false: not stored (or no profile)
bool WriteString(Key key, const std::string& value, int slot = 0);

// The lowest slot whose user id equals `userId` byte for byte; empty slots never match.
std::optional<int> FindUser(const char* userId);

}  // namespace brenlow::server
