// The scripted TLS station: blocking OpenSSL calls bounded by socket time-outs, so a link that
// stalls fails the test instead of hanging it.
#include "TlsTestSupport.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "ChildProcess.h"

namespace linktest {

namespace {

void SetTimeout(int fd, int ms)
{
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

}  // namespace

StationCertificate MakeStationCertificate(const std::filesystem::path& folder, const std::string& name)
{
    StationCertificate c{(folder / (name + ".crt")).string(), (folder / (name + ".key")).string(), {}};
    const std::string openssl = testsupport::FindOnPath("openssl");
    EXPECT_FALSE(openssl.empty()) << "the openssl program is not installed (Debian package openssl)";
    testsupport::ChildProcess make(openssl, {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256",
                                               "-nodes", "-keyout", c.key, "-out", c.certificate, "-days", "30",
                                               "-subj", "/CN=" + name});
    EXPECT_TRUE(make.Run() && make.ExitStatus() == 0) << make.Err();
    testsupport::ChildProcess print(openssl, {"x509", "-noout", "-fingerprint", "-sha256", "-in", c.certificate});
    EXPECT_TRUE(print.Run() && print.ExitStatus() == 0) << print.Err();
    const std::string& out = print.Out();
    const std::size_t eq = out.find('=');
    if (eq != std::string::npos)
        c.fingerprint = out.substr(eq + 1, out.find('\n', eq) - eq - 1);
    EXPECT_EQ(c.fingerprint.size(), 95u) << out;
    return c;
}

struct TlsStation::Context {
    SSL_CTX* ctx = nullptr;
    ~Context() { SSL_CTX_free(ctx); }
};

struct TlsPeer::Handles {
    int fd = -1;
    SSL* ssl = nullptr;
    ~Handles()
    {
        SSL_free(ssl);
        if (fd >= 0)
            ::close(fd);
    }
};

TlsStation::TlsStation(const StationCertificate& certificate) : context_(std::make_unique<Context>())
{
    context_->ctx = SSL_CTX_new(TLS_server_method());
    UseCertificate(certificate);
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    EXPECT_EQ(::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    EXPECT_EQ(::listen(listener_, 4), 0);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &length);
    port_ = ntohs(a.sin_port);
}

void TlsStation::UseCertificate(const StationCertificate& certificate)
{
    EXPECT_TRUE(context_->ctx &&
                SSL_CTX_use_certificate_file(context_->ctx, certificate.certificate.c_str(), SSL_FILETYPE_PEM) == 1 &&
                SSL_CTX_use_PrivateKey_file(context_->ctx, certificate.key.c_str(), SSL_FILETYPE_PEM) == 1);
}

TlsStation::~TlsStation()
{
    if (listener_ >= 0)
        ::close(listener_);
}

std::unique_ptr<TlsPeer> TlsStation::Accept(int timeoutMs)
{
    pollfd p{listener_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) != 1)
        return nullptr;
    std::unique_ptr<TlsPeer> peer(new TlsPeer);
    peer->handles_ = std::make_unique<TlsPeer::Handles>();
    peer->handles_->fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (peer->handles_->fd < 0)
        return nullptr;
    SetTimeout(peer->handles_->fd, timeoutMs);
    peer->handles_->ssl = SSL_new(context_->ctx);
    SSL_set_fd(peer->handles_->ssl, peer->handles_->fd);
    if (SSL_accept(peer->handles_->ssl) != 1) {
        ERR_clear_error();
        return nullptr;
    }
    return peer;
}

TlsPeer::~TlsPeer() = default;

bool TlsPeer::Write(std::string_view bytes)
{
    std::size_t put = 0;
    return SSL_write_ex(handles_->ssl, bytes.data(), bytes.size(), &put) == 1 && put == bytes.size();
}

bool TlsPeer::Fill(int timeoutMs)
{
    if (closed_)
        return false;
    SetTimeout(handles_->fd, std::max(timeoutMs, 1));
    char buffer[4096];
    std::size_t got = 0;
    if (SSL_read_ex(handles_->ssl, buffer, sizeof buffer, &got) == 1) {
        received_.append(buffer, got);
        return true;
    }
    const int e = SSL_get_error(handles_->ssl, 0);
    ERR_clear_error();
    // A time-out shows as a failed read with EAGAIN; anything else is the end of the connection.
    if (e == SSL_ERROR_WANT_READ || (e == SSL_ERROR_SYSCALL && (errno == EAGAIN || errno == EWOULDBLOCK)))
        return true;
    closed_ = true;
    return false;
}

bool TlsPeer::WaitFor(std::string_view text, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (received_.find(text) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !Fill(static_cast<int>(left.count())))
            return received_.find(text) != std::string::npos;
    }
    return true;
}

bool TlsPeer::WaitClosed(int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!closed_) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        Fill(static_cast<int>(left.count()));
    }
    return true;
}

}  // namespace linktest
