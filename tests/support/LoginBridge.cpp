// The login bridge: the login dialogue on the session client, then one thread that polls the
// socket, the pseudo-terminal's master side and a wake-up descriptor, and copies between them.
#include "LoginBridge.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace testsupport {

namespace {

bool EndsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Writes what the descriptor takes now; the rest stays in `pending`.
bool Flush(int fd, std::string& pending, bool socket)
{
    while (!pending.empty()) {
        const ssize_t n = socket ? send(fd, pending.data(), pending.size(), MSG_NOSIGNAL | MSG_DONTWAIT)
                                 : write(fd, pending.data(), pending.size());
        if (n > 0) {
            pending.erase(0, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
    return true;
}

}  // namespace

LoginBridge::~LoginBridge()
{
    Stop();
}

bool LoginBridge::Start(unsigned port, const std::string& user, const std::string& password, int timeoutMs)
{
    if (!session_.ConnectAndGreet(port, timeoutMs)) {
        error_ = "no greeting from port " + std::to_string(port);
        return false;
    }
    if (!session_.Send("UID:" + user + ";PWD:" + password + ";")) {
        error_ = "cannot send the login";
        return false;
    }
    // "PWD:" then OK or NG; a refusal ends the wait at once.
    std::string reply = session_.ReadUntil("PWD:", timeoutMs);
    reply += session_.ReadUntil(";", timeoutMs);
    if (EndsWith(reply, "PWD:OK;"))
        reply += session_.ReadUntil(";", timeoutMs);
    if (!EndsWith(reply, "PWD:OK;>@@UE1;")) {
        error_ = "login refused: " + reply;
        return false;
    }

    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128] = {};
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0) {
        error_ = "cannot open a pseudo-terminal";
        return false;
    }
    slave_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    wake_ = eventfd(0, EFD_CLOEXEC);
    if (slave_ < 0 || wake_ < 0) {
        error_ = "cannot open the terminal's slave side";
        return false;
    }
    termios tio{};
    if (tcgetattr(slave_, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(slave_, TCSANOW, &tio);
    }
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    slavePath_ = name;
    const std::string early = session_.Pending();
    FromServer(early.data(), early.size());
    copier_ = std::thread([this] { Copy(); });
    return true;
}

void LoginBridge::Stop()
{
    if (copier_.joinable()) {
        eventfd_write(wake_, 1);
        copier_.join();
    }
    session_.Close();
    for (int* fd : {&master_, &slave_, &wake_}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
}

std::string LoginBridge::Dropped() const
{
    std::lock_guard g(lock_);
    return dropped_;
}

bool LoginBridge::ServerClosed() const
{
    std::lock_guard g(lock_);
    return serverClosed_;
}

// Radio answers begin with a letter or "?"; a command that begins with "@" is the server's.
void LoginBridge::FromServer(const char* data, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        const char c = data[i];
        if (!inReport_ && atBoundary_ && c == '@')
            inReport_ = true;
        if (inReport_) {
            std::lock_guard g(lock_);
            dropped_ += c;
        } else {
            toProgram_ += c;
        }
        atBoundary_ = c == ';';
        if (c == ';')
            inReport_ = false;
    }
}

void LoginBridge::Copy()
{
    const int socket = session_.Fd();
    bool serverOpen = true;
    char buffer[4096];
    for (;;) {
        pollfd p[3] = {{wake_, POLLIN, 0},
                       {socket, static_cast<short>((serverOpen ? POLLIN : 0) | (toServer_.empty() ? 0 : POLLOUT)), 0},
                       {master_, static_cast<short>(POLLIN | (toProgram_.empty() ? 0 : POLLOUT)), 0}};
        if (poll(p, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (p[0].revents & POLLIN)
            return;
        if (p[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t n = recv(socket, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0) {
                FromServer(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                serverOpen = false;
                std::lock_guard g(lock_);
                serverClosed_ = true;
            }
        }
        if (p[2].revents & POLLIN) {
            const ssize_t n = read(master_, buffer, sizeof buffer);
            if (n > 0)
                toServer_.append(buffer, static_cast<std::size_t>(n));
        }
        Flush(master_, toProgram_, false);
        if (serverOpen && !Flush(socket, toServer_, true))
            toServer_.clear();  // the server is gone; the next receive tells so
    }
}

}  // namespace testsupport
