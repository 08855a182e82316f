// Where the station's TLS certificate and key lie (beside the profile: home.ini has home.tls.crt and
// home.tls.key) and the certificate's fingerprint as operators compare it.
#pragma once

#include <QString>

#include <optional>

namespace quintar::settings {

struct TlsFiles {
    QString cert;
    QString key;
};
TlsFiles TlsFilesOf(const QString& profileFile);

// The SHA-256 of the first certificate's DER form in a PEM file, as 32 upper-case hex pairs joined
// by colons; nothing when the file holds no certificate or cannot be read.
std::optional<QString> CertificateFingerprint(const QString& certFile);

}  // namespace quintar::settings
