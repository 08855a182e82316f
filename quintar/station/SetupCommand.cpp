// `quintar setup`: parses one command, checks it against the Setup dialog's rules, and writes the
// keys it changes in one save. Passwords come from the terminal without echo or, with
// --password-stdin, from one line of standard input, never from the command line.
#include "SetupCommand.h"

#include <QFileInfo>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "HostOptions.h"
#include "ProfileKeys.h"
#include "SettingsProfile.h"
#include "Utilities.h"

namespace quintar {

namespace {

using Entries = std::vector<SettingsProfile::Entry>;
using Refusal = std::optional<std::string>;

constexpr char kUsage[] =
    "usage: quintar setup [--profile FILE] COMMAND\n"
    "\n"
    "Shows and changes the station's settings and users in the profile (default: the per-user\n"
    "profile, or the file named by QUINTAR_PROFILE). Changes take effect at the next station start;\n"
    "users and the access log settings at once.\n"
    "\n"
    "  show                                 all settings\n"
    "  set com-port N                       serial port number, 1..20\n"
    "  set com-device N PATH                serial device of port N (default /dev/ttyS<N-1>)\n"
    "  set baud B                           4800, 9600, 19200, 38400, 57600 or 115200\n"
    "  set tcp-port P                       TCP port of the session server, 1024..65535\n"
    "  set session-time MIN                 unlimited (0), 1, 2, 3, 5, 10, 15, 20, 30, 40, 50, 60, 90 or 120\n"
    "  set log on|off [--folder DIR]        access log; on needs a folder (an existing one)\n"
    "  set voice on|off                     offer voice to logged-in clients\n"
    "  user list                            the users (never their passwords)\n"
    "  user add ID [--description TEXT] [--disabled] [--password-stdin]\n"
    "  user edit ID [--description TEXT] [--disabled|--enabled] [--password|--password-stdin]\n"
    "  user delete ID | user enable ID | user disable ID\n"
    "\n"
    "User ids and passwords: 1 to 32 characters from '!' to DEL (0x21..0x7F) except ';'.\n"
    "Descriptions: at most 128 bytes, no tabs or line breaks. At most ten users; ids that differ\n"
    "only in letter case are the same id. Passwords are read from the terminal without echo, or\n"
    "with --password-stdin from one line of standard input.\n"
    "Exit status: 0 done, 1 the profile could not be saved, 2 refused (nothing changed).\n";

struct UserRecord {
    std::string id;
    std::string password;
    std::string description;
    int disabled = 0;
};
using UserTable = std::array<std::optional<UserRecord>, keys::kUserSlots>;

struct Context {
    SettingsProfile& profile;
    QStringList args;  // the command's words after its name
    std::FILE* out;
    std::FILE* err;
    Entries changes;
};

// ---- Small parsers ----------------------------------------------------------------------------

std::optional<int> ParseDecimal(const QString& text)
{
    if (text.isEmpty() || text.size() > 9)
        return std::nullopt;
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    return text.toInt();
}

std::string Bytes(const QString& text)
{
    return text.toLocal8Bit().toStdString();
}

std::string Quoted(const QString& text)
{
    std::string quoted(1, '"');
    quoted += Bytes(text);
    quoted += '"';
    return quoted;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
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

// ---- Profile -----------------------------------------------------------------------------------

UserTable LoadUsers(SettingsProfile& profile)
{
    using namespace keys;
    UserTable users;
    for (int slot = 0; slot < kUserSlots; ++slot) {
        std::string id = profile.GetString(kSetting, VexaUser(slot, kUserId), "");
        if (id.empty())
            continue;
        UserRecord u;
        u.id = std::move(id);
        u.password = profile.GetString(kSetting, VexaUser(slot, kPassword), "");
        u.description = profile.GetString(kSetting, VexaUser(slot, kDescription), "");
        u.disabled = profile.GetInt(kSetting, VexaUser(slot, kUserDisabled), 0) != 0 ? 1 : 0;
        users[slot] = std::move(u);
    }
    return users;
}

void StoreUser(Entries& changes, int slot, const UserRecord& u)
{
    using namespace keys;
    changes.push_back({kSetting, VexaUser(slot, kUserId), u.id});
    changes.push_back({kSetting, VexaUser(slot, kPassword), u.password});
    changes.push_back({kSetting, VexaUser(slot, kDescription), u.description});
    changes.push_back({kSetting, VexaUser(slot, kUserDisabled), u.disabled});
}

// The slot of a user: the same id exactly, else the only one equal ignoring case.
std::optional<int> FindUser(const UserTable& users, std::string_view id)
{
    for (int slot = 0; slot < keys::kUserSlots; ++slot)
        if (users[slot] && users[slot]->id == id)
            return slot;
    std::optional<int> found;
    for (int slot = 0; slot < keys::kUserSlots; ++slot) {
        if (users[slot] && EqualIgnoringCase(users[slot]->id, id)) {
            if (found)
                return std::nullopt;
            found = slot;
        }
    }
    return found;
}

// ---- Passwords ----------------------------------------------------------------------------------

int g_ttyFd = -1;
termios g_ttySaved{};

void RestoreEchoAndExit(int signal)
{
    ::tcsetattr(g_ttyFd, TCSAFLUSH, &g_ttySaved);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// One line from the terminal with echo off; nothing when there is no terminal.
std::optional<std::string> ReadHidden(int fd, const char* prompt)
{
    if (::write(fd, prompt, std::strlen(prompt)) < 0)
        return std::nullopt;
    termios hidden = g_ttySaved;
    hidden.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    hidden.c_lflag |= ECHONL;
    ::tcsetattr(fd, TCSAFLUSH, &hidden);
    std::string line;
    char c = 0;
    bool complete = false;
    for (;;) {
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        if (c == '\n') {
            complete = true;
            break;
        }
        line += c;
    }
    ::tcsetattr(fd, TCSAFLUSH, &g_ttySaved);
    if (!complete)
        return std::nullopt;
    return line;
}

// Asks twice, as the user editor's "Password" and "Retype Password" fields do.
std::optional<std::string> ReadPasswordFromTerminal(Refusal& refusal)
{
    const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 || ::tcgetattr(fd, &g_ttySaved) != 0) {
        if (fd >= 0)
            ::close(fd);
        refusal = "no terminal to read the password from (use --password-stdin)";
        return std::nullopt;
    }
    g_ttyFd = fd;
    auto previousInt = ::signal(SIGINT, RestoreEchoAndExit);
    auto previousTerm = ::signal(SIGTERM, RestoreEchoAndExit);
    std::optional<std::string> first = ReadHidden(fd, "Password: ");
    std::optional<std::string> second = first ? ReadHidden(fd, "Retype Password: ") : std::nullopt;
    ::signal(SIGINT, previousInt);
    ::signal(SIGTERM, previousTerm);
    ::close(fd);
    g_ttyFd = -1;
    if (!first || !second) {
        refusal = "no password was entered";
        return std::nullopt;
    }
    if (*first != *second) {
        refusal = "the two passwords differ";
        return std::nullopt;
    }
    return first;
}

std::optional<std::string> ReadPasswordFromStdin(Refusal& refusal)
{
    std::string line;
    int c = 0;
    bool any = false;
    while ((c = std::fgetc(stdin)) != EOF) {
        any = true;
        if (c == '\n')
            break;
        line += static_cast<char>(c);
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (!any) {
        refusal = "no password on standard input";
        return std::nullopt;
    }
    return line;
}

// ---- Options of the user commands ----------------------------------------------------------------

struct UserOptions {
    std::optional<QString> description;
    std::optional<int> disabled;
    enum class Password { None, Terminal, Stdin } password = Password::None;
};

// Parses the options after the user id; `allowed` lists the ones the command takes.
Refusal ParseUserOptions(const QStringList& words, const QStringList& allowed, UserOptions& options)
{
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString& w = words[i];
        if (!allowed.contains(w))
            return "unexpected argument " + Quoted(w);
        if (w == QLatin1String("--description")) {
            if (i + 1 >= words.size())
                return std::string("--description needs a text");
            options.description = words[++i];
        } else if (w == QLatin1String("--disabled") || w == QLatin1String("--enabled")) {
            const int value = w == QLatin1String("--disabled") ? 1 : 0;
            if (options.disabled && *options.disabled != value)
                return std::string("--disabled and --enabled exclude each other");
            options.disabled = value;
        } else if (w == QLatin1String("--password-stdin") || w == QLatin1String("--password")) {
            const auto from = w == QLatin1String("--password") ? UserOptions::Password::Terminal : UserOptions::Password::Stdin;
            if (options.password != UserOptions::Password::None && options.password != from)
                return std::string("--password and --password-stdin exclude each other");
            options.password = from;
        }
    }
    return std::nullopt;
}

std::optional<std::string> ObtainPassword(UserOptions::Password from, Refusal& refusal)
{
    std::optional<std::string> password =
        from == UserOptions::Password::Stdin ? ReadPasswordFromStdin(refusal) : ReadPasswordFromTerminal(refusal);
    if (!password)
        return std::nullopt;
    if (Refusal bad = CheckPassword(*password)) {
        refusal = *bad;
        return std::nullopt;
    }
    return password;
}

// ---- "set" commands ------------------------------------------------------------------------------

Refusal ExpectWords(const Context& c, qsizetype count, const char* usage)
{
    if (c.args.size() != count)
        return std::string("usage: quintar setup set ") + usage;
    return std::nullopt;
}

std::optional<int> ParsePortNumber(const QString& text)
{
    const std::optional<int> n = ParseDecimal(text);
    if (!n || *n < keys::kMinComPort || *n > keys::kMaxComPort)
        return std::nullopt;
    return n;
}

Refusal SetComPort(Context& c)
{
    if (Refusal r = ExpectWords(c, 1, "com-port N"))
        return r;
    const std::optional<int> n = ParsePortNumber(c.args[0]);
    if (!n)
        return "serial port " + Quoted(c.args[0]) + " is not a number from 1 to 20";
    c.changes.push_back({keys::kSetting, keys::kComPort, *n});
    return std::nullopt;
}

Refusal SetComDevice(Context& c)
{
    if (Refusal r = ExpectWords(c, 2, "com-device N PATH"))
        return r;
    const std::optional<int> n = ParsePortNumber(c.args[0]);
    if (!n)
        return "serial port " + Quoted(c.args[0]) + " is not a number from 1 to 20";
    const QString& path = c.args[1];
    if (!path.startsWith(QLatin1Char('/')) || path.contains(QLatin1Char('\n')))
        return "device " + Quoted(path) + " is not an absolute path";
    c.changes.push_back({keys::kPorts, keys::ComDeviceKey(*n), Bytes(path)});
    return std::nullopt;
}

Refusal SetBaud(Context& c)
{
    if (Refusal r = ExpectWords(c, 1, "baud B"))
        return r;
    const std::optional<int> n = ParseDecimal(c.args[0]);
    if (!n || std::find(keys::kBaudRates.begin(), keys::kBaudRates.end(), *n) == keys::kBaudRates.end())
        return "baud rate " + Quoted(c.args[0]) + " is not one of 4800, 9600, 19200, 38400, 57600, 115200";
    c.changes.push_back({keys::kSetting, keys::kComBaud, *n});
    return std::nullopt;
}

Refusal SetTcpPort(Context& c)
{
    if (Refusal r = ExpectWords(c, 1, "tcp-port P"))
        return r;
    const std::optional<int> n = ParseDecimal(c.args[0]);
    if (!n || *n < keys::kMinIpPort || *n > keys::kMaxIpPort)
        return "TCP port " + Quoted(c.args[0]) + " is not a number from 1024 to 65535";
    c.changes.push_back({keys::kSetting, keys::Vexa(keys::kIpPortNo), *n});
    return std::nullopt;
}

Refusal SetSessionTime(Context& c)
{
    if (Refusal r = ExpectWords(c, 1, "session-time MIN"))
        return r;
    std::optional<int> n = c.args[0] == QLatin1String("unlimited") ? std::optional<int>(0) : ParseDecimal(c.args[0]);
    const auto& allowed = keys::kSessionMinutes;
    if (!n || std::find(allowed.begin(), allowed.end(), *n) == allowed.end())
        return "session time " + Quoted(c.args[0]) +
               " is not one of unlimited (0), 1, 2, 3, 5, 10, 15, 20, 30, 40, 50, 60, 90, 120 minutes";
    c.changes.push_back({keys::kSetting, keys::Vexa(keys::kSessionTime), *n});
    return std::nullopt;
}

std::optional<int> ParseOnOff(const QString& text)
{
    if (text == QLatin1String("on"))
        return 1;
    if (text == QLatin1String("off"))
        return 0;
    return std::nullopt;
}

Refusal SetLog(Context& c)
{
    const char* usage = "log on|off [--folder DIR]";
    if (c.args.size() != 1 && !(c.args.size() == 3 && c.args[1] == QLatin1String("--folder")))
        return std::string("usage: quintar setup set ") + usage;
    const std::optional<int> on = ParseOnOff(c.args[0]);
    if (!on)
        return std::string("usage: quintar setup set ") + usage;
    std::string folder = c.profile.GetString(keys::kFilePath, keys::Vexa(keys::kLogFilePath), "");
    if (c.args.size() == 3) {
        const QFileInfo info(c.args[2]);
        if (c.args[2].isEmpty() || !info.isDir())
            return "log folder " + Quoted(c.args[2]) + " is not an existing folder";
        folder = Bytes(info.absoluteFilePath());
        if (folder.size() > keys::kMaxLogFolderLength)
            return "log folder path is longer than 260 characters";
        c.changes.push_back({keys::kFilePath, keys::Vexa(keys::kLogFilePath), folder});
    }
    if (*on && folder.empty())
        return std::string("the access log cannot be on without a folder (add --folder DIR)");
    c.changes.push_back({keys::kSetting, keys::Vexa(keys::kLog), *on});
    return std::nullopt;
}

Refusal SetVoice(Context& c)
{
    if (Refusal r = ExpectWords(c, 1, "voice on|off"))
        return r;
    const std::optional<int> on = ParseOnOff(c.args[0]);
    if (!on)
        return std::string("usage: quintar setup set voice on|off");
    if (*on && !GetVoiceEnableOS())
        return std::string("voice cannot be switched on: this system has no voice support");
    c.changes.push_back({keys::kSetting, keys::Vexa(keys::kVoice), *on});
    return std::nullopt;
}

struct CommandRow {
    const char* name;
    Refusal (*run)(Context&);
};

constexpr CommandRow kSetCommands[] = {
    {"com-port", SetComPort}, {"com-device", SetComDevice}, {"baud", SetBaud},  {"tcp-port", SetTcpPort},
    {"session-time", SetSessionTime}, {"log", SetLog},      {"voice", SetVoice},
};

// ---- "user" commands -------------------------------------------------------------------------------

Refusal TakeUserId(Context& c, std::string& id)
{
    if (c.args.isEmpty())
        return std::string("a user id is missing");
    id = Bytes(c.args.takeFirst());
    return std::nullopt;
}

Refusal FindExisting(Context& c, const UserTable& users, int& slot, std::string& id)
{
    if (Refusal r = TakeUserId(c, id))
        return r;
    const std::optional<int> found = FindUser(users, id);
    if (!found)
        return "no user " + Quoted(QString::fromLocal8Bit(id.c_str()));
    slot = *found;
    return std::nullopt;
}

Refusal UserList(Context& c)
{
    if (!c.args.isEmpty())
        return std::string("usage: quintar setup user list");
    const UserTable users = LoadUsers(c.profile);
    int count = 0;
    for (int slot = 0; slot < keys::kUserSlots; ++slot) {
        if (!users[slot])
            continue;
        const UserRecord& u = *users[slot];
        std::fprintf(c.out, "%03d  %-32s  %-8s  %s\n", slot, u.id.c_str(), u.disabled ? "disabled" : "enabled",
                     u.description.c_str());
        ++count;
    }
    if (count == 0)
        std::fprintf(c.out, "no users\n");
    return std::nullopt;
}

Refusal UserAdd(Context& c)
{
    std::string id;
    if (Refusal r = TakeUserId(c, id))
        return r;
    UserOptions options;
    if (Refusal r = ParseUserOptions(c.args, {"--description", "--disabled", "--password-stdin"}, options))
        return r;
    if (Refusal r = CheckUserId(id))
        return r;
    UserRecord user;
    user.id = id;
    user.description = options.description ? Bytes(*options.description) : std::string();
    user.disabled = options.disabled.value_or(0);
    if (Refusal r = CheckDescription(user.description))
        return r;
    const UserTable users = LoadUsers(c.profile);
    std::optional<int> freeSlot;
    for (int slot = keys::kUserSlots - 1; slot >= 0; --slot) {
        if (!users[slot])
            freeSlot = slot;
        else if (EqualIgnoringCase(users[slot]->id, id))
            return "user id " + Quoted(QString::fromLocal8Bit(id.c_str())) + " is already in use (ids are compared ignoring case)";
    }
    if (!freeSlot)
        return std::string("there are already ten users");
    Refusal refusal;
    const std::optional<std::string> password =
        ObtainPassword(options.password == UserOptions::Password::Stdin ? UserOptions::Password::Stdin
                                                                         : UserOptions::Password::Terminal,
                       refusal);
    if (!password)
        return refusal;
    user.password = *password;
    StoreUser(c.changes, *freeSlot, user);
    return std::nullopt;
}

Refusal UserEdit(Context& c)
{
    UserTable users = LoadUsers(c.profile);
    int slot = 0;
    std::string id;
    if (Refusal r = FindExisting(c, users, slot, id))
        return r;
    UserOptions options;
    if (Refusal r = ParseUserOptions(c.args, {"--description", "--disabled", "--enabled", "--password", "--password-stdin"},
                                     options))
        return r;
    UserRecord user = *users[slot];
    if (options.description) {
        user.description = Bytes(*options.description);
        if (Refusal r = CheckDescription(user.description))
            return r;
    }
    if (options.disabled)
        user.disabled = *options.disabled;
    if (options.password != UserOptions::Password::None) {
        Refusal refusal;
        const std::optional<std::string> password = ObtainPassword(options.password, refusal);
        if (!password)
            return refusal;
        user.password = *password;
    }
    StoreUser(c.changes, slot, user);
    return std::nullopt;
}

Refusal UserDelete(Context& c)
{
    const UserTable users = LoadUsers(c.profile);
    int slot = 0;
    std::string id;
    if (Refusal r = FindExisting(c, users, slot, id))
        return r;
    if (!c.args.isEmpty())
        return std::string("usage: quintar setup user delete ID");
    StoreUser(c.changes, slot, UserRecord{});
    return std::nullopt;
}

Refusal SetDisabled(Context& c, int disabled, const char* usage)
{
    const UserTable users = LoadUsers(c.profile);
    int slot = 0;
    std::string id;
    if (Refusal r = FindExisting(c, users, slot, id))
        return r;
    if (!c.args.isEmpty())
        return std::string("usage: quintar setup ") + usage;
    c.changes.push_back({keys::kSetting, keys::VexaUser(slot, keys::kUserDisabled), disabled});
    return std::nullopt;
}

Refusal UserEnable(Context& c)
{
    return SetDisabled(c, 0, "user enable ID");
}

Refusal UserDisable(Context& c)
{
    return SetDisabled(c, 1, "user disable ID");
}

constexpr CommandRow kUserCommands[] = {
    {"list", UserList}, {"add", UserAdd},         {"edit", UserEdit},
    {"delete", UserDelete}, {"enable", UserEnable}, {"disable", UserDisable},
};

// ---- "show" ----------------------------------------------------------------------------------------

Refusal Show(Context& c)
{
    using namespace keys;
    if (!c.args.isEmpty())
        return std::string("usage: quintar setup show");
    SettingsProfile& p = c.profile;
    const int port = p.GetInt(kSetting, kComPort, kDefaultComPort);
    const std::string device =
        port >= kMinComPort ? p.GetString(kPorts, ComDeviceKey(port), DefaultComDevice(port)) : std::string("-");
    const int minutes = p.GetInt(kSetting, Vexa(kSessionTime), 0);
    const std::string folder = p.GetString(kFilePath, Vexa(kLogFilePath), "");
    int users = 0;
    for (const auto& u : LoadUsers(p))
        users += u ? 1 : 0;
    std::fprintf(c.out, "profile       %s\n", Bytes(p.File()).c_str());
    std::fprintf(c.out, "com-port      %d (device %s)\n", port, device.c_str());
    std::fprintf(c.out, "baud          %d\n", p.GetInt(kSetting, kComBaud, kDefaultBaud));
    std::fprintf(c.out, "tcp-port      %d\n", p.GetInt(kSetting, Vexa(kIpPortNo), kDefaultIpPort));
    if (minutes == 0)
        std::fprintf(c.out, "session-time  unlimited\n");
    else
        std::fprintf(c.out, "session-time  %d min\n", minutes);
    std::fprintf(c.out, "log           %s (folder %s)\n", p.GetInt(kSetting, Vexa(kLog), 0) ? "on" : "off",
                 folder.empty() ? "-" : folder.c_str());
    std::fprintf(c.out, "voice         %s\n", p.GetInt(kSetting, Vexa(kVoice), 0) ? "on" : "off");
    std::fprintf(c.out, "users         %d of %d\n", users, kUserSlots);
    return std::nullopt;
}

template <std::size_t N>
const CommandRow* FindCommand(const CommandRow (&rows)[N], const QString& name)
{
    for (const CommandRow& row : rows)
        if (name == QLatin1String(row.name))
            return &row;
    return nullptr;
}

}  // namespace

std::optional<std::string> CheckUserId(std::string_view id)
{
    return CheckCredential(id, "user id", keys::kMaxUserIdLength);
}

std::optional<std::string> CheckPassword(std::string_view password)
{
    return CheckCredential(password, "password", keys::kMaxPasswordLength);
}

std::optional<std::string> CheckDescription(std::string_view description)
{
    if (description.size() > keys::kMaxDescriptionLength)
        return std::string("description has more than 128 bytes");
    for (unsigned char c : description)
        if (c < 0x20 || c == 0x7F)
            return std::string("description has a tab, line break or other control character");
    return std::nullopt;
}

int RunSetup(const QStringList& arguments, std::FILE* out, std::FILE* err)
{
    auto refuse = [err](const std::string& why) {
        std::fprintf(err, "quintar setup: %s\n", why.c_str());
        return kSetupRefused;
    };
    QStringList words = arguments;
    bool missing = false;
    const QString profileOption = FindProfileOption(words, &missing);
    if (missing)
        return refuse("--profile needs a file");
    for (qsizetype i = 0; i < words.size();) {
        if (words[i] == QLatin1String("--profile"))
            words.remove(i, 2);
        else if (words[i].startsWith(QLatin1String("--profile=")))
            words.remove(i);
        else
            ++i;
    }
    if (words.isEmpty() || words[0] == QLatin1String("--help") || words[0] == QLatin1String("-h")) {
        std::fputs(kUsage, words.isEmpty() ? err : out);
        return words.isEmpty() ? kSetupRefused : kSetupOk;
    }

    SettingsProfile profile(ResolveProfileFile(profileOption, qEnvironmentVariable("QUINTAR_PROFILE")));
    // Whatever else is at the path (a folder, /etc/passwd given by mistake) is left untouched.
    const SettingsProfile::Inspection found = profile.Inspect();
    if (found.kind != SettingsProfile::Kind::Missing && found.kind != SettingsProfile::Kind::Profile)
        return refuse("cannot use the profile " + Bytes(profile.File()) + ": " + Bytes(found.reason));
    Context context{profile, words.mid(1), out, err, {}};
    const QString& group = words[0];
    const CommandRow* row = nullptr;
    if (group == QLatin1String("show")) {
        static constexpr CommandRow kShow{"show", Show};
        row = &kShow;
    } else if (group == QLatin1String("set") || group == QLatin1String("user")) {
        if (context.args.isEmpty())
            return refuse("usage: quintar setup " + Bytes(group) + " ... (see --help)");
        const QString name = context.args.takeFirst();
        row = group == QLatin1String("set") ? FindCommand(kSetCommands, name) : FindCommand(kUserCommands, name);
        if (!row)
            return refuse("unknown command " + Bytes(group) + " " + Quoted(name) + " (see --help)");
    } else {
        return refuse("unknown command " + Quoted(group) + " (see --help)");
    }

    if (Refusal why = row->run(context))
        return refuse(*why);
    if (context.changes.empty())
        return kSetupOk;
    const QString folder = QFileInfo(profile.File()).absolutePath();
    const bool newFolder = !QFileInfo::exists(folder);
    if (!profile.Write(context.changes)) {
        std::fprintf(err, "quintar setup: cannot save the profile %s: %s\n", Bytes(profile.File()).c_str(),
                     Bytes(profile.LastError()).c_str());
        return kSetupFailed;
    }
    if (newFolder)
        std::fprintf(err, "quintar setup: created the folder %s\n", Bytes(folder).c_str());
    if (found.kind == SettingsProfile::Kind::Missing)
        std::fprintf(err, "quintar setup: created the profile %s\n", Bytes(profile.File()).c_str());
    return kSetupOk;
}

}  // namespace quintar
