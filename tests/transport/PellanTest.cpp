// CPellan against the simulated radio on a real pseudo-terminal: settings, round trips,
// framing of deliveries, concurrent writers, waking and closing under a blocked reader.
#include "Pellan.h"
#include "RadioSim.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <iomanip>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
constexpr int kPatienceMs = 10000;

int WriteText(CPellan& port, const std::string& text)
{
    return port.Write(reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

// Collects deliveries until the joined text contains `until` or the patience runs out.
std::vector<std::string> ReadUntil(CPellan& port, const std::string& until)
{
    std::vector<std::string> deliveries;
    std::string all;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
    while (all.find(until) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        if (!port.WaitRcvData(100))
            continue;
        unsigned char buffer[1024] = {};
        if (port.GetRcvData(buffer)) {
            deliveries.emplace_back(reinterpret_cast<char*>(buffer));
            all += deliveries.back();
        }
    }
    return deliveries;
}

std::string Join(const std::vector<std::string>& parts)
{
    std::string all;
    for (const auto& p : parts)
        all += p;
    return all;
}

class PellanTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(radio.Start());
        port.SetPortPath(1, radio.SlavePath().c_str());
    }
    bool Open() { return port.OpenComPort(1, 38400, 0, 8, 1, 1) != 0; }

    radiosim::RadioSim radio;
    CPellan port;
};

TEST(PellanPaths, DefaultsToTtySAndHonoursTable)
{
    CPellan port;
    EXPECT_EQ(port.PortPath(1), "/dev/ttyS0");
    EXPECT_EQ(port.PortPath(4), "/dev/ttyS3");
    port.SetPortPath(4, "/dev/pts/9");
    EXPECT_EQ(port.PortPath(4), "/dev/pts/9");
    EXPECT_EQ(port.PortPath(3), "/dev/ttyS2");
}

TEST_F(PellanTest, RefusesUnsupportedSettingsAndLeavesNothingOpen)
{
    EXPECT_EQ(port.OpenComPort(1, 1200, 0, 8, 1, 0), 0);
    EXPECT_EQ(port.OpenComPort(1, 38401, 0, 8, 1, 0), 0);
    EXPECT_EQ(port.OpenComPort(1, 38400, 1, 8, 1, 0), 0);
    EXPECT_EQ(port.OpenComPort(1, 38400, 0, 7, 1, 0), 0);
    EXPECT_EQ(port.OpenComPort(1, 38400, 0, 8, 0, 0), 0);
    EXPECT_EQ(port.OpenComPort(1, 38400, 0, 8, 3, 0), 0);
    EXPECT_EQ(port.Write(reinterpret_cast<const unsigned char*>("ID;"), 3), 0);
    // Every supported speed and both stop-bit settings open.
    for (unsigned baud : {4800u, 9600u, 19200u, 38400u, 57600u, 115200u}) {
        for (unsigned stop : {1u, 2u}) {
            EXPECT_NE(port.OpenComPort(1, baud, 0, 8, stop, 1), 0) << baud << " " << stop;
            port.CloseComPort();
        }
    }
}

TEST_F(PellanTest, MissingOrNonTerminalDeviceRefused)
{
    port.SetPortPath(2, "/nonexistent/quintar-tty");
    EXPECT_EQ(port.OpenComPort(2, 9600, 0, 8, 1, 0), 0);
    port.SetPortPath(3, "/dev/null");
    EXPECT_EQ(port.OpenComPort(3, 9600, 0, 8, 1, 0), 0);
    EXPECT_EQ(port.GetRcvDataLength(), 0u);
    EXPECT_TRUE(Open());
}

TEST_F(PellanTest, SecondOpenRefusedCloseIsRepeatableAndReopenWorks)
{
    ASSERT_TRUE(Open());
    EXPECT_EQ(port.OpenComPort(1, 9600, 0, 8, 1, 0), 0);
    port.CloseComPort();
    port.CloseComPort();
    EXPECT_EQ(WriteText(port, "ID;"), 0);
    ASSERT_TRUE(Open());
    ASSERT_NE(WriteText(port, "ID;"), 0);
    EXPECT_EQ(Join(ReadUntil(port, "ID020;")), "ID020;");
}

// What the operator is told when the port does not open: the system's reason, who holds a busy
// device; nothing once it opened.
TEST_F(PellanTest, LastFailureSaysWhyTheDeviceDidNotOpen)
{
    CPellan missing;
    missing.SetPortPath(1, "/dev/no-such-serial-device");
    EXPECT_EQ(missing.OpenComPort(1, 9600, 0, 8, 1, 1), 0);
    EXPECT_EQ(missing.LastFailure(), "No such file or directory");

    ASSERT_TRUE(Open());
    EXPECT_EQ(port.LastFailure(), "");
    CPellan other;
    other.SetPortPath(1, radio.SlavePath().c_str());
    EXPECT_EQ(other.OpenComPort(1, 38400, 0, 8, 1, 1), 0);
    EXPECT_EQ(other.LastFailure(), "in use by process " + std::to_string(getpid()) + " (test_transport)");
}

