// Answer parsers: every cache row from answer vectors on both identities and a foreign one, the
// length rules, the index bounds, the identity switch and terminal mode.
#include <cstring>
#include <vector>

#include "CatFixture.h"

namespace {

using brenlow::Answer;
using cattest::AnswerTest;

// DunLayout, CorLayout: a command both models answer, each in a layout of its own.
enum Who { Dun, Cor, Both, DunLayout, CorLayout };

struct Vector {
    std::string answer;
    Who who;
    Answer entry;
    std::vector<unsigned> values;
    std::vector<std::string> texts;
};

const std::string kIfBody = "00014250000" "0010" "+00500" "100" "05" "1" "2" "0100" "03" "1";
const std::vector<unsigned> kIfValues = {10, 500, 1, 0, 0, 5, 1, 2, 0, 1, 0, 0, 3, 1};

// Hand-computed from the answer layouts; one vector per row of the cache table.
const std::vector<Vector>& Vectors() {
    static const std::vector<Vector> v = {
        {"AC123", Both, Answer::AC, {1, 2, 3}, {}},
        {"AI2", Both, Answer::AI, {2}, {}},
        {"AL045", Dun, Answer::AL, {45}, {}},
        {"AM1", Dun, Answer::AM, {1}, {}},
        {"AN2", Both, Answer::AN, {2}, {}},
        {"AS012000070500001", Both, Answer::AS, {0, 12, 1}, {"00007050000"}},
        {"BC2", Both, Answer::BC, {2}, {}},
        {"BP063", Dun, Answer::BP, {63}, {}},
        {"BY10", Both, Answer::BY, {1, 0}, {}},
        {"CA1", Both, Answer::CA, {1}, {}},
        {"CG100", Dun, Answer::CG, {100}, {}},
        {"CM1", Dun, Answer::CM, {1}, {}},
        {"CN12", Both, Answer::CN, {12}, {}},
        {"CR102", Cor, Answer::CR, {1, 0, 2}, {}},
        {"CT1", Both, Answer::CT, {1}, {}},
        {"DC01", Dun, Answer::DC, {0, 1}, {}},
        {"DL142", Cor, Answer::DL, {1, 42}, {}},
        {"DQ1", Dun, Answer::DQ, {1}, {}},
        {"EX0240310HELLO", Both, Answer::EX, {24, 3, 1, 0}, {"HELLO"}},
        {"FA00014250000", Both, Answer::FA, {}, {"00014250000"}},
        {"FB00007000000", Both, Answer::FB, {}, {"00007000000"}},
        {"FC00021000000", Dun, Answer::FC, {}, {"00021000000"}},
        {"FD00001234", Dun, Answer::FD, {}, {"00001234"}},
        {"FR1", Both, Answer::FR, {1}, {}},
        {"FS1", Both, Answer::FS, {1}, {}},
        {"FT1", Both, Answer::FT, {1}, {}},
        {"FW2400", Both, Answer::FW, {2400}, {}},
        {"GT005", Both, Answer::GT, {5}, {}},
        {"IF" + kIfBody, Both, Answer::IF, kIfValues, {"00014250000"}},
        {"IS-0500", Both, Answer::IS, {500}, {"-"}},
        {"KS020", Both, Answer::KS, {20}, {}},
        {"KY1", Both, Answer::KY, {1}, {}},
        {"LK10", Both, Answer::LK, {1, 0}, {}},
        {"LM2", DunLayout, Answer::LM, {2}, {}},
        {"LM12345", CorLayout, Answer::LM, {1, 2, 345}, {}},
        {"LT1", Dun, Answer::LT, {1}, {}},
        {"MC012", Both, Answer::MC, {0, 12}, {}},
        {"MD3", Both, Answer::MD, {3}, {}},
        {"ME012", Cor, Answer::ME, {0, 1, 2}, {}},
        {"MF1", Both, Answer::MF, {1}, {}},
        {"MG050", Both, Answer::MG, {50}, {}},
        {"ML003", Both, Answer::ML, {3}, {}},
        {"MO1", Dun, Answer::MO, {1}, {}},
        {"MU0123456789", Dun, Answer::MU, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, {}},
        {"NB1", Both, Answer::NB, {1}, {}},
        {"NL005", Both, Answer::NL, {5}, {}},
        {"NR2", Both, Answer::NR, {2}, {}},
        {"NT1", Dun, Answer::NT, {1}, {}},
        {"OF005000000", Dun, Answer::OF, {5000000}, {}},
        {"OI" + kIfBody, Dun, Answer::OI, kIfValues, {"00014250000"}},
        {"OP101", Cor, Answer::OP, {1, 0, 1}, {}},
        {"OS2", Dun, Answer::OS, {2}, {}},
        {"PA10", Both, Answer::PA, {1, 0}, {}},
        {"PB2", DunLayout, Answer::PB, {2}, {}},
        {"PB123", CorLayout, Answer::PB, {1, 2, 3}, {}},
        {"PC100", Both, Answer::PC, {100}, {}},
        {"PKAAAAAAAAAAABBBBBBBBBBBBCCCCCCCCCCCCCCCCCCCCDDDDD", Dun, Answer::PK, {},
         {"AAAAAAAAAAA", "BBBBBBBBBBBB", "CCCCCCCCCCCCCCCCCCCC", "DDDDD"}},
        {"PL050100", Both, Answer::PL, {50, 100}, {}},
        {"PM3", Dun, Answer::PM, {3}, {}},
        {"PR1", Both, Answer::PR, {1}, {}},
        {"PS1", Both, Answer::PS, {1}, {}},
        {"QC050", Dun, Answer::QC, {50}, {}},
        {"QR15", Both, Answer::QR, {1, 5}, {}},
        {"RA1206", Both, Answer::RA, {12, 6}, {}},
        {"RD00100", Both, Answer::RD, {100}, {}},
        {"RG200", Both, Answer::RG, {200}, {}},
        {"RL05", Both, Answer::RL, {5}, {}},
        {"RS1", Cor, Answer::RS, {1}, {}},
        {"RT1", Both, Answer::RT, {1}, {}},
        {"RU00200", Both, Answer::RU, {200}, {}},
        {"RX0", Both, Answer::RX, {0}, {}},
        {"SA1010101ABCDEFG", Dun, Answer::SA, {1, 0, 1, 0, 1, 0, 1}, {"ABCDEFG"}},
        {"SB1", Dun, Answer::SB, {1}, {}},
        {"SC5", DunLayout, Answer::SC, {5}, {}},
        {"SC14", CorLayout, Answer::SC, {1, 4}, {}},
        {"SD0300", Both, Answer::SD, {300}, {}},
        {"SH05", Both, Answer::SH, {5}, {}},
        {"SL11", Both, Answer::SL, {11}, {}},
        {"SS2", DunLayout, Answer::SS, {2}, {}},
        {"ST05", Both, Answer::ST, {5}, {}},
        {"SU01234567890", Both, Answer::SU, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0}, {}},
        {"TC01", Dun, Answer::TC, {0, 1}, {}},
        {"TI101", Dun, Answer::TI, {1, 0, 1}, {}},
        {"TN05", Both, Answer::TN, {5}, {}},
        {"TO1", Both, Answer::TO, {1}, {}},
        {"TS1", Both, Answer::TS, {1}, {}},
        {"TX1", Both, Answer::TX, {1}, {}},
        {"TY811", Both, Answer::TY, {1, 0, 0, 0, 0, 0, 0, 1, 1}, {}},
        {"UL1", Both, Answer::UL, {1}, {}},
        {"VD0500", Both, Answer::VD, {500}, {}},
        {"VG050", Both, Answer::VG, {50}, {}},
        {"VX1", Both, Answer::VX, {1}, {}},
        {"XI00014250000123", Cor, Answer::XI, {1, 23}, {"00014250000"}},
        {"XO100014250000", Cor, Answer::XO, {1}, {"00014250000"}},
        {"XT1", Both, Answer::XT, {1}, {}},
    };
    return v;
}

