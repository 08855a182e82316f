// A plain TCP client for the session server's tests and benchmarks: connects to 127.0.0.1, sends
// text, and reads what the server sends (an exact count, up to a text, or to the server's close).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace testsupport {

// A TCP port on 127.0.0.1 that nothing listens on at the moment of the call and that no other
// caller, in this process or another, is given while this process runs (0 when none is found).
unsigned FreeTcpPort();

class SessionClient {
public:
    static constexpr std::size_t kGreetingSize = 256;

    SessionClient() = default;
    ~SessionClient();
    SessionClient(SessionClient&& other) noexcept;
    SessionClient& operator=(SessionClient&& other) noexcept;
    SessionClient(const SessionClient&) = delete;
    SessionClient& operator=(const SessionClient&) = delete;

    // A small receive buffer, set before connecting, imitates a client on a slow link.
    void SetReceiveBuffer(int bytes) { receiveBuffer_ = bytes; }
    // Connects from another loopback address (127.0.0.2, ...), as a second machine would.
    void SetSourceAddress(std::string address) { sourceAddress_ = std::move(address); }

    // One connection attempt.
    bool Connect(unsigned port);
    // Connects until a server takes the connection and its whole greeting block has arrived; a
    // one-client server turns away or refuses connections while it is busy or between clients.
    bool ConnectAndGreet(unsigned port, int timeoutMs);
    const std::string& Greeting() const { return greeting_; }

    bool Send(std::string_view text);
    // Exactly `count` bytes, or what arrived before the time ran out or the server closed.
    std::string ReadExact(std::size_t count, int timeoutMs);
    // Everything up to and including `text`, or everything that arrived if it never came.
    std::string ReadUntil(std::string_view text, int timeoutMs);
    // Everything until the server closes the connection; `closed` tells whether it did in time.
    std::string ReadUntilClosed(int timeoutMs, bool* closed = nullptr);
    // Bytes already received and not yet handed out, after a short look for more.
    std::string Pending(int waitMs = 0);

    // Shuts down the sending side only (as `nc` does at the end of its input); answers still come.
    bool ShutdownSending();
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }

private:
    // Receives once, waiting at most timeoutMs; false when the server closed or failed.
    bool Fill(int timeoutMs);
    std::string Take(std::size_t count);

    int fd_ = -1;
    bool eof_ = false;
    std::string buffer_;
    std::string greeting_;
    int receiveBuffer_ = 0;
    std::string sourceAddress_;
};

}  // namespace testsupport
