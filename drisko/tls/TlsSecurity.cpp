// OpenSSL behind ConnectionSecurity: one server context (TLS 1.2 and 1.3, forward-secret AEAD
// suites only, no compression or renegotiation), one SSL object per connection on its non-blocking
// socket; and the key material of `quintar setup tls`.
#include "TlsSecurity.h"

#include <openssl/bio.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <memory>

namespace drisko::tls {

namespace {

constexpr char kTls12Ciphers[] =
    "ECDHE-ECDSA-AES128-GCM-SHA256:ECDHE-ECDSA-AES256-GCM-SHA384:ECDHE-ECDSA-CHACHA20-POLY1305:"
    "ECDHE-RSA-AES128-GCM-SHA256:ECDHE-RSA-AES256-GCM-SHA384:ECDHE-RSA-CHACHA20-POLY1305";
constexpr int kValidDays = 3650;

template <class T, void (*Free)(T*)>
struct Deleter {
    void operator()(T* p) const { Free(p); }
};
using Bio = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;
using Cert = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using Key = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;

std::string LastSslError()
{
    const unsigned long e = ERR_get_error();
    ERR_clear_error();
    if (e == 0)
        return "no details";
    char text[256];
    ERR_error_string_n(e, text, sizeof text);
    return text;
}

Cert ReadCert(const std::string& pem)
{
    Bio bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    return Cert(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr);
}

Key ReadKey(const std::string& pem)
{
    Bio bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    return Key(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr);
}

std::string CertFingerprint(X509* cert)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!X509_digest(cert, EVP_sha256(), digest, &length))
        return {};
    std::string text;
    char pair[4];
    for (unsigned i = 0; i < length; ++i) {
        std::snprintf(pair, sizeof pair, i + 1 < length ? "%02X:" : "%02X", digest[i]);
        text += pair;
    }
    return text;
}

std::string Pem(int (*write)(BIO*, void*), void* object)
{
    Bio bio(BIO_new(BIO_s_mem()));
    if (!bio || !write(bio.get(), object))
        return {};
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<std::size_t>(size));
}

class TlsConnection final : public ConnectionSecurity {
public:
    explicit TlsConnection(SSL* ssl) : ssl_(ssl) {}
    ~TlsConnection() override { SSL_free(ssl_); }

    Step Handshake() override { return Result(SSL_accept(ssl_)); }

    Step Read(unsigned char* data, std::size_t size, std::size_t& moved) override
    {
        moved = 0;
        const int r = SSL_read_ex(ssl_, data, size, &moved);
        return r == 1 ? Step::Done : Result(r);
    }

    Step Write(const unsigned char* data, std::size_t size, std::size_t& moved) override
    {
        moved = 0;
        const int r = SSL_write_ex(ssl_, data, size, &moved);
        return r == 1 ? Step::Done : Result(r);
    }

    void Close() override
    {
        SSL_shutdown(ssl_);  // the close notice, sent if the socket takes it now
        ERR_clear_error();
    }

private:
    Step Result(int r)
    {
        if (r == 1)
            return Step::Done;
        const int error = SSL_get_error(ssl_, r);
        ERR_clear_error();  // the queue is per thread; nothing of this connection stays in it
        switch (error) {
        case SSL_ERROR_WANT_READ: return Step::WantRead;
        case SSL_ERROR_WANT_WRITE: return Step::WantWrite;
        case SSL_ERROR_ZERO_RETURN: return Step::Closed;
        default: return Step::Failed;
        }
    }

    SSL* ssl_;
};

}  // namespace

struct TlsProvider::Context {
    SSL_CTX* ctx = nullptr;
    ~Context() { SSL_CTX_free(ctx); }
};

