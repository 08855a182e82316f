// TlsSessionClient on a non-blocking socket: every step waits in poll() for at most the time given.
#include "TlsSessionClient.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace testsupport {

namespace {

using Clock = std::chrono::steady_clock;

int Left(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

struct TlsSessionClient::State {
    SSL_CTX* ctx = nullptr;
    SSL* ssl = nullptr;
};

TlsSessionClient::TlsSessionClient() : state_(new State)
{
    // OpenSSL writes to the socket itself: a server that closed must not end the test process.
    ::signal(SIGPIPE, SIG_IGN);
    state_->ctx = SSL_CTX_new(TLS_client_method());
    SSL_CTX_set_verify(state_->ctx, SSL_VERIFY_NONE, nullptr);
}

TlsSessionClient::~TlsSessionClient()
{
    Close();
    SSL_CTX_free(state_->ctx);
    delete state_;
}

bool TlsSessionClient::Wait(int events, int timeoutMs) const
{
    pollfd p{fd_, static_cast<short>(events), 0};
    int r;
    do {
        r = poll(&p, 1, timeoutMs);
    } while (r < 0 && errno == EINTR);
    return r > 0;
}

bool TlsSessionClient::Connect(unsigned port, int timeoutMs)
{
    Close();
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (!sourceAddress_.empty()) {
        sockaddr_in from{};
        from.sin_family = AF_INET;
        inet_pton(AF_INET, sourceAddress_.c_str(), &from.sin_addr);
        bind(fd_, reinterpret_cast<sockaddr*>(&from), sizeof from);
    }
    int on = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 && errno != EINPROGRESS) {
        error_ = "connect: " + std::string(strerror(errno));
        return false;
    }
    state_->ssl = SSL_new(state_->ctx);
    SSL_set_fd(state_->ssl, fd_);
    for (;;) {
        const int r = SSL_connect(state_->ssl);
        if (r == 1)
            return true;
        const int e = SSL_get_error(state_->ssl, r);
        if ((e != SSL_ERROR_WANT_READ && e != SSL_ERROR_WANT_WRITE) ||
            !Wait(e == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT, Left(deadline))) {
            char text[256] = "timed out";
            if (const unsigned long code = ERR_get_error())
                ERR_error_string_n(code, text, sizeof text);
            error_ = "handshake: " + std::string(text);
            ERR_clear_error();
            return false;
        }
    }
}

std::string TlsSessionClient::PeerFingerprint() const
{
    X509* cert = state_->ssl ? SSL_get1_peer_certificate(state_->ssl) : nullptr;
    if (!cert)
        return {};
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    X509_digest(cert, EVP_sha256(), digest, &length);
    X509_free(cert);
    std::string text;
    char pair[4];
    for (unsigned i = 0; i < length; ++i) {
        std::snprintf(pair, sizeof pair, i + 1 < length ? "%02X:" : "%02X", digest[i]);
        text += pair;
    }
    return text;
}

std::string TlsSessionClient::Protocol() const
{
    return state_->ssl ? SSL_get_version(state_->ssl) : "";
}

bool TlsSessionClient::Send(std::string_view text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        std::size_t n = 0;
        if (SSL_write_ex(state_->ssl, text.data() + done, text.size() - done, &n) == 1) {
            done += n;
            continue;
        }
        const int e = SSL_get_error(state_->ssl, 0);
        if ((e != SSL_ERROR_WANT_READ && e != SSL_ERROR_WANT_WRITE) ||
            !Wait(e == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT, 5000))
            return false;
    }
    return true;
}

bool TlsSessionClient::ReadUntil(std::string_view text, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[4096];
    while (received_.find(text) == std::string::npos) {
        if (closed_ || !state_->ssl)
            return false;
        std::size_t n = 0;
        if (SSL_read_ex(state_->ssl, buffer, sizeof buffer, &n) == 1) {
            received_.append(buffer, n);
            continue;
        }
        const int e = SSL_get_error(state_->ssl, 0);
        ERR_clear_error();
        if (e != SSL_ERROR_WANT_READ && e != SSL_ERROR_WANT_WRITE) {
            closed_ = true;
            return false;
        }
        if (Left(deadline) == 0 || !Wait(e == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT, Left(deadline)))
            return false;
    }
    return true;
}

bool TlsSessionClient::ReadUntilClosed(int timeoutMs)
{
    ReadUntil(std::string_view("\x01\x02\x03never", 8), timeoutMs);
    return closed_;
}

bool TlsSessionClient::LogIn(const std::string& user, const std::string& password, int timeoutMs)
{
    return ReadUntil(">", timeoutMs) && Send("UID:" + user + ";") && ReadUntil("UID:OK;", timeoutMs) &&
           Send("PWD:" + password + ";") && ReadUntil("PWD:OK;>@@UE", timeoutMs) && ReadUntil(";", timeoutMs) &&
           received_.find("PWD:OK;>@@UE1;") != std::string::npos;
}

void TlsSessionClient::Close()
{
    if (state_->ssl) {
        SSL_free(state_->ssl);
        state_->ssl = nullptr;
    }
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
    closed_ = false;
    received_.clear();
    ERR_clear_error();
}

}  // namespace testsupport
