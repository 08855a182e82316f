// The radio reader over a real pseudo-terminal: framing at the last ";", relay to a logged-in
// client, pass-through in terminal mode, and the bounds on noise and overlong answers.
#include "HostMessages.h"
#include "LinkFixture.h"

namespace {

using brenlow::Answer;
using cattest::LinkTest;
using testsupport::WaitUntil;

const std::string kIf = "IF00014250000" "0010" "+00500" "100" "05" "1" "2" "0100" "03" "1";

TEST_F(LinkTest, answerSplitAcrossChunksWaitsForItsSemicolonAndIsRelayedAsItsOwnBlock) {
    OpenLink(20);
    auto client = ConnectClient(true);
    sim->Inject("FA00014250000;" + kIf.substr(0, 2));
    ASSERT_TRUE(window.WaitFor(brenlow::kFrequencyAAnswer, 5000));
    ASSERT_TRUE(client->ReadUntil("FA00014250000;", 5000));
    EXPECT_EQ(Entry(Answer::IF).valid, 0u);
    sim->Inject(kIf.substr(2) + ";");
    ASSERT_TRUE(window.WaitFor(brenlow::kStatusAnswer, 5000));
    ASSERT_TRUE(client->ReadUntil(kIf + ";", 5000));
    EXPECT_EQ(client->Got(), "FA00014250000;" + kIf + ";");
    EXPECT_EQ(Entry(Answer::IF).value[6], 1u);
}

TEST_F(LinkTest, twoAnswersInOneChunkAreParsedInOrderAndRelayedTogether) {
    OpenLink(20);
    auto client = ConnectClient(true);
    sim->Inject("AI2;MD3;");
    ASSERT_TRUE(window.WaitForCount(2, 5000));
    auto m = window.Messages();
    EXPECT_EQ(m[0].code, brenlow::kAutoInformationAnswer);
    EXPECT_EQ(m[1].code, 4134u);
    ASSERT_TRUE(client->ReadUntil("AI2;MD3;", 5000));
    EXPECT_EQ(client->Got(), "AI2;MD3;");
}

TEST_F(LinkTest, clientNotLoggedInGetsNothingWhileParsing) {
    OpenLink(20);
    auto client = ConnectClient(false);
    sim->Inject("AI2;");
    ASSERT_TRUE(window.WaitFor(brenlow::kAutoInformationAnswer, 5000));
    client->ReadFor(200);
    EXPECT_EQ(client->Got(), "");
}

TEST_F(LinkTest, withoutAClientAnswersAreStillParsedAndNotified) {
    OpenLink(20);
    sim->Inject("PS1;");
    long one = 1;
    ASSERT_TRUE(window.WaitFor(brenlow::kPowerStateAnswer, 5000, &one));
    EXPECT_EQ(Entry(Answer::PS).value[0], 1u);
}

TEST_F(LinkTest, oneCharacterAndEmptyAnswersAreRelayedButChangeNothing) {
    OpenLink(20);
    auto client = ConnectClient(true);
    sim->Inject("A;;;?;AI1;");
    ASSERT_TRUE(window.WaitFor(brenlow::kAutoInformationAnswer, 5000));
    ASSERT_TRUE(client->ReadUntil("AI1;", 5000));
    EXPECT_EQ(client->Got(), "A;;;?;AI1;");
    EXPECT_EQ(window.Count(), 1u);
    EXPECT_EQ(Entry(Answer::AC).valid, 0u);
}

TEST_F(LinkTest, terminalModeRelaysRawBytesToALoggedInClientAndKeepsThePartialAnswer) {
    OpenLink(19);
    auto client = ConnectClient(true);
    sim->Inject("TC 0;AI");  // terminal mode on; "AI" waits in pending
    ASSERT_TRUE(WaitUntil([] { return brenlow::State().terminalMode.load() == 1; }, 5000));
    sim->Inject("raw text; MD3;");
    ASSERT_TRUE(client->ReadUntil("raw text; MD3;", 5000));
    EXPECT_EQ(Entry(Answer::MD).valid, 0u);
    brenlow::State().terminalMode = 0;  // what the TC command or the end of a session does
    sim->Inject("2;");
    long two = 2;
    ASSERT_TRUE(window.WaitFor(brenlow::kAutoInformationAnswer, 5000, &two));
    EXPECT_EQ(Entry(Answer::AI).value[0], 2u);
}

TEST_F(LinkTest, terminalModeSendsNothingToAClientThatHasNotLoggedIn) {
    OpenLink(19);
    auto client = ConnectClient(false);
    sim->Inject("TC 0;");
    ASSERT_TRUE(WaitUntil([] { return brenlow::State().terminalMode.load() == 1; }, 5000));
    sim->Inject("raw text; MD3;");
    client->ReadFor(300);
    EXPECT_EQ(client->Got(), "");
    EXPECT_EQ(Entry(Answer::MD).valid, 0u);
}

TEST_F(LinkTest, noiseWithoutSemicolonDoesNotOverflowAndParsingGoesOn) {
    OpenLink(20);
    sim->Inject(std::string(3000, 'N'));
    sim->Inject("AI2;MD3;");
    ASSERT_TRUE(window.WaitFor(4134, 5000));
    // The text before the first ";" was noise plus "AI2": too long to be an answer.
    EXPECT_EQ(Entry(Answer::AI).valid, 0u);
    EXPECT_EQ(Entry(Answer::MD).value[0], 3u);
}

TEST_F(LinkTest, answerLongerThan255CharactersIsSkippedAndTheNextOneParsed) {
    OpenLink(20);
    auto client = ConnectClient(true);
    std::string longAnswer = "FA" + std::string(298, '1') + ";";
    sim->Inject(longAnswer + "MD4;");
    ASSERT_TRUE(window.WaitFor(4134, 5000));
    EXPECT_TRUE(window.WithCode(brenlow::kFrequencyAAnswer).empty());
    EXPECT_EQ(Entry(Answer::FA).valid, 0u);
    ASSERT_TRUE(client->ReadUntil("MD4;", 5000));
    EXPECT_EQ(client->Got(), longAnswer + "MD4;");
}

TEST_F(LinkTest, answersSplitIntoSingleBytesByTheRadioAreParsedWhole) {
    radiosim::Options o;
    o.splitBytes = 1;
    OpenLink(20, o);
    sim->SetFrequencyA(7050000);
    const char query[] = "FA;";
    lib.ConnDirect(reinterpret_cast<const unsigned char*>(query));
    ASSERT_TRUE(window.WaitFor(brenlow::kFrequencyAAnswer, 5000));
    EXPECT_STREQ(Entry(Answer::FA).text[0], "00007050000");
}

}  // namespace

