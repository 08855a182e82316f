// The encoder tables run against the simulated radio on a real pseudo-terminal: the exact bytes,
// result and cache clears of every case; the sweeps that refuse every encoder (closed port,
// terminal mode, unknown identity); read-back pauses and conditions, TC's terminal mode, and one
// query travelling through radio, reader, parser and accessor.
#include <chrono>

#include "EncoderHarness.h"

using namespace cmdtest;

namespace {

bool Writes(const Case& c) { return c.bytes && !c.bytes->empty(); }

std::string Trace(const Case& c, unsigned id) { return std::string(c.call) + " on identity " + std::to_string(id); }

class EncoderTest : public ::testing::Test {
protected:
    void SetUp() override {
        line = std::make_unique<RadioLine>(kCor);
        ASSERT_TRUE(line->Ready());
    }
    void TearDown() override { line.reset(); }

    // Runs the case on the current identity; true when it wrote nothing, reported 0 and left the cache.
    ::testing::AssertionResult Refused(const Case& c) {
        FillCache();
        const brenlow::AnswerCache before = Snapshot();
        int result = -1;
        const std::string got = line->Capture([&] { result = c.run(line->radio); });
        const std::string changed = ChangedEntries(before, Snapshot());
        if (result == 0 && got.empty() && changed.empty()) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "result " << result << ", wrote \"" << Visible(got) << "\", changed \""
                                             << changed << "\"";
    }

    std::string Sent(const std::function<int()>& call, int* result = nullptr) {
        int r = -1;
        std::string got = line->Capture([&] { r = call(); });
        if (result) *result = r;
        return Visible(got);
    }

    CBrenlow& Radio() { return line->radio; }

    std::unique_ptr<RadioLine> line;
};

TEST_F(EncoderTest, EveryCaseWritesExactlyItsBytesAndEmptiesOnlyItsEntries) {
    for (const Case& c : EncoderCases()) {
        SCOPED_TRACE(Trace(c, c.model));
        ASSERT_TRUE(line->Identify(c.model));
        if (!c.bytes) {
            EXPECT_TRUE(Refused(c));
            continue;
        }
        FillCache();
        const brenlow::AnswerCache before = Snapshot();
        int result = -1;
        const std::string got = line->Capture([&] { result = c.run(Radio()); });
        EXPECT_EQ(Visible(got), Visible(*c.bytes));
        if (c.result < 0)
            EXPECT_NE(result, 0);
        else
            EXPECT_EQ(result, c.result);
        EXPECT_EQ(ChangedEntries(before, Snapshot()), c.clears);
    }
}

TEST_F(EncoderTest, TerminalModeRefusesEveryEncoderButTc) {
    for (unsigned model : {kDun, kCor}) {
        ASSERT_TRUE(line->Identify(model));
        brenlow::State().terminalMode = 1;
        for (const Case& c : EncoderCases()) {
            if (c.model != model || !Writes(c) || MemberOf(c.call) == "ConnTC") continue;
            SCOPED_TRACE(Trace(c, model));
            EXPECT_TRUE(Refused(c));
        }
        brenlow::State().terminalMode = 0;
    }
}

TEST_F(EncoderTest, UnknownIdentityRefusesEveryEncoderButId) {
    for (unsigned id : {0u, 17u, 21u}) {
        ASSERT_TRUE(line->Identify(id));
        for (const Case& c : EncoderCases()) {
            if (!Writes(c) || MemberOf(c.call) == "ConnID") continue;
            SCOPED_TRACE(Trace(c, id));
            EXPECT_TRUE(Refused(c));
        }
    }
}

TEST_F(EncoderTest, ClosedPortRefusesEveryEncoderAndLeavesTheCache) {
    for (unsigned model : {kDun, kCor}) {
        ASSERT_TRUE(line->Identify(model));
        Radio().RadioConnectionClose();
        line->sim->ClearReceived();
        for (const Case& c : EncoderCases()) {
            if (c.model != model || !Writes(c)) continue;
            SCOPED_TRACE(Trace(c, model));
            FillCache();
            const brenlow::AnswerCache before = Snapshot();
            EXPECT_EQ(c.run(Radio()), 0);
            EXPECT_EQ(ChangedEntries(before, Snapshot()), "");
        }
        ASSERT_EQ(Radio().RadioConnectionOpen(model, 1, 9600, 0), 1);
        ASSERT_EQ(Radio().ConnDirect(U("#;")), 1);
        ASSERT_TRUE(line->sim->WaitReceived("#;", 5000));
        EXPECT_EQ(Visible(line->sim->Received()), "#;");
    }
}

TEST_F(EncoderTest, ReadBackFollowsTheSetAfterTenMilliseconds) {
    ASSERT_TRUE(line->Identify(kDun));
    int result = -1;
    const auto start = std::chrono::steady_clock::now();
    const std::string got = Sent([&] { return Radio().ConnAG("W", 0, 120); }, &result);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(got, "AG0120;AG0;");
    EXPECT_NE(result, 0);
    EXPECT_GE(took, std::chrono::milliseconds(10));
}

TEST_F(EncoderTest, RdAndRuReadBackOnlyWhileTheCachedScValueIsNonZero) {
    ASSERT_TRUE(line->Identify(kCor));
    EXPECT_EQ(Sent([&] { return Radio().ConnRD("W", 5); }), "RD00005;");
    EXPECT_EQ(Sent([&] { return Radio().ConnRU("W", 5); }), "RU00005;");

    unsigned sc = 0;
    line->sim->Inject("SC10;");
    ASSERT_TRUE(testsupport::WaitUntil([&] { return Radio().RcvDataSC(&sc) == 1 && sc == 1; }, 5000));
    EXPECT_EQ(Sent([&] { return Radio().ConnRD("W", 5); }), "RD00005;RD;");
    EXPECT_EQ(Sent([&] { return Radio().ConnRU("W", 0); }), "RU;RU;");

    ASSERT_TRUE(line->Identify(kDun));
    line->sim->Inject("SC0;");
    ASSERT_TRUE(testsupport::WaitUntil([&] { return Radio().RcvDataSC(&sc) == 1 && sc == 0; }, 5000));
    EXPECT_EQ(Sent([&] { return Radio().ConnRD("W", 5); }), "RD00005;");
}

TEST_F(EncoderTest, TcAloneLeavesTheTerminalModeTheRadioAnnounced) {
    ASSERT_TRUE(line->Identify(kDun));
    line->sim->Inject("TC10;");  // the radio's line is now in terminal mode
    ASSERT_TRUE(testsupport::WaitUntil([] { return brenlow::State().terminalMode.load() == 1; }, 5000));

    int result = -1;
    EXPECT_EQ(Sent([&] { return Radio().ConnFA("R", U("")); }, &result), "");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Sent([&] { return Radio().ConnTC("R", 0, 0); }), "TC;");
    EXPECT_EQ(Sent([&] { return Radio().ConnTC("W", 0, 0); }), "\\rTC 0;");
    EXPECT_EQ(brenlow::State().terminalMode.load(), 1u);
    EXPECT_EQ(Sent([&] { return Radio().ConnTC("W", 0, 2); }, &result), "");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(brenlow::State().terminalMode.load(), 1u);

