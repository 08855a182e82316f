// The shape of a command row: one radio command with the models that take it, and what each family
// of the library does with it: its answer's layout in the cache (parsers), its notification to the
// host, its encoders (Conn members) and its accessors (RcvData members). Commands.h holds the rows.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <utility>

#include "AccessorTable.h"
#include "AnswerCache.h"
#include "AnswerTable.h"
#include "EncoderTable.h"
#include "Models.h"

namespace brenlow {

// Called only where a row is malformed: as it is not constexpr, the table then fails to compile here.
inline void CommandRowError(const char*) {}

// Options that the parts of a row take after their fixed arguments, in any order; a part given
// Models serves only those of its command's models (LM on the Dunmore, LM2 on the Corrin).
struct Indexed {  // answer: d(2) selects one of `slots` slots
    std::uint8_t slots;
};
struct Length {  // answer: stored only when it is exactly this many characters long
    std::uint8_t exact;
};
struct KeepsCache {};  // encoder: its query empties nothing in the answer cache
struct Outs {          // accessor: its outputs, where they are not the stored values in cache order
    std::array<Out, kMaxOuts> outs{};
    std::uint8_t count = 0;
    constexpr Outs(std::initializer_list<Out> o) {
        if (o.size() > kMaxOuts) CommandRowError("more outputs than an accessor has");
        for (const Out& x : o) outs[count++] = x;
    }
};

inline constexpr const char* kSetOnly = nullptr;  // an encoder without a read form (and without a mode string)

// A command's members or layouts of one family: a second one is the member with "2" (ConnLM2,
// RcvDataSC2) or, for answers and notifications, the other model's.
template <class Row>
struct Variants {
    std::array<Row, 2> rows{};
    std::uint8_t count = 0;
    constexpr const Row* begin() const { return rows.data(); }
    constexpr const Row* end() const { return rows.data() + count; }
    constexpr void Add(const Row& row) {
        if (count == rows.size()) CommandRowError("more than two variants of one family");
        rows[count++] = row;
    }
};

inline constexpr std::string_view kAnswerNames[] = {
#define BRENLOW_ANSWER_NAME(name) #name,
    BRENLOW_ANSWERS(BRENLOW_ANSWER_NAME)
#undef BRENLOW_ANSWER_NAME
};

// The cache entry of a command's answers, Answer::Count where the cache keeps none.
constexpr Answer EntryOf(std::string_view letters) {
    for (std::size_t i = 0; i < kAnswerCount; ++i)
        if (kAnswerNames[i] == letters) return static_cast<Answer>(i);
    return Answer::Count;
}

constexpr std::uint32_t FirstModel(Models m) { return m == Models::Corrin ? kCorrin : kDunmore; }
constexpr bool Within(Models part, Models whole) {
    return whole == Models::Any || part == whole || (whole == Models::Both && part != Models::Any);
}

// One command. Written as Command(letters, models) followed by its parts: Parse (the answer's layout,
// one per model where the models' answers differ), Notify, Encode and Access, in that order, since
// what a query empties and what an accessor hands out follow from the layout.
struct Command {
    char letters[3]{};
    Models models = Models::Both;
    Answer entry = Answer::Count;
    Variants<AnswerRow> answers;
    Variants<NotifyRow> notices;
    Variants<EncoderRow> encoders;
    Variants<AccessorRow> accessors;

    consteval Command(const char (&l)[3], Models m)
        : letters{l[0], l[1], 0}, models(m), entry(EntryOf(std::string_view(l, 2))) {}

    template <class... Options>
    constexpr Command&& Parse(std::initializer_list<Field> fields, Options... options) && {
        if (encoders.count || accessors.count) CommandRowError("Parse comes before Encode and Access");
        if (entry == Answer::Count) CommandRowError("an answer layout without a cache entry");
        if (fields.size() > AnswerRow{}.fields.size()) CommandRowError("more fields than an answer row holds");
        AnswerRow r;
        CopyLetters(r.letters);
        r.models = models;
        r.entry = entry;
        for (const Field& f : fields) r.fields[r.fieldCount++] = f;
        (Apply(r, options), ...);
        answers.Add(r);
        return std::move(*this);
    }

    template <class... Options>
    constexpr Command&& Notify(unsigned code, Options... options) && {
        NotifyRow r;
        CopyLetters(r.letters);
        r.models = models;
        r.code = code;
        r.entry = entry;
        (Apply(r, options), ...);
        notices.Add(r);
        return std::move(*this);
    }

    template <class... Options>
    constexpr Command&& Encode(const char* read, const char* set, std::initializer_list<Param> params,
                               Options... options) && {
        if (params.size() > kMaxParams) CommandRowError("more parameters than an encoder takes");
        EncoderRow r;
        NameVariant(r.name, encoders.count);
        r.models = models;
        r.read = read;
        r.set = set;
        for (const Param& p : params) r.params[r.paramCount++] = p;
        bool keepsCache = false;
        (Apply(r, keepsCache, options), ...);
        if (!keepsCache) r.clears = QueryClears(r);
        encoders.Add(r);
        return std::move(*this);
    }

