// The vocabulary of the command encoder table: per-model parameter checks, the command formats the
// rows carry ("%01d", "%011I64d", "%-24s", ...), what a query empties in the answer cache and what
// follows a set. Commands.h holds the rows; Encoders.cpp the routine they drive.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "AnswerCache.h"
#include "Models.h"

namespace brenlow {

inline constexpr std::int64_t kFrequencyMax = 99'999'999'999;  // eleven digits

// One parameter's check for one model.
struct Check {
    enum class Rule : std::uint8_t {
        None,          // unchecked
        Range,         // number or frequency in lo..hi (and among `allowed` when that is non-zero)
        Length,        // text of at most hi characters
        SingleBlank,   // the text is exactly " "
        BlankOrMinus,  // the text begins with " " or "-"
    };
    Rule rule = Rule::None;
    std::int64_t lo = 0;
    std::int64_t hi = 0;
    std::uint64_t allowed = 0;        // bit v set: value v allowed (values below 64)
    bool failureIsSuccess = false;    // a failing value sends nothing but reports 1

    // The range without one value.
    constexpr Check Except(unsigned v) const {
        Check c = *this;
        if (c.allowed == 0)
            for (std::int64_t x = lo; x <= hi; ++x) c.allowed |= std::uint64_t{1} << x;
        c.allowed &= ~(std::uint64_t{1} << v);
        return c;
    }
    // A value outside the range is skipped quietly: nothing is written and the call reports 1.
    constexpr Check OrNothingSent() const {
        Check c = *this;
        c.failureIsSuccess = true;
        return c;
    }
};

constexpr Check In(std::int64_t lo, std::int64_t hi) { return {Check::Rule::Range, lo, hi, 0, false}; }
constexpr Check OneOf(std::initializer_list<unsigned> values) {
    Check c{Check::Rule::Range, 0, 0, 0, false};
    for (unsigned v : values) {
        c.allowed |= std::uint64_t{1} << v;
        if (v > c.hi) c.hi = v;
    }
    return c;
}
constexpr Check AtMost(unsigned characters) { return {Check::Rule::Length, 0, characters, 0, false}; }
inline constexpr Check kUnchecked{};
inline constexpr Check kZero = In(0, 0);
inline constexpr Check kInRange = In(0, kFrequencyMax);  // frequency texts
inline constexpr Check kSingleBlank{Check::Rule::SingleBlank, 0, 0, 0, false};
inline constexpr Check kBlankOrMinus{Check::Rule::BlankOrMinus, 0, 0, 0, false};

// What one member argument is.
enum class Kind : std::uint8_t {
    Number,     // unsigned int
    Frequency,  // decimal text read as a 64-bit value, printed as eleven digits
    Text,       // text copied into the command, or its first character
    Unused,     // text the member takes but never sends
};

struct Param {
    Kind kind = Kind::Number;
    Check dunmore{};
    Check corrin{};
};

constexpr Param Num(Check both) { return {Kind::Number, both, both}; }
constexpr Param Num(Check dunmore, Check corrin) { return {Kind::Number, dunmore, corrin}; }
constexpr Param Freq() { return {Kind::Frequency, kInRange, kInRange}; }
constexpr Param Txt(Check both) { return {Kind::Text, both, both}; }
constexpr Param Txt(Check dunmore, Check corrin) { return {Kind::Text, dunmore, corrin}; }
inline constexpr Param kUnusedText{Kind::Unused, kUnchecked, kUnchecked};

// What follows a set form.
enum class After : std::uint8_t {
    None,
    ReadBack,      // 10 ms later the read form with the same arguments
    ReadBackIfSc,  // the same, only while the cached SC value is non-zero
    ReadNow,       // the read form at once
    ReadNowIfW,    // the read form at once, only when the mode is exactly "W"
};

// What a query empties in the answer cache before it is written.
struct Clears {
    enum class How : std::uint8_t {
        Nothing,
        Entry,   // the whole entry
        Index,   // the slot of an indexed entry selected by p1
        MrSlot,  // the memory slot selected by p1
        SsSlot,  // the identity-20 SS table slot selected by p1 and p2
    };
    How how = How::Nothing;
    Answer entry = Answer::Count;
    std::uint8_t slots = 0;  // Index: how many slots the entry has
};

constexpr Clears Entry(Answer a) { return {Clears::How::Entry, a, 0}; }
constexpr Clears Slot(Answer a, std::uint8_t slots) { return {Clears::How::Index, a, slots}; }
inline constexpr Clears kMemorySlot{Clears::How::MrSlot, Answer::MR, 2};
inline constexpr Clears kTableSlot{Clears::How::SsSlot, Answer::SS, kSsTableSize};
inline constexpr Clears kNothing{};

enum class Quirk : std::uint8_t {
    None,
    BareWhenZero,  // the set form with p1 = 0 is the two letters and ";"
    ChecksOnRead,  // the set-form checks also guard the read form
    Transceiver,   // TC: its own set texts, and the only command allowed in terminal mode
};

inline constexpr std::size_t kMaxParams = 16;

// One encoder: the member's name after "Conn", the models it serves, its read form (null: the
// member has no mode string and always writes its set form), its set form and parameters.
struct EncoderRow {
    char name[4]{};
    Models models = Models::Both;
    const char* read = nullptr;
    const char* set = nullptr;
    std::array<Param, kMaxParams> params{};
    std::uint8_t paramCount = 0;
    After after = After::None;
    Clears clears{};  // on the read form; on every write of a member without a read form
    Quirk quirk = Quirk::None;
};

// One conversion of a command format: "%01d", "%d", "%011I64d", "%s", "%-24s", "%128s", "%c".
struct Conversion {
    Kind kind = Kind::Number;
    bool leftJustify = false;
    bool zeroPad = false;
    bool firstCharacter = false;  // "%c"
    unsigned width = 0;
};

// Finds the conversion at or after `pos`, leaving `pos` behind it; literal text before it goes to
// `literal`. False at the end of the format or at a conversion the encoders do not use.
constexpr bool NextConversion(std::string_view format, std::size_t& pos, std::string_view& literal, Conversion& c) {
    std::size_t start = pos;
    while (pos < format.size() && format[pos] != '%') ++pos;
    literal = format.substr(start, pos - start);
    if (pos >= format.size()) return false;
    ++pos;
    c = Conversion{};
    if (pos < format.size() && format[pos] == '-') c.leftJustify = true, ++pos;
    if (pos < format.size() && format[pos] == '0') c.zeroPad = true, ++pos;
    while (pos < format.size() && format[pos] >= '0' && format[pos] <= '9') c.width = c.width * 10 + unsigned(format[pos++] - '0');
    std::string_view rest = format.substr(pos);
    if (rest.starts_with("I64d")) return c.kind = Kind::Frequency, pos += 4, true;
    if (rest.starts_with("d")) return c.kind = Kind::Number, pos += 1, true;
    if (rest.starts_with("s")) return c.kind = Kind::Text, pos += 1, true;
    if (rest.starts_with("c")) return c.kind = Kind::Text, c.firstCharacter = true, pos += 1, true;
    pos = format.size();
    return false;
}

// A member name usable as a template argument, so that every entry point finds its row when compiled.
template <std::size_t N>
struct MemberName {
    char text[N]{};
    consteval MemberName(const char (&s)[N]) {
        for (std::size_t i = 0; i < N; ++i) text[i] = s[i];
    }
    constexpr std::string_view View() const { return {text, N - 1}; }
};

}  // namespace brenlow
