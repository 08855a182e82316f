// The accessor table run through the router and parsers: outputs in order, identity rules, text
// rules, notified flags and index bounds; an empty cache read by every accessor; the pairing of
// notifications with the reads that re-arm them; and reads while the reader thread writes.
#include <cctype>
#include <chrono>
#include <thread>

#include "HostMessages.h"
#include "EncoderHarness.h"

using namespace cmdtest;

namespace {

constexpr unsigned kUntouched = 0xA5A5A5A5u;
constexpr char kUntouchedText[] = "~~~~";

struct Outputs {
    unsigned n[16];
    unsigned char t[4][64];
    Outputs() {
        for (unsigned& x : n) x = kUntouched;
        for (auto& text : t) {
            std::memset(text, 0, sizeof text);
            std::memcpy(text, kUntouchedText, sizeof kUntouchedText);
        }
    }
    // Numbers in output order, then texts in quotes; untouched outputs are left out.
    std::string Render() const {
        std::string out;
        auto add = [&](const std::string& s) { out += (out.empty() ? "" : " ") + s; };
        for (unsigned x : n)
            if (x != kUntouched) add(std::to_string(x));
        for (const auto& text : t)
            if (std::strcmp(reinterpret_cast<const char*>(text), kUntouchedText) != 0)
                add("'" + std::string(reinterpret_cast<const char*>(text)) + "'");
        return out;
    }
};

std::string IdAnswer(unsigned id) {
    std::string digits = std::to_string(id);
    return "ID" + std::string(3 - digits.size(), '0') + digits;
}

class AccessorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetState();
        radio.WinMsgSendReg(&window);
    }
    void TearDown() override {
        radio.WinMsgSendReg(nullptr);
        ResetState();
    }

    // Answers without their last ";", through the router as the reader hands them on.
    static void Feed(const std::string& answers) {
        const std::string text = answers + ";";
        testsupport::TestBrenlow::ConstituteData(U(text.c_str()), &brenlow::State());
    }

    testsupport::TestBrenlow radio;
    testsupport::RecordingWindow window;
};

TEST_F(AccessorTest, EveryCaseHandsOutItsOutputsInOrder) {
    for (const ReadCase& c : AccessorCases()) {
        SCOPED_TRACE(std::string(c.call) + " after \"" + c.answers + "\" parsed as " + std::to_string(c.parsedAs) +
                     ", read as " + std::to_string(c.readAs));
        ResetState();
        Feed(IdAnswer(c.parsedAs));
        if (*c.answers) Feed(c.answers);
        if (c.readAs != c.parsedAs) Feed(IdAnswer(c.readAs));
        const brenlow::AnswerCache before = Snapshot();
        Outputs o;
        EXPECT_EQ(c.run(radio, o.n, o.t), c.result);
        EXPECT_EQ(o.Render(), c.outputs);
        EXPECT_EQ(ChangedEntries(before, Snapshot()), c.changes);
    }
}

TEST_F(AccessorTest, AfterAResetEveryAccessorReportsNothingWithZeroedNumbers) {
    for (const ReadCase& c : AccessorCases()) {
        if (c.result != 1 || MemberOf(c.call) == "RcvDataVEXA_ST") continue;
        SCOPED_TRACE(std::string(c.call) + " on identity " + std::to_string(c.readAs));
        ResetState();
        brenlow::State().modelId = c.readAs;  // as the station start presets it
        Outputs o;
        EXPECT_EQ(c.run(radio, o.n, o.t), 0);
        // As many numbers handed out as the case lists, each of them 0.
        std::size_t numbers = 0, zeros = 0;
        for (const char* p = c.outputs; *p; ++p)
            if ((p == c.outputs || p[-1] == ' ') && std::isdigit(static_cast<unsigned char>(*p))) ++numbers;
        for (unsigned x : o.n) zeros += x == 0;
        for (unsigned x : o.n) EXPECT_TRUE(x == kUntouched || x == 0) << x;
        EXPECT_EQ(zeros, numbers);
    }
}

