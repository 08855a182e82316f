// The simulated radio's command table and the one routine it drives. A row names a command and the
// models that take it, whether it reads and sets a value, only reads, or only acts, and its fields
// in wire order with their widths and ranges. A read is "XX" plus the row's index digits, if any; a
// set is "XX" plus every field but the answer-only ones; the answer is "XX" plus every field.
#include "Transceiver.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

namespace radiosim {
namespace {

constexpr std::uint8_t kDun = 1;   // identity 19
constexpr std::uint8_t kCor = 2;   // identity 20 (and any identity but 19)
constexpr std::uint8_t kBoth = 3;
constexpr std::uint8_t kAny = 4;   // ID: whatever the identity

enum class Kind : std::uint8_t {
    Key,    // digits that name one of several values; read and set forms carry them
    Value,  // digits that a set form carries
    Sign,   // one character of `text`, carried by a set form
    Text,   // lo to width characters, carried by a set form; only ever the last field
    Fixed,  // characters that only the answer carries
};

struct Field {
    Kind kind = Kind::Fixed;
    std::uint8_t width = 0;
    std::uint64_t lo = 0;
    std::uint64_t hi = 0;
    std::uint16_t allowed = 0;  // one-digit fields: bit v set when v is taken; 0 means lo..hi
    std::uint64_t initial = 0;
    const char* text = "";      // Sign: the characters taken, the first one initial; Text, Fixed: initial
    bool clamps = false;        // Value: any digits of the width are taken, and held within lo..hi
};

constexpr std::uint8_t Length(const char* s)
{
    std::uint8_t n = 0;
    while (s[n])
        ++n;
    return n;
}

constexpr Field Key(int width, std::uint64_t hi) { return {Kind::Key, std::uint8_t(width), 0, hi, 0, 0, ""}; }
constexpr Field Num(int width, std::uint64_t lo, std::uint64_t hi, std::uint64_t initial)
{
    return {Kind::Value, std::uint8_t(width), lo, hi, 0, initial, ""};
}
constexpr Field Digit(std::uint64_t hi, std::uint64_t initial = 0) { return Num(1, 0, hi, initial); }
constexpr Field Clamped(int width, std::uint64_t lo, std::uint64_t hi, std::uint64_t initial)
{
    Field f = Num(width, lo, hi, initial);
    f.clamps = true;
    return f;
}
constexpr Field OneOf(std::initializer_list<unsigned> values, unsigned initial)
{
    Field f = Num(1, 0, 9, initial);
    for (unsigned v : values)
        f.allowed = std::uint16_t(f.allowed | (1u << v));
    return f;
}
constexpr Field Freq(std::uint64_t hz) { return Num(11, 0, 99'999'999'999, hz); }
constexpr Field Sign(const char* taken) { return {Kind::Sign, 1, 0, 0, 0, 0, taken}; }
constexpr Field Text(int width, std::uint64_t minimum, const char* initial = "")
{
    return {Kind::Text, std::uint8_t(width), minimum, 0, 0, 0, initial};
}
constexpr Field Fixed(const char* text) { return {Kind::Fixed, Length(text), 0, 0, 0, 0, text}; }

enum class Form : std::uint8_t {
    Setting,  // "XX;" (with its index digits) reads, "XX<fields>;" sets
    Reading,  // reads only
    Action,   // acts on its fields, never answers
};

// What a row does beyond storing its fields.
enum class Hook : std::uint8_t {
    None,
    Identity,        // ID: the identity, three digits
    Status,          // IF: composed from the state
    OtherStatus,     // OI: IF for the VFO not in use
    TransmitStatus,  // XI: transmit frequency and mode
    Transmit,        // TX
    Receive,         // RX
    Keying,          // KY: the set text is keyed out, the answer tells the buffer is free
    MemoryRead,      // MR: what MW stored in the channel
    MemoryWrite,     // MW
    Reset,           // SR: back to the initial state
    PowerSwitch,     // PS: 9 is the identity-20 switch-off
    ReceiveVfo,      // FR: the transmit VFO follows
    OffsetClear,     // RC: the RIT/XIT offset back to 0
    OffsetUp,        // RU: the offset up by the value
    OffsetDown,      // RD: the offset down by the value
    Meters,          // RM of identity 20: one answer per meter (SWR, COMP, ALC)
};

constexpr std::uint8_t kReported = 1;  // with auto-information on, a change is reported, then IF
constexpr std::uint8_t kBare = 2;      // Action: its fields may also be left out altogether

struct Row {
    char letters[3];
    std::uint8_t models;
    Form form;
    Hook hook;
    std::uint8_t flags;
    std::uint8_t count;
    std::array<Field, 16> fields;

    constexpr Row(const char (&l)[3], std::uint8_t m, Form f, std::initializer_list<Field> fs, Hook h = Hook::None,
                  std::uint8_t fl = 0)
        : letters{l[0], l[1], 0}, models(m), form(f), hook(h), flags(fl), count(std::uint8_t(fs.size())), fields{}
    {
        std::size_t i = 0;
        for (const Field& x : fs)
            fields[i++] = x;
    }
};

constexpr Form S = Form::Setting;
constexpr Form R = Form::Reading;
constexpr Form A = Form::Action;

// clang-format off
constexpr Row kRows[] = {
    {"AC", kDun,  S, {Digit(1), Digit(1), Digit(2)}},
    {"AC", kCor,  S, {Digit(1), Digit(2), Digit(1)}},
    {"AG", kDun,  S, {Key(1, 1), Num(3, 0, 999, 100)}},
    {"AG", kCor,  S, {Key(1, 0), Num(3, 0, 999, 100)}},
    {"AI", kDun,  S, {OneOf({0, 2}, 0)}},
    {"AI", kCor,  S, {Digit(3)}},
    {"AL", kDun,  S, {Num(3, 0, 4, 0)}},
    {"AM", kDun,  S, {Digit(1)}},
    {"AN", kBoth, S, {Num(1, 1, 2, 1)}},
    {"AR", kDun,  S, {Key(1, 1), Digit(1), Digit(9)}},
    {"AS", kDun,  S, {Key(1, 3), Key(2, 99), Freq(0), Digit(9)}},
    {"AS", kCor,  S, {Key(1, 0), Key(2, 99), Freq(0), Digit(9)}},
    {"BC", kBoth, S, {Digit(2)}},
    {"BD", kBoth, A, {}},
    {"BP", kDun,  S, {Num(3, 0, 63, 0)}},
    {"BU", kBoth, A, {}},
    {"BY", kBoth, R, {Fixed("00")}},
    {"CA", kBoth, S, {Digit(1)}},
    {"CG", kDun,  S, {Num(3, 0, 100, 0)}},
    {"CH", kBoth, A, {Digit(1)}},
    {"CI", kDun,  A, {}},
    {"CM", kDun,  S, {Digit(1)}},
    {"CN", kDun,  S, {Num(2, 1, 99, 1)}},
    {"CN", kCor,  S, {Num(2, 0, 99, 0)}},
    {"CR", kCor,  S, {Digit(1), Digit(2), Fixed("0")}},
    {"CT", kBoth, S, {Digit(1)}},
    {"DC", kDun,  S, {Digit(1), Digit(1)}},
    {"DL", kCor,  S, {Digit(1), Num(2, 0, 99, 0)}},
    {"DN", kBoth, A, {Num(2, 0, 99, 0)}, Hook::None, kBare},
    {"DQ", kDun,  S, {Digit(1)}},
    {"EX", kDun,  S, {Key(3, 999), Key(2, 99), Key(1, 9), Key(1, 9), Text(16, 1, "0")}},
    {"EX", kCor,  S, {Key(3, 999), Key(2, 0), Key(1, 0), Key(1, 0), Text(16, 1, "0")}},
    {"FA", kBoth, S, {Freq(14'074'000)}, Hook::None, kReported},
    {"FB", kBoth, S, {Freq(7'074'000)}, Hook::None, kReported},
    {"FC", kDun,  S, {Freq(144'300'000)}},
    {"FD", kDun,  R, {Fixed("00000000")}},
    {"FR", kDun,  S, {Digit(3)}, Hook::ReceiveVfo, kReported},
    {"FR", kCor,  S, {Digit(2)}, Hook::ReceiveVfo, kReported},
    {"FS", kBoth, S, {Digit(1)}},
    {"FT", kDun,  S, {Digit(3)}, Hook::None, kReported},
    {"FT", kCor,  S, {Digit(1)}, Hook::None, kReported},
    {"FW", kBoth, S, {Num(4, 0, 9999, 2400)}},
    {"GT", kBoth, S, {Num(3, 0, 999, 0)}},
    {"ID", kAny,  R, {}, Hook::Identity},
    {"IF", kBoth, R, {}, Hook::Status},
    {"IS", kDun,  S, {Sign(" "), Num(4, 0, 9999, 0)}},
    {"IS", kCor,  S, {Sign(" -"), Num(4, 0, 9999, 0)}},
    {"KS", kBoth, S, {Num(3, 0, 999, 20)}},
    {"KY", kBoth, S, {Text(25, 1)}, Hook::Keying},
    {"LK", kDun,  S, {Digit(2), Digit(2)}},
    {"LK", kCor,  S, {Digit(1), Digit(1)}},
    {"LM", kDun,  S, {Digit(3)}},
    {"LM", kCor,  S, {Digit(3), Digit(2), Fixed("000")}},
    {"LT", kDun,  S, {Digit(1)}},
    {"MC", kDun,  S, {Digit(2), Num(2, 0, 99, 0)}},
    {"MC", kCor,  S, {Digit(0), Num(2, 0, 99, 0)}},
    {"MD", kBoth, S, {OneOf({1, 2, 3, 4, 5, 6, 7, 9}, 2)}, Hook::None, kReported},
    {"ME", kCor,  R, {Fixed("000")}},
    {"MF", kBoth, S, {Digit(1)}},
    {"MG", kBoth, S, {Num(3, 0, 999, 0)}},
    {"ML", kBoth, S, {Num(3, 0, 9, 0)}},
    {"MO", kDun,  S, {Digit(1)}},
    {"MR", kDun,  R, {Key(1, 1), Key(1, 2), Key(2, 99)}, Hook::MemoryRead},
    {"MR", kCor,  R, {Key(1, 1), Key(1, 0), Key(2, 99)}, Hook::MemoryRead},
    {"MU", kDun,  S, {Digit(1), Digit(1), Digit(1), Digit(1), Digit(1), Digit(1), Digit(1), Digit(1), Digit(1), Digit(1)}},
    // Channel memory: slot, bank, channel, frequency, mode, lock-out, tone type, tone, CTCSS, DCS,
    // reverse, shift, offset, step, group, name.
    {"MW", kDun,  A, {Key(1, 1), Key(1, 9), Key(2, 99), Freq(0), Digit(9), Digit(1), Digit(3), Num(2, 0, 39, 0),
                      Num(2, 0, 38, 0), Num(3, 0, 103, 0), Digit(9), Digit(9), Num(9, 0, 999'999'999, 0),
                      Num(2, 0, 99, 0), Digit(9), Text(7, 0)}, Hook::MemoryWrite},
    {"MW", kCor,  A, {Key(1, 1), Key(1, 0), Key(2, 99), Freq(0), Digit(9), Digit(1), Digit(2), Num(2, 0, 99, 0),
                      Num(2, 0, 99, 0), Num(3, 0, 0, 0), Digit(9), Digit(0), Num(9, 0, 0, 0),
                      Num(2, 0, 99, 0), Digit(9), Text(8, 0)}, Hook::MemoryWrite},
    {"NB", kBoth, S, {Digit(1)}},
    {"NL", kBoth, S, {Num(3, 0, 999, 0)}},
    {"NR", kBoth, S, {Digit(2)}},
    {"NT", kDun,  S, {Digit(1)}},
    {"OF", kDun,  S, {Num(9, 0, 59'950'000, 0)}},
    {"OI", kDun,  R, {}, Hook::OtherStatus},
    {"OP", kCor,  R, {Fixed("000")}},
    {"OS", kDun,  S, {Digit(3)}},
    {"PA", kBoth, S, {Digit(1), Fixed("0")}},
    {"PB", kDun,  S, {Digit(3)}},
    {"PB", kCor,  S, {Digit(3), Fixed("00")}},
    // Taken at any value of its width: the radio holds the power within its range, and programs
    // learn the range by setting 000 and 255 and reading back.
    {"PC", kBoth, S, {Clamped(3, 1, 999, 100)}},
    {"PI", kDun,  A, {Digit(5)}},
    // Packet cluster spot: frequency, call sign, comment, time.
    {"PK", kDun,  R, {Fixed("00000000000"), Fixed("            "), Fixed("                    "), Fixed("0000Z")}},
    {"PL", kBoth, S, {Num(3, 0, 999, 0), Num(3, 0, 999, 0)}},
    {"PM", kDun,  S, {Digit(5)}},
    {"PR", kBoth, S, {Digit(1)}},
    {"PS", kDun,  S, {Digit(3, 1)}},
    {"PS", kCor,  S, {OneOf({0, 1, 9}, 1)}, Hook::PowerSwitch},
    {"QC", kDun,  S, {Num(3, 0, 103, 0)}},
    {"QI", kBoth, A, {}},
    {"QR", kBoth, S, {Digit(1), Digit(9)}},
    {"RA", kBoth, S, {Num(2, 0, 99, 0), Fixed("00")}},
    {"RC", kBoth, A, {}, Hook::OffsetClear},
    {"RD", kBoth, S, {Num(5, 0, 99'999, 0)}, Hook::OffsetDown},
    {"RG", kBoth, S, {Num(3, 0, 999, 0)}},
    {"RL", kBoth, S, {Num(2, 0, 9, 0)}},
    {"RM", kDun,  S, {Digit(4), Fixed("0000")}},
    {"RM", kCor,  S, {Digit(4), Fixed("0000")}, Hook::Meters},
    {"RS", kCor,  R, {Fixed("0")}},
    {"RT", kBoth, S, {Digit(1)}, Hook::None, kReported},
    {"RU", kBoth, S, {Num(5, 0, 99'999, 0)}, Hook::OffsetUp},
    {"RX", kBoth, A, {}, Hook::Receive},
    {"SA", kDun,  S, {Digit(1), Digit(9), Digit(1), Digit(1), Digit(1), Digit(1), Digit(1), Fixed("        ")}},
    {"SB", kDun,  S, {Digit(1)}},
    {"SC", kDun,  S, {Digit(6)}},
    {"SC", kCor,  S, {OneOf({0, 1, 4, 5}, 0), Fixed("0")}},
    {"SD", kBoth, S, {Num(4, 0, 9999, 0)}},
    {"SH", kDun,  S, {Num(2, 0, 11, 0)}},
    {"SH", kCor,  S, {Num(2, 0, 13, 0)}},
    {"SI", kDun,  A, {Digit(9), Text(8, 0)}},
    {"SL", kBoth, S, {Num(2, 0, 11, 0)}},
    {"SM", kDun,  R, {Key(1, 3), Fixed("0000")}},
    {"SM", kCor,  R, {Key(1, 0), Fixed("0000")}},
    {"SQ", kDun,  S, {Key(1, 1), Num(3, 0, 999, 0)}},
    {"SQ", kCor,  S, {Key(1, 0), Num(3, 0, 999, 0)}},
    {"SR", kBoth, A, {Num(1, 1, 2, 1)}, Hook::Reset},
    {"SS", kDun,  S, {Digit(2)}},
    {"SS", kCor,  S, {Key(1, 9), Key(1, 4), Freq(0)}},
    {"ST", kBoth, S, {Num(2, 0, 9, 0)}},
    {"SU", kBoth, S, {Key(1, 1), Digit(9), Digit(9), Digit(9), Digit(9), Digit(9), Digit(9), Digit(9), Digit(9), Digit(9), Digit(9)}},
    {"SV", kBoth, A, {}},
    {"TC", kDun,  S, {Sign(" "), Digit(1, 1)}},  // " 0": the line serves the radio's terminal, " 1": the computer
    {"TD", kDun,  A, {Num(2, 0, 9, 0)}},
    {"TI", kDun,  R, {Fixed("000")}},
    {"TN", kDun,  S, {Num(2, 1, 99, 1)}, Hook::None, kReported},
    {"TN", kCor,  S, {Num(2, 0, 99, 0)}, Hook::None, kReported},
    {"TO", kDun,  S, {Digit(3)}, Hook::None, kReported},
    {"TO", kCor,  S, {Digit(1)}, Hook::None, kReported},
    {"TS", kBoth, S, {Digit(1)}},
    {"TX", kDun,  A, {}, Hook::Transmit},
    {"TX", kCor,  A, {Digit(2)}, Hook::Transmit, kBare},
    {"TY", kBoth, R, {Fixed("000")}},
    {"UL", kBoth, R, {Fixed("0")}},
    {"UP", kBoth, A, {Num(2, 0, 99, 0)}, Hook::None, kBare},
    {"UR", kBoth, A, {Text(128, 1)}},
    {"UT", kBoth, A, {Text(128, 1)}},
    {"VD", kBoth, S, {Num(4, 0, 9999, 0)}},
    {"VG", kBoth, S, {Num(3, 0, 999, 0)}},
    {"VR", kDun,  A, {Num(1, 1, 2, 1)}},
    {"VR", kCor,  A, {Digit(3)}},
    {"VV", kCor,  A, {}},
    {"VX", kBoth, S, {Digit(1)}},
    {"XI", kCor,  R, {}, Hook::TransmitStatus},
    {"XO", kCor,  S, {Digit(1), Freq(0)}},
    {"XT", kBoth, S, {Digit(1)}, Hook::None, kReported},
};
// clang-format on

constexpr long kLargestOffset = 99'999;  // the five digits of the status answer's RIT/XIT offset

constexpr std::uint64_t kPowers[] = {1, 10, 100, 1'000, 10'000, 100'000, 1'000'000, 10'000'000, 100'000'000,
                                     1'000'000'000, 10'000'000'000, 100'000'000'000};

constexpr bool Before(const Row& a, const Row& b)
{
    return a.letters[0] < b.letters[0] || (a.letters[0] == b.letters[0] && a.letters[1] < b.letters[1]);
}

// Rows in letter order, the rows of one command for disjoint models; fields that fit their widths,
// a text only last, and index digits only first.
constexpr bool TableIsSound()
{
    for (std::size_t i = 0; i < std::size(kRows); ++i) {
        const Row& r = kRows[i];
        if (r.letters[0] < 'A' || r.letters[0] > 'Z' || r.letters[1] < 'A' || r.letters[1] > 'Z')
            return false;
        if (i > 0) {
            const Row& p = kRows[i - 1];
            const bool same = p.letters[0] == r.letters[0] && p.letters[1] == r.letters[1];
            if (!same && !Before(p, r))
                return false;
            if (same && (p.models & r.models) != 0)
                return false;
        }
        bool pastKeys = false;
        for (std::size_t f = 0; f < r.count; ++f) {
            const Field& x = r.fields[f];
            if (x.kind == Kind::Key && pastKeys)
                return false;
            pastKeys = pastKeys || x.kind != Kind::Key;
            if (x.kind == Kind::Text && f + 1 != r.count)
                return false;
            if ((x.kind == Kind::Key || x.kind == Kind::Value) &&
                (x.width == 0 || x.width >= std::size(kPowers) || x.hi >= kPowers[x.width] || x.lo > x.hi ||
                 x.initial < x.lo || x.initial > x.hi))
                return false;
            if (x.allowed != 0 && (x.width != 1 || (x.allowed & (1u << x.initial)) == 0))
                return false;
            if (x.kind == Kind::Fixed && x.width == 0)
                return false;
        }
    }
    return true;
}
static_assert(TableIsSound(), "command rows sorted, one per command and model, fields within their widths");

const Row* FindRow(char first, char second, unsigned model)
{
    for (const Row& r : kRows)
        if (r.letters[0] == first && r.letters[1] == second && (r.models & (model | kAny)) != 0)
            return &r;
    return nullptr;
}

bool AllDigits(std::string_view s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::uint64_t ToNumber(std::string_view digits)
{
    std::uint64_t v = 0;
    for (char c : digits)
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
    return v;
}

std::string Padded(std::uint64_t value, int width)
{
    char text[24];
    std::snprintf(text, sizeof text, "%0*llu", width, static_cast<unsigned long long>(value));
    return text;
}

bool Takes(const Field& f, std::string_view digits)
{
    if (digits.size() != f.width || !AllDigits(digits))
        return false;
    const std::uint64_t v = ToNumber(digits);
    if (f.allowed != 0)
        return (f.allowed & (1u << v)) != 0;
    return f.clamps || (v >= f.lo && v <= f.hi);
}

std::size_t KeyWidth(const Row& row)
{
    std::size_t n = 0;
    for (std::size_t f = 0; f < row.count && row.fields[f].kind == Kind::Key; ++f)
        n += row.fields[f].width;
    return n;
}

// The index digits of a read or set form, checked; false when they are not the row's.
bool TakesKeys(const Row& row, std::string_view keys)
{
    std::size_t at = 0;
    for (std::size_t f = 0; f < row.count && row.fields[f].kind == Kind::Key; ++f) {
        const Field& x = row.fields[f];
        if (!Takes(x, keys.substr(at, x.width)))
            return false;
        at += x.width;
    }
    return at == keys.size();
}

// The fields of a set form after the index digits, one text per non-index field (answer-only
// fields left empty); false when the form is not the row's.
bool ParseSet(const Row& row, std::string_view params, std::vector<std::string>& pieces)
{
    pieces.clear();
    std::size_t at = KeyWidth(row);
    for (std::size_t f = 0; f < row.count; ++f) {
        const Field& x = row.fields[f];
        if (x.kind == Kind::Key)
            continue;
        std::string_view rest = params.substr(std::min(at, params.size()));
        switch (x.kind) {
        case Kind::Value:
            if (!Takes(x, rest.substr(0, x.width)))
                return false;
            pieces.push_back(Padded(std::clamp(ToNumber(rest.substr(0, x.width)), x.lo, x.hi), x.width));
            at += x.width;
            break;
        case Kind::Sign:
            if (rest.empty() || std::string_view(x.text).find(rest[0]) == std::string_view::npos)
                return false;
            pieces.emplace_back(rest.substr(0, 1));
            at += 1;
            break;
        case Kind::Text:
            if (rest.size() < x.lo || rest.size() > x.width)
                return false;
            pieces.emplace_back(rest);
            at += rest.size();
            break;
        case Kind::Fixed:
            pieces.emplace_back();
            break;
        case Kind::Key:
            break;
        }
    }
    return at == params.size();
}

std::vector<std::string> Initial(const Row& row)
{
    std::vector<std::string> pieces;
    for (std::size_t f = 0; f < row.count; ++f) {
        const Field& x = row.fields[f];
        switch (x.kind) {
        case Kind::Key: break;
        case Kind::Value: pieces.push_back(Padded(x.initial, x.width)); break;
        case Kind::Sign: pieces.emplace_back(1, x.text[0]); break;
        case Kind::Text:
        case Kind::Fixed: pieces.emplace_back(x.text); break;
        }
    }
    return pieces;
}

std::string Joined(const std::vector<std::string>& pieces)
{
    std::string s;
    for (const auto& p : pieces)
        s += p;
    return s;
}

}  // namespace

Transceiver::Pieces Transceiver::Stored(std::string_view letters, std::string_view keys) const
{
    std::string name(letters);
    name += keys;
    if (auto it = store_.find(name); it != store_.end())
        return it->second;
    // A memory channel never written holds MW's initial fields.
    const Row* row = letters == "MR" ? FindRow('M', 'W', Model()) : FindRow(letters[0], letters[1], Model());
    return row ? Initial(*row) : Pieces{};
}

unsigned long long Transceiver::Frequency(char vfo) const
{
    return ToNumber(Stored(vfo == 'B' ? "FB" : "FA").at(0));
}

void Transceiver::SetFrequency(char vfo, unsigned long long hz)
{
    store_[vfo == 'B' ? "FB" : "FA"] = {Padded(hz % kPowers[11], 11)};
}

unsigned Transceiver::Value(std::string_view letters) const
{
    const Pieces pieces = Stored(letters);
    return pieces.empty() || !AllDigits(pieces[0]) ? 0u : static_cast<unsigned>(ToNumber(pieces[0]));
}

void Transceiver::SetValue(std::string_view letters, unsigned value)
{
    Pieces pieces = Stored(letters);
    if (pieces.empty())
        return;
    pieces[0] = Padded(value, static_cast<int>(pieces[0].size()));
    store_[std::string(letters)] = pieces;
}

unsigned Transceiver::VfoInUse() const
{
    return Value(transmitting_ ? "FT" : "FR");
}

// The status answer: frequency of the VFO in use (or of the memory channel), step, RIT/XIT offset,
// RIT, XIT, memory bank and channel, transmit, mode, VFO, scan, split, tone, tone number, spare.
std::string Transceiver::Status(bool otherVfo) const
{
    unsigned vfo = VfoInUse();
    if (otherVfo && vfo <= 1)
        vfo ^= 1u;
    const Pieces channel = Stored("MC");
    std::string frequency;
    if (vfo == 0 || vfo == 1)
        frequency = Padded(Frequency(vfo == 0 ? 'A' : 'B'), 11);
    else
        frequency = Stored("MR", "0" + channel[0] + channel[1]).at(0);
    const std::string offset = (offset_ < 0 ? "-" : "+") + Padded(static_cast<std::uint64_t>(std::labs(offset_)), 5);
    std::string s = (otherVfo ? "OI" : "IF") + frequency + "0000" + offset;
    s += Stored("RT")[0] + Stored("XT")[0];
    s += channel[0] + channel[1];
    s += transmitting_ ? '1' : '0';
    s += Stored("MD")[0];
    s += static_cast<char>('0' + vfo);
    s += Value("SC") != 0 ? '1' : '0';
    s += Value("FR") != Value("FT") ? '1' : '0';
    s += Stored("TO")[0] + Stored("TN")[0] + "0;";
    return s;
}

std::string Transceiver::TransmitStatus() const
{
    const unsigned vfo = Value("FT");
    return "XI" + Padded(Frequency(vfo == 1 ? 'B' : 'A'), 11) + Stored("MD")[0] + "00;";
}

void Transceiver::Handle(std::string_view cmd, std::vector<std::string>& out)
{
    // A host may put line ends and the terminal's break character before a command.
    while (!cmd.empty() && (cmd.front() == '\r' || cmd.front() == '\n' || cmd.front() == '\x03'))
        cmd.remove_prefix(1);
    if (cmd.empty())
        return;
    const Row* row = cmd.size() >= 2 ? FindRow(cmd[0], cmd[1], Model()) : nullptr;
    if (!row) {
        out.emplace_back("?;");
        return;
    }
    const std::string letters(cmd.substr(0, 2));
    const std::string_view params = cmd.substr(2);
    const std::size_t keyWidth = KeyWidth(*row);
    const std::string keys(params.substr(0, std::min(keyWidth, params.size())));

    const bool read = row->form != Form::Action && params.size() == keyWidth && TakesKeys(*row, keys);
    if (read) {
        switch (row->hook) {
        case Hook::Identity: out.push_back("ID" + Padded(id_, 3) + ";"); return;
        case Hook::Status: out.push_back(Status(false)); return;
        case Hook::OtherStatus: out.push_back(Status(true)); return;
        case Hook::TransmitStatus: out.push_back(TransmitStatus()); return;
        case Hook::Keying: out.emplace_back("KY0;"); return;  // room in the keying buffer
        case Hook::Meters:
            for (char meter : {'1', '2', '3'})
                out.push_back(letters + meter + Stored(letters).at(1) + ";");
            return;
        default: out.push_back(letters + keys + Joined(Stored(letters, keys)) + ";"); return;
        }
    }

    Pieces pieces;
    const bool bare = (row->flags & kBare) != 0 && params.empty();
    if (row->form == Form::Reading || !TakesKeys(*row, keys) || (!bare && !ParseSet(*row, params, pieces))) {
        out.emplace_back("?;");
        return;
    }
    std::vector<std::string> reports;
    switch (row->hook) {
    case Hook::Transmit:
        if (!transmitting_) {
            transmitting_ = true;
            reports.push_back("TX" + (pieces.empty() ? std::string("0") : pieces[0]) + ";");
            reports.push_back(Status(false));
        }
        break;
    case Hook::Receive:
        if (transmitting_) {
            transmitting_ = false;
            reports.push_back("RX0;");
            reports.push_back(Status(false));
        }
        break;
    case Hook::Keying:
        break;
    case Hook::MemoryWrite:
        store_["MR" + keys] = pieces;
        break;
    case Hook::Reset:
        store_.clear();
        transmitting_ = false;
        offset_ = 0;
        break;
    case Hook::OffsetClear:
        offset_ = 0;
        break;
    default: {
        if (row->form == Form::Action)
            break;
        const Pieces before = Stored(letters, keys);
        for (std::size_t i = 0; i < pieces.size(); ++i)
            if (pieces[i].empty())
                pieces[i] = before[i];  // answer-only fields keep their values
        if (row->hook == Hook::PowerSwitch && pieces[0] == "9")
            pieces[0] = "0";
        if (row->hook == Hook::OffsetUp || row->hook == Hook::OffsetDown) {
            const long step = static_cast<long>(ToNumber(pieces[0]));
            offset_ = std::clamp(offset_ + (row->hook == Hook::OffsetUp ? step : -step), -kLargestOffset, kLargestOffset);
        }
        const bool vfoChanged = row->hook == Hook::ReceiveVfo && Value("FT") != ToNumber(pieces[0]);
        if (vfoChanged) {
            // Choosing the receive VFO ends split operation, if the transmit side can follow.
            const Row* ft = FindRow('F', 'T', Model());
            if (ft && Takes(ft->fields[0], pieces[0]))
                store_["FT"] = {pieces[0]};
        }
        store_[letters + keys] = pieces;
        if ((row->flags & kReported) != 0 && (pieces != before || vfoChanged)) {
            reports.push_back(letters + keys + Joined(pieces) + ";");
            reports.push_back(Status(false));
        }
        break;
    }
    }
    if (AutoInformation())
        out.insert(out.end(), reports.begin(), reports.end());
}

}  // namespace radiosim
