// CDrisko on POSIX sockets: a plain and an optional secured listening IPv4 socket, at most one client
// over either, extra connections turned away or one kept waiting; writes are whole, queued rather
// than waited for, and bounded; waits can be woken and survive a concurrent DisConnect. A secured
// client's handshake and records run non-blocking in the same calls and waits, so its texts simply
// stay queued until the handshake is done.
#include "Drisko.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <utility>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "TransportParts.h"

namespace {

using transport::Clock;
using transport::RemainingMs;

constexpr int kFinalFlushMs = 2000;  // what a closing client has not taken yet gets this long
constexpr int kFlushSliceMs = 50;
constexpr unsigned kChunk = 1023;
constexpr size_t kAddressMax = 24;
constexpr std::size_t kInboxLimit = 64 * 1024;  // decrypted bytes read ahead of the session
constexpr int kPlainPort = 0, kSecurePort = 1;          // the listeners

// At most kAddressMax characters of the address, and always its terminator.
void CopyAddress(char* text, const char* address)
{
    const size_t length = ::strnlen(address, kAddressMax);
    std::memcpy(text, address, length);
    text[length] = 0;
}

void Dotted(const sockaddr_in& peer, char (&text)[INET_ADDRSTRLEN])
{
    if (peer.sin_family != AF_INET || !inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text))
        text[0] = 0;
}

}  // namespace

struct CDrisko::Impl {
    std::mutex addressMutex;
    std::string listenAddress = "0.0.0.0";

    // Shared by every use of the descriptors; exclusive only where one is closed or replaced,
    // so nothing is closed under a thread that still uses it.
    std::shared_mutex fdLock;
    int listenFd[2] = {-1, -1};    // plain, secured; written only under the exclusive lock
    unsigned listenPort[2] = {0, 0};
    SecurityProvider* provider = nullptr;  // with securePort, written only under the exclusive lock
    unsigned securePort = 0;
    bool plainOn = true;
    std::atomic<unsigned> errorPort{0};
    std::atomic<int> clientFd{-1};  // set under shared lock + acceptMutex, cleared exclusive
    std::mutex acceptMutex;
    std::atomic<bool> hungUp{false};
    std::atomic<bool> finished{false};  // the client's end of data came (a FIN); it may still read
    std::atomic<bool> mayGiveWay{false};
    // A connection kept waiting for the client to give way, guarded by keptMutex (taken after
    // fdLock, before ipMutex).
    std::mutex keptMutex;
    int keptFd = -1;
    bool keptSecure = false;
    char keptIp[kAddressMax + 1] = "";
    std::atomic<int> exclusivePending{0};  // > 0 while someone waits for the exclusive lock
    // Bytes for the client that the socket has not taken yet, in write order, guarded by writeMutex.
    std::mutex writeMutex;
    std::string outQueue;
    std::size_t outHead = 0;
    std::atomic<bool> sendOverflow{false};
    // A secured client's layer and the bytes it decrypted that the session has not taken yet,
    // guarded by writeMutex as well: the layer is one state for both directions.
    std::unique_ptr<ConnectionSecurity> security;
    std::atomic<int> securityState{ClientTransport::kPlain};
    bool handshakeDone = false;
    bool wantWrite = false;  // the layer waits for room to send
    std::string inbox;
    std::size_t inHead = 0;
    std::atomic<int> lastError{0};
    std::mutex ipMutex;
    char clientIp[kAddressMax + 1] = "";
    transport::WakeEvent wake;

    // Takes the exclusive lock; when it is busy, waiters are told to leave so it cannot starve.
    std::unique_lock<std::shared_mutex> LockExclusive(bool alwaysWake)
    {
        std::unique_lock lock(fdLock, std::try_to_lock);
        if (lock.owns_lock() && !alwaysWake)
            return lock;
        exclusivePending.fetch_add(1);
        wake.Signal();
        if (!lock.owns_lock())
            lock.lock();
        exclusivePending.fetch_sub(1);
        return lock;
    }

    std::size_t Queued() const { return outQueue.size() - outHead; }

    void ClearQueue()
    {
        outQueue.clear();
        outHead = 0;
    }

