// The fuzz targets' shared helpers.
#include "FuzzSupport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace fuzzsupport {

namespace {

using Clock = std::chrono::steady_clock;

int LeftMs(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

void MakeRaw(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
}

sockaddr_in Loopback(const char* address, unsigned port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, address, &a.sin_addr);
    return a;
}

}  // namespace

void Fail(const std::string& property, const std::string& detail) {
    std::fprintf(stderr, "\n==== PROPERTY BROKEN: %s\n%s\n", property.c_str(), detail.c_str());
    std::fflush(stderr);
    std::abort();
}

std::string Shown(std::string_view bytes, std::size_t limit) {
    std::string out = "\"";
    for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
            out += escape;
        }
    }
    if (bytes.size() > limit) out += "...(" + std::to_string(bytes.size()) + " bytes)";
    return out + "\"";
}

Pty::Pty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128];
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0)
        Fail("set-up", "no pseudo-terminal");
    slavePath_ = name;
    slaveProbe_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (slaveProbe_ < 0) Fail("set-up", "cannot open " + slavePath_);
    MakeRaw(slaveProbe_);
    MakeRaw(master_);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
}

Pty::~Pty() {
    if (slaveProbe_ >= 0) close(slaveProbe_);
    if (master_ >= 0) close(master_);
}

void Pty::Write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = write(master_, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) Fail("set-up", "pseudo-terminal write failed");
        pollfd p{master_, POLLOUT, 0};
        poll(&p, 1, 10);
    }
}

int Pty::SlaveQueued() const {
    int n = 0;
    return ioctl(slaveProbe_, FIONREAD, &n) == 0 ? n : 0;
}

bool Pty::ReadUntil(std::string& into, std::string_view text, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        char buffer[4096];
        ssize_t n;
        while ((n = read(master_, buffer, sizeof buffer)) > 0) into.append(buffer, static_cast<std::size_t>(n));
        if (into.find(text) != std::string::npos) return true;
        const int left = LeftMs(deadline);
        if (left == 0) return false;
        pollfd p{master_, POLLIN, 0};
        poll(&p, 1, left);
    }
}

static std::string Joined(const std::string& section, const std::string& key) { return section + "/" + key; }

int MemoryProfile::GetInt(const std::string& section, const std::string& key, int def) {
    std::lock_guard<std::mutex> g(lock_);
    const auto it = values_.find(Joined(section, key));
    if (it == values_.end()) return def;
    char* end = nullptr;
    const long v = std::strtol(it->second.c_str(), &end, 10);
    return end && *end == 0 && !it->second.empty() ? static_cast<int>(v) : def;
}

std::string MemoryProfile::GetString(const std::string& section, const std::string& key, const std::string& def) {
    std::lock_guard<std::mutex> g(lock_);
    const auto it = values_.find(Joined(section, key));
    return it == values_.end() ? def : it->second;
}

bool MemoryProfile::WriteInt(const std::string& section, const std::string& key, int value) {
    return WriteString(section, key, std::to_string(value));
}

bool MemoryProfile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    if (failWrites_.load()) return false;
    Set(section, key, value);
    return true;
}

void MemoryProfile::Set(const std::string& section, const std::string& key, const std::string& value) {
    std::lock_guard<std::mutex> g(lock_);
    values_[Joined(section, key)] = value;
}

void MemoryProfile::Clear() {
    std::lock_guard<std::mutex> g(lock_);
    values_.clear();
}

void CheckingWindow::Post(unsigned message, unsigned long wParam, long lParam) {
    if (message != 12800) Fail("the library posts only its notification message", std::to_string(message));
    std::lock_guard<std::mutex> g(lock_);
    posted_.push_back({wParam, lParam});
}

std::vector<Posted> CheckingWindow::Take() {
    std::lock_guard<std::mutex> g(lock_);
    std::vector<Posted> out;
    out.swap(posted_);
    return out;
}

unsigned FreeTcpPort() {
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = Loopback("127.0.0.1", 0);
    socklen_t len = sizeof a;
    unsigned port = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    close(s);
    return port;
}

int ConnectFrom(const char* source, unsigned port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    sockaddr_in from = Loopback(source, 0);
    sockaddr_in to = Loopback("127.0.0.1", port);
    if (bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
        connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void SendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        return;
    }
}

bool ReadSome(int fd, std::string& into, int waitMs, bool* reset) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, waitMs) <= 0) return true;
    char buffer[4096];
    const ssize_t n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n > 0) {
        into.append(buffer, static_cast<std::size_t>(n));
        return true;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return true;
    if (reset) *reset = n < 0;
    return false;
}

}  // namespace fuzzsupport
