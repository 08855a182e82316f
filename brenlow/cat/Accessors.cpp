// The answer accessors: one row per RcvData member, drawn from the command rows, saying which cache
// entry it reads, for which identities, and which stored value or text goes to each output in order.
// One routine serves all rows under the cache lock; the members are entry points that name their row.
#include <cstring>
#include <type_traits>

#include "Brenlow.h"
#include "Commands.h"
#include "RadioState.h"

namespace brenlow {
namespace {

using A = Answer;
constexpr auto kAccessors = Family<&Command::accessors>();

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
    for (const AccessorRow& r : kAccessors)
        if (!RowIsSound(r)) return false;
    return true;
}
static_assert(TableIsSound(), "accessor table: an output outside its entry");

constexpr std::string_view kAccessorMembers[] = {
#define BRENLOW_ACCESSOR_NAME(name, how, parameters, arguments) #name,
    BRENLOW_ACCESSORS(BRENLOW_ACCESSOR_NAME)
#undef BRENLOW_ACCESSOR_NAME
};
static_assert(EveryRowHasItsMember(kAccessors, kAccessorMembers),
              "accessor table: a row that no member of BRENLOW_ACCESSORS uses");

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
    constexpr std::size_t row = MemberRow(kAccessors, name.View());
    static_assert(row < kAccessors.size(), "no accessor row of this name");
    static_assert(OutputsFit<Sinks...>(kAccessors[row]), "the member's outputs do not fit its row");
    static_assert(TakesIndex(kAccessors[row].from), "this row reads no indexed slot");
    const Sink list[] = {Sink(sinks)...};
    return Access(kAccessors[row], first, second, list);
}

template <MemberName name, class... Sinks>
int Read(Sinks... sinks) {
    constexpr std::size_t row = MemberRow(kAccessors, name.View());
    static_assert(row < kAccessors.size(), "no accessor row of this name");
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
