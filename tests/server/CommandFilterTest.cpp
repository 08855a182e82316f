// Radio commands of a logged-in client over real TCP to the simulated radio: upper-casing, the
// refusal rules of both models with and without load messages, relaying of the radio's answers,
// terminal pass-through and the computer-control notification of identity 19.
#include <gtest/gtest.h>

#include "HostMessages.h"
#include "ServerRig.h"

namespace {

using namespace servertest;

constexpr unsigned kEvery = 0;  // a row for both models

enum class LoadMessages { Either, Off, On };  // the setting a row holds for

struct FilterRow {
    unsigned model;  // 19, 20 or kEvery
    LoadMessages loadMessages;
    const char* sent;     // without the ";"
    const char* reaches;  // what the radio gets; "" = dropped
};

constexpr auto kAny = LoadMessages::Either;

const FilterRow kFilterRows[] = {
    {kEvery, kAny, "SR", ""},
    {kEvery, kAny, "sr1", ""},
    {kEvery, kAny, "sR0", ""},
    {kEvery, kAny, "LM", "LM;"},
    {kEvery, LoadMessages::Off, "LM1", ""},
    {kEvery, LoadMessages::Off, "lm0100", ""},
    {kEvery, LoadMessages::On, "LM1", "LM1;"},
    {kEvery, LoadMessages::On, "lm0100", "LM0100;"},
    {kEvery, kAny, "MF", "MF;"},
    {kEvery, kAny, "mf0", ""},
    {kEvery, kAny, "mf00", "MF00;"},
    {kEvery, kAny, "fa00007074000", "FA00007074000;"},
    {kEvery, kAny, "ai0", "AI0;"},
    {kEvery, kAny, "", ";"},
    {kEvery, kAny, "EX0560000", "EX0560000;"},
    {kEvery, kAny, "EX05600001", ""},
    {19, kAny, "EX0240000", "EX0240000;"},
    {19, kAny, "EX02400001", ""},
    {19, kAny, "ex05400001", ""},
    {19, kAny, "EX02200001", "EX02200001;"},
    {19, kAny, "EX05500001", "EX05500001;"},
    {19, kAny, "tc 1", "TC 1;"},
    {20, kAny, "EX02400001", "EX02400001;"},
    {20, kAny, "EX05400001", "EX05400001;"},
    {20, kAny, "EX02200001", ""},
    {20, kAny, "ex05500001", ""},
    {20, kAny, "tc 1", "TC 1;"},
    // The radio ignores control characters and blanks in front of a command; so does the filter.
    {kEvery, kAny, "\nSR", ""},
    {kEvery, kAny, "\rSR1", ""},
    {kEvery, kAny, "\x01\t sr", ""},
    {kEvery, LoadMessages::Off, "\x03LM1", ""},
    {kEvery, LoadMessages::On, "\x03LM1", "\x03LM1;"},
    {kEvery, kAny, "\x7f mf0", ""},
    {kEvery, kAny, " FA", " FA;"},
    {kEvery, kAny, "\tfa", "\tFa;"},  // forwarded as ever: only its first two bytes upper-cased
    {19, kAny, " EX02400001", ""},
    {19, kAny, " EX05500001", " EX05500001;"},
    {20, kAny, " EX05500001", ""},
    {20, kAny, "\r\nEX02400001", "\r\nEX02400001;"},
};

struct FilterSetting {
    unsigned model;
    bool loadMessage;
};

class FilterTables : public ::testing::TestWithParam<FilterSetting> {};

TEST_P(FilterTables, EveryRowIsForwardedOrDroppedAsItsModelRulesSay) {
    const FilterSetting setting = GetParam();
    ServerRig rig({.model = setting.model, .loadMessage = setting.loadMessage});
    ASSERT_TRUE(rig.Started());
    rig.AddUser(0, "alice", "secret");
    auto client = rig.Login("alice", "secret");
    rig.sim.ClearReceived();

    std::string sent, expected;
    for (const FilterRow& row : kFilterRows) {
        if (row.model != kEvery && row.model != setting.model) continue;
        if (row.loadMessages != kAny && (row.loadMessages == LoadMessages::On) != setting.loadMessage) continue;
        sent += std::string(row.sent) + ";";
        expected += row.reaches;
    }
    // The frequency read closes the list so the test knows when the radio has everything.
    ASSERT_TRUE(client.Send(sent + "FB;"));
    ASSERT_TRUE(rig.sim.WaitReceived("FB;", kPatienceMs));
    EXPECT_EQ(rig.sim.Received(), expected + "FB;");

    const auto notices = rig.window.WithCode(brenlow::kComputerControlNotice);
    if (setting.model == 19) {
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_EQ(notices[0].lParam, 1);
    } else {
        EXPECT_TRUE(notices.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(BothModels, FilterTables,
                         ::testing::Values(FilterSetting{19, false}, FilterSetting{19, true}, FilterSetting{20, false},
                                           FilterSetting{20, true}),
                         [](const auto& info) {
                             return "Identity" + std::to_string(info.param.model) +
                                    (info.param.loadMessage ? "WithLoadMessages" : "WithoutLoadMessages");
                         });

TEST(ComputerControlNotice, CarriesTheNumberAfterTheFirstThreeCharacters) {
    const struct {
        const char* command;
        bool posted;
        long lParam;
    } rows[] = {
        {"TC 1", true, 1},    {"TC 0", true, 0},     {"TC   45", true, 45}, {"TC -3", true, -3},
        {"TC+12x9", true, 12}, {"TC 7abc", true, 7},  {"TC abc", true, 0},    {"TC", false, 0},     {"TC0", true, 0},
        {"TX 1", false, 0},   {"EX0240000", false, 0},
    };
    testsupport::RecordingWindow window;
    testsupport::TestBrenlow lib;
    lib.WinMsgSendReg(&window);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.command);
        window.Clear();
        std::string command = row.command;
        EXPECT_EQ(lib.CmdSetCodeCheckDunmore(reinterpret_cast<unsigned char*>(command.data()), &brenlow::State()), 1);
        EXPECT_EQ(lib.CmdSetCodeCheckCorrin(reinterpret_cast<unsigned char*>(command.data()), &brenlow::State()), 1);
        const auto posted = window.Messages();
        ASSERT_EQ(posted.size(), row.posted ? 1u : 0u);
        if (row.posted) {
            EXPECT_EQ(posted[0], (testsupport::Posted{brenlow::kNotifyMessage, brenlow::kComputerControlNotice, row.lParam}));
        }
    }
    lib.WinMsgSendReg(nullptr);
}

class Relay : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(rig.Started());
        rig.AddUser(0, "alice", "secret");
    }
    ServerRig rig;
};

