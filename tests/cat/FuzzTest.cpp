// Seeded random byte streams through the answer router and through the real reader: nothing may
// crash, overrun or leak (the sanitizer builds run these too), and the reader keeps parsing after.
#include <random>

#include "CatFixture.h"
#include "LinkFixture.h"

namespace {

using brenlow::Answer;

// Mostly answer-shaped text: two letters, digits, signs, blanks, ";" often, sometimes any byte.
std::string RandomStream(std::mt19937& rng, std::size_t length) {
    static const char kShaped[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789;;;;+- abcxyz@?";
    std::uniform_int_distribution<int> pick(0, sizeof kShaped - 2), any(1, 255), coin(0, 9);
    std::string s;
    s.reserve(length);
    while (s.size() < length) s.push_back(coin(rng) == 0 ? static_cast<char>(any(rng)) : kShaped[pick(rng)]);
    return s;
}

class Fuzz : public cattest::AnswerTest {};

TEST_F(Fuzz, randomAnswerStreamsNeverOverrunTheCacheOnAnyIdentity) {
    std::mt19937 rng(20261207);
    lib.WinMsgSendReg(&window);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    std::size_t rounds = 0;
    while (std::chrono::steady_clock::now() < end) {
        brenlow::State().modelId = (rounds % 3 == 0) ? 19 : (rounds % 3 == 1 ? 20 : static_cast<unsigned>(rng() % 40));
        std::string text = RandomStream(rng, 1 + rng() % 1000);
        testsupport::TestBrenlow::ConstituteData(reinterpret_cast<const unsigned char*>(text.c_str()),
                                                 &brenlow::State());
        if (++rounds % 64 == 0) window.Clear();
    }
    EXPECT_GT(rounds, 100u);
    Reset(20);
    Feed("AI2");
    EXPECT_EQ(Entry(Answer::AI).value[0], 2u);
}

class FuzzLink : public cattest::LinkTest {};

TEST_F(FuzzLink, randomBytesOnTheSerialLineLeaveTheReaderParsing) {
    OpenLink(19);
    auto client = ConnectClient(true);
    std::mt19937 rng(7);
    for (int round = 0; round < 400; ++round) {
        sim->Inject(RandomStream(rng, 1 + rng() % 600));
        client->ReadFor(1);  // the client keeps up, as a real one does
        brenlow::State().terminalMode = 0;  // random TC and EX answers switch it on now and then
    }
    // Random bytes still queued may switch terminal mode or the identity again; the reader must
    // come back to parsing as soon as the line is clean.
    long three = 3;
    bool parsed = false;
    for (int attempt = 0; attempt < 20 && !parsed; ++attempt) {
        brenlow::State().terminalMode = 0;
        sim->Inject(";ID019;MD3;");
        parsed = window.WaitFor(4134, 500, &three);
    }
    EXPECT_TRUE(parsed);
}

}  // namespace
