// The library frame: opening and closing the serial link and the server, the raw write, and the
// small utilities.
#include <fcntl.h>
#include <termios.h>

#include "HostMessages.h"
#include "LinkFixture.h"

namespace {

using brenlow::Answer;
using cattest::LinkTest;

bool TwoStopBits(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios t{};
    ::tcgetattr(fd, &t);
    ::close(fd);
    return (t.c_cflag & CSTOPB) != 0;
}

TEST_F(LinkTest, baud4800AsksForTwoStopBitsAndOtherRatesForOne) {
    sim = std::make_unique<radiosim::RadioSim>();
    ASSERT_TRUE(sim->Start());
    CBrenlow::SetComPortPath(1, sim->SlavePath().c_str());
    ASSERT_EQ(lib.RadioConnectionOpen(20, 1, 4800, 1), 1);
    EXPECT_TRUE(TwoStopBits(sim->SlavePath()));
    lib.RadioConnectionClose();
    ASSERT_EQ(lib.RadioConnectionOpen(20, 1, 115200, 1), 1);
    EXPECT_FALSE(TwoStopBits(sim->SlavePath()));
}

TEST_F(LinkTest, openWithoutResetKeepsTheCacheAndIdentityAndWithResetClearsThem) {
    OpenLink(19);
    sim->Inject("AI2;");
    ASSERT_TRUE(window.WaitFor(brenlow::kAutoInformationAnswer, 5000));
    lib.RadioConnectionClose();
    EXPECT_EQ(brenlow::State().comPortOpen.load(), 0u);

    ASSERT_EQ(lib.RadioConnectionOpen(20, 1, 9600, 0), 1);
    EXPECT_EQ(brenlow::State().modelId.load(), 19u);
    EXPECT_EQ(Entry(Answer::AI).valid, 1u);
    lib.RadioConnectionClose();

    ASSERT_EQ(lib.RadioConnectionOpen(20, 1, 9600, 1), 1);
    EXPECT_EQ(brenlow::State().modelId.load(), 20u);
    EXPECT_EQ(Entry(Answer::AI).valid, 0u);
}

TEST_F(LinkTest, failedOpenChangesNothing) {
    OpenLink(19);
    sim->Inject("AI2;");
    ASSERT_TRUE(window.WaitFor(brenlow::kAutoInformationAnswer, 5000));
    lib.RadioConnectionClose();
    CBrenlow::SetComPortPath(1, "/dev/quintar-no-such-port");
    EXPECT_EQ(lib.RadioConnectionOpen(20, 1, 9600, 1), 0);
    EXPECT_EQ(brenlow::State().modelId.load(), 19u);
    EXPECT_EQ(Entry(Answer::AI).valid, 1u);
    EXPECT_EQ(brenlow::State().comPortOpen.load(), 0u);
}

TEST_F(LinkTest, secondOpenOfARunningLinkIsRefused) {
    OpenLink(20);
    EXPECT_EQ(lib.RadioConnectionOpen(20, 1, 9600, 1), 0);
    sim->Inject("AI2;");
    EXPECT_TRUE(window.WaitFor(brenlow::kAutoInformationAnswer, 5000));
}

TEST_F(LinkTest, closeWithoutAReaderDoesNothingAndCloseOfAnIdleLinkIsBounded) {
    lib.RadioConnectionClose();
    EXPECT_EQ(brenlow::State().comPortOpen.load(), 0u);
    OpenLink(20);
    auto start = std::chrono::steady_clock::now();
    lib.RadioConnectionClose();
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::seconds(3));  // the reader wakes at once; the rest is the 100 ms settle
    EXPECT_EQ(brenlow::State().comThreadAlive.load(), 0u);
}

TEST_F(LinkTest, connDirectWritesTheTextWholeOnlyWhileTheLinkIsOpen) {
    const char text[] = "FA;ID;";
    EXPECT_EQ(lib.ConnDirect(reinterpret_cast<const unsigned char*>(text)), 0);
    OpenLink(20);
    EXPECT_NE(lib.ConnDirect(reinterpret_cast<const unsigned char*>(text)), 0);
    EXPECT_TRUE(sim->WaitReceived("FA;ID;", 5000));
    const unsigned char empty[] = "";
    EXPECT_EQ(lib.ConnDirect(empty), brenlow::State().serialPort.Write(empty, 0));
    lib.RadioConnectionClose();
    EXPECT_EQ(sim->Received(), "FA;ID;");
}

TEST_F(LinkTest, secondServerOpenIsRefusedAndKeepsTheFirstPort) {
    CBrenlow::SetListenAddress("127.0.0.1");
    unsigned port = cattest::FreeTcpPort();
    ASSERT_EQ(lib.SocketServerOpen(port), 1);
    EXPECT_EQ(lib.SocketServerOpen(cattest::FreeTcpPort()), 0);
    EXPECT_EQ(brenlow::State().ipPort.load(), port);
    cattest::RawClient client(port);
    EXPECT_TRUE(client.Connected());
    lib.SocketServerClose();
    EXPECT_EQ(brenlow::State().sockThreadAlive.load(), 0u);
    CBrenlow::SetListenAddress("0.0.0.0");
}

TEST(Utilities, fileExistFindsFilesAndFolders) {
    testsupport::TempDir dir;
    EXPECT_EQ(CBrenlow::FileExist(dir.Path().c_str()), 1);
    EXPECT_EQ(CBrenlow::FileExist((dir.Path() / "missing.log").c_str()), 0);
    unsigned y, m, d, h, mi, s;
    CBrenlow::GetDate(&y, &m, &d);
    CBrenlow::GetTime(&h, &mi, &s);
    EXPECT_GE(y, 2024u);
    EXPECT_TRUE(m >= 1 && m <= 12 && d >= 1 && d <= 31 && h < 24 && mi < 60 && s < 61);
}

}  // namespace

namespace {

// A host window whose Post blocks until released: a reader held by it cannot stop in time.
class HeldWindow : public brenlow::HostWindow {
public:
    void Post(unsigned, unsigned long, long) override {
        std::unique_lock<std::mutex> l(lock_);
        entered_ = true;
        changed_.notify_all();
        changed_.wait(l, [this] { return released_; });
    }
    bool WaitEntered(int timeoutMs) {
        std::unique_lock<std::mutex> l(lock_);
        return changed_.wait_for(l, std::chrono::milliseconds(timeoutMs), [this] { return entered_; });
    }
    void Release() {
        std::lock_guard<std::mutex> l(lock_);
        released_ = true;
        changed_.notify_all();
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    bool entered_ = false, released_ = false;
};

TEST_F(LinkTest, readerStuckBeyondTheBoundedStopIsWaitedForNotAbandoned) {
    OpenLink(20);
    HeldWindow held;
    lib.WinMsgSendReg(&held);
    sim->Inject("AI2;");
    ASSERT_TRUE(held.WaitEntered(5000));
    lib.RadioConnectionClose();  // gives up waiting after about a second and closes the port
    brenlow::RadioState& s = brenlow::State();
    EXPECT_EQ(s.comThreadAlive.load(), 1u);
    EXPECT_TRUE(s.comThread.joinable()) << "a stuck reader must stay joinable, so its owner can wait for it";
    held.Release();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return s.comThreadAlive.load() == 0; }, 5000));
    lib.WinMsgSendReg(&window);
    // The next open waits for the old reader and starts a fresh one.
    ASSERT_EQ(lib.RadioConnectionOpen(20, 1, 9600, 1), 1);
    sim->Inject("PS1;");
    EXPECT_TRUE(window.WaitFor(brenlow::kPowerStateAnswer, 5000));
}

}  // namespace
