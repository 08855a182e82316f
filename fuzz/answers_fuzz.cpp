// Fuzz target: the answer router and its parsers fed arbitrary radio bytes, under every identity.
// Properties besides the sanitizers' (no access outside any buffer):
//  - the router leaves its text as it was;
//  - no parser writes past a text field inside the cache (a field keeps its NUL and the bytes
//    after its declared size stay zero; entries without text keep their text storage empty);
//  - with an identity the library does not serve, only an identity answer may change the cache;
//  - every notification is the library's message with an answer event code (4096..4218).
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "AnswerTable.h"
#include "Brenlow.h"
#include "FuzzSupport.h"
#include "RadioState.h"

using brenlow::Answer;
using brenlow::AnswerCache;
using brenlow::AnswerEntry;
using fuzzsupport::Fail;
using fuzzsupport::Shown;

namespace {

constexpr const char* kLetters[] = {
#define FUZZ_ANSWER_NAME(name) #name,
    BRENLOW_ANSWERS(FUZZ_ANSWER_NAME)
#undef FUZZ_ANSWER_NAME
};
static_assert(std::size(kLetters) == brenlow::kAnswerCount);

fuzzsupport::CheckingWindow window;

// The largest declared size of each text field an entry may hold, from the rows of both models.
struct TextSizes {
    std::size_t count = 0;
    std::size_t size[brenlow::kMaxTexts] = {};
};

TextSizes DeclaredTexts(const char* letters) {
    TextSizes t;
    for (std::uint32_t model : {brenlow::kDunmore, brenlow::kCorrin}) {
        const brenlow::AnswerRow* row = brenlow::FindAnswerRow(letters[0], letters[1], model);
        if (!row || (row->shape != brenlow::Shape::Plain && row->shape != brenlow::Shape::MrSlot)) continue;
        std::size_t i = 0;
        for (std::size_t f = 0; f < row->fieldCount; ++f) {
            if (row->fields[f].conv != brenlow::Conv::Text) continue;
            t.size[i] = std::max<std::size_t>(t.size[i], row->fields[f].size);
            ++i;
        }
        t.count = std::max(t.count, i);
    }
    return t;
}

void CheckTexts(const AnswerEntry& e, const char* letters, const TextSizes& t, const std::string& input) {
    for (std::size_t i = 0; i < brenlow::kMaxTexts; ++i) {
        const std::size_t size = i < t.count ? t.size[i] : 0;
        const char* field = e.text[i];
        if (size > 0 && !std::memchr(field, 0, size))
            Fail("a text field keeps its NUL", std::string(letters) + " text " + std::to_string(i) + " after " + Shown(input));
        for (std::size_t b = size; b < brenlow::kTextStorage; ++b)
            if (field[b] != 0)
                Fail("nothing is written past a text field",
                     std::string(letters) + " text " + std::to_string(i) + " byte " + std::to_string(b) + " after " +
                         Shown(input));
    }
}

void CheckCache(const AnswerCache& c, const std::string& input) {
    for (std::size_t a = 0; a < brenlow::kAnswerCount; ++a) {
        const TextSizes t = DeclaredTexts(kLetters[a]);
        CheckTexts(c.entry[a], kLetters[a], t, input);
        if (static_cast<Answer>(a) == Answer::MR)
            for (const AnswerEntry& slot : c.mrSlot) CheckTexts(slot, "MR slot", t, input);
    }
    for (const auto& row : c.ssTable)
        for (const auto& slot : row)
            if (!std::memchr(slot.text, 0, sizeof slot.text)) Fail("an SS table slot keeps its NUL", Shown(input));
}

// Whether the router would hand the text an identity answer (the only one any identity may give).
bool HasIdentityAnswer(const std::string& text) {
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(';', start)) != std::string::npos; start = end + 1)
        if (end - start >= 2 && text[start] == 'I' && text[start + 1] == 'D') return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    CBrenlow lib;
    lib.WinMsgSendReg(&window);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    std::uint32_t model;
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: model = brenlow::kDunmore; break;
    case 1: model = brenlow::kCorrin; break;
    case 2: model = 0; break;
    default: model = in.ConsumeIntegral<std::uint8_t>(); break;
    }
    // The router takes NUL-terminated text; the serial component never delivers a NUL.
    std::string text = in.ConsumeRemainingBytesAsString();
    text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());

    brenlow::RadioState& s = brenlow::State();
    {
        std::scoped_lock g(s.cacheLock);
        s.cache.Clear();
    }
    s.modelId = model;
    s.terminalMode = 0;

    const std::string before = text;
    const AnswerCache empty = [&] {
        std::scoped_lock g(s.cacheLock);
        return s.cache;
    }();
    CBrenlow::ConstituteData(reinterpret_cast<const unsigned char*>(text.c_str()), &s);
    if (text != before) Fail("the router leaves its text as it was", Shown(before) + " became " + Shown(text));

    AnswerCache after;
    {
        std::scoped_lock g(s.cacheLock);
        after = s.cache;
    }
    CheckCache(after, text);
    if (model != brenlow::kDunmore && model != brenlow::kCorrin && !HasIdentityAnswer(text) &&
        std::memcmp(&after, &empty, sizeof after) != 0)
        Fail("an identity that is not served changes nothing", "identity " + std::to_string(model) + ", " + Shown(text));

    for (const fuzzsupport::Posted& p : window.Take())
        if (p.code < 4096 || p.code > 4218)
            Fail("answers post answer event codes only", std::to_string(p.code) + " after " + Shown(text));
    return 0;
}
