// Answer notifications: for every answer the host is told, one table row with its identities,
// event code and the value it carries. Posted to the registered host window, never waited for.
#include <cstring>

#include "AnswerTable.h"
#include "Brenlow.h"
#include "RadioState.h"

namespace brenlow {
namespace {

enum class Carry : std::uint8_t {
    Zero,         // lParam 0
    Value,        // the entry's value `a`
    HighLow,      // value `a` shifted left by 16, plus value `b`
    Notified,     // FA, FB, FC: once per read, lParam 0
    IndexValue,   // AG, SQ: index digit 0 or 1; index and that index's value
    IndexDigit,   // AR: index digit 0 or 1; the digit
    SmIndex,      // SM: index digit 0 to 3, once per read; the index
    RmIndex,      // RM: once per read of that index; index and its value
    SlotDigit,    // MR: the digit at position 2
    MenuNumber,   // EX: positions 2 to 8 as one decimal number
    Signed,       // IS: the value, negated for a minus sign
    Identity,     // ID: the new identity
    TableDigits,  // SS of identity 20: the two slot digits
    TyDigits,     // TY: positions 2 and 3 as two decimal digits, then d(4)
};

struct NotifyRow {
    char letters[3];
    Models models;
    unsigned code;
    Carry carry;
    Answer entry;
    std::uint8_t a, b;
};

using A = Answer;
constexpr Models kDun = Models::Dunmore;
constexpr Models kCor = Models::Corrin;
constexpr Models kBoth = Models::Both;
constexpr Carry kZero = Carry::Zero;
constexpr Answer kNoEntry = Answer::Count;  // commands the cache keeps nothing of
constexpr Carry kValue = Carry::Value;
constexpr Carry kHighLow = Carry::HighLow;

constexpr NotifyRow kNotifications[] = {
    {"AC", kBoth, 4096, kZero, A::AC, 0, 0},
    {"AG", kBoth, 4097, Carry::IndexValue, A::AG, 0, 0},
    {"AI", kBoth, kAutoInformationAnswer, kValue, A::AI, 0, 0},
    {"AL", kDun, 4099, kValue, A::AL, 0, 0},
    {"AM", kDun, 4195, kValue, A::AM, 0, 0},
    {"AN", kBoth, 4100, kValue, A::AN, 0, 0},
    {"AR", kDun, 4185, Carry::IndexDigit, A::AR, 0, 0},
    {"AS", kBoth, 4186, kZero, A::AS, 0, 0},
    {"BC", kBoth, 4101, kValue, A::BC, 0, 0},
    {"BD", kBoth, 4102, kZero, kNoEntry, 0, 0},
    {"BP", kDun, 4103, kValue, A::BP, 0, 0},
    {"BU", kBoth, 4104, kZero, kNoEntry, 0, 0},
    {"BY", kBoth, 4105, kHighLow, A::BY, 0, 1},
    {"CA", kBoth, 4106, kValue, A::CA, 0, 0},
    {"CG", kDun, 4107, kValue, A::CG, 0, 0},
    {"CI", kDun, 4108, kZero, kNoEntry, 0, 0},
    {"CM", kDun, 4109, kValue, A::CM, 0, 0},
    {"CN", kBoth, 4110, kValue, A::CN, 0, 0},
    {"CR", kCor, 4218, kValue, A::CR, 0, 0},
    {"CT", kBoth, 4111, kValue, A::CT, 0, 0},
    {"DC", kDun, 4112, kHighLow, A::DC, 0, 1},
    {"DL", kCor, 4201, kHighLow, A::DL, 0, 1},
    {"DN", kBoth, 4113, kZero, kNoEntry, 0, 0},
    {"DQ", kDun, 4114, kValue, A::DQ, 0, 0},
    {"EX", kBoth, 4115, Carry::MenuNumber, A::EX, 0, 0},
    {"FA", kBoth, kFrequencyAAnswer, Carry::Notified, A::FA, 0, 0},
    {"FB", kBoth, 4117, Carry::Notified, A::FB, 0, 0},
    {"FC", kDun, 4118, Carry::Notified, A::FC, 0, 0},
    {"FD", kDun, 4119, kZero, A::FD, 0, 0},
    {"FR", kBoth, 4120, kValue, A::FR, 0, 0},
    {"FS", kBoth, 4121, kValue, A::FS, 0, 0},
    {"FT", kBoth, 4122, kValue, A::FT, 0, 0},
    {"FW", kBoth, 4123, kValue, A::FW, 0, 0},
    {"GT", kBoth, 4124, kValue, A::GT, 0, 0},
    {"ID", Models::Any, kIdentityAnswer, Carry::Identity, A::ID, 0, 0},
    {"IF", kBoth, kStatusAnswer, kZero, A::IF, 0, 0},
    {"IS", kBoth, 4127, Carry::Signed, A::IS, 0, 0},
    {"KS", kBoth, 4128, kValue, A::KS, 0, 0},
    {"KY", kBoth, 4129, kValue, A::KY, 0, 0},
    {"LK", kBoth, 4130, kHighLow, A::LK, 0, 1},
    {"LM", kBoth, 4131, kValue, A::LM, 0, 0},
    {"LT", kDun, 4132, kValue, A::LT, 0, 0},
    {"MC", kBoth, 4133, kHighLow, A::MC, 0, 1},
    {"MD", kBoth, 4134, kValue, A::MD, 0, 0},
    {"ME", kCor, 4208, kZero, A::ME, 0, 0},
    {"MF", kBoth, 4188, kValue, A::MF, 0, 0},
    {"MG", kBoth, 4135, kValue, A::MG, 0, 0},
    {"ML", kBoth, 4136, kValue, A::ML, 0, 0},
    {"MO", kDun, 4137, kValue, A::MO, 0, 0},
    {"MR", kBoth, 4138, Carry::SlotDigit, A::MR, 0, 0},
    {"MU", kDun, 4189, kZero, A::MU, 0, 0},
    {"MW", kBoth, 4139, kZero, kNoEntry, 0, 0},
    {"NB", kBoth, 4140, kValue, A::NB, 0, 0},
    {"NL", kBoth, 4141, kValue, A::NL, 0, 0},
    {"NR", kBoth, 4142, kValue, A::NR, 0, 0},
    {"NT", kDun, 4143, kValue, A::NT, 0, 0},
    {"OF", kDun, 4144, kValue, A::OF, 0, 0},
    {"OI", kDun, 4200, kZero, A::OI, 0, 0},
    {"OP", kCor, 4202, kZero, A::OP, 0, 0},
    {"OS", kDun, 4145, kValue, A::OS, 0, 0},
    {"PA", kBoth, 4147, kHighLow, A::PA, 0, 1},
    {"PB", kBoth, 4148, kValue, A::PB, 0, 0},
    {"PC", kBoth, 4149, kValue, A::PC, 0, 0},
    {"PK", kDun, 4198, kZero, A::PK, 0, 0},
    {"PL", kBoth, 4150, kHighLow, A::PL, 0, 1},
    {"PM", kDun, 4194, kValue, A::PM, 0, 0},
    {"PR", kBoth, 4151, kValue, A::PR, 0, 0},
    {"PS", kBoth, kPowerStateAnswer, kValue, A::PS, 0, 0},
    {"QC", kDun, 4146, kValue, A::QC, 0, 0},
    {"QR", kBoth, 4190, kHighLow, A::QR, 0, 1},
    {"RA", kBoth, 4153, kHighLow, A::RA, 0, 1},
    {"RC", kBoth, 4154, kZero, kNoEntry, 0, 0},
    {"RD", kBoth, 4155, kValue, A::RD, 0, 0},
    {"RG", kBoth, 4159, kValue, A::RG, 0, 0},
    {"RL", kBoth, 4160, kValue, A::RL, 0, 0},
    {"RM", kBoth, 4161, Carry::RmIndex, A::RM, 0, 0},
    {"RS", kCor, 4203, kValue, A::RS, 0, 0},
    {"RT", kBoth, 4157, kValue, A::RT, 0, 0},
    {"RU", kBoth, 4156, kValue, A::RU, 0, 0},
    {"RX", kBoth, kReceiveAnswer, kValue, A::RX, 0, 0},
    {"SA", kDun, 4164, kValue, A::SA, 0, 0},
    {"SB", kDun, 4165, kValue, A::SB, 0, 0},
    {"SC", kDun, 4166, kValue, A::SC, 0, 0},
    {"SC", kCor, 4166, kHighLow, A::SC, 0, 1},
    {"SD", kBoth, 4167, kValue, A::SD, 0, 0},
    {"SH", kBoth, 4168, kValue, A::SH, 0, 0},
    {"SL", kBoth, 4169, kValue, A::SL, 0, 0},
    {"SM", kBoth, 4170, Carry::SmIndex, A::SM, 0, 0},
    {"SQ", kBoth, 4171, Carry::IndexValue, A::SQ, 0, 0},
    {"SR", kBoth, 4172, kZero, kNoEntry, 0, 0},
    {"SS", kDun, 4191, kValue, A::SS, 0, 0},
    {"SS", kCor, 4191, Carry::TableDigits, A::SS, 0, 0},
    {"ST", kBoth, 4173, kValue, A::ST, 0, 0},
    {"SU", kBoth, 4192, kValue, A::SU, 0, 0},
    {"SV", kBoth, 4204, kZero, kNoEntry, 0, 0},
    {"TC", kDun, kComputerControlNotice, kZero, A::TC, 0, 0},
    {"TD", kDun, 4175, kZero, kNoEntry, 0, 0},
    {"TI", kDun, 4197, kZero, A::TI, 0, 0},
    {"TN", kBoth, 4176, kValue, A::TN, 0, 0},
    {"TO", kBoth, 4177, kValue, A::TO, 0, 0},
    {"TS", kBoth, 4196, kValue, A::TS, 0, 0},
    {"TX", kBoth, kTransmitAnswer, kValue, A::TX, 0, 0},
    {"TY", kBoth, 4199, Carry::TyDigits, A::TY, 0, 0},
    {"UL", kBoth, 4193, kValue, A::UL, 0, 0},
    {"UP", kBoth, 4178, kZero, kNoEntry, 0, 0},
    {"UR", kBoth, 4179, kZero, kNoEntry, 0, 0},
    {"UT", kBoth, 4180, kZero, kNoEntry, 0, 0},
    {"VD", kBoth, 4181, kValue, A::VD, 0, 0},
    {"VG", kBoth, 4182, kValue, A::VG, 0, 0},
    {"VR", kBoth, 4183, kZero, kNoEntry, 0, 0},
    {"VV", kCor, 4205, kZero, kNoEntry, 0, 0},
    {"VX", kBoth, 4184, kValue, A::VX, 0, 0},
    {"XI", kCor, 4206, kZero, A::XI, 0, 0},
    {"XO", kCor, 4207, kZero, A::XO, 0, 0},
    {"XT", kBoth, 4158, kValue, A::XT, 0, 0},
};
constexpr std::size_t kNotifyCount = sizeof kNotifications / sizeof kNotifications[0];

constexpr bool CodesAreUnique() {
    for (std::size_t i = 0; i < kNotifyCount; ++i)
        for (std::size_t j = i + 1; j < kNotifyCount; ++j) {
            const NotifyRow &x = kNotifications[i], &y = kNotifications[j];
            bool sameCommand = x.letters[0] == y.letters[0] && x.letters[1] == y.letters[1];
            if (x.code == y.code && !sameCommand) return false;
            if (sameCommand && (static_cast<int>(x.models) & static_cast<int>(y.models))) return false;
        }
    for (const NotifyRow& r : kNotifications)
        if (r.carry != Carry::Zero && r.carry != Carry::IndexDigit && r.carry != Carry::SlotDigit &&
            r.carry != Carry::TableDigits && r.carry != Carry::TyDigits && r.carry != Carry::MenuNumber &&
            r.carry != Carry::Identity && r.entry == kNoEntry)
            return false;
    return true;
}
static_assert(CodesAreUnique(), "notification table: a code used twice or a command listed twice per model");

constexpr LetterIndex kNotifyIndex(kNotifications);

const NotifyRow* FindNotifyRow(unsigned char first, unsigned char second, std::uint32_t modelId) {
    return kNotifyIndex.Find(first, second, modelId);
}

long HighLow(std::uint32_t high, std::uint32_t low) {
    return static_cast<long>(static_cast<std::int32_t>((high << 16) + low));
}

long AsLParam(std::uint32_t v) { return static_cast<long>(static_cast<std::int32_t>(v)); }

// Decides under the cache lock whether the row posts, and with which lParam.
bool LParamFor(const NotifyRow& r, const unsigned char* a, std::size_t length, RadioState& s, long& lParam) {
    std::scoped_lock g(s.cacheLock);
    AnswerCache& c = s.cache;
    std::uint32_t digit = Digit(a, 2);
    switch (r.carry) {
    case Carry::Zero: lParam = 0; return true;
    case Carry::Value: lParam = AsLParam(c[r.entry].value[r.a]); return true;
    case Carry::HighLow: lParam = HighLow(c[r.entry].value[r.a], c[r.entry].value[r.b]); return true;
    case Carry::Notified: {
        AnswerEntry& m = c[r.entry];
        if (m.notified) return false;
        m.notified = 1;
        lParam = 0;
        return true;
    }
    case Carry::IndexValue: {
        if (digit > 1) return false;
        const IndexedEntry& ix = *c.Indexed(r.entry);
        lParam = HighLow(digit, ix.value[digit][0]);
        return true;
    }
    case Carry::IndexDigit:
        if (digit > 1) return false;
        lParam = AsLParam(digit);
        return true;
    case Carry::SmIndex: {
        IndexedEntry& ix = c.sm;
        if (digit > 3 || ix.notified[digit]) return false;
        ix.notified[digit] = 1;
        lParam = AsLParam(digit);
        return true;
    }
    case Carry::RmIndex: {
        IndexedEntry& ix = c.rm;
        if (digit >= kMaxIndexes || ix.notified[digit]) return false;
        ix.notified[digit] = 1;
        lParam = HighLow(digit, ix.value[digit][0]);
        return true;
    }
    case Carry::SlotDigit: lParam = AsLParam(digit); return true;
    case Carry::MenuNumber: lParam = AsLParam(NumberAt(a, length, 2, 8)); return true;
    case Carry::Signed: {
        const AnswerEntry& e = c[r.entry];
        auto v = static_cast<std::int32_t>(e.value[0]);
        lParam = e.text[0][0] == '-' ? -static_cast<long>(v) : static_cast<long>(v);
        return true;
    }
    case Carry::Identity: lParam = AsLParam(s.modelId.load()); return true;
    case Carry::TableDigits: lParam = HighLow(digit, Digit(a, 3)); return true;
    case Carry::TyDigits: lParam = HighLow(digit * 10u + Digit(a, 3), Digit(a, 4)); return true;
    }
    return false;
}

}  // namespace

long NotifyAnswer(const unsigned char* answer, void* state) {
    RadioState& s = *static_cast<RadioState*>(state);
    if (!s.hostWindow.load()) return 0;
    const NotifyRow* row = FindNotifyRow(answer[0], answer[1], s.modelId.load());
    long lParam = 0;
    if (!row || !LParamFor(*row, answer, std::strlen(reinterpret_cast<const char*>(answer)), s, lParam)) return 1;
    return PostToHost(s, row->code, lParam) ? 1 : 0;
}

}  // namespace brenlow

#define BRENLOW_NOTIFIER(letter)                                                        \
    long CBrenlow::WinMsgSendEx##letter(const unsigned char* answer, void* state) { \
        return brenlow::NotifyAnswer(answer, state);                                \
    }
BRENLOW_ANSWER_LETTERS(BRENLOW_NOTIFIER)
#undef BRENLOW_NOTIFIER
