// CDrisko over real TCP on 127.0.0.1: accepting, data, hang-up, turning away a second client,
// port conflicts, whole writes from several threads, the bounded send queue, a client reconnecting
// at once, and DisConnect under waiters.
#include "Drisko.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <deque>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
constexpr int kPatienceMs = 10000;

unsigned FreePort()
{
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
    close(s);
    return ntohs(addr.sin_port);
}

// A blocking client socket; rcvbuf > 0 shrinks its receive buffer before connecting.
int Connect(unsigned port, int rcvbuf = 0)
{
    int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (rcvbuf > 0)
        setsockopt(s, SOL_SOCKET, SO_RCVBUF, &rcvbuf, sizeof rcvbuf);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(s);
        return -1;
    }
    return s;
}

void Send(int fd, const std::string& text)
{
    ASSERT_EQ(send(fd, text.data(), text.size(), MSG_NOSIGNAL), static_cast<ssize_t>(text.size()));
}

// Reads from a client socket until `size` bytes came, the peer closed, or patience ran out.
std::string ReceiveAtLeast(int fd, size_t size)
{
    std::string all;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kPatienceMs);
    while (all.size() < size && Clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            continue;
        char buf[4096];
        ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        all.append(buf, static_cast<size_t>(n));
    }
    return all;
}

// True once the peer has closed `fd` (EOF or reset); with a server given, drives it meanwhile.
bool PeerClosed(int fd, CDrisko* server = nullptr)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(kPatienceMs);
    while (Clock::now() < deadline) {
        if (server) {
            server->WaitEvent(20);
            server->GetRcvDataLength();
        }
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 20) > 0) {
            char c;
            ssize_t n = recv(fd, &c, 1, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno == ECONNRESET))
                return true;
        }
    }
    return false;
}

int WriteText(CDrisko& server, const std::string& text)
{
    return server.Write(reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

class DriskoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        server.SetListenAddress("127.0.0.1");
        for (int attempt = 0; attempt < 20 && !port; ++attempt) {
            unsigned candidate = FreePort();
            if (server.Listen(candidate))
                port = candidate;
        }
        ASSERT_NE(port, 0u);
    }
    void TearDown() override
    {
        for (int fd : clients)
            close(fd);
    }
    int Client(int rcvbuf = 0)
    {
        int fd = Connect(port, rcvbuf);
        if (fd >= 0)
            clients.push_back(fd);
        return fd;
    }
    bool AcceptOne()
    {
        const auto deadline = Clock::now() + std::chrono::milliseconds(kPatienceMs);
        while (Clock::now() < deadline) {
            server.WaitEvent(100);
            if (server.GetSocketAccepted())
                return true;
        }
        return false;
    }
    // Waits for client bytes and returns every delivery until `until` is contained.
    std::vector<std::string> ReadUntil(const std::string& until)
    {
        std::vector<std::string> deliveries;
        std::string all;
        const auto deadline = Clock::now() + std::chrono::milliseconds(kPatienceMs);
        while (all.find(until) == std::string::npos && Clock::now() < deadline) {
            server.WaitEvent(100);
            unsigned char buffer[1024] = {};
            if (server.GetRcvDataLength() > 0 && server.GetRcvData(buffer)) {
                deliveries.emplace_back(reinterpret_cast<char*>(buffer));
                all += deliveries.back();
            }
        }
        return deliveries;
    }
    std::string Read(const std::string& until)
    {
        std::string all;
        for (const auto& d : ReadUntil(until))
            all += d;
        return all;
    }

    // Until the server reports its client gone.
    bool PeerClosedOrServerSawClose()
    {
        const auto deadline = Clock::now() + std::chrono::milliseconds(kPatienceMs);
        while (Clock::now() < deadline) {
            if (server.GetSocketClosed())
                return true;
            server.WaitEvent(20);
        }
        return false;
    }

    CDrisko server;
    unsigned port = 0;
    std::vector<int> clients;
};