TEST_F(Relay, LowerCaseCommandReachesTheRadioAndItsAnswerComesBackByteForByte) {
    auto client = rig.Login("alice", "secret");
    rig.sim.ClearReceived();
    rig.sim.SetFrequencyA(7074000);
    client.Send("fa;");
    EXPECT_TRUE(rig.sim.WaitReceived("FA;", kPatienceMs));
    EXPECT_EQ(client.ReadExact(14, kPatienceMs), "FA00007074000;");
    EXPECT_EQ(rig.sim.Received(), "FA;");
}

TEST_F(Relay, NothingIsRelayedBeforeLogin) {
    testsupport::SessionClient client;
    ASSERT_TRUE(client.ConnectAndGreet(rig.port, kPatienceMs));
    rig.sim.Inject("FA00014074000;");
    ASSERT_TRUE(rig.window.WaitFor(brenlow::kFrequencyAAnswer, kPatienceMs));
    // The reader decides on the relay of a block after parsing it; once it has parsed the next
    // block, the decision on the one before is made.
    rig.sim.Inject("MD1;");
    ASSERT_TRUE(rig.window.WaitFor(4134, kPatienceMs));
    client.Send("UID:alice;PWD:secret;");
    EXPECT_EQ(client.ReadExact(kUidOk.size() + kPwdOk.size(), kPatienceMs), kUidOk + kPwdOk);
    rig.sim.Inject("FB00003500000;");
    std::string after = client.ReadUntil("FB00003500000;", kPatienceMs);
    EXPECT_TRUE(after == "FB00003500000;" || after == "MD1;FB00003500000;") << after;
}

