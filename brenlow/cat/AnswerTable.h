// The vocabulary of the answer table: per radio answer (and per model where the two models differ)
// its identities, length rule and how its fixed-position parameters fill the cache entry, and the
// notification the host is sent. Commands.h holds the rows; the parsers and notifications read through them.
#pragma once

#include <array>
#include <cstdint>

#include "AnswerCache.h"
#include "AnswerText.h"
#include "Models.h"

namespace brenlow {

enum class Conv : std::uint8_t { D, DD, DDD, Num, Text };

struct Field {
    Conv conv;
    std::uint8_t from;
    std::uint8_t to;    // last position, or kToEnd
    std::uint8_t size;  // text field size in bytes
};

constexpr Field d(int n) { return {Conv::D, std::uint8_t(n), std::uint8_t(n), 0}; }
constexpr Field dd(int n) { return {Conv::DD, std::uint8_t(n), std::uint8_t(n + 1), 0}; }
constexpr Field ddd(int n) { return {Conv::DDD, std::uint8_t(n), std::uint8_t(n + 2), 0}; }
constexpr Field num(int from, int to = kToEnd) { return {Conv::Num, std::uint8_t(from), std::uint8_t(to), 0}; }
constexpr Field text(int from, int to, int size) { return {Conv::Text, std::uint8_t(from), std::uint8_t(to), std::uint8_t(size)}; }

// How an answer's values are stored.
enum class Shape : std::uint8_t {
    Plain,     // valid flag, numbers, texts
    Indexed,   // d(2) selects one of `indexes` slots (AG, AR, SQ, SM, RM)
    MrSlot,    // d(2) selects one of two memory slots
    SsTable,   // d(2), d(3) select a slot of the identity-20 SS table
    Bits,      // TY: a hexadecimal byte as eight bit values, then d(4)
    Identity,  // ID: the model identity
};

// What else an answer changes.
enum class Effect : std::uint8_t { None, ExTerminal, TcTerminal };

struct AnswerRow {
    char letters[3]{};
    Models models = Models::Both;
    std::uint8_t exactLength = 0;  // 0: any length
    Answer entry = Answer::Count;
    Shape shape = Shape::Plain;
    std::uint8_t indexes = 0;      // Indexed: how many slots
    Effect effect = Effect::None;
    std::uint8_t fieldCount = 0;
    std::array<Field, 16> fields{};  // in cache order; numbers to value[], texts to text[]
};

// The lParam an answer's notification carries.
enum class Carry : std::uint8_t {
    Zero,         // lParam 0
    Value,        // the entry's first value
    HighLow,      // the first value shifted left by 16, plus the second
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

// Whether a carry reads the command's cache entry (the others read the answer or nothing).
constexpr bool ReadsEntry(Carry c) {
    return c != Carry::Zero && c != Carry::IndexDigit && c != Carry::SlotDigit && c != Carry::TableDigits &&
           c != Carry::TyDigits && c != Carry::MenuNumber && c != Carry::Identity;
}

// One answer's notification to the host: the models it is posted for, its event code (wParam), its lParam.
struct NotifyRow {
    char letters[3]{};
    Models models = Models::Both;
    unsigned code = 0;
    Carry carry = Carry::Value;
    Answer entry = Answer::Count;  // Answer::Count: the cache keeps nothing of the command
};

// Finds the row of a command (two letters) that serves an identity in a table whose rows carry
// `letters` and `models`, the rows of one command adjacent. Built at compile time.
template <class Row, std::size_t N>
class LetterIndex {
public:
    constexpr explicit LetterIndex(const std::array<Row, N>& rows) : rows_(rows), first_{} {
        for (auto& row : first_)
            for (auto& cell : row) cell = -1;
        for (std::size_t i = N; i-- > 0;) first_[rows[i].letters[0] - 'A'][rows[i].letters[1] - 'A'] = static_cast<std::int16_t>(i);
    }

    const Row* Find(unsigned char first, unsigned char second, std::uint32_t modelId) const {
        if (first < 'A' || first > 'Z' || second < 'A' || second > 'Z') return nullptr;
        std::int16_t i = first_[first - 'A'][second - 'A'];
        if (i < 0) return nullptr;
        for (std::size_t r = static_cast<std::size_t>(i);
             r < N && rows_[r].letters[0] == first && rows_[r].letters[1] == second; ++r)
            if (Serves(rows_[r].models, modelId)) return &rows_[r];
        return nullptr;
    }

private:
    const std::array<Row, N>& rows_;
    std::int16_t first_[26][26];
};

// The row for these two letters that serves this identity, or null.
const AnswerRow* FindAnswerRow(unsigned char first, unsigned char second, std::uint32_t modelId);

// Stores the answer's values into its cache entry as the row says. Caller holds the cache lock.
// Returns false when the answer changed nothing (its index has no slot, its TY digits are not
// hexadecimal).
bool StoreAnswer(const AnswerRow& row, const unsigned char* answer, std::size_t length, AnswerCache& cache);

// Posts the notification of one answer to the host window; 0 when no window is registered.
long NotifyAnswer(const unsigned char* answer, void* state);

}  // namespace brenlow
