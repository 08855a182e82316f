// Radio identification: the model name table and the 25-byte buffer it must fit, the identity
// query and how its answer becomes the identity the accessors and encoders go by.
#include "EncoderHarness.h"

using namespace cmdtest;

namespace {

struct Name {
    unsigned id;
    const char* name;
};

const Name kNames[] = {
    {1, "Eddrin"},    {2, "Fenmarch"},  {3, "Glasswyn"},  {4, "Hollick"},  {5, "Ivering"},
    {6, "Jorvane"},   {7, "Kestrow"},   {8, "Lumbrey"},   {9, "Marrowby"}, {10, "Norcaster"},
    {11, "Oakhollow"}, {12, "Pennard"}, {13, "Quillon"},  {14, "Rosemere"}, {15, "Selwick"},
    {16, "Thornavel"}, {17, "Ulverby"}, {18, "Vantrey"},  {19, "Dunmore"},  {20, "Corrin"},
};

constexpr std::size_t kHostBuffer = 25;

TEST(Identification, EveryIdentityHasItsNameWithinTheHostsBuffer) {
    CBrenlow radio;
    for (const Name& n : kNames) {
        SCOPED_TRACE(n.id);
        unsigned char buffer[kHostBuffer + 8];
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(radio.GetRadioName(n.id, buffer), 1);
        EXPECT_STREQ(reinterpret_cast<char*>(buffer), n.name);
        for (std::size_t i = kHostBuffer; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], '#') << "written past 25 bytes";
    }
}

TEST(Identification, AnIdentityWithoutANameGivesAnEmptyTextAndZero) {
    CBrenlow radio;
    for (unsigned id : {0u, 21u, 255u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(id);
        unsigned char buffer[8];
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(radio.GetRadioName(id, buffer), 0);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(buffer[i], 0);
        EXPECT_EQ(buffer[4], '#');
    }
}

TEST(Identification, QueryForgetsTheIdentityUntilTheRadioAnswers) {
    RadioLine line(kCor);
    ASSERT_TRUE(line.Ready());
    CBrenlow& radio = line.radio;
    unsigned id = 99;

    // Preset by the open, but no ID answer is held yet.
    EXPECT_EQ(radio.RcvDataID(&id), 0);
    EXPECT_EQ(id, 0u);
    line.sim->Inject("ID020;");
    ASSERT_TRUE(testsupport::WaitUntil([&] { return radio.RcvDataID(&id) == 1; }, 5000));
    EXPECT_EQ(id, 20u);

    EXPECT_EQ(line.Capture([&] { EXPECT_NE(radio.ConnID(), 0); }), "ID;");
    id = 99;
    EXPECT_EQ(radio.RcvDataID(&id), 0);
    EXPECT_EQ(id, 0u);
    EXPECT_EQ(brenlow::State().modelId.load(), 0u);
    EXPECT_EQ(line.Capture([&] { EXPECT_EQ(radio.ConnFA("R", U("")), 0); }), "");

    line.sim->Inject("ID019;");
    ASSERT_TRUE(testsupport::WaitUntil([&] { return radio.RcvDataID(&id) == 1; }, 5000));
    EXPECT_EQ(id, 19u);
    EXPECT_EQ(line.Capture([&] { EXPECT_NE(radio.ConnFC("R", U("")), 0); }), "FC;");
}

TEST(Identification, AnUnsupportedRadioReadsAsIdentityZeroButKeepsItsName) {
    RadioLine line(kCor);
    ASSERT_TRUE(line.Ready());
    line.sim->Inject("ID017;");
    ASSERT_TRUE(testsupport::WaitUntil([] { return brenlow::State().modelId.load() == 17; }, 5000));
    unsigned id = 99;
    EXPECT_EQ(line.radio.RcvDataID(&id), 0);
    EXPECT_EQ(id, 0u);
    unsigned char name[kHostBuffer];
    EXPECT_EQ(line.radio.GetRadioName(17, name), 1);
    EXPECT_STREQ(reinterpret_cast<char*>(name), "Ulverby");
}

TEST(Identification, DetectionFindsTheRadioThatAnswers) {
    radiosim::Options answering;
    RadioLine line(kDun, answering);
    ASSERT_TRUE(line.Ready());
    CBrenlow& radio = line.radio;
    // The host's start: identity 20 preset, then the query and its polls.
    radio.RadioConnectionClose();
    ASSERT_EQ(radio.RadioConnectionOpen(kCor, 1, 9600, 1), 1);
    ASSERT_NE(radio.ConnID(), 0);
    unsigned id = 0;
    EXPECT_TRUE(testsupport::WaitUntil([&] { return radio.RcvDataID(&id) == 1; }, 5000));
    EXPECT_EQ(id, 19u);
}

TEST(Identification, QueryIsRefusedInTerminalModeAndOnAClosedPort) {
    RadioLine line(kDun);
    ASSERT_TRUE(line.Ready());
    brenlow::State().terminalMode = 1;
    EXPECT_EQ(line.Capture([&] { EXPECT_EQ(line.radio.ConnID(), 0); }), "");
    EXPECT_EQ(brenlow::State().modelId.load(), 19u);
    brenlow::State().terminalMode = 0;
    line.radio.RadioConnectionClose();
    EXPECT_EQ(line.radio.ConnID(), 0);
    EXPECT_EQ(brenlow::State().modelId.load(), 19u);
}

}  // namespace