TEST_F(DriskoTest, AcceptDataAndHangUp)
{
    EXPECT_EQ(server.GetClientExist(), 0);
    EXPECT_EQ(server.GetSocketAccepted(), 0);
    EXPECT_EQ(WriteText(server, "ID;"), 0);
    int client = Client();
    ASSERT_GE(client, 0);
    ASSERT_TRUE(AcceptOne());
    EXPECT_NE(server.GetClientExist(), 0);
    EXPECT_EQ(server.GetSocketAccepted(), 0) << "the same client reported twice";
    char ip[64];
    std::memset(ip, 'x', sizeof ip);
    EXPECT_NE(server.GetClientIP(ip), 0);
    EXPECT_STREQ(ip, "127.0.0.1");

    Send(client, "ID;");
    EXPECT_EQ(Read("ID;"), "ID;");
    ASSERT_NE(WriteText(server, "ID020;"), 0);
    EXPECT_EQ(ReceiveAtLeast(client, 6), "ID020;");
    EXPECT_EQ(server.GetSocketClosed(), 0);

    close(client);
    clients.clear();
    ASSERT_TRUE(server.WaitEvent(kPatienceMs));
    const auto deadline = Clock::now() + 10s;
    while (!server.GetSocketClosed() && Clock::now() < deadline)
        server.WaitEvent(100);
    EXPECT_NE(server.GetSocketClosed(), 0);
    server.DisConnect();
    EXPECT_EQ(server.GetClientExist(), 0);
    EXPECT_EQ(server.GetClientIP(ip), 0);
}

TEST_F(DriskoTest, ClosedOnlyOnceWaitingDataIsRead)
{
    int client = Client();
    ASSERT_TRUE(AcceptOne());
    Send(client, "FA;");
    close(client);
    clients.clear();
    const auto deadline = Clock::now() + 10s;
    while (server.GetRcvDataLength() < 3 && Clock::now() < deadline)
        server.WaitEvent(100);
    ASSERT_EQ(server.GetRcvDataLength(), 3);
    EXPECT_EQ(server.GetSocketClosed(), 0);
    unsigned char buffer[1024] = {};
    ASSERT_NE(server.GetRcvData(buffer), 0);
    EXPECT_STREQ(reinterpret_cast<char*>(buffer), "FA;");
    while (!server.GetSocketClosed() && Clock::now() < deadline)
        server.WaitEvent(100);
    EXPECT_NE(server.GetSocketClosed(), 0);
}

TEST_F(DriskoTest, SecondClientTurnedAwayFirstKeepsWorking)
{
    int first = Client();
    ASSERT_TRUE(AcceptOne());
    int second = Client();
    ASSERT_GE(second, 0);
    EXPECT_TRUE(PeerClosed(second, &server));
    EXPECT_EQ(server.GetSocketAccepted(), 0);
    EXPECT_NE(server.GetClientExist(), 0);

    Send(first, "FA;");
    EXPECT_EQ(Read("FA;"), "FA;");
    ASSERT_NE(WriteText(server, "FA00014074000;"), 0);
    EXPECT_EQ(ReceiveAtLeast(first, 14), "FA00014074000;");
    EXPECT_EQ(server.GetSocketClosed(), 0);
}

TEST_F(DriskoTest, WaitEventTurnsAwayExtraConnectionsAndKeepsWaiting)
{
    int first = Client();
    ASSERT_TRUE(AcceptOne());
    auto waiting = std::async(std::launch::async, [&] { return server.WaitEvent(-1); });
    int second = Client();
    ASSERT_GE(second, 0);
    // The wait turns the second one away by itself and goes on until the first client speaks.
    EXPECT_TRUE(PeerClosed(second));
    Send(first, "ID;");
    ASSERT_EQ(waiting.wait_for(std::chrono::milliseconds(kPatienceMs)), std::future_status::ready);
    EXPECT_TRUE(waiting.get());
    EXPECT_EQ(Read("ID;"), "ID;");
}

