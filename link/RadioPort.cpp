// The pseudo-terminal and TCP ports and the stable link path. All descriptors are non-blocking;
// the link's one thread waits on them in poll.
#include "RadioPort.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace quintar::link {

namespace {

std::string SystemError(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

void CloseFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// Reads everything waiting; false when the other side has gone.
bool Drain(int fd, std::string& into, bool socket)
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = socket ? ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) : ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            into.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        return false;
    }
}

// Writes what the descriptor takes now; returns the bytes written, or -1 when the other side has gone.
long WriteNow(int fd, std::string_view bytes, bool socket)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = socket ? ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT)
                                 : ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        return -1;
    }
    return static_cast<long>(done);
}

// Creates the missing folders of `folder`, each private to the user, as the state folder should be.
bool MakeFolders(const std::string& folder, std::string& error)
{
    for (std::size_t at = 1; at <= folder.size(); ++at) {
        if (at != folder.size() && folder[at] != '/')
            continue;
        const std::string part = folder.substr(0, at);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            error = SystemError("cannot create the folder " + part);
            return false;
        }
    }
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        error = folder + " is not a folder";
        return false;
    }
    return true;
}

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

// ---- Pseudo-terminal ----------------------------------------------------------------------------

PseudoTerminalPort::~PseudoTerminalPort()
{
    CloseFd(terminal_);
    CloseFd(master_);
}

bool PseudoTerminalPort::Open(std::string& error)
{
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128] = {};
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::ptsname_r(master_, name, sizeof name) != 0) {
        error = SystemError("cannot open a pseudo-terminal");
        return false;
    }
    terminal_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (terminal_ < 0) {
        error = SystemError(std::string("cannot open ") + name);
        return false;
    }
    // Raw, as a serial port: no echo, no line editing, no translation of line ends.
    termios tio{};
    if (::tcgetattr(terminal_, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(terminal_, TCSANOW, &tio);
    }
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    terminalPath_ = name;
    return true;
}

void PseudoTerminalPort::AddPollFds(std::vector<pollfd>& fds) const
{
    fds.push_back({master_, POLLIN, 0});
}

void PseudoTerminalPort::Service(const pollfd* fds, std::string& fromProgram)
{
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR))
        Drain(master_, fromProgram, false);
}

void PseudoTerminalPort::Deliver(std::string_view bytes)
{
    const long written = WriteNow(master_, bytes, false);
    dropped_ += bytes.size() - static_cast<std::size_t>(written < 0 ? 0 : written);
}

// ---- TCP ----------------------------------------------------------------------------------------

TcpPort::~TcpPort()
{
    CloseFd(client_);
    CloseFd(listener_);
}

bool TcpPort::Listen(unsigned port, std::string& error)
{
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listener_ < 0) {
        error = SystemError("cannot create a socket");
        return false;
    }
    int on = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listener_, 4) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
        error = SystemError("cannot listen on 127.0.0.1:" + std::to_string(port));
        CloseFd(listener_);
        return false;
    }
    port_ = ntohs(addr.sin_port);
    return true;
}

void TcpPort::AddPollFds(std::vector<pollfd>& fds) const
{
    fds.push_back({listener_, POLLIN, 0});
    if (client_ >= 0)
        fds.push_back({client_, POLLIN, 0});
}

void TcpPort::Service(const pollfd* fds, std::string& fromProgram)
{
    if (fds[0].fd == listener_ && client_ >= 0 && fds[1].fd == client_ && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)))
        if (!Drain(client_, fromProgram, true))
            DropProgram();
    if (fds[0].revents & POLLIN) {
        for (;;) {
            const int c = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (c < 0) {
                if (errno == EINTR || errno == ECONNABORTED)
                    continue;
                break;
            }
            // One program at a time, as on a serial port; a second one is turned away.
            if (client_ >= 0) {
                ::close(c);
                continue;
            }
            int on = 1;
            ::setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            client_ = c;
        }
    }
}

void TcpPort::Deliver(std::string_view bytes)
{
    if (client_ < 0) {
        dropped_ += bytes.size();
        return;
    }
    const long written = WriteNow(client_, bytes, true);
    if (written < 0) {
        dropped_ += bytes.size();
        DropProgram();
        return;
    }
    dropped_ += bytes.size() - static_cast<std::size_t>(written);
}

void TcpPort::DropProgram()
{
    CloseFd(client_);
}

// ---- Link path ----------------------------------------------------------------------------------

std::string LinkPath::Default()
{
    std::string base;
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && state[0] == '/') {
        base = state;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || home[0] != '/') {
            const passwd* pw = ::getpwuid(::geteuid());
            home = pw ? pw->pw_dir : "/tmp";
        }
        base = std::string(home) + "/.local/state";
    }
    return base + "/quintar-link/radio";
}

bool LinkPath::InUse(const std::string& path)
{
    const int fd = ::open(LockFileOf(path).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

LinkPath::~LinkPath()
{
    Release();
}

bool LinkPath::Claim(const std::string& path, const std::string& target, std::string& error)
{
    if (path.empty() || path.back() == '/') {
        error = "the link path \"" + path + "\" does not name a file";
        return false;
    }
    if (!MakeFolders(FolderOf(path), error))
        return false;
    const std::string lockFile = LockFileOf(path);
    lock_ = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (lock_ < 0) {
        error = SystemError("cannot create the lock file " + lockFile);
        return false;
    }
    struct stat lockStat {};
    if (::fstat(lock_, &lockStat) != 0 || !S_ISREG(lockStat.st_mode) || lockStat.st_uid != ::geteuid()) {
        error = lockFile + " is not a regular file of this user; leaving it alone";
        CloseFd(lock_);
        return false;
    }
    if (::flock(lock_, LOCK_EX | LOCK_NB) != 0) {
        error = errno == EWOULDBLOCK ? "another quintar-link is running on " + path + " (see quintar-link --status)"
                                     : SystemError("cannot lock " + lockFile);
        CloseFd(lock_);
        return false;
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        error = path + " exists and is not a symlink; leaving it alone (choose another path with --link)";
        CloseFd(lock_);
        return false;
    }
    path_ = path;
    // A symlink left by a link that ended without cleaning up points at a terminal that is gone.
    if (target.empty()) {
        ::unlink(path.c_str());
        return true;
    }
    const std::string fresh = path + ".new";
    ::unlink(fresh.c_str());
    if (::symlink(target.c_str(), fresh.c_str()) != 0 || ::rename(fresh.c_str(), path.c_str()) != 0) {
        error = SystemError("cannot create the symlink " + path);
        ::unlink(fresh.c_str());
        Release();
        return false;
    }
    target_ = target;
    return true;
}

void LinkPath::Release()
{
    if (lock_ < 0)
        return;
    if (!target_.empty()) {
        char points[4096] = {};
        const ssize_t n = ::readlink(path_.c_str(), points, sizeof points - 1);
        if (n > 0 && target_ == std::string(points, static_cast<std::size_t>(n)))
            ::unlink(path_.c_str());
    }
    ::unlink(StatusFileOf(path_).c_str());
    ::unlink(LockFileOf(path_).c_str());
    CloseFd(lock_);
    target_.clear();
    path_.clear();
}

}  // namespace quintar::link
