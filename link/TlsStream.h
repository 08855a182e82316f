// TLS to the station over the link's non-blocking socket (OpenSSL). Every call returns at once and
// says what the socket must become ready for, so the link's single poll loop keeps the stream.
// There is no certificate-authority check: the station's certificate is self-signed, and trust is
// decided by its fingerprint (KnownStations.h).
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace quintar::link {

class TlsStream {
public:
    enum class Io {
        Done,       // finished (Handshake) or moved bytes (Read, Write)
        WantRead,   // call again once the socket is readable
        WantWrite,  // call again once the socket is writable
        Closed,     // the station closed the connection (Error(): how it broke, or empty)
        Failed,     // TLS failed; Error() says why
    };

    // Starts a client on the connected socket `fd` (owned by the caller), the server name `host`.
    // Null with `error` when OpenSSL cannot be set up.
    static std::unique_ptr<TlsStream> Start(int fd, const std::string& host, std::string& error);
    ~TlsStream();
    TlsStream(const TlsStream&) = delete;
    TlsStream& operator=(const TlsStream&) = delete;

    Io Handshake();
    // Done with `got` > 0; never Done with nothing.
    Io Read(char* buffer, std::size_t size, std::size_t& got);
    // Done with `put` > 0 bytes taken from the front of `data` (a retry may pass a longer `data`
    // whose front is unchanged, at another address).
    Io Write(const char* data, std::size_t size, std::size_t& put);
    // Whether the last call wanted the socket writable (poll for POLLOUT).
    bool WantsWrite() const { return wantsWrite_; }
    // Sends the close notice if the socket takes it now; never waits.
    void Close();

    // The station's certificate: its SHA-256 fingerprint ("AB:CD:..."), after the handshake.
    const std::string& Fingerprint() const { return fingerprint_; }
    // "TLSv1.3 TLS_AES_256_GCM_SHA384", after the handshake.
    std::string Description() const;
    const std::string& Error() const { return error_; }

private:
    struct Handles;
    TlsStream() = default;
    Io Result(int rc, bool handshake);

    std::unique_ptr<Handles> handles_;
    bool wantsWrite_ = false;
    std::string fingerprint_;
    std::string error_;
};

}  // namespace quintar::link
