// ConnectionSecurity: what CDrisko needs of a layer that secures an accepted connection (TLS on
// the second listening port), free of any crypto library so that the plain transport links none.
// Every call is non-blocking; CDrisko drives the steps from its poll loop.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

class ConnectionSecurity {
public:
    // How a step ended: done (or bytes moved), waiting for the socket, the peer's orderly end,
    // or a failure that ends the connection.
    enum class Step { Done, WantRead, WantWrite, Closed, Failed };

    virtual ~ConnectionSecurity() = default;
    virtual Step Handshake() = 0;
    // Moves at most `size` bytes; `moved` says how many (Done with moved > 0, else why not).
    virtual Step Read(unsigned char* data, std::size_t size, std::size_t& moved) = 0;
    // The same bytes (or more) are offered again after WantRead/WantWrite.
    virtual Step Write(const unsigned char* data, std::size_t size, std::size_t& moved) = 0;
    virtual void Close() = 0;  // says goodbye where the peer still listens; never waits
};

// Makes the layer for each connection accepted on the secured port.
class SecurityProvider {
public:
    virtual ~SecurityProvider() = default;
    virtual std::unique_ptr<ConnectionSecurity> Secure(int fd) = 0;  // null: cannot (out of memory)
    virtual std::string Fingerprint() const = 0;                      // of the certificate shown
};
