// The login dialogue over real TCP: scripted transcripts, each on a fresh connection, with every
// reply byte for byte and the access log of the connection compared whole.
#include <gtest/gtest.h>

#include "HostMessages.h"
#include "ServerRig.h"

namespace {

using namespace servertest;

const std::string kLoginFailedBlock = Padded("\r\nLogin failed. Good-Bye\r\n;", 512);
const std::string kOpen = "127.0.0.1 OPEN - Connection Open";
const std::string kCloseSequence = "KY" + std::string(25, ' ') + ";ID;RX;IF;";
const std::string k33(33, 'u');

// A reply of "" means the server says nothing; the next step's exact reply then shows any stray byte.
struct Step {
    std::string sent;
    std::string reply;
};

struct Transcript {
    const char* name;
    std::vector<Step> steps;
    bool serverCloses;
    std::vector<std::string> log;  // after the OPEN line
};

const Transcript kTranscripts[] = {
    {"user id given twice is refused and forgotten, then taken again",
     {{"UID:alice;", kUidOk}, {"UID:alice;", kUidNg}, {"UID:alice;", kUidOk}, {"PWD:secret;", kPwdOk}},
     false,
     {"127.0.0.1 LOGIN alice Password OK.", "127.0.0.1 CLOSE alice Connection Close"}},
    {"UID alone is not acceptable and forgets the stored id",
     {{"UID:alice;", kUidOk}, {"UID:;", kCmdNg}, {"PWD:secret;", kCmdNg}},
     false,
     {"127.0.0.1 CLOSE - Connection Close"}},
    {"PWD alone is not acceptable and forgets the stored id",
     {{"UID:alice;", kUidOk}, {"PWD:;", kCmdNg}, {"PWD:secret;", kCmdNg}},
     false,
     {"127.0.0.1 CLOSE - Connection Close"}},
    {"short radio command is refused, a longer one ignored, before login",
     {{"FA;", kCmdNg}, {"FA00014074000;", ""}, {"UID:alice;", kUidOk}},
     false,
     {"127.0.0.1 CLOSE alice Connection Close"}},
    {"lower-case uid is ignored without an answer",
     {{"uid:alice;", ""}, {"PWD:secret;", kCmdNg}},
     false,
     {"127.0.0.1 CLOSE - Connection Close"}},
    {"a password after a line end does not begin with PWD and is ignored",
     {{"UID:alice;\r\n", kUidOk}, {"PWD:secret;\r\n", ""}, {"x;", kCmdNg}},
     false,
     {"127.0.0.1 CLOSE - Connection Close"}},
    {"password without a user id is not acceptable",
     {{"PWD:secret;", kCmdNg}, {"UID:alice;", kUidOk}},
     false,
     {"127.0.0.1 CLOSE alice Connection Close"}},
    {"user id and password longer than 32 characters are not acceptable",
     {{"UID:" + k33 + ";", kCmdNg}, {"UID:alice;", kUidOk}, {"PWD:" + k33 + ";", kCmdNg}, {"PWD:secret;", kCmdNg}},
     false,
     {"127.0.0.1 CLOSE - Connection Close"}},
    {"passwords are compared with their case",
     {{"UID:alice;", kUidOk}, {"PWD:SECRET;", kPwdNg}, {"PWD:secret;", kPwdOk}},
     false,
     {"127.0.0.1 LOGIN alice Password NG.(1)", "127.0.0.1 LOGIN alice Password OK.",
      "127.0.0.1 CLOSE alice Connection Close"}},
    {"three wrong passwords across user ids end the connection",
     {{"UID:alice;", kUidOk},
      {"PWD:wrong;", kPwdNg},
      {"UID:mallory;", kUidNg},
      {"UID:mallory;", kUidOk},
      {"PWD:secret;", kPwdNg},
      {"PWD:other;", kPwdNg + kLoginFailedBlock}},
     true,
     {"127.0.0.1 LOGIN alice Password NG.(1)", "127.0.0.1 LOGIN mallory Password NG.(2)",
      "127.0.0.1 LOGIN mallory Password NG.(3)", "127.0.0.1 CLOSE mallory Connection Close"}},
    {"the right password of a disabled user ends the connection",
     {{"UID:carol;", kUidOk}, {"PWD:pass;", kPwdOkDisabled}},
     true,
     {"127.0.0.1 LOGIN carol Password OK.(User Disabled)", "127.0.0.1 CLOSE carol Connection Close"}},
    {"the right password of an enabled user logs in",
     {{"UID:bob;", kUidOk}, {"PWD:hunter2;", kPwdOk}, {"@@AI;", "@@AI0;"}},
     false,
     {"127.0.0.1 LOGIN bob Password OK.", "127.0.0.1 CLOSE bob Connection Close"}},
};

class LoginDialogue : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(rig.Started());
        rig.AddUser(0, "alice", "secret");
        rig.AddUser(1, "bob", "hunter2");
        rig.AddUser(2, "carol", "pass", true);
    }
    ServerRig rig;
};