bool Serves(Who who, unsigned id) {
    return (who == Both && (id == 19 || id == 20)) || ((who == Dun || who == DunLayout) && id == 19) ||
           ((who == Cor || who == CorLayout) && id == 20);
}

TEST_F(AnswerTest, everyPlainRowStoresItsValuesOnlyForTheIdentitiesItServes) {
    for (const Vector& v : Vectors()) {
        for (unsigned id : {19u, 20u, 7u}) {
            if ((v.who == DunLayout && id == 20) || (v.who == CorLayout && id == 19)) continue;
            SCOPED_TRACE(v.answer + " identity " + std::to_string(id));
            Reset(id);
            Feed(v.answer);
            brenlow::AnswerEntry e = Entry(v.entry);
            if (!Serves(v.who, id)) {
                EXPECT_EQ(e.valid, 0u);
                continue;
            }
            ASSERT_EQ(e.valid, 1u);
            for (std::size_t i = 0; i < v.values.size(); ++i) EXPECT_EQ(e.value[i], v.values[i]) << "value " << i;
            for (std::size_t i = 0; i < v.texts.size(); ++i) EXPECT_STREQ(e.text[i], v.texts[i].c_str()) << "text " << i;
        }
    }
}

TEST_F(AnswerTest, vectorsCoverEveryPlainEntryOfTheCache) {
    std::vector<bool> seen(brenlow::kAnswerCount);
    for (const Vector& v : Vectors()) seen[static_cast<std::size_t>(v.entry)] = true;
    // Stored elsewhere: index entries, memory slots, the identity.
    for (Answer a : {Answer::AG, Answer::AR, Answer::SQ, Answer::SM, Answer::RM, Answer::MR, Answer::ID})
        seen[static_cast<std::size_t>(a)] = true;
    for (std::size_t i = 0; i < seen.size(); ++i) EXPECT_TRUE(seen[i]) << "no vector for cache entry " << i;
}

