// Every encoder and accessor member of the library is exercised by the command tables: each
// encoder on both models with an accepted set and read, each accessor with and without a value.
#include <algorithm>
#include <set>

#include "EncoderHarness.h"

using namespace cmdtest;

namespace {

// Members with a mode string, then set-only members, then members without parameters.
const std::vector<std::string> kEncoders = {
    "ConnAI", "ConnAL", "ConnAM", "ConnAN", "ConnBC", "ConnBP", "ConnCA", "ConnCG", "ConnCM", "ConnCN", "ConnCT",
    "ConnDQ", "ConnFR", "ConnFS", "ConnFT", "ConnFW", "ConnGT", "ConnKS", "ConnLM", "ConnLT", "ConnMD", "ConnMF",
    "ConnMG", "ConnML", "ConnMO", "ConnNB", "ConnNL", "ConnNR", "ConnNT", "ConnOF", "ConnOS", "ConnPA", "ConnPB",
    "ConnPC", "ConnPM", "ConnPR", "ConnPS", "ConnQC", "ConnRA", "ConnRD", "ConnRG", "ConnRL", "ConnRM", "ConnRT",
    "ConnRU", "ConnSB", "ConnSC", "ConnSD", "ConnSH", "ConnSL", "ConnSS", "ConnST", "ConnTN", "ConnTO", "ConnTS",
    "ConnVD", "ConnVG", "ConnVX", "ConnXT",
    "ConnAC", "ConnAG", "ConnAR", "ConnAS", "ConnCR", "ConnDC", "ConnDL", "ConnEX", "ConnFA", "ConnFB", "ConnFC",
    "ConnIS", "ConnKY", "ConnLK", "ConnLM2", "ConnMC", "ConnMU", "ConnPL", "ConnQR", "ConnSA", "ConnSQ", "ConnSS2",
    "ConnSU", "ConnTC", "ConnXO",
    "ConnCH", "ConnDN", "ConnMR", "ConnMW", "ConnPI", "ConnSI", "ConnSM", "ConnSR", "ConnTD", "ConnTX2", "ConnUP",
    "ConnUR", "ConnUT", "ConnVR",
    "ConnBD", "ConnBU", "ConnBY", "ConnCI", "ConnFD", "ConnID", "ConnIF", "ConnME", "ConnOI", "ConnOP", "ConnQI",
    "ConnRC", "ConnRS", "ConnRX", "ConnSV", "ConnTI", "ConnTX", "ConnTY", "ConnVV", "ConnXI",
};

const std::vector<std::string> kAccessors = {
    "RcvDataAC", "RcvDataAG", "RcvDataAI", "RcvDataAL", "RcvDataAM", "RcvDataAN", "RcvDataAR", "RcvDataAS",
    "RcvDataBC", "RcvDataBP", "RcvDataBY", "RcvDataCA", "RcvDataCG", "RcvDataCM", "RcvDataCN", "RcvDataCR",
    "RcvDataCT", "RcvDataDC", "RcvDataDL", "RcvDataDQ", "RcvDataEX", "RcvDataFA", "RcvDataFB", "RcvDataFC",
    "RcvDataFD", "RcvDataFR", "RcvDataFS", "RcvDataFT", "RcvDataFW", "RcvDataGT", "RcvDataID", "RcvDataIF",
    "RcvDataIS", "RcvDataVEXA_ST", "RcvDataKS", "RcvDataKY", "RcvDataLK", "RcvDataLM", "RcvDataLM2", "RcvDataLT",
    "RcvDataMC", "RcvDataMD", "RcvDataME", "RcvDataMF", "RcvDataMG", "RcvDataML", "RcvDataMO", "RcvDataMR",
    "RcvDataMU", "RcvDataNB", "RcvDataNL", "RcvDataNR", "RcvDataNT", "RcvDataOF", "RcvDataOI", "RcvDataOP",
    "RcvDataOS", "RcvDataPA", "RcvDataPB", "RcvDataPB2", "RcvDataPC", "RcvDataPK", "RcvDataPL", "RcvDataPM",
    "RcvDataPR", "RcvDataPS", "RcvDataQC", "RcvDataQR", "RcvDataRA", "RcvDataRD", "RcvDataRG", "RcvDataRL",
    "RcvDataRM", "RcvDataRM2", "RcvDataRS", "RcvDataRT", "RcvDataRU", "RcvDataRX", "RcvDataSA", "RcvDataSB",
    "RcvDataSC", "RcvDataSC2", "RcvDataSD", "RcvDataSH", "RcvDataSL", "RcvDataSM", "RcvDataSQ", "RcvDataSS",
    "RcvDataSS2", "RcvDataST", "RcvDataSU", "RcvDataTC", "RcvDataTI", "RcvDataTN", "RcvDataTO", "RcvDataTS",
    "RcvDataTX", "RcvDataTY", "RcvDataUL", "RcvDataVD", "RcvDataVG", "RcvDataVX", "RcvDataXI", "RcvDataXO",
    "RcvDataXT",
};

bool WritesSomething(const Case& c) { return c.bytes && !c.bytes->empty(); }
bool HasModeString(const Case& c) {
    const std::string call(c.call);
    return call.compare(MemberOf(c.call).size(), 2, "(\"") == 0;
}
bool IsRead(const Case& c) { return std::string(c.call).find("(\"R\"") != std::string::npos; }

TEST(Completeness, EveryEncoderIsAcceptedAndRefusedOnBothModels) {
    EXPECT_EQ(kEncoders.size(), std::set<std::string>(kEncoders.begin(), kEncoders.end()).size());
    for (const std::string& member : kEncoders) {
        SCOPED_TRACE(member);
        std::vector<const Case*> rows;
        for (const Case& c : EncoderCases())
            if (MemberOf(c.call) == member) rows.push_back(&c);
        ASSERT_FALSE(rows.empty()) << "no table row";
        for (unsigned model : {kDun, kCor})
            EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [&](const Case* c) { return c->model == model; }))
                << "no row on identity " << model;
        EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [](const Case* c) { return WritesSomething(*c) && !IsRead(*c); }))
            << "no accepted set form";
        if (std::any_of(rows.begin(), rows.end(), [](const Case* c) { return HasModeString(*c); })) {
            EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [](const Case* c) { return WritesSomething(*c) && IsRead(*c); }))
                << "no accepted read form";
        }
    }
    for (const Case& c : EncoderCases()) {
        EXPECT_NE(std::find(kEncoders.begin(), kEncoders.end(), MemberOf(c.call)), kEncoders.end()) << c.call;
    }
}

TEST(Completeness, EveryAccessorHandsOutAValueAndRefusesWithout) {
    EXPECT_EQ(kAccessors.size(), std::set<std::string>(kAccessors.begin(), kAccessors.end()).size());
    for (const std::string& member : kAccessors) {
        SCOPED_TRACE(member);
        bool value = false, refusal = false;
        for (const ReadCase& c : AccessorCases()) {
            if (MemberOf(c.call) != member) continue;
            value = value || c.result == 1;
            refusal = refusal || c.result == 0;
        }
        EXPECT_TRUE(value) << "no row that hands out a value";
        if (member != "RcvDataVEXA_ST") {
            EXPECT_TRUE(refusal) << "no row that refuses";
        }
    }
    for (const ReadCase& c : AccessorCases()) {
        EXPECT_NE(std::find(kAccessors.begin(), kAccessors.end(), MemberOf(c.call)), kAccessors.end()) << c.call;
    }
}

}  // namespace
