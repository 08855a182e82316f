// The settings table and the rules that read, check and write its values.
#include "SettingsModel.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace quintar::settings {

namespace {

using brenlow::server::Key;

constexpr KeyRef Library(Key key)
{
    const brenlow::server::KeyRow& k = brenlow::server::Row(key);
    return {key, nullptr, nullptr, k.intDefault, k.textDefault};
}

constexpr KeyRef Host(const char* section, const char* name, int intDefault = 0)
{
    return {std::nullopt, section, name, intDefault, ""};
}

// One setting, its default its key's.
constexpr Row Setting(Id id, KeyRef key, Kind kind, int min, int max, std::span<const int> choices,
                      const char* shellName, const char* shellValue, const char* help)
{
    return {id, key, kind, min, max, choices, key.intDefault, key.textDefault, shellName, shellValue, help};
}

constexpr char kVoiceSection[] = "Voice";

constexpr Row kRows[] = {
    Setting(Id::ComPort, Library(Key::ComPort), Kind::Range, kMinComPort, kMaxComPort, {}, "com-port", "N",
            "serial port number of the radio, {} (its device: set com-device)"),
    Setting(Id::ComBaud, Library(Key::ComBaud), Kind::Choice, 0, 0, kBaudRates, "baud", "B", "serial speed: {}"),
    Setting(Id::TcpPort, Library(Key::IpPort), Kind::Range, kMinTcpPort, kMaxTcpPort, {}, "tcp-port", "P",
            "TCP port of the session server, {}"),
    Setting(Id::Tls, Library(Key::Tls), Kind::Switch, 0, 1, {}, "tls", "on|off",
            "TLS port of the session server (its key: quintar setup tls)"),
    Setting(Id::TlsPort, Library(Key::TlsPort), Kind::Range, 0, kMaxTcpPort, {}, "tls-port", "P",
            "TCP port of the TLS server, 1024..65535; 0: tcp-port + 1"),
    Setting(Id::Plain, Library(Key::Plain), Kind::Switch, 0, 1, {}, "plain", "on|off",
            "clear-text session port (tcp-port); off needs tls on"),
    Setting(Id::SessionTime, Library(Key::SessionTime), Kind::Choice, 0, 0, kSessionMinutes, "session-time", "MIN",
            "session limit in minutes: {}"),
    Setting(Id::Log, Library(Key::Log), Kind::Switch, 0, 1, {}, "log", "on|off [--folder DIR]",
            "access log; on needs a folder (an existing one)"),
    Setting(Id::LogFolder, Library(Key::LogFilePath), Kind::Folder, 0, 0, {}, nullptr, nullptr,
            "folder of the access log files"),
    Setting(Id::Voice, Library(Key::Voice), Kind::Switch, 0, 1, {}, "voice", "on|off",
            "offer a voice call to logged-in clients (where voice works here)"),
    Setting(Id::SipPort, Host(kVoiceSection, "SIP Port", 5060), Kind::Range, 1, 65535, {}, "sip-port", "P",
            "UDP and TCP port of the voice calls' SIP listener"),
    Setting(Id::BindAddress, Host(kVoiceSection, "Bind Address"), Kind::Text, 0, 0, {}, "sip-address", "ADDRESS",
            "address the SIP listener uses; empty: every address"),
    Setting(Id::CaptureDevice, Host(kVoiceSection, "Capture Device"), Kind::Text, 0, 0, {}, "capture-device", "NAME",
            "sound device the caller hears (the radio's receive audio); empty: the system's default"),
    Setting(Id::PlaybackDevice, Host(kVoiceSection, "Playback Device"), Kind::Text, 0, 0, {}, "playback-device",
            "NAME", "sound device the caller is played to (the radio's transmit audio); empty: the system's default"),
    Setting(Id::PlayFile, Host(kVoiceSection, "Play File"), Kind::File, 0, 0, {}, "play-file", "WAV",
            "file mode: the caller hears this WAV file instead of a sound device; empty: devices"),
    Setting(Id::RecordFile, Host(kVoiceSection, "Record File"), Kind::File, 0, 0, {}, "record-file", "WAV",
            "file mode: what the caller says is recorded to this WAV file"),
    Setting(Id::WindowPosition, Library(Key::WindowPos), Kind::Text, 0, 0, {}, nullptr, nullptr,
            "where the window was last"),
};

constexpr bool RowsInIdOrder()
{
    for (std::size_t i = 0; i < std::size(kRows); ++i)
        if (static_cast<std::size_t>(kRows[i].id) != i)
            return false;
    return true;
}
static_assert(RowsInIdOrder(), "one row per setting, in the order of Id");

// Only a row with values to list says where they go in its help.
constexpr bool HelpListsValuesOnlyWhereThereAreSome()
{
    for (const Row& row : kRows)
        if (std::string_view(row.help).find("{}") != std::string_view::npos && row.kind != Kind::Range &&
            row.kind != Kind::Choice)
            return false;
    return true;
}
static_assert(HelpListsValuesOnlyWhereThereAreSome(), "\"{}\" in the help of a setting without a range or choices");

bool IsDecimal(std::string_view text)
{
    return !text.empty() && text.size() <= 9 && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool HasControlCharacter(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b < 0x20 || b == 0x7F;
    });
}