std::unique_ptr<TlsProvider> TlsProvider::Load(const std::string& certFile, const std::string& keyFile,
                                               std::string& error)
{
    auto context = std::make_unique<Context>();
    context->ctx = SSL_CTX_new(TLS_server_method());
    SSL_CTX* ctx = context->ctx;
    if (!ctx) {
        error = "TLS cannot start: " + LastSslError();
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    SSL_CTX_set_options(ctx, SSL_OP_NO_COMPRESSION | SSL_OP_NO_RENEGOTIATION | SSL_OP_NO_TICKET |
                                 SSL_OP_CIPHER_SERVER_PREFERENCE | SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_OFF);
    if (!SSL_CTX_set_cipher_list(ctx, kTls12Ciphers)) {
        error = "TLS cannot start: " + LastSslError();
        return nullptr;
    }
    if (SSL_CTX_use_certificate_chain_file(ctx, certFile.c_str()) != 1) {
        error = "the certificate " + certFile + " cannot be used: " + LastSslError();
        return nullptr;
    }
    if (SSL_CTX_use_PrivateKey_file(ctx, keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
        if (ERR_GET_REASON(ERR_peek_last_error()) == X509_R_KEY_VALUES_MISMATCH) {
            ERR_clear_error();
            error = "the key " + keyFile + " does not belong to the certificate " + certFile;
        } else {
            error = "the key " + keyFile + " cannot be used: " + LastSslError();
        }
        return nullptr;
    }
    if (SSL_CTX_check_private_key(ctx) != 1) {
        error = "the key " + keyFile + " does not belong to the certificate " + certFile;
        ERR_clear_error();
        return nullptr;
    }
    std::unique_ptr<TlsProvider> provider(new TlsProvider);
    provider->fingerprint_ = CertFingerprint(SSL_CTX_get0_certificate(ctx));
    provider->context_ = context.release();
    return provider;
}

TlsProvider::~TlsProvider()
{
    delete context_;
}

std::unique_ptr<ConnectionSecurity> TlsProvider::Secure(int fd)
{
    SSL* ssl = SSL_new(context_->ctx);
    if (!ssl || SSL_set_fd(ssl, fd) != 1) {
        SSL_free(ssl);
        ERR_clear_error();
        return nullptr;
    }
    SSL_set_accept_state(ssl);
    // A record's header and body in one receive, not two.
    SSL_set_read_ahead(ssl, 1);
    return std::make_unique<TlsConnection>(ssl);
}

// The name as the certificate's subjectAltName too (clients and scanners take the name from there);
// left out when it is no plain host name, so that no other text enters the extension.
bool AddAltName(X509* cert, const std::string& name)
{
    if (name.empty() || name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-") !=
                            std::string::npos)
        return true;
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, NID_subject_alt_name, ("DNS:" + name).c_str());
    const bool added = extension && X509_add_ext(cert, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return added;
}

std::optional<KeyPair> MakeSelfSigned(const std::string& commonName, std::string& error)
{
    Key key(EVP_EC_gen("P-256"));
    Cert cert(X509_new());
    if (!key || !cert) {
        error = "cannot make a key: " + LastSslError();
        return std::nullopt;
    }
    unsigned char serial[16];
    const bool random = RAND_bytes(serial, sizeof serial) == 1;
    serial[0] &= 0x7F;  // a positive number
    BIGNUM* number = random ? BN_bin2bn(serial, sizeof serial, nullptr) : nullptr;
    const bool made = number && BN_to_ASN1_INTEGER(number, X509_get_serialNumber(cert.get())) &&
                      X509_set_version(cert.get(), X509_VERSION_3) &&
                      X509_gmtime_adj(X509_getm_notBefore(cert.get()), 0) &&
                      X509_gmtime_adj(X509_getm_notAfter(cert.get()), 60L * 60 * 24 * kValidDays) &&
                      X509_set_pubkey(cert.get(), key.get()) &&
                      X509_NAME_add_entry_by_txt(X509_get_subject_name(cert.get()), "CN", MBSTRING_UTF8,
                                                 reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1, 0) &&
                      X509_set_issuer_name(cert.get(), X509_get_subject_name(cert.get())) &&
                      AddAltName(cert.get(), commonName) && X509_sign(cert.get(), key.get(), EVP_sha256()) > 0;
    BN_free(number);
    if (!made) {
        error = "cannot make the certificate: " + LastSslError();
        return std::nullopt;
    }
    KeyPair pair;
    pair.certPem = Pem([](BIO* b, void* o) { return PEM_write_bio_X509(b, static_cast<X509*>(o)); }, cert.get());
    pair.keyPem = Pem([](BIO* b, void* o) {
        return PEM_write_bio_PrivateKey(b, static_cast<EVP_PKEY*>(o), nullptr, nullptr, 0, nullptr, nullptr);
    }, key.get());
    if (pair.certPem.empty() || pair.keyPem.empty()) {
        error = "cannot write the key material: " + LastSslError();
        return std::nullopt;
    }
    return pair;
}

std::optional<std::string> CheckPair(const std::string& certPem, const std::string& keyPem, std::string& error)
{
    Cert cert = ReadCert(certPem);
    if (!cert) {
        ERR_clear_error();
        error = "holds no PEM certificate";
        return std::nullopt;
    }
    Key key = ReadKey(keyPem);
    if (!key) {
        ERR_clear_error();
        error = "holds no PEM private key (or one protected by a passphrase)";
        return std::nullopt;
    }
    if (X509_check_private_key(cert.get(), key.get()) != 1) {
        ERR_clear_error();
        error = "the key does not belong to the certificate";
        return std::nullopt;
    }
    return CertFingerprint(cert.get());
}

std::optional<std::string> FingerprintOfPem(const std::string& certPem)
{
    Cert cert = ReadCert(certPem);
    ERR_clear_error();
    if (!cert)
        return std::nullopt;
    return CertFingerprint(cert.get());
}

}  // namespace drisko::tls