// The device is one port's alone, root's too: another is refused with EBUSY and told who holds it,
// until the first closes it. Where the lock folder takes files, the UUCP lock file that other
// serial programs look at is kept as well, a live one honoured and a stale one taken over.
TEST_F(PellanTest, DeviceHeldByAnotherIsRefusedAsBusyNamingTheHolder)
{
    ASSERT_TRUE(Open());
    CPellan other;
    other.SetPortPath(1, radio.SlavePath().c_str());
    EXPECT_EQ(other.OpenComPort(1, 38400, 0, 8, 1, 1), 0);
    EXPECT_EQ(other.LastError(), EBUSY);
    EXPECT_EQ(other.LastHolder(), "process " + std::to_string(getpid()) + " (test_transport)");
    port.CloseComPort();
    ASSERT_NE(other.OpenComPort(1, 38400, 0, 8, 1, 1), 0) << "free again once closed";
    ASSERT_NE(WriteText(other, "ID;"), 0);
    EXPECT_EQ(Join(ReadUntil(other, "ID020;")), "ID020;");
    other.CloseComPort();

    const std::string lockFile = "/run/lock/LCK.." + radio.SlavePath().substr(5, 3) + "_" + radio.SlavePath().substr(9);
    if (access("/run/lock", W_OK) != 0)
        GTEST_SKIP() << "/run/lock takes no files from this user; the descriptor's own locks were tested";
    ASSERT_TRUE(Open());
    std::ifstream held(lockFile);
    long pid = 0;
    held >> pid;
    EXPECT_EQ(pid, getpid()) << lockFile;
    port.CloseComPort();
    EXPECT_FALSE(std::filesystem::exists(lockFile));

    auto writeLock = [&](long owner) { std::ofstream(lockFile) << std::setw(10) << owner << "\n"; };
    writeLock(getppid());  // another program, alive
    EXPECT_FALSE(Open());
    EXPECT_EQ(port.LastError(), EBUSY);
    EXPECT_EQ(port.LastHolder().rfind("process " + std::to_string(getppid()), 0), 0u) << port.LastHolder();
    const pid_t gone = fork();
    if (gone == 0)
        _exit(0);
    waitpid(gone, nullptr, 0);
    writeLock(gone);  // left behind by a program that ended
    EXPECT_TRUE(Open());
    port.CloseComPort();
    EXPECT_FALSE(std::filesystem::exists(lockFile));
}

TEST_F(PellanTest, IdRoundTrip)
{
    ASSERT_TRUE(Open());
    ASSERT_NE(WriteText(port, "ID;"), 0);
    EXPECT_EQ(Join(ReadUntil(port, ";")), "ID020;");
    EXPECT_EQ(radio.Received(), "ID;");
}

TEST_F(PellanTest, ResetDiscardsWhatTheLineHeldBeforeOpening)
{
    radio.Inject("OLD;");
    // Wait until the stale bytes sit in the line, then open with reset.
    CPellan peek;
    peek.SetPortPath(1, radio.SlavePath().c_str());
    ASSERT_NE(peek.OpenComPort(1, 38400, 0, 8, 1, 0), 0);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (peek.GetRcvDataLength() < 4 && std::chrono::steady_clock::now() < deadline)
        peek.WaitRcvData(100);
    ASSERT_EQ(peek.GetRcvDataLength(), 4u);
    peek.CloseComPort();
    ASSERT_TRUE(Open());
    radio.Inject("NEW;");
    EXPECT_EQ(Join(ReadUntil(port, "NEW;")), "NEW;");
}

TEST_F(PellanTest, NulBytesDropped)
{
    ASSERT_TRUE(Open());
    radio.Inject(std::string("A\0B\0\0C;", 7));
    EXPECT_EQ(Join(ReadUntil(port, "C;")), "ABC;");

    // A delivery of nothing but NULs delivers nothing.
    radio.Inject(std::string(5, '\0'));
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (port.GetRcvDataLength() < 5 && std::chrono::steady_clock::now() < deadline)
        port.WaitRcvData(100);
    unsigned char buffer[1024] = {};
    EXPECT_EQ(port.GetRcvData(buffer), 0);
    EXPECT_EQ(buffer[0], 0);
}

TEST_F(PellanTest, BurstArrivesInOrderInChunksOfAtMost1023)
{
    ASSERT_TRUE(Open());
    std::string burst;
    for (int i = 0; burst.size() < 3000; ++i)
        burst += "FA" + std::to_string(100000 + i) + ";";
    burst.resize(3000);
    burst.back() = '#';
    radio.Inject(burst);
    auto deliveries = ReadUntil(port, "#");
    for (const auto& d : deliveries)
        EXPECT_LE(d.size(), 1023u);
    EXPECT_GE(deliveries.size(), 3u);
    EXPECT_EQ(Join(deliveries), burst);
}