TEST_F(AnswerTest, sharedEntriesOfIdentity19LeaveTheCorrinValuesAsTheyWere) {
    Reset(20);
    Feed("LM12345");
    brenlow::State().modelId = 19;
    Feed("LM7");
    EXPECT_EQ(Entry(Answer::LM).value[0], 7u);
    EXPECT_EQ(Entry(Answer::LM).value[1], 2u);
    EXPECT_EQ(Entry(Answer::LM).value[2], 345u);
}

TEST_F(AnswerTest, idAnswerSwitchesTheIdentityThatLaterAnswersAreJudgedBy) {
    Reset(19);
    Feed("ID020");
    EXPECT_EQ(brenlow::State().modelId.load(), 20u);
    EXPECT_EQ(Entry(Answer::ID).valid, 1u);
    Feed("AL045");  // a Dunmore-only answer
    EXPECT_EQ(Entry(Answer::AL).valid, 0u);
    Feed("ID019");
    Feed("AL045");
    EXPECT_EQ(Entry(Answer::AL).value[0], 45u);
    Feed("ID");
    EXPECT_EQ(brenlow::State().modelId.load(), 0u);
    Feed("AI2");
    EXPECT_EQ(Entry(Answer::AI).valid, 0u);
    Feed("ID017");  // any identity is stored
    EXPECT_EQ(brenlow::State().modelId.load(), 17u);
}

TEST_F(AnswerTest, answersOfTheWrongLengthChangeNothing) {
    struct Case { std::string answer; Answer entry; };
    const Case cases[] = {
        {"FA000142500000", Answer::FA}, {"FA0001425000", Answer::FA}, {"FB0001425000", Answer::FB},
        {"IF" + kIfBody.substr(1), Answer::IF}, {"IF" + kIfBody + "1", Answer::IF},
        {"XI0001425000012", Answer::XI}, {"XI000142500001234", Answer::XI},
        {"XO10001425000", Answer::XO}, {"XO1000142500000", Answer::XO},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        Reset(20);
        Feed(c.answer);
        EXPECT_EQ(Entry(c.entry).valid, 0u);
    }
    Reset(19);
    Feed("FC0001425000");
    Feed("OI" + kIfBody.substr(1));
    EXPECT_EQ(Entry(Answer::FC).valid, 0u);
    EXPECT_EQ(Entry(Answer::OI).valid, 0u);
}

