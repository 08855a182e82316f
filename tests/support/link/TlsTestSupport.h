// Helpers of the link's TLS tests: a station certificate made with the openssl program, and a
// scripted station that speaks TLS on a real socket on 127.0.0.1, recording every byte the link
// sent inside the session.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace linktest {

// A self-signed ECDSA P-256 certificate and its key, as PEM files in `folder` named after `name`,
// and the SHA-256 fingerprint the openssl program prints for it ("AB:CD:...").
struct StationCertificate {
    std::string certificate;
    std::string key;
    std::string fingerprint;
};
// Empty fingerprint (and a failed expectation) when openssl could not make it.
StationCertificate MakeStationCertificate(const std::filesystem::path& folder, const std::string& name);

// One TLS connection of the station, handshake done.
class TlsPeer {
public:
    ~TlsPeer();
    TlsPeer(const TlsPeer&) = delete;
    TlsPeer& operator=(const TlsPeer&) = delete;
    bool Write(std::string_view bytes);
    // Reads until what the link sent holds `text`, or the time is up.
    bool WaitFor(std::string_view text, int timeoutMs);
    // Reads until the link closed the connection (true) or the time is up; everything it sent
    // before is in Received() then.
    bool WaitClosed(int timeoutMs);
    const std::string& Received() const { return received_; }

private:
    friend class TlsStation;
    struct Handles;
    TlsPeer() = default;
    // Reads what comes within `timeoutMs`; false when the connection ended.
    bool Fill(int timeoutMs);
    std::unique_ptr<Handles> handles_;
    bool closed_ = false;
    std::string received_;
};

// A TLS listener on 127.0.0.1 with the given certificate, answered by the test.
class TlsStation {
public:
    explicit TlsStation(const StationCertificate& certificate);
    ~TlsStation();
    unsigned Port() const { return port_; }
    // From the next connection on, as a station that made a new key.
    void UseCertificate(const StationCertificate& certificate);
    // The next connection with its handshake done, or nothing in time (or when the handshake
    // failed).
    std::unique_ptr<TlsPeer> Accept(int timeoutMs);

private:
    struct Context;
    std::unique_ptr<Context> context_;
    int listener_ = -1;
    unsigned port_ = 0;
};

}  // namespace linktest
