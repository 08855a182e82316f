// The CAT command encoders: one row per Conn member (letters, models, read and set forms, checks of
// each parameter per model, what follows a set, what a query empties in the answer cache), and the
// one routine the rows drive. The members are entry points that name their row.
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <type_traits>

#include "Brenlow.h"
#include "EncoderTable.h"
#include "RadioState.h"

namespace brenlow {
namespace {

using A = Answer;
constexpr Models kDun = Models::Dunmore;
constexpr Models kCor = Models::Corrin;
constexpr Models kBoth = Models::Both;
constexpr After kBack = After::ReadBack;

// clang-format off
constexpr EncoderRow kEncoders[] = {
    // Mode string and one number. Each read form empties the entry of its own letters.
    // name  models read    set           p1: both models, or Dunmore then Corrin          after set
    {"AI", kBoth, "AI;", "AI%01d;",     {Num(OneOf({0, 2}), In(0, 3))},                   After::None, Entry(A::AI)},
    {"AL", kDun,  "AL;", "AL%03d;",     {Num(In(0, 4))},                                  kBack,       Entry(A::AL)},
    {"AM", kDun,  "AM;", "AM%01d;",     {Num(In(0, 1))},                                  After::None, Entry(A::AM)},
    {"AN", kBoth, "AN;", "AN%01d;",     {Num(In(1, 2))},                                  After::None, Entry(A::AN)},
    {"BC", kBoth, "BC;", "BC%01d;",     {Num(In(0, 2))},                                  After::None, Entry(A::BC)},
    {"BP", kDun,  "BP;", "BP%03d;",     {Num(In(0, 63))},                                 kBack,       Entry(A::BP)},
    {"CA", kBoth, "CA;", "CA%01d;",     {Num(In(0, 1))},                                  After::None, Entry(A::CA)},
    {"CG", kDun,  "CG;", "CG%03d;",     {Num(In(0, 100))},                                kBack,       Entry(A::CG)},
    {"CM", kDun,  "CM;", "CM%01d;",     {Num(In(0, 1))},                                  After::None, Entry(A::CM)},
    {"CN", kBoth, "CN;", "CN%02d;",     {Num(In(1, 99), In(0, 99))},                      kBack,       Entry(A::CN)},
    {"CT", kBoth, "CT;", "CT%01d;",     {Num(In(0, 1))},                                  After::None, Entry(A::CT)},
    {"DQ", kDun,  "DQ;", "DQ%01d;",     {Num(In(0, 1))},                                  After::None, Entry(A::DQ)},
    {"FR", kBoth, "FR;", "FR%01d;",     {Num(In(0, 3), In(0, 2))},                        After::None, Entry(A::FR)},
    {"FS", kBoth, "FS;", "FS%01d;",     {Num(In(0, 1))},                                  After::None, Entry(A::FS)},
    {"FT", kBoth, "FT;", "FT%01d;",     {Num(In(0, 3), In(0, 1))},                        After::None, Entry(A::FT)},
    {"FW", kBoth, "FW;", "FW%04d;",     {Num(In(0, 9999))},                               After::None, Entry(A::FW)},
    {"GT", kBoth, "GT;", "GT%03d;",     {Num(In(0, 999))},                                kBack,       Entry(A::GT)},
    {"KS", kBoth, "KS;", "KS%03d;",     {Num(In(0, 999))},                                kBack,       Entry(A::KS)},
    {"LM", kDun,  "LM;", "LM%01d;",     {Num(In(0, 3))},                                  After::None, Entry(A::LM)},
    {"LT", kDun,  "LT;", "LT%01d;",     {Num(In(0, 1))},                                  After::None, Entry(A::LT)},
    {"MD", kBoth, "MD;", "MD%01d;",     {Num(In(1, 9).Except(8))},                        After::None, Entry(A::MD)},
    {"MF", kBoth, "MF;", "MF%01d;",     {Num(In(0, 1))},                                  After::None, Entry(A::MF)},
    {"MG", kBoth, "MG;", "MG%03d;",     {Num(In(0, 999))},                                kBack,       Entry(A::MG)},
    {"ML", kBoth, "ML;", "ML%03d;",     {Num(In(0, 9))},                                  kBack,       Entry(A::ML)},
    {"MO", kDun,  "MO;", "MO%01d;",     {Num(In(0, 1))},                                  After::None, Entry(A::MO)},
    {"NB", kBoth, "NB;", "NB%01d;",     {Num(In(0, 1))},                                  After::None, Entry(A::NB)},
    {"NL", kBoth, "NL;", "NL%03d;",     {Num(In(0, 999))},                                kBack,       Entry(A::NL)},
    {"NR", kBoth, "NR;", "NR%01d;",     {Num(In(0, 2))},                                  After::None, Entry(A::NR)},
    {"NT", kDun,  "NT;", "NT%01d;",     {Num(In(0, 1))},                                  After::None, Entry(A::NT)},
    {"OF", kDun,  "OF;", "OF%09d;",     {Num(In(0, 59'950'000))},                         After::None, Entry(A::OF)},
    {"OS", kDun,  "OS;", "OS%01d;",     {Num(In(0, 3))},                                  After::None, Entry(A::OS)},
    {"PA", kBoth, "PA;", "PA%01d;",     {Num(In(0, 1))},                                  After::None, Entry(A::PA)},
    {"PB", kBoth, "PB;", "PB%01d;",     {Num(In(0, 3))},                                  After::None, Entry(A::PB)},
    {"PC", kBoth, "PC;", "PC%03d;",     {Num(In(1, 999))},                                kBack,       Entry(A::PC)},
    {"PM", kDun,  "PM;", "PM%01d;",     {Num(In(0, 5))},                                  After::None, Entry(A::PM)},
    {"PR", kBoth, "PR;", "PR%01d;",     {Num(In(0, 1))},                                  After::None, Entry(A::PR)},
    {"PS", kBoth, "PS;", "PS%01d;",     {Num(In(0, 3), OneOf({0, 1, 9}))},                After::None, Entry(A::PS)},
    {"QC", kDun,  "QC;", "QC%03d;",     {Num(In(0, 103))},                                kBack,       Entry(A::QC)},
    {"RA", kBoth, "RA;", "RA%02d;",     {Num(In(0, 99))},                                 After::None, Entry(A::RA)},
    {"RD", kBoth, "RD;", "RD%05d;",     {Num(In(0, 99999))},                     After::ReadBackIfSc, Entry(A::RD), Quirk::BareWhenZero},
    {"RG", kBoth, "RG;", "RG%03d;",     {Num(In(0, 999))},                                kBack,       Entry(A::RG)},
    {"RL", kBoth, "RL;", "RL%02d;",     {Num(In(0, 9))},                                  kBack,       Entry(A::RL)},
    {"RM", kBoth, "RM;", "RM%01d;",     {Num(In(0, 4))},                                  After::None, Entry(A::RM)},
    {"RT", kBoth, "RT;", "RT%01d;",     {Num(In(0, 1))},                                  After::None, Entry(A::RT)},
    {"RU", kBoth, "RU;", "RU%05d;",     {Num(In(0, 99999))},                     After::ReadBackIfSc, Entry(A::RU), Quirk::BareWhenZero},
    {"SB", kDun,  "SB;", "SB%01d;",     {Num(In(0, 1))},                                  After::None, Entry(A::SB)},
    // The Corrin takes an SC value it has no setting for as done.
    {"SC", kBoth, "SC;", "SC%01d;",     {Num(In(0, 6), OneOf({0, 1, 4, 5}).OrNothingSent())}, After::None, Entry(A::SC)},
    {"SD", kBoth, "SD;", "SD%04d;",     {Num(In(0, 9999))},                               kBack,       Entry(A::SD)},
    {"SH", kBoth, "SH;", "SH%02d;",     {Num(In(0, 11), In(0, 13))},                      After::None, Entry(A::SH)},
    {"SL", kBoth, "SL;", "SL%02d;",     {Num(In(0, 11))},                                 After::None, Entry(A::SL)},
    {"SS", kDun,  "SS;", "SS%01d;",     {Num(In(0, 2))},                                  After::None, Entry(A::SS)},
    {"ST", kBoth, "ST;", "ST%02d;",     {Num(In(0, 9))},                                  After::None, Entry(A::ST)},
    {"TN", kBoth, "TN;", "TN%02d;",     {Num(In(1, 99), In(0, 99))},                      kBack,       Entry(A::TN)},
    {"TO", kBoth, "TO;", "TO%01d;",     {Num(In(0, 3), In(0, 1))},                        After::None, Entry(A::TO)},
    {"TS", kBoth, "TS;", "TS%01d;",     {Num(In(0, 1))},                                  After::None, Entry(A::TS)},
    {"VD", kBoth, "VD;", "VD%04d;",     {Num(In(0, 9999))},                               kBack,       Entry(A::VD)},
    {"VG", kBoth, "VG;", "VG%03d;",     {Num(In(0, 999))},                                kBack,       Entry(A::VG)},
    {"VX", kBoth, "VX;", "VX%01d;",     {Num(In(0, 1))},                                  After::None, Entry(A::VX)},
    {"XT", kBoth, "XT;", "XT%01d;",     {Num(In(0, 1))},                                  After::None, Entry(A::XT)},

    // Mode string and several parameters. A read form with "%" prints the leading parameters
    // unchecked; those that index the cache are bounded by its slots instead.
    {"AC", kBoth, "AC;", "AC%01d%01d%01d;",
     {Num(In(0, 1)), Num(In(0, 1), In(0, 2)), Num(In(0, 2), In(0, 1))},                    After::None, Entry(A::AC)},
    {"AG", kBoth, "AG%01d;", "AG%01d%03d;", {Num(In(0, 1), kZero), Num(In(0, 999))},         kBack,       Slot(A::AG, 2)},
    {"AR", kDun,  "AR%01d;", "AR%01d%01d%01d;", {Num(In(0, 1)), Num(In(0, 1)), Num(kUnchecked)}, After::None, Slot(A::AR, 2)},
    {"AS", kBoth, "AS%01d%02d;", "AS%01d%02d%011I64d%01d;",
     {Num(In(0, 3), kZero), Num(In(0, 99)), Freq(), Num(In(0, 9))},                         After::None, Entry(A::AS)},
    {"CR", kCor,  "CR;", "CR%01d%01d;", {Num(In(0, 1)), Num(In(0, 2))},                      After::None, Entry(A::CR)},
    {"DC", kDun,  "DC;", "DC%01d%01d;", {Num(In(0, 1)), Num(In(0, 1))},                      After::None, Entry(A::DC)},
    {"DL", kCor,  "DL;", "DL%d%02d;",   {Num(In(0, 1)), Num(In(0, 99))},          After::ReadNowIfW, Entry(A::DL), Quirk::ChecksOnRead},
    {"EX", kBoth, "EX%03d%02d%01d%01d;", "EX%03d%02d%01d%01d%s;",
     {Num(In(0, 999)), Num(In(0, 99), kZero), Num(In(0, 9), kZero), Num(In(0, 9), kZero), Txt(AtMost(16))},
     kBack, Entry(A::EX)},
    {"FA", kBoth, "FA;", "FA%011I64d;", {Freq()},                                            After::None, Entry(A::FA)},
    {"FB", kBoth, "FB;", "FB%011I64d;", {Freq()},                                            After::None, Entry(A::FB)},
    {"FC", kDun,  "FC;", "FC%011I64d;", {Freq()},                                            After::None, Entry(A::FC)},
    {"IS", kBoth, "IS;", "IS%c%04d;",   {Txt(kSingleBlank, kBlankOrMinus), Num(In(0, 9999))}, After::None, Entry(A::IS)},
    // The radio's keyer buffer holds 24 characters; a longer message is refused, not cut.
    {"KY", kBoth, "KY;", "KY %-24s;",   {Txt(AtMost(24))},                                   After::None, Entry(A::KY)},
    {"LK", kBoth, "LK;", "LK%01d%01d;", {Num(In(0, 2), In(0, 1)), Num(In(0, 2), In(0, 1))}, After::None, Entry(A::LK)},
    {"LM2", kCor, "LM;", "LM%01d%01d;", {Num(In(0, 3)), Num(In(0, 2))},                      After::None, Entry(A::LM)},
    {"MC", kBoth, "MC;", "MC%01d%02d;", {Num(In(0, 2), kZero), Num(In(0, 99))},              After::None, Entry(A::MC)},
    {"MU", kDun,  "MU;", "MU%01d%01d%01d%01d%01d%01d%01d%01d%01d%01d;",
     {Num(In(0, 1)), Num(In(0, 1)), Num(In(0, 1)), Num(In(0, 1)), Num(In(0, 1)),
      Num(In(0, 1)), Num(In(0, 1)), Num(In(0, 1)), Num(In(0, 1)), Num(In(0, 1))},           kBack,       Entry(A::MU)},
    {"PL", kBoth, "PL;", "PL%03d%03d;", {Num(In(0, 999)), Num(In(0, 999))},                  kBack,       Entry(A::PL)},
    {"QR", kBoth, "QR;", "QR%01d%01d;", {Num(In(0, 1)), Num(In(0, 9))},                      After::None, Entry(A::QR)},
    {"SA", kDun,  "SA;", "SA%01d%01d%01d%01d%01d%01d%01d;",
     {Num(In(0, 1)), Num(In(0, 9)), Num(In(0, 1)), Num(In(0, 1)), Num(In(0, 1)), Num(In(0, 1)), Num(In(0, 1)),
      kUnusedText},                                                                          After::None, Entry(A::SA)},
    {"SQ", kBoth, "SQ%01d;", "SQ%01d%03d;", {Num(In(0, 1), kZero), Num(In(0, 999))},         kBack,       Slot(A::SQ, 2)},
    {"SS2", kCor, "SS%01d%01d;", "SS%01d%01d%011I64d;", {Num(In(0, 9)), Num(In(0, 4)), Freq()}, After::ReadNow, kTableSlot},
    {"SU", kBoth, "SU%01d;", "SU%01d%01d%01d%01d%01d%01d%01d%01d%01d%01d%01d;",
     {Num(In(0, 1)), Num(In(0, 9)), Num(In(0, 9)), Num(In(0, 9)), Num(In(0, 9)), Num(In(0, 9)),
      Num(In(0, 9)), Num(In(0, 9)), Num(In(0, 9)), Num(In(0, 9)), Num(In(0, 9))},           kBack,       Entry(A::SU)},
    {"TC", kDun,  "TC;", nullptr,       {Num(kUnchecked), Num(In(0, 1))},                    After::None, Entry(A::TC), Quirk::Transceiver},
    {"XO", kCor,  "XO;", "XO%01d%011I64d;", {Num(In(0, 1)), Freq()},                         After::ReadNowIfW, Entry(A::XO)},

    // Set only, no mode string. What they empty, they empty before their write.
    {"CH", kBoth, nullptr, "CH%d;",     {Num(In(0, 1))}},
    {"DN", kBoth, nullptr, "DN%02d;",   {Num(In(0, 99))},                                    After::None, kNothing, Quirk::BareWhenZero},
    {"MR", kBoth, nullptr, "MR%01d%01d%02d;", {Num(In(0, 1)), Num(In(0, 2), kZero), Num(In(0, 99))}, After::None, kMemorySlot},
    {"MW", kBoth, nullptr, "MW%01d%01d%02d%011I64d%01d%01d%01d%02d%02d%03d%01d%01d%09d%02d%01d%s;",
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
      Txt(AtMost(7), AtMost(8))}},       // name
    {"PI", kDun,  nullptr, "PI%01d;",   {Num(In(0, 5))}},
    {"SI", kDun,  nullptr, "SI%01d%s;", {Num(In(0, 9)), Txt(AtMost(8))}},
    {"SM", kBoth, nullptr, "SM%01d;",   {Num(In(0, 3), kZero)},                              After::None, Slot(A::SM, 4)},
    {"SR", kBoth, nullptr, "SR%01d;",   {Num(In(1, 2))}},
    {"TD", kDun,  nullptr, "TD%02d;",   {Num(In(0, 9))}},
    {"TX2", kCor, nullptr, "TX%d;",     {Num(kUnchecked)},                                   After::None, Entry(A::TX)},
    {"UP", kBoth, nullptr, "UP%02d;",   {Num(In(0, 99))},                                    After::None, kNothing, Quirk::BareWhenZero},
    // The radio's text fields hold 128 characters; a longer text is refused, not cut.
    {"UR", kBoth, nullptr, "UR%128s;",  {Txt(AtMost(128))}},
    {"UT", kBoth, nullptr, "UT%128s;",  {Txt(AtMost(128))}},
    {"VR", kBoth, nullptr, "VR%01d;",   {Num(In(1, 2), In(0, 3))}},