std::string Slot(int slot)
{
    char text[8];
    std::snprintf(text, sizeof text, "%03d", slot);
    return text;
}

// A typed text in a message of one line: its control characters written as escapes.
std::string Quoted(std::string_view text)
{
    std::string quoted = "\"";
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", b);
            quoted += escape;
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

std::string ChoiceList(Id id, std::span<const int> choices)
{
    std::string list;
    for (std::size_t i = 0; i < choices.size(); ++i) {
        if (i > 0)
            list += i + 1 == choices.size() ? " or " : ", ";
        list += id == Id::SessionTime && choices[i] == 0 ? "unlimited (0)" : std::to_string(choices[i]);
    }
    return list;
}

Refusal CheckCredential(std::string_view text, const char* what, std::size_t maxLength)
{
    if (text.empty())
        return std::string(what) + " must not be empty";
    if (text.size() > maxLength)
        return std::string(what) + " has more than " + std::to_string(maxLength) + " characters";
    if (!brenlow::server::IsValidCredential(text))
        return std::string(what) + " has an invalid character (allowed: '!' to DEL, 0x21..0x7F, except ';')";
    return std::nullopt;
}

}  // namespace

std::span<const Row> Rows()
{
    return kRows;
}

const Row& RowOf(Id id)
{
    return kRows[static_cast<std::size_t>(id)];
}

const Row* RowNamed(std::string_view shellName)
{
    for (const Row& row : kRows)
        if (row.shellName && shellName == row.shellName)
            return &row;
    return nullptr;
}

std::string SectionOf(Id id)
{
    const KeyRef& k = RowOf(id).key;
    return k.library ? brenlow::server::Row(*k.library).section : k.section;
}

std::string KeyOf(Id id)
{
    const KeyRef& k = RowOf(id).key;
    return k.library ? brenlow::server::KeyName(*k.library) : k.name;
}

int ReadInt(brenlow::Profile& profile, Id id)
{
    return profile.GetInt(SectionOf(id), KeyOf(id), RowOf(id).intDefault);
}

std::string ReadText(brenlow::Profile& profile, Id id)
{
    return profile.GetString(SectionOf(id), KeyOf(id), RowOf(id).textDefault);
}

Entry MakeEntry(Id id, int value)
{
    return {SectionOf(id), KeyOf(id), value};
}

Entry MakeEntry(Id id, std::string value)
{
    return {SectionOf(id), KeyOf(id), std::move(value)};
}

Refusal StoredNotANumber(brenlow::Profile& profile, Id id)
{
    const Row& row = RowOf(id);
    if (row.kind != Kind::Range && row.kind != Kind::Choice && row.kind != Kind::Switch)
        return std::nullopt;
    const std::string stored = profile.GetString(SectionOf(id), KeyOf(id), "");
    bool number = false;
    QString::fromStdString(stored).trimmed().toInt(&number);  // as the profile reads numbers
    if (stored.empty() || number)
        return std::nullopt;
    return "the setting \"" + KeyOf(id) + "\" is " + Quoted(stored) + ", not a number";
}