TEST_F(Relay, PasswordAndRadioCommandsInOneBatchAreJudgedOneByOne) {
    testsupport::SessionClient client;
    ASSERT_TRUE(client.ConnectAndGreet(rig.port, kPatienceMs));
    rig.sim.ClearReceived();
    client.Send("fa;UID:alice;PWD:secret;fb;");
    EXPECT_EQ(client.ReadExact(kCmdNg.size() + kUidOk.size() + kPwdOk.size(), kPatienceMs), kCmdNg + kUidOk + kPwdOk);
    ASSERT_TRUE(rig.sim.WaitReceived("FB;", kPatienceMs));
    EXPECT_EQ(rig.sim.Received(), "FB;");
}

TEST_F(Relay, NoRadioCommandPassesWhileTheModelIsUnknown) {
    auto client = rig.Login("alice", "secret");
    rig.sim.ClearReceived();
    rig.state.modelId = 0;
    client.Send("FA;IF;@@ST;");
    EXPECT_EQ(client.ReadExact(17, kPatienceMs), "@@ST000000000000;");
    rig.state.modelId = 20;
    client.Send("FB;");
    ASSERT_TRUE(rig.sim.WaitReceived("FB;", kPatienceMs));
    EXPECT_EQ(rig.sim.Received(), "FB;");
}

// A client that switched the radio's reports off still keys it: the host hears of each keying
// command as the radio takes it, so its transmit indicator does not wait for the next status answer.
TEST_F(Relay, KeyingCommandsTellTheHostWithTheRadiosReportsOff) {
    auto client = rig.Login("alice", "secret");
    ASSERT_EQ(rig.sim.Ai(), 0u);
    rig.sim.ClearReceived();
    rig.window.Clear();
    client.Send("tx;RX;TX1;TXX;RX12;rx;SR;TX;FB;");
    ASSERT_TRUE(rig.sim.WaitReceived("FB;", kPatienceMs));
    std::vector<testsupport::Posted> keying;
    for (const testsupport::Posted& p : rig.window.Messages())
        if (p.code == brenlow::kTransmitAnswer || p.code == brenlow::kReceiveAnswer) keying.push_back(p);
    const std::vector<testsupport::Posted> expected = {
        {brenlow::kNotifyMessage, brenlow::kTransmitAnswer, 0}, {brenlow::kNotifyMessage, brenlow::kReceiveAnswer, 0},
        {brenlow::kNotifyMessage, brenlow::kTransmitAnswer, 1}, {brenlow::kNotifyMessage, brenlow::kReceiveAnswer, 0},
        {brenlow::kNotifyMessage, brenlow::kTransmitAnswer, 0},
    };
    EXPECT_EQ(keying, expected);
    EXPECT_TRUE(rig.sim.Transmitting());
    client.Send("RX;");
}

TEST_F(Relay, TerminalModeSendsALoggedInClientsTextRawAndLeavesTheLoginDialogueAlone) {
    testsupport::SessionClient client;
    ASSERT_TRUE(client.ConnectAndGreet(rig.port, kPatienceMs));
    rig.state.terminalMode = 1;
    // Not logged in: still the login dialogue.
    client.Send("UID:alice;PWD:secret;");
    EXPECT_EQ(client.ReadExact(kUidOk.size() + kPwdOk.size(), kPatienceMs), kUidOk + kPwdOk);
    rig.sim.ClearReceived();
    rig.state.terminalMode = 1;  // the reader may have seen answers meanwhile
    client.Send("hello, radio\r");
    ASSERT_TRUE(rig.sim.WaitReceived("hello, radio\r", kPatienceMs));
    rig.state.terminalMode = 0;
    client.Send("fa;");
    ASSERT_TRUE(rig.sim.WaitReceived("FA;", kPatienceMs));
    EXPECT_EQ(rig.sim.Received(), "hello, radio\rFA;");
}

}  // namespace