    // No parameters: the two letters and ";".
    {"BD", kBoth, nullptr, "BD;", {}},
    {"BU", kBoth, nullptr, "BU;", {}},
    {"BY", kBoth, nullptr, "BY;", {}, After::None, Entry(A::BY)},
    {"CI", kDun,  nullptr, "CI;", {}},
    {"FD", kDun,  nullptr, "FD;", {}, After::None, Entry(A::FD)},
    {"IF", kBoth, nullptr, "IF;", {}, After::None, Entry(A::IF)},
    {"ME", kCor,  nullptr, "ME;", {}, After::None, Entry(A::ME)},
    {"OI", kDun,  nullptr, "OI;", {}, After::None, Entry(A::OI)},
    {"OP", kCor,  nullptr, "OP;", {}, After::None, Entry(A::OP)},
    {"QI", kBoth, nullptr, "QI;", {}},
    {"RC", kBoth, nullptr, "RC;", {}},
    {"RS", kCor,  nullptr, "RS;", {}, After::None, Entry(A::RS)},
    {"RX", kBoth, nullptr, "RX;", {}, After::None, Entry(A::RX)},
    {"SV", kBoth, nullptr, "SV;", {}},
    {"TI", kDun,  nullptr, "TI;", {}},
    {"TX", kDun,  nullptr, "TX;", {}, After::None, Entry(A::TX)},
    {"TY", kBoth, nullptr, "TY;", {}, After::None, Entry(A::TY)},
    {"VV", kCor,  nullptr, "VV;", {}},
    {"XI", kCor,  nullptr, "XI;", {}, After::None, Entry(A::XI)},
};
// clang-format on

constexpr std::size_t kRowCount = sizeof kEncoders / sizeof kEncoders[0];

// The format's letters and conversions agree with the row: the set form takes every parameter in
// order (unused texts aside), the read form only leading numbers.
constexpr bool FormatFits(const char* format, const EncoderRow& r, bool readForm) {
    std::string_view f(format);
    if (f.size() < 3 || f[0] != r.name[0] || f[1] != r.name[1] || f.back() != ';') return false;
    std::size_t pos = 0, p = 0;
    std::string_view literal;
    Conversion c;
    while (NextConversion(f, pos, literal, c)) {
        while (p < r.paramCount && r.params[p].kind == Kind::Unused) ++p;
        if (p >= r.paramCount || r.params[p].kind != c.kind) return false;
        if (readForm && c.kind != Kind::Number) return false;
        ++p;
    }
    if (literal.data() + literal.size() != f.data() + f.size()) return false;  // a conversion not used here
    if (readForm) return true;
    while (p < r.paramCount && r.params[p].kind == Kind::Unused) ++p;
    return p == r.paramCount;
}

constexpr bool FirstIsNumber(const EncoderRow& r, std::size_t count) {
    if (r.paramCount < count) return false;
    for (std::size_t i = 0; i < count; ++i)
        if (r.params[i].kind != Kind::Number) return false;
    return true;
}

constexpr bool RowIsSound(const EncoderRow& r) {
    std::string_view name(r.name);
    if (name.size() < 2 || name.size() > 3 || name[0] < 'A' || name[0] > 'Z' || name[1] < 'A' || name[1] > 'Z') return false;
    if (name.size() == 3 && name[2] != '2') return false;
    if (r.quirk == Quirk::Transceiver ? r.set != nullptr : !FormatFits(r.set, r, false)) return false;
    if (r.read && !FormatFits(r.read, r, true)) return false;
    if (r.read && r.clears.how == Clears::How::Nothing) return false;  // every query empties its entry
    if (r.after != After::None && !r.read) return false;
    switch (r.clears.how) {
    case Clears::How::Nothing:
    case Clears::How::Entry: break;
    case Clears::How::Index:
        if (r.clears.slots == 0 || r.clears.slots > kMaxIndexes || !FirstIsNumber(r, 1)) return false;
        if (r.clears.entry != Answer::AG && r.clears.entry != Answer::AR && r.clears.entry != Answer::SQ &&
            r.clears.entry != Answer::SM)
            return false;
        break;
    case Clears::How::MrSlot:
        if (!FirstIsNumber(r, 1)) return false;
        break;
    case Clears::How::SsSlot:
        if (!FirstIsNumber(r, 2)) return false;
        break;
    }
    if (r.quirk == Quirk::BareWhenZero && !FirstIsNumber(r, 1)) return false;
    return true;
}

constexpr bool TableIsSound() {
    for (std::size_t i = 0; i < kRowCount; ++i) {
        if (!RowIsSound(kEncoders[i])) return false;
        for (std::size_t j = i + 1; j < kRowCount; ++j)
            if (std::string_view(kEncoders[i].name) == std::string_view(kEncoders[j].name)) return false;
    }
    return true;
}
static_assert(TableIsSound(), "encoder table: a format that does not fit its parameters, or a name used twice");

constexpr std::size_t RowOf(std::string_view name) {
    for (std::size_t i = 0; i < kRowCount; ++i)
        if (std::string_view(kEncoders[i].name) == name) return i;
    return kRowCount;
}

// Each row belongs to a member of the member list (each member's entry point finds its row).
constexpr std::string_view kEncoderMembers[] = {
#define BRENLOW_ENCODER_NAME(name, how, parameters, arguments) #name,
    BRENLOW_ENCODERS(BRENLOW_ENCODER_NAME)
#undef BRENLOW_ENCODER_NAME
};

constexpr bool EveryRowHasItsMember() {
    for (const EncoderRow& r : kEncoders)
        if (std::find(std::begin(kEncoderMembers), std::end(kEncoderMembers), std::string_view(r.name)) ==
            std::end(kEncoderMembers))
            return false;
    return true;
}
static_assert(EveryRowHasItsMember(), "encoder table: a row that no member of BRENLOW_ENCODERS uses");

// One member argument as the member received it.
struct Arg {
    unsigned number = 0;
    const unsigned char* text = nullptr;
    constexpr Arg(unsigned n) : number(n) {}
    constexpr Arg(const unsigned char* t) : text(t) {}
};

// One parameter ready for checking and printing.
struct Value {
    std::int64_t number = 0;    // a number, or the frequency text's value
    const char* text = nullptr;
};

// Decimal text as the radio's frequency: blanks, an optional sign, digits up to the first other
// character; no digits give 0. Values too large for any check are held at a value every check refuses.
std::int64_t FrequencyOf(const char* t) {
    while (*t == ' ' || (*t >= '\t' && *t <= '\r')) ++t;
    bool negative = false;
    if (*t == '+' || *t == '-') negative = *t++ == '-';
    std::int64_t v = 0;
    for (; *t >= '0' && *t <= '9'; ++t)
        if (v <= kFrequencyMax) v = v * 10 + (*t - '0');
    return negative ? -v : v;
}

// Frequency texts are read before the mode is looked at, so they must be texts even for a read.
bool Collect(const EncoderRow& row, const Arg* args, Value* values) {
    for (std::size_t i = 0; i < row.paramCount; ++i) {
        const char* text = reinterpret_cast<const char*>(args[i].text);
        switch (row.params[i].kind) {
        case Kind::Number: values[i].number = args[i].number; break;
        case Kind::Frequency:
            if (!text) return false;
            values[i].number = FrequencyOf(text);
            break;
        case Kind::Text:
            if (!text) return false;
            values[i].text = text;
            break;
        case Kind::Unused: break;
        }
    }
    return true;
}

bool Passes(const Check& c, const Value& v) {
    switch (c.rule) {
    case Check::Rule::None: return true;
    case Check::Rule::Range:
        if (v.number < c.lo || v.number > c.hi) return false;
        return c.allowed == 0 || (v.number < 64 && (c.allowed >> v.number) & 1u);
    case Check::Rule::Length: return static_cast<std::int64_t>(::strnlen(v.text, static_cast<std::size_t>(c.hi) + 1)) <= c.hi;
    case Check::Rule::SingleBlank: return v.text[0] == ' ' && v.text[1] == '\0';
    case Check::Rule::BlankOrMinus: return v.text[0] == ' ' || v.text[0] == '-';
    }
    return false;
}

enum class Verdict { Send, Refuse, Skip };

Verdict Judge(const EncoderRow& row, const Value* values, std::uint32_t modelId) {
    for (std::size_t i = 0; i < row.paramCount; ++i) {
        const Check& c = modelId == kDunmore ? row.params[i].dunmore : row.params[i].corrin;
        if (!Passes(c, values[i])) return c.failureIsSuccess ? Verdict::Skip : Verdict::Refuse;
    }
    return Verdict::Send;
}

void AppendPadded(std::string& out, std::string_view s, unsigned width, bool left, char pad) {
    std::size_t fill = s.size() < width ? width - s.size() : 0;
    if (!left) out.append(fill, pad);
    out.append(s);
    if (left) out.append(fill, pad);
}

std::string Render(const char* format, const EncoderRow& row, const Value* values) {
    std::string out;
    std::string_view f(format), literal;
    std::size_t pos = 0, p = 0;
    Conversion c;
    while (NextConversion(f, pos, literal, c)) {
        out.append(literal);
        while (row.params[p].kind == Kind::Unused) ++p;
        const Value& v = values[p++];
        if (c.kind == Kind::Text) {
            if (c.firstCharacter)
                out.push_back(v.text[0]);
            else
                AppendPadded(out, v.text, c.width, c.leftJustify, ' ');
            continue;
        }
        char digits[24];
        const char* end = std::to_chars(digits, digits + sizeof digits, v.number).ptr;
        AppendPadded(out, std::string_view(digits, static_cast<std::size_t>(end - digits)), c.width, false,
                     c.zeroPad ? '0' : ' ');
    }
    out.append(literal);
    return out;
}

// Empties what a query reads, so that its accessor reports nothing until the fresh answer is parsed.
// False when the query's index has no slot in the cache.
bool Empty(const Clears& clears, const Value* values, RadioState& s) {
    std::scoped_lock g(s.cacheLock);
    AnswerCache& cache = s.cache;
    switch (clears.how) {
    case Clears::How::Nothing: return true;
    case Clears::How::Entry: cache.Clear(clears.entry); return true;
    case Clears::How::Index: {
        auto i = static_cast<std::uint64_t>(values[0].number);
        if (i >= clears.slots) return false;
        IndexedEntry& e = *cache.Indexed(clears.entry);
        e.validAt[i] = 0;
        e.notified[i] = 0;
        e.value[i][0] = e.value[i][1] = 0;
        return true;
    }
    case Clears::How::MrSlot: {
        auto i = static_cast<std::uint64_t>(values[0].number);
        if (i >= 2) return false;
        std::memset(static_cast<void*>(&cache.mrSlot[i]), 0, sizeof cache.mrSlot[i]);
        return true;
    }
    case Clears::How::SsSlot: {
        auto a = static_cast<std::uint64_t>(values[0].number), b = static_cast<std::uint64_t>(values[1].number);
        if (a >= kSsTableSize || b >= kSsTableSize) return false;
        cache.ssTable[a][b] = TableSlot{};
        return true;
    }
    }
    return false;
}

bool IsReadMode(const char* mode) { return std::strcmp(mode, "R") == 0; }

int Run(const EncoderRow& row, const char* mode, const Arg* args);

// After a set: read the new value back into the cache, at once or after the radio's 10 ms.
void FollowUp(const EncoderRow& row, const char* mode, const Arg* args) {
    switch (row.after) {
    case After::None: return;
    case After::ReadBackIfSc: {
        RadioState& s = State();
        std::scoped_lock g(s.cacheLock);
        if (s.cache[Answer::SC].value[0] == 0) return;
    }
        [[fallthrough]];
    case After::ReadBack: std::this_thread::sleep_for(std::chrono::milliseconds(10)); break;
    case After::ReadNow: break;
    case After::ReadNowIfW:
        if (std::strcmp(mode, "W") != 0) return;
        break;
    }
    Run(row, "R", args);
}

int Run(const EncoderRow& row, const char* mode, const Arg* args) {
    RadioState& s = State();
    if (!s.comPortOpen.load() || s.terminalMode.load()) return 0;
    Value values[kMaxParams];
    if (!Collect(row, args, values)) return 0;
    if (row.read && !mode) return 0;
    const bool read = row.read && IsReadMode(mode);
    const std::uint32_t modelId = s.modelId.load();
    if (!Serves(row.models, modelId)) return 0;
    if (!read || row.quirk == Quirk::ChecksOnRead) {
        switch (Judge(row, values, modelId)) {
        case Verdict::Send: break;
        case Verdict::Refuse: return 0;
        case Verdict::Skip: return 1;
        }
    }
    if ((read || !row.read) && !Empty(row.clears, values, s)) return 0;
    std::string command;
    if (read)
        command = Render(row.read, row, values);
    else if (row.quirk == Quirk::BareWhenZero && values[0].number == 0)
        command = std::string{row.name[0], row.name[1], ';'};
    else
        command = Render(row.set, row, values);
    const int result = WriteRadio(s, command);
    if (!read) FollowUp(row, mode, args);
    return result;
}

template <class... Args>
constexpr bool ArgumentsFit(const EncoderRow& r) {
    if (sizeof...(Args) != r.paramCount) return false;
    constexpr bool isText[] = {std::is_same_v<Args, const unsigned char*>..., false};
    for (std::size_t i = 0; i < sizeof...(Args); ++i)
        if (isText[i] != (r.params[i].kind != Kind::Number)) return false;
    return true;
}

template <MemberName name, class... Args>
int Encode(const char* mode, Args... args) {
    constexpr std::size_t row = RowOf(name.View());
    static_assert(row < kRowCount, "no encoder row of this name");
    static_assert(ArgumentsFit<Args...>(kEncoders[row]), "the member's arguments do not fit its row");
    const Arg list[sizeof...(Args) + 1] = {Arg(args)..., Arg(0u)};
    return Run(kEncoders[row], mode, list);
}

constexpr const EncoderRow& kTransceiver = kEncoders[RowOf("TC")];
static_assert(kTransceiver.quirk == Quirk::Transceiver);
// "TC 0" puts the radio's serial line into terminal mode; ETX before "TC 1" ends any text in progress.
constexpr std::string_view kTransceiverSet[] = {"\rTC 0;", "\x03;\rTC 1;\r"};

}  // namespace
}  // namespace brenlow