    template <class... Options>
    constexpr Command&& Access(Options... options) && {
        AccessorRow r;
        NameVariant(r.name, accessors.count);
        r.models = models;
        r.entry = entry;
        std::optional<From> from;
        std::optional<Outs> outs;
        (Apply(r, from, outs, options), ...);
        const std::optional<AnswerRow> layout = LayoutFor(r.models);
        if (!layout) CommandRowError("an accessor without an answer layout for its models");
        r.from = from ? *from : SourceOf(*layout);
        r.slots = TakesIndex(r.from) ? SlotsOf(*layout) : 0;
        if (!outs) outs = CacheOrder(*layout);
        r.outs = outs->outs;
        r.outCount = outs->count;
        accessors.Add(r);
        return std::move(*this);
    }

    // The layout that serves the first of these models.
    constexpr std::optional<AnswerRow> LayoutFor(Models m) const {
        for (const AnswerRow& a : answers)
            if (Serves(a.models, FirstModel(m))) return a;
        return std::nullopt;
    }

private:
    constexpr void CopyLetters(char* out) const { out[0] = letters[0], out[1] = letters[1], out[2] = 0; }
    constexpr void NameVariant(char* out, std::size_t variant) const {
        CopyLetters(out);
        if (variant > 0) out[2] = '2', out[3] = 0;
    }

    static constexpr void Apply(AnswerRow& r, Models m) { r.models = m; }
    static constexpr void Apply(AnswerRow& r, Shape s) { r.shape = s; }
    static constexpr void Apply(AnswerRow& r, Indexed i) { r.shape = Shape::Indexed, r.indexes = i.slots; }
    static constexpr void Apply(AnswerRow& r, Length l) { r.exactLength = l.exact; }
    static constexpr void Apply(AnswerRow& r, Effect e) { r.effect = e; }

    static constexpr void Apply(NotifyRow& r, Models m) { r.models = m; }
    static constexpr void Apply(NotifyRow& r, Carry c) { r.carry = c; }

    static constexpr void Apply(EncoderRow& r, bool&, Models m) { r.models = m; }
    static constexpr void Apply(EncoderRow& r, bool&, After a) { r.after = a; }
    static constexpr void Apply(EncoderRow& r, bool&, Quirk q) { r.quirk = q; }
    static constexpr void Apply(EncoderRow&, bool& keepsCache, KeepsCache) { keepsCache = true; }

    static constexpr void Apply(AccessorRow& r, std::optional<From>&, std::optional<Outs>&, Models m) { r.models = m; }
    static constexpr void Apply(AccessorRow&, std::optional<From>& from, std::optional<Outs>&, From f) { from = f; }
    static constexpr void Apply(AccessorRow&, std::optional<From>&, std::optional<Outs>& outs, Outs o) { outs = o; }
    static constexpr void Apply(AccessorRow& r, std::optional<From>&, std::optional<Outs>&, TextFirst t) { r.text = t; }
    static constexpr void Apply(AccessorRow& r, std::optional<From>&, std::optional<Outs>&, Rearms x) { r.rearms = x; }

    // A query empties what its answer fills: the slot that its first parameters name where the
    // answer is stored by slot and the query names one, else the whole entry.
    constexpr Clears QueryClears(const EncoderRow& r) const {
        if (entry == Answer::Count) return kNothing;
        const std::optional<AnswerRow> layout = LayoutFor(r.models);
        if (!layout) CommandRowError("an encoder without an answer layout for its models");
        const std::string_view query(r.read ? r.read : r.set ? r.set : "");
        switch (layout->shape) {
        case Shape::Indexed:
            return query.find('%') == std::string_view::npos ? Entry(entry) : Slot(entry, layout->indexes);
        case Shape::MrSlot: return kMemorySlot;
        case Shape::SsTable: return kTableSlot;
        case Shape::Plain:
        case Shape::Bits:
        case Shape::Identity: break;
        }
        return Entry(entry);
    }

    static constexpr From SourceOf(const AnswerRow& a) {
        switch (a.shape) {
        case Shape::Indexed: return From::Index;
        case Shape::MrSlot: return From::MemorySlot;
        case Shape::SsTable: return From::TableSlot;
        case Shape::Plain:
        case Shape::Bits:
        case Shape::Identity: break;
        }
        return From::Entry;
    }

    static constexpr std::uint8_t SlotsOf(const AnswerRow& a) {
        switch (a.shape) {
        case Shape::Indexed: return a.indexes;
        case Shape::MrSlot: return 2;
        case Shape::SsTable: return kSsTableSize;
        case Shape::Plain:
        case Shape::Bits:
        case Shape::Identity: break;
        }
        return 0;
    }

    // The stored values and texts in the order the layout stores them.
    static constexpr Outs CacheOrder(const AnswerRow& a) {
        Outs o{};
        if (a.shape == Shape::Bits) {
            for (int bit = 0; bit <= 8; ++bit) o.outs[o.count++] = V(bit);  // bit 0 to bit 7, then d(4)
            return o;
        }
        if (a.shape == Shape::SsTable) return Outs{T(0)};
        int values = 0, texts = 0;
        for (std::size_t i = 0; i < a.fieldCount; ++i)
            o.outs[o.count++] = a.fields[i].conv == Conv::Text ? T(texts++) : V(values++);
        return o;
    }
};


}  // namespace brenlow