TEST_F(AccessorTest, FaNotifiesOncePerReadAndStaysReadable) {
    Feed("ID020");
    window.Clear();
    Feed("FA00007050000");
    Feed("FA00007060000");
    EXPECT_EQ(window.WithCode(brenlow::kFrequencyAAnswer).size(), 1u);

    unsigned char freq[20] = {};
    EXPECT_EQ(radio.RcvDataFA(freq), 1);
    EXPECT_STREQ(reinterpret_cast<char*>(freq), "00007060000");
    EXPECT_EQ(radio.RcvDataFA(freq), 1);
    EXPECT_STREQ(reinterpret_cast<char*>(freq), "00007060000");

    Feed("FA00007070000");
    EXPECT_EQ(window.WithCode(brenlow::kFrequencyAAnswer).size(), 2u);
}

TEST_F(AccessorTest, Rm2ReadsASlotOnlyAfterItsNotification) {
    Feed("ID020");
    Feed("RM3045");
    unsigned index = 0, value = 0;
    ASSERT_EQ(radio.RcvDataRM(&index, &value), 1);
    EXPECT_EQ(index, 3u);
    EXPECT_EQ(value, 45u);
    // RM re-armed slot 3, so RM2 sees no notification although slot 3 is current and held.
    EXPECT_EQ(radio.RcvDataRM2(3, &value), 0);
    EXPECT_EQ(value, 0u);

    window.Clear();
    Feed("RM3046");
    EXPECT_EQ(window.WithCode(4161).size(), 1u);
    EXPECT_EQ(radio.RcvDataRM2(3, &value), 1);
    EXPECT_EQ(value, 46u);
    EXPECT_EQ(radio.RcvDataRM2(3, &value), 0);
}

TEST_F(AccessorTest, SmRearmsTheSlotItIsAskedFor) {
    Feed("ID019");
    window.Clear();
    Feed("SM10015");
    Feed("SM10016");
    EXPECT_EQ(window.WithCode(4170).size(), 1u);
    unsigned value = 0;
    EXPECT_EQ(radio.RcvDataSM(1, &value), 1);
    EXPECT_EQ(value, 16u);
    Feed("SM10017");
    EXPECT_EQ(window.WithCode(4170).size(), 2u);
}

// The reader writes whole answers under the cache lock, so a read never sees half of one.
TEST(AccessorConcurrency, ReadsWhileTheReaderParsesSeeWholeAnswers) {
    RadioLine line(kCor);
    ASSERT_TRUE(line.Ready());
    std::string burst;
    for (int i = 0; i < 400; ++i)
        burst += i % 2 ? "FA11111111111;IF11111111111" "0020" "+00300" "101" "07" "1" "3" "1010" "09" "0;"
                       : "FA22222222222;IF22222222222" "0020" "+00300" "101" "07" "1" "3" "1010" "09" "0;";
    burst += "FA33333333333;";  // the last answer
    line.sim->Inject(burst);
    unsigned char freq[20] = {};
    unsigned v[14] = {};
    int seen = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (std::string last; last != "33333333333" && std::chrono::steady_clock::now() < end;) {
        if (line.radio.RcvDataFA(freq) == 1) {
            last = reinterpret_cast<char*>(freq);
            EXPECT_TRUE(last == "11111111111" || last == "22222222222" || last == "33333333333") << last;
            ++seen;
        }
        if (line.radio.RcvDataIF(freq, v, v + 1, v + 2, v + 3, v + 4, v + 5, v + 6, v + 7, v + 8, v + 9, v + 10, v + 11,
                                 v + 12, v + 13) == 1) {
            std::string f(reinterpret_cast<char*>(freq));
            EXPECT_TRUE(f == "11111111111" || f == "22222222222") << f;
            EXPECT_EQ(v[1], 300u);
        }
    }
    EXPECT_GT(seen, 0);
}

}  // namespace