    // Sends queued bytes as far as the socket takes them without waiting. False when the client
    // is gone. Caller holds the shared lock and writeMutex.
    bool FlushLocked(int c)
    {
        if (security)
            return SecureFlushLocked();
        while (Queued() > 0) {
            ssize_t n = send(c, outQueue.data() + outHead, Queued(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                outHead += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                break;
            ClearQueue();  // EPIPE, ECONNRESET: the client is gone
            hungUp = true;
            return false;
        }
        Compact();
        return true;
    }

    void Compact()
    {
        if (outHead == outQueue.size())
            ClearQueue();
        else if (outHead > outQueue.size() / 2) {
            outQueue.erase(0, outHead);
            outHead = 0;
        }
    }

    // ---- The secured client (caller holds the shared lock and writeMutex) ----

    // The layer failed: the connection ends, and the session learns why.
    void SecureFailed()
    {
        securityState = handshakeDone ? ClientTransport::kRecordFailed : ClientTransport::kHandshakeFailed;
        ClearQueue();
        hungUp = true;
    }

    // One step of the handshake while it runs; true once it is done.
    bool SecureReady()
    {
        if (handshakeDone)
            return true;
        if (hungUp.load())
            return false;
        switch (security->Handshake()) {
        case ConnectionSecurity::Step::Done:
            handshakeDone = true;
            wantWrite = false;
            return true;
        case ConnectionSecurity::Step::WantRead: wantWrite = false; return false;
        case ConnectionSecurity::Step::WantWrite: wantWrite = true; return false;
        default: SecureFailed(); return false;
        }
    }

    // Queued texts go out once the handshake is done. False when the client is gone.
    bool SecureFlushLocked()
    {
        if (!SecureReady())
            return !hungUp.load();
        wantWrite = false;
        while (Queued() > 0) {
            std::size_t moved = 0;
            const auto step = security->Write(reinterpret_cast<const unsigned char*>(outQueue.data()) + outHead,
                                              Queued(), moved);
            if (moved > 0) {
                outHead += moved;
                continue;
            }
            if (step == ConnectionSecurity::Step::WantWrite || step == ConnectionSecurity::Step::WantRead) {
                wantWrite = step == ConnectionSecurity::Step::WantWrite;
                break;
            }
            if (step == ConnectionSecurity::Step::Failed)
                SecureFailed();
            ClearQueue();
            hungUp = true;
            return false;
        }
        Compact();
        return true;
    }

    std::size_t InboxSize() const { return inbox.size() - inHead; }

    // Reads what the layer gives without waiting into the inbox (driving the handshake and sending
    // what waited for it). True when the connection ended in this call.
    bool SecureFill()
    {
        if (hungUp.load() || finished.load())
            return false;
        if (!SecureFlushLocked() || !handshakeDone)
            return hungUp.load();
        unsigned char raw[4096];
        while (InboxSize() < kInboxLimit) {
            std::size_t moved = 0;
            const auto step = security->Read(raw, sizeof raw, moved);
            if (moved > 0) {
                if (inHead > 0 && inHead == inbox.size()) {
                    inbox.clear();
                    inHead = 0;
                }
                inbox.append(reinterpret_cast<const char*>(raw), moved);
                continue;
            }
            if (step == ConnectionSecurity::Step::WantRead || step == ConnectionSecurity::Step::WantWrite)
                return false;
            if (step == ConnectionSecurity::Step::Closed)
                finished = true;
            else
                SecureFailed();
            return true;
        }
        return false;
    }

    // Up to kChunk inbox bytes into `raw`; how many.
    std::size_t TakeInbox(unsigned char* raw)
    {
        const std::size_t n = std::min<std::size_t>(InboxSize(), kChunk);
        std::memcpy(raw, inbox.data() + inHead, n);
        inHead += n;
        if (inHead == inbox.size()) {
            inbox.clear();
            inHead = 0;
        }
        return n;
    }

    // The client's layer and its leftovers go; caller holds the exclusive lock.
    void EndSecurity()
    {
        std::lock_guard writeLock(writeMutex);
        if (security && handshakeDone && !hungUp.load())
            security->Close();
        security.reset();
        securityState = ClientTransport::kPlain;
        handshakeDone = false;
        wantWrite = false;
        inbox.clear();
        inHead = 0;
    }

    // A client that has closed its side is leaving; the connection waiting behind it is the next
    // client, not a second one.
    bool ClientLeaving(int c) const
    {
        if (hungUp.load() || finished.load())
            return true;
        pollfd p{c, POLLRDHUP, 0};
        return poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR));
    }