TEST_F(AnswerTest, indexedAnswersFillTheirIndexAndResetTheCurrentIndexWhenItHasNoSlot) {
    Reset(19);
    Feed("AG1120");
    Feed("AR101");
    Feed("SQ0045");
    Feed("SM3015");
    brenlow::AnswerCache c = Cache();
    EXPECT_EQ(c.ag.validAt[1], 1u);
    EXPECT_EQ(c.ag.validAt[0], 0u);
    EXPECT_EQ(c.ag.current, 1u);
    EXPECT_EQ(c.ag.value[1][0], 120u);
    EXPECT_EQ(c.ar.value[1][0], 0u);
    EXPECT_EQ(c.ar.value[1][1], 1u);
    EXPECT_EQ(c.sq.value[0][0], 45u);
    EXPECT_EQ(c.sm.current, 3u);
    EXPECT_EQ(c.sm.value[3][0], 15u);

    Feed("AG2999");
    Feed("AR201");
    Feed("SQ2001");
    Feed("SM4001");
    brenlow::AnswerCache after = Cache();
    for (const auto* pair : {&after.ag, &after.ar, &after.sq, &after.sm}) EXPECT_EQ(pair->current, 0u);
    EXPECT_EQ(after.ag.value[1][0], 120u);
    EXPECT_EQ(after.ag.validAt[0], 0u);
    EXPECT_EQ(after.sm.value[3][0], 15u);
    EXPECT_EQ(std::memcmp(after.ag.value, c.ag.value, sizeof c.ag.value), 0);
}

TEST_F(AnswerTest, rmAnswerWithoutASlotIsIgnored) {
    Feed("RM9123");
    brenlow::AnswerCache c = Cache();
    EXPECT_EQ(c.rm.valid, 1u);
    EXPECT_EQ(c.rm.current, 9u);
    EXPECT_EQ(c.rm.value[9][0], 123u);
    Feed("RM:555");  // index digit 10
    brenlow::AnswerCache after = Cache();
    EXPECT_EQ(after.rm.current, 9u);
    EXPECT_EQ(std::memcmp(&after.rm, &c.rm, sizeof c.rm), 0);
}

TEST_F(AnswerTest, memorySlotAnswerFillsOnlyItsSlotInCacheOrder) {
    // slot 1: d3=0, 12, name "00014250000", 1 2 0, 05, 10, 100, 1 0, 9-digit 123456789, 2-digit 07, 1, text
    const std::string mr = std::string("MR1") + "0" + "12" + "00014250000" + "120" + "05" + "10" + "100" + "10" +
                           "123456789" + "07" + "1" + "NAMETEXT";
    ASSERT_EQ(mr.size(), 49u);
    Feed(mr);
    brenlow::AnswerCache c = Cache();
    EXPECT_EQ(c.mrSlot[0].valid, 0u);
    ASSERT_EQ(c.mrSlot[1].valid, 1u);
    const std::vector<unsigned> expected = {0, 12, 1, 2, 0, 5, 10, 100, 1, 0, 7, 123456789, 1};
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(c.mrSlot[1].value[i], expected[i]) << i;
    EXPECT_STREQ(c.mrSlot[1].text[0], "00014250000");
    EXPECT_STREQ(c.mrSlot[1].text[1], "NAMETEXT");
    Feed("MR2" + mr.substr(3));  // slot digit 2 has no slot
    brenlow::AnswerCache after = Cache();
    EXPECT_EQ(std::memcmp(&after.mrSlot, &c.mrSlot, sizeof c.mrSlot), 0);
}

TEST_F(AnswerTest, ssTableAnswerOfIdentity20FillsTheAddressedSlotAndCutsLongText) {
    Feed("SS37ABC");
    Feed("SS00" + std::string(30, 'x'));
    Feed("SS:1IGNORED");
    brenlow::AnswerCache c = Cache();
    EXPECT_EQ(c.ssTable[3][7].valid, 1u);
    EXPECT_STREQ(c.ssTable[3][7].text, "ABC");
    EXPECT_EQ(std::string(c.ssTable[0][0].text), std::string(19, 'x'));
    EXPECT_EQ(Entry(Answer::SS).valid, 0u);  // the identity-19 entry is another storage
}