TEST_F(DriskoTest, ListenRules)
{
    EXPECT_NE(server.Listen(port), 0) << "listening again on the same port";
    int taken = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(taken, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(listen(taken, 1), 0);
    socklen_t len = sizeof addr;
    getsockname(taken, reinterpret_cast<sockaddr*>(&addr), &len);

    CDrisko other;
    other.SetListenAddress("127.0.0.1");
    EXPECT_EQ(other.Listen(ntohs(addr.sin_port)), 0);
    EXPECT_EQ(other.Listen(port), 0) << "port held by the fixture's server";
    close(taken);
    other.SetListenAddress("300.1.2.3");
    EXPECT_EQ(other.Listen(FreePort()), 0);
}

TEST_F(DriskoTest, OldClientNeverReportedAfterDisConnectAndListen)
{
    int first = Client();
    ASSERT_TRUE(AcceptOne());
    server.DisConnect();
    EXPECT_EQ(server.GetClientExist(), 0);
    EXPECT_TRUE(PeerClosed(first, &server));
    ASSERT_NE(server.Listen(port), 0);
    EXPECT_EQ(server.GetSocketAccepted(), 0);
    EXPECT_EQ(server.GetClientExist(), 0);
    int next = Client();
    ASSERT_TRUE(AcceptOne());
    Send(next, "IF;");
    EXPECT_EQ(Read("IF;"), "IF;");
}

TEST_F(DriskoTest, ConcurrentWritersNeverInterleave)
{
    int client = Client();
    ASSERT_TRUE(AcceptOne());
    constexpr int kThreads = 4, kWrites = 500;
    auto message = [](int t, int i) {
        char text[64];
        std::snprintf(text, sizeof text, "IF T%d N%04d 00000000000000000;", t, i);
        return std::string(text);
    };
    ASSERT_EQ(message(0, 0).size(), 30u);
    auto reader = std::async(std::launch::async, [&] { return ReceiveAtLeast(client, kThreads * kWrites * 30); });
    std::atomic<int> failures{0};
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t)
        writers.emplace_back([&, t] {
            for (int i = 0; i < kWrites; ++i)
                if (!WriteText(server, message(t, i)))
                    ++failures;
        });
    for (auto& w : writers)
        w.join();
    EXPECT_EQ(failures.load(), 0);
    const std::string received = reader.get();
    ASSERT_EQ(received.size(), size_t(kThreads * kWrites * 30));
    std::map<int, int> next;
    for (size_t at = 0; at < received.size(); at += 30) {
        int t = -1, i = -1;
        ASSERT_EQ(std::sscanf(received.c_str() + at, "IF T%d N%d", &t, &i), 2) << received.substr(at, 30);
        ASSERT_EQ(received.substr(at, 30), message(t, i));
        EXPECT_EQ(i, next[t]++);
    }
}

TEST_F(DriskoTest, ClientThatNeverReadsCannotHangWrite)
{
    Client(4096);
    ASSERT_TRUE(AcceptOne());
    const std::string chunk(64 * 1024, 'x');
    auto writing = std::async(std::launch::async, [&] {
        for (int i = 0; i < 4096; ++i)  // 256 MB: far beyond any socket buffering
            if (!WriteText(server, chunk))
                return true;
        return false;
    });
    const bool finished = writing.wait_for(60s) == std::future_status::ready;
    if (!finished)
        server.DisConnect();  // frees the writer so the failure is reported instead of hanging
    ASSERT_TRUE(finished) << "a write to a stuck client must give up";
    EXPECT_TRUE(writing.get());
}

TEST_F(DriskoTest, ClientThatStopsReadingIsMarkedOnceItsQueueFillsAndWritesGiveUpAtOnce)
{
    Client(4096);
    ASSERT_TRUE(AcceptOne());
    const std::string chunk(1023, 'q');
    auto writing = std::async(std::launch::async, [&] {
        unsigned long accepted = 0;
        while (WriteText(server, chunk))
            accepted += chunk.size();
        return accepted;
    });
    ASSERT_EQ(writing.wait_for(std::chrono::milliseconds(kPatienceMs)), std::future_status::ready);
    const unsigned long accepted = writing.get();
    EXPECT_GE(accepted, CDrisko::kSendQueueLimit);
    EXPECT_EQ(server.GetSendOverflow(), 1);
    EXPECT_TRUE(server.WaitEvent(kPatienceMs)) << "the owner must be woken to close the client";
    EXPECT_EQ(WriteText(server, "more"), 0);
    // The next client starts with an empty queue.
    server.DropClient();
    EXPECT_EQ(server.GetSendOverflow(), 0);
    int next = Client();
    ASSERT_TRUE(AcceptOne());
    EXPECT_EQ(WriteText(server, "hello"), 1);
    EXPECT_EQ(ReceiveAtLeast(next, 5), "hello");
}

TEST_F(DriskoTest, QueuedWritesReachAClientThatCatchesUpWholeAndInOrder)
{
    int client = Client(4096);
    ASSERT_TRUE(AcceptOne());
    std::string sent;
    for (int i = 0; sent.size() < 200 * 1024; ++i) {
        char text[32];
        std::snprintf(text, sizeof text, "FA%011d;", i);
        sent += text;
        ASSERT_EQ(WriteText(server, text), 1) << "write " << i;
    }
    // The owner's wait sends the queue as the client takes it.
    std::atomic<bool> done{false};
    auto owner = std::async(std::launch::async, [&] {
        while (!done.load())
            server.WaitEvent(50);
    });
    const std::string received = ReceiveAtLeast(client, sent.size());
    done = true;
    owner.wait();
    ASSERT_EQ(received.size(), sent.size());
    EXPECT_TRUE(received == sent);
    EXPECT_EQ(server.GetSendOverflow(), 0);
}

