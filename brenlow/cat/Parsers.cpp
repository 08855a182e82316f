// The answer parsers: every answer of the two served models, as one answer row drawn from the command
// rows, stored into the answer cache. The per-letter parser members are entry points to one routine
// that finds the row, stores the values under the cache lock and then runs the letter's notification.
#include <cstring>
#include <string_view>

#include "Brenlow.h"
#include "Commands.h"
#include "RadioState.h"

namespace brenlow {
namespace {

constexpr auto kAnswers = Family<&Command::answers>();
constexpr std::size_t kRowCount = kAnswers.size();

constexpr bool RowsAreSound() {
    for (std::size_t i = 0; i < kRowCount; ++i) {
        const AnswerRow& r = kAnswers[i];
        if (r.letters[0] < 'A' || r.letters[0] > 'Z' || r.letters[1] < 'A' || r.letters[1] > 'Z') return false;
        std::size_t numbers = 0, texts = 0;
        for (std::size_t f = 0; f < r.fieldCount; ++f) {
            if (r.fields[f].conv == Conv::Text) {
                ++texts;
                if (r.fields[f].size == 0 || r.fields[f].size > kTextStorage) return false;
            } else {
                ++numbers;
            }
        }
        if (numbers > kMaxValues || texts > kMaxTexts) return false;
        if (r.shape == Shape::Indexed && (r.indexes == 0 || r.indexes > kMaxIndexes)) return false;
        // Rows of one command are adjacent and differ by model, so the lookup finds each.
        for (std::size_t j = i + 1; j < kRowCount; ++j) {
            const AnswerRow& o = kAnswers[j];
            bool same = o.letters[0] == r.letters[0] && o.letters[1] == r.letters[1];
            if (same && (j != i + 1 || (static_cast<int>(o.models) & static_cast<int>(r.models)))) return false;
        }
    }
    return true;
}
static_assert(RowsAreSound(), "answer table: bad field, overlapping models or split command");

// The per-letter parser and notifier members are those of the first letters that the command rows
// give an answer layout or a notification, and no others.
constexpr bool MembersFitLetters() {
    constexpr std::string_view listed =
#define BRENLOW_LETTER(letter) #letter
        BRENLOW_ANSWER_LETTERS(BRENLOW_LETTER);
#undef BRENLOW_LETTER
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        bool answered = false;
        for (const Command& c : kCommands)
            answered = answered || (c.letters[0] == letter && (c.answers.count > 0 || c.notices.count > 0));
        if (answered != (listed.find(letter) != std::string_view::npos)) return false;
    }
    return true;
}
static_assert(MembersFitLetters(), "BRENLOW_ANSWER_LETTERS and the letters of the command rows' answers differ");

constexpr LetterIndex kIndex(kAnswers);

std::uint32_t Convert(const Field& f, const unsigned char* a, std::size_t length) {
    switch (f.conv) {
    case Conv::D: return Digit(a, f.from);
    case Conv::DD: return Digit(a, f.from) * 10u + Digit(a, f.from + 1u);
    case Conv::DDD: return Digit(a, f.from) * 100u + Digit(a, f.from + 1u) * 10u + Digit(a, f.from + 2u);
    case Conv::Num: return NumberAt(a, length, f.from, f.to);
    case Conv::Text: break;
    }
    return 0;
}

// Numbers into `values`, texts into `texts`, in the row's order.
void StoreFields(const AnswerRow& row, const unsigned char* a, std::size_t length, std::uint32_t* values,
                 char (*texts)[kTextStorage]) {
    std::size_t v = 0, t = 0;
    for (std::size_t i = 0; i < row.fieldCount; ++i) {
        const Field& f = row.fields[i];
        if (f.conv == Conv::Text)
            TextAt(a, length, f.from, f.to, texts[t++], f.size);
        else
            values[v++] = Convert(f, a, length);
    }
}

}  // namespace

const AnswerRow* FindAnswerRow(unsigned char first, unsigned char second, std::uint32_t modelId) {
    return kIndex.Find(first, second, modelId);
}