TEST_F(PellanTest, ConcurrentWritersNeverInterleave)
{
    ASSERT_TRUE(Open());
    constexpr int kThreads = 4, kWrites = 500;
    auto command = [](int t, int i) {
        char text[64];
        std::snprintf(text, sizeof text, "KY T%d N%04d PADDINGPADDINGPAD;", t, i);
        return std::string(text);
    };
    ASSERT_EQ(command(0, 0).size(), 30u);
    std::atomic<int> failures{0};
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([&, t] {
            for (int i = 0; i < kWrites; ++i)
                if (!WriteText(port, command(t, i)))
                    ++failures;
        });
    }
    for (auto& w : writers)
        w.join();
    EXPECT_EQ(failures.load(), 0);
    ASSERT_TRUE(radio.WaitReceived(command(kThreads - 1, kWrites - 1), kPatienceMs));
    for (int t = 0; t < kThreads; ++t)
        ASSERT_TRUE(radio.WaitReceived(command(t, kWrites - 1), kPatienceMs));

    // Every 30-byte slot must be exactly one command, and each thread's commands stay in order.
    const std::string received = radio.Received();
    ASSERT_EQ(received.size(), size_t(kThreads * kWrites * 30));
    std::map<int, int> next;
    for (size_t at = 0; at < received.size(); at += 30) {
        int t = -1, i = -1;
        ASSERT_EQ(std::sscanf(received.c_str() + at, "KY T%d N%d", &t, &i), 2) << received.substr(at, 30);
        ASSERT_EQ(received.substr(at, 30), command(t, i));
        EXPECT_EQ(i, next[t]++);
    }
}

TEST_F(PellanTest, WaitEndsOnDataOnWakeAndOnTimeout)
{
    ASSERT_TRUE(Open());
    EXPECT_FALSE(port.WaitRcvData(50));

    auto woken = std::async(std::launch::async, [&] { return port.WaitRcvData(-1); });
    port.Wake();
    ASSERT_EQ(woken.wait_for(std::chrono::milliseconds(kPatienceMs)), std::future_status::ready);
    EXPECT_FALSE(woken.get());

    port.Wake();  // a wake with nobody waiting ends the next wait
    EXPECT_FALSE(port.WaitRcvData(-1));

    auto data = std::async(std::launch::async, [&] { return port.WaitRcvData(-1); });
    radio.Inject("FA;");
    ASSERT_EQ(data.wait_for(std::chrono::milliseconds(kPatienceMs)), std::future_status::ready);
    EXPECT_TRUE(data.get());
    EXPECT_GT(port.GetRcvDataLength(), 0u);
}

TEST_F(PellanTest, CloseReturnsPromptlyWhileOthersWaitAndWrite)
{
    ASSERT_TRUE(Open());
    radio.SetSilent(true);
    std::atomic<bool> writerStarted{false};
    auto waiter = std::async(std::launch::async, [&] { return port.WaitRcvData(-1); });
    auto writer = std::async(std::launch::async, [&] {
        int writes = 0;
        for (;;) {
            writerStarted = true;
            if (!WriteText(port, "KYAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA;"))
                return writes;
            ++writes;
        }
    });
    while (!writerStarted.load())
        std::this_thread::yield();
    auto closer = std::async(std::launch::async, [&] { port.CloseComPort(); });
    ASSERT_EQ(closer.wait_for(std::chrono::milliseconds(kPatienceMs)), std::future_status::ready);
    ASSERT_EQ(waiter.wait_for(std::chrono::milliseconds(kPatienceMs)), std::future_status::ready);
    ASSERT_EQ(writer.wait_for(std::chrono::milliseconds(kPatienceMs)), std::future_status::ready);
    EXPECT_FALSE(waiter.get());
    writer.get();
    EXPECT_EQ(WriteText(port, "ID;"), 0);
}

TEST_F(PellanTest, HungUpLineDoesNotSpin)
{
    ASSERT_TRUE(Open());
    radio.Stop();  // closes the master: the line hangs up
    unsigned char buffer[1024] = {};
    EXPECT_EQ(port.GetRcvData(buffer), 0);
    EXPECT_EQ(WriteText(port, "ID;"), 0);
    // The wait must sit out its timeout instead of returning at once on the hang-up.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(port.WaitRcvData(300));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 250ms);
    // Wake still ends such a wait.
    auto woken = std::async(std::launch::async, [&] { return port.WaitRcvData(-1); });
    port.Wake();
    ASSERT_EQ(woken.wait_for(std::chrono::milliseconds(kPatienceMs)), std::future_status::ready);
    EXPECT_FALSE(woken.get());
}

}  // namespace
