// The login, idle and session time limits, driven by a fake monotonic clock without waiting (and
// the login limit once on the real clock), and the close sequence each model's radio receives.
#include <gtest/gtest.h>

#include "HostMessages.h"
#include "ServerRig.h"

namespace {

using namespace servertest;

const std::string kLoginTimeout = "\r\nLogin timeout.";
const std::string kIdleTimeout = "\r\nConnection time out.\r\nGood-Bye\r\n;";

std::string SessionTime(unsigned elapsed, unsigned limitMinutes) {
    char text[32];
    std::snprintf(text, sizeof text, "@@ST%02u%02u%02u%02u%02u%02u;", elapsed / 3600, elapsed / 60 % 60, elapsed % 60,
                  limitMinutes / 60, limitMinutes % 60, 0u);
    return text;
}

TEST(LoginLimit, EndsTheConnectionExactlyThirtySecondsAfterAccept) {
    ServerRig rig({.fakeClock = true});
    ASSERT_TRUE(rig.Started());
    rig.AddUser(0, "alice", "secret");
    testsupport::SessionClient client;
    ASSERT_TRUE(client.ConnectAndGreet(rig.port, kPatienceMs));
    rig.clock.Advance(29999);
    // Each reply comes from a pass that had already seen the advanced clock; a timeout would
    // stand between two replies.
    for (const auto& [sent, reply] : {std::pair{"UID:alice;", kUidOk}, {"UID:alice;", kUidNg}, {"UID:alice;", kUidOk}}) {
        client.Send(sent);
        EXPECT_EQ(client.ReadExact(reply.size(), kPatienceMs), reply);
    }
    rig.clock.Advance(1);
    bool closed = false;
    EXPECT_EQ(client.ReadUntilClosed(kPatienceMs, &closed), kLoginTimeout);
    EXPECT_TRUE(closed);
    ASSERT_TRUE(rig.WaitLogEntry("127.0.0.1 CLOSE alice Connection Close"));
    EXPECT_EQ(rig.LogEntries(), (std::vector<std::string>{"127.0.0.1 OPEN - Connection Open",
                                                          "127.0.0.1 LOGIN alice timeout.",
                                                          "127.0.0.1 CLOSE alice Connection Close"}));
}

TEST(LoginLimit, EndsASilentConnectionOnTheRealClock) {
    ServerRig rig;
    ASSERT_TRUE(rig.Started());
    testsupport::SessionClient client;
    ASSERT_TRUE(client.ConnectAndGreet(rig.port, kPatienceMs));
    bool closed = false;
    EXPECT_EQ(client.ReadUntilClosed(45000, &closed), kLoginTimeout);
    EXPECT_TRUE(closed);
    EXPECT_TRUE(rig.WaitLogEntry("127.0.0.1 LOGIN  timeout."));
}

TEST(IdleLimit, EndsTheSessionExactlyThirtySecondsAfterTheLastClientData) {
    // A limited session, so each processed second shows as a tick the test can wait for.
    ServerRig rig({.fakeClock = true, .sessionMinutes = 2});
    ASSERT_TRUE(rig.Started());
    rig.AddUser(0, "alice", "secret");
    auto client = rig.Login("alice", "secret");
    auto ticks = [&] { return rig.window.WithCode(brenlow::kSessionTick).size(); };
    rig.clock.Advance(10000);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return ticks() == 1; }, kPatienceMs));
    client.Send("@@ST;");  // client data restarts the idle limit
    EXPECT_EQ(client.ReadExact(17, kPatienceMs), SessionTime(10, 2));
    rig.clock.Advance(29999);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return ticks() == 2; }, kPatienceMs));
    EXPECT_EQ(rig.state.clientConnected.load(), 1u);
    rig.clock.Advance(1);
    bool closed = false;
    EXPECT_EQ(client.ReadUntilClosed(kPatienceMs, &closed), kIdleTimeout);
    EXPECT_TRUE(closed);
    EXPECT_TRUE(rig.WaitLogEntry("127.0.0.1 CONN alice timeout."));
}

