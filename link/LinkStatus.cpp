// The status record's file form and its human forms, and the safe reading and writing of its file.
#include "LinkStatus.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sstream>

namespace quintar::link {

namespace {

constexpr std::array<std::pair<LinkStatus::State, const char*>, 5> kStateNames = {{
    {LinkStatus::State::Connecting, "connecting"},
    {LinkStatus::State::LoggingIn, "logging-in"},
    {LinkStatus::State::LoggedIn, "logged-in"},
    {LinkStatus::State::Waiting, "waiting"},
    {LinkStatus::State::Stopped, "stopped"},
}};

constexpr std::array<std::pair<LinkStatus::Call, const char*>, 8> kCallNames = {{
    {LinkStatus::Call::Off, "off"},
    {LinkStatus::Call::Unavailable, "unavailable"},
    {LinkStatus::Call::Waiting, "waiting"},
    {LinkStatus::Call::NotOffered, "not-offered"},
    {LinkStatus::Call::Offered, "offered"},
    {LinkStatus::Call::Ringing, "ringing"},
    {LinkStatus::Call::Connected, "connected"},
    {LinkStatus::Call::Ended, "ended"},
}};

std::string LocalTime(std::int64_t t)
{
    const std::time_t tt = static_cast<std::time_t>(t);
    std::tm tm{};
    ::localtime_r(&tt, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    return text;
}

std::optional<std::int64_t> Integer(const std::string& text)
{
    if (text.empty() || text.size() > 18)
        return std::nullopt;
    std::int64_t n = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

}  // namespace

const char* StateName(LinkStatus::State state)
{
    for (const auto& [s, name] : kStateNames)
        if (s == state)
            return name;
    return "?";
}

const char* CallName(LinkStatus::Call call)
{
    for (const auto& [c, name] : kCallNames)
        if (c == call)
            return name;
    return "?";
}

std::string Serialize(const LinkStatus& s)
{
    std::ostringstream out;
    out << "state=" << StateName(s.state) << '\n'
        << "pid=" << s.pid << '\n'
        << "station=" << s.station << '\n'
        << "user=" << s.user << '\n'
        << "port=" << s.port << '\n'
        << "encryption=" << s.encryption << '\n';
    if (!s.fingerprint.empty())
        out << "fingerprint=" << s.fingerprint << '\n';
    out << "attempts=" << s.attempts << '\n'
        << "logged-in-at=" << s.loggedInAt << '\n';
    if (s.elapsed)
        out << "session-elapsed=" << *s.elapsed << '\n';
    if (s.limit)
        out << "session-limit=" << *s.limit << '\n';
    out << "session-clock-at=" << s.clockAt << '\n';
    if (s.voice)
        out << "voice=" << (*s.voice ? "on" : "off") << '\n';
    out << "last-ending=" << s.lastEnding << '\n'
        << "last-ending-at=" << s.lastEndingAt << '\n'
        << "next-attempt-at=" << s.nextAttemptAt << '\n'
        << "reports-kept=" << s.reportsKept << '\n'
        << "commands-dropped=" << s.commandsDropped << '\n'
        << "program-auto-information=" << s.autoInformation << '\n'
        << "radio-reports-dropped=" << s.radioReportsDropped << '\n'
        << "commands-answered=" << s.commandsAnswered << '\n';
    if (s.call != LinkStatus::Call::Off) {
        out << "call=" << CallName(s.call) << '\n'
            << "call-note=" << s.callNote << '\n'
            << "call-since=" << s.callSince << '\n'
            << "next-call-at=" << s.nextCallAt << '\n';
        if (s.call == LinkStatus::Call::Connected)
            out << "call-encryption=" << s.callEncryption << '\n'
                << "call-codec=" << s.callCodec << '\n'
                << "call-jitter-buffer-ms=" << s.callJitterBufferMs << '\n'
                << "call-round-trip-ms=" << s.callRoundTripMs << '\n'
                << "call-download-kbps=" << s.callDownloadKbps << '\n'
                << "call-upload-kbps=" << s.callUploadKbps << '\n';
    }
    return out.str();
}

std::optional<LinkStatus> ParseStatus(const std::string& text)
{
    LinkStatus s;
    bool haveState = false;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        const std::optional<std::int64_t> n = Integer(value);
        if (key == "state") {
            for (const auto& [state, name] : kStateNames)
                if (value == name) {
                    s.state = state;
                    haveState = true;
                }
        } else if (key == "station") {
            s.station = value;
        } else if (key == "user") {
            s.user = value;
        } else if (key == "port") {
            s.port = value;
        } else if (key == "encryption") {
            s.encryption = value;
        } else if (key == "fingerprint") {
            s.fingerprint = value;
        } else if (key == "last-ending") {
            s.lastEnding = value;
        } else if (key == "voice") {
            s.voice = value == "on";
        } else if (key == "call") {
            for (const auto& [call, name] : kCallNames)
                if (value == name)
                    s.call = call;
        } else if (key == "call-note") {
            s.callNote = value;
        } else if (key == "call-encryption") {
            s.callEncryption = value;
        } else if (key == "call-codec") {
            s.callCodec = value;
        } else if (n) {
            if (key == "pid")
                s.pid = static_cast<long>(*n);
            else if (key == "attempts")
                s.attempts = static_cast<unsigned>(*n);
            else if (key == "logged-in-at")
                s.loggedInAt = *n;
            else if (key == "session-elapsed")
                s.elapsed = static_cast<unsigned>(*n);
            else if (key == "session-limit")
                s.limit = static_cast<unsigned>(*n);
            else if (key == "session-clock-at")
                s.clockAt = *n;
            else if (key == "last-ending-at")
                s.lastEndingAt = *n;
            else if (key == "next-attempt-at")
                s.nextAttemptAt = *n;
            else if (key == "reports-kept")
                s.reportsKept = static_cast<std::uint64_t>(*n);
            else if (key == "commands-dropped")
                s.commandsDropped = static_cast<std::uint64_t>(*n);
            else if (key == "program-auto-information")
                s.autoInformation = static_cast<unsigned>(*n);
            else if (key == "radio-reports-dropped")
                s.radioReportsDropped = static_cast<std::uint64_t>(*n);
            else if (key == "commands-answered")
                s.commandsAnswered = static_cast<std::uint64_t>(*n);
            else if (key == "call-since")
                s.callSince = *n;
            else if (key == "next-call-at")
                s.nextCallAt = *n;
            else if (key == "call-jitter-buffer-ms")
                s.callJitterBufferMs = static_cast<unsigned>(*n);
            else if (key == "call-round-trip-ms")
                s.callRoundTripMs = static_cast<unsigned>(*n);
            else if (key == "call-download-kbps")
                s.callDownloadKbps = static_cast<unsigned>(*n);
            else if (key == "call-upload-kbps")
                s.callUploadKbps = static_cast<unsigned>(*n);
        }
    }
    if (!haveState)
        return std::nullopt;
    return s;
}

std::string Clock(std::int64_t seconds)
{
    if (seconds < 0)
        seconds = 0;
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return text;
}

std::optional<std::int64_t> SessionSeconds(const LinkStatus& s, std::int64_t now)
{
    if (s.state != LinkStatus::State::LoggedIn)
        return std::nullopt;
    // The station counts a session's time only against a limit; without one it reports 0.
    if (s.elapsed && s.clockAt > 0 && s.limit.value_or(0) > 0)
        return *s.elapsed + (now > s.clockAt ? now - s.clockAt : 0);
    if (s.loggedInAt > 0)
        return now > s.loggedInAt ? now - s.loggedInAt : 0;
    return std::nullopt;
}

std::string CallLine(const LinkStatus& s, std::int64_t now)
{
    switch (s.call) {
    case LinkStatus::Call::Connected:
        return "connected " + Clock(now > s.callSince ? now - s.callSince : 0) +
               (s.callEncryption.empty() ? " (encrypting)"
                                         : s.callEncryption == "none" ? " NOT ENCRYPTED" : " (encrypted)");
    case LinkStatus::Call::Ended:
        return "ended (" + s.callNote + ")" +
               (s.nextCallAt > 0 ? ", again in " + std::to_string(s.nextCallAt > now ? s.nextCallAt - now : 0) + " s"
                                 : std::string());
    case LinkStatus::Call::NotOffered:
        return "not offered by the station";
    case LinkStatus::Call::Unavailable:
        return "unavailable here";
    case LinkStatus::Call::Waiting:
        return "waiting for the station's voice";
    default:
        return CallName(s.call);
    }
}

std::string StatusLine(const LinkStatus& s, std::int64_t now)
{
    std::string line;
    switch (s.state) {
    case LinkStatus::State::Connecting:
        line = "connecting to " + s.station;
        break;
    case LinkStatus::State::LoggingIn:
        line = "logging in to " + s.station;
        break;
    case LinkStatus::State::LoggedIn: {
        line = s.user + "@" + s.station + (s.encryption == "none" ? "" : " (TLS)") + "  session " + Clock(SessionSeconds(s, now).value_or(0));
        if (s.limit && *s.limit > 0)
            line += " of " + Clock(*s.limit);
        line += "  voice ";
        line += s.voice ? (*s.voice ? "on" : "off") : "-";
        if (s.call != LinkStatus::Call::Off)
            line += "  call " + CallLine(s, now);
        break;
    }
    case LinkStatus::State::Waiting:
        line = "next attempt in " + std::to_string(s.nextAttemptAt > now ? s.nextAttemptAt - now : 0) + " s (" +
               s.lastEnding + ")";
        break;
    case LinkStatus::State::Stopped:
        line = "stopped" + (s.lastEnding.empty() ? std::string() : " (" + s.lastEnding + ")");
        break;
    }
    return line;
}

std::string Describe(const LinkStatus& s, std::int64_t now)
{
    std::ostringstream out;
    out << "state:    " << StateName(s.state) << " (pid " << s.pid << ")\n"
        << "station:  " << s.station << " as " << s.user << '\n'
        << "radio:    " << s.port << '\n'
        << "security: "
        << (s.encryption == "none" ? std::string("NOT encrypted (clear text)")
            : s.encryption == "TLS" ? std::string("TLS (no session now)")
                                    : "encrypted (" + s.encryption + ")")
        << '\n';
    if (!s.fingerprint.empty())
        out << "station certificate: SHA256 " << s.fingerprint << '\n';
    if (s.state == LinkStatus::State::LoggedIn) {
        out << "session:  " << Clock(SessionSeconds(s, now).value_or(0));
        if (s.limit && *s.limit > 0)
            out << " of " << Clock(*s.limit);
        else if (s.limit)
            out << " (no limit)";
        out << ", logged in since " << LocalTime(s.loggedInAt) << '\n';
        out << "voice:    " << (s.voice ? (*s.voice ? "on" : "off") : "no report") << '\n';
    }
    if (s.call == LinkStatus::Call::Connected) {
        out << "call:     connected since " << LocalTime(s.callSince) << ", audio "
            << (s.callEncryption.empty()       ? std::string("being encrypted")
                : s.callEncryption == "none" ? std::string("NOT encrypted")
                                             : "encrypted (" + s.callEncryption + ")")
            << '\n'
            << "          " << s.callCodec << ", jitter buffer " << s.callJitterBufferMs << " ms, round trip "
            << s.callRoundTripMs << " ms, " << s.callDownloadKbps << " kbit/s in, " << s.callUploadKbps
            << " kbit/s out\n";
    } else if (s.call == LinkStatus::Call::Unavailable) {
        out << "call:     voice is not available here: " << s.callNote << '\n';
    } else if (s.call != LinkStatus::Call::Off) {
        out << "call:     " << CallLine(s, now) << '\n';
    }
    if (s.state == LinkStatus::State::Waiting)
        out << "next:     attempt in " << (s.nextAttemptAt > now ? s.nextAttemptAt - now : 0) << " s\n";
    if (!s.lastEnding.empty())
        out << "last end: " << s.lastEnding << " at " << LocalTime(s.lastEndingAt) << '\n';
    out << "attempts: " << s.attempts << ", station reports kept from the program: " << s.reportsKept
        << ", commands dropped: " << s.commandsDropped << '\n';
    out << "program:  auto-information " << s.autoInformation << ", radio reports kept from it: "
        << s.radioReportsDropped << ", commands answered by the link: " << s.commandsAnswered << '\n';
    return out.str();
}

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* error)
{
    std::string fresh = path + ".XXXXXX";
    const int fd = ::mkostemp(fresh.data(), O_CLOEXEC);  // a new file of its own, mode 0600
    auto fail = [&](const char* what) {
        if (error)
            *error = std::string(what) + " " + path + ": " + std::strerror(errno);
        return false;
    };
    if (fd < 0)
        return fail("cannot write");
    bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(fresh.c_str(), path.c_str()) != 0) {
        const bool written = ok;
        const int reason = errno;
        ::unlink(fresh.c_str());
        errno = reason;
        return fail(written ? "cannot replace" : "cannot write");
    }
    return true;
}

bool ReadOwnFile(const std::string& path, std::string& text, std::string& error)
{
    text.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT)
        return true;
    if (fd < 0) {
        error = path + ": " + (errno == ELOOP ? std::string("a symbolic link") : std::strerror(errno));
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        error = path + " is not a regular file of this user; leaving it alone";
        ::close(fd);
        return false;
    }
    char buffer[4096];
    ssize_t n;
    while (text.size() < 65536 && (n = ::read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    return true;
}

}  // namespace quintar::link
