// The vocabulary of the accessor table: where an RcvData member's values live in the answer cache,
// which stored value or text goes to each of its outputs, and the notified flag it re-arms.
// Commands.h holds the rows; Accessors.cpp the routine they drive.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "AnswerCache.h"
#include "Models.h"

namespace brenlow {

// Where a member's values live.
enum class From : std::uint8_t {
    Entry,       // the entry itself
    Index,       // the slot of an indexed entry named by the first argument
    MemorySlot,  // MR slot named by the first argument
    TableSlot,   // identity-20 SS table slot named by the two arguments
    RmCurrent,   // RM: the slot the last answer addressed
    RmNotified,  // RM: the slot named by the first argument, only once its notification was posted
};

constexpr bool TakesIndex(From f) { return f != From::Entry && f != From::RmCurrent; }

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
    Kind kind = Kind::Value;
    std::uint8_t at = 0;
    constexpr bool operator==(const Out&) const = default;
};
constexpr Out V(int i) { return {Out::Kind::Value, static_cast<std::uint8_t>(i)}; }
constexpr Out T(int i) { return {Out::Kind::Text, static_cast<std::uint8_t>(i)}; }
inline constexpr Out kCurrentIndex{Out::Kind::Current, 0};

inline constexpr std::size_t kMaxOuts = 16;

// One accessor: the member's name after "RcvData", the models it serves, the entry it reads and its
// outputs in order.
struct AccessorRow {
    char name[4]{};
    Models models = Models::Both;
    Answer entry = Answer::Count;
    std::array<Out, kMaxOuts> outs{};
    std::uint8_t outCount = 0;
    From from = From::Entry;
    std::uint8_t slots = 0;  // a source that takes an index: how many slots the first argument may name
    TextFirst text = TextFirst::Kept;
    Rearms rearms = Rearms::Nothing;
};

}  // namespace brenlow
