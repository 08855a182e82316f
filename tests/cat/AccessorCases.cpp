// The accessor cases: for every RcvData member, answers as the radio sends them, parsed under one
// identity and read under one, with the exact outputs in order; the identity rules, the text rules
// on failure, the notified flags the calls re-arm and the index bounds that change nothing.
#include "EncoderHarness.h"

namespace cmdtest {
namespace {

constexpr unsigned kOther = 17;  // an identity the radio may announce but the library does not operate

// IF and OI: frequency, then 0020 +00300 1 0 1 07 1 3 1 0 1 0 09 0.
#define CMDTEST_STATUS "00014250000" "0020" "+00300" "101" "07" "1" "3" "1010" "09" "0"
// MR slot 0: 1, 23, frequency, 4, 5, 6, 07, 08, 009, 1, 2, 123456789, 33, 3, name.
#define CMDTEST_MR0 "MR0" "1" "23" "00007050000" "4" "5" "6" "07" "08" "009" "1" "2" "123456789" "33" "3" "NAMEABCD"
#define CMDTEST_MR1 "MR1" "0" "00" "00014074000" "0" "0" "0" "00" "00" "000" "0" "0" "000000000" "00" "0" "OTHER"
#define CMDTEST_MR_OUTPUTS n, n + 1, t[0], n + 2, n + 3, n + 4, n + 5, n + 6, n + 7, n + 8, n + 9, n + 10, n + 11, n + 12, t[1]
#define CMDTEST_14 n, n + 1, n + 2, n + 3, n + 4, n + 5, n + 6, n + 7, n + 8, n + 9, n + 10, n + 11, n + 12, n + 13

}  // namespace

// clang-format off
const std::vector<ReadCase>& AccessorCases() {
    static const std::vector<ReadCase> cases = {
        // parsed read   answers                  call                                     result outputs
        {kDun, kDun,   "AC120",                  READ(RcvDataAC(n, n + 1, n + 2)),        1, "1 2 0"},
        {kCor, kCor,   "AC011",                  READ(RcvDataAC(n, n + 1, n + 2)),        1, "0 1 1"},
        {kCor, kOther, "AC120",                  READ(RcvDataAC(n, n + 1, n + 2)),        0, "0 0 0"},

        {kDun, kDun,   "AG1042",                 READ(RcvDataAG(1, n)),                   1, "42"},
        {kCor, kCor,   "AG0007",                 READ(RcvDataAG(0, n)),                   1, "7"},
        {kDun, kDun,   "AG1042",                 READ(RcvDataAG(0, n)),                   0, "0"},
        {kDun, kDun,   "AG1042",                 READ(RcvDataAG(2, n)),                   0, "0"},
        {kCor, kOther, "AG0007",                 READ(RcvDataAG(0, n)),                   0, "0"},

        {kDun, kDun,   "AI2",                    READ(RcvDataAI(n)),                      1, "2"},
        {kCor, kCor,   "AI3",                    READ(RcvDataAI(n)),                      1, "3"},
        {kCor, kOther, "AI3",                    READ(RcvDataAI(n)),                      0, "0"},

        {kDun, kDun,   "AL012",                  READ(RcvDataAL(n)),                      1, "12"},
        {kDun, kCor,   "AL012",                  READ(RcvDataAL(n)),                      0, "0"},

        {kDun, kDun,   "AM1",                    READ(RcvDataAM(n)),                      1, "1"},
        {kDun, kCor,   "AM1",                    READ(RcvDataAM(n)),                      0, "0"},

        {kDun, kDun,   "AN2",                    READ(RcvDataAN(n)),                      1, "2"},
        {kCor, kCor,   "AN1",                    READ(RcvDataAN(n)),                      1, "1"},
        {kCor, kOther, "AN1",                    READ(RcvDataAN(n)),                      0, "0"},

        {kDun, kDun,   "AR110",                  READ(RcvDataAR(1, n, n + 1)),            1, "1 0"},
        {kDun, kDun,   "AR110",                  READ(RcvDataAR(0, n, n + 1)),            0, "0 0"},
        {kDun, kDun,   "AR110",                  READ(RcvDataAR(2, n, n + 1)),            0, "0 0"},
        {kDun, kCor,   "AR110",                  READ(RcvDataAR(1, n, n + 1)),            0, "0 0"},

        // The AS text is emptied before anything else.
        {kDun, kDun,   "AS312000070500001",      READ(RcvDataAS(n, n + 1, t[0], n + 2)),  1, "3 12 1 '00007050000'"},
        {kCor, kCor,   "AS005000140740002",      READ(RcvDataAS(n, n + 1, t[0], n + 2)),  1, "0 5 2 '00014074000'"},
        {kCor, kOther, "AS005000140740002",      READ(RcvDataAS(n, n + 1, t[0], n + 2)),  0, "0 0 0 ''"},

        {kDun, kDun,   "BC2",                    READ(RcvDataBC(n)),                      1, "2"},
        {kCor, kCor,   "BC1",                    READ(RcvDataBC(n)),                      1, "1"},
        {kCor, kOther, "BC1",                    READ(RcvDataBC(n)),                      0, "0"},

        {kDun, kDun,   "BP063",                  READ(RcvDataBP(n)),                      1, "63"},
        {kDun, kCor,   "BP063",                  READ(RcvDataBP(n)),                      0, "0"},

        {kDun, kDun,   "BY10",                   READ(RcvDataBY(n, n + 1)),               1, "1 0"},
        {kCor, kCor,   "BY01",                   READ(RcvDataBY(n, n + 1)),               1, "0 1"},
        {kCor, kOther, "BY01",                   READ(RcvDataBY(n, n + 1)),               0, "0 0"},

        {kDun, kDun,   "CA1",                    READ(RcvDataCA(n)),                      1, "1"},
        {kCor, kCor,   "CA1",                    READ(RcvDataCA(n)),                      1, "1"},
        {kCor, kOther, "CA1",                    READ(RcvDataCA(n)),                      0, "0"},

        {kDun, kDun,   "CG100",                  READ(RcvDataCG(n)),                      1, "100"},
        {kDun, kCor,   "CG100",                  READ(RcvDataCG(n)),                      0, "0"},

        {kDun, kDun,   "CM1",                    READ(RcvDataCM(n)),                      1, "1"},
        {kDun, kCor,   "CM1",                    READ(RcvDataCM(n)),                      0, "0"},

        {kDun, kDun,   "CN12",                   READ(RcvDataCN(n)),                      1, "12"},
        {kCor, kCor,   "CN07",                   READ(RcvDataCN(n)),                      1, "7"},
        {kCor, kOther, "CN07",                   READ(RcvDataCN(n)),                      0, "0"},

        {kCor, kCor,   "CR102",                  READ(RcvDataCR(n, n + 1, n + 2)),        1, "1 0 2"},
        {kCor, kDun,   "CR102",                  READ(RcvDataCR(n, n + 1, n + 2)),        0, "0 0 0"},

        {kDun, kDun,   "CT1",                    READ(RcvDataCT(n)),                      1, "1"},
        {kCor, kCor,   "CT1",                    READ(RcvDataCT(n)),                      1, "1"},
        {kCor, kOther, "CT1",                    READ(RcvDataCT(n)),                      0, "0"},

        {kDun, kDun,   "DC01",                   READ(RcvDataDC(n, n + 1)),               1, "0 1"},
        {kDun, kCor,   "DC01",                   READ(RcvDataDC(n, n + 1)),               0, "0 0"},

        {kCor, kCor,   "DL142",                  READ(RcvDataDL(n, n + 1)),               1, "1 42"},
        {kCor, kDun,   "DL142",                  READ(RcvDataDL(n, n + 1)),               0, "0 0"},

        {kDun, kDun,   "DQ1",                    READ(RcvDataDQ(n)),                      1, "1"},
        {kDun, kCor,   "DQ1",                    READ(RcvDataDQ(n)),                      0, "0"},

        {kDun, kDun,   "EX0240310HELLO",         READ(RcvDataEX(n, n + 1, n + 2, n + 3, t[0])), 1, "24 3 1 0 'HELLO'"},
        {kCor, kCor,   "EX0120000",              READ(RcvDataEX(n, n + 1, n + 2, n + 3, t[0])), 1, "12 0 0 0 ''"},
        {kCor, kOther, "EX0240310HELLO",         READ(RcvDataEX(n, n + 1, n + 2, n + 3, t[0])), 0, "0 0 0 0"},

        // FA, FB, FC re-arm their notification whatever they return; only FA empties its text
        // when the identity fits and no answer is held.
        {kDun, kDun,   "FA00014250000",          READ(RcvDataFA(t[0])),                   1, "'00014250000'", "FA"},
        {kCor, kCor,   "FA00007050000",          READ(RcvDataFA(t[0])),                   1, "'00007050000'", "FA"},
        {kCor, kCor,   "",                       READ(RcvDataFA(t[0])),                   0, "''"},
        {kCor, kOther, "FA00007050000",          READ(RcvDataFA(t[0])),                   0, "", "FA"},
        {kDun, kDun,   "FB00007000000",          READ(RcvDataFB(t[0])),                   1, "'00007000000'", "FB"},
        {kCor, kCor,   "FB00003500000",          READ(RcvDataFB(t[0])),                   1, "'00003500000'", "FB"},
        {kCor, kCor,   "",                       READ(RcvDataFB(t[0])),                   0, ""},
        {kCor, kOther, "FB00003500000",          READ(RcvDataFB(t[0])),                   0, "", "FB"},
        {kDun, kDun,   "FC00021000000",          READ(RcvDataFC(t[0])),                   1, "'00021000000'", "FC"},
        {kDun, kCor,   "FC00021000000",          READ(RcvDataFC(t[0])),                   0, "", "FC"},

        {kDun, kDun,   "FD00001234",             READ(RcvDataFD(t[0])),                   1, "'00001234'"},
        {kDun, kCor,   "FD00001234",             READ(RcvDataFD(t[0])),                   0, ""},

        {kDun, kDun,   "FR1",                    READ(RcvDataFR(n)),                      1, "1"},
        {kCor, kCor,   "FR2",                    READ(RcvDataFR(n)),                      1, "2"},
        {kCor, kOther, "FR2",                    READ(RcvDataFR(n)),                      0, "0"},

        {kDun, kDun,   "FS1",                    READ(RcvDataFS(n)),                      1, "1"},
        {kCor, kCor,   "FS1",                    READ(RcvDataFS(n)),                      1, "1"},
        {kCor, kOther, "FS1",                    READ(RcvDataFS(n)),                      0, "0"},

        {kDun, kDun,   "FT3",                    READ(RcvDataFT(n)),                      1, "3"},
        {kCor, kCor,   "FT1",                    READ(RcvDataFT(n)),                      1, "1"},
        {kCor, kOther, "FT1",                    READ(RcvDataFT(n)),                      0, "0"},

        {kDun, kDun,   "FW2400",                 READ(RcvDataFW(n)),                      1, "2400"},
        {kCor, kCor,   "FW0500",                 READ(RcvDataFW(n)),                      1, "500"},
        {kCor, kOther, "FW0500",                 READ(RcvDataFW(n)),                      0, "0"},

        {kDun, kDun,   "GT005",                  READ(RcvDataGT(n)),                      1, "5"},
        {kCor, kCor,   "GT020",                  READ(RcvDataGT(n)),                      1, "20"},
        {kCor, kOther, "GT020",                  READ(RcvDataGT(n)),                      0, "0"},

        {kDun, kDun,   "ID019",                  READ(RcvDataID(n)),                      1, "19"},
        {kCor, kCor,   "ID020",                  READ(RcvDataID(n)),                      1, "20"},
        {kCor, kOther, "",                       READ(RcvDataID(n)),                      0, "0"},

        {kDun, kDun,   "IF" CMDTEST_STATUS,      READ(RcvDataIF(t[0], CMDTEST_14)),            1, "20 300 1 0 1 7 1 3 1 0 1 0 9 0 '00014250000'"},
        {kCor, kCor,   "IF" CMDTEST_STATUS,      READ(RcvDataIF(t[0], CMDTEST_14)),            1, "20 300 1 0 1 7 1 3 1 0 1 0 9 0 '00014250000'"},
        {kCor, kOther, "IF" CMDTEST_STATUS,      READ(RcvDataIF(t[0], CMDTEST_14)),            0, "0 0 0 0 0 0 0 0 0 0 0 0 0 0"},

        {kDun, kDun,   "IS 0120",                READ(RcvDataIS(t[0], n)),                1, "120 ' '"},
        {kCor, kCor,   "IS-0500",                READ(RcvDataIS(t[0], n)),                1, "500 '-'"},
        {kCor, kOther, "IS-0500",                READ(RcvDataIS(t[0], n)),                0, "0"},

        {kDun, kDun,   "KS020",                  READ(RcvDataKS(n)),                      1, "20"},
        {kCor, kCor,   "KS030",                  READ(RcvDataKS(n)),                      1, "30"},
        {kCor, kOther, "KS030",                  READ(RcvDataKS(n)),                      0, "0"},

        {kDun, kDun,   "KY1",                    READ(RcvDataKY(n)),                      1, "1"},
        {kCor, kCor,   "KY1",                    READ(RcvDataKY(n)),                      1, "1"},
        {kCor, kOther, "KY1",                    READ(RcvDataKY(n)),                      0, "0"},

        {kDun, kDun,   "LK01",                   READ(RcvDataLK(n, n + 1)),               1, "0 1"},
        {kCor, kCor,   "LK10",                   READ(RcvDataLK(n, n + 1)),               1, "1 0"},
        {kCor, kOther, "LK10",                   READ(RcvDataLK(n, n + 1)),               0, "0 0"},

        // One LM entry: the Dunmore's first value through LM, the Corrin's three through LM2 only.
        {kDun, kDun,   "LM3",                    READ(RcvDataLM(n)),                      1, "3"},
        {kCor, kCor,   "LM12345",                READ(RcvDataLM(n)),                      0, "0"},
        {kCor, kCor,   "LM12345",                READ(RcvDataLM2(n, n + 1, n + 2)),       1, "1 2 345"},
        {kDun, kDun,   "LM3",                    READ(RcvDataLM2(n, n + 1, n + 2)),       0, "0 0 0"},

        {kDun, kDun,   "LT1",                    READ(RcvDataLT(n)),                      1, "1"},
        {kDun, kCor,   "LT1",                    READ(RcvDataLT(n)),                      0, "0"},

        {kDun, kDun,   "MC105",                  READ(RcvDataMC(n, n + 1)),               1, "1 5"},
        {kCor, kCor,   "MC042",                  READ(RcvDataMC(n, n + 1)),               1, "0 42"},
        {kCor, kOther, "MC042",                  READ(RcvDataMC(n, n + 1)),               0, "0 0"},

        {kDun, kDun,   "MD3",                    READ(RcvDataMD(n)),                      1, "3"},
        {kCor, kCor,   "MD7",                    READ(RcvDataMD(n)),                      1, "7"},
        {kCor, kOther, "MD7",                    READ(RcvDataMD(n)),                      0, "0"},

        {kCor, kCor,   "ME101",                  READ(RcvDataME(n, n + 1, n + 2)),        1, "1 0 1"},
        {kCor, kDun,   "ME101",                  READ(RcvDataME(n, n + 1, n + 2)),        0, "0 0 0"},

        {kDun, kDun,   "MF1",                    READ(RcvDataMF(n)),                      1, "1"},
        {kCor, kCor,   "MF1",                    READ(RcvDataMF(n)),                      1, "1"},
        {kCor, kOther, "MF1",                    READ(RcvDataMF(n)),                      0, "0"},

        {kDun, kDun,   "MG050",                  READ(RcvDataMG(n)),                      1, "50"},
        {kCor, kCor,   "MG060",                  READ(RcvDataMG(n)),                      1, "60"},
        {kCor, kOther, "MG060",                  READ(RcvDataMG(n)),                      0, "0"},

        {kDun, kDun,   "ML005",                  READ(RcvDataML(n)),                      1, "5"},
        {kCor, kCor,   "ML009",                  READ(RcvDataML(n)),                      1, "9"},
        {kCor, kOther, "ML009",                  READ(RcvDataML(n)),                      0, "0"},

        {kDun, kDun,   "MO1",                    READ(RcvDataMO(n)),                      1, "1"},
        {kDun, kCor,   "MO1",                    READ(RcvDataMO(n)),                      0, "0"},

        // The nine-digit value (positions 29-37) comes out before the two-digit one (38-39).
        {kDun, kDun,   CMDTEST_MR0,              READ(RcvDataMR(0, CMDTEST_MR_OUTPUTS)),                 1, "1 23 4 5 6 7 8 9 1 2 123456789 33 3 '00007050000' 'NAMEABCD'"},
        {kCor, kCor,   CMDTEST_MR0 ";" CMDTEST_MR1, READ(RcvDataMR(0, CMDTEST_MR_OUTPUTS)),              1, "1 23 4 5 6 7 8 9 1 2 123456789 33 3 '00007050000' 'NAMEABCD'"},
        {kCor, kCor,   CMDTEST_MR0 ";" CMDTEST_MR1, READ(RcvDataMR(1, CMDTEST_MR_OUTPUTS)),              1, "0 0 0 0 0 0 0 0 0 0 0 0 0 '00014074000' 'OTHER'"},
        {kDun, kDun,   CMDTEST_MR0,              READ(RcvDataMR(1, CMDTEST_MR_OUTPUTS)),                 0, "0 0 0 0 0 0 0 0 0 0 0 0 0"},
        {kDun, kDun,   CMDTEST_MR0,              READ(RcvDataMR(2, CMDTEST_MR_OUTPUTS)),                 0, "0 0 0 0 0 0 0 0 0 0 0 0 0"},
        {kCor, kOther, CMDTEST_MR0,              READ(RcvDataMR(0, CMDTEST_MR_OUTPUTS)),                 0, "0 0 0 0 0 0 0 0 0 0 0 0 0"},

        {kDun, kDun,   "MU1010101011",           READ(RcvDataMU(n, n + 1, n + 2, n + 3, n + 4, n + 5, n + 6, n + 7, n + 8, n + 9)), 1, "1 0 1 0 1 0 1 0 1 1"},
        {kDun, kCor,   "MU1010101011",           READ(RcvDataMU(n, n + 1, n + 2, n + 3, n + 4, n + 5, n + 6, n + 7, n + 8, n + 9)), 0, "0 0 0 0 0 0 0 0 0 0"},

        {kDun, kDun,   "NB1",                    READ(RcvDataNB(n)),                      1, "1"},
        {kCor, kCor,   "NB1",                    READ(RcvDataNB(n)),                      1, "1"},
        {kCor, kOther, "NB1",                    READ(RcvDataNB(n)),                      0, "0"},

        {kDun, kDun,   "NL010",                  READ(RcvDataNL(n)),                      1, "10"},
        {kCor, kCor,   "NL011",                  READ(RcvDataNL(n)),                      1, "11"},
        {kCor, kOther, "NL011",                  READ(RcvDataNL(n)),                      0, "0"},

        {kDun, kDun,   "NR2",                    READ(RcvDataNR(n)),                      1, "2"},
        {kCor, kCor,   "NR1",                    READ(RcvDataNR(n)),                      1, "1"},
        {kCor, kOther, "NR1",                    READ(RcvDataNR(n)),                      0, "0"},

        {kDun, kDun,   "NT1",                    READ(RcvDataNT(n)),                      1, "1"},
        {kDun, kCor,   "NT1",                    READ(RcvDataNT(n)),                      0, "0"},

        {kDun, kDun,   "OF000050000",            READ(RcvDataOF(n)),                      1, "50000"},
        {kDun, kCor,   "OF000050000",            READ(RcvDataOF(n)),                      0, "0"},

        {kDun, kDun,   "OI" CMDTEST_STATUS,      READ(RcvDataOI(t[0], CMDTEST_14)),            1, "20 300 1 0 1 7 1 3 1 0 1 0 9 0 '00014250000'"},
        {kDun, kCor,   "OI" CMDTEST_STATUS,      READ(RcvDataOI(t[0], CMDTEST_14)),            0, "0 0 0 0 0 0 0 0 0 0 0 0 0 0"},

        {kCor, kCor,   "OP110",                  READ(RcvDataOP(n, n + 1, n + 2)),        1, "1 1 0"},
        {kCor, kDun,   "OP110",                  READ(RcvDataOP(n, n + 1, n + 2)),        0, "0 0 0"},

        {kDun, kDun,   "OS2",                    READ(RcvDataOS(n)),                      1, "2"},
        {kDun, kCor,   "OS2",                    READ(RcvDataOS(n)),                      0, "0"},

        {kDun, kDun,   "PA10",                   READ(RcvDataPA(n, n + 1)),               1, "1 0"},
        {kCor, kCor,   "PA01",                   READ(RcvDataPA(n, n + 1)),               1, "0 1"},
        {kCor, kOther, "PA01",                   READ(RcvDataPA(n, n + 1)),               0, "0 0"},

        {kDun, kDun,   "PB2",                    READ(RcvDataPB(n)),                      1, "2"},
        {kCor, kCor,   "PB123",                  READ(RcvDataPB(n)),                      0, "0"},
        {kCor, kCor,   "PB123",                  READ(RcvDataPB2(n, n + 1, n + 2)),       1, "1 2 3"},
        {kDun, kDun,   "PB2",                    READ(RcvDataPB2(n, n + 1, n + 2)),       0, "0 0 0"},

        {kDun, kDun,   "PC100",                  READ(RcvDataPC(n)),                      1, "100"},
        {kCor, kCor,   "PC050",                  READ(RcvDataPC(n)),                      1, "50"},
        {kCor, kOther, "PC050",                  READ(RcvDataPC(n)),                      0, "0"},

        // PK's texts stay as the caller gave them on failure.
        {kDun, kDun,   "PKABCDEFGHIJKLMNOPQRSTUVW0123456789ABCDEFGHIJXYZ12",
                                                 READ(RcvDataPK(t[0], t[1], t[2], t[3])), 1, "'ABCDEFGHIJK' 'LMNOPQRSTUVW' '0123456789ABCDEFGHIJ' 'XYZ12'"},
        {kDun, kCor,   "PKABCDEFGHIJKLMNOPQRSTUVW0123456789ABCDEFGHIJXYZ12",
                                                 READ(RcvDataPK(t[0], t[1], t[2], t[3])), 0, ""},

        {kDun, kDun,   "PL050100",               READ(RcvDataPL(n, n + 1)),               1, "50 100"},
        {kCor, kCor,   "PL001002",               READ(RcvDataPL(n, n + 1)),               1, "1 2"},
        {kCor, kOther, "PL001002",               READ(RcvDataPL(n, n + 1)),               0, "0 0"},

        {kDun, kDun,   "PM3",                    READ(RcvDataPM(n)),                      1, "3"},
        {kDun, kCor,   "PM3",                    READ(RcvDataPM(n)),                      0, "0"},

        {kDun, kDun,   "PR1",                    READ(RcvDataPR(n)),                      1, "1"},
        {kCor, kCor,   "PR1",                    READ(RcvDataPR(n)),                      1, "1"},
        {kCor, kOther, "PR1",                    READ(RcvDataPR(n)),                      0, "0"},

        {kDun, kDun,   "PS1",                    READ(RcvDataPS(n)),                      1, "1"},
        {kCor, kCor,   "PS9",                    READ(RcvDataPS(n)),                      1, "9"},
        {kCor, kOther, "PS1",                    READ(RcvDataPS(n)),                      0, "0"},

        {kDun, kDun,   "QC103",                  READ(RcvDataQC(n)),                      1, "103"},
        {kDun, kCor,   "QC103",                  READ(RcvDataQC(n)),                      0, "0"},

        {kDun, kDun,   "QR15",                   READ(RcvDataQR(n, n + 1)),               1, "1 5"},
        {kCor, kCor,   "QR09",                   READ(RcvDataQR(n, n + 1)),               1, "0 9"},
        {kCor, kOther, "QR09",                   READ(RcvDataQR(n, n + 1)),               0, "0 0"},

        {kDun, kDun,   "RA0512",                 READ(RcvDataRA(n, n + 1)),               1, "5 12"},
        {kCor, kCor,   "RA1000",                 READ(RcvDataRA(n, n + 1)),               1, "10 0"},
        {kCor, kOther, "RA1000",                 READ(RcvDataRA(n, n + 1)),               0, "0 0"},

        {kDun, kDun,   "RD00100",                READ(RcvDataRD(n)),                      1, "100"},
        {kCor, kCor,   "RD00200",                READ(RcvDataRD(n)),                      1, "200"},
        {kCor, kOther, "RD00200",                READ(RcvDataRD(n)),                      0, "0"},

        {kDun, kDun,   "RG050",                  READ(RcvDataRG(n)),                      1, "50"},
        {kCor, kCor,   "RG070",                  READ(RcvDataRG(n)),                      1, "70"},
        {kCor, kOther, "RG070",                  READ(RcvDataRG(n)),                      0, "0"},

        {kDun, kDun,   "RL05",                   READ(RcvDataRL(n)),                      1, "5"},
        {kCor, kCor,   "RL09",                   READ(RcvDataRL(n)),                      1, "9"},
        {kCor, kOther, "RL09",                   READ(RcvDataRL(n)),                      0, "0"},

        // RM re-arms the notification of the slot it reports; RM2 reads a slot only once its
        // notification was posted, and re-arms it.
        {kDun, kDun,   "RM3045",                 READ(RcvDataRM(n, n + 1)),               1, "3 45", "RM[3]"},
        {kCor, kCor,   "RM3045;RM5007",          READ(RcvDataRM(n, n + 1)),               1, "5 7", "RM[5]"},
        {kCor, kOther, "RM3045",                 READ(RcvDataRM(n, n + 1)),               0, "0 0", "RM[3]"},
        {kDun, kDun,   "RM3045",                 READ(RcvDataRM2(3, n)),                  1, "45", "RM[3]"},
        {kCor, kCor,   "RM3045;RM5007",          READ(RcvDataRM2(3, n)),                  1, "45", "RM[3]"},
        {kCor, kCor,   "RM3045",                 READ(RcvDataRM2(4, n)),                  0, "0"},
        {kCor, kCor,   "RM3045",                 READ(RcvDataRM2(10, n)),                 0, "0"},
        {kCor, kOther, "RM3045",                 READ(RcvDataRM2(3, n)),                  0, "0", "RM[3]"},

        {kCor, kCor,   "RS1",                    READ(RcvDataRS(n)),                      1, "1"},
        {kCor, kDun,   "RS1",                    READ(RcvDataRS(n)),                      0, "0"},

        {kDun, kDun,   "RT1",                    READ(RcvDataRT(n)),                      1, "1"},
        {kCor, kCor,   "RT1",                    READ(RcvDataRT(n)),                      1, "1"},
        {kCor, kOther, "RT1",                    READ(RcvDataRT(n)),                      0, "0"},

        {kDun, kDun,   "RU00200",                READ(RcvDataRU(n)),                      1, "200"},
        {kCor, kCor,   "RU00300",                READ(RcvDataRU(n)),                      1, "300"},
        {kCor, kOther, "RU00300",                READ(RcvDataRU(n)),                      0, "0"},

        {kDun, kDun,   "RX1",                    READ(RcvDataRX(n)),                      1, "1"},
        {kCor, kCor,   "RX2",                    READ(RcvDataRX(n)),                      1, "2"},
        {kCor, kOther, "RX2",                    READ(RcvDataRX(n)),                      0, "0"},

        {kDun, kDun,   "SA1011011NAME",          READ(RcvDataSA(n, n + 1, n + 2, n + 3, n + 4, n + 5, n + 6, t[0])), 1, "1 0 1 1 0 1 1 'NAME'"},
        {kDun, kCor,   "SA1011011NAME",          READ(RcvDataSA(n, n + 1, n + 2, n + 3, n + 4, n + 5, n + 6, t[0])), 0, "0 0 0 0 0 0 0"},

        {kDun, kDun,   "SB1",                    READ(RcvDataSB(n)),                      1, "1"},
        {kDun, kCor,   "SB1",                    READ(RcvDataSB(n)),                      0, "0"},

        {kDun, kDun,   "SC1",                    READ(RcvDataSC(n)),                      1, "1"},
        {kCor, kCor,   "SC12",                   READ(RcvDataSC(n)),                      1, "1"},
        {kCor, kOther, "SC12",                   READ(RcvDataSC(n)),                      0, "0"},
        {kCor, kCor,   "SC12",                   READ(RcvDataSC2(n, n + 1)),              1, "1 2"},
        {kDun, kDun,   "SC1",                    READ(RcvDataSC2(n, n + 1)),              0, "0 0"},

        {kDun, kDun,   "SD0100",                 READ(RcvDataSD(n)),                      1, "100"},
        {kCor, kCor,   "SD0200",                 READ(RcvDataSD(n)),                      1, "200"},
        {kCor, kOther, "SD0200",                 READ(RcvDataSD(n)),                      0, "0"},

        {kDun, kDun,   "SH05",                   READ(RcvDataSH(n)),                      1, "5"},
        {kCor, kCor,   "SH13",                   READ(RcvDataSH(n)),                      1, "13"},
        {kCor, kOther, "SH13",                   READ(RcvDataSH(n)),                      0, "0"},

        {kDun, kDun,   "SL07",                   READ(RcvDataSL(n)),                      1, "7"},
        {kCor, kCor,   "SL11",                   READ(RcvDataSL(n)),                      1, "11"},
        {kCor, kOther, "SL11",                   READ(RcvDataSL(n)),                      0, "0"},

        // SM re-arms the slot it is asked for, whatever it returns.
        {kDun, kDun,   "SM10015",                READ(RcvDataSM(1, n)),                   1, "15", "SM[1]"},
        {kCor, kCor,   "SM00009",                READ(RcvDataSM(0, n)),                   1, "9", "SM[0]"},
        {kDun, kDun,   "SM10015",                READ(RcvDataSM(0, n)),                   0, "0"},
        {kDun, kDun,   "SM10015",                READ(RcvDataSM(4, n)),                   0, "0"},
        {kCor, kOther, "SM00009",                READ(RcvDataSM(0, n)),                   0, "0", "SM[0]"},

        {kDun, kDun,   "SQ1020",                 READ(RcvDataSQ(1, n)),                   1, "20"},
        {kCor, kCor,   "SQ0005",                 READ(RcvDataSQ(0, n)),                   1, "5"},
        {kDun, kDun,   "SQ1020",                 READ(RcvDataSQ(0, n)),                   0, "0"},
        {kDun, kDun,   "SQ1020",                 READ(RcvDataSQ(2, n)),                   0, "0"},
        {kCor, kOther, "SQ0005",                 READ(RcvDataSQ(0, n)),                   0, "0"},

        {kDun, kDun,   "SS1",                    READ(RcvDataSS(n)),                      1, "1"},
        {kCor, kCor,   "SS34ABC",                READ(RcvDataSS(n)),                      0, "0"},

        // SS2 zeroes the first four bytes of its text before anything else.
        {kCor, kCor,   "SS34ABC",                READ(RcvDataSS2(3, 4, t[0])),            1, "'ABC'"},
        {kCor, kCor,   "SS34ABC",                READ(RcvDataSS2(4, 3, t[0])),            0, "''"},
        {kCor, kCor,   "SS34ABC",                READ(RcvDataSS2(10, 0, t[0])),           0, "''"},
        {kCor, kCor,   "SS34ABC",                READ(RcvDataSS2(0, 10, t[0])),           0, "''"},
        {kCor, kDun,   "SS34ABC",                READ(RcvDataSS2(3, 4, t[0])),            0, "''"},

        {kDun, kDun,   "ST05",                   READ(RcvDataST(n)),                      1, "5"},
        {kCor, kCor,   "ST09",                   READ(RcvDataST(n)),                      1, "9"},
        {kCor, kOther, "ST09",                   READ(RcvDataST(n)),                      0, "0"},

        {kDun, kDun,   "SU10123456789",          READ(RcvDataSU(n, n + 1, n + 2, n + 3, n + 4, n + 5, n + 6, n + 7, n + 8, n + 9, n + 10)), 1, "1 0 1 2 3 4 5 6 7 8 9"},
        {kCor, kCor,   "SU09876543210",          READ(RcvDataSU(n, n + 1, n + 2, n + 3, n + 4, n + 5, n + 6, n + 7, n + 8, n + 9, n + 10)), 1, "0 9 8 7 6 5 4 3 2 1 0"},
        {kCor, kOther, "SU09876543210",          READ(RcvDataSU(n, n + 1, n + 2, n + 3, n + 4, n + 5, n + 6, n + 7, n + 8, n + 9, n + 10)), 0, "0 0 0 0 0 0 0 0 0 0 0"},

        {kDun, kDun,   "TC11",                   READ(RcvDataTC(n, n + 1)),               1, "1 1"},
        {kDun, kCor,   "TC11",                   READ(RcvDataTC(n, n + 1)),               0, "0 0"},

        {kDun, kDun,   "TI101",                  READ(RcvDataTI(n, n + 1, n + 2)),        1, "1 0 1"},
        {kDun, kCor,   "TI101",                  READ(RcvDataTI(n, n + 1, n + 2)),        0, "0 0 0"},

        {kDun, kDun,   "TN05",                   READ(RcvDataTN(n)),                      1, "5"},
        {kCor, kCor,   "TN08",                   READ(RcvDataTN(n)),                      1, "8"},
        {kCor, kOther, "TN08",                   READ(RcvDataTN(n)),                      0, "0"},

        {kDun, kDun,   "TO1",                    READ(RcvDataTO(n)),                      1, "1"},
        {kCor, kCor,   "TO1",                    READ(RcvDataTO(n)),                      1, "1"},
        {kCor, kOther, "TO1",                    READ(RcvDataTO(n)),                      0, "0"},

        {kDun, kDun,   "TS1",                    READ(RcvDataTS(n)),                      1, "1"},
        {kCor, kCor,   "TS1",                    READ(RcvDataTS(n)),                      1, "1"},
        {kCor, kOther, "TS1",                    READ(RcvDataTS(n)),                      0, "0"},

        {kDun, kDun,   "TX1",                    READ(RcvDataTX(n)),                      1, "1"},
        {kCor, kCor,   "TX2",                    READ(RcvDataTX(n)),                      1, "2"},
        {kCor, kOther, "TX2",                    READ(RcvDataTX(n)),                      0, "0"},

        // Bit 0 first, then the digit after the two hexadecimal digits.
        {kDun, kDun,   "TY811",                  READ(RcvDataTY(n, n + 1, n + 2, n + 3, n + 4, n + 5, n + 6, n + 7, n + 8)), 1, "1 0 0 0 0 0 0 1 1"},
        {kCor, kCor,   "TYa52",                  READ(RcvDataTY(n, n + 1, n + 2, n + 3, n + 4, n + 5, n + 6, n + 7, n + 8)), 1, "1 0 1 0 0 1 0 1 2"},
        {kCor, kOther, "TY811",                  READ(RcvDataTY(n, n + 1, n + 2, n + 3, n + 4, n + 5, n + 6, n + 7, n + 8)), 0, "0 0 0 0 0 0 0 0 0"},

        {kDun, kDun,   "UL1",                    READ(RcvDataUL(n)),                      1, "1"},
        {kCor, kCor,   "UL1",                    READ(RcvDataUL(n)),                      1, "1"},
        {kCor, kOther, "UL1",                    READ(RcvDataUL(n)),                      0, "0"},

        {kDun, kDun,   "VD0100",                 READ(RcvDataVD(n)),                      1, "100"},
        {kCor, kCor,   "VD0300",                 READ(RcvDataVD(n)),                      1, "300"},
        {kCor, kOther, "VD0300",                 READ(RcvDataVD(n)),                      0, "0"},

        {kDun, kDun,   "VG050",                  READ(RcvDataVG(n)),                      1, "50"},
        {kCor, kCor,   "VG040",                  READ(RcvDataVG(n)),                      1, "40"},
        {kCor, kOther, "VG040",                  READ(RcvDataVG(n)),                      0, "0"},

        {kDun, kDun,   "VX1",                    READ(RcvDataVX(n)),                      1, "1"},
        {kCor, kCor,   "VX1",                    READ(RcvDataVX(n)),                      1, "1"},
        {kCor, kOther, "VX1",                    READ(RcvDataVX(n)),                      0, "0"},

        // XI and XO zero the first four bytes of their text before anything else.
        {kCor, kCor,   "XI00007050000123",       READ(RcvDataXI(t[0], n, n + 1)),         1, "1 23 '00007050000'"},
        {kCor, kDun,   "XI00007050000123",       READ(RcvDataXI(t[0], n, n + 1)),         0, "0 0 ''"},
        {kCor, kCor,   "XO100007050000",         READ(RcvDataXO(n, t[0])),                1, "1 '00007050000'"},
        {kCor, kDun,   "XO100007050000",         READ(RcvDataXO(n, t[0])),                0, "0 ''"},

        {kDun, kDun,   "XT1",                    READ(RcvDataXT(n)),                      1, "1"},
        {kCor, kCor,   "XT1",                    READ(RcvDataXT(n)),                      1, "1"},
        {kCor, kOther, "XT1",                    READ(RcvDataXT(n)),                      0, "0"},

        // The session's elapsed time and limit: no checks, zeros before the first session.
        {kCor, kOther, "",                       READ(RcvDataVEXA_ST(n, n + 1, n + 2, n + 3, n + 4, n + 5)), 1, "0 0 0 0 0 0"},
    };
    return cases;
}
// clang-format on

}  // namespace cmdtest
