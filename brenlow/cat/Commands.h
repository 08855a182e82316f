// The radio commands, one row each: the models that take the command, then its answer's layout in
// the cache (Parse, per model where the models' answers differ), its notification to the host
// (Notify), its encoders (Encode, a second one being the member with "2") and its accessors (Access).
// The families' tables (Encoders.cpp, Parsers.cpp, Notify.cpp, Accessors.cpp) are drawn from these
// rows when compiled; a part given models of its own serves only those of its command's.
//
// Parse: the fields in cache order (d, dd, ddd, num, text; AnswerTable.h), then its shape, Length{n}
// of an answer stored only at that length, Effect. Notify: the event code, then what lParam carries
// (the first value unless named). Encode: the read form (kSetOnly: none, and no mode string), the set
// form, each parameter's checks (both models, or Dunmore then Corrin; EncoderTable.h), what follows
// a set, and KeepsCache for a query that empties nothing; every other query empties what its answer
// fills. A read form with "%" prints the leading parameters unchecked; those that index the cache are
// bounded by its slots instead. Access: the stored values in cache order unless Outs names them.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>
#include <type_traits>

#include "CommandTable.h"
#include "HostMessages.h"

namespace brenlow {
namespace command_rows {

constexpr Models kDun = Models::Dunmore;
constexpr Models kCor = Models::Corrin;
constexpr Models kBoth = Models::Both;
constexpr After kBack = After::ReadBack;

// The fifteen values of the IF and OI answers: the frequency text, then fourteen numbers.
#define BRENLOW_STATUS_FIELDS                                                                        \
    text(2, 12, 20), num(13, 16), num(17, 22), d(23), d(24), d(25), num(26, 27), d(28), d(29), d(30), \
        d(31), d(32), d(33), num(34, 35), d(36)

// clang-format off
inline constexpr Command kCommands[] = {
    Command("AC", kBoth)
        .Parse({d(2), d(3), d(4)})
        .Notify(4096, Carry::Zero)
        .Encode("AC;", "AC%01d%01d%01d;", {Num(In(0, 1)), Num(In(0, 1), In(0, 2)), Num(In(0, 2), In(0, 1))})
        .Access(),
    Command("AG", kBoth)
        .Parse({num(3)}, Indexed{2})
        .Notify(4097, Carry::IndexValue)
        .Encode("AG%01d;", "AG%01d%03d;", {Num(In(0, 1), kZero), Num(In(0, 999))}, kBack)
        .Access(),
    Command("AI", kBoth)
        .Parse({d(2)})
        .Notify(kAutoInformationAnswer)
        .Encode("AI;", "AI%01d;", {Num(OneOf({0, 2}), In(0, 3))})
        .Access(),
    Command("AL", kDun).Parse({num(2)}).Notify(4099).Encode("AL;", "AL%03d;", {Num(In(0, 4))}, kBack).Access(),
    Command("AM", kDun).Parse({d(2)}).Notify(4195).Encode("AM;", "AM%01d;", {Num(In(0, 1))}).Access(),
    Command("AN", kBoth).Parse({d(2)}).Notify(4100).Encode("AN;", "AN%01d;", {Num(In(1, 2))}).Access(),
    Command("AR", kDun)
        .Parse({d(3), d(4)}, Indexed{2})
        .Notify(4185, Carry::IndexDigit)
        .Encode("AR%01d;", "AR%01d%01d%01d;", {Num(In(0, 1)), Num(In(0, 1)), Num(kUnchecked)})
        .Access(),
    Command("AS", kBoth)
        .Parse({d(2), num(3, 4), d(16), text(5, 15, 20)})
        .Notify(4186, Carry::Zero)
        .Encode("AS%01d%02d;", "AS%01d%02d%011I64d%01d;",
                {Num(In(0, 3), kZero), Num(In(0, 99)), Freq(), Num(In(0, 9))})
        .Access(Outs{V(0), V(1), T(0), V(2)}, TextFirst::Emptied),
    Command("BC", kBoth).Parse({d(2)}).Notify(4101).Encode("BC;", "BC%01d;", {Num(In(0, 2))}).Access(),
    Command("BD", kBoth).Notify(4102, Carry::Zero).Encode(kSetOnly, "BD;", {}),
    Command("BP", kDun).Parse({num(2)}).Notify(4103).Encode("BP;", "BP%03d;", {Num(In(0, 63))}, kBack).Access(),
    Command("BU", kBoth).Notify(4104, Carry::Zero).Encode(kSetOnly, "BU;", {}),
    Command("BY", kBoth).Parse({d(2), d(3)}).Notify(4105, Carry::HighLow).Encode(kSetOnly, "BY;", {}).Access(),
    Command("CA", kBoth).Parse({d(2)}).Notify(4106).Encode("CA;", "CA%01d;", {Num(In(0, 1))}).Access(),
    Command("CG", kDun).Parse({num(2)}).Notify(4107).Encode("CG;", "CG%03d;", {Num(In(0, 100))}, kBack).Access(),
    Command("CH", kBoth).Encode(kSetOnly, "CH%d;", {Num(In(0, 1))}),
    Command("CI", kDun).Notify(4108, Carry::Zero).Encode(kSetOnly, "CI;", {}),
    Command("CM", kDun).Parse({d(2)}).Notify(4109).Encode("CM;", "CM%01d;", {Num(In(0, 1))}).Access(),
    Command("CN", kBoth)
        .Parse({num(2)})
        .Notify(4110)
        .Encode("CN;", "CN%02d;", {Num(In(1, 99), In(0, 99))}, kBack)
        .Access(),
    Command("CR", kCor)
        .Parse({d(2), d(3), d(4)})
        .Notify(4218)
        .Encode("CR;", "CR%01d%01d;", {Num(In(0, 1)), Num(In(0, 2))})
        .Access(),
    Command("CT", kBoth).Parse({d(2)}).Notify(4111).Encode("CT;", "CT%01d;", {Num(In(0, 1))}).Access(),
    Command("DC", kDun)
        .Parse({d(2), d(3)})
        .Notify(4112, Carry::HighLow)
        .Encode("DC;", "DC%01d%01d;", {Num(In(0, 1)), Num(In(0, 1))})
        .Access(),
    Command("DL", kCor)
        .Parse({d(2), dd(3)})
        .Notify(4201, Carry::HighLow)
        .Encode("DL;", "DL%d%02d;", {Num(In(0, 1)), Num(In(0, 99))}, After::ReadNowIfW, Quirk::ChecksOnRead)
        .Access(),
    Command("DN", kBoth).Notify(4113, Carry::Zero).Encode(kSetOnly, "DN%02d;", {Num(In(0, 99))}, Quirk::BareWhenZero),
    Command("DQ", kDun).Parse({d(2)}).Notify(4114).Encode("DQ;", "DQ%01d;", {Num(In(0, 1))}).Access(),
    Command("EX", kBoth)
        .Parse({num(2, 4), num(5, 6), d(7), d(8), text(9, kToEnd, 20)}, Effect::ExTerminal)
        .Notify(4115, Carry::MenuNumber)
        .Encode("EX%03d%02d%01d%01d;", "EX%03d%02d%01d%01d%s;",
                {Num(In(0, 999)), Num(In(0, 99), kZero), Num(In(0, 9), kZero), Num(In(0, 9), kZero), Txt(AtMost(16))},
                kBack)
        .Access(),
    Command("FA", kBoth)
        .Parse({text(2, 12, 20)}, Length{13})
        .Notify(kFrequencyAAnswer, Carry::Notified)
        .Encode("FA;", "FA%011I64d;", {Freq()})
        .Access(TextFirst::EmptiedIfNone, Rearms::Entry),
    Command("FB", kBoth)
        .Parse({text(2, 12, 20)}, Length{13})
        .Notify(4117, Carry::Notified)
        .Encode("FB;", "FB%011I64d;", {Freq()})
        .Access(Rearms::Entry),
    Command("FC", kDun)
        .Parse({text(2, 12, 20)}, Length{13})
        .Notify(4118, Carry::Notified)
        .Encode("FC;", "FC%011I64d;", {Freq()})
        .Access(Rearms::Entry),
    Command("FD", kDun).Parse({text(2, kToEnd, 12)}).Notify(4119, Carry::Zero).Encode(kSetOnly, "FD;", {}).Access(),
    Command("FR", kBoth).Parse({d(2)}).Notify(4120).Encode("FR;", "FR%01d;", {Num(In(0, 3), In(0, 2))}).Access(),
    Command("FS", kBoth).Parse({d(2)}).Notify(4121).Encode("FS;", "FS%01d;", {Num(In(0, 1))}).Access(),
    Command("FT", kBoth).Parse({d(2)}).Notify(4122).Encode("FT;", "FT%01d;", {Num(In(0, 3), In(0, 1))}).Access(),
    Command("FW", kBoth).Parse({num(2)}).Notify(4123).Encode("FW;", "FW%04d;", {Num(In(0, 9999))}).Access(),
    Command("GT", kBoth).Parse({num(2)}).Notify(4124).Encode("GT;", "GT%03d;", {Num(In(0, 999))}, kBack).Access(),
    // The identity query ConnID and its accessor RcvDataID are Identification.cpp's.
    Command("ID", Models::Any).Parse({num(2)}, Shape::Identity).Notify(kIdentityAnswer, Carry::Identity),
    Command("IF", kBoth)
        .Parse({BRENLOW_STATUS_FIELDS}, Length{37})
        .Notify(kStatusAnswer, Carry::Zero)
        .Encode(kSetOnly, "IF;", {})
        .Access(),
    Command("IS", kBoth)
        .Parse({text(2, 2, 4), num(3)})
        .Notify(4127, Carry::Signed)
        .Encode("IS;", "IS%c%04d;", {Txt(kSingleBlank, kBlankOrMinus), Num(In(0, 9999))})
        .Access(),
    Command("KS", kBoth).Parse({num(2)}).Notify(4128).Encode("KS;", "KS%03d;", {Num(In(0, 999))}, kBack).Access(),
    // The radio's keyer buffer holds 24 characters; a longer message is refused, not cut.
    Command("KY", kBoth).Parse({d(2)}).Notify(4129).Encode("KY;", "KY %-24s;", {Txt(AtMost(24))}).Access(),
    Command("LK", kBoth)
        .Parse({d(2), d(3)})
        .Notify(4130, Carry::HighLow)
        .Encode("LK;", "LK%01d%01d;", {Num(In(0, 2), In(0, 1)), Num(In(0, 2), In(0, 1))})
        .Access(),
    Command("LM", kBoth)
        .Parse({d(2)}, kDun)
        .Parse({d(2), d(3), ddd(4)}, kCor)
        .Notify(4131)
        .Encode("LM;", "LM%01d;", {Num(In(0, 3))}, kDun)
        .Encode("LM;", "LM%01d%01d;", {Num(In(0, 3)), Num(In(0, 2))}, kCor)
        .Access(kDun)
        .Access(kCor),
    Command("LT", kDun).Parse({d(2)}).Notify(4132).Encode("LT;", "LT%01d;", {Num(In(0, 1))}).Access(),
    Command("MC", kBoth)
        .Parse({d(2), num(3)})
        .Notify(4133, Carry::HighLow)
        .Encode("MC;", "MC%01d%02d;", {Num(In(0, 2), kZero), Num(In(0, 99))})
        .Access(),
    Command("MD", kBoth).Parse({d(2)}).Notify(4134).Encode("MD;", "MD%01d;", {Num(In(1, 9).Except(8))}).Access(),
    Command("ME", kCor).Parse({d(2), d(3), d(4)}).Notify(4208, Carry::Zero).Encode(kSetOnly, "ME;", {}).Access(),
    Command("MF", kBoth).Parse({d(2)}).Notify(4188).Encode("MF;", "MF%01d;", {Num(In(0, 1))}).Access(),
    Command("MG", kBoth).Parse({num(2)}).Notify(4135).Encode("MG;", "MG%03d;", {Num(In(0, 999))}, kBack).Access(),
    Command("ML", kBoth).Parse({num(2)}).Notify(4136).Encode("ML;", "ML%03d;", {Num(In(0, 9))}, kBack).Access(),
    Command("MO", kDun).Parse({d(2)}).Notify(4137).Encode("MO;", "MO%01d;", {Num(In(0, 1))}).Access(),
    // The slot stores the two-digit value (38-39) before the nine-digit one (29-37); the accessor hands
    // them out in answer order.
    Command("MR", kBoth)
        .Parse({d(3), num(4, 5), d(17), d(18), d(19), num(20, 21), num(22, 23), num(24, 26), d(27), d(28), num(38, 39),
                num(29, 37), d(40), text(6, 16, 20), text(41, 48, 20)},
               Shape::MrSlot)
        .Notify(4138, Carry::SlotDigit)
        .Encode(kSetOnly, "MR%01d%01d%02d;", {Num(In(0, 1)), Num(In(0, 2), kZero), Num(In(0, 99))})
        .Access(Outs{V(0), V(1), T(0), V(2), V(3), V(4), V(5), V(6), V(7), V(8), V(9), V(11), V(10), V(12), T(1)}),
    Command("MU", kDun)
        .Parse({d(2), d(3), d(4), d(5), d(6), d(7), d(8), d(9), d(10), d(11)})
        .Notify(4189, Carry::Zero)
        .Encode("MU;", "MU%01d%01d%01d%01d%01d%01d%01d%01d%01d%01d;",
                {Num(In(0, 1)), Num(In(0, 1)), Num(In(0, 1)), Num(In(0, 1)), Num(In(0, 1)), Num(In(0, 1)),
                 Num(In(0, 1)), Num(In(0, 1)), Num(In(0, 1)), Num(In(0, 1))},
                kBack)
        .Access(),
    Command("MW", kBoth)
        .Notify(4139, Carry::Zero)
        .Encode(kSetOnly, "MW%01d%01d%02d%011I64d%01d%01d%01d%02d%02d%03d%01d%01d%09d%02d%01d%s;",
                {Num(In(0, 1)),                     // p1
                 Num(In(0, 9), kZero),              // p2
                 Num(In(0, 99)),                    // p3
                 Freq(),                            // frequency
                 Num(In(0, 9)),                     // p5
                 Num(In(0, 1)),                     // p6
                 Num(In(0, 3), In(0, 2)),           // p7
                 Num(In(0, 39), In(0, 99)),         // p8
                 Num(In(0, 38), In(0, 99)),         // p9
                 Num(In(0, 103), kZero),            // p10
                 Num(kUnchecked),                   // p11
                 Num(In(0, 9), kZero),              // p12
                 Num(In(0, 999'999'999), kZero),    // p13
                 Num(In(0, 99)),                    // p14
                 Num(In(0, 9)),                     // p15
                 Txt(AtMost(7), AtMost(8))}),       // name
    Command("NB", kBoth).Parse({d(2)}).Notify(4140).Encode("NB;", "NB%01d;", {Num(In(0, 1))}).Access(),
    Command("NL", kBoth).Parse({num(2)}).Notify(4141).Encode("NL;", "NL%03d;", {Num(In(0, 999))}, kBack).Access(),
    Command("NR", kBoth).Parse({d(2)}).Notify(4142).Encode("NR;", "NR%01d;", {Num(In(0, 2))}).Access(),
    Command("NT", kDun).Parse({d(2)}).Notify(4143).Encode("NT;", "NT%01d;", {Num(In(0, 1))}).Access(),
    Command("OF", kDun).Parse({num(2)}).Notify(4144).Encode("OF;", "OF%09d;", {Num(In(0, 59'950'000))}).Access(),
    Command("OI", kDun)
        .Parse({BRENLOW_STATUS_FIELDS}, Length{37})
        .Notify(4200, Carry::Zero)
        .Encode(kSetOnly, "OI;", {})
        .Access(),
    Command("OP", kCor).Parse({d(2), d(3), d(4)}).Notify(4202, Carry::Zero).Encode(kSetOnly, "OP;", {}).Access(),
    Command("OS", kDun).Parse({d(2)}).Notify(4145).Encode("OS;", "OS%01d;", {Num(In(0, 3))}).Access(),
    Command("PA", kBoth)
        .Parse({d(2), d(3)})
        .Notify(4147, Carry::HighLow)
        .Encode("PA;", "PA%01d;", {Num(In(0, 1))})
        .Access(),
    Command("PB", kBoth)
        .Parse({d(2)}, kDun)
        .Parse({d(2), d(3), d(4)}, kCor)
        .Notify(4148)
        .Encode("PB;", "PB%01d;", {Num(In(0, 3))})
        .Access(kDun)
        .Access(kCor),
    Command("PC", kBoth).Parse({num(2)}).Notify(4149).Encode("PC;", "PC%03d;", {Num(In(1, 999))}, kBack).Access(),
    Command("PI", kDun).Encode(kSetOnly, "PI%01d;", {Num(In(0, 5))}),
    Command("PK", kDun)
        .Parse({text(2, 12, 20), text(13, 24, 20), text(25, 44, 40), text(45, 49, 12)})
        .Notify(4198, Carry::Zero)
        .Access(),
    Command("PL", kBoth)
        .Parse({num(2, 4), num(5)})
        .Notify(4150, Carry::HighLow)
        .Encode("PL;", "PL%03d%03d;", {Num(In(0, 999)), Num(In(0, 999))}, kBack)
        .Access(),
    Command("PM", kDun).Parse({d(2)}).Notify(4194).Encode("PM;", "PM%01d;", {Num(In(0, 5))}).Access(),
    Command("PR", kBoth).Parse({d(2)}).Notify(4151).Encode("PR;", "PR%01d;", {Num(In(0, 1))}).Access(),
    Command("PS", kBoth)
        .Parse({d(2)})
        .Notify(kPowerStateAnswer)
        .Encode("PS;", "PS%01d;", {Num(In(0, 3), OneOf({0, 1, 9}))})
        .Access(),
    Command("QC", kDun).Parse({num(2)}).Notify(4146).Encode("QC;", "QC%03d;", {Num(In(0, 103))}, kBack).Access(),
    Command("QI", kBoth).Encode(kSetOnly, "QI;", {}),
    Command("QR", kBoth)
        .Parse({d(2), d(3)})
        .Notify(4190, Carry::HighLow)
        .Encode("QR;", "QR%01d%01d;", {Num(In(0, 1)), Num(In(0, 9))})
        .Access(),
    Command("RA", kBoth)
        .Parse({dd(2), dd(4)})
        .Notify(4153, Carry::HighLow)
        .Encode("RA;", "RA%02d;", {Num(In(0, 99))})
        .Access(),
    Command("RC", kBoth).Notify(4154, Carry::Zero).Encode(kSetOnly, "RC;", {}),
    Command("RD", kBoth)
        .Parse({num(2)})
        .Notify(4155)
        .Encode("RD;", "RD%05d;", {Num(In(0, 99999))}, After::ReadBackIfSc, Quirk::BareWhenZero)
        .Access(),
    Command("RG", kBoth).Parse({num(2)}).Notify(4159).Encode("RG;", "RG%03d;", {Num(In(0, 999))}, kBack).Access(),
    Command("RL", kBoth).Parse({num(2)}).Notify(4160).Encode("RL;", "RL%02d;", {Num(In(0, 9))}, kBack).Access(),
    // RM answers by meter index; its query names none and empties them all.
    Command("RM", kBoth)
        .Parse({num(3)}, Indexed{10})
        .Notify(4161, Carry::RmIndex)
        .Encode("RM;", "RM%01d;", {Num(In(0, 4))})
        .Access(Outs{kCurrentIndex, V(0)}, From::RmCurrent, Rearms::CurrentIndex)
        .Access(From::RmNotified, Rearms::AskedIndex),
    Command("RS", kCor).Parse({d(2)}).Notify(4203).Encode(kSetOnly, "RS;", {}).Access(),
    Command("RT", kBoth).Parse({d(2)}).Notify(4157).Encode("RT;", "RT%01d;", {Num(In(0, 1))}).Access(),
    Command("RU", kBoth)
        .Parse({num(2)})
        .Notify(4156)
        .Encode("RU;", "RU%05d;", {Num(In(0, 99999))}, After::ReadBackIfSc, Quirk::BareWhenZero)
        .Access(),
    Command("RX", kBoth).Parse({num(2)}).Notify(kReceiveAnswer).Encode(kSetOnly, "RX;", {}).Access(),
    Command("SA", kDun)
        .Parse({d(2), d(3), d(4), d(5), d(6), d(7), d(8), text(9, kToEnd, 12)})
        .Notify(4164)
        .Encode("SA;", "SA%01d%01d%01d%01d%01d%01d%01d;",
                {Num(In(0, 1)), Num(In(0, 9)), Num(In(0, 1)), Num(In(0, 1)), Num(In(0, 1)), Num(In(0, 1)), Num(In(0, 1)),
                 kUnusedText})
        .Access(),
    Command("SB", kDun).Parse({d(2)}).Notify(4165).Encode("SB;", "SB%01d;", {Num(In(0, 1))}).Access(),
    // The Corrin takes an SC value it has no setting for as done.
    Command("SC", kBoth)
        .Parse({d(2)}, kDun)
        .Parse({d(2), d(3)}, kCor)
        .Notify(4166, kDun)
        .Notify(4166, Carry::HighLow, kCor)
        .Encode("SC;", "SC%01d;", {Num(In(0, 6), OneOf({0, 1, 4, 5}).OrNothingSent())})
        .Access()
        .Access(kCor),
    Command("SD", kBoth).Parse({num(2)}).Notify(4167).Encode("SD;", "SD%04d;", {Num(In(0, 9999))}, kBack).Access(),
    Command("SH", kBoth).Parse({num(2)}).Notify(4168).Encode("SH;", "SH%02d;", {Num(In(0, 11), In(0, 13))}).Access(),
    Command("SI", kDun).Encode(kSetOnly, "SI%01d%s;", {Num(In(0, 9)), Txt(AtMost(8))}),
    Command("SL", kBoth).Parse({num(2)}).Notify(4169).Encode("SL;", "SL%02d;", {Num(In(0, 11))}).Access(),
    Command("SM", kBoth)
        .Parse({num(3)}, Indexed{4})
        .Notify(4170, Carry::SmIndex)
        .Encode(kSetOnly, "SM%01d;", {Num(In(0, 3), kZero)})
        .Access(Rearms::AskedIndex),
    Command("SQ", kBoth)
        .Parse({num(3)}, Indexed{2})
        .Notify(4171, Carry::IndexValue)
        .Encode("SQ%01d;", "SQ%01d%03d;", {Num(In(0, 1), kZero), Num(In(0, 999))}, kBack)
        .Access(),
    Command("SR", kBoth).Notify(4172, Carry::Zero).Encode(kSetOnly, "SR%01d;", {Num(In(1, 2))}),
    Command("SS", kBoth)
        .Parse({d(2)}, kDun)
        .Parse({text(4, kToEnd, 20)}, kCor, Shape::SsTable)
        .Notify(4191, kDun)
        .Notify(4191, Carry::TableDigits, kCor)
        .Encode("SS;", "SS%01d;", {Num(In(0, 2))}, kDun)
        .Encode("SS%01d%01d;", "SS%01d%01d%011I64d;", {Num(In(0, 9)), Num(In(0, 4)), Freq()}, After::ReadNow, kCor)
        .Access(kDun)
        .Access(kCor, TextFirst::ZeroedFour),
    Command("ST", kBoth).Parse({num(2)}).Notify(4173).Encode("ST;", "ST%02d;", {Num(In(0, 9))}).Access(),
    Command("SU", kBoth)
        .Parse({d(2), d(3), d(4), d(5), d(6), d(7), d(8), d(9), d(10), d(11), d(12)})
        .Notify(4192)
        .Encode("SU%01d;", "SU%01d%01d%01d%01d%01d%01d%01d%01d%01d%01d%01d;",
                {Num(In(0, 1)), Num(In(0, 9)), Num(In(0, 9)), Num(In(0, 9)), Num(In(0, 9)), Num(In(0, 9)), Num(In(0, 9)),
                 Num(In(0, 9)), Num(In(0, 9)), Num(In(0, 9)), Num(In(0, 9))},
                kBack)
        .Access(),
    Command("SV", kBoth).Notify(4204, Carry::Zero).Encode(kSetOnly, "SV;", {}),
    // TC writes set texts of its own (Encoders.cpp), and is the only command sent in terminal mode.
    Command("TC", kDun)
        .Parse({d(2), d(3)}, Effect::TcTerminal)
        .Notify(kComputerControlNotice, Carry::Zero)
        .Encode("TC;", nullptr, {Num(kUnchecked), Num(In(0, 1))}, Quirk::Transceiver)
        .Access(),
    Command("TD", kDun).Notify(4175, Carry::Zero).Encode(kSetOnly, "TD%02d;", {Num(In(0, 9))}),
    Command("TI", kDun)
        .Parse({d(2), d(3), d(4)})
        .Notify(4197, Carry::Zero)
        .Encode(kSetOnly, "TI;", {}, KeepsCache{})
        .Access(),
    Command("TN", kBoth)
        .Parse({num(2)})
        .Notify(4176)
        .Encode("TN;", "TN%02d;", {Num(In(1, 99), In(0, 99))}, kBack)
        .Access(),
    Command("TO", kBoth).Parse({d(2)}).Notify(4177).Encode("TO;", "TO%01d;", {Num(In(0, 3), In(0, 1))}).Access(),
    Command("TS", kBoth).Parse({d(2)}).Notify(4196).Encode("TS;", "TS%01d;", {Num(In(0, 1))}).Access(),
    Command("TX", kBoth)
        .Parse({num(2)})
        .Notify(kTransmitAnswer)
        .Encode(kSetOnly, "TX;", {}, kDun)
        .Encode(kSetOnly, "TX%d;", {Num(kUnchecked)}, kCor)
        .Access(),
    Command("TY", kBoth).Parse({d(4)}, Shape::Bits).Notify(4199, Carry::TyDigits).Encode(kSetOnly, "TY;", {}).Access(),
    Command("UL", kBoth).Parse({d(2)}).Notify(4193).Access(),
    Command("UP", kBoth).Notify(4178, Carry::Zero).Encode(kSetOnly, "UP%02d;", {Num(In(0, 99))}, Quirk::BareWhenZero),
    // The radio's text fields hold 128 characters; a longer text is refused, not cut.
    Command("UR", kBoth).Notify(4179, Carry::Zero).Encode(kSetOnly, "UR%128s;", {Txt(AtMost(128))}),
    Command("UT", kBoth).Notify(4180, Carry::Zero).Encode(kSetOnly, "UT%128s;", {Txt(AtMost(128))}),
    Command("VD", kBoth).Parse({num(2)}).Notify(4181).Encode("VD;", "VD%04d;", {Num(In(0, 9999))}, kBack).Access(),
    Command("VG", kBoth).Parse({num(2)}).Notify(4182).Encode("VG;", "VG%03d;", {Num(In(0, 999))}, kBack).Access(),
    Command("VR", kBoth).Notify(4183, Carry::Zero).Encode(kSetOnly, "VR%01d;", {Num(In(1, 2), In(0, 3))}),
    Command("VV", kCor).Notify(4205, Carry::Zero).Encode(kSetOnly, "VV;", {}),
    Command("VX", kBoth).Parse({d(2)}).Notify(4184).Encode("VX;", "VX%01d;", {Num(In(0, 1))}).Access(),
    Command("XI", kCor)
        .Parse({d(13), dd(14), text(2, 12, 20)}, Length{16})
        .Notify(4206, Carry::Zero)
        .Encode(kSetOnly, "XI;", {})
        .Access(Outs{T(0), V(0), V(1)}, TextFirst::ZeroedFour),
    Command("XO", kCor)
        .Parse({d(2), text(3, 13, 20)}, Length{14})
        .Notify(4207, Carry::Zero)
        .Encode("XO;", "XO%01d%011I64d;", {Num(In(0, 1)), Freq()}, After::ReadNowIfW)
        .Access(TextFirst::ZeroedFour),
    Command("XT", kBoth).Parse({d(2)}).Notify(4158).Encode("XT;", "XT%01d;", {Num(In(0, 1))}).Access(),
};
// clang-format on
#undef BRENLOW_STATUS_FIELDS

}  // namespace command_rows

using command_rows::kCommands;
inline constexpr std::size_t kCommandCount = std::size(kCommands);

namespace command_rows {

constexpr bool Overlap(Models a, Models b) {
    return a == Models::Any || b == Models::Any || (static_cast<int>(a) & static_cast<int>(b)) != 0;
}
constexpr Models Join(Models a, Models b) {
    if (a == Models::Any || b == Models::Any) return Models::Any;
    return static_cast<Models>(static_cast<int>(a) | static_cast<int>(b));
}

// The parts of one family, together, serve exactly their command's models; answers and
// notifications of one command never serve a model twice, so the lookup by letters finds each.
template <class Row>
constexpr bool PartsFit(const Command& c, const Variants<Row>& parts, bool disjoint) {
    if (parts.count == 0) return true;
    Models all = parts.rows[0].models;
    for (std::size_t i = 0; i < parts.count; ++i) {
        if (!Within(parts.rows[i].models, c.models)) return false;
        all = Join(all, parts.rows[i].models);
        for (std::size_t j = i + 1; disjoint && j < parts.count; ++j)
            if (Overlap(parts.rows[i].models, parts.rows[j].models)) return false;
    }
    return all == c.models;
}

constexpr bool IsLetter(char c) { return c >= 'A' && c <= 'Z'; }

constexpr bool RowsAreSound() {
    std::size_t layouts = 0;
    for (std::size_t i = 0; i < kCommandCount; ++i) {
        const Command& c = kCommands[i];
        if (!IsLetter(c.letters[0]) || !IsLetter(c.letters[1])) return false;
        if (i > 0 && std::string_view(kCommands[i - 1].letters) >= std::string_view(c.letters)) return false;
        if (!PartsFit(c, c.answers, true) || !PartsFit(c, c.notices, true) || !PartsFit(c, c.encoders, false) ||
            !PartsFit(c, c.accessors, false))
            return false;
        // Every cache entry is filled by its command's answers, and nothing is read that none fills.
        if ((c.entry != Answer::Count) != (c.answers.count > 0)) return false;
        for (const NotifyRow& n : c.notices)
            if (ReadsEntry(n.carry) && c.answers.count == 0) return false;
        layouts += c.answers.count > 0 ? 1 : 0;
    }
    return layouts == kAnswerCount;
}
static_assert(RowsAreSound(), "command rows: out of order, a part serving models its command does not, or a "
                              "cache entry without its answer's layout");

template <auto Part>
constexpr std::size_t PartCount() {
    std::size_t n = 0;
    for (const Command& c : kCommands) n += (c.*Part).count;
    return n;
}

}  // namespace command_rows

// One family's table drawn from the rows, in command order: Family<&Command::encoders>() and so on.
// Names are unique within a family: the letters are, and a second member adds "2".
template <auto Part>
constexpr auto Family() {
    using Row = std::remove_cvref_t<decltype((kCommands[0].*Part).rows[0])>;
    std::array<Row, command_rows::PartCount<Part>()> rows{};
    std::size_t i = 0;
    for (const Command& c : kCommands)
        for (const Row& r : c.*Part) rows[i++] = r;
    return rows;
}

// The row of the member `name` (after "Conn" or "RcvData") in a family's table; the table's size if none.
template <class Row, std::size_t N>
constexpr std::size_t MemberRow(const std::array<Row, N>& rows, std::string_view name) {
    for (std::size_t i = 0; i < N; ++i)
        if (std::string_view(rows[i].name) == name) return i;
    return N;
}

// Whether every row of a family belongs to a member of its member list (each member's entry point
// finds its row when compiled, so together: one member per row).
template <class Row, std::size_t N, std::size_t M>
constexpr bool EveryRowHasItsMember(const std::array<Row, N>& rows, const std::string_view (&members)[M]) {
    for (const Row& r : rows) {
        bool found = false;
        for (std::string_view m : members) found = found || m == std::string_view(r.name);
        if (!found) return false;
    }
    return true;
}

}  // namespace brenlow
