// Answer notifications: for every answer the host is told, one row (drawn from the command rows) with
// its identities, event code and the value it carries. Posted to the registered host window, never waited for.
#include <cstring>

#include "Brenlow.h"
#include "Commands.h"
#include "RadioState.h"

namespace brenlow {
namespace {

constexpr auto kNotifications = Family<&Command::notices>();
constexpr std::size_t kNotifyCount = kNotifications.size();

constexpr bool CodesAreUnique() {
    for (std::size_t i = 0; i < kNotifyCount; ++i)
        for (std::size_t j = i + 1; j < kNotifyCount; ++j) {
            const NotifyRow &x = kNotifications[i], &y = kNotifications[j];
            bool sameCommand = x.letters[0] == y.letters[0] && x.letters[1] == y.letters[1];
            if (x.code == y.code && !sameCommand) return false;
            if (sameCommand && (static_cast<int>(x.models) & static_cast<int>(y.models))) return false;
        }
    for (const NotifyRow& r : kNotifications)
        if (ReadsEntry(r.carry) && r.entry == Answer::Count) return false;
    return true;
}
static_assert(CodesAreUnique(), "notification table: a code used twice or a command listed twice per model");

constexpr LetterIndex kNotifyIndex(kNotifications);

const NotifyRow* FindNotifyRow(unsigned char first, unsigned char second, std::uint32_t modelId) {
    return kNotifyIndex.Find(first, second, modelId);
}

long HighLow(std::uint32_t high, std::uint32_t low) {
    return static_cast<long>(static_cast<std::int32_t>((high << 16) + low));
}

long AsLParam(std::uint32_t v) { return static_cast<long>(static_cast<std::int32_t>(v)); }

// Decides under the cache lock whether the row posts, and with which lParam.
bool LParamFor(const NotifyRow& r, const unsigned char* a, std::size_t length, RadioState& s, long& lParam) {
    std::scoped_lock g(s.cacheLock);
    AnswerCache& c = s.cache;
    std::uint32_t digit = Digit(a, 2);
    switch (r.carry) {
    case Carry::Zero: lParam = 0; return true;
    case Carry::Value: lParam = AsLParam(c[r.entry].value[0]); return true;
    case Carry::HighLow: lParam = HighLow(c[r.entry].value[0], c[r.entry].value[1]); return true;
    case Carry::Notified: {
        AnswerEntry& m = c[r.entry];
        if (m.notified) return false;
        m.notified = 1;
        lParam = 0;
        return true;
    }
    case Carry::IndexValue: {
        if (digit > 1) return false;
        const IndexedEntry& ix = *c.Indexed(r.entry);
        lParam = HighLow(digit, ix.value[digit][0]);
        return true;
    }
    case Carry::IndexDigit:
        if (digit > 1) return false;
        lParam = AsLParam(digit);
        return true;
    case Carry::SmIndex: {
        IndexedEntry& ix = c.sm;
        if (digit > 3 || ix.notified[digit]) return false;
        ix.notified[digit] = 1;
        lParam = AsLParam(digit);
        return true;
    }
    case Carry::RmIndex: {
        IndexedEntry& ix = c.rm;
        if (digit >= kMaxIndexes || ix.notified[digit]) return false;
        ix.notified[digit] = 1;
        lParam = HighLow(digit, ix.value[digit][0]);
        return true;
    }
    case Carry::SlotDigit: lParam = AsLParam(digit); return true;
    case Carry::MenuNumber: lParam = AsLParam(NumberAt(a, length, 2, 8)); return true;
    case Carry::Signed: {
        const AnswerEntry& e = c[r.entry];
        auto v = static_cast<std::int32_t>(e.value[0]);
        lParam = e.text[0][0] == '-' ? -static_cast<long>(v) : static_cast<long>(v);
        return true;
    }
    case Carry::Identity: lParam = AsLParam(s.modelId.load()); return true;
    case Carry::TableDigits: lParam = HighLow(digit, Digit(a, 3)); return true;
    case Carry::TyDigits: lParam = HighLow(digit * 10u + Digit(a, 3), Digit(a, 4)); return true;
    }
    return false;
}

}  // namespace

long NotifyAnswer(const unsigned char* answer, void* state) {
    RadioState& s = *static_cast<RadioState*>(state);
    if (!s.hostWindow.load()) return 0;
    const NotifyRow* row = FindNotifyRow(answer[0], answer[1], s.modelId.load());
    long lParam = 0;
    if (!row || !LParamFor(*row, answer, std::strlen(reinterpret_cast<const char*>(answer)), s, lParam)) return 1;
    return PostToHost(s, row->code, lParam) ? 1 : 0;
}

}  // namespace brenlow

#define BRENLOW_NOTIFIER(letter)                                                        \
    long CBrenlow::WinMsgSendEx##letter(const unsigned char* answer, void* state) { \
        return brenlow::NotifyAnswer(answer, state);                                \
    }
BRENLOW_ANSWER_LETTERS(BRENLOW_NOTIFIER)
#undef BRENLOW_NOTIFIER