TEST_F(DriskoTest, DropClientSendsWhatIsQueuedAndKeepsListening)
{
    int client = Client(4096);
    ASSERT_TRUE(AcceptOne());
    const std::string farewell(100 * 1024, 'f');
    ASSERT_EQ(WriteText(server, farewell), 1);
    auto reader = std::async(std::launch::async, [&] { return ReceiveAtLeast(client, farewell.size()); });
    server.DropClient();
    EXPECT_EQ(reader.get().size(), farewell.size());
    EXPECT_TRUE(PeerClosed(client));
    // No Listen between clients: the listener never closed.
    int next = Client();
    ASSERT_TRUE(AcceptOne());
    Send(next, "IF;");
    EXPECT_EQ(Read("IF;"), "IF;");
}

TEST_F(DriskoTest, ClientReconnectingBeforeTheServerSawItsCloseIsServedNotTurnedAway)
{
    for (int round = 0; round < 50; ++round) {
        SCOPED_TRACE(round);
        int first = Client();
        ASSERT_TRUE(AcceptOne());
        close(first);
        clients.pop_back();
        int next = Client();  // waits in the listener's queue while the first is still the client
        ASSERT_GE(next, 0);
        // What the session thread does meanwhile must not turn the newcomer away.
        server.WaitEvent(0);
        server.GetRcvDataLength();
        ASSERT_TRUE(PeerClosedOrServerSawClose());
        server.DropClient();
        ASSERT_TRUE(AcceptOne());
        ASSERT_EQ(WriteText(server, "greeting"), 1);
        ASSERT_EQ(ReceiveAtLeast(next, 8), "greeting");
        server.DropClient();
    }
}

TEST_F(DriskoTest, DisConnectReturnsPromptlyWhileOthersWaitAndWrite)
{
    Client(4096);  // never reads, so the writer ends up blocked
    ASSERT_TRUE(AcceptOne());
    std::atomic<bool> writerStarted{false};
    auto waiter = std::async(std::launch::async, [&] { return server.WaitEvent(-1); });
    auto writer = std::async(std::launch::async, [&] {
        const std::string chunk(16 * 1024, 'y');
        writerStarted = true;
        while (WriteText(server, chunk)) {
        }
    });
    while (!writerStarted.load())
        std::this_thread::yield();
    auto closer = std::async(std::launch::async, [&] { return server.DisConnect(); });
    ASSERT_EQ(closer.wait_for(std::chrono::milliseconds(kPatienceMs)), std::future_status::ready);
    ASSERT_EQ(waiter.wait_for(std::chrono::milliseconds(kPatienceMs)), std::future_status::ready);
    ASSERT_EQ(writer.wait_for(std::chrono::milliseconds(kPatienceMs)), std::future_status::ready);
    // The waiter saw either the writer's overflow (news for the session) or the end; both are
    // right, and which came first is the scheduler's choice.
    waiter.get();
    EXPECT_EQ(server.GetClientExist(), 0);
}

TEST_F(DriskoTest, WakeEndsWaitAndPendingConnectionIsAnEvent)
{
    auto waiting = std::async(std::launch::async, [&] { return server.WaitEvent(-1); });
    server.Wake();
    ASSERT_EQ(waiting.wait_for(std::chrono::milliseconds(kPatienceMs)), std::future_status::ready);
    EXPECT_FALSE(waiting.get());
    EXPECT_FALSE(server.WaitEvent(20));
    Client();
    EXPECT_TRUE(server.WaitEvent(kPatienceMs));
    EXPECT_NE(server.GetSocketAccepted(), 0);
}

TEST_F(DriskoTest, NulBytesDroppedAndDeliveriesCapped)
{
    int client = Client();
    ASSERT_TRUE(AcceptOne());
    Send(client, std::string("A\0B\0;", 5));
    EXPECT_EQ(Read("B;"), "AB;");

    std::string burst;
    for (int i = 0; burst.size() < 5000; ++i)
        burst += "FB" + std::to_string(1000000 + i) + ";";
    burst += "#";
    Send(client, burst);
    auto deliveries = ReadUntil("#");
    std::string all;
    for (const auto& d : deliveries) {
        EXPECT_LE(d.size(), 1023u);
        all += d;
    }
    EXPECT_GE(deliveries.size(), 5u);
    EXPECT_EQ(all, burst);
}

TEST(DriskoAddress, LocalAddressIsShortDottedIPv4)
{
    CDrisko server;
    char text[64];
    std::memset(text, 'x', sizeof text);
    EXPECT_NE(server.GetLocalIP(text), 0);
    ASSERT_LE(std::strlen(text), 24u);
    in_addr parsed{};
    EXPECT_EQ(inet_pton(AF_INET, text, &parsed), 1) << text;
}

