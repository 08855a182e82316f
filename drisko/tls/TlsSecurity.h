// TLS for CDrisko's secured port (OpenSSL 3): the provider made from the station's certificate and
// key, and the key material helpers `quintar setup tls` uses. Only the station and the tests link
// this; the plain transport and the radio library stay free of OpenSSL.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "ConnectionSecurity.h"

namespace drisko::tls {

class TlsProvider final : public SecurityProvider {
public:
    // The certificate and key (PEM files); null with the reason, naming the file, when either
    // cannot be read or they do not belong together.
    static std::unique_ptr<TlsProvider> Load(const std::string& certFile, const std::string& keyFile,
                                             std::string& error);
    ~TlsProvider() override;
    std::unique_ptr<ConnectionSecurity> Secure(int fd) override;
    std::string Fingerprint() const override { return fingerprint_; }

private:
    TlsProvider() = default;
    struct Context;
    Context* context_ = nullptr;
    std::string fingerprint_;
};

// A new ECDSA P-256 key and a self-signed certificate for `commonName`, ten years, random serial.
struct KeyPair {
    std::string certPem;
    std::string keyPem;
};
std::optional<KeyPair> MakeSelfSigned(const std::string& commonName, std::string& error);

// The fingerprint of the first certificate in `certPem` when the key in `keyPem` is its key;
// otherwise nothing, with the reason.
std::optional<std::string> CheckPair(const std::string& certPem, const std::string& keyPem, std::string& error);

// The SHA-256 of a certificate's DER form as 32 upper-case hex pairs joined by colons.
std::optional<std::string> FingerprintOfPem(const std::string& certPem);

}  // namespace drisko::tls
