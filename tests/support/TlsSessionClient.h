// A TLS client of the station's secured port for tests and benchmarks (OpenSSL): connects to a
// 127.x address, runs the handshake, and sends and reads the session's text inside TLS. It trusts
// any certificate and reports its fingerprint; checking it is the caller's business.
#pragma once

#include <string>
#include <string_view>

namespace testsupport {

class TlsSessionClient {
public:
    TlsSessionClient();
    ~TlsSessionClient();
    TlsSessionClient(const TlsSessionClient&) = delete;
    TlsSessionClient& operator=(const TlsSessionClient&) = delete;

    void SetSourceAddress(std::string address) { sourceAddress_ = std::move(address); }
    // TCP connection and handshake, within timeoutMs; false with LastError() saying why.
    bool Connect(unsigned port, int timeoutMs);
    const std::string& LastError() const { return error_; }
    std::string PeerFingerprint() const;  // "AB:CD:..." as the station prints it
    std::string Protocol() const;         // "TLSv1.3", ...

    bool Send(std::string_view text);
    // Reads until `text` has arrived (true) or the time ran out or the server closed; everything
    // read is kept in Received().
    bool ReadUntil(std::string_view text, int timeoutMs);
    // Reads until the server closes (true) or the time runs out.
    bool ReadUntilClosed(int timeoutMs);
    const std::string& Received() const { return received_; }
    void ClearReceived() { received_.clear(); }
    // True when the server answered "PWD:OK;>@@UE1;".
    bool LogIn(const std::string& user, const std::string& password, int timeoutMs);
    int Fd() const { return fd_; }
    void Close();

private:
    bool Wait(int events, int timeoutMs) const;
    struct State;
    State* state_;
    int fd_ = -1;
    bool closed_ = false;
    std::string sourceAddress_;
    std::string received_;
    std::string error_;
};

}  // namespace testsupport