TEST(SessionLimit, PushesTheTimeEverySecondAndEndsSilentlyAtTheLimit) {
    ServerRig rig({.fakeClock = true, .sessionMinutes = 1});
    ASSERT_TRUE(rig.Started());
    rig.AddUser(0, "alice", "secret");
    auto client = rig.Login("alice", "secret");
    client.Send("@@AI1;");
    EXPECT_EQ(client.ReadExact(6, kPatienceMs), "@@AI1;");
    for (unsigned second = 1; second <= 60; ++second) {
        SCOPED_TRACE(second);
        rig.clock.Advance(1000);
        ASSERT_EQ(client.ReadExact(17, kPatienceMs), SessionTime(second, 1));
        if (second % 20 == 0 && second < 60) {
            client.Send("@@ST;");  // also keeps the idle limit away
            ASSERT_EQ(client.ReadExact(17, kPatienceMs), SessionTime(second, 1));
        }
        if (second == 30) {
            unsigned v[6];
            rig.lib.RcvDataVEXA_ST(&v[0], &v[1], &v[2], &v[3], &v[4], &v[5]);
            EXPECT_EQ(std::vector<unsigned>(v, v + 6), (std::vector<unsigned>{0, 0, 30, 0, 1, 0}));
        }
    }
    bool closed = false;
    EXPECT_EQ(client.ReadUntilClosed(kPatienceMs, &closed), "");
    EXPECT_TRUE(closed);
    EXPECT_TRUE(rig.WaitLogEntry("127.0.0.1 SESSION alice Session timeout."));
    EXPECT_EQ(rig.window.WithCode(brenlow::kSessionTick).size(), 60u);
    for (const auto& tick : rig.window.WithCode(brenlow::kSessionTick)) EXPECT_EQ(tick.lParam, 0);
}

TEST(SessionLimit, NoneMeansNoTicksAndNoPushes) {
    ServerRig rig({.fakeClock = true});
    ASSERT_TRUE(rig.Started());
    rig.AddUser(0, "alice", "secret");
    auto client = rig.Login("alice", "secret");
    client.Send("@@AI1;");
    EXPECT_EQ(client.ReadExact(6, kPatienceMs), "@@AI1;");
    for (int i = 0; i < 5; ++i) {
        rig.clock.Advance(5000);
        client.Send("@@ST;");
        EXPECT_EQ(client.ReadExact(17, kPatienceMs), "@@ST000000000000;");
    }
    EXPECT_TRUE(rig.window.WithCode(brenlow::kSessionTick).empty());
}

struct CloseRow {
    unsigned model;
    unsigned modelAtClose;
    const char* radioGets;
};

class CloseSequence : public ::testing::TestWithParam<CloseRow> {};

TEST_P(CloseSequence, HandsTheRadioBackAndClearsTerminalMode) {
    const CloseRow row = GetParam();
    ServerRig rig({.model = row.model});
    ASSERT_TRUE(rig.Started());
    rig.AddUser(0, "alice", "secret");
    auto client = rig.Login("alice", "secret");
    rig.sim.ClearReceived();
    rig.state.modelId = row.modelAtClose;
    rig.state.terminalMode = 1;
    client.Close();
    ASSERT_TRUE(rig.sim.WaitReceived("ID;RX;IF;", kPatienceMs));
    EXPECT_EQ(rig.sim.Received(), row.radioGets);
    EXPECT_EQ(rig.state.terminalMode.load(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    EachModel, CloseSequence,
    ::testing::Values(CloseRow{19, 19, "\x03;\rTC 1;\rID;RX;IF;"},
                      CloseRow{20, 20, "KY                         ;ID;RX;IF;"}, CloseRow{20, 0, "ID;RX;IF;"}),
    [](const auto& info) { return "Identity" + std::to_string(info.param.modelAtClose); });

}  // namespace
