// The wall clock jumping forwards and backwards under the running host (an operator setting the
// clock, NTP stepping it), made with libfaketime, which moves the calendar clock only, as such a
// change does. The session limits run on the monotonic clock: no session ends early and none is
// kept forever; the access log follows the calendar clock, one whole line per event, each day's
// entries in that day's file.
#include <chrono>
#include <csignal>
#include <thread>

#include "FaultSupport.h"
#include "SessionClient.h"

namespace faulttest {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

long long MsSince(Clock::time_point t)
{
    return std::chrono::duration_cast<milliseconds>(Clock::now() - t).count();
}

class WallClock : public stationtest::Headless {
protected:
    void SetUp() override
    {
        Headless::SetUp();
        if (!MovableWallClock::Available())
            GTEST_SKIP() << "libfaketime is not installed (package faketime)";
        clock = std::make_unique<MovableWallClock>(dir.Path());
        settings.users = {{"op1", "pw1", "", 0}};
        settings.sessionMinutes = 1;
        StartRadio();
        host = std::make_unique<Program>(Arguments(), Environment() + clock->Environment());
        ASSERT_TRUE(host->Start());
        ASSERT_TRUE(host->WaitForOutput(ReadyLine(), 15000)) << host->Err();
    }

    void TearDown() override
    {
        if (host) {
            host->Signal(SIGTERM);
            EXPECT_TRUE(host->WaitForExit(15000));
            EXPECT_EQ(host->ExitStatus(), 0) << "the station ran on through the clock's jumps: " << host->Err();
            EXPECT_EQ(host->Err().find("watchdog"), std::string::npos) << host->Err();
        }
        host.reset();
        Headless::TearDown();
    }

    // Sends a keep-alive every few seconds until the server closes the connection; returns when.
    static long long KeepAliveUntilClosed(testsupport::SessionClient& c, Clock::time_point since, int limitMs,
                                          const std::function<void(long long)>& at)
    {
        while (MsSince(since) < limitMs) {
            at(MsSince(since));
            c.Send("@@ST;");
            bool closed = false;
            c.ReadUntilClosed(4000, &closed);
            if (closed)
                return MsSince(since);
        }
        return -1;
    }

    std::unique_ptr<MovableWallClock> clock;
    std::unique_ptr<Program> host;
};

TEST_F(WallClock, sessionLimitHoldsWhileTheWallClockJumpsADayForwardAndHoursBack)
{
    testsupport::SessionClient c;
    ASSERT_TRUE(c.ConnectAndGreet(static_cast<unsigned>(settings.tcpPort), 5000));
    c.Send("UID:op1;PWD:pw1;");
    ASSERT_NE(c.ReadUntil("PWD:OK;>@@UE1;", 5000).find("PWD:OK;>@@UE1;"), std::string::npos);
    const auto loggedIn = Clock::now();

    bool forward = false, back = false;
    const long long ended = KeepAliveUntilClosed(c, loggedIn, 90000, [&](long long ms) {
        if (!forward && ms >= 8000) {
            forward = true;
            clock->Set("+1d");
            // A password change now is logged under tomorrow's date: the host's clock has moved.
            c.Send("@@CPpw1;");
        }
        if (!back && ms >= 24000) {
            back = true;
            clock->Set("-3h");
        }
    });
    ASSERT_GE(ended, 0) << "a session limit of one minute must end the session";
    EXPECT_GE(ended, 59000) << "the session ended early";
    EXPECT_LE(ended, 66000);

    ASSERT_TRUE(PumpUntil([&] { return Count(Log(), LogEntry("127.0.0.1 CLOSE op1 Connection Close")) == 1; }, 5000));
    const std::string log = Log();
    EXPECT_EQ(Count(log, LogEntry("127.0.0.1 SESSION op1 Session timeout.")), 1u) << log;
    EXPECT_EQ(Count(log, LogEntry("127.0.0.1 CONN op1 timeout.")), 0u) << log;
    const auto tomorrow = stationtest::FileBytes(logFolder / LogFileName(24 * 3600));
    ASSERT_TRUE(tomorrow) << "the host's wall clock did not move";
    EXPECT_NE(tomorrow->find(LogEntry("127.0.0.1 CHGPWD op1 Change Passowrd OK.")), std::string::npos) << *tomorrow;
    EXPECT_EQ(tomorrow->rfind("#Software: Talvern Network Command System\r\n", 0), 0u) << *tomorrow;
    EXPECT_TRUE(BrokenLogLines(log).empty()) << log;

    Client next;  // the station serves on
    ASSERT_TRUE(next.Connect(static_cast<unsigned>(settings.tcpPort), 5000));
    EXPECT_TRUE(next.LogIn("op1", "pw1", 5000));
}

TEST_F(WallClock, loginLimitHoldsWhileTheWallClockJumpsBackADayAndForwardTwo)
{
    testsupport::SessionClient c;
    ASSERT_TRUE(c.ConnectAndGreet(static_cast<unsigned>(settings.tcpPort), 5000));
    const auto accepted = Clock::now();
    clock->Set("-1d");
    std::this_thread::sleep_for(milliseconds(8000));
    clock->Set("+2d");
    bool closed = false;
    const std::string got = c.ReadUntilClosed(45000, &closed);
    ASSERT_TRUE(closed) << "the login limit must end a connection that never logs in";
    const long long ended = MsSince(accepted);
    EXPECT_GE(ended, 29000) << "the login limit ended the connection early";
    EXPECT_LE(ended, 36000);
    EXPECT_EQ(got, "\r\nLogin timeout.");
    ASSERT_TRUE(PumpUntil([&] { return Count(Log(), "127.0.0.1 CLOSE - Connection Close\r\n") == 1; }, 5000));
    EXPECT_EQ(Count(Log(), "127.0.0.1 LOGIN  timeout.\r\n"), 1u) << Log();
    EXPECT_TRUE(BrokenLogLines(Log()).empty()) << Log();
}

}  // namespace
}  // namespace faulttest
