// Answer notifications: the code and value of every row, for the identities it serves, and the
// once-per-read flags of FA, FB, FC, RM and SM.
#include <algorithm>
#include <vector>

#include "CatFixture.h"

namespace {

using cattest::AnswerTest;
using testsupport::Posted;

// DunLayout, CorLayout: a command both models answer, each in a layout of its own.
enum Who { Dun, Cor, Both, Any, DunLayout, CorLayout };

struct Vector {
    std::string answer;
    Who who;
    unsigned long code;
    long lParam;
};

const std::string kIf = "IF00014250000" "0010" "+00500" "100" "05" "1" "2" "0100" "03" "1";
const std::string kMr = "MR1" "0" "12" "00014250000" "120" "05" "10" "100" "10" "123456789" "07" "1" "NAMETEXT";

// Expected values worked out by hand from the answers; high, low = (high << 16) + low.
const std::vector<Vector>& Vectors() {
    static const std::vector<Vector> v = {
        {"AC123", Both, 4096, 0}, {"AG1120", Both, 4097, (1 << 16) + 120}, {"AI2", Both, 4098, 2},
        {"AL045", Dun, 4099, 45}, {"AM1", Dun, 4195, 1}, {"AN2", Both, 4100, 2}, {"AR101", Dun, 4185, 1},
        {"AS012000070500001", Both, 4186, 0}, {"BC2", Both, 4101, 2}, {"BD", Both, 4102, 0},
        {"BP063", Dun, 4103, 63}, {"BU", Both, 4104, 0}, {"BY10", Both, 4105, 1 << 16}, {"CA1", Both, 4106, 1},
        {"CG100", Dun, 4107, 100}, {"CI", Dun, 4108, 0}, {"CM1", Dun, 4109, 1}, {"CN12", Both, 4110, 12},
        {"CR102", Cor, 4218, 1}, {"CT1", Both, 4111, 1}, {"DC01", Dun, 4112, 1}, {"DL142", Cor, 4201, (1 << 16) + 42},
        {"DN", Both, 4113, 0}, {"DQ1", Dun, 4114, 1}, {"EX0240310HELLO", Both, 4115, 240310},
        {"FA00014250000", Both, 4116, 0}, {"FB00007000000", Both, 4117, 0}, {"FC00021000000", Dun, 4118, 0},
        {"FD00001234", Dun, 4119, 0}, {"FR1", Both, 4120, 1}, {"FS1", Both, 4121, 1}, {"FT1", Both, 4122, 1},
        {"FW2400", Both, 4123, 2400}, {"GT005", Both, 4124, 5}, {"ID019", Any, 4125, 19}, {kIf, Both, 4126, 0},
        {"IS-0500", Both, 4127, -500}, {"IS+0500", Both, 4127, 500}, {"KS020", Both, 4128, 20},
        {"KY1", Both, 4129, 1}, {"LK10", Both, 4130, 1 << 16}, {"LM2", DunLayout, 4131, 2}, {"LM12345", CorLayout, 4131, 1},
        {"LT1", Dun, 4132, 1}, {"MC012", Both, 4133, 12}, {"MD3", Both, 4134, 3}, {"ME012", Cor, 4208, 0},
        {"MF1", Both, 4188, 1}, {"MG050", Both, 4135, 50}, {"ML003", Both, 4136, 3}, {"MO1", Dun, 4137, 1},
        {kMr, Both, 4138, 1}, {"MU0123456789", Dun, 4189, 0}, {"MW", Both, 4139, 0}, {"NB1", Both, 4140, 1},
        {"NL005", Both, 4141, 5}, {"NR2", Both, 4142, 2}, {"NT1", Dun, 4143, 1}, {"OF005000000", Dun, 4144, 5000000},
        {"OI" + kIf.substr(2), Dun, 4200, 0}, {"OP101", Cor, 4202, 0}, {"OS2", Dun, 4145, 2},
        {"PA10", Both, 4147, 1 << 16}, {"PB2", DunLayout, 4148, 2}, {"PB123", CorLayout, 4148, 1}, {"PC100", Both, 4149, 100},
        {"PKAAAAAAAAAAABBBBBBBBBBBBCCCCCCCCCCCCCCCCCCCCDDDDD", Dun, 4198, 0},
        {"PL050100", Both, 4150, (50 << 16) + 100}, {"PM3", Dun, 4194, 3}, {"PR1", Both, 4151, 1},
        {"PS1", Both, 4152, 1}, {"QC050", Dun, 4146, 50}, {"QR15", Both, 4190, (1 << 16) + 5},
        {"RA1206", Both, 4153, (12 << 16) + 6}, {"RC", Both, 4154, 0}, {"RD00100", Both, 4155, 100},
        {"RG200", Both, 4159, 200}, {"RL05", Both, 4160, 5}, {"RM9123", Both, 4161, (9 << 16) + 123},
        {"RS1", Cor, 4203, 1}, {"RT1", Both, 4157, 1}, {"RU00200", Both, 4156, 200}, {"RX0", Both, 4162, 0},
        {"SA1010101ABCDEFG", Dun, 4164, 1}, {"SB1", Dun, 4165, 1}, {"SC5", DunLayout, 4166, 5},
        {"SC14", CorLayout, 4166, (1 << 16) + 4}, {"SD0300", Both, 4167, 300}, {"SH05", Both, 4168, 5},
        {"SL11", Both, 4169, 11}, {"SM3015", Both, 4170, 3}, {"SQ1045", Both, 4171, (1 << 16) + 45},
        {"SR", Both, 4172, 0}, {"SS2", DunLayout, 4191, 2}, {"SS37ABC", CorLayout, 4191, (3 << 16) + 7},
        {"ST05", Both, 4173, 5}, {"SU71234567890", Both, 4192, 7}, {"SV", Both, 4204, 0}, {"TC01", Dun, 4174, 0},
        {"TD", Dun, 4175, 0}, {"TI101", Dun, 4197, 0}, {"TN05", Both, 4176, 5}, {"TO1", Both, 4177, 1},
        {"TS1", Both, 4196, 1}, {"TX1", Both, 4163, 1}, {"TY812", Both, 4199, (81 << 16) + 2},
        {"UL1", Both, 4193, 1}, {"UP", Both, 4178, 0}, {"UR", Both, 4179, 0}, {"UT", Both, 4180, 0},
        {"VD0500", Both, 4181, 500}, {"VG050", Both, 4182, 50}, {"VR", Both, 4183, 0}, {"VV", Cor, 4205, 0},
        {"VX1", Both, 4184, 1}, {"XI00014250000123", Cor, 4206, 0}, {"XO100014250000", Cor, 4207, 0},
        {"XT1", Both, 4158, 1},
    };
    return v;
}

bool Serves(Who who, unsigned id) {
    switch (who) {
    case Dun:
    case DunLayout: return id == 19;
    case Cor:
    case CorLayout: return id == 20;
    case Both: return id == 19 || id == 20;
    case Any: return true;
    }
    return false;
}

TEST_F(AnswerTest, everyRowPostsItsCodeAndValueOnlyForTheIdentitiesItServes) {
    for (const Vector& v : Vectors()) {
        for (unsigned id : {19u, 20u, 7u}) {
            if ((v.who == DunLayout && id == 20) || (v.who == CorLayout && id == 19)) continue;
            SCOPED_TRACE(v.answer + " identity " + std::to_string(id));
            Reset(id);
            window.Clear();
            lib.WinMsgSendReg(&window);
            Feed(v.answer);
            lib.WinMsgSendReg(nullptr);
            std::vector<Posted> got = window.Messages();
            long lParam = v.code == 4125 ? 19 : v.lParam;
            if (Serves(v.who, id))
                EXPECT_EQ(got, (std::vector<Posted>{{12800, v.code, lParam}}));
            else
                EXPECT_TRUE(got.empty());
        }
    }
}

TEST_F(AnswerTest, vectorsCoverEveryEventCodeOfTheAnswers) {
    std::vector<unsigned long> codes;
    for (const Vector& v : Vectors()) codes.push_back(v.code);
    for (unsigned long code = 4096; code <= 4208; ++code) {
        bool unused = code == 4187;  // the one code in the range no answer carries
        bool found = std::find(codes.begin(), codes.end(), code) != codes.end();
        EXPECT_EQ(found, !unused) << code;
    }
    EXPECT_NE(std::find(codes.begin(), codes.end(), 4218ul), codes.end());
}

TEST_F(AnswerTest, nothingIsPostedAndNoFlagIsSetWithoutAWindow) {
    Feed("FA00014250000;SM0001;RM1005;AI2");
    brenlow::AnswerCache c = Cache();
    EXPECT_EQ(c[brenlow::Answer::FA].notified, 0u);
    EXPECT_EQ(c.sm.notified[0], 0u);
    EXPECT_EQ(c.rm.notified[1], 0u);
    EXPECT_EQ(window.Count(), 0u);
}

TEST_F(AnswerTest, frequencyAnswersPostOncePerReadEvenWhenTheLengthIsWrong) {
    lib.WinMsgSendReg(&window);
    Feed("FA00014250000;FA00014260000");
    EXPECT_EQ(window.WithCode(4116).size(), 1u);
    {
        std::scoped_lock g(brenlow::State().cacheLock);
        brenlow::State().cache[brenlow::Answer::FA].notified = 0;  // what reading the frequency does
    }
    Feed("FA0001");  // wrong length: not stored, still notified
    EXPECT_EQ(window.WithCode(4116).size(), 2u);
    EXPECT_STREQ(Entry(brenlow::Answer::FA).text[0], "00014260000");
}

TEST_F(AnswerTest, smAndRmPostOncePerIndexUntilRead) {
    lib.WinMsgSendReg(&window);
    Feed("SM4001");  // no slot: nothing
    Feed("SM0001;SM0002;SM1003");
    EXPECT_EQ(window.WithCode(4170), (std::vector<Posted>{{12800, 4170, 0}, {12800, 4170, 1}}));
    Feed("RM2007;RM2008;RM3009");
    EXPECT_EQ(window.WithCode(4161),
              (std::vector<Posted>{{12800, 4161, (2 << 16) + 7}, {12800, 4161, (3 << 16) + 9}}));
    Feed("AG2999;SQ2999;AR2999");  // index digits without a slot post nothing
    EXPECT_TRUE(window.WithCode(4097).empty());
    EXPECT_TRUE(window.WithCode(4171).empty());
}

TEST_F(AnswerTest, identityAnswerPostsTheNewIdentityWhateverItIs) {
    lib.WinMsgSendReg(&window);
    Feed("ID017");
    Feed("CR102");  // no longer a Corrin: nothing
    EXPECT_EQ(window.Messages(), (std::vector<Posted>{{12800, 4125, 17}}));
}

}  // namespace