TEST_F(AnswerTest, textsToTheEndOfTheAnswerAreCutToTheirField) {
    Reset(19);
    Feed("EX0240310" + std::string(40, 'e'));
    Feed("FD" + std::string(40, 'f'));
    Feed("SA1010101" + std::string(40, 's'));
    EXPECT_EQ(std::string(Entry(Answer::EX).text[0]), std::string(19, 'e'));
    EXPECT_EQ(std::string(Entry(Answer::FD).text[0]), std::string(11, 'f'));
    EXPECT_EQ(std::string(Entry(Answer::SA).text[0]), std::string(11, 's'));
}

TEST_F(AnswerTest, tyAnswerStoresBitsFromTheLeastSignificantAndIgnoresNonHexDigits) {
    Feed("TYa52");
    brenlow::AnswerEntry e = Entry(Answer::TY);
    const unsigned expected[] = {1, 0, 1, 0, 0, 1, 0, 1, 2};  // 0xA5, bit 0 first
    for (int i = 0; i < 9; ++i) EXPECT_EQ(e.value[i], expected[i]) << i;
    Reset(20);
    Feed("TYG12");
    EXPECT_EQ(Entry(Answer::TY).valid, 0u);
}

TEST_F(AnswerTest, hexToBinaryWritesFourCharactersPerDigitAndStopsAtTheFirstNonHexDigit) {
    char hex[] = "a5";
    char out[9] = {};
    EXPECT_EQ(testsupport::TestBrenlow::Hex2BinayChar(hex, out), out);
    EXPECT_STREQ(out, "10100101");
    EXPECT_STREQ(hex, "A5");
    char bad[] = "1G";
    char out2[9] = {};
    EXPECT_EQ(testsupport::TestBrenlow::Hex2BinayChar(bad, out2), nullptr);
    EXPECT_STREQ(out2, "0001");
}

TEST_F(AnswerTest, terminalModeFollowsTcAndExAnswersOfIdentity19Only) {
    auto& mode = brenlow::State().terminalMode;
    Reset(20);
    Feed("EX05500001");
    EXPECT_EQ(mode.load(), 0u);
    EXPECT_EQ(Entry(Answer::EX).valid, 1u);

    Reset(19);
    Feed("EX05500001");
    EXPECT_EQ(mode.load(), 1u);
    Feed("EX0240310");
    EXPECT_EQ(mode.load(), 0u);
    Feed("TC 0");
    EXPECT_EQ(mode.load(), 1u);
    Feed("TC 1");
    EXPECT_EQ(mode.load(), 0u);
    Reset(20);
    Feed("TC 1");  // not served on the Corrin
    EXPECT_EQ(Entry(Answer::TC).valid, 0u);
}

TEST_F(AnswerTest, numbersReadBlanksSignsAndStopAtTheFirstNonDigit) {
    Feed("RU-0100");
    Feed("RD  42x7");
    Feed("GT");
    EXPECT_EQ(static_cast<int>(Entry(Answer::RU).value[0]), -100);
    EXPECT_EQ(Entry(Answer::RD).value[0], 42u);
    EXPECT_EQ(Entry(Answer::GT).valid, 1u);
    EXPECT_EQ(Entry(Answer::GT).value[0], 0u);
}

TEST_F(AnswerTest, answersWithoutARowAndSkippedFirstCharactersChangeNothing) {
    brenlow::AnswerCache before = Cache();
    Feed("BD");
    Feed("RC;UP;ZZ1;Y1;a1;@@AI1;1;;W1;H1;J1");
    brenlow::AnswerCache after = Cache();
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
}

TEST_F(AnswerTest, laterAnswerOfTheSameCommandOverwritesTheEarlierOne) {
    Feed("MD1;MD2;MD3");
    EXPECT_EQ(Entry(Answer::MD).value[0], 3u);
}

}  // namespace
