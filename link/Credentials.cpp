// Password sources. The terminal is /dev/tty, not standard input, so a password is asked there
// even when standard input is redirected; echo is restored on every way out, signals included.
#include "Credentials.h"

#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace quintar::link {

namespace {

constexpr std::size_t kLongestLine = 4096;  // far beyond any valid password; bounds what is read

int g_ttyFd = -1;
termios g_ttySaved{};

void RestoreEchoAndRaise(int signal)
{
    ::tcsetattr(g_ttyFd, TCSAFLUSH, &g_ttySaved);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// Reads up to a line end; false at the end of the input before one (a complete line without "\n"
// at the end of a file counts).
bool ReadLine(int fd, std::string& line, bool endOfFileEnds)
{
    line.clear();
    for (;;) {
        char c = 0;
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return endOfFileEnds && !line.empty();
        if (c == '\n')
            break;
        if (line.size() >= kLongestLine)
            continue;
        line += c;
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

std::optional<std::string> FromTerminal(const std::string& prompt, std::string& error)
{
    const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 || ::tcgetattr(fd, &g_ttySaved) != 0) {
        if (fd >= 0)
            ::close(fd);
        error = "no terminal to ask the password on (use --password-stdin or --password-file)";
        return std::nullopt;
    }
    g_ttyFd = fd;
    auto previousInt = ::signal(SIGINT, RestoreEchoAndRaise);
    auto previousTerm = ::signal(SIGTERM, RestoreEchoAndRaise);
    auto previousHup = ::signal(SIGHUP, RestoreEchoAndRaise);
    termios hidden = g_ttySaved;
    hidden.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    hidden.c_lflag |= ECHONL;
    std::string line;
    // Echo goes off before the prompt shows: a password typed the moment it appears must be
    // neither shown nor flushed away by the change.
    bool ok = ::tcsetattr(fd, TCSAFLUSH, &hidden) == 0 &&
              ::write(fd, prompt.data(), prompt.size()) == static_cast<ssize_t>(prompt.size());
    ok = ok && ReadLine(fd, line, false);
    ::tcsetattr(fd, TCSAFLUSH, &g_ttySaved);
    ::signal(SIGINT, previousInt);
    ::signal(SIGTERM, previousTerm);
    ::signal(SIGHUP, previousHup);
    ::close(fd);
    g_ttyFd = -1;
    if (!ok) {
        Wipe(line);
        error = "no password was entered";
        return std::nullopt;
    }
    return line;
}

}  // namespace

void Wipe(std::string& secret)
{
    if (!secret.empty())
        ::explicit_bzero(secret.data(), secret.size());
    secret.clear();
}

std::optional<std::string> ReadPasswordFile(const std::string& path, std::string& error)
{
    // O_NONBLOCK: a FIFO planted under the name must not hang the start.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot open the password file " + path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    struct stat st {};
    std::string refusal;
    if (::fstat(fd, &st) != 0)
        refusal = std::string("cannot examine it: ") + std::strerror(errno);
    else if (!S_ISREG(st.st_mode))
        refusal = "it is not a regular file";
    else if (st.st_uid != ::geteuid())
        refusal = "it belongs to another user (uid " + std::to_string(st.st_uid) + ")";
    else if ((st.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        refusal = std::string("its mode is ") + mode + "; others can read or change it (chmod 600 " + path + ")";
    }
    if (!refusal.empty()) {
        ::close(fd);
        error = "refusing the password file " + path + ": " + refusal;
        return std::nullopt;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::string line;
    const bool ok = ReadLine(fd, line, true);
    ::close(fd);
    if (!ok) {
        error = "the password file " + path + " is empty";
        return std::nullopt;
    }
    return line;
}

std::optional<std::string> ReadPassword(const PasswordSource& source, const std::string& prompt, std::string& error)
{
    switch (source.kind) {
    case PasswordSource::Kind::Terminal:
        return FromTerminal(prompt, error);
    case PasswordSource::Kind::Stdin: {
        std::string line;
        if (!ReadLine(STDIN_FILENO, line, true)) {
            error = "no password on standard input";
            return std::nullopt;
        }
        return line;
    }
    case PasswordSource::Kind::File:
        return ReadPasswordFile(source.file, error);
    }
    return std::nullopt;
}

}  // namespace quintar::link
