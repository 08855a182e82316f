// The client command interpreter: cuts a batch at ";", sends commands before login to the login
// dialogue, "@@" commands to the server commands, and radio commands through the refusal rules
// (one set for every model, one per model) to the radio. Everything no rule refuses is allowed.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "Brenlow.h"
#include "Models.h"
#include "SessionText.h"

using brenlow::RadioState;
using namespace brenlow::server;

namespace {

enum class Length : std::uint8_t { Any, AtLeast, Exactly };

enum class Verdict : std::uint8_t {
    Refuse,
    RefuseUnlessLoadMessage,  // allowed while the host enabled load messages
    AllowAndNotifyComputerControl,
};

// One rule: the command's prefix and length (without its ";") select it; the first rule that
// applies decides, and a command no rule applies to is allowed.
struct FilterRule {
    std::string_view prefix;
    Length length;
    std::size_t count;
    Verdict verdict;
};

constexpr FilterRule kEveryModel[] = {
    {"SR", Length::Any, 0, Verdict::Refuse},
    {"LM", Length::AtLeast, 3, Verdict::RefuseUnlessLoadMessage},
    {"MF", Length::Exactly, 3, Verdict::Refuse},
};

// A menu command of ten characters or more sets its menu; the shorter read form stays allowed.
constexpr FilterRule kDunmoreRules[] = {
    {"TC", Length::AtLeast, 3, Verdict::AllowAndNotifyComputerControl},
    {"EX024", Length::AtLeast, 10, Verdict::Refuse},
    {"EX054", Length::AtLeast, 10, Verdict::Refuse},
    {"EX056", Length::AtLeast, 10, Verdict::Refuse},
};

constexpr FilterRule kCorrinRules[] = {
    {"EX022", Length::AtLeast, 10, Verdict::Refuse},
    {"EX055", Length::AtLeast, 10, Verdict::Refuse},
    {"EX056", Length::AtLeast, 10, Verdict::Refuse},
};

template <std::size_t N>
constexpr bool PrefixesDistinct(const FilterRule (&rules)[N]) {
    for (std::size_t i = 0; i < N; ++i) {
        if (rules[i].prefix.size() < 2) return false;
        for (std::size_t j = i + 1; j < N; ++j)
            if (rules[i].prefix == rules[j].prefix) return false;
    }
    return true;
}
static_assert(PrefixesDistinct(kEveryModel) && PrefixesDistinct(kDunmoreRules) && PrefixesDistinct(kCorrinRules));

// The number after the command's first three characters, read the way the radio's own parser
// does: blanks skipped, an optional sign, digits up to the first other character; 0 without digits.
long NumberAfter(const unsigned char* command, std::size_t length) {
    if (length <= 3) return 0;
    return std::strtol(reinterpret_cast<const char*>(command + 3), nullptr, 10);
}

template <std::size_t N>
int Apply(const FilterRule (&rules)[N], const unsigned char* command, RadioState& s) {
    const std::size_t length = std::strlen(reinterpret_cast<const char*>(command));
    const std::string_view text(reinterpret_cast<const char*>(command), length);
    for (const FilterRule& rule : rules) {
        if (!text.starts_with(rule.prefix)) continue;
        if (rule.length == Length::AtLeast && length < rule.count) continue;
        if (rule.length == Length::Exactly && length != rule.count) continue;
        switch (rule.verdict) {
        case Verdict::Refuse: return 0;
        case Verdict::RefuseUnlessLoadMessage: return s.loadMessageEnable.load() ? 1 : 0;
        case Verdict::AllowAndNotifyComputerControl:
            brenlow::PostToHost(s, brenlow::kComputerControlNotice, NumberAfter(command, length));
            return 1;
        }
    }
    return 1;
}

void UpperCase(unsigned char* text, std::size_t count) {
    for (std::size_t i = 0; i < count && text[i]; ++i)
        if (text[i] >= 'a' && text[i] <= 'z') text[i] = static_cast<unsigned char>(text[i] - 'a' + 'A');
}

// The radio skips control characters and blanks in front of a command, so the rules judge what
// follows them: "\nSR;" must be refused exactly as "SR;" is.
const unsigned char* AsTheRadioReadsIt(const unsigned char* command) {
    while (*command && (*command <= ' ' || *command == 0x7F)) ++command;
    return command;
}

}  // namespace

int CBrenlow::CmdSetCodeCheckFallow(unsigned char* command, void* state) {
    return Apply(kEveryModel, command, *static_cast<RadioState*>(state));
}

int CBrenlow::CmdSetCodeCheckDunmore(unsigned char* command, void* state) {
    return Apply(kDunmoreRules, command, *static_cast<RadioState*>(state));
}

int CBrenlow::CmdSetCodeCheckCorrin(unsigned char* command, void* state) {
    return Apply(kCorrinRules, command, *static_cast<RadioState*>(state));
}

void CBrenlow::CmdSetCodeCheck(unsigned char* batch, void* state) {
    using ModelRules = int (*)(unsigned char*, void*);
    struct ModelRow {
        std::uint32_t id;
        ModelRules rules;
    };
    static constexpr ModelRow kModels[] = {
        {brenlow::kDunmore, CmdSetCodeCheckDunmore},
        {brenlow::kCorrin, CmdSetCodeCheckCorrin},
    };

    RadioState& s = *static_cast<RadioState*>(state);
    // A close inside the batch (third wrong password, disabled user) ends the connection: what the
    // gone client sent after it must not act on the session of the next one.
    const bool hadClient = s.clientConnected.load() != 0;
    unsigned char command[kBufferSize];
    const char* pos = reinterpret_cast<const char*>(batch);
    while (const char* end = std::strchr(pos, ';')) {
        // A command keeps room for its ";" and NUL, whatever the caller's batch holds.
        const std::size_t length = std::min<std::size_t>(static_cast<std::size_t>(end - pos), kBufferSize - 2);
        std::memset(command, 0, sizeof command);
        std::memcpy(command, pos, length);
        pos = end + 1;

        if (!s.session.loggedIn.load()) {
            if (!CmdSetCodeCheckVEXA_LOGIN(command, state)) SendText(s, kCmdNg);
        } else if (command[0] == '@' && command[1] == '@') {
            if (length >= 4) {
                UpperCase(command, 4);
                CmdSetCodeCheckVEXA(command, state);
            }
        } else {
            UpperCase(command, 2);
            // Judged on a copy without the leading bytes; forwarded as sent.
            unsigned char judged[kBufferSize] = {};
            const unsigned char* start = AsTheRadioReadsIt(command);
            std::memcpy(judged, start, length - static_cast<std::size_t>(start - command));
            UpperCase(judged, 2);
            if (CmdSetCodeCheckFallow(judged, state)) {
                const std::uint32_t model = s.modelId.load();
                for (const ModelRow& m : kModels) {
                    if (m.id != model || !m.rules(judged, state)) continue;
                    command[length] = ';';
                    brenlow::WriteRadio(s, command, length + 1);
                    if (judged[0] == 'T' && judged[1] == 'X') s.clientKeyedTransmitter = 1;
                    if (judged[0] == 'R' && judged[1] == 'X') s.clientKeyedTransmitter = 0;
                }
            }
        }
        if (hadClient && !s.clientConnected.load()) break;
    }
}