    EXPECT_EQ(Sent([&] { return Radio().ConnTC("W", 0, 1); }, &result), "\\x03;\\rTC 1;\\r");
    EXPECT_NE(result, 0);
    EXPECT_EQ(brenlow::State().terminalMode.load(), 0u);
    EXPECT_EQ(Sent([&] { return Radio().ConnFA("R", U("")); }), "FA;");
}

TEST_F(EncoderTest, TcOnTheCorrinNeitherWritesNorLeavesTerminalMode) {
    ASSERT_TRUE(line->Identify(kCor));
    brenlow::State().terminalMode = 1;
    int result = -1;
    EXPECT_EQ(Sent([&] { return Radio().ConnTC("W", 0, 1); }, &result), "");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(brenlow::State().terminalMode.load(), 1u);
    brenlow::State().terminalMode = 0;
}

TEST_F(EncoderTest, TcIsRefusedOnAClosedPort) {
    ASSERT_TRUE(line->Identify(kDun));
    Radio().RadioConnectionClose();
    brenlow::State().terminalMode = 1;
    EXPECT_EQ(Radio().ConnTC("W", 0, 1), 0);
    EXPECT_EQ(brenlow::State().terminalMode.load(), 1u);
    brenlow::State().terminalMode = 0;
}

TEST_F(EncoderTest, AQueryEmptiesOnlyTheSlotItNames) {
    ASSERT_TRUE(line->Identify(kDun));
    line->sim->Inject("AG0011;AG1022;SQ0033;SQ1044;");
    unsigned v = 0;
    ASSERT_TRUE(testsupport::WaitUntil([&] { return Radio().RcvDataSQ(1, &v) == 1; }, 5000));
    EXPECT_EQ(Sent([&] { return Radio().ConnAG("R", 1, 0); }), "AG1;");
    EXPECT_EQ(Radio().RcvDataAG(1, &v), 0);
    EXPECT_EQ(Radio().RcvDataAG(0, &v), 1);
    EXPECT_EQ(v, 11u);
    EXPECT_EQ(Sent([&] { return Radio().ConnSQ("R", 0, 0); }), "SQ0;");
    EXPECT_EQ(Radio().RcvDataSQ(0, &v), 0);
    EXPECT_EQ(Radio().RcvDataSQ(1, &v), 1);
    EXPECT_EQ(v, 44u);
}

// A query, the radio's answer, the reader, the parser and the accessor agree.
TEST(EncoderRoundTrip, FrequencyQueryReportsNothingUntilTheRadioAnswers) {
    radiosim::Options slow;
    slow.delayMs = 400;
    RadioLine line(kCor, slow);
    ASSERT_TRUE(line.Ready());
    CBrenlow& radio = line.radio;
    unsigned char freq[20] = {};

    line.sim->Inject("FA00014074000;");
    ASSERT_TRUE(testsupport::WaitUntil([&] { return radio.RcvDataFA(freq) == 1; }, 5000));
    EXPECT_STREQ(reinterpret_cast<char*>(freq), "00014074000");

    line.sim->SetFrequencyA(7050000);
    ASSERT_NE(radio.ConnFA("R", U("")), 0);
    EXPECT_EQ(radio.RcvDataFA(freq), 0);
    EXPECT_STREQ(reinterpret_cast<char*>(freq), "");
    ASSERT_TRUE(testsupport::WaitUntil([&] { return radio.RcvDataFA(freq) == 1; }, 5000));
    EXPECT_STREQ(reinterpret_cast<char*>(freq), "00007050000");

    ASSERT_NE(radio.ConnFA("W", U("3573000")), 0);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return line.sim->FrequencyA() == 3573000ull; }, 5000));
}

}  // namespace
