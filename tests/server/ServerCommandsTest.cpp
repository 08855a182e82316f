// The "@@" server commands over real TCP, password changes in the real profile file, the voice
// report and the host's session accessors.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "ServerRig.h"

namespace {

using namespace servertest;

const std::string k33(33, 'p');
const std::string kZeroTime = "@@ST000000000000;";

// A reply of "" means no answer; the next step's exact reply shows any stray byte.
struct Exchange {
    std::string sent;
    std::string reply;
};

const Exchange kServerCommands[] = {
    {"@@AI;", "@@AI0;"},
    {"@@ai1;", "@@AI1;"},
    {"@@AI1;", ""},
    {"@@AI;", "@@AI1;"},
    {"@@AI0;", ""},
    {"@@AI;", "@@AI0;"},
    {"@@AI2;", "@@AI1;"},
    {"@@AI9;", ""},
    {"@@AIX;", "@@?;"},
    {"@@AI10;", "@@?;"},
    {"@@AX;", ""},
    {"@@XY;", "@@?;"},
    {"@@A;", ""},
    {"@@;", ""},
    {"@@ST;", kZeroTime},
    {"@@st;", kZeroTime},
    {"@@ST1;", "@@?;"},
    {"@@SX;", ""},
    {"@@CP;", "@@?;"},
    {"@@CP" + k33 + ";", "@@?;"},
    {"@@cpNewSecret;", Padded("@@CP1;", 150)},
    {"@@AI0;", ""},
    {"@@CPQuiet;", ""},
    {"@@ST;", kZeroTime},
};

class ServerCommands : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(rig.Started());
        rig.AddUser(0, "alice", "secret");
        rig.AddUser(1, "bob", "hunter2");
    }
    ServerRig rig{{.fakeClock = true}};
};

TEST_F(ServerCommands, TranscriptGivesExactAnswersAndNothingReachesTheRadio) {
    auto client = rig.Login("alice", "secret");
    rig.sim.ClearReceived();
    for (const Exchange& e : kServerCommands) {
        SCOPED_TRACE(e.sent);
        ASSERT_TRUE(client.Send(e.sent));
        if (!e.reply.empty()) {
            EXPECT_EQ(client.ReadExact(e.reply.size(), kPatienceMs), e.reply);
        }
    }
    EXPECT_EQ(rig.sim.Received(), "");
    // The last change, made while auto-information was off, is the stored one; the case is kept.
    EXPECT_EQ(rig.profile.GetString("Setting", "VEXA 000 Password", ""), "Quiet");
    EXPECT_EQ(rig.profile.GetString("Setting", "VEXA 001 Password", ""), "hunter2");
    EXPECT_EQ(rig.state.session.passwordChangeResult.load(), 1u);
    const auto log = rig.LogEntries();
    EXPECT_EQ(std::count(log.begin(), log.end(), "127.0.0.1 CHGPWD alice Change Passowrd OK."), 2);
}

TEST_F(ServerCommands, ChangedPasswordIsTheOneTheNextLoginNeeds) {
    auto client = rig.Login("alice", "secret");
    client.Send("@@AI1;@@CPfresh-Pass;");
    EXPECT_EQ(client.ReadExact(6 + 150, kPatienceMs), "@@AI1;" + Padded("@@CP1;", 150));
    client.Close();
    ASSERT_TRUE(rig.WaitNoClient());

    testsupport::SessionClient next;
    ASSERT_TRUE(next.ConnectAndGreet(rig.port, kPatienceMs));
    next.Send("UID:alice;PWD:secret;PWD:fresh-pass;PWD:fresh-Pass;");
    const std::string expected = kUidOk + kPwdNg + kPwdNg + kPwdOk;
    EXPECT_EQ(next.ReadExact(expected.size(), kPatienceMs), expected);
}

TEST_F(ServerCommands, PasswordChangeOfAVanishedUserFailsAndIsLogged) {
    auto client = rig.Login("alice", "secret");
    rig.profile.WriteString("Setting", "VEXA 000 User ID", "");
    client.Send("@@AI1;@@CPother;");
    EXPECT_EQ(client.ReadExact(6 + 150, kPatienceMs), "@@AI1;" + Padded("@@CP0;", 150));
    EXPECT_EQ(rig.state.session.passwordChangeResult.load(), 0u);
    EXPECT_EQ(rig.profile.GetString("Setting", "VEXA 000 Password", ""), "secret");
    EXPECT_TRUE(rig.WaitLogEntry("127.0.0.1 CHGPWD alice Change Passowrd NG."));
}

