// The answer accessors: one row per RcvData member saying which cache entry it reads, for which
// identities, and which stored value or text goes to each output in order. One routine serves all
// rows under the cache lock; the members are entry points that name their row.
#include <algorithm>
#include <cstring>
#include <type_traits>

#include "Brenlow.h"
#include "EncoderTable.h"  // MemberName
#include "RadioState.h"

namespace brenlow {
namespace {

// Where a member's values live.
enum class From : std::uint8_t {
    Entry,       // the entry itself
    Index,       // the slot of an indexed entry named by the first argument
    MemorySlot,  // MR slot named by the first argument
    TableSlot,   // identity-20 SS table slot named by the two arguments
    RmCurrent,   // RM: the slot the last answer addressed
    RmNotified,  // RM: the slot named by the first argument, only once its notification was posted
};

// What happens to the first text output before the entry is read.
enum class TextFirst : std::uint8_t {
    Kept,           // left as the caller gave it unless the call succeeds
    Emptied,        // set to an empty string at once
    ZeroedFour,     // its first four bytes zeroed at once
    EmptiedIfNone,  // set to an empty string when the identity fits but no answer is held
};

// Which notified flag the call clears, re-arming that notification, whatever it returns.
enum class Rearms : std::uint8_t { Nothing, Entry, AskedIndex, CurrentIndex };

struct Out {
    enum class Kind : std::uint8_t { Value, Text, Current };
    Kind kind;
    std::uint8_t at;
};
constexpr Out V(int i) { return {Out::Kind::Value, static_cast<std::uint8_t>(i)}; }
constexpr Out T(int i) { return {Out::Kind::Text, static_cast<std::uint8_t>(i)}; }
constexpr Out kCurrentIndex{Out::Kind::Current, 0};

inline constexpr std::size_t kMaxOuts = 16;

struct AccessorRow {
    const char* name;  // after "RcvData"
    Models models;
    Answer entry;
    std::array<Out, kMaxOuts> outs;
    std::uint8_t outCount;
    From from;
    std::uint8_t slots;  // Index, MemorySlot, RmNotified: how many slots the first argument may name
    TextFirst text;
    Rearms rearms;