    // A kept connection that left before it was let in, with nothing sent, is forgotten.
    // Caller holds keptMutex.
    void ForgetKeptIfGone()
    {
        if (keptFd < 0)
            return;
        pollfd p{keptFd, POLLRDHUP, 0};
        int waiting = 0;
        if (poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) &&
            (ioctl(keptFd, FIONREAD, &waiting) != 0 || waiting <= 0)) {
            close(keptFd);
            keptFd = -1;
        }
    }

    void DropKept()
    {
        std::lock_guard keptLock(keptMutex);
        if (keptFd >= 0)
            close(keptFd);
        keptFd = -1;
    }

    // With a client connected, any further connection is accepted and closed at once, except the
    // first from another address while the client may give way, which is kept. True when one was
    // kept now. Caller holds the shared lock.
    bool TurnAway()
    {
        if (clientFd.load() < 0 || ClientLeaving(clientFd.load()))
            return false;
        // One look at both listeners, so that a session asking often costs one call, not an
        // accept on each.
        const unsigned ready = ReadyListeners();
        bool kept = false;
        for (int which : {kPlainPort, kSecurePort}) {
            if ((ready & (1u << which)) && TurnAwayFrom(which))
                kept = true;
        }
        return kept;
    }

    bool TurnAwayFrom(int which)
    {
        bool kept = false;
        for (;;) {
            sockaddr_in peer{};
            socklen_t len = sizeof peer;
            int extra = accept4(listenFd[which], reinterpret_cast<sockaddr*>(&peer), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (extra < 0) {
                if (errno == EINTR || errno == ECONNABORTED)
                    continue;
                return kept;
            }
            if (mayGiveWay.load()) {
                char text[INET_ADDRSTRLEN] = "";
                Dotted(peer, text);
                std::lock_guard keptLock(keptMutex);
                ForgetKeptIfGone();
                bool sameAddress;
                {
                    std::lock_guard ipLock(ipMutex);
                    sameAddress = std::strncmp(text, clientIp, kAddressMax) == 0;
                }
                if (keptFd < 0 && !sameAddress) {
                    int on = 1;
                    setsockopt(extra, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
                    keptFd = extra;
                    keptSecure = which == kSecurePort;
                    CopyAddress(keptIp, text);
                    kept = true;
                    continue;
                }
            }
            close(extra);
        }
    }

    // Appends a poll entry for each open listener to `p` from `count` on, noting in `at` where
    // each went (-1 for one that is closed); the new count.
    nfds_t AddListeners(pollfd* p, nfds_t count, int (&at)[2]) const
    {
        for (int which : {kPlainPort, kSecurePort}) {
            at[which] = -1;
            if (listenFd[which] >= 0) {
                at[which] = static_cast<int>(count);
                p[count++] = {listenFd[which], POLLIN, 0};
            }
        }
        return count;
    }

    // Bit `which` set for each listener whose entry in `p` says a connection is waiting.
    static unsigned ListenersReady(const pollfd* p, const int (&at)[2], short events)
    {
        unsigned ready = 0;
        for (int which : {kPlainPort, kSecurePort}) {
            if (at[which] >= 0 && (p[at[which]].revents & events))
                ready |= 1u << which;
        }
        return ready;
    }

    // Bit `which` set for each listener with a connection waiting.
    unsigned ReadyListeners() const
    {
        pollfd p[2];
        int at[2];
        const nfds_t count = AddListeners(p, 0, at);
        if (count == 0 || poll(p, count, 0) <= 0)
            return 0;
        return ListenersReady(p, at, POLLIN | POLLERR);
    }

    bool ListenerReadable() const { return ReadyListeners() != 0; }

    bool Listening() const { return listenFd[kPlainPort] >= 0 || listenFd[kSecurePort] >= 0; }

    // Opens listener `which` on `port` unless it listens there already. Caller holds the
    // exclusive lock.
    bool OpenListener(int which, sockaddr_in addr, unsigned port)
    {
        if (listenFd[which] >= 0 && listenPort[which] == port)
            return true;
        addr.sin_port = htons(static_cast<uint16_t>(port));
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            lastError = errno;
            errorPort = port;
            return false;
        }
        int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 8) != 0) {
            lastError = errno;
            errorPort = port;
            close(fd);
            return false;
        }
        if (listenFd[which] >= 0)
            close(listenFd[which]);
        listenFd[which] = fd;
        listenPort[which] = port;
        return true;
    }

    void CloseListener(int which)
    {
        if (listenFd[which] >= 0)
            close(listenFd[which]);
        listenFd[which] = -1;
        listenPort[which] = 0;
    }

    void WaitWakeOnly(bool limited, Clock::time_point deadline)
    {
        wake.WaitAlone(limited, deadline, [this] { return exclusivePending.load() != 0; });
    }
};

