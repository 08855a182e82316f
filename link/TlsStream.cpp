// The OpenSSL client behind TlsStream: TLS 1.2 and 1.3 only, forward-secret AEAD suites for 1.2,
// no compression, no renegotiation, the station's certificate taken for its fingerprint alone.
#include "TlsStream.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <cerrno>
#include <cstring>

#include "KnownStations.h"

namespace quintar::link {

namespace {

constexpr const char* kTls12Ciphers =
    "ECDHE-ECDSA-AES128-GCM-SHA256:ECDHE-ECDSA-AES256-GCM-SHA384:ECDHE-ECDSA-CHACHA20-POLY1305:"
    "ECDHE-RSA-AES128-GCM-SHA256:ECDHE-RSA-AES256-GCM-SHA384:ECDHE-RSA-CHACHA20-POLY1305";

// The reason of the oldest queued OpenSSL error ("wrong version number"), or `otherwise`.
std::string QueuedError(const std::string& otherwise)
{
    const unsigned long e = ERR_get_error();
    ERR_clear_error();
    if (e == 0)
        return otherwise;
    const char* reason = ERR_reason_error_string(e);
    return reason ? reason : otherwise;
}

// A name for SNI: host names only, an address literal is not sent.
bool IsAddressLiteral(const std::string& host)
{
    unsigned char scratch[sizeof(in6_addr)];
    return ::inet_pton(AF_INET, host.c_str(), scratch) == 1 || ::inet_pton(AF_INET6, host.c_str(), scratch) == 1;
}

}  // namespace

struct TlsStream::Handles {
    SSL_CTX* context = nullptr;
    SSL* ssl = nullptr;
    ~Handles()
    {
        SSL_free(ssl);
        SSL_CTX_free(context);
    }
};

std::unique_ptr<TlsStream> TlsStream::Start(int fd, const std::string& host, std::string& error)
{
    std::unique_ptr<TlsStream> t(new TlsStream);
    t->handles_ = std::make_unique<Handles>();
    Handles& h = *t->handles_;
    ERR_clear_error();
    h.context = SSL_CTX_new(TLS_client_method());
    if (!h.context || !SSL_CTX_set_min_proto_version(h.context, TLS1_2_VERSION) ||
        !SSL_CTX_set_cipher_list(h.context, kTls12Ciphers)) {
        error = "cannot set up TLS: " + QueuedError("OpenSSL refused the settings");
        return nullptr;
    }
    SSL_CTX_set_options(h.context, SSL_OP_NO_COMPRESSION | SSL_OP_NO_RENEGOTIATION | SSL_OP_NO_TICKET |
                                        SSL_OP_IGNORE_UNEXPECTED_EOF);
    // The fingerprint is the trust decision; the chain is not checked against any authority.
    SSL_CTX_set_verify(h.context, SSL_VERIFY_NONE, nullptr);
    // The send queue is a string that grows and moves; a retried write passes its new address.
    SSL_CTX_set_mode(h.context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    h.ssl = SSL_new(h.context);
    if (!h.ssl || !SSL_set_fd(h.ssl, fd) ||
        (!IsAddressLiteral(host) && !SSL_set_tlsext_host_name(h.ssl, host.c_str()))) {
        error = "cannot set up TLS: " + QueuedError("OpenSSL refused the connection");
        return nullptr;
    }
    SSL_set_connect_state(h.ssl);
    return t;
}

TlsStream::~TlsStream() = default;

TlsStream::Io TlsStream::Result(int rc, bool handshake)
{
    wantsWrite_ = false;
    const int e = SSL_get_error(handles_->ssl, rc);
    const int saved = errno;
    switch (e) {
    case SSL_ERROR_WANT_READ:
        return Io::WantRead;
    case SSL_ERROR_WANT_WRITE:
        wantsWrite_ = true;
        return Io::WantWrite;
    case SSL_ERROR_ZERO_RETURN:
        error_.clear();
        return Io::Closed;
    case SSL_ERROR_SYSCALL:
        // The connection broke or ended without the close notice: the station went away.
        error_ = QueuedError(saved != 0 ? std::strerror(saved) : "");
        return Io::Closed;
    default:
        if (ERR_GET_REASON(ERR_peek_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING) {
            ERR_clear_error();
            error_.clear();
            return Io::Closed;
        }
        error_ = QueuedError(handshake ? "the TLS handshake failed" : "TLS failed");
        return Io::Failed;
    }
}

TlsStream::Io TlsStream::Handshake()
{
    ERR_clear_error();
    errno = 0;
    const int rc = SSL_do_handshake(handles_->ssl);
    if (rc != 1)
        return Result(rc, true);
    wantsWrite_ = false;
    X509* certificate = SSL_get1_peer_certificate(handles_->ssl);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    const bool digested = certificate && X509_digest(certificate, EVP_sha256(), digest, &size) == 1;
    X509_free(certificate);
    if (!digested) {
        error_ = "the station presented no certificate";
        return Io::Failed;
    }
    fingerprint_ = FingerprintOf(digest, size);
    return Io::Done;
}

TlsStream::Io TlsStream::Read(char* buffer, std::size_t size, std::size_t& got)
{
    ERR_clear_error();
    errno = 0;
    got = 0;
    const int rc = SSL_read_ex(handles_->ssl, buffer, size, &got);
    if (rc == 1) {
        wantsWrite_ = false;
        return Io::Done;
    }
    return Result(rc, false);
}

TlsStream::Io TlsStream::Write(const char* data, std::size_t size, std::size_t& put)
{
    ERR_clear_error();
    errno = 0;
    put = 0;
    const int rc = SSL_write_ex(handles_->ssl, data, size, &put);
    if (rc == 1) {
        wantsWrite_ = false;
        return Io::Done;
    }
    return Result(rc, false);
}

void TlsStream::Close()
{
    ERR_clear_error();
    if (SSL_is_init_finished(handles_->ssl))
        SSL_shutdown(handles_->ssl);  // one try: a socket that does not take it now is closed anyway
    ERR_clear_error();
}

std::string TlsStream::Description() const
{
    return std::string(SSL_get_version(handles_->ssl)) + " " + SSL_get_cipher_name(handles_->ssl);
}

}  // namespace quintar::link
