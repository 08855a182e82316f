// `quintar setup`: parses one command, checks it against the Setup dialog's rules, and writes the
// keys it changes in one save. Passwords come from the terminal without echo or, with
// --password-stdin, from one line of standard input, never from the command line.
#include "SetupCommand.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "FileSafety.h"
#include "HostOptions.h"
#include "SettingsModel.h"
#include "SettingsProfile.h"
#include "TlsFiles.h"
#include "TlsSecurity.h"
#include "Utilities.h"

namespace quintar {

namespace {

using Entries = std::vector<SettingsProfile::Entry>;
using Refusal = std::optional<std::string>;

std::string Usage()
{
    return "usage: quintar setup [--profile FILE] COMMAND\n"
           "\n"
           "Shows and changes the station's settings and users in the profile (default: the per-user\n"
           "profile, or the file named by QUINTAR_PROFILE). Changes take effect at the next station start;\n"
           "users and the access log settings at once.\n"
           "\n"
           "  show                                 all settings\n" +
           settings::SetCommandHelp() +
           "  user list                            the users (never their passwords)\n"
           "  user add ID [--description TEXT] [--disabled] [--password-stdin]\n"
           "  user edit ID [--description TEXT] [--disabled|--enabled] [--password|--password-stdin]\n"
           "  user delete ID | user enable ID | user disable ID\n"
           "  tls [--renew | --cert FILE --key FILE]\n"
           "                                       the TLS key and certificate beside the profile (made,\n"
           "                                       or the given PEM files copied in), TLS on; prints the\n"
           "                                       certificate's SHA-256 fingerprint\n"
           "\n"
           "User ids and passwords: 1 to " + std::to_string(settings::kMaxUserIdLength) +
           " characters from '!' to DEL (0x21..0x7F) except ';'.\n"
           "Descriptions: at most " + std::to_string(settings::kMaxDescriptionLength) +
           " bytes, no tabs or line breaks. At most ten users; ids that differ\n"
           "only in letter case are the same id. Passwords are read from the terminal without echo, or\n"
           "with --password-stdin from one line of standard input.\n"
           "Exit status: 0 done, 1 the profile could not be saved, 2 refused (nothing changed).\n";
}

using settings::Id;
using settings::UserRecord;
using settings::UserTable;
using settings::Entries;
using settings::Refusal;

struct Context {
    SettingsProfile& profile;
    QStringList args;  // the command's words after its name
    std::FILE* out;
    std::FILE* err;
    Entries changes;
};

// ---- Small parsers ----------------------------------------------------------------------------

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

// The slot of a user: the same id exactly, else the only one equal ignoring case.
std::optional<int> FindUser(const UserTable& users, std::string_view id)
{
    for (int slot = 0; slot < settings::kUserSlots; ++slot)
        if (users[slot] && users[slot]->id == id)
            return slot;
    std::optional<int> found;
    for (int slot = 0; slot < settings::kUserSlots; ++slot) {
        if (users[slot] && settings::SameUserId(users[slot]->id, id)) {
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
    // Echo goes off before the prompt shows: a password typed the moment it appears must be
    // neither shown nor flushed away by the change.
    termios hidden = g_ttySaved;
    hidden.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    hidden.c_lflag |= ECHONL;
    ::tcsetattr(fd, TCSAFLUSH, &hidden);
    if (::write(fd, prompt, std::strlen(prompt)) < 0) {
        ::tcsetattr(fd, TCSAFLUSH, &g_ttySaved);
        return std::nullopt;
    }
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
    if (Refusal bad = settings::CheckPassword(*password)) {
        refusal = *bad;
        return std::nullopt;
    }
    return password;
}

// ---- "set" commands ------------------------------------------------------------------------------

std::string UsageOf(const settings::Row& row)
{
    return std::string("usage: quintar setup set ") + row.shellName + " " + row.shellValue;
}

Refusal SetComDevice(Context& c)
{
    if (c.args.size() != 2)
        return std::string("usage: quintar setup set com-device N PATH");
    const settings::Parsed n = settings::Parse(Id::ComPort, Bytes(c.args[0]));
    if (!n.number)
        return "serial port " + *n.refusal;
    if (Refusal r = settings::CheckComDevice(Bytes(c.args[1])))
        return r;
    c.changes.push_back({settings::kPortsSection, settings::ComDeviceKey(*n.number), Bytes(c.args[1])});
    return std::nullopt;
}

// "log on|off [--folder DIR]": the log cannot be on without a folder.
Refusal SetLog(Context& c, const settings::Row& row)
{
    if (c.args.size() != 1 && !(c.args.size() == 3 && c.args[1] == QLatin1String("--folder")))
        return UsageOf(row);
    const settings::Parsed on = settings::Parse(Id::Log, Bytes(c.args[0]));
    if (!on.number)
        return UsageOf(row);
    std::string folder = settings::ReadText(c.profile, Id::LogFolder);
    if (c.args.size() == 3) {
        const settings::Parsed chosen = settings::Parse(Id::LogFolder, Bytes(c.args[2]));
        if (chosen.refusal)
            return "log " + *chosen.refusal;
        folder = *chosen.text;
        c.changes.push_back(settings::MakeEntry(Id::LogFolder, folder));
    }
    if (*on.number && folder.empty())
        return std::string("the access log cannot be on without a folder (add --folder DIR)");
    c.changes.push_back(settings::MakeEntry(Id::Log, *on.number));
    return std::nullopt;
}

Refusal SetSetting(Context& c, const settings::Row& row)
{
    if (row.id == Id::Log)
        return SetLog(c, row);
    if (c.args.size() != 1)
        return UsageOf(row);
    const settings::Parsed p = settings::Parse(row.id, Bytes(c.args[0]));
    if (p.refusal)
        return std::string(row.shellName) + " " + *p.refusal;
    if (row.id == Id::Voice && *p.number && !GetVoiceEnableOS())
        return std::string("voice cannot be switched on: this system has no voice support");
    c.changes.push_back(p.number ? settings::MakeEntry(row.id, *p.number) : settings::MakeEntry(row.id, *p.text));
    return std::nullopt;
}

struct CommandRow {
    const char* name;
    Refusal (*run)(Context&);
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
    const UserTable users = settings::LoadUsers(c.profile);
    int count = 0;
    for (int slot = 0; slot < settings::kUserSlots; ++slot) {
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
    if (Refusal r = settings::CheckUserId(id))
        return r;
    UserRecord user;
    user.id = id;
    user.description = options.description ? Bytes(*options.description) : std::string();
    user.disabled = options.disabled.value_or(0);
    if (Refusal r = settings::CheckDescription(user.description))
        return r;
    const UserTable users = settings::LoadUsers(c.profile);
    std::optional<int> freeSlot;
    for (int slot = settings::kUserSlots - 1; slot >= 0; --slot) {
        if (!users[slot])
            freeSlot = slot;
        else if (settings::SameUserId(users[slot]->id, id))
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
    settings::StoreUser(c.changes, *freeSlot, user);
    return std::nullopt;
}

Refusal UserEdit(Context& c)
{
    UserTable users = settings::LoadUsers(c.profile);
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
        if (Refusal r = settings::CheckDescription(user.description))
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
    settings::StoreUser(c.changes, slot, user);
    return std::nullopt;
}

// Every slot of the id goes, so a copy made by hand cannot go on logging in.
Refusal UserDelete(Context& c)
{
    const UserTable users = settings::LoadUsers(c.profile);
    std::string id;
    if (Refusal r = TakeUserId(c, id))
        return r;
    if (!c.args.isEmpty())
        return std::string("usage: quintar setup user delete ID");
    for (int slot = 0; slot < settings::kUserSlots; ++slot)
        if (users[slot] && settings::SameUserId(users[slot]->id, id))
            settings::StoreUser(c.changes, slot, UserRecord{});
    if (c.changes.empty())
        return "no user " + Quoted(QString::fromLocal8Bit(id.c_str()));
    return std::nullopt;
}

Refusal SetDisabled(Context& c, int disabled, const char* usage)
{
    const UserTable users = settings::LoadUsers(c.profile);
    int slot = 0;
    std::string id;
    if (Refusal r = FindExisting(c, users, slot, id))
        return r;
    if (!c.args.isEmpty())
        return std::string("usage: quintar setup ") + usage;
    c.changes.push_back({brenlow::server::kSetting, settings::UserKey(slot, settings::UserField::Disabled), disabled});
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

// ---- "tls" -----------------------------------------------------------------------------------------

// A file of at most 1 MiB, read whole; nothing with the reason.
std::optional<std::string> ReadSmallFile(const QString& path, std::string& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = "cannot read " + Bytes(path) + ": " + Bytes(file.errorString());
        return std::nullopt;
    }
    const QByteArray data = file.read(1 << 20);
    return data.toStdString();
}

// `text` replaces `target` whole, mode 0600, never written through a link; a new file gets the
// profile's owner when root makes it.
Refusal StorePrivate(const QString& target, const std::string& text, const QString& profileFile)
{
    const PathStatus at = ExaminePath(target);
    if (at.kind == PathStatus::Kind::Link)
        return Bytes(target) + " is a symbolic link; remove it, the station's key files are its own";
    if (at.kind != PathStatus::Kind::Missing && at.kind != PathStatus::Kind::File)
        return Bytes(target) + " is no regular file";
    FileReplacement replacement(target);
    if (!replacement.Begin(false))
        return "cannot write " + Bytes(target) + ": " + Bytes(replacement.Error());
    QFile file(replacement.Path());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()) || !file.flush())
        return "cannot write " + Bytes(target) + ": " + Bytes(file.errorString());
    file.close();
    const PathStatus profile = ExaminePath(profileFile);
    if (at.kind == PathStatus::Kind::Missing && ::geteuid() == 0 && profile.kind == PathStatus::Kind::File &&
        ::chown(QFile::encodeName(replacement.Path()).constData(), profile.owner, static_cast<gid_t>(-1)) != 0)
        return "cannot give " + Bytes(target) + " to the profile's owner: " + std::strerror(errno);
    if (!replacement.Commit(true))
        return "cannot write " + Bytes(target) + ": " + Bytes(replacement.Error());
    return std::nullopt;
}

// "tls": existing files are kept (and checked); --renew makes new ones; --cert/--key copy given ones.
Refusal SetupTls(Context& c)
{
    const QString usage = QStringLiteral("usage: quintar setup tls [--renew | --cert FILE --key FILE]");
    bool renew = false;
    QString certFrom, keyFrom;
    for (qsizetype i = 0; i < c.args.size(); ++i) {
        const QString& w = c.args[i];
        if (w == QLatin1String("--renew"))
            renew = true;
        else if ((w == QLatin1String("--cert") || w == QLatin1String("--key")) && i + 1 < c.args.size())
            (w == QLatin1String("--cert") ? certFrom : keyFrom) = c.args[++i];
        else
            return Bytes(usage);
    }
    if (certFrom.isEmpty() != keyFrom.isEmpty() || (renew && !certFrom.isEmpty()))
        return Bytes(usage);

    const settings::TlsFiles files = settings::TlsFilesOf(c.profile.File());
    for (const QString& f : {files.cert, files.key})
        if (ExaminePath(f).kind == PathStatus::Kind::Link)
            return Bytes(f) + " is a symbolic link; remove it, the station's key files are its own";
    std::string error;
    std::optional<std::string> cert, key, fingerprint;
    bool write = true;
    if (!certFrom.isEmpty()) {
        cert = ReadSmallFile(certFrom, error);
        key = cert ? ReadSmallFile(keyFrom, error) : std::nullopt;
        if (!key)
            return error;
        fingerprint = drisko::tls::CheckPair(*cert, *key, error);
        if (!fingerprint)
            return Bytes(certFrom) + " and " + Bytes(keyFrom) + ": " + error;
    } else if (!renew && QFileInfo::exists(files.cert) && QFileInfo::exists(files.key)) {
        cert = ReadSmallFile(files.cert, error);
        key = cert ? ReadSmallFile(files.key, error) : std::nullopt;
        if (!key)
            return error;
        fingerprint = drisko::tls::CheckPair(*cert, *key, error);
        if (!fingerprint)
            return Bytes(files.cert) + " and " + Bytes(files.key) + ": " + error + " (--renew makes new ones)";
        write = false;
    } else {
        const QString host = QSysInfo::machineHostName();
        const auto made = drisko::tls::MakeSelfSigned(host.isEmpty() ? std::string("quintar") : Bytes(host), error);
        if (!made)
            return error;
        cert = made->certPem;
        key = made->keyPem;
        fingerprint = drisko::tls::FingerprintOfPem(*cert);
    }
    if (write) {
        QDir().mkpath(QFileInfo(files.cert).absolutePath());
        // The key first: a certificate is never left beside a key that is not its own for long.
        if (Refusal r = StorePrivate(files.key, *key, c.profile.File()))
            return r;
        if (Refusal r = StorePrivate(files.cert, *cert, c.profile.File()))
            return r;
        const char* how = certFrom.isEmpty() ? "made" : "copied";
        std::fprintf(c.out, "%s %s\n%s %s\n", how, Bytes(files.cert).c_str(), how, Bytes(files.key).c_str());
    } else {
        std::fprintf(c.out, "kept %s\nkept %s\n", Bytes(files.cert).c_str(), Bytes(files.key).c_str());
    }
    std::fprintf(c.out, "fingerprint %s\n", fingerprint->c_str());
    if (settings::ReadInt(c.profile, Id::Tls) == 0)
        c.changes.push_back(settings::MakeEntry(Id::Tls, 1));
    return std::nullopt;
}

// ---- "show" ----------------------------------------------------------------------------------------

Refusal Show(Context& c)
{
    if (!c.args.isEmpty())
        return std::string("usage: quintar setup show");
    SettingsProfile& p = c.profile;
    const int port = settings::ReadInt(p, Id::ComPort);
    const std::string device = port >= settings::kMinComPort ? settings::ReadComDevice(p, port) : std::string("-");
    const int minutes = settings::ReadInt(p, Id::SessionTime);
    const std::string folder = settings::ReadText(p, Id::LogFolder);
    int users = 0;
    for (const auto& u : settings::LoadUsers(p))
        users += u ? 1 : 0;
    auto shown = [](const std::string& text) { return text.empty() ? std::string("-") : text; };
    // A number setting that holds no number is shown as it is, with what that means.
    auto number = [&p](Id id) {
        if (const Refusal bad = settings::StoredNotANumber(p, id))
            return *bad + " (the station does not start)";
        return std::to_string(settings::ReadInt(p, id));
    };
    std::fprintf(c.out, "profile       %s\n", Bytes(p.File()).c_str());
    std::fprintf(c.out, "com-port      %s (device %s)\n", number(Id::ComPort).c_str(), device.c_str());
    std::fprintf(c.out, "baud          %s\n", number(Id::ComBaud).c_str());
    std::fprintf(c.out, "tcp-port      %s\n", number(Id::TcpPort).c_str());
    std::fprintf(c.out, "plain         %s\n", settings::ReadInt(p, Id::Plain) ? "on" : "off");
    const settings::TlsFiles tls = settings::TlsFilesOf(p.File());
    const std::optional<QString> fingerprint = settings::CertificateFingerprint(tls.cert);
    std::fprintf(c.out, "tls           %s, port %d\n", settings::ReadInt(p, Id::Tls) ? "on" : "off",
                 settings::EffectiveTlsPort(p));
    std::fprintf(c.out, "tls cert      %s\n",
                 fingerprint ? (Bytes(tls.cert) + " (fingerprint " + Bytes(*fingerprint) + ")").c_str() : "none (quintar setup tls)");
    if (minutes == 0)
        std::fprintf(c.out, "session-time  unlimited\n");
    else
        std::fprintf(c.out, "session-time  %d min\n", minutes);
    std::fprintf(c.out, "log           %s (folder %s)\n", settings::ReadInt(p, Id::Log) ? "on" : "off",
                 shown(folder).c_str());
    std::fprintf(c.out, "voice         %s\n", settings::ReadInt(p, Id::Voice) ? "on" : "off");
    std::fprintf(c.out, "sip-port      %d (address %s)\n", settings::ReadInt(p, Id::SipPort),
                 shown(settings::ReadText(p, Id::BindAddress)).c_str());
    std::fprintf(c.out, "voice audio   %s\n",
                 settings::ReadText(p, Id::PlayFile).empty()
                     ? ("devices " + shown(settings::ReadText(p, Id::CaptureDevice)) + " / " +
                        shown(settings::ReadText(p, Id::PlaybackDevice)))
                           .c_str()
                     : ("files " + settings::ReadText(p, Id::PlayFile) + " / " +
                        shown(settings::ReadText(p, Id::RecordFile)))
                           .c_str());
    std::fprintf(c.out, "users         %d of %d\n", users, settings::kUserSlots);
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
        std::fputs(Usage().c_str(), words.isEmpty() ? err : out);
        return words.isEmpty() ? kSetupRefused : kSetupOk;
    }

    SettingsProfile profile(ResolveProfileFile(profileOption, qEnvironmentVariable("QUINTAR_PROFILE")));
    // Whatever else is at the path (a folder, /etc/passwd given by mistake) is left untouched.
    const SettingsProfile::Inspection found = profile.Inspect();
    if (found.kind != SettingsProfile::Kind::Missing && found.kind != SettingsProfile::Kind::Profile)
        return refuse("cannot use the profile " + Bytes(profile.File()) + ": " + Bytes(found.reason));
    if (found.kind == SettingsProfile::Kind::Profile)
        for (const std::string& warning : settings::UserSlotWarnings(profile))
            std::fprintf(err, "quintar setup: %s\n", warning.c_str());
    Context context{profile, words.mid(1), out, err, {}};
    const QString& group = words[0];
    const CommandRow* row = nullptr;
    if (group == QLatin1String("show")) {
        static constexpr CommandRow kShow{"show", Show};
        row = &kShow;
    } else if (group == QLatin1String("tls")) {
        static constexpr CommandRow kTls{"tls", SetupTls};
        row = &kTls;
    } else if (group == QLatin1String("set") || group == QLatin1String("user")) {
        if (context.args.isEmpty())
            return refuse("usage: quintar setup " + Bytes(group) + " ... (see --help)");
        const QString name = context.args.takeFirst();
        if (group == QLatin1String("set")) {
            static constexpr CommandRow kComDevice{"com-device", SetComDevice};
            const settings::Row* setting = settings::RowNamed(Bytes(name));
            if (setting) {
                if (Refusal why = SetSetting(context, *setting))
                    return refuse(*why);
            } else if (name == QLatin1String(kComDevice.name)) {
                row = &kComDevice;
            } else {
                return refuse("unknown command set " + Quoted(name) + " (see --help)");
            }
        } else {
            row = FindCommand(kUserCommands, name);
            if (!row)
                return refuse("unknown command " + Bytes(group) + " " + Quoted(name) + " (see --help)");
        }
    } else {
        return refuse("unknown command " + Quoted(group) + " (see --help)");
    }

    if (row)
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