    constexpr AccessorRow(const char* n, Models m, Answer e, std::initializer_list<Out> o, From f = From::Entry,
                          std::uint8_t s = 0, TextFirst t = TextFirst::Kept, Rearms r = Rearms::Nothing)
        : name(n), models(m), entry(e), outs{}, outCount(static_cast<std::uint8_t>(o.size())), from(f), slots(s),
          text(t), rearms(r) {
        std::size_t i = 0;
        for (const Out& x : o) outs[i++] = x;
    }
};

using A = Answer;
constexpr Models kDun = Models::Dunmore;
constexpr Models kCor = Models::Corrin;
constexpr Models kBoth = Models::Both;

#define BRENLOW_FOURTEEN V(0), V(1), V(2), V(3), V(4), V(5), V(6), V(7), V(8), V(9), V(10), V(11), V(12), V(13)

// clang-format off
constexpr AccessorRow kAccessors[] = {
    // name  models entry   outputs in order (V: stored value i, T: stored text i)
    {"AC",  kBoth, A::AC, {V(0), V(1), V(2)}},
    {"AG",  kBoth, A::AG, {V(0)},                       From::Index, 2},
    {"AI",  kBoth, A::AI, {V(0)}},
    {"AL",  kDun,  A::AL, {V(0)}},
    {"AM",  kDun,  A::AM, {V(0)}},
    {"AN",  kBoth, A::AN, {V(0)}},
    {"AR",  kDun,  A::AR, {V(0), V(1)},                 From::Index, 2},
    {"AS",  kBoth, A::AS, {V(0), V(1), T(0), V(2)},     From::Entry, 0, TextFirst::Emptied},
    {"BC",  kBoth, A::BC, {V(0)}},
    {"BP",  kDun,  A::BP, {V(0)}},
    {"BY",  kBoth, A::BY, {V(0), V(1)}},
    {"CA",  kBoth, A::CA, {V(0)}},
    {"CG",  kDun,  A::CG, {V(0)}},
    {"CM",  kDun,  A::CM, {V(0)}},
    {"CN",  kBoth, A::CN, {V(0)}},
    {"CR",  kCor,  A::CR, {V(0), V(1), V(2)}},
    {"CT",  kBoth, A::CT, {V(0)}},
    {"DC",  kDun,  A::DC, {V(0), V(1)}},
    {"DL",  kCor,  A::DL, {V(0), V(1)}},
    {"DQ",  kDun,  A::DQ, {V(0)}},
    {"EX",  kBoth, A::EX, {V(0), V(1), V(2), V(3), T(0)}},
    {"FA",  kBoth, A::FA, {T(0)},                       From::Entry, 0, TextFirst::EmptiedIfNone, Rearms::Entry},
    {"FB",  kBoth, A::FB, {T(0)},                       From::Entry, 0, TextFirst::Kept, Rearms::Entry},
    {"FC",  kDun,  A::FC, {T(0)},                       From::Entry, 0, TextFirst::Kept, Rearms::Entry},
    {"FD",  kDun,  A::FD, {T(0)}},
    {"FR",  kBoth, A::FR, {V(0)}},
    {"FS",  kBoth, A::FS, {V(0)}},
    {"FT",  kBoth, A::FT, {V(0)}},
    {"FW",  kBoth, A::FW, {V(0)}},
    {"GT",  kBoth, A::GT, {V(0)}},
    {"IF",  kBoth, A::IF, {T(0), BRENLOW_FOURTEEN}},
    {"IS",  kBoth, A::IS, {T(0), V(0)}},
    {"KS",  kBoth, A::KS, {V(0)}},
    {"KY",  kBoth, A::KY, {V(0)}},
    {"LK",  kBoth, A::LK, {V(0), V(1)}},
    {"LM",  kDun,  A::LM, {V(0)}},
    {"LM2", kCor,  A::LM, {V(0), V(1), V(2)}},
    {"LT",  kDun,  A::LT, {V(0)}},
    {"MC",  kBoth, A::MC, {V(0), V(1)}},
    {"MD",  kBoth, A::MD, {V(0)}},
    {"ME",  kCor,  A::ME, {V(0), V(1), V(2)}},
    {"MF",  kBoth, A::MF, {V(0)}},
    {"MG",  kBoth, A::MG, {V(0)}},
    {"ML",  kBoth, A::ML, {V(0)}},
    {"MO",  kDun,  A::MO, {V(0)}},
    // The slot stores the two-digit value (38-39) before the nine-digit one (29-37); the
    // member hands them out in answer order.
    {"MR",  kBoth, A::MR, {V(0), V(1), T(0), V(2), V(3), V(4), V(5), V(6), V(7), V(8), V(9), V(11), V(10), V(12), T(1)},
                                                        From::MemorySlot, 2},
    {"MU",  kDun,  A::MU, {V(0), V(1), V(2), V(3), V(4), V(5), V(6), V(7), V(8), V(9)}},
    {"NB",  kBoth, A::NB, {V(0)}},
    {"NL",  kBoth, A::NL, {V(0)}},
    {"NR",  kBoth, A::NR, {V(0)}},
    {"NT",  kDun,  A::NT, {V(0)}},
    {"OF",  kDun,  A::OF, {V(0)}},
    {"OI",  kDun,  A::OI, {T(0), BRENLOW_FOURTEEN}},
    {"OP",  kCor,  A::OP, {V(0), V(1), V(2)}},
    {"OS",  kDun,  A::OS, {V(0)}},
    {"PA",  kBoth, A::PA, {V(0), V(1)}},
    {"PB",  kDun,  A::PB, {V(0)}},
    {"PB2", kCor,  A::PB, {V(0), V(1), V(2)}},
    {"PC",  kBoth, A::PC, {V(0)}},
    {"PK",  kDun,  A::PK, {T(0), T(1), T(2), T(3)}},
    {"PL",  kBoth, A::PL, {V(0), V(1)}},
    {"PM",  kDun,  A::PM, {V(0)}},
    {"PR",  kBoth, A::PR, {V(0)}},
    {"PS",  kBoth, A::PS, {V(0)}},
    {"QC",  kDun,  A::QC, {V(0)}},
    {"QR",  kBoth, A::QR, {V(0), V(1)}},
    {"RA",  kBoth, A::RA, {V(0), V(1)}},
    {"RD",  kBoth, A::RD, {V(0)}},
    {"RG",  kBoth, A::RG, {V(0)}},
    {"RL",  kBoth, A::RL, {V(0)}},
    {"RM",  kBoth, A::RM, {kCurrentIndex, V(0)},        From::RmCurrent, 0, TextFirst::Kept, Rearms::CurrentIndex},
    {"RM2", kBoth, A::RM, {V(0)},                       From::RmNotified, kMaxIndexes, TextFirst::Kept, Rearms::AskedIndex},
    {"RS",  kCor,  A::RS, {V(0)}},
    {"RT",  kBoth, A::RT, {V(0)}},
    {"RU",  kBoth, A::RU, {V(0)}},
    {"RX",  kBoth, A::RX, {V(0)}},
    {"SA",  kDun,  A::SA, {V(0), V(1), V(2), V(3), V(4), V(5), V(6), T(0)}},
    {"SB",  kDun,  A::SB, {V(0)}},
    {"SC",  kBoth, A::SC, {V(0)}},
    {"SC2", kCor,  A::SC, {V(0), V(1)}},
    {"SD",  kBoth, A::SD, {V(0)}},
    {"SH",  kBoth, A::SH, {V(0)}},
    {"SL",  kBoth, A::SL, {V(0)}},
    {"SM",  kBoth, A::SM, {V(0)},                       From::Index, 4, TextFirst::Kept, Rearms::AskedIndex},
    {"SQ",  kBoth, A::SQ, {V(0)},                       From::Index, 2},
    {"SS",  kDun,  A::SS, {V(0)}},
    {"SS2", kCor,  A::SS, {T(0)},                       From::TableSlot, kSsTableSize, TextFirst::ZeroedFour},
    {"ST",  kBoth, A::ST, {V(0)}},
    {"SU",  kBoth, A::SU, {V(0), V(1), V(2), V(3), V(4), V(5), V(6), V(7), V(8), V(9), V(10)}},
    {"TC",  kDun,  A::TC, {V(0), V(1)}},
    {"TI",  kDun,  A::TI, {V(0), V(1), V(2)}},
    {"TN",  kBoth, A::TN, {V(0)}},
    {"TO",  kBoth, A::TO, {V(0)}},
    {"TS",  kBoth, A::TS, {V(0)}},
    {"TX",  kBoth, A::TX, {V(0)}},
    {"TY",  kBoth, A::TY, {V(0), V(1), V(2), V(3), V(4), V(5), V(6), V(7), V(8)}},  // bit 0 to bit 7, then d(4)
    {"UL",  kBoth, A::UL, {V(0)}},
    {"VD",  kBoth, A::VD, {V(0)}},
    {"VG",  kBoth, A::VG, {V(0)}},
    {"VX",  kBoth, A::VX, {V(0)}},
    {"XI",  kCor,  A::XI, {T(0), V(0), V(1)},           From::Entry, 0, TextFirst::ZeroedFour},
    {"XO",  kCor,  A::XO, {V(0), T(0)},                 From::Entry, 0, TextFirst::ZeroedFour},
    {"XT",  kBoth, A::XT, {V(0)}},
};
// clang-format on
#undef BRENLOW_FOURTEEN

constexpr std::size_t kRowCount = sizeof kAccessors / sizeof kAccessors[0];

constexpr bool TakesIndex(From f) { return f != From::Entry && f != From::RmCurrent; }

constexpr bool RowIsSound(const AccessorRow& r) {
    std::size_t texts = 0;
    for (std::size_t i = 0; i < r.outCount; ++i) {
        const Out& o = r.outs[i];
        switch (o.kind) {
        case Out::Kind::Value:
            if (o.at >= (r.from == From::Index || r.from == From::RmCurrent || r.from == From::RmNotified ? 2 : kMaxValues))
                return false;
            if (r.from == From::TableSlot) return false;
            break;
        case Out::Kind::Text:
            if (o.at >= kMaxTexts || (r.from == From::TableSlot && o.at != 0)) return false;
            ++texts;
            break;
        case Out::Kind::Current:
            if (r.from != From::RmCurrent) return false;
            break;
        }
    }
    if (r.text != TextFirst::Kept && texts == 0) return false;
    if (r.from == From::Index &&
        (r.slots == 0 || r.slots > kMaxIndexes ||
         (r.entry != A::AG && r.entry != A::AR && r.entry != A::SQ && r.entry != A::SM)))
        return false;
    if ((r.from == From::RmCurrent || r.from == From::RmNotified) && r.entry != A::RM) return false;
    if (r.from == From::MemorySlot && (r.entry != A::MR || r.slots != 2)) return false;
    if (r.from == From::RmNotified && r.slots != kMaxIndexes) return false;
    if (r.rearms == Rearms::AskedIndex && !TakesIndex(r.from)) return false;
    return true;
}

constexpr bool TableIsSound() {
    for (std::size_t i = 0; i < kRowCount; ++i) {
        if (!RowIsSound(kAccessors[i])) return false;
        for (std::size_t j = i + 1; j < kRowCount; ++j)
            if (std::string_view(kAccessors[i].name) == std::string_view(kAccessors[j].name)) return false;
    }
    return true;
}
static_assert(TableIsSound(), "accessor table: an output outside its entry, or a name used twice");

constexpr std::size_t RowOf(std::string_view name) {
    for (std::size_t i = 0; i < kRowCount; ++i)
        if (std::string_view(kAccessors[i].name) == name) return i;
    return kRowCount;
}

// Each row belongs to a member of the member list (each member's entry point finds its row).
constexpr std::string_view kAccessorMembers[] = {
#define BRENLOW_ACCESSOR_NAME(name, how, parameters, arguments) #name,
    BRENLOW_ACCESSORS(BRENLOW_ACCESSOR_NAME)
#undef BRENLOW_ACCESSOR_NAME
};

constexpr bool EveryRowHasItsMember() {
    for (const AccessorRow& r : kAccessors)
        if (std::find(std::begin(kAccessorMembers), std::end(kAccessorMembers), std::string_view(r.name)) ==
            std::end(kAccessorMembers))
            return false;
    return true;
}
static_assert(EveryRowHasItsMember(), "accessor table: a row that no member of BRENLOW_ACCESSORS uses");

// One output of the caller.
struct Sink {
    unsigned* number = nullptr;
    unsigned char* text = nullptr;
    Sink(unsigned* n) : number(n) {}
    Sink(unsigned char* t) : text(t) {}
};

// The stored answer a row reads.
struct Stored {
    bool valid = false;
    const std::uint32_t* value = nullptr;
    const char* text[kMaxTexts] = {};
    std::size_t textSize = kTextStorage;
    std::uint32_t current = 0;
};

bool IndexFits(const AccessorRow& row, unsigned first, unsigned second) {
    switch (row.from) {
    case From::Entry:
    case From::RmCurrent: return true;
    case From::Index:
    case From::MemorySlot:
    case From::RmNotified: return first < row.slots;
    case From::TableSlot: return first < kSsTableSize && second < kSsTableSize;
    }
    return false;
}

Stored Locate(const AccessorRow& row, unsigned first, unsigned second, AnswerCache& c, bool notified) {
    Stored s;
    switch (row.from) {
    case From::Entry: {
        const AnswerEntry& e = c[row.entry];
        s.valid = e.valid == 1;
        s.value = e.value;
        for (std::size_t i = 0; i < kMaxTexts; ++i) s.text[i] = e.text[i];
        break;
    }
    case From::Index: {
        const IndexedEntry& e = *c.Indexed(row.entry);
        s.valid = e.validAt[first] == 1;
        s.value = e.value[first];
        break;
    }
    case From::MemorySlot: {
        const AnswerEntry& e = c.mrSlot[first];
        s.valid = e.valid == 1;
        s.value = e.value;
        for (std::size_t i = 0; i < kMaxTexts; ++i) s.text[i] = e.text[i];
        break;
    }
    case From::TableSlot: {
        const TableSlot& slot = c.ssTable[first][second];
        s.valid = slot.valid == 1;
        s.text[0] = slot.text;
        s.textSize = sizeof slot.text;
        break;
    }
    case From::RmCurrent:
        s.current = c.rm.current;
        s.valid = c.rm.valid == 1 && s.current < kMaxIndexes;
        if (s.valid) s.value = c.rm.value[s.current];
        break;
    case From::RmNotified:
        s.valid = c.rm.valid == 1 && notified;
        s.value = c.rm.value[first];
        break;
    }
    return s;
}

// Clears the notified flag the row names; returns the flag as it was.
bool Rearm(const AccessorRow& row, unsigned first, AnswerCache& c) {
    std::uint32_t* flag = nullptr;
    switch (row.rearms) {
    case Rearms::Nothing: return false;
    case Rearms::Entry: flag = &c[row.entry].notified; break;
    case Rearms::AskedIndex: flag = &c.Indexed(row.entry)->notified[first]; break;
    case Rearms::CurrentIndex:
        if (c.rm.current >= kMaxIndexes) return false;
        flag = &c.rm.notified[c.rm.current];
        break;
    }
    bool was = *flag == 1;
    *flag = 0;
    return was;
}

void CopyText(unsigned char* out, const char* field, std::size_t size) {
    std::size_t n = ::strnlen(field, size - 1);
    std::memcpy(out, field, n);
    out[n] = '\0';
}

int Access(const AccessorRow& row, unsigned first, unsigned second, const Sink* sinks) {
    unsigned char* firstText = nullptr;
    for (std::size_t i = 0; i < row.outCount; ++i) {
        if (row.outs[i].kind != Out::Kind::Text) {
            if (sinks[i].number) *sinks[i].number = 0;
        } else if (!firstText) {
            firstText = sinks[i].text;
        }
    }
    if (firstText && row.text == TextFirst::Emptied) firstText[0] = '\0';
    if (firstText && row.text == TextFirst::ZeroedFour) std::memset(firstText, 0, 4);

    RadioState& s = State();
    std::scoped_lock g(s.cacheLock);
    if (!IndexFits(row, first, second)) return 0;
    const bool notified = Rearm(row, first, s.cache);
    if (!Serves(row.models, s.modelId.load())) return 0;
    const Stored stored = Locate(row, first, second, s.cache, notified);
    if (!stored.valid) {
        if (firstText && row.text == TextFirst::EmptiedIfNone) firstText[0] = '\0';
        return 0;
    }
    for (std::size_t i = 0; i < row.outCount; ++i) {
        const Out& o = row.outs[i];
        switch (o.kind) {
        case Out::Kind::Value:
            if (sinks[i].number) *sinks[i].number = stored.value[o.at];
            break;
        case Out::Kind::Current:
            if (sinks[i].number) *sinks[i].number = stored.current;
            break;
        case Out::Kind::Text:
            if (sinks[i].text) CopyText(sinks[i].text, stored.text[o.at], stored.textSize);
            break;
        }
    }
    return 1;
}

template <class... Sinks>
constexpr bool OutputsFit(const AccessorRow& r) {
    if (sizeof...(Sinks) != r.outCount) return false;
    constexpr bool isText[] = {std::is_same_v<Sinks, unsigned char*>..., false};
    for (std::size_t i = 0; i < sizeof...(Sinks); ++i)
        if (isText[i] != (r.outs[i].kind == Out::Kind::Text)) return false;
    return true;
}

template <MemberName name, class... Sinks>
int ReadAt(unsigned first, unsigned second, Sinks... sinks) {
    constexpr std::size_t row = RowOf(name.View());
    static_assert(row < kRowCount, "no accessor row of this name");
    static_assert(OutputsFit<Sinks...>(kAccessors[row]), "the member's outputs do not fit its row");
    static_assert(TakesIndex(kAccessors[row].from), "this row reads no indexed slot");
    const Sink list[] = {Sink(sinks)...};
    return Access(kAccessors[row], first, second, list);
}

template <MemberName name, class... Sinks>
int Read(Sinks... sinks) {
    constexpr std::size_t row = RowOf(name.View());
    static_assert(row < kRowCount, "no accessor row of this name");
    static_assert(OutputsFit<Sinks...>(kAccessors[row]), "the member's outputs do not fit its row");
    static_assert(!TakesIndex(kAccessors[row].from), "this row reads an indexed slot");
    const Sink list[] = {Sink(sinks)...};
    return Access(kAccessors[row], 0, 0, list);
}

}  // namespace
}  // namespace brenlow

using brenlow::Read;
using brenlow::ReadAt;

#define BRENLOW_ACCESSOR_Entry(name, parameters, arguments) \
    int CBrenlow::RcvData##name parameters { return Read<#name>(BRENLOW_UNPACK arguments); }
#define BRENLOW_ACCESSOR_Slot(name, parameters, arguments) \
    int CBrenlow::RcvData##name parameters { return ReadAt<#name>(BRENLOW_UNPACK arguments); }
#define BRENLOW_ACCESSOR_Own(name, parameters, arguments)
#define BRENLOW_DEFINE_ACCESSOR(name, how, parameters, arguments) BRENLOW_ACCESSOR_##how(name, parameters, arguments)
BRENLOW_ACCESSORS(BRENLOW_DEFINE_ACCESSOR)
#undef BRENLOW_DEFINE_ACCESSOR
#undef BRENLOW_ACCESSOR_Own
#undef BRENLOW_ACCESSOR_Slot
#undef BRENLOW_ACCESSOR_Entry