Parsed Parse(Id id, const std::string& typed)
{
    const Row& row = RowOf(id);
    Parsed p;
    switch (row.kind) {
    case Kind::Range:
        if (!IsDecimal(typed) || std::stoi(typed) < row.min || std::stoi(typed) > row.max)
            p.refusal = Quoted(typed) + " is not a number from " + std::to_string(row.min) + " to " + std::to_string(row.max);
        else if (id == Id::TlsPort && std::stoi(typed) != 0 && std::stoi(typed) < kMinTcpPort)
            p.refusal = Quoted(typed) + " is neither 0 nor a number from " + std::to_string(kMinTcpPort) + " to " +
                        std::to_string(kMaxTcpPort);
        else
            p.number = std::stoi(typed);
        break;
    case Kind::Choice: {
        // The session limit also takes the word the dialog shows for 0.
        const std::string value = id == Id::SessionTime && typed == "unlimited" ? "0" : typed;
        if (IsDecimal(value) && std::find(row.choices.begin(), row.choices.end(), std::stoi(value)) != row.choices.end())
            p.number = std::stoi(value);
        else
            p.refusal = Quoted(typed) + " is not one of " + ChoiceList(id, row.choices);
        break;
    }
    case Kind::Switch:
        if (typed == "on" || typed == "1")
            p.number = 1;
        else if (typed == "off" || typed == "0")
            p.number = 0;
        else
            p.refusal = Quoted(typed) + " is neither on nor off";
        break;
    case Kind::Folder: {
        const QFileInfo info(QString::fromLocal8Bit(typed.c_str()));
        if (typed.empty() || !info.isDir())
            p.refusal = "folder " + Quoted(typed) + " is not an existing folder";
        else if (info.absoluteFilePath().toLocal8Bit().size() > static_cast<qsizetype>(kMaxFolderLength))
            p.refusal = "folder path is longer than " + std::to_string(kMaxFolderLength) + " characters";
        else
            p.text = info.absoluteFilePath().toLocal8Bit().toStdString();
        break;
    }
    case Kind::Text:
        if (HasControlCharacter(typed))
            p.refusal = Quoted(typed) + " has a control character";
        else
            p.text = typed;
        break;
    case Kind::File:
        if (!typed.empty() && (typed[0] != '/' || HasControlCharacter(typed)))
            p.refusal = "file " + Quoted(typed) + " is not an absolute path";
        else
            p.text = typed;
        break;
    }
    return p;
}

int EffectiveTlsPort(brenlow::Profile& profile)
{
    const int port = ReadInt(profile, Id::TlsPort);
    return port != 0 ? port : ReadInt(profile, Id::TcpPort) + 1;
}

std::string ComDeviceKey(int port)
{
    return "COM" + std::to_string(port);
}

std::string DefaultComDevice(int port)
{
    return "/dev/ttyS" + std::to_string(port - 1);
}

std::string ReadComDevice(brenlow::Profile& profile, int port)
{
    return profile.GetString(kPortsSection, ComDeviceKey(port), DefaultComDevice(port));
}

Refusal CheckComDevice(std::string_view path)
{
    if (path.empty() || path[0] != '/' || HasControlCharacter(path))
        return "device " + Quoted(path) + " is not an absolute path";
    return std::nullopt;
}

// ---- Users -------------------------------------------------------------------------------------

namespace {

const brenlow::server::KeyRow& UserKeyRow(UserField field)
{
    static constexpr Key kKeys[] = {Key::UserId, Key::Password, Key::Description, Key::UserDisabled};
    return brenlow::server::Row(kKeys[static_cast<int>(field)]);
}

std::string ReadUserText(brenlow::Profile& profile, int slot, UserField field)
{
    const brenlow::server::KeyRow& k = UserKeyRow(field);
    return profile.GetString(k.section, UserKey(slot, field), k.textDefault);
}

}  // namespace

std::string UserKey(int slot, UserField field)
{
    return brenlow::server::KeyName(UserKeyRow(field).key, slot);
}

UserTable LoadUsers(brenlow::Profile& profile)
{
    UserTable users;
    for (int slot = 0; slot < kUserSlots; ++slot) {
        std::string id = ReadUserText(profile, slot, UserField::Id);
        if (id.empty())
            continue;
        UserRecord u;
        u.id = std::move(id);
        u.password = ReadUserText(profile, slot, UserField::Password);
        u.description = ReadUserText(profile, slot, UserField::Description);
        const brenlow::server::KeyRow& disabled = UserKeyRow(UserField::Disabled);
        u.disabled = profile.GetInt(disabled.section, UserKey(slot, UserField::Disabled), disabled.intDefault) ? 1 : 0;
        users[static_cast<std::size_t>(slot)] = std::move(u);
    }
    return users;
}

