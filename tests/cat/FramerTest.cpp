// The ';' framer that the reader and the session share: cuts at the last ';' of what has arrived,
// keeps the unfinished tail, drops the radio's noise oldest first, refuses a client's text that
// cannot fit, and stops when told.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Framer.h"

namespace {

using brenlow::Framer;

struct FramerCase {
    const char* name;
    std::vector<std::string> deliveries;
    Framer::WhenFull whenFull;
    std::vector<std::string> blocks;  // what the framer hands on, in order
    Framer::Fed lastFed;
    std::size_t waiting;  // bytes left after the last ';'
};

const std::string kNoise(1500, 'N');
const std::string kFits(1022, 'C');   // with its ';' the longest text the framer holds
const std::string kFull(1023, 'C');   // no room left for a ';'

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

std::vector<FramerCase> Cases() {
    return {
        {"cutsAtTheLastSemicolonAndKeepsTheTail", {"FA00014250000;MD3;IF"}, Framer::WhenFull::Refuse,
         {"FA00014250000;MD3;"}, Framer::Fed::All, 2},
        {"joinsATextSplitAcrossDeliveries", {"FA0001", "4250000", ";"}, Framer::WhenFull::Refuse,
         {"FA00014250000;"}, Framer::Fed::All, 0},
        {"passesEmptyAndOneCharacterTexts", {";;A;"}, Framer::WhenFull::Refuse, {";;A;"}, Framer::Fed::All, 0},
        // 1500 bytes of complete texts in one delivery, taken in pieces of 1023 bytes: 341 texts, then 159.
        {"takesABurstOfShortTextsLongerThanItHolds", {Repeat("FA;", 500)}, Framer::WhenFull::Refuse,
         {Repeat("FA;", 341), Repeat("FA;", 159)}, Framer::Fed::All, 0},
        {"holdsTheLongestTextThatFits", {kFits, ";"}, Framer::WhenFull::Refuse, {kFits + ";"}, Framer::Fed::All, 0},
        {"refusesATextThatCannotFit", {kFull, ";"}, Framer::WhenFull::Refuse, {}, Framer::Fed::Full, 1023},
        {"refusesOnceFullEvenInOneDelivery", {kFull + ";MD3;"}, Framer::WhenFull::Refuse, {}, Framer::Fed::Full, 1023},
        {"dropsTheOldestNoiseAndKeepsItsNewestPart", {kNoise, "AI2;"}, Framer::WhenFull::DropOldest,
         {std::string(1019, 'N') + "AI2;"}, Framer::Fed::All, 0},
        {"dropsNoiseOnlyAsFarAsTheNewTextNeeds", {kFull, "MD3;"}, Framer::WhenFull::DropOldest,
         {std::string(1019, 'C') + "MD3;"}, Framer::Fed::All, 0},
    };
}

class FramerCases : public ::testing::TestWithParam<FramerCase> {};

TEST_P(FramerCases, handsOnExactlyTheCompleteTexts) {
    const FramerCase& c = GetParam();
    Framer framer;
    std::vector<std::string> blocks;
    Framer::Fed fed = Framer::Fed::All;
    for (const std::string& d : c.deliveries) {
        fed = framer.Feed(reinterpret_cast<const unsigned char*>(d.data()), d.size(), c.whenFull,
                          [&](unsigned char* block, std::size_t n) {
                              EXPECT_EQ(block[n], 0) << "a block is NUL-terminated";
                              blocks.emplace_back(reinterpret_cast<const char*>(block), n);
                              return true;
                          });
        if (fed == Framer::Fed::Full) break;
    }
    EXPECT_EQ(blocks, c.blocks);
    EXPECT_EQ(fed, c.lastFed);
    EXPECT_EQ(framer.Waiting(), c.waiting);
}

INSTANTIATE_TEST_SUITE_P(Framer, FramerCases, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Framer, aStoppedFeedTakesNothingMoreOfItsDelivery) {
    Framer framer;
    const std::string burst = std::string(1000, 'x') + ";" + std::string(500, 'y') + ";tail";
    int calls = 0;
    const auto fed = framer.Feed(reinterpret_cast<const unsigned char*>(burst.data()), burst.size(),
                                 Framer::WhenFull::Refuse, [&](unsigned char*, std::size_t) { return ++calls > 1; });
    EXPECT_EQ(fed, Framer::Fed::Stopped);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(framer.Waiting(), 22u) << "the rest of the first piece, after its last ';'";
    framer.Clear();
    EXPECT_EQ(framer.Waiting(), 0u);
    std::string after;
    const std::string next = "MD3;";
    framer.Feed(reinterpret_cast<const unsigned char*>(next.data()), next.size(), Framer::WhenFull::Refuse,
                [&](unsigned char* block, std::size_t n) {
                    after.assign(reinterpret_cast<const char*>(block), n);
                    return true;
                });
    EXPECT_EQ(after, "MD3;") << "nothing of the cleared text comes back";
}

}  // namespace
