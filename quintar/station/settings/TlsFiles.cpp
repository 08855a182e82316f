// The TLS files' names, and the fingerprint read with QtCore alone, so that the window and
// `quintar setup show` need no TLS library.
#include "TlsFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quintar::settings {

TlsFiles TlsFilesOf(const QString& profileFile)
{
    const QFileInfo info(profileFile);
    const QString stem = info.dir().filePath(info.completeBaseName());
    return {stem + QStringLiteral(".tls.crt"), stem + QStringLiteral(".tls.key")};
}

std::optional<QString> CertificateFingerprint(const QString& certFile)
{
    QFile file(certFile);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray pem = file.read(1 << 20);
    static const QByteArray kBegin("-----BEGIN CERTIFICATE-----"), kEnd("-----END CERTIFICATE-----");
    const qsizetype begin = pem.indexOf(kBegin);
    const qsizetype end = begin < 0 ? -1 : pem.indexOf(kEnd, begin);
    if (end < 0)
        return std::nullopt;
    QByteArray body = pem.mid(begin + kBegin.size(), end - begin - kBegin.size()).simplified();
    const auto der = QByteArray::fromBase64Encoding(body.replace(' ', QByteArray()), QByteArray::AbortOnBase64DecodingErrors);
    if (!der || der.decoded.isEmpty())
        return std::nullopt;
    return QString::fromLatin1(QCryptographicHash::hash(der.decoded, QCryptographicHash::Sha256).toHex(':').toUpper());
}

}  // namespace quintar::settings