std::vector<std::string> UserSlotWarnings(SettingsProfile& profile)
{
    std::vector<std::string> warnings;
    const UserTable users = LoadUsers(profile);
    std::array<bool, kUserSlots> named{};
    for (int slot = 0; slot < kUserSlots; ++slot) {
        if (!users[slot] || named[slot])
            continue;
        std::string held = Slot(slot);
        bool exactOnly = true;
        int count = 1;
        for (int other = slot + 1; other < kUserSlots; ++other) {
            if (!users[other] || !SameUserId(users[other]->id, users[slot]->id))
                continue;
            named[other] = true;
            exactOnly = exactOnly && users[other]->id == users[slot]->id;
            held += ", " + Slot(other);
            ++count;
        }
        if (count == 1)
            continue;
        warnings.push_back("user id " + Quoted(users[slot]->id) + " is in slots " + held +
                           (exactOnly ? "; logins use slot " + Slot(slot) + " only"
                                      : " (letter case ignored); quintar setup counts them as one user"));
    }
    // Slots are "VEXA 000 User ID" to "VEXA 009 User ID"; any other number is read by nothing.
    const brenlow::server::KeyRow& userId = UserKeyRow(UserField::Id);
    const std::string prefix = std::string(brenlow::server::kVexa) + " ", suffix = std::string(" ") + userId.word;
    for (const std::string& key : profile.Keys(userId.section)) {
        if (key.size() <= prefix.size() + suffix.size() || key.compare(0, prefix.size(), prefix) != 0 ||
            key.compare(key.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        const std::string number = key.substr(prefix.size(), key.size() - prefix.size() - suffix.size());
        if (!IsDecimal(number) || (number.size() == 3 && std::stoi(number) < kUserSlots))
            continue;
        const std::string id = profile.GetString(userId.section, key, userId.textDefault);
        if (!id.empty())
            warnings.push_back("user id " + Quoted(id) + " in slot " + number + " is ignored: the user slots are " +
                               Slot(0) + " to " + Slot(kUserSlots - 1));
    }
    return warnings;
}

void StoreUser(Entries& entries, int slot, const UserRecord& u)
{
    auto entry = [slot](UserField field, std::variant<int, std::string> value) {
        return Entry{UserKeyRow(field).section, UserKey(slot, field), std::move(value)};
    };
    entries.push_back(entry(UserField::Id, u.id));
    entries.push_back(entry(UserField::Password, u.password));
    entries.push_back(entry(UserField::Description, u.description));
    entries.push_back(entry(UserField::Disabled, u.disabled));
}

Refusal CheckUserId(std::string_view id)
{
    return CheckCredential(id, "user id", kMaxUserIdLength);
}

bool HasInvalidCredentialCharacter(std::string_view text)
{
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return !brenlow::server::IsCredentialCharacter(static_cast<unsigned char>(c)); });
}

Refusal CheckPassword(std::string_view password)
{
    return CheckCredential(password, "password", kMaxPasswordLength);
}

Refusal CheckDescription(std::string_view description)
{
    if (description.size() > kMaxDescriptionLength)
        return "description has more than " + std::to_string(kMaxDescriptionLength) + " bytes";
    if (HasControlCharacter(description))
        return std::string("description has a tab, line break or other control character");
    return std::nullopt;
}