bool StoreAnswer(const AnswerRow& row, const unsigned char* a, std::size_t length, AnswerCache& cache) {
    switch (row.shape) {
    case Shape::Plain: {
        AnswerEntry& e = cache[row.entry];
        e.valid = 1;
        StoreFields(row, a, length, e.value, e.text);
        return true;
    }
    case Shape::Indexed: {
        IndexedEntry& e = *cache.Indexed(row.entry);
        std::uint32_t index = Digit(a, 2);
        bool wholeEntry = row.entry == Answer::RM;  // RM keeps one valid flag and ignores an index without a slot
        if (index >= row.indexes) {
            if (wholeEntry) return false;
            e.current = 0;
            return false;
        }
        if (wholeEntry) e.valid = 1;
        e.current = index;
        if (!wholeEntry) e.validAt[index] = 1;
        StoreFields(row, a, length, e.value[index], nullptr);
        return true;
    }
    case Shape::MrSlot: {
        std::uint32_t slot = Digit(a, 2);
        if (slot > 1) return false;
        AnswerEntry& e = cache.mrSlot[slot];
        e.valid = 1;
        StoreFields(row, a, length, e.value, e.text);
        return true;
    }
    case Shape::SsTable: {
        std::uint32_t first = Digit(a, 2), second = Digit(a, 3);
        if (first >= kSsTableSize || second >= kSsTableSize) return false;
        TableSlot& slot = cache.ssTable[first][second];
        slot.valid = 1;
        TextAt(a, length, 4, kToEnd, slot.text, sizeof slot.text);
        return true;
    }
    case Shape::Bits: {
        char hex[3] = {static_cast<char>(a[2]), static_cast<char>(a[3]), 0};
        char bits[9] = {};
        if (!HexToBits(hex, bits)) return false;
        AnswerEntry& e = cache[row.entry];
        e.valid = 1;
        for (int bit = 0; bit < 8; ++bit) e.value[bit] = bits[7 - bit] == '1' ? 1u : 0u;
        e.value[8] = Digit(a, 4);
        return true;
    }
    case Shape::Identity:
        cache[Answer::ID].valid = 1;
        return true;  // the identity itself is kept beside the cache, see ParseAnswer
    }
    return false;
}

}  // namespace brenlow

using brenlow::RadioState;

namespace {

using Notifier = long (*)(const unsigned char*, void*);

// One answer of any letter: store it if its row applies, then notify the host, in one hold of the
// cache lock so the notification carries the value this answer stored.
void ParseAnswer(const unsigned char* answer, void* state, Notifier notify) {
    using namespace brenlow;
    RadioState& s = *static_cast<RadioState*>(state);
    std::size_t length = std::strlen(reinterpret_cast<const char*>(answer));
    const AnswerRow* row = FindAnswerRow(answer[0], answer[1], s.modelId.load());
    std::scoped_lock g(s.cacheLock);
    if (row && (row->exactLength == 0 || length == row->exactLength)) {
        StoreAnswer(*row, answer, length, s.cache);
        switch (row->effect) {
        case Effect::None: break;
        case Effect::ExTerminal:
            if (s.modelId.load() == kDunmore) s.terminalMode = std::memcmp(answer, "EX05500001", 10) == 0 ? 1 : 0;
            break;
        case Effect::TcTerminal: s.terminalMode = Digit(answer, 3) == 0 ? 1 : 0; break;
        }
        if (row->shape == Shape::Identity) s.modelId = NumberAt(answer, length, 2, kToEnd);
        if (row->entry == Answer::IF) {
            std::lock_guard<std::mutex> l(s.statusLock);
            ++s.statusAnswers;
            s.statusArrived.notify_all();
        }
    }
    if (s.hostWindow.load()) notify(answer, state);
}

}  // namespace

#define BRENLOW_PARSER(letter)                                                            \
    void CBrenlow::ConstituteData##letter(const unsigned char* answer, void* state) { \
        ParseAnswer(answer, state, WinMsgSendEx##letter);                             \
    }
BRENLOW_ANSWER_LETTERS(BRENLOW_PARSER)
#undef BRENLOW_PARSER

char* CBrenlow::Hex2BinayChar(char* hex, char* out) { return brenlow::HexToBits(hex, out); }