TEST_F(LoginDialogue, TranscriptsGiveExactRepliesAndLogLines) {
    for (const Transcript& t : kTranscripts) {
        SCOPED_TRACE(t.name);
        // Each transcript from a fresh server: the connections without a password that some of
        // them make would otherwise add up in the login throttle.
        ASSERT_TRUE(rig.RestartServer());
        rig.ClearLog();
        rig.window.Clear();
        testsupport::SessionClient client;
        ASSERT_TRUE(client.ConnectAndGreet(rig.port, kPatienceMs));
        EXPECT_EQ(client.Greeting(), Padded("\r\n\r\nHello!! This is Talvern Network Command System.\r\n>", 256));
        rig.sim.ClearReceived();
        for (const Step& step : t.steps) {
            SCOPED_TRACE(step.sent);
            ASSERT_TRUE(client.Send(step.sent));
            if (!step.reply.empty()) {
                EXPECT_EQ(client.ReadExact(step.reply.size(), kPatienceMs), step.reply);
            }
        }
        if (t.serverCloses) {
            bool closed = false;
            EXPECT_EQ(client.ReadUntilClosed(kPatienceMs, &closed), "");
            EXPECT_TRUE(closed);
        } else {
            client.Close();
        }
        // Nothing before login reaches the radio: it gets only the close sequence.
        EXPECT_TRUE(rig.sim.WaitReceived(kCloseSequence, kPatienceMs));
        EXPECT_EQ(rig.sim.Received(), kCloseSequence);
        ASSERT_TRUE(rig.WaitLogEntry(t.log.back()));
        std::vector<std::string> expected{kOpen};
        expected.insert(expected.end(), t.log.begin(), t.log.end());
        EXPECT_EQ(rig.LogEntries(), expected);
        ASSERT_TRUE(rig.WaitNoClient());
    }
}

TEST_F(LoginDialogue, HostIsToldOfAcceptLoginAndClose) {
    auto client = rig.Login("bob", "hunter2");
    client.Close();
    ASSERT_TRUE(rig.WaitLogEntry("127.0.0.1 CLOSE bob Connection Close"));
    std::vector<long> events;
    for (const auto& m : rig.window.WithCode(brenlow::kConnectionEvent)) {
        EXPECT_EQ(m.message, brenlow::kNotifyMessage);
        events.push_back(m.lParam);
    }
    EXPECT_EQ(events, (std::vector<long>{1, 3, 2}));
}

TEST_F(LoginDialogue, CommandsAfterTheClosingPasswordDoNotReachTheNextClient) {
    testsupport::SessionClient first;
    ASSERT_TRUE(first.ConnectAndGreet(rig.port, kPatienceMs));
    first.Send("UID:alice;PWD:a;PWD:b;PWD:c;UID:mallory;");
    EXPECT_EQ(first.ReadUntilClosed(kPatienceMs), kUidOk + kPwdNg + kPwdNg + kPwdNg + kLoginFailedBlock);
    ASSERT_TRUE(rig.WaitNoClient());

    // The next client starts with no stored user id and no failures.
    testsupport::SessionClient next;
    ASSERT_TRUE(next.ConnectAndGreet(rig.port, kPatienceMs));
    next.Send("UID:alice;PWD:x;PWD:secret;");
    EXPECT_EQ(next.ReadExact(kUidOk.size() + kPwdNg.size() + kPwdOk.size(), kPatienceMs), kUidOk + kPwdNg + kPwdOk);
}

}  // namespace
