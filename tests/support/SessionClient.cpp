// The session test client on blocking POSIX sockets with poll-bounded reads.
#include "SessionClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <random>
#include <thread>
#include <tuple>
#include <utility>

namespace testsupport {

namespace {

using Clock = std::chrono::steady_clock;

sockaddr_in Loopback(unsigned port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return addr;
}

int LeftMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Whether a TCP listener could take `port` on 127.0.0.1 now.
bool TcpPortFree(unsigned port) {
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in addr = Loopback(port);
    const bool free = s >= 0 && bind(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
    if (s >= 0)
        close(s);
    return free;
}

// Claims `port` for this process until it ends: an abstract local socket named after the port,
// which no other test process can bind while this one holds it, and which leaves no file behind.
bool ClaimForThisProcess(unsigned port) {
    const int s = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return false;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const int length = std::snprintf(addr.sun_path + 1, sizeof addr.sun_path - 1, "quintar-test-port-%u", port);
    const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
    if (bind(s, reinterpret_cast<const sockaddr*>(&addr), size) != 0) {
        close(s);
        return false;
    }
    return true;  // the socket stays open: the claim lasts as long as the process
}

}  // namespace

// A port that test processes running side by side never share, from outside the kernel's range
// for bind to port 0 and for the source ports of outgoing connections, where any other program
// may take it between the test's choice and the station's bind.
unsigned FreeTcpPort() {
    unsigned low = 32768, high = 60999;
    std::ifstream("/proc/sys/net/ipv4/ip_local_port_range") >> low >> high;
    // Below the range where there is room, else above it, else (a machine whose range is nearly
    // everything) anywhere: the claim still keeps test processes apart.
    unsigned first = 10000, last = low - 2;
    if (low <= 12000)
        std::tie(first, last) = high < 63000 ? std::pair(high + 1, 65534u) : std::pair(1024u, 65534u);
    static std::mutex mutex;
    static std::mt19937 random{std::random_device{}()};
    std::lock_guard lock(mutex);
    std::uniform_int_distribution<unsigned> pick(first, last);
    for (int attempt = 0; attempt < 500; ++attempt) {
        if (const unsigned port = pick(random); TcpPortFree(port) && ClaimForThisProcess(port))
            return port;
    }
    return 0;
}

SessionClient::~SessionClient() { Close(); }

SessionClient::SessionClient(SessionClient&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      eof_(other.eof_),
      buffer_(std::move(other.buffer_)),
      greeting_(std::move(other.greeting_)),
      receiveBuffer_(other.receiveBuffer_),
      sourceAddress_(std::move(other.sourceAddress_)) {}

SessionClient& SessionClient::operator=(SessionClient&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        eof_ = other.eof_;
        buffer_ = std::move(other.buffer_);
        greeting_ = std::move(other.greeting_);
        receiveBuffer_ = other.receiveBuffer_;
        sourceAddress_ = std::move(other.sourceAddress_);
    }
    return *this;
}

bool SessionClient::Connect(unsigned port) {
    Close();
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return false;
    int on = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (receiveBuffer_ > 0) setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer_, sizeof receiveBuffer_);
    if (!sourceAddress_.empty()) {
        sockaddr_in source = Loopback(0);
        if (inet_pton(AF_INET, sourceAddress_.c_str(), &source.sin_addr) != 1 ||
            bind(fd_, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0) {
            Close();
            return false;
        }
    }
    sockaddr_in addr = Loopback(port);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        Close();
        return false;
    }
    return true;
}

bool SessionClient::ConnectAndGreet(unsigned port, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < deadline) {
        if (Connect(port)) {
            std::string greeting = ReadExact(kGreetingSize, LeftMs(deadline));
            if (greeting.size() == kGreetingSize) {
                greeting_ = std::move(greeting);
                return true;
            }
            Close();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

bool SessionClient::Send(std::string_view text) {
    std::size_t done = 0;
    while (fd_ >= 0 && done < text.size()) {
        ssize_t n = send(fd_, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return fd_ >= 0;
}

bool SessionClient::Fill(int timeoutMs) {
    if (fd_ < 0 || eof_) return false;
    pollfd p{fd_, POLLIN, 0};
    int r = poll(&p, 1, timeoutMs);
    if (r <= 0) return r == 0;
    char chunk[8192];
    ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
    if (n < 0 && errno == EINTR) return true;
    if (n <= 0) {
        eof_ = true;
        return false;
    }
    buffer_.append(chunk, static_cast<std::size_t>(n));
    return true;
}

std::string SessionClient::Take(std::size_t count) {
    std::string out = buffer_.substr(0, count);
    buffer_.erase(0, count);
    return out;
}

std::string SessionClient::ReadExact(std::size_t count, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (buffer_.size() < count && Clock::now() < deadline)
        if (!Fill(LeftMs(deadline))) break;
    return Take(count);
}

std::string SessionClient::ReadUntil(std::string_view text, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        auto at = buffer_.find(text);
        if (at != std::string::npos) return Take(at + text.size());
        if (Clock::now() >= deadline || !Fill(LeftMs(deadline))) return Take(buffer_.size());
    }
}

std::string SessionClient::ReadUntilClosed(int timeoutMs, bool* closed) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!eof_ && fd_ >= 0 && Clock::now() < deadline) Fill(LeftMs(deadline));
    if (closed) *closed = eof_;
    return Take(buffer_.size());
}

std::string SessionClient::Pending(int waitMs) {
    if (waitMs > 0) Fill(waitMs);
    while (fd_ >= 0 && !eof_) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, 0) <= 0 || !Fill(0)) break;
    }
    return Take(buffer_.size());
}

bool SessionClient::ShutdownSending() { return fd_ >= 0 && shutdown(fd_, SHUT_WR) == 0; }

void SessionClient::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    eof_ = false;
    buffer_.clear();
}

}  // namespace testsupport