CDrisko::CDrisko() : impl_(new Impl) {}

CDrisko::~CDrisko()
{
    DisConnect();
    delete impl_;
}

void CDrisko::SetListenAddress(const char* address)
{
    std::lock_guard lock(impl_->addressMutex);
    impl_->listenAddress = (address && *address) ? address : "0.0.0.0";
}

std::string CDrisko::ListenAddress() const
{
    std::lock_guard lock(impl_->addressMutex);
    return impl_->listenAddress;
}

int CDrisko::Listen(unsigned port)
{
    if (port == 0 || port > 65535 || !impl_->wake.Valid())
        return 0;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    {
        std::lock_guard lock(impl_->addressMutex);
        if (inet_pton(AF_INET, impl_->listenAddress.c_str(), &addr.sin_addr) != 1) {
            impl_->lastError = EINVAL;
            return 0;
        }
    }

    auto lock = impl_->LockExclusive(false);
    const bool secured = impl_->provider && impl_->securePort > 0;
    if (impl_->plainOn || !secured) {
        if (!impl_->OpenListener(kPlainPort, addr, port))
            return 0;
    } else {
        impl_->CloseListener(kPlainPort);
    }
    if (secured) {
        if (!impl_->OpenListener(kSecurePort, addr, impl_->securePort))
            return 0;
    } else {
        impl_->CloseListener(kSecurePort);
    }
    impl_->lastError = 0;
    impl_->errorPort = 0;
    return 1;
}

void CDrisko::SetSecurePort(unsigned securePort, SecurityProvider* provider, bool plain)
{
    auto lock = impl_->LockExclusive(false);
    impl_->securePort = securePort <= 65535 ? securePort : 0;
    impl_->provider = provider;
    impl_->plainOn = plain;
}

int CDrisko::DisConnect()
{
    DropClient();
    auto lock = impl_->LockExclusive(true);
    impl_->DropKept();
    impl_->CloseListener(kPlainPort);
    impl_->CloseListener(kSecurePort);
    return 1;
}

int CDrisko::DropClient()
{
    // The last texts (a farewell, the rest of a relay) go out first, unless the client is the
    // reason for the close by not reading.
    const auto deadline = Clock::now() + std::chrono::milliseconds(kFinalFlushMs);
    while (!impl_->sendOverflow.load()) {
        int c;
        {
            std::shared_lock lock(impl_->fdLock);
            c = impl_->clientFd.load();
            if (c < 0)
                break;
            std::lock_guard writeLock(impl_->writeMutex);
            // Nothing can go out before a secured client's handshake is done.
            if (!impl_->FlushLocked(c) || impl_->Queued() == 0 || (impl_->security && !impl_->handshakeDone))
                break;
        }
        const int left = RemainingMs(true, deadline);
        if (left == 0)
            break;
        pollfd p{c, POLLOUT, 0};
        poll(&p, 1, left < kFlushSliceMs ? left : kFlushSliceMs);
    }

    auto lock = impl_->LockExclusive(true);
    impl_->EndSecurity();
    int c = impl_->clientFd.exchange(-1);
    if (c >= 0)
        close(c);
    impl_->hungUp = false;
    impl_->finished = false;
    {
        std::lock_guard writeLock(impl_->writeMutex);
        impl_->ClearQueue();
        impl_->sendOverflow = false;
    }
    std::lock_guard ipLock(impl_->ipMutex);
    impl_->clientIp[0] = 0;
    return 1;
}