using brenlow::Encode;

#define BRENLOW_ENCODER_Table(name, parameters, arguments) \
    int CBrenlow::Conn##name parameters { return Encode<#name>(BRENLOW_UNPACK arguments); }
#define BRENLOW_ENCODER_Own(name, parameters, arguments)
#define BRENLOW_DEFINE_ENCODER(name, how, parameters, arguments) BRENLOW_ENCODER_##how(name, parameters, arguments)
BRENLOW_ENCODERS(BRENLOW_DEFINE_ENCODER)
#undef BRENLOW_DEFINE_ENCODER
#undef BRENLOW_ENCODER_Own
#undef BRENLOW_ENCODER_Table

// TC is how the host takes the radio's line out of terminal mode, so it alone is sent while that
// mode is on, and its "TC 1" form ends the mode here before the radio has answered.
int CBrenlow::ConnTC(const char* mode, unsigned p1, unsigned p2) {
    using namespace brenlow;
    RadioState& s = State();
    if (!s.comPortOpen.load() || !mode) return 0;
    const std::uint32_t modelId = s.modelId.load();
    if (!Serves(kTransceiver.models, modelId)) return 0;
    if (IsReadMode(mode)) {
        Empty(kTransceiver.clears, nullptr, s);
        return WriteRadio(s, kTransceiver.read);
    }
    const Value values[] = {{p1, nullptr}, {p2, nullptr}};
    if (Judge(kTransceiver, values, modelId) != Verdict::Send) return 0;
    if (p2 == 1) s.terminalMode = 0;
    return WriteRadio(s, kTransceiverSet[p2]);
}