TEST_F(ServerCommands, AutoInformationStaysSetForTheNextClient) {
    auto first = rig.Login("alice", "secret");
    first.Send("@@AI1;");
    EXPECT_EQ(first.ReadExact(6, kPatienceMs), "@@AI1;");
    first.Close();
    ASSERT_TRUE(rig.WaitNoClient());
    auto second = rig.Login("bob", "hunter2");
    second.Send("@@AI;");
    EXPECT_EQ(second.ReadExact(6, kPatienceMs), "@@AI1;");
}

TEST_F(ServerCommands, HostReadsTheUserAndSendsTheVoiceReportOnlyDuringALogin) {
    char user[35];
    std::memset(user, 'x', sizeof user);
    EXPECT_EQ(rig.lib.GetLoginUserID(user), 0);
    EXPECT_EQ(std::string(user, sizeof user), std::string(35, 'x'));
    EXPECT_EQ(rig.lib.SonnVEXA_VE(1), 0);

    testsupport::SessionClient client;
    ASSERT_TRUE(client.ConnectAndGreet(rig.port, kPatienceMs));
    client.Send("UID:alice;");
    EXPECT_EQ(client.ReadExact(kUidOk.size(), kPatienceMs), kUidOk);
    EXPECT_EQ(rig.lib.SonnVEXA_VE(1), 0);
    EXPECT_EQ(rig.lib.GetLoginUserID(user), 0);
    EXPECT_EQ(user[0], 'x');

    client.Send("PWD:secret;");
    EXPECT_EQ(client.ReadExact(kPwdOk.size(), kPatienceMs), kPwdOk);
    EXPECT_NE(rig.lib.SonnVEXA_VE(1), 0);
    EXPECT_NE(rig.lib.SonnVEXA_VE(0), 0);
    EXPECT_EQ(client.ReadExact(12, kPatienceMs), "@@VE1;@@VE0;");
    EXPECT_EQ(rig.lib.GetLoginUserID(user), 0);
    EXPECT_STREQ(user, "alice");
}

struct LimitRow {
    int minutes;
    unsigned hours, limitMinutes;
    const char* reply;
};

TEST(SessionLimitSetting, IsSplitIntoHoursMinutesAndSecondsAtEachConnection) {
    const LimitRow rows[] = {
        {0, 0, 0, "@@ST000000000000;"},
        {1, 0, 1, "@@ST000000000100;"},
        {59, 0, 59, "@@ST000000005900;"},
        {90, 1, 30, "@@ST000000013000;"},
        {120, 2, 0, "@@ST000000020000;"},
    };
    ServerRig rig({.fakeClock = true});
    ASSERT_TRUE(rig.Started());
    rig.AddUser(0, "alice", "secret");
    for (const LimitRow& row : rows) {
        SCOPED_TRACE(row.minutes);
        // A changed setting holds from the next connection on.
        rig.profile.WriteInt("Setting", "VEXA Session Time", row.minutes);
        auto client = rig.Login("alice", "secret");
        client.Send("@@ST;");
        EXPECT_EQ(client.ReadExact(17, kPatienceMs), row.reply);
        unsigned v[6] = {9, 9, 9, 9, 9, 9};
        EXPECT_EQ(rig.lib.RcvDataVEXA_ST(&v[0], &v[1], &v[2], &v[3], &v[4], &v[5]), 1);
        EXPECT_EQ(std::vector<unsigned>(v, v + 6), (std::vector<unsigned>{0, 0, 0, row.hours, row.limitMinutes, 0}));
        rig.window.Clear();
        client.Close();
        ASSERT_TRUE(rig.WaitNoClient());
        // The close sequence ends with an IF query; its answer, once parsed, is not relayed to the
        // next client, which would read it before its own reply.
        ASSERT_TRUE(rig.window.WaitFor(4126, kPatienceMs));
    }
}

}  // namespace