int CDrisko::GetSocketAccepted()
{
    if (impl_->exclusivePending.load())
        return 0;
    std::shared_lock lock(impl_->fdLock);
    if (!impl_->Listening())
        return 0;
    std::lock_guard acceptLock(impl_->acceptMutex);
    if (impl_->clientFd.load() >= 0) {
        impl_->TurnAway();
        return 0;
    }
    char text[INET_ADDRSTRLEN] = "";
    int c = -1;
    bool secure = false;
    {
        std::lock_guard keptLock(impl_->keptMutex);
        impl_->ForgetKeptIfGone();
        if (impl_->keptFd >= 0) {
            c = std::exchange(impl_->keptFd, -1);
            secure = impl_->keptSecure;
            CopyAddress(text, impl_->keptIp);
        }
    }
    for (int which : {kPlainPort, kSecurePort}) {
        if (c >= 0 || impl_->listenFd[which] < 0)
            continue;
        sockaddr_in peer{};
        socklen_t len = sizeof peer;
        do {
            c = accept4(impl_->listenFd[which], reinterpret_cast<sockaddr*>(&peer), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
        } while (c < 0 && (errno == EINTR || errno == ECONNABORTED));
        if (c < 0)
            continue;
        secure = which == kSecurePort;
        int on = 1;
        setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        Dotted(peer, text);
    }
    if (c < 0)
        return 0;
    if (secure) {
        // The handshake starts in the poll loop; the session greets at once and its texts wait.
        std::lock_guard writeLock(impl_->writeMutex);
        impl_->security = impl_->provider ? impl_->provider->Secure(c) : nullptr;
        if (!impl_->security) {
            close(c);
            return 0;
        }
        impl_->securityState = kSecured;
        impl_->handshakeDone = false;
    }
    {
        std::lock_guard ipLock(impl_->ipMutex);
        CopyAddress(impl_->clientIp, text);
    }
    impl_->hungUp = false;
    impl_->finished = false;
    impl_->clientFd = c;
    return 1;
}

int CDrisko::GetSocketClosed()
{
    if (impl_->exclusivePending.load())
        return 0;
    std::shared_lock lock(impl_->fdLock);
    impl_->TurnAway();
    int c = impl_->clientFd.load();
    if (c < 0)
        return 0;
    if (impl_->hungUp.load())
        return 1;
    {
        std::lock_guard writeLock(impl_->writeMutex);
        if (impl_->security) {
            impl_->SecureFill();  // decrypted bytes come first, the end after them
            return !impl_->hungUp.load() && impl_->InboxSize() > 0 ? 0 : (impl_->hungUp.load() || impl_->finished.load());
        }
    }
    if (impl_->finished.load())
        return 1;
    char probe;
    ssize_t n = recv(c, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0)
        return 0;  // unread bytes come first; the hang-up counts once they are read
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return 0;
    (n == 0 ? impl_->finished : impl_->hungUp) = true;
    return 1;
}

int CDrisko::GetSocketHalfClosed()
{
    return impl_->finished.load() && !impl_->hungUp.load() && impl_->clientFd.load() >= 0 ? 1 : 0;
}

void CDrisko::SetClientMayGiveWay(bool may)
{
    impl_->mayGiveWay = may;
    if (!may)
        impl_->DropKept();
}

int CDrisko::GetWaitingClientIP(char* text)
{
    std::lock_guard keptLock(impl_->keptMutex);
    impl_->ForgetKeptIfGone();
    if (text)
        CopyAddress(text, impl_->keptFd >= 0 ? impl_->keptIp : "");
    return impl_->keptFd >= 0 ? 1 : 0;
}

void CDrisko::DropWaitingClient()
{
    impl_->DropKept();
}

int CDrisko::GetConnectionWaiting()
{
    if (GetWaitingClientIP(nullptr))
        return 1;
    std::shared_lock lock(impl_->fdLock);
    return impl_->ListenerReadable() ? 1 : 0;
}

int CDrisko::GetRcvDataLength()
{
    if (impl_->exclusivePending.load())
        return 0;
    std::shared_lock lock(impl_->fdLock);
    impl_->TurnAway();
    int c = impl_->clientFd.load();
    int n = 0;
    if (c >= 0) {
        std::lock_guard writeLock(impl_->writeMutex);
        if (impl_->security) {
            impl_->SecureFill();
            return static_cast<int>(impl_->InboxSize());
        }
    }
    if (c < 0 || ioctl(c, FIONREAD, &n) != 0 || n < 0)
        return 0;
    return n;
}

int CDrisko::GetRcvData(unsigned char* buffer)
{
    if (!buffer || impl_->exclusivePending.load())
        return 0;
    std::shared_lock lock(impl_->fdLock);
    int c = impl_->clientFd.load();
    if (c < 0)
        return 0;
    unsigned char raw[kChunk];
    {
        std::lock_guard writeLock(impl_->writeMutex);
        if (impl_->security) {
            if (impl_->InboxSize() == 0)
                impl_->SecureFill();
            const std::size_t taken = impl_->TakeInbox(raw);
            return taken > 0 ? transport::DeliverWithoutNul(raw, static_cast<ssize_t>(taken), buffer) : 0;
        }
    }
    ssize_t n;
    do {
        n = recv(c, raw, sizeof raw, MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n == 0)
        impl_->finished = true;
    else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
        impl_->hungUp = true;
    if (n <= 0)
        return 0;
    return transport::DeliverWithoutNul(raw, n, buffer);
}

int CDrisko::Write(const unsigned char* data, unsigned long count)
{
    if (impl_->exclusivePending.load())
        return 0;
    std::shared_lock lock(impl_->fdLock);
    int c = impl_->clientFd.load();
    if (c < 0)
        return 0;
    if (count == 0)
        return 1;
    std::lock_guard writeLock(impl_->writeMutex);
    if (impl_->sendOverflow.load() || !impl_->FlushLocked(c))
        return 0;

    unsigned long done = 0;
    while (!impl_->security && impl_->Queued() == 0 && done < count) {
        ssize_t n = send(c, data + done, count - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            done += static_cast<unsigned long>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            impl_->hungUp = true;  // EPIPE, ECONNRESET: the client is gone
            return 0;
        }
        break;
    }
    if (done == count)
        return 1;
    const unsigned long rest = count - done;
    if (impl_->Queued() + rest > kSendQueueLimit) {
        impl_->sendOverflow = true;
        impl_->wake.Signal();  // the session thread closes the client
        return 0;
    }
    const bool wasEmpty = impl_->Queued() == 0;
    impl_->outQueue.append(reinterpret_cast<const char*>(data + done), rest);
    if (impl_->security && !impl_->FlushLocked(c))
        return 0;
    if (wasEmpty && impl_->Queued() > 0)
        impl_->wake.Signal();  // the session thread's wait now also watches for room to send
    return 1;
}

int CDrisko::GetSendOverflow()
{
    return impl_->sendOverflow.load() ? 1 : 0;
}

int CDrisko::LastError() const
{
    return impl_->lastError.load();
}

unsigned CDrisko::LastErrorPort() const
{
    return impl_->errorPort.load();
}

int CDrisko::GetClientSecurity()
{
    return impl_->securityState.load();
}

int CDrisko::GetClientExist()
{
    return impl_->clientFd.load() >= 0 ? 1 : 0;
}

int CDrisko::GetClientIP(char* text)
{
    if (!text)
        return 0;
    std::lock_guard lock(impl_->ipMutex);
    CopyAddress(text, impl_->clientIp);
    return text[0] ? 1 : 0;
}

int CDrisko::GetLocalIP(char* text)
{
    if (!text)
        return 0;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        CopyAddress(text, "127.0.0.1");
        return 1;
    }
    ChooseLocalIP(list, text);
    freeifaddrs(list);
    return 1;
}

void CDrisko::ChooseLocalIP(const ifaddrs* list, char* text)
{
    enum Rank { kUsable, kLinkLocal, kDown, kNone };
    Rank best = kNone;
    CopyAddress(text, "127.0.0.1");
    for (const ifaddrs* it = list; it; it = it->ifa_next) {
        if (!it->ifa_addr || it->ifa_addr->sa_family != AF_INET || (it->ifa_flags & IFF_LOOPBACK))
            continue;
        const in_addr address = reinterpret_cast<const sockaddr_in*>(it->ifa_addr)->sin_addr;
        const std::uint32_t host = ntohl(address.s_addr);
        if ((host >> 24) == 127 || host == 0)
            continue;  // a loopback address on another interface is no better than 127.0.0.1
        const Rank rank = !(it->ifa_flags & IFF_UP) ? kDown : (host >> 16) == 0xA9FE ? kLinkLocal : kUsable;
        if (rank >= best)
            continue;
        char dotted[INET_ADDRSTRLEN];
        if (inet_ntop(AF_INET, &address, dotted, sizeof dotted)) {
            CopyAddress(text, dotted);
            best = rank;
        }
    }
}

bool CDrisko::WaitEvent(int timeoutMs)
{
    const bool limited = timeoutMs >= 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(limited ? timeoutMs : 0);
    if (impl_->exclusivePending.load())
        return false;

    std::shared_lock lock(impl_->fdLock);
    if (!impl_->Listening() && impl_->clientFd.load() < 0) {
        // Nothing to watch: wait quietly so a session loop around this call does not spin.
        lock.unlock();
        impl_->WaitWakeOnly(limited, deadline);
        return false;
    }
    for (;;) {
        if (impl_->exclusivePending.load())
            return false;
        if (impl_->sendOverflow.load())
            return true;
        const int client = impl_->clientFd.load();
        bool queued = false;
        bool secure = false;
        if (client >= 0) {
            std::lock_guard writeLock(impl_->writeMutex);
            secure = impl_->security != nullptr;
            if (secure) {
                // Handshake steps and records are the transport's own business; only what they
                // deliver, or their end, is news for the session.
                if (impl_->SecureFill() || impl_->InboxSize() > 0)
                    return true;
                queued = impl_->wantWrite;
            } else {
                impl_->FlushLocked(client);
                queued = impl_->Queued() > 0;
            }
        }
        pollfd p[4];
        nfds_t count = 0;
        p[count++] = {impl_->wake.Fd(), POLLIN, 0};
        int listenAt[2];
        count = impl_->AddListeners(p, count, listenAt);
        const int clientAt = client >= 0 ? static_cast<int>(count) : -1;
        // A client whose end of data came has nothing more to read; only an error or room to
        // send is news from it.
        const short reading = impl_->finished.load() ? 0 : POLLIN | POLLRDHUP;
        if (clientAt >= 0)
            p[count++] = {client, static_cast<short>(reading | (queued ? POLLOUT : 0)), 0};

        int r = poll(p, count, RemainingMs(limited, deadline));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (r == 0)
            return false;
        // Room to send is handled at the top of the next round, not by the caller; so is anything
        // from a secured client.
        bool work = !secure && clientAt >= 0 && (p[clientAt].revents & ~POLLOUT) != 0;
        if (Impl::ListenersReady(p, listenAt, POLLIN) != 0) {
            if (impl_->clientFd.load() >= 0) {
                // One kept, or one queued behind a client that is leaving: the next client.
                if (impl_->TurnAway() || impl_->ClientLeaving(impl_->clientFd.load()))
                    work = true;
            } else {
                work = true;
            }
        }
        if (p[0].revents & POLLIN) {
            if (impl_->exclusivePending.load() == 0)
                impl_->wake.Drain();
            return work;
        }
        if (work)
            return true;
        // Only turned-away connections so far; never loop past the deadline, even if
        // accepting keeps failing (e.g. out of descriptors) and the listener stays readable.
        if (limited && RemainingMs(limited, deadline) == 0)
            return false;
    }
}

void CDrisko::Wake()
{
    impl_->wake.Signal();
}