bool SameUserId(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

std::string AllowedValues(Id id)
{
    const Row& row = RowOf(id);
    if (row.kind == Kind::Choice)
        return ChoiceList(id, row.choices);
    return std::to_string(row.min) + ".." + std::to_string(row.max);
}

std::string SetCommandHelp()
{
    std::string help;
    auto line = [&help](const std::string& command, const std::string& text) {
        char buffer[256];
        std::snprintf(buffer, sizeof buffer, "  %-37s%s\n", command.c_str(), text.c_str());
        help += buffer;
    };
    for (const Row& row : kRows) {
        if (!row.shellName)
            continue;
        std::string text = row.help;
        if (const std::size_t at = text.find("{}"); at != std::string::npos)
            text.replace(at, 2, AllowedValues(row.id));
        line(std::string("set ") + row.shellName + " " + row.shellValue, text);
        if (row.id == Id::ComPort)
            line("set com-device N PATH", "serial device of port N (default /dev/ttyS<N-1>)");
    }
    return help;
}

// ---- The Setup dialog ----------------------------------------------------------------------------

namespace {

// How the dialog's drop-down lists show their values; `zero` shows the value 0.
struct ListFormat {
    Id id;
    const char* format;
    const char* zero;
};
constexpr ListFormat kListFormats[] = {
    {Id::ComPort, "    COM%d", nullptr},
    {Id::ComBaud, "%8dbps", nullptr},
    {Id::SessionTime, "%6d", "   Unlimited"},
};

const ListFormat& ListFormatOf(Id id)
{
    for (const ListFormat& f : kListFormats)
        if (f.id == id)
            return f;
    return kListFormats[0];
}

std::vector<int> ListValues(Id id)
{
    const Row& row = RowOf(id);
    if (row.kind == Kind::Choice)
        return {row.choices.begin(), row.choices.end()};
    std::vector<int> values;
    for (int v = row.min; v <= row.max; ++v)
        values.push_back(v);
    return values;
}

}  // namespace

int Normalized(Id id, int value)
{
    const Row& row = RowOf(id);
    switch (row.kind) {
    case Kind::Range:
        return value >= row.min && value <= row.max ? value : row.intDefault;
    case Kind::Choice:
        return std::find(row.choices.begin(), row.choices.end(), value) != row.choices.end() ? value : row.intDefault;
    case Kind::Switch:
        return value != 0 ? 1 : 0;
    default:
        return value;
    }
}

std::vector<std::string> ListItems(Id id)
{
    const ListFormat& f = ListFormatOf(id);
    std::vector<std::string> items;
    for (int value : ListValues(id)) {
        if (value == 0 && f.zero) {
            items.emplace_back(f.zero);
            continue;
        }
        char text[32];
        std::snprintf(text, sizeof text, f.format, value);
        items.emplace_back(text);
    }
    return items;
}

std::optional<int> ListIndexOf(Id id, int value)
{
    const std::vector<int> values = ListValues(id);
    auto at = std::find(values.begin(), values.end(), value);
    if (at == values.end()) {
        if (RowOf(id).kind == Kind::Range)
            return std::nullopt;
        at = std::find(values.begin(), values.end(), RowOf(id).intDefault);
    }
    return static_cast<int>(at - values.begin());
}

int ListValueAt(Id id, std::optional<int> index)
{
    const std::vector<int> values = ListValues(id);
    if (!index || *index < 0 || *index >= static_cast<int>(values.size()))
        return RowOf(id).intDefault;
    return values[static_cast<std::size_t>(*index)];
}

std::vector<std::string> PresentSerialDevices(const std::string& devRoot)
{
    namespace fs = std::filesystem;
    struct Group {
        const char* folder;
        const char* prefix;
    };
    static constexpr Group kGroups[] = {{"", "ttyS"}, {"", "ttyUSB"}, {"", "ttyACM"}, {"serial/by-id", ""}};
    std::vector<std::string> devices;
    for (const Group& g : kGroups) {
        const fs::path folder = g.folder[0] ? fs::path(devRoot) / g.folder : fs::path(devRoot);
        std::vector<std::pair<std::string, long>> found;  // name, number after the prefix (-1: none)
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().string();
            const std::string_view prefix = g.prefix;
            if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
                continue;
            const std::string rest = name.substr(prefix.size());
            long number = -1;
            if (!prefix.empty()) {
                if (!IsDecimal(rest))
                    continue;  // ttyS0 but not ttyStuff
                number = std::stol(rest);
            }
            found.emplace_back(name, number);
        }
        std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
            return a.second != b.second ? a.second < b.second : a.first < b.first;
        });
        for (const auto& [name, number] : found)
            devices.push_back((folder / name).string());
    }
    return devices;
}

SetupValues LoadSetup(brenlow::Profile& profile)
{
    SetupValues v;
    v.comPort = ReadInt(profile, Id::ComPort);
    v.baud = ReadInt(profile, Id::ComBaud);
    v.tcpPort = ReadInt(profile, Id::TcpPort);
    v.voice = ReadInt(profile, Id::Voice);
    v.sessionMinutes = ReadInt(profile, Id::SessionTime);
    v.log = ReadInt(profile, Id::Log);
    v.logFolder = ReadText(profile, Id::LogFolder);
    for (auto& user : LoadUsers(profile))
        if (user)
            v.users.insert(v.users.begin(), std::move(*user));
    return v;
}

Entries SetupEntries(const SetupValues& v)
{
    Entries entries;
    entries.push_back(MakeEntry(Id::Log, Normalized(Id::Log, v.log)));
    entries.push_back(MakeEntry(Id::LogFolder, v.logFolder));
    entries.push_back(MakeEntry(Id::ComPort, Normalized(Id::ComPort, v.comPort)));
    entries.push_back(MakeEntry(Id::ComBaud, Normalized(Id::ComBaud, v.baud)));
    entries.push_back(MakeEntry(Id::TcpPort, Normalized(Id::TcpPort, v.tcpPort)));
    entries.push_back(MakeEntry(Id::Voice, Normalized(Id::Voice, v.voice)));
    entries.push_back(MakeEntry(Id::SessionTime, Normalized(Id::SessionTime, v.sessionMinutes)));
    for (int slot = 0; slot < kUserSlots; ++slot) {
        const auto i = static_cast<std::size_t>(slot);
        UserRecord user = i < v.users.size() ? v.users[i] : UserRecord{};
        user.disabled = user.disabled > 0 ? 1 : 0;
        StoreUser(entries, slot, user);
    }
    for (const auto& [port, device] : v.comDevices)
        entries.push_back({kPortsSection, ComDeviceKey(port), device});
    return entries;
}

}  // namespace quintar::settings