// An interface list as getifaddrs gives it, built from rows: interface, flags, address.
struct InterfaceRow {
    const char* name;
    unsigned flags;
    int family;           // AF_INET or AF_INET6
    const char* address;  // dotted IPv4, or null for no address
};

class InterfaceList {
public:
    explicit InterfaceList(const std::vector<InterfaceRow>& rows)
    {
        for (const InterfaceRow& row : rows) {
            ifaddrs& node = nodes_.emplace_back();
            node.ifa_name = const_cast<char*>(row.name);
            node.ifa_flags = row.flags;
            if (row.family == AF_INET6) {
                sockaddr_in6& a = v6_.emplace_back();
                a.sin6_family = AF_INET6;
                a.sin6_addr = in6addr_loopback;
                node.ifa_addr = reinterpret_cast<sockaddr*>(&a);
            } else if (row.address) {
                sockaddr_in& a = v4_.emplace_back();
                a.sin_family = AF_INET;
                inet_pton(AF_INET, row.address, &a.sin_addr);
                node.ifa_addr = reinterpret_cast<sockaddr*>(&a);
            }
        }
        for (std::size_t i = 0; i + 1 < nodes_.size(); ++i)
            nodes_[i].ifa_next = &nodes_[i + 1];
    }
    InterfaceList(const InterfaceList&) = delete;  // the nodes point into the list's own storage
    InterfaceList& operator=(const InterfaceList&) = delete;
    const ifaddrs* Head() const { return nodes_.empty() ? nullptr : &nodes_.front(); }

private:
    std::deque<ifaddrs> nodes_;  // deques keep their elements in place as they grow
    std::deque<sockaddr_in> v4_;
    std::deque<sockaddr_in6> v6_;
};

constexpr unsigned kUp = IFF_UP | IFF_RUNNING;
constexpr unsigned kLoop = IFF_UP | IFF_RUNNING | IFF_LOOPBACK;

struct ChoiceCase {
    const char* name;
    std::vector<InterfaceRow> rows;
    const char* shown;
};

TEST(DriskoAddress, LocalAddressIsTheOneARemoteClientWouldUse)
{
    const ChoiceCase cases[] = {
        {"onlyLoopback", {{"lo", kLoop, AF_INET, "127.0.0.1"}}, "127.0.0.1"},
        {"nothingAtAll", {}, "127.0.0.1"},
        {"loopbackListedFirst", {{"lo", kLoop, AF_INET, "127.0.0.1"}, {"eth0", kUp, AF_INET, "192.0.2.2"}}, "192.0.2.2"},
        {"firstOfSeveral",
         {{"lo", kLoop, AF_INET, "127.0.0.1"}, {"eth0", kUp, AF_INET, "192.0.2.2"}, {"wlan0", kUp, AF_INET, "198.51.100.9"}},
         "192.0.2.2"},
        {"ipv6AndNoAddressSkipped",
         {{"eth0", kUp, AF_INET6, nullptr}, {"tun0", kUp, AF_INET, nullptr}, {"eth1", kUp, AF_INET, "10.1.2.3"}},
         "10.1.2.3"},
        {"downInterfaceAfterAnUpOne",
         {{"eth0", IFF_BROADCAST, AF_INET, "192.0.2.2"}, {"eth1", kUp, AF_INET, "198.51.100.9"}}, "198.51.100.9"},
        {"downInterfaceRatherThanLoopback", {{"lo", kLoop, AF_INET, "127.0.0.1"}, {"eth0", 0, AF_INET, "192.0.2.2"}},
         "192.0.2.2"},
        {"linkLocalOnlyWithoutBetter",
         {{"eth0", kUp, AF_INET, "169.254.10.20"}, {"eth1", kUp, AF_INET, "203.0.113.5"}}, "203.0.113.5"},
        {"linkLocalRatherThanLoopback", {{"lo", kLoop, AF_INET, "127.0.0.1"}, {"eth0", kUp, AF_INET, "169.254.10.20"}},
         "169.254.10.20"},
        {"loopbackNetOnAnotherInterface", {{"dummy0", kUp, AF_INET, "127.0.1.1"}, {"eth0", 0, AF_INET, "192.0.2.2"}},
         "192.0.2.2"},
        {"longestAddressWhole", {{"eth0", kUp, AF_INET, "255.255.255.254"}}, "255.255.255.254"},
    };
    for (const ChoiceCase& c : cases) {
        SCOPED_TRACE(c.name);
        const InterfaceList list(c.rows);
        char text[64];
        std::memset(text, 'x', sizeof text);
        CDrisko::ChooseLocalIP(list.Head(), text);
        EXPECT_STREQ(text, c.shown);
    }
}

}  // namespace
