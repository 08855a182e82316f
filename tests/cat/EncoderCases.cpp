// The encoder cases, one line per call and model: the exact bytes the radio receives (set form,
// read form, read-back), the refusals at each bound just outside its range and on the model a
// member does not serve, and the cache entries each query empties.
#include "EncoderHarness.h"

namespace cmdtest {
namespace {

std::string Blanks(std::size_t n) { return std::string(n, ' '); }

#define CMDTEST_16 "0123456789ABCDEF"
#define CMDTEST_128 CMDTEST_16 CMDTEST_16 CMDTEST_16 CMDTEST_16 CMDTEST_16 CMDTEST_16 CMDTEST_16 CMDTEST_16
constexpr char kText128[] = CMDTEST_128;
constexpr char kText129[] = CMDTEST_128 "X";
static_assert(sizeof kText128 == 129 && sizeof kText129 == 130);

}  // namespace

// clang-format off
const std::vector<Case>& EncoderCases() {
    static const std::vector<Case> cases = {
        // ---- Mode string and one number ----------------------------------------------------
        {kDun, CALL(ConnAI("W", 2)), "AI2;"},             {kDun, CALL(ConnAI("W", 0)), "AI0;"},
        {kDun, CALL(ConnAI("W", 1)), kRefused},           {kDun, CALL(ConnAI("W", 3)), kRefused},
        {kDun, CALL(ConnAI("R", 0)), "AI;", "AI"},
        {kCor, CALL(ConnAI("W", 3)), "AI3;"},             {kCor, CALL(ConnAI("W", 1)), "AI1;"},
        {kCor, CALL(ConnAI("W", 4)), kRefused},           {kCor, CALL(ConnAI("R", 0)), "AI;", "AI"},

        {kDun, CALL(ConnAL("W", 4)), "AL004;AL;", "AL"},  {kDun, CALL(ConnAL("W", 5)), kRefused},
        {kDun, CALL(ConnAL("R", 0)), "AL;", "AL"},
        {kCor, CALL(ConnAL("W", 4)), kRefused},           {kCor, CALL(ConnAL("R", 0)), kRefused},

        {kDun, CALL(ConnAM("W", 1)), "AM1;"},             {kDun, CALL(ConnAM("W", 2)), kRefused},
        {kDun, CALL(ConnAM("R", 0)), "AM;", "AM"},
        {kCor, CALL(ConnAM("W", 1)), kRefused},           {kCor, CALL(ConnAM("R", 0)), kRefused},

        {kDun, CALL(ConnAN("W", 2)), "AN2;"},             {kDun, CALL(ConnAN("W", 0)), kRefused},
        {kDun, CALL(ConnAN("W", 3)), kRefused},           {kDun, CALL(ConnAN("R", 0)), "AN;", "AN"},
        {kCor, CALL(ConnAN("W", 1)), "AN1;"},             {kCor, CALL(ConnAN("W", 0)), kRefused},
        {kCor, CALL(ConnAN("W", 3)), kRefused},           {kCor, CALL(ConnAN("R", 0)), "AN;", "AN"},

        {kDun, CALL(ConnBC("W", 2)), "BC2;"},             {kDun, CALL(ConnBC("W", 3)), kRefused},
        {kDun, CALL(ConnBC("R", 0)), "BC;", "BC"},
        {kCor, CALL(ConnBC("W", 2)), "BC2;"},             {kCor, CALL(ConnBC("W", 3)), kRefused},
        {kCor, CALL(ConnBC("R", 0)), "BC;", "BC"},

        {kDun, CALL(ConnBP("W", 63)), "BP063;BP;", "BP"}, {kDun, CALL(ConnBP("W", 64)), kRefused},
        {kDun, CALL(ConnBP("R", 0)), "BP;", "BP"},
        {kCor, CALL(ConnBP("W", 63)), kRefused},          {kCor, CALL(ConnBP("R", 0)), kRefused},

        {kDun, CALL(ConnCA("W", 1)), "CA1;"},             {kDun, CALL(ConnCA("W", 2)), kRefused},
        {kDun, CALL(ConnCA("R", 0)), "CA;", "CA"},
        {kCor, CALL(ConnCA("W", 1)), "CA1;"},             {kCor, CALL(ConnCA("W", 2)), kRefused},
        {kCor, CALL(ConnCA("R", 0)), "CA;", "CA"},

        {kDun, CALL(ConnCG("W", 100)), "CG100;CG;", "CG"}, {kDun, CALL(ConnCG("W", 101)), kRefused},
        {kDun, CALL(ConnCG("R", 0)), "CG;", "CG"},
        {kCor, CALL(ConnCG("W", 100)), kRefused},         {kCor, CALL(ConnCG("R", 0)), kRefused},

        {kDun, CALL(ConnCM("W", 1)), "CM1;"},             {kDun, CALL(ConnCM("W", 2)), kRefused},
        {kDun, CALL(ConnCM("R", 0)), "CM;", "CM"},
        {kCor, CALL(ConnCM("W", 1)), kRefused},           {kCor, CALL(ConnCM("R", 0)), kRefused},

        {kDun, CALL(ConnCN("W", 99)), "CN99;CN;", "CN"},  {kDun, CALL(ConnCN("W", 0)), kRefused},
        {kDun, CALL(ConnCN("W", 100)), kRefused},         {kDun, CALL(ConnCN("R", 0)), "CN;", "CN"},
        {kCor, CALL(ConnCN("W", 0)), "CN00;CN;", "CN"},   {kCor, CALL(ConnCN("W", 100)), kRefused},
        {kCor, CALL(ConnCN("R", 0)), "CN;", "CN"},

        {kDun, CALL(ConnCT("W", 1)), "CT1;"},             {kDun, CALL(ConnCT("W", 2)), kRefused},
        {kDun, CALL(ConnCT("R", 0)), "CT;", "CT"},
        {kCor, CALL(ConnCT("W", 0)), "CT0;"},             {kCor, CALL(ConnCT("W", 2)), kRefused},
        {kCor, CALL(ConnCT("R", 0)), "CT;", "CT"},

        {kDun, CALL(ConnDQ("W", 1)), "DQ1;"},             {kDun, CALL(ConnDQ("W", 2)), kRefused},
        {kDun, CALL(ConnDQ("R", 0)), "DQ;", "DQ"},
        {kCor, CALL(ConnDQ("W", 1)), kRefused},           {kCor, CALL(ConnDQ("R", 0)), kRefused},

        {kDun, CALL(ConnFR("W", 3)), "FR3;"},             {kDun, CALL(ConnFR("W", 4)), kRefused},
        {kDun, CALL(ConnFR("R", 0)), "FR;", "FR"},
        {kCor, CALL(ConnFR("W", 2)), "FR2;"},             {kCor, CALL(ConnFR("W", 3)), kRefused},
        {kCor, CALL(ConnFR("R", 0)), "FR;", "FR"},

        {kDun, CALL(ConnFS("W", 1)), "FS1;"},             {kDun, CALL(ConnFS("W", 2)), kRefused},
        {kDun, CALL(ConnFS("R", 0)), "FS;", "FS"},
        {kCor, CALL(ConnFS("W", 1)), "FS1;"},             {kCor, CALL(ConnFS("W", 2)), kRefused},
        {kCor, CALL(ConnFS("R", 0)), "FS;", "FS"},

        {kDun, CALL(ConnFT("W", 3)), "FT3;"},             {kDun, CALL(ConnFT("W", 4)), kRefused},
        {kDun, CALL(ConnFT("R", 0)), "FT;", "FT"},
        {kCor, CALL(ConnFT("W", 1)), "FT1;"},             {kCor, CALL(ConnFT("W", 2)), kRefused},
        {kCor, CALL(ConnFT("R", 0)), "FT;", "FT"},

        {kDun, CALL(ConnFW("W", 9999)), "FW9999;"},       {kDun, CALL(ConnFW("W", 10000)), kRefused},
        {kDun, CALL(ConnFW("R", 0)), "FW;", "FW"},
        {kCor, CALL(ConnFW("W", 5)), "FW0005;"},          {kCor, CALL(ConnFW("W", 10000)), kRefused},
        {kCor, CALL(ConnFW("R", 0)), "FW;", "FW"},

        {kDun, CALL(ConnGT("W", 999)), "GT999;GT;", "GT"}, {kDun, CALL(ConnGT("W", 1000)), kRefused},
        {kDun, CALL(ConnGT("R", 0)), "GT;", "GT"},
        {kCor, CALL(ConnGT("W", 7)), "GT007;GT;", "GT"},  {kCor, CALL(ConnGT("W", 1000)), kRefused},
        {kCor, CALL(ConnGT("R", 0)), "GT;", "GT"},

        {kDun, CALL(ConnKS("W", 999)), "KS999;KS;", "KS"}, {kDun, CALL(ConnKS("W", 1000)), kRefused},
        {kDun, CALL(ConnKS("R", 0)), "KS;", "KS"},
        {kCor, CALL(ConnKS("W", 20)), "KS020;KS;", "KS"}, {kCor, CALL(ConnKS("W", 1000)), kRefused},
        {kCor, CALL(ConnKS("R", 0)), "KS;", "KS"},

        {kDun, CALL(ConnLM("W", 3)), "LM3;"},             {kDun, CALL(ConnLM("W", 4)), kRefused},
        {kDun, CALL(ConnLM("R", 0)), "LM;", "LM"},
        {kCor, CALL(ConnLM("W", 3)), kRefused},           {kCor, CALL(ConnLM("R", 0)), kRefused},

        {kDun, CALL(ConnLT("W", 1)), "LT1;"},             {kDun, CALL(ConnLT("W", 2)), kRefused},
        {kDun, CALL(ConnLT("R", 0)), "LT;", "LT"},
        {kCor, CALL(ConnLT("W", 1)), kRefused},           {kCor, CALL(ConnLT("R", 0)), kRefused},

        {kDun, CALL(ConnMD("W", 9)), "MD9;"},             {kDun, CALL(ConnMD("W", 1)), "MD1;"},
        {kDun, CALL(ConnMD("W", 0)), kRefused},           {kDun, CALL(ConnMD("W", 8)), kRefused},
        {kDun, CALL(ConnMD("W", 10)), kRefused},          {kDun, CALL(ConnMD("R", 0)), "MD;", "MD"},
        {kCor, CALL(ConnMD("W", 7)), "MD7;"},             {kCor, CALL(ConnMD("W", 0)), kRefused},
        {kCor, CALL(ConnMD("W", 8)), kRefused},           {kCor, CALL(ConnMD("W", 10)), kRefused},
        {kCor, CALL(ConnMD("R", 0)), "MD;", "MD"},

        {kDun, CALL(ConnMF("W", 1)), "MF1;"},             {kDun, CALL(ConnMF("W", 2)), kRefused},
        {kDun, CALL(ConnMF("R", 0)), "MF;", "MF"},
        {kCor, CALL(ConnMF("W", 1)), "MF1;"},             {kCor, CALL(ConnMF("W", 2)), kRefused},
        {kCor, CALL(ConnMF("R", 0)), "MF;", "MF"},

        {kDun, CALL(ConnMG("W", 999)), "MG999;MG;", "MG"}, {kDun, CALL(ConnMG("W", 1000)), kRefused},
        {kDun, CALL(ConnMG("R", 0)), "MG;", "MG"},
        {kCor, CALL(ConnMG("W", 50)), "MG050;MG;", "MG"}, {kCor, CALL(ConnMG("W", 1000)), kRefused},
        {kCor, CALL(ConnMG("R", 0)), "MG;", "MG"},

        {kDun, CALL(ConnML("W", 9)), "ML009;ML;", "ML"},  {kDun, CALL(ConnML("W", 10)), kRefused},
        {kDun, CALL(ConnML("R", 0)), "ML;", "ML"},
        {kCor, CALL(ConnML("W", 9)), "ML009;ML;", "ML"},  {kCor, CALL(ConnML("W", 10)), kRefused},
        {kCor, CALL(ConnML("R", 0)), "ML;", "ML"},

        {kDun, CALL(ConnMO("W", 1)), "MO1;"},             {kDun, CALL(ConnMO("W", 2)), kRefused},
        {kDun, CALL(ConnMO("R", 0)), "MO;", "MO"},
        {kCor, CALL(ConnMO("W", 1)), kRefused},           {kCor, CALL(ConnMO("R", 0)), kRefused},

        {kDun, CALL(ConnNB("W", 1)), "NB1;"},             {kDun, CALL(ConnNB("W", 2)), kRefused},
        {kDun, CALL(ConnNB("R", 0)), "NB;", "NB"},
        {kCor, CALL(ConnNB("W", 1)), "NB1;"},             {kCor, CALL(ConnNB("W", 2)), kRefused},
        {kCor, CALL(ConnNB("R", 0)), "NB;", "NB"},

        {kDun, CALL(ConnNL("W", 999)), "NL999;NL;", "NL"}, {kDun, CALL(ConnNL("W", 1000)), kRefused},
        {kDun, CALL(ConnNL("R", 0)), "NL;", "NL"},
        {kCor, CALL(ConnNL("W", 10)), "NL010;NL;", "NL"}, {kCor, CALL(ConnNL("W", 1000)), kRefused},
        {kCor, CALL(ConnNL("R", 0)), "NL;", "NL"},

        {kDun, CALL(ConnNR("W", 2)), "NR2;"},             {kDun, CALL(ConnNR("W", 3)), kRefused},
        {kDun, CALL(ConnNR("R", 0)), "NR;", "NR"},
        {kCor, CALL(ConnNR("W", 2)), "NR2;"},             {kCor, CALL(ConnNR("W", 3)), kRefused},
        {kCor, CALL(ConnNR("R", 0)), "NR;", "NR"},

        {kDun, CALL(ConnNT("W", 1)), "NT1;"},             {kDun, CALL(ConnNT("W", 2)), kRefused},
        {kDun, CALL(ConnNT("R", 0)), "NT;", "NT"},
        {kCor, CALL(ConnNT("W", 1)), kRefused},           {kCor, CALL(ConnNT("R", 0)), kRefused},

        {kDun, CALL(ConnOF("W", 59950000)), "OF059950000;"}, {kDun, CALL(ConnOF("W", 59950001)), kRefused},
        {kDun, CALL(ConnOF("W", 5)), "OF000000005;"},     {kDun, CALL(ConnOF("R", 0)), "OF;", "OF"},
        {kCor, CALL(ConnOF("W", 5)), kRefused},           {kCor, CALL(ConnOF("R", 0)), kRefused},

        {kDun, CALL(ConnOS("W", 3)), "OS3;"},             {kDun, CALL(ConnOS("W", 4)), kRefused},
        {kDun, CALL(ConnOS("R", 0)), "OS;", "OS"},
        {kCor, CALL(ConnOS("W", 3)), kRefused},           {kCor, CALL(ConnOS("R", 0)), kRefused},

        {kDun, CALL(ConnPA("W", 1)), "PA1;"},             {kDun, CALL(ConnPA("W", 2)), kRefused},
        {kDun, CALL(ConnPA("R", 0)), "PA;", "PA"},
        {kCor, CALL(ConnPA("W", 1)), "PA1;"},             {kCor, CALL(ConnPA("W", 2)), kRefused},
        {kCor, CALL(ConnPA("R", 0)), "PA;", "PA"},

        {kDun, CALL(ConnPB("W", 3)), "PB3;"},             {kDun, CALL(ConnPB("W", 4)), kRefused},
        {kDun, CALL(ConnPB("R", 0)), "PB;", "PB"},
        {kCor, CALL(ConnPB("W", 3)), "PB3;"},             {kCor, CALL(ConnPB("W", 4)), kRefused},
        {kCor, CALL(ConnPB("R", 0)), "PB;", "PB"},

        {kDun, CALL(ConnPC("W", 999)), "PC999;PC;", "PC"}, {kDun, CALL(ConnPC("W", 0)), kRefused},
        {kDun, CALL(ConnPC("W", 1000)), kRefused},        {kDun, CALL(ConnPC("R", 0)), "PC;", "PC"},
        {kCor, CALL(ConnPC("W", 1)), "PC001;PC;", "PC"},  {kCor, CALL(ConnPC("W", 0)), kRefused},
        {kCor, CALL(ConnPC("W", 1000)), kRefused},        {kCor, CALL(ConnPC("R", 0)), "PC;", "PC"},

        {kDun, CALL(ConnPM("W", 5)), "PM5;"},             {kDun, CALL(ConnPM("W", 6)), kRefused},
        {kDun, CALL(ConnPM("R", 0)), "PM;", "PM"},
        {kCor, CALL(ConnPM("W", 5)), kRefused},           {kCor, CALL(ConnPM("R", 0)), kRefused},

        {kDun, CALL(ConnPR("W", 1)), "PR1;"},             {kDun, CALL(ConnPR("W", 2)), kRefused},
        {kDun, CALL(ConnPR("R", 0)), "PR;", "PR"},
        {kCor, CALL(ConnPR("W", 1)), "PR1;"},             {kCor, CALL(ConnPR("W", 2)), kRefused},
        {kCor, CALL(ConnPR("R", 0)), "PR;", "PR"},

        {kDun, CALL(ConnPS("W", 3)), "PS3;"},             {kDun, CALL(ConnPS("W", 4)), kRefused},
        {kDun, CALL(ConnPS("W", 9)), kRefused},           {kDun, CALL(ConnPS("R", 0)), "PS;", "PS"},
        {kCor, CALL(ConnPS("W", 9)), "PS9;"},             {kCor, CALL(ConnPS("W", 1)), "PS1;"},
        {kCor, CALL(ConnPS("W", 2)), kRefused},           {kCor, CALL(ConnPS("W", 8)), kRefused},
        {kCor, CALL(ConnPS("W", 10)), kRefused},          {kCor, CALL(ConnPS("R", 0)), "PS;", "PS"},

        {kDun, CALL(ConnQC("W", 103)), "QC103;QC;", "QC"}, {kDun, CALL(ConnQC("W", 104)), kRefused},
        {kDun, CALL(ConnQC("R", 0)), "QC;", "QC"},
        {kCor, CALL(ConnQC("W", 103)), kRefused},         {kCor, CALL(ConnQC("R", 0)), kRefused},

        {kDun, CALL(ConnRA("W", 99)), "RA99;"},           {kDun, CALL(ConnRA("W", 100)), kRefused},
        {kDun, CALL(ConnRA("R", 0)), "RA;", "RA"},
        {kCor, CALL(ConnRA("W", 5)), "RA05;"},            {kCor, CALL(ConnRA("W", 100)), kRefused},
        {kCor, CALL(ConnRA("R", 0)), "RA;", "RA"},

        // The cached SC value is non-zero here, so RD and RU read back (see EncoderTest for zero).
        {kDun, CALL(ConnRD("W", 99999)), "RD99999;RD;", "RD"}, {kDun, CALL(ConnRD("W", 0)), "RD;RD;", "RD"},
        {kDun, CALL(ConnRD("W", 100000)), kRefused},      {kDun, CALL(ConnRD("R", 0)), "RD;", "RD"},
        {kCor, CALL(ConnRD("W", 5)), "RD00005;RD;", "RD"}, {kCor, CALL(ConnRD("W", 100000)), kRefused},
        {kCor, CALL(ConnRD("R", 7)), "RD;", "RD"},

        {kDun, CALL(ConnRG("W", 999)), "RG999;RG;", "RG"}, {kDun, CALL(ConnRG("W", 1000)), kRefused},
        {kDun, CALL(ConnRG("R", 0)), "RG;", "RG"},
        {kCor, CALL(ConnRG("W", 50)), "RG050;RG;", "RG"}, {kCor, CALL(ConnRG("W", 1000)), kRefused},
        {kCor, CALL(ConnRG("R", 0)), "RG;", "RG"},

        {kDun, CALL(ConnRL("W", 9)), "RL09;RL;", "RL"},   {kDun, CALL(ConnRL("W", 10)), kRefused},
        {kDun, CALL(ConnRL("R", 0)), "RL;", "RL"},
        {kCor, CALL(ConnRL("W", 9)), "RL09;RL;", "RL"},   {kCor, CALL(ConnRL("W", 10)), kRefused},
        {kCor, CALL(ConnRL("R", 0)), "RL;", "RL"},

        {kDun, CALL(ConnRM("W", 4)), "RM4;"},             {kDun, CALL(ConnRM("W", 5)), kRefused},
        {kDun, CALL(ConnRM("R", 0)), "RM;", "RM RM[*]"},
        {kCor, CALL(ConnRM("W", 4)), "RM4;"},             {kCor, CALL(ConnRM("W", 5)), kRefused},
        {kCor, CALL(ConnRM("R", 0)), "RM;", "RM RM[*]"},

        {kDun, CALL(ConnRT("W", 1)), "RT1;"},             {kDun, CALL(ConnRT("W", 2)), kRefused},
        {kDun, CALL(ConnRT("R", 0)), "RT;", "RT"},
        {kCor, CALL(ConnRT("W", 1)), "RT1;"},             {kCor, CALL(ConnRT("W", 2)), kRefused},
        {kCor, CALL(ConnRT("R", 0)), "RT;", "RT"},

        {kDun, CALL(ConnRU("W", 99999)), "RU99999;RU;", "RU"}, {kDun, CALL(ConnRU("W", 0)), "RU;RU;", "RU"},
        {kDun, CALL(ConnRU("W", 100000)), kRefused},      {kDun, CALL(ConnRU("R", 0)), "RU;", "RU"},
        {kCor, CALL(ConnRU("W", 12)), "RU00012;RU;", "RU"}, {kCor, CALL(ConnRU("W", 100000)), kRefused},
        {kCor, CALL(ConnRU("R", 0)), "RU;", "RU"},

        {kDun, CALL(ConnSB("W", 1)), "SB1;"},             {kDun, CALL(ConnSB("W", 2)), kRefused},
        {kDun, CALL(ConnSB("R", 0)), "SB;", "SB"},
        {kCor, CALL(ConnSB("W", 1)), kRefused},           {kCor, CALL(ConnSB("R", 0)), kRefused},

        {kDun, CALL(ConnSC("W", 6)), "SC6;"},             {kDun, CALL(ConnSC("W", 7)), kRefused},
        {kDun, CALL(ConnSC("R", 0)), "SC;", "SC"},
        {kCor, CALL(ConnSC("W", 5)), "SC5;"},             {kCor, CALL(ConnSC("W", 4)), "SC4;"},
        {kCor, CALL(ConnSC("W", 1)), "SC1;"},             {kCor, CALL(ConnSC("W", 0)), "SC0;"},
        {kCor, CALL(ConnSC("W", 2)), "", "", 1},          {kCor, CALL(ConnSC("W", 3)), "", "", 1},
        {kCor, CALL(ConnSC("W", 6)), "", "", 1},          {kCor, CALL(ConnSC("R", 0)), "SC;", "SC"},

        {kDun, CALL(ConnSD("W", 9999)), "SD9999;SD;", "SD"}, {kDun, CALL(ConnSD("W", 10000)), kRefused},
        {kDun, CALL(ConnSD("R", 0)), "SD;", "SD"},
        {kCor, CALL(ConnSD("W", 30)), "SD0030;SD;", "SD"}, {kCor, CALL(ConnSD("W", 10000)), kRefused},
        {kCor, CALL(ConnSD("R", 0)), "SD;", "SD"},

        {kDun, CALL(ConnSH("W", 11)), "SH11;"},           {kDun, CALL(ConnSH("W", 12)), kRefused},
        {kDun, CALL(ConnSH("R", 0)), "SH;", "SH"},
        {kCor, CALL(ConnSH("W", 13)), "SH13;"},           {kCor, CALL(ConnSH("W", 14)), kRefused},
        {kCor, CALL(ConnSH("R", 0)), "SH;", "SH"},

        {kDun, CALL(ConnSL("W", 11)), "SL11;"},           {kDun, CALL(ConnSL("W", 12)), kRefused},
        {kDun, CALL(ConnSL("R", 0)), "SL;", "SL"},
        {kCor, CALL(ConnSL("W", 3)), "SL03;"},            {kCor, CALL(ConnSL("W", 12)), kRefused},
        {kCor, CALL(ConnSL("R", 0)), "SL;", "SL"},

        {kDun, CALL(ConnSS("W", 2)), "SS2;"},             {kDun, CALL(ConnSS("W", 3)), kRefused},
        {kDun, CALL(ConnSS("R", 0)), "SS;", "SS"},
        {kCor, CALL(ConnSS("W", 2)), kRefused},           {kCor, CALL(ConnSS("R", 0)), kRefused},

        {kDun, CALL(ConnST("W", 9)), "ST09;"},            {kDun, CALL(ConnST("W", 10)), kRefused},
        {kDun, CALL(ConnST("R", 0)), "ST;", "ST"},
        {kCor, CALL(ConnST("W", 9)), "ST09;"},            {kCor, CALL(ConnST("W", 10)), kRefused},
        {kCor, CALL(ConnST("R", 0)), "ST;", "ST"},

        {kDun, CALL(ConnTN("W", 99)), "TN99;TN;", "TN"},  {kDun, CALL(ConnTN("W", 0)), kRefused},
        {kDun, CALL(ConnTN("W", 100)), kRefused},         {kDun, CALL(ConnTN("R", 0)), "TN;", "TN"},
        {kCor, CALL(ConnTN("W", 0)), "TN00;TN;", "TN"},   {kCor, CALL(ConnTN("W", 100)), kRefused},
        {kCor, CALL(ConnTN("R", 0)), "TN;", "TN"},

        {kDun, CALL(ConnTO("W", 3)), "TO3;"},             {kDun, CALL(ConnTO("W", 4)), kRefused},
        {kDun, CALL(ConnTO("R", 0)), "TO;", "TO"},
        {kCor, CALL(ConnTO("W", 1)), "TO1;"},             {kCor, CALL(ConnTO("W", 2)), kRefused},
        {kCor, CALL(ConnTO("R", 0)), "TO;", "TO"},

        {kDun, CALL(ConnTS("W", 1)), "TS1;"},             {kDun, CALL(ConnTS("W", 2)), kRefused},
        {kDun, CALL(ConnTS("R", 0)), "TS;", "TS"},
        {kCor, CALL(ConnTS("W", 1)), "TS1;"},             {kCor, CALL(ConnTS("W", 2)), kRefused},
        {kCor, CALL(ConnTS("R", 0)), "TS;", "TS"},

        {kDun, CALL(ConnVD("W", 9999)), "VD9999;VD;", "VD"}, {kDun, CALL(ConnVD("W", 10000)), kRefused},
        {kDun, CALL(ConnVD("R", 0)), "VD;", "VD"},
        {kCor, CALL(ConnVD("W", 100)), "VD0100;VD;", "VD"}, {kCor, CALL(ConnVD("W", 10000)), kRefused},
        {kCor, CALL(ConnVD("R", 0)), "VD;", "VD"},

        {kDun, CALL(ConnVG("W", 999)), "VG999;VG;", "VG"}, {kDun, CALL(ConnVG("W", 1000)), kRefused},
        {kDun, CALL(ConnVG("R", 0)), "VG;", "VG"},
        {kCor, CALL(ConnVG("W", 50)), "VG050;VG;", "VG"}, {kCor, CALL(ConnVG("W", 1000)), kRefused},
        {kCor, CALL(ConnVG("R", 0)), "VG;", "VG"},

        {kDun, CALL(ConnVX("W", 1)), "VX1;"},             {kDun, CALL(ConnVX("W", 2)), kRefused},
        {kDun, CALL(ConnVX("R", 0)), "VX;", "VX"},
        {kCor, CALL(ConnVX("W", 1)), "VX1;"},             {kCor, CALL(ConnVX("W", 2)), kRefused},
        {kCor, CALL(ConnVX("R", 0)), "VX;", "VX"},

        {kDun, CALL(ConnXT("W", 1)), "XT1;"},             {kDun, CALL(ConnXT("W", 2)), kRefused},
        {kDun, CALL(ConnXT("R", 0)), "XT;", "XT"},
        {kCor, CALL(ConnXT("W", 1)), "XT1;"},             {kCor, CALL(ConnXT("W", 2)), kRefused},
        {kCor, CALL(ConnXT("R", 0)), "XT;", "XT"},

        // Only the exact text "R" reads; any other mode, "r" and "" included, sets.
        {kDun, CALL(ConnAI("r", 2)), "AI2;"},             {kCor, CALL(ConnMD("", 3)), "MD3;"},
        {kCor, CALL(ConnPS("RR", 1)), "PS1;"},            {kCor, CALL(ConnPS("r", 0)), "PS0;"},
        {kCor, CALL(ConnPS(nullptr, 1)), kRefused},

        // ---- Mode string and several parameters --------------------------------------------
        {kDun, CALL(ConnAC("W", 1, 1, 2)), "AC112;"},     {kDun, CALL(ConnAC("W", 2, 0, 0)), kRefused},
        {kDun, CALL(ConnAC("W", 0, 2, 0)), kRefused},     {kDun, CALL(ConnAC("W", 0, 0, 3)), kRefused},
        {kDun, CALL(ConnAC("R", 0, 0, 0)), "AC;", "AC"},
        {kCor, CALL(ConnAC("W", 1, 2, 1)), "AC121;"},     {kCor, CALL(ConnAC("W", 2, 0, 0)), kRefused},
        {kCor, CALL(ConnAC("W", 0, 3, 0)), kRefused},     {kCor, CALL(ConnAC("W", 0, 0, 2)), kRefused},
        {kCor, CALL(ConnAC("R", 0, 0, 0)), "AC;", "AC"},

        // The read form names a slot of the AG entry and empties only that slot.
        {kDun, CALL(ConnAG("W", 1, 999)), "AG1999;AG1;", "AG[1]"}, {kDun, CALL(ConnAG("W", 0, 120)), "AG0120;AG0;", "AG[0]"},
        {kDun, CALL(ConnAG("W", 2, 0)), kRefused},        {kDun, CALL(ConnAG("W", 0, 1000)), kRefused},
        {kDun, CALL(ConnAG("R", 1, 0)), "AG1;", "AG[1]"}, {kDun, CALL(ConnAG("R", 2, 0)), kRefused},
        {kCor, CALL(ConnAG("W", 0, 5)), "AG0005;AG0;", "AG[0]"}, {kCor, CALL(ConnAG("W", 1, 5)), kRefused},
        {kCor, CALL(ConnAG("R", 1, 0)), "AG1;", "AG[1]"}, {kCor, CALL(ConnAG("R", 2, 0)), kRefused},

        {kDun, CALL(ConnAR("W", 1, 1, 9)), "AR119;"},     {kDun, CALL(ConnAR("W", 0, 0, 12)), "AR0012;"},
        {kDun, CALL(ConnAR("W", 2, 0, 0)), kRefused},     {kDun, CALL(ConnAR("W", 0, 2, 0)), kRefused},
        {kDun, CALL(ConnAR("R", 1, 0, 0)), "AR1;", "AR[1]"}, {kDun, CALL(ConnAR("R", 2, 0, 0)), kRefused},
        {kCor, CALL(ConnAR("W", 1, 1, 9)), kRefused},     {kCor, CALL(ConnAR("R", 1, 0, 0)), kRefused},

        {kDun, CALL(ConnAS("W", 3, 99, U("7050000"), 9)), "AS399000070500009;"},
        {kDun, CALL(ConnAS("W", 4, 0, U("0"), 0)), kRefused},
        {kDun, CALL(ConnAS("W", 0, 100, U("0"), 0)), kRefused},
        {kDun, CALL(ConnAS("W", 0, 0, U("100000000000"), 0)), kRefused},
        {kDun, CALL(ConnAS("W", 0, 0, U("0"), 10)), kRefused},
        {kDun, CALL(ConnAS("R", 3, 12, U("0"), 0)), "AS312;", "AS"},
        {kCor, CALL(ConnAS("W", 0, 5, U("14074000"), 1)), "AS005000140740001;"},
        {kCor, CALL(ConnAS("W", 1, 5, U("14074000"), 1)), kRefused},
        {kCor, CALL(ConnAS("R", 0, 5, U("0"), 0)), "AS005;", "AS"},
        {kCor, CALL(ConnAS("R", 0, 5, nullptr, 0)), kRefused},

        {kCor, CALL(ConnCR("W", 1, 2)), "CR12;"},         {kCor, CALL(ConnCR("W", 2, 0)), kRefused},
        {kCor, CALL(ConnCR("W", 0, 3)), kRefused},        {kCor, CALL(ConnCR("R", 0, 0)), "CR;", "CR"},
        {kDun, CALL(ConnCR("W", 1, 2)), kRefused},        {kDun, CALL(ConnCR("R", 0, 0)), kRefused},

        {kDun, CALL(ConnDC("W", 1, 1)), "DC11;"},         {kDun, CALL(ConnDC("W", 2, 0)), kRefused},
        {kDun, CALL(ConnDC("W", 0, 2)), kRefused},        {kDun, CALL(ConnDC("R", 0, 0)), "DC;", "DC"},
        {kCor, CALL(ConnDC("W", 1, 1)), kRefused},        {kCor, CALL(ConnDC("R", 0, 0)), kRefused},

        // "W" reads back at once; any other set mode does not; the read form is checked too.
        {kCor, CALL(ConnDL("W", 1, 5)), "DL105;DL;", "DL"}, {kCor, CALL(ConnDL("w", 1, 5)), "DL105;"},
        {kCor, CALL(ConnDL("", 0, 99)), "DL099;"},        {kCor, CALL(ConnDL("W", 2, 0)), kRefused},
        {kCor, CALL(ConnDL("W", 0, 100)), kRefused},      {kCor, CALL(ConnDL("R", 1, 5)), "DL;", "DL"},
        {kCor, CALL(ConnDL("R", 2, 0)), kRefused},        {kCor, CALL(ConnDL("R", 0, 100)), kRefused},
        {kDun, CALL(ConnDL("W", 1, 5)), kRefused},        {kDun, CALL(ConnDL("R", 0, 0)), kRefused},

        {kDun, CALL(ConnEX("W", 55, 0, 0, 1, U("1"))), "EX05500011;EX0550001;", "EX"},
        {kDun, CALL(ConnEX("W", 999, 99, 9, 9, U("ABCDEFGHIJKLMNOP"))), "EX9999999ABCDEFGHIJKLMNOP;EX9999999;", "EX"},
        {kDun, CALL(ConnEX("W", 1000, 0, 0, 0, U(""))), kRefused},
        {kDun, CALL(ConnEX("W", 0, 100, 0, 0, U(""))), kRefused},
        {kDun, CALL(ConnEX("W", 0, 0, 10, 0, U(""))), kRefused},
        {kDun, CALL(ConnEX("W", 0, 0, 0, 10, U(""))), kRefused},
        {kDun, CALL(ConnEX("W", 0, 0, 0, 0, U("ABCDEFGHIJKLMNOPQ"))), kRefused},
        {kDun, CALL(ConnEX("R", 12, 3, 4, 5, U(""))), "EX0120345;", "EX"},
        {kCor, CALL(ConnEX("W", 12, 0, 0, 0, U("7"))), "EX01200007;EX0120000;", "EX"},
        {kCor, CALL(ConnEX("W", 12, 1, 0, 0, U(""))), kRefused},
        {kCor, CALL(ConnEX("W", 12, 0, 1, 0, U(""))), kRefused},
        {kCor, CALL(ConnEX("W", 12, 0, 0, 1, U(""))), kRefused},
        {kCor, CALL(ConnEX("W", 1000, 0, 0, 0, U(""))), kRefused},
        {kCor, CALL(ConnEX("R", 12, 3, 4, 5, U(""))), "EX0120345;", "EX"},

        // Frequency texts: blanks, a sign and digits; 0 to 99,999,999,999; eleven digits.
        {kDun, CALL(ConnFA("W", U("7050000"))), "FA00007050000;"},
        {kDun, CALL(ConnFA("W", U("99999999999"))), "FA99999999999;"},
        {kDun, CALL(ConnFA("W", U("100000000000"))), kRefused},
        {kDun, CALL(ConnFA("W", U("-1"))), kRefused},
        {kDun, CALL(ConnFA("W", U("abc"))), "FA00000000000;"},
        {kDun, CALL(ConnFA("W", U(""))), "FA00000000000;"},
        {kDun, CALL(ConnFA("W", U("  +42x"))), "FA00000000042;"},
        {kDun, CALL(ConnFA("W", U("-0"))), "FA00000000000;"},
        {kDun, CALL(ConnFA("W", U("99999999999999999999999"))), kRefused},
        {kDun, CALL(ConnFA("r", U("7050000"))), "FA00007050000;"},
        {kDun, CALL(ConnFA("R", U(""))), "FA;", "FA"},
        {kDun, CALL(ConnFA("R", nullptr)), kRefused},
        {kCor, CALL(ConnFA("W", U("14074000"))), "FA00014074000;"},
        {kCor, CALL(ConnFA("W", U("100000000000"))), kRefused},
        {kCor, CALL(ConnFA("R", U("0"))), "FA;", "FA"},

        {kDun, CALL(ConnFB("W", U("99999999999"))), "FB99999999999;"},
        {kDun, CALL(ConnFB("W", U("100000000000"))), kRefused},
        {kDun, CALL(ConnFB("R", U(""))), "FB;", "FB"},
        {kCor, CALL(ConnFB("W", U("7000000"))), "FB00007000000;"},
        {kCor, CALL(ConnFB("W", U("-5"))), kRefused},
        {kCor, CALL(ConnFB("R", U(""))), "FB;", "FB"},

        {kDun, CALL(ConnFC("W", U("21000000"))), "FC00021000000;"},
        {kDun, CALL(ConnFC("W", U("100000000000"))), kRefused},
        {kDun, CALL(ConnFC("R", U(""))), "FC;", "FC"},
        {kCor, CALL(ConnFC("W", U("21000000"))), kRefused},
        {kCor, CALL(ConnFC("R", U(""))), kRefused},

        {kDun, CALL(ConnIS("W", U(" "), 9999)), "IS 9999;"}, {kDun, CALL(ConnIS("W", U("-"), 5)), kRefused},
        {kDun, CALL(ConnIS("W", U("  "), 5)), kRefused},  {kDun, CALL(ConnIS("W", U(" "), 10000)), kRefused},
        {kDun, CALL(ConnIS("R", U(""), 0)), "IS;", "IS"},
        {kCor, CALL(ConnIS("W", U("-"), 50)), "IS-0050;"}, {kCor, CALL(ConnIS("W", U(" "), 50)), "IS 0050;"},
        {kCor, CALL(ConnIS("W", U("-7"), 50)), "IS-0050;"}, {kCor, CALL(ConnIS("W", U("+"), 50)), kRefused},
        {kCor, CALL(ConnIS("W", U(""), 50)), kRefused},   {kCor, CALL(ConnIS("W", U("-"), 10000)), kRefused},
        {kCor, CALL(ConnIS("R", U(""), 0)), "IS;", "IS"},

        // "KY %-24s;": the format's blank, then the text left-justified in 24 blanks.
        {kDun, CALL(ConnKY("W", U(""))), "KY" + Blanks(25) + ";"},
        {kDun, CALL(ConnKY("W", U("CQ TEST"))), "KY CQ TEST" + Blanks(17) + ";"},
        {kDun, CALL(ConnKY("W", U("ABCDEFGHIJKLMNOPQRSTUVWX"))), "KY ABCDEFGHIJKLMNOPQRSTUVWX;"},
        {kDun, CALL(ConnKY("W", U("ABCDEFGHIJKLMNOPQRSTUVWXY"))), kRefused},
        {kDun, CALL(ConnKY("R", U(""))), "KY;", "KY"},
        {kCor, CALL(ConnKY("W", U("73"))), "KY 73" + Blanks(22) + ";"},
        {kCor, CALL(ConnKY("W", U("ABCDEFGHIJKLMNOPQRSTUVWXY"))), kRefused},
        {kCor, CALL(ConnKY("R", U(""))), "KY;", "KY"},

        {kDun, CALL(ConnLK("W", 2, 2)), "LK22;"},         {kDun, CALL(ConnLK("W", 3, 0)), kRefused},
        {kDun, CALL(ConnLK("W", 0, 3)), kRefused},        {kDun, CALL(ConnLK("R", 0, 0)), "LK;", "LK"},
        {kCor, CALL(ConnLK("W", 1, 1)), "LK11;"},         {kCor, CALL(ConnLK("W", 2, 0)), kRefused},
        {kCor, CALL(ConnLK("W", 0, 2)), kRefused},        {kCor, CALL(ConnLK("R", 0, 0)), "LK;", "LK"},

        {kCor, CALL(ConnLM2("W", 3, 2)), "LM32;"},        {kCor, CALL(ConnLM2("W", 4, 0)), kRefused},
        {kCor, CALL(ConnLM2("W", 0, 3)), kRefused},       {kCor, CALL(ConnLM2("R", 0, 0)), "LM;", "LM"},
        {kDun, CALL(ConnLM2("W", 3, 2)), kRefused},       {kDun, CALL(ConnLM2("R", 0, 0)), kRefused},

        {kDun, CALL(ConnMC("W", 2, 99)), "MC299;"},       {kDun, CALL(ConnMC("W", 3, 0)), kRefused},
        {kDun, CALL(ConnMC("W", 0, 100)), kRefused},      {kDun, CALL(ConnMC("R", 0, 0)), "MC;", "MC"},
        {kCor, CALL(ConnMC("W", 0, 5)), "MC005;"},        {kCor, CALL(ConnMC("W", 1, 5)), kRefused},
        {kCor, CALL(ConnMC("W", 0, 100)), kRefused},      {kCor, CALL(ConnMC("R", 0, 0)), "MC;", "MC"},

        {kDun, CALL(ConnMU("W", 1, 0, 1, 0, 1, 0, 1, 0, 1, 1)), "MU1010101011;MU;", "MU"},
        {kDun, CALL(ConnMU("W", 2, 0, 0, 0, 0, 0, 0, 0, 0, 0)), kRefused},
        {kDun, CALL(ConnMU("W", 0, 2, 0, 0, 0, 0, 0, 0, 0, 0)), kRefused},
        {kDun, CALL(ConnMU("W", 0, 0, 2, 0, 0, 0, 0, 0, 0, 0)), kRefused},
        {kDun, CALL(ConnMU("W", 0, 0, 0, 2, 0, 0, 0, 0, 0, 0)), kRefused},
        {kDun, CALL(ConnMU("W", 0, 0, 0, 0, 2, 0, 0, 0, 0, 0)), kRefused},
        {kDun, CALL(ConnMU("W", 0, 0, 0, 0, 0, 2, 0, 0, 0, 0)), kRefused},
        {kDun, CALL(ConnMU("W", 0, 0, 0, 0, 0, 0, 2, 0, 0, 0)), kRefused},
        {kDun, CALL(ConnMU("W", 0, 0, 0, 0, 0, 0, 0, 2, 0, 0)), kRefused},
        {kDun, CALL(ConnMU("W", 0, 0, 0, 0, 0, 0, 0, 0, 2, 0)), kRefused},
        {kDun, CALL(ConnMU("W", 0, 0, 0, 0, 0, 0, 0, 0, 0, 2)), kRefused},
        {kDun, CALL(ConnMU("R", 0, 0, 0, 0, 0, 0, 0, 0, 0, 0)), "MU;", "MU"},
        {kCor, CALL(ConnMU("W", 1, 0, 1, 0, 1, 0, 1, 0, 1, 1)), kRefused},
        {kCor, CALL(ConnMU("R", 0, 0, 0, 0, 0, 0, 0, 0, 0, 0)), kRefused},

        {kDun, CALL(ConnPL("W", 999, 999)), "PL999999;PL;", "PL"}, {kDun, CALL(ConnPL("W", 1000, 0)), kRefused},
        {kDun, CALL(ConnPL("W", 0, 1000)), kRefused},     {kDun, CALL(ConnPL("R", 0, 0)), "PL;", "PL"},
        {kCor, CALL(ConnPL("W", 5, 50)), "PL005050;PL;", "PL"}, {kCor, CALL(ConnPL("W", 0, 1000)), kRefused},
        {kCor, CALL(ConnPL("R", 0, 0)), "PL;", "PL"},

        {kDun, CALL(ConnQR("W", 1, 9)), "QR19;"},         {kDun, CALL(ConnQR("W", 2, 0)), kRefused},
        {kDun, CALL(ConnQR("W", 0, 10)), kRefused},       {kDun, CALL(ConnQR("R", 0, 0)), "QR;", "QR"},
        {kCor, CALL(ConnQR("W", 0, 5)), "QR05;"},         {kCor, CALL(ConnQR("W", 2, 0)), kRefused},
        {kCor, CALL(ConnQR("R", 0, 0)), "QR;", "QR"},

        // SA's text is taken and never sent.
        {kDun, CALL(ConnSA("W", 1, 9, 1, 1, 1, 1, 1, U("ANY"))), "SA1911111;"},
        {kDun, CALL(ConnSA("W", 0, 0, 0, 0, 0, 0, 0, nullptr)), "SA0000000;"},
        {kDun, CALL(ConnSA("W", 2, 0, 0, 0, 0, 0, 0, nullptr)), kRefused},
        {kDun, CALL(ConnSA("W", 0, 10, 0, 0, 0, 0, 0, nullptr)), kRefused},
        {kDun, CALL(ConnSA("W", 0, 0, 2, 0, 0, 0, 0, nullptr)), kRefused},
        {kDun, CALL(ConnSA("W", 0, 0, 0, 2, 0, 0, 0, nullptr)), kRefused},
        {kDun, CALL(ConnSA("W", 0, 0, 0, 0, 2, 0, 0, nullptr)), kRefused},
        {kDun, CALL(ConnSA("W", 0, 0, 0, 0, 0, 2, 0, nullptr)), kRefused},
        {kDun, CALL(ConnSA("W", 0, 0, 0, 0, 0, 0, 2, nullptr)), kRefused},
        {kDun, CALL(ConnSA("R", 0, 0, 0, 0, 0, 0, 0, nullptr)), "SA;", "SA"},
        {kCor, CALL(ConnSA("W", 1, 9, 1, 1, 1, 1, 1, nullptr)), kRefused},
        {kCor, CALL(ConnSA("R", 0, 0, 0, 0, 0, 0, 0, nullptr)), kRefused},

        {kDun, CALL(ConnSQ("W", 1, 999)), "SQ1999;SQ1;", "SQ[1]"}, {kDun, CALL(ConnSQ("W", 2, 0)), kRefused},
        {kDun, CALL(ConnSQ("W", 0, 1000)), kRefused},     {kDun, CALL(ConnSQ("R", 1, 0)), "SQ1;", "SQ[1]"},
        {kDun, CALL(ConnSQ("R", 2, 0)), kRefused},
        {kCor, CALL(ConnSQ("W", 0, 10)), "SQ0010;SQ0;", "SQ[0]"}, {kCor, CALL(ConnSQ("W", 1, 10)), kRefused},
        {kCor, CALL(ConnSQ("R", 1, 0)), "SQ1;", "SQ[1]"}, {kCor, CALL(ConnSQ("R", 2, 0)), kRefused},

        // The read form names a slot of the identity-20 SS table; the set form reads it at once.
        {kCor, CALL(ConnSS2("W", 9, 4, U("7050000"))), "SS9400007050000;SS94;", "SS[9][4]"},
        {kCor, CALL(ConnSS2("W", 10, 0, U("0"))), kRefused},
        {kCor, CALL(ConnSS2("W", 0, 5, U("0"))), kRefused},
        {kCor, CALL(ConnSS2("W", 0, 0, U("100000000000"))), kRefused},
        {kCor, CALL(ConnSS2("R", 9, 9, U("0"))), "SS99;", "SS[9][9]"},
        {kCor, CALL(ConnSS2("R", 10, 0, U("0"))), kRefused},
        {kCor, CALL(ConnSS2("R", 0, 10, U("0"))), kRefused},
        {kDun, CALL(ConnSS2("W", 1, 1, U("0"))), kRefused},
        {kDun, CALL(ConnSS2("R", 1, 1, U("0"))), kRefused},

        {kDun, CALL(ConnSU("W", 1, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9)), "SU19999999999;SU1;", "SU"},
        {kDun, CALL(ConnSU("W", 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0)), kRefused},
        {kDun, CALL(ConnSU("W", 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0)), kRefused},
        {kDun, CALL(ConnSU("W", 0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0)), kRefused},
        {kDun, CALL(ConnSU("W", 0, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0)), kRefused},
        {kDun, CALL(ConnSU("W", 0, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0)), kRefused},
        {kDun, CALL(ConnSU("W", 0, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0)), kRefused},
        {kDun, CALL(ConnSU("W", 0, 0, 0, 0, 0, 0, 10, 0, 0, 0, 0)), kRefused},
        {kDun, CALL(ConnSU("W", 0, 0, 0, 0, 0, 0, 0, 10, 0, 0, 0)), kRefused},
        {kDun, CALL(ConnSU("W", 0, 0, 0, 0, 0, 0, 0, 0, 10, 0, 0)), kRefused},
        {kDun, CALL(ConnSU("W", 0, 0, 0, 0, 0, 0, 0, 0, 0, 10, 0)), kRefused},
        {kDun, CALL(ConnSU("W", 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 10)), kRefused},
        {kDun, CALL(ConnSU("R", 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0)), "SU0;", "SU"},
        {kCor, CALL(ConnSU("W", 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0)), "SU01234567890;SU0;", "SU"},
        {kCor, CALL(ConnSU("W", 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0)), kRefused},
        {kCor, CALL(ConnSU("R", 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0)), "SU1;", "SU"},

        {kDun, CALL(ConnTC("W", 0, 1)), "\x03;\rTC 1;\r"}, {kDun, CALL(ConnTC("W", 0, 0)), "\rTC 0;"},
        {kDun, CALL(ConnTC("W", 7, 1)), "\x03;\rTC 1;\r"}, {kDun, CALL(ConnTC("W", 0, 2)), kRefused},
        {kDun, CALL(ConnTC("R", 0, 0)), "TC;", "TC"},
        {kCor, CALL(ConnTC("W", 0, 1)), kRefused},        {kCor, CALL(ConnTC("R", 0, 0)), kRefused},

        {kCor, CALL(ConnXO("W", 1, U("7050000"))), "XO100007050000;XO;", "XO"},
        {kCor, CALL(ConnXO("w", 1, U("7050000"))), "XO100007050000;"},
        {kCor, CALL(ConnXO("W", 2, U("0"))), kRefused},
        {kCor, CALL(ConnXO("W", 0, U("100000000000"))), kRefused},
        {kCor, CALL(ConnXO("R", 0, U(""))), "XO;", "XO"},
        {kDun, CALL(ConnXO("W", 1, U("7050000"))), kRefused},
        {kDun, CALL(ConnXO("R", 0, U(""))), kRefused},

        // ---- Set only, without a mode string ------------------------------------------------
        {kDun, CALL(ConnCH(1)), "CH1;"},                  {kDun, CALL(ConnCH(2)), kRefused},
        {kCor, CALL(ConnCH(0)), "CH0;"},                  {kCor, CALL(ConnCH(2)), kRefused},

        {kDun, CALL(ConnDN(0)), "DN;"},                   {kDun, CALL(ConnDN(5)), "DN05;"},
        {kDun, CALL(ConnDN(99)), "DN99;"},                {kDun, CALL(ConnDN(100)), kRefused},
        {kCor, CALL(ConnDN(0)), "DN;"},                   {kCor, CALL(ConnDN(100)), kRefused},

        // MR empties the memory slot it asks for.
        {kDun, CALL(ConnMR(1, 2, 99)), "MR1299;", "MR[1]"}, {kDun, CALL(ConnMR(2, 0, 0)), kRefused},
        {kDun, CALL(ConnMR(0, 3, 0)), kRefused},          {kDun, CALL(ConnMR(0, 0, 100)), kRefused},
        {kCor, CALL(ConnMR(0, 0, 5)), "MR0005;", "MR[0]"}, {kCor, CALL(ConnMR(0, 1, 5)), kRefused},
        {kCor, CALL(ConnMR(2, 0, 5)), kRefused},

        {kDun, CALL(ConnMW(1, 9, 99, U("7050000"), 9, 1, 3, 39, 38, 103, 7, 9, 999999999, 99, 9, U("ABCDEFG"))),
         "MW199900007050000913393810379999999999999ABCDEFG;"},
        {kDun, CALL(ConnMW(2, 0, 0, U("0"), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, U(""))), kRefused},
        {kDun, CALL(ConnMW(0, 10, 0, U("0"), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, U(""))), kRefused},
        {kDun, CALL(ConnMW(0, 0, 100, U("0"), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, U(""))), kRefused},
        {kDun, CALL(ConnMW(0, 0, 0, U("100000000000"), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, U(""))), kRefused},
        {kDun, CALL(ConnMW(0, 0, 0, U("0"), 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, U(""))), kRefused},
        {kDun, CALL(ConnMW(0, 0, 0, U("0"), 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, U(""))), kRefused},
        {kDun, CALL(ConnMW(0, 0, 0, U("0"), 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, U(""))), kRefused},
        {kDun, CALL(ConnMW(0, 0, 0, U("0"), 0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 0, U(""))), kRefused},
        {kDun, CALL(ConnMW(0, 0, 0, U("0"), 0, 0, 0, 0, 39, 0, 0, 0, 0, 0, 0, U(""))), kRefused},
        {kDun, CALL(ConnMW(0, 0, 0, U("0"), 0, 0, 0, 0, 0, 104, 0, 0, 0, 0, 0, U(""))), kRefused},
        {kDun, CALL(ConnMW(0, 0, 0, U("0"), 0, 0, 0, 0, 0, 0, 0, 10, 0, 0, 0, U(""))), kRefused},
        {kDun, CALL(ConnMW(0, 0, 0, U("0"), 0, 0, 0, 0, 0, 0, 0, 0, 1000000000, 0, 0, U(""))), kRefused},
        {kDun, CALL(ConnMW(0, 0, 0, U("0"), 0, 0, 0, 0, 0, 0, 0, 0, 0, 100, 0, U(""))), kRefused},
        {kDun, CALL(ConnMW(0, 0, 0, U("0"), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 10, U(""))), kRefused},
        {kDun, CALL(ConnMW(0, 0, 0, U("0"), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, U("ABCDEFGH"))), kRefused},
        {kCor, CALL(ConnMW(0, 0, 5, U("14074000"), 0, 0, 2, 99, 99, 0, 3, 0, 0, 0, 0, U("ABCDEFGH"))),
         "MW000500014074000002999900030000000000000ABCDEFGH;"},
        {kCor, CALL(ConnMW(0, 1, 0, U("0"), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, U(""))), kRefused},
        {kCor, CALL(ConnMW(0, 0, 0, U("0"), 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, U(""))), kRefused},
        {kCor, CALL(ConnMW(0, 0, 0, U("0"), 0, 0, 0, 100, 0, 0, 0, 0, 0, 0, 0, U(""))), kRefused},
        {kCor, CALL(ConnMW(0, 0, 0, U("0"), 0, 0, 0, 0, 100, 0, 0, 0, 0, 0, 0, U(""))), kRefused},
        {kCor, CALL(ConnMW(0, 0, 0, U("0"), 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, U(""))), kRefused},
        {kCor, CALL(ConnMW(0, 0, 0, U("0"), 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, U(""))), kRefused},
        {kCor, CALL(ConnMW(0, 0, 0, U("0"), 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, U(""))), kRefused},
        {kCor, CALL(ConnMW(0, 0, 0, U("0"), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, U("ABCDEFGHI"))), kRefused},

        {kDun, CALL(ConnPI(5)), "PI5;"},                  {kDun, CALL(ConnPI(6)), kRefused},
        {kCor, CALL(ConnPI(5)), kRefused},

        {kDun, CALL(ConnSI(9, U("ABCDEFGH"))), "SI9ABCDEFGH;"}, {kDun, CALL(ConnSI(10, U(""))), kRefused},
        {kDun, CALL(ConnSI(0, U("ABCDEFGHI"))), kRefused}, {kCor, CALL(ConnSI(9, U("A"))), kRefused},

        // SM empties the meter slot it asks for.
        {kDun, CALL(ConnSM(3)), "SM3;", "SM[3]"},         {kDun, CALL(ConnSM(4)), kRefused},
        {kCor, CALL(ConnSM(0)), "SM0;", "SM[0]"},         {kCor, CALL(ConnSM(1)), kRefused},

        {kDun, CALL(ConnSR(2)), "SR2;"},                  {kDun, CALL(ConnSR(0)), kRefused},
        {kDun, CALL(ConnSR(3)), kRefused},
        {kCor, CALL(ConnSR(1)), "SR1;"},                  {kCor, CALL(ConnSR(0)), kRefused},
        {kCor, CALL(ConnSR(3)), kRefused},

        {kDun, CALL(ConnTD(9)), "TD09;"},                 {kDun, CALL(ConnTD(10)), kRefused},
        {kCor, CALL(ConnTD(9)), kRefused},

        {kCor, CALL(ConnTX2(0)), "TX0;", "TX"},           {kCor, CALL(ConnTX2(12345)), "TX12345;", "TX"},
        {kDun, CALL(ConnTX2(0)), kRefused},

        {kDun, CALL(ConnUP(0)), "UP;"},                   {kDun, CALL(ConnUP(99)), "UP99;"},
        {kDun, CALL(ConnUP(100)), kRefused},
        {kCor, CALL(ConnUP(7)), "UP07;"},                 {kCor, CALL(ConnUP(100)), kRefused},

        // "%128s": the text right-justified in 128 blanks; a longer text is refused.
        {kDun, CALL(ConnUR(U("abc"))), "UR" + Blanks(125) + "abc;"},
        {kDun, CALL(ConnUR(U(""))), "UR" + Blanks(128) + ";"},
        {kDun, CALL(ConnUR(U(kText128))), "UR" + std::string(kText128) + ";"},
        {kDun, CALL(ConnUR(U(kText129))), kRefused},
        {kCor, CALL(ConnUR(U("abc"))), "UR" + Blanks(125) + "abc;"},
        {kCor, CALL(ConnUR(U(kText129))), kRefused},

        {kDun, CALL(ConnUT(U("xyz"))), "UT" + Blanks(125) + "xyz;"},
        {kDun, CALL(ConnUT(U(kText128))), "UT" + std::string(kText128) + ";"},
        {kDun, CALL(ConnUT(U(kText129))), kRefused},
        {kCor, CALL(ConnUT(U(""))), "UT" + Blanks(128) + ";"},
        {kCor, CALL(ConnUT(U(kText129))), kRefused},

        {kDun, CALL(ConnVR(2)), "VR2;"},                  {kDun, CALL(ConnVR(0)), kRefused},
        {kDun, CALL(ConnVR(3)), kRefused},
        {kCor, CALL(ConnVR(0)), "VR0;"},                  {kCor, CALL(ConnVR(3)), "VR3;"},
        {kCor, CALL(ConnVR(4)), kRefused},

        // ---- No parameters -------------------------------------------------------------------
        {kDun, CALL(ConnBD()), "BD;"},                    {kCor, CALL(ConnBD()), "BD;"},
        {kDun, CALL(ConnBU()), "BU;"},                    {kCor, CALL(ConnBU()), "BU;"},
        {kDun, CALL(ConnBY()), "BY;", "BY"},              {kCor, CALL(ConnBY()), "BY;", "BY"},
        {kDun, CALL(ConnCI()), "CI;"},                    {kCor, CALL(ConnCI()), kRefused},
        {kDun, CALL(ConnFD()), "FD;", "FD"},              {kCor, CALL(ConnFD()), kRefused},
        {kDun, CALL(ConnIF()), "IF;", "IF"},              {kCor, CALL(ConnIF()), "IF;", "IF"},
        {kCor, CALL(ConnME()), "ME;", "ME"},              {kDun, CALL(ConnME()), kRefused},
        {kDun, CALL(ConnOI()), "OI;", "OI"},              {kCor, CALL(ConnOI()), kRefused},
        {kCor, CALL(ConnOP()), "OP;", "OP"},              {kDun, CALL(ConnOP()), kRefused},
        {kDun, CALL(ConnQI()), "QI;"},                    {kCor, CALL(ConnQI()), "QI;"},
        {kDun, CALL(ConnRC()), "RC;"},                    {kCor, CALL(ConnRC()), "RC;"},
        {kCor, CALL(ConnRS()), "RS;", "RS"},              {kDun, CALL(ConnRS()), kRefused},
        {kDun, CALL(ConnRX()), "RX;", "RX"},              {kCor, CALL(ConnRX()), "RX;", "RX"},
        {kDun, CALL(ConnSV()), "SV;"},                    {kCor, CALL(ConnSV()), "SV;"},
        {kDun, CALL(ConnTI()), "TI;"},                    {kCor, CALL(ConnTI()), kRefused},
        {kDun, CALL(ConnTX()), "TX;", "TX"},              {kCor, CALL(ConnTX()), kRefused},
        {kDun, CALL(ConnTY()), "TY;", "TY"},              {kCor, CALL(ConnTY()), "TY;", "TY"},
        {kCor, CALL(ConnVV()), "VV;"},                    {kDun, CALL(ConnVV()), kRefused},
        {kCor, CALL(ConnXI()), "XI;", "XI"},              {kDun, CALL(ConnXI()), kRefused},

        // The identity query serves every model and empties the ID entry.
        {kDun, CALL(ConnID()), "ID;", "ID"},              {kCor, CALL(ConnID()), "ID;", "ID"},
    };
    return cases;
}
// clang-format on

}  // namespace cmdtest
