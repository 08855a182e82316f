// The CAT command encoders: the one routine that the encoder rows drive (letters, models, read and set
// forms, checks of each parameter per model, what follows a set, what a query empties in the answer
// cache; drawn from the command rows). The members are entry points that name their row.
#include <charconv>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <type_traits>

#include "Brenlow.h"
#include "Commands.h"
#include "RadioState.h"

namespace brenlow {
namespace {

constexpr auto kEncoders = Family<&Command::encoders>();

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
    for (const EncoderRow& r : kEncoders)
        if (!RowIsSound(r)) return false;
    return true;
}
static_assert(TableIsSound(), "encoder table: a format that does not fit its parameters");

constexpr std::string_view kEncoderMembers[] = {
#define BRENLOW_ENCODER_NAME(name, how, parameters, arguments) #name,
    BRENLOW_ENCODERS(BRENLOW_ENCODER_NAME)
#undef BRENLOW_ENCODER_NAME
};
static_assert(EveryRowHasItsMember(kEncoders, kEncoderMembers),
              "encoder table: a row that no member of BRENLOW_ENCODERS uses");

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
    constexpr std::size_t row = MemberRow(kEncoders, name.View());
    static_assert(row < kEncoders.size(), "no encoder row of this name");
    static_assert(ArgumentsFit<Args...>(kEncoders[row]), "the member's arguments do not fit its row");
    const Arg list[sizeof...(Args) + 1] = {Arg(args)..., Arg(0u)};
    return Run(kEncoders[row], mode, list);
}

constexpr const EncoderRow& kTransceiver = kEncoders[MemberRow(kEncoders, "TC")];
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
