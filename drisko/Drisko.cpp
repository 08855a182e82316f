// CDrisko on POSIX sockets: one listening IPv4 socket, at most one client, extra connections
// turned away or one kept waiting; writes are whole, queued rather than waited for, and bounded;
// waits can be woken and survive a concurrent DisConnect.
#include "Drisko.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
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
    int listenFd = -1;             // written only under the exclusive lock
    unsigned listenPort = 0;
    std::atomic<int> clientFd{-1};  // set under shared lock + acceptMutex, cleared exclusive
    std::mutex acceptMutex;
    std::atomic<bool> hungUp{false};
    std::atomic<bool> finished{false};  // the client's end of data came (a FIN); it may still read
    std::atomic<bool> mayGiveWay{false};
    // A connection kept waiting for the client to give way, guarded by keptMutex (taken after
    // fdLock, before ipMutex).
    std::mutex keptMutex;
    int keptFd = -1;
    char keptIp[kAddressMax + 1] = "";
    std::atomic<int> exclusivePending{0};  // > 0 while someone waits for the exclusive lock
    // Bytes for the client that the socket has not taken yet, in write order, guarded by writeMutex.
    std::mutex writeMutex;
    std::string outQueue;
    std::size_t outHead = 0;
    std::atomic<bool> sendOverflow{false};
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
        if (outHead == outQueue.size())
            ClearQueue();
        else if (outHead > outQueue.size() / 2) {
            outQueue.erase(0, outHead);
            outHead = 0;
        }
        return true;
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
        if (listenFd < 0 || clientFd.load() < 0 || ClientLeaving(clientFd.load()))
            return false;
        bool kept = false;
        for (;;) {
            sockaddr_in peer{};
            socklen_t len = sizeof peer;
            int extra = accept4(listenFd, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
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
                    CopyAddress(keptIp, text);
                    kept = true;
                    continue;
                }
            }
            close(extra);
        }
    }

    bool ListenerReadable() const
    {
        pollfd p{listenFd, POLLIN, 0};
        return listenFd >= 0 && poll(&p, 1, 0) > 0 && (p.revents & POLLIN);
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
    addr.sin_port = htons(static_cast<uint16_t>(port));
    {
        std::lock_guard lock(impl_->addressMutex);
        if (inet_pton(AF_INET, impl_->listenAddress.c_str(), &addr.sin_addr) != 1) {
            impl_->lastError = EINVAL;
            return 0;
        }
    }

    auto lock = impl_->LockExclusive(false);
    if (impl_->listenFd >= 0 && impl_->listenPort == port)
        return 1;
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        impl_->lastError = errno;
        return 0;
    }
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 8) != 0) {
        impl_->lastError = errno;
        close(fd);
        return 0;
    }
    impl_->lastError = 0;
    if (impl_->listenFd >= 0)
        close(impl_->listenFd);
    impl_->listenFd = fd;
    impl_->listenPort = port;
    return 1;
}

int CDrisko::DisConnect()
{
    DropClient();
    auto lock = impl_->LockExclusive(true);
    impl_->DropKept();
    if (impl_->listenFd >= 0) {
        close(impl_->listenFd);
        impl_->listenFd = -1;
    }
    impl_->listenPort = 0;
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
            if (!impl_->FlushLocked(c) || impl_->Queued() == 0)
                break;
        }
        const int left = RemainingMs(true, deadline);
        if (left == 0)
            break;
        pollfd p{c, POLLOUT, 0};
        poll(&p, 1, left < kFlushSliceMs ? left : kFlushSliceMs);
    }

    auto lock = impl_->LockExclusive(true);
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
    if (impl_->listenFd < 0)
        return 0;
    std::lock_guard acceptLock(impl_->acceptMutex);
    if (impl_->clientFd.load() >= 0) {
        impl_->TurnAway();
        return 0;
    }
    char text[INET_ADDRSTRLEN] = "";
    int c = -1;
    {
        std::lock_guard keptLock(impl_->keptMutex);
        impl_->ForgetKeptIfGone();
        if (impl_->keptFd >= 0) {
            c = std::exchange(impl_->keptFd, -1);
            CopyAddress(text, impl_->keptIp);
        }
    }
    if (c < 0) {
        sockaddr_in peer{};
        socklen_t len = sizeof peer;
        do {
            c = accept4(impl_->listenFd, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
        } while (c < 0 && (errno == EINTR || errno == ECONNABORTED));
        if (c < 0)
            return 0;
        int on = 1;
        setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        Dotted(peer, text);
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
    if (impl_->hungUp.load() || impl_->finished.load())
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
    while (impl_->Queued() == 0 && done < count) {
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
    if (wasEmpty)
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
    if (impl_->listenFd < 0 && impl_->clientFd.load() < 0) {
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
        if (client >= 0) {
            std::lock_guard writeLock(impl_->writeMutex);
            impl_->FlushLocked(client);
            queued = impl_->Queued() > 0;
        }
        pollfd p[3];
        nfds_t count = 0;
        p[count++] = {impl_->wake.Fd(), POLLIN, 0};
        const int listenAt = impl_->listenFd >= 0 ? static_cast<int>(count) : -1;
        if (listenAt >= 0)
            p[count++] = {impl_->listenFd, POLLIN, 0};
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
        // Room to send is handled at the top of the next round, not by the caller.
        bool work = clientAt >= 0 && (p[clientAt].revents & ~POLLOUT) != 0;
        if (listenAt >= 0 && (p[listenAt].revents & POLLIN)) {
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
