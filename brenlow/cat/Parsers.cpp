// The answer parsers: every answer of the two served models, as one table row, stored into the
// answer cache. The per-letter parser members are entry points to one routine that finds the row,
// stores the values under the cache lock and then runs the letter's notification.
#include <cstring>

#include "AnswerTable.h"
#include "Brenlow.h"
#include "RadioState.h"

namespace brenlow {
namespace {

using A = Answer;
constexpr Models kDun = Models::Dunmore;
constexpr Models kCor = Models::Corrin;
constexpr Models kBoth = Models::Both;

// The six numbers of the IF and OI answers after the frequency text.
#define BRENLOW_STATUS_FIELDS                                                                        \
    text(2, 12, 20), num(13, 16), num(17, 22), d(23), d(24), d(25), num(26, 27), d(28), d(29), d(30), \
        d(31), d(32), d(33), num(34, 35), d(36)

constexpr AnswerRow kAnswers[] = {
    {"AC", kBoth, A::AC, {d(2), d(3), d(4)}},
    {"AG", kBoth, A::AG, {num(3)}, Shape::Indexed, 0, 2},
    {"AI", kBoth, A::AI, {d(2)}},
    {"AL", kDun, A::AL, {num(2)}},
    {"AM", kDun, A::AM, {d(2)}},
    {"AN", kBoth, A::AN, {d(2)}},
    {"AR", kDun, A::AR, {d(3), d(4)}, Shape::Indexed, 0, 2},
    {"AS", kBoth, A::AS, {d(2), num(3, 4), d(16), text(5, 15, 20)}},
    {"BC", kBoth, A::BC, {d(2)}},
    {"BP", kDun, A::BP, {num(2)}},
    {"BY", kBoth, A::BY, {d(2), d(3)}},
    {"CA", kBoth, A::CA, {d(2)}},
    {"CG", kDun, A::CG, {num(2)}},
    {"CM", kDun, A::CM, {d(2)}},
    {"CN", kBoth, A::CN, {num(2)}},
    {"CR", kCor, A::CR, {d(2), d(3), d(4)}},
    {"CT", kBoth, A::CT, {d(2)}},
    {"DC", kDun, A::DC, {d(2), d(3)}},
    {"DL", kCor, A::DL, {d(2), dd(3)}},
    {"DQ", kDun, A::DQ, {d(2)}},
    {"EX", kBoth, A::EX, {num(2, 4), num(5, 6), d(7), d(8), text(9, kToEnd, 20)}, Shape::Plain, 0, 0, Effect::ExTerminal},
    {"FA", kBoth, A::FA, {text(2, 12, 20)}, Shape::Plain, 13},
    {"FB", kBoth, A::FB, {text(2, 12, 20)}, Shape::Plain, 13},
    {"FC", kDun, A::FC, {text(2, 12, 20)}, Shape::Plain, 13},
    {"FD", kDun, A::FD, {text(2, kToEnd, 12)}},
    {"FR", kBoth, A::FR, {d(2)}},
    {"FS", kBoth, A::FS, {d(2)}},
    {"FT", kBoth, A::FT, {d(2)}},
    {"FW", kBoth, A::FW, {num(2)}},
    {"GT", kBoth, A::GT, {num(2)}},
    {"ID", Models::Any, A::ID, {num(2)}, Shape::Identity},
    {"IF", kBoth, A::IF, {BRENLOW_STATUS_FIELDS}, Shape::Plain, 37},
    {"IS", kBoth, A::IS, {text(2, 2, 4), num(3)}},
    {"KS", kBoth, A::KS, {num(2)}},
    {"KY", kBoth, A::KY, {d(2)}},
    {"LK", kBoth, A::LK, {d(2), d(3)}},
    {"LM", kDun, A::LM, {d(2)}},
    {"LM", kCor, A::LM, {d(2), d(3), ddd(4)}},
    {"LT", kDun, A::LT, {d(2)}},
    {"MC", kBoth, A::MC, {d(2), num(3)}},
    {"MD", kBoth, A::MD, {d(2)}},
    {"ME", kCor, A::ME, {d(2), d(3), d(4)}},
    {"MF", kBoth, A::MF, {d(2)}},
    {"MG", kBoth, A::MG, {num(2)}},
    {"ML", kBoth, A::ML, {num(2)}},
    {"MO", kDun, A::MO, {d(2)}},
    {"MR", kBoth, A::MR,
     {d(3), num(4, 5), d(17), d(18), d(19), num(20, 21), num(22, 23), num(24, 26), d(27), d(28), num(38, 39),
      num(29, 37), d(40), text(6, 16, 20), text(41, 48, 20)},
     Shape::MrSlot},
    {"MU", kDun, A::MU, {d(2), d(3), d(4), d(5), d(6), d(7), d(8), d(9), d(10), d(11)}},
    {"NB", kBoth, A::NB, {d(2)}},
    {"NL", kBoth, A::NL, {num(2)}},
    {"NR", kBoth, A::NR, {d(2)}},
    {"NT", kDun, A::NT, {d(2)}},
    {"OF", kDun, A::OF, {num(2)}},
    {"OI", kDun, A::OI, {BRENLOW_STATUS_FIELDS}, Shape::Plain, 37},
    {"OP", kCor, A::OP, {d(2), d(3), d(4)}},
    {"OS", kDun, A::OS, {d(2)}},
    {"PA", kBoth, A::PA, {d(2), d(3)}},
    {"PB", kDun, A::PB, {d(2)}},
    {"PB", kCor, A::PB, {d(2), d(3), d(4)}},
    {"PC", kBoth, A::PC, {num(2)}},
    {"PK", kDun, A::PK, {text(2, 12, 20), text(13, 24, 20), text(25, 44, 40), text(45, 49, 12)}},
    {"PL", kBoth, A::PL, {num(2, 4), num(5)}},
    {"PM", kDun, A::PM, {d(2)}},
    {"PR", kBoth, A::PR, {d(2)}},
    {"PS", kBoth, A::PS, {d(2)}},
    {"QC", kDun, A::QC, {num(2)}},
    {"QR", kBoth, A::QR, {d(2), d(3)}},
    {"RA", kBoth, A::RA, {dd(2), dd(4)}},
    {"RD", kBoth, A::RD, {num(2)}},
    {"RG", kBoth, A::RG, {num(2)}},
    {"RL", kBoth, A::RL, {num(2)}},
    {"RM", kBoth, A::RM, {num(3)}, Shape::Indexed, 0, 10},
    {"RS", kCor, A::RS, {d(2)}},
    {"RT", kBoth, A::RT, {d(2)}},
    {"RU", kBoth, A::RU, {num(2)}},
    {"RX", kBoth, A::RX, {num(2)}},
    {"SA", kDun, A::SA, {d(2), d(3), d(4), d(5), d(6), d(7), d(8), text(9, kToEnd, 12)}},
    {"SB", kDun, A::SB, {d(2)}},
    {"SC", kDun, A::SC, {d(2)}},
    {"SC", kCor, A::SC, {d(2), d(3)}},
    {"SD", kBoth, A::SD, {num(2)}},
    {"SH", kBoth, A::SH, {num(2)}},
    {"SL", kBoth, A::SL, {num(2)}},
    {"SM", kBoth, A::SM, {num(3)}, Shape::Indexed, 0, 4},
    {"SQ", kBoth, A::SQ, {num(3)}, Shape::Indexed, 0, 2},
    {"SS", kDun, A::SS, {d(2)}},
    {"SS", kCor, A::SS, {text(4, kToEnd, 20)}, Shape::SsTable},
    {"ST", kBoth, A::ST, {num(2)}},
    {"SU", kBoth, A::SU, {d(2), d(3), d(4), d(5), d(6), d(7), d(8), d(9), d(10), d(11), d(12)}},
    {"TC", kDun, A::TC, {d(2), d(3)}, Shape::Plain, 0, 0, Effect::TcTerminal},
    {"TI", kDun, A::TI, {d(2), d(3), d(4)}},
    {"TN", kBoth, A::TN, {num(2)}},
    {"TO", kBoth, A::TO, {d(2)}},
    {"TS", kBoth, A::TS, {d(2)}},
    {"TX", kBoth, A::TX, {num(2)}},
    {"TY", kBoth, A::TY, {d(4)}, Shape::Bits},
    {"UL", kBoth, A::UL, {d(2)}},
    {"VD", kBoth, A::VD, {num(2)}},
    {"VG", kBoth, A::VG, {num(2)}},
    {"VX", kBoth, A::VX, {d(2)}},
    {"XI", kCor, A::XI, {d(13), dd(14), text(2, 12, 20)}, Shape::Plain, 16},
    {"XO", kCor, A::XO, {d(2), text(3, 13, 20)}, Shape::Plain, 14},
    {"XT", kBoth, A::XT, {d(2)}},
};
#undef BRENLOW_STATUS_FIELDS

constexpr std::size_t kRowCount = sizeof kAnswers / sizeof kAnswers[0];

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