namespace {

// A status answer whose frequency field tells it apart from its neighbours.
std::string StatusAnswer(unsigned long long hz) {
    char frequency[12];
    std::snprintf(frequency, sizeof frequency, "%011llu", hz);
    return "IF" + std::string(frequency) + kIf.substr(13) + ";";
}

TEST_F(LinkTest, burstsOfAnswersAreParsedAndRelayedWholeAndInOrderWhereverTheLineCutsThem) {
    OpenLink(20);
    auto client = ConnectClient(true);
    const std::size_t answerLength = StatusAnswer(0).size();
    std::string relayed;
    std::size_t parsed = 0;
    unsigned long long hz = 1'000'000;
    for (int count : {100, 1000}) {
        // Each prefix length moves every later read boundary to another place inside an answer.
        for (std::size_t cut = 0; cut < answerLength; ++cut) {
            SCOPED_TRACE(::testing::Message() << count << " answers, first write " << cut << " bytes");
            std::string burst;
            for (int i = 0; i < count; ++i) burst += StatusAnswer(hz++);
            sim->Inject(burst.substr(0, cut));
            sim->Inject(burst.substr(cut));
            relayed += burst;
            parsed += static_cast<std::size_t>(count);
            ASSERT_TRUE(WaitUntil([&] { return window.WithCode(brenlow::kStatusAnswer).size() >= parsed; }, 10000))
                << window.WithCode(brenlow::kStatusAnswer).size() << " of " << parsed << " answers parsed";
            ASSERT_TRUE(client->ReadUntil(burst.substr(burst.size() - answerLength), 10000));
            ASSERT_EQ(client->Got().size(), relayed.size());
            ASSERT_TRUE(client->Got() == relayed) << "relayed text differs from what the radio sent";
            EXPECT_EQ(window.WithCode(brenlow::kStatusAnswer).size(), parsed);
            EXPECT_EQ(std::string(Entry(Answer::IF).text[0]), StatusAnswer(hz - 1).substr(2, 11));
        }
    }
}

}  // namespace

namespace {

TEST_F(LinkTest, notificationCarriesTheValueItsAnswerStoredWhileQueriesKeepEmptyingTheEntry) {
    OpenLink(20);
    sim->SetPower(1);
    constexpr int kQueries = 20000;
    // Each power-state query empties the PS entry before it goes out, racing the parser of the
    // previous answer.
    for (int i = 0; i < kQueries; ++i) lib.ConnPS("R", 0);
    ASSERT_TRUE(WaitUntil([&] { return window.WithCode(brenlow::kPowerStateAnswer).size() >= static_cast<std::size_t>(kQueries); }, 20000));
    const auto posted = window.WithCode(brenlow::kPowerStateAnswer);
    const auto zero = std::count_if(posted.begin(), posted.end(), [](const testsupport::Posted& p) { return p.lParam != 1; });
    EXPECT_EQ(zero, 0) << "notifications that carried an emptied entry";
}

}  // namespace
