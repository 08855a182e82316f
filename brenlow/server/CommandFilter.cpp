// The client command interpreter: cuts a batch at ";", sends commands before login to the login
// dialogue, "@@" commands to the server commands, and radio commands through the refusal rules
// (one set for every model, one per model) to the radio. Everything no rule refuses is allowed.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string_view>

#include "Brenlow.h"
#include "CommandRules.h"
#include "Models.h"
#include "Session.h"
#include "SessionText.h"

using brenlow::RadioState;
using namespace brenlow::server;

namespace {

// The number after the command's first three characters, read the way the radio's own parser
// does: blanks skipped, an optional sign, digits up to the first other character; 0 without digits.
long NumberAfter(const unsigned char* command, std::size_t length) {
    if (length <= 3) return 0;
    return std::strtol(reinterpret_cast<const char*>(command + 3), nullptr, 10);
}

int Apply(std::span<const brenlow::CommandRule> rules, const unsigned char* command, RadioState& s) {
    const std::size_t length = std::strlen(reinterpret_cast<const char*>(command));
    const brenlow::CommandRule* rule =
        brenlow::FirstRule(rules, std::string_view(reinterpret_cast<const char*>(command), length));
    if (!rule) return 1;
    switch (rule->verdict) {
    case brenlow::RuleVerdict::Refuse: return 0;
    case brenlow::RuleVerdict::RefuseUnlessLoadMessage: return s.loadMessageEnable.load() ? 1 : 0;
    case brenlow::RuleVerdict::AllowAndNotifyComputerControl:
        brenlow::PostToHost(s, brenlow::kComputerControlNotice, NumberAfter(command, length));
        return 1;
    }
    return 1;
}

// A command that keys the transmitter ("TX", "TX0" to "TX9") or releases it ("RX", "RX0" to "RX9"):
// the code of the radio's own report of that change, or 0.
unsigned long KeyingReport(const unsigned char* judged) {
    const bool digitOrNothing = judged[2] == 0 || (judged[2] >= '0' && judged[2] <= '9' && judged[3] == 0);
    if (judged[1] != 'X' || !digitOrNothing) return 0;
    if (judged[0] == 'T') return brenlow::kTransmitAnswer;
    if (judged[0] == 'R') return brenlow::kReceiveAnswer;
    return 0;
}

void UpperCase(unsigned char* text, std::size_t count) {
    for (std::size_t i = 0; i < count && text[i]; ++i)
        if (text[i] >= 'a' && text[i] <= 'z') text[i] = static_cast<unsigned char>(text[i] - 'a' + 'A');
}

}  // namespace

int CBrenlow::CmdSetCodeCheckFallow(unsigned char* command, void* state) {
    return Apply(brenlow::kEveryModelRules, command, *static_cast<RadioState*>(state));
}

int CBrenlow::CmdSetCodeCheckDunmore(unsigned char* command, void* state) {
    return Apply(brenlow::kDunmoreRules, command, *static_cast<RadioState*>(state));
}

int CBrenlow::CmdSetCodeCheckCorrin(unsigned char* command, void* state) {
    return Apply(brenlow::kCorrinRules, command, *static_cast<RadioState*>(state));
}

void CBrenlow::CmdSetCodeCheck(unsigned char* batch, void* state, LoginDialogue& login) {
    using ModelCheck = int (*)(unsigned char*, void*);
    struct ModelRow {
        std::uint32_t id;
        ModelCheck rules;
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
            if (!login.Step(command)) SendText(s, kCmdNg);
        } else if (command[0] == '@' && command[1] == '@') {
            if (length >= 4) {
                UpperCase(command, 4);
                CmdSetCodeCheckVEXA(command, state);
            }
        } else {
            UpperCase(command, 2);
            // Judged on a copy without the leading bytes; forwarded as sent.
            unsigned char judged[kBufferSize] = {};
            const std::size_t skipped =
                brenlow::SkippedInFront(std::string_view(reinterpret_cast<const char*>(command), length));
            std::memcpy(judged, command + skipped, length - skipped);
            UpperCase(judged, 2);
            if (CmdSetCodeCheckFallow(judged, state)) {
                const std::uint32_t model = s.modelId.load();
                for (const ModelRow& m : kModels) {
                    if (m.id != model || !m.rules(judged, state)) continue;
                    command[length] = ';';
                    using brenlow::Keying;
                    const Keying keying = judged[0] == 'T' && judged[1] == 'X'   ? Keying::Keys
                                          : judged[0] == 'R' && judged[1] == 'X' ? Keying::Unkeys
                                                                                 : Keying::Unchanged;
                    // The radio switches whatever its auto-information; a client that switched
                    // its reports off would otherwise leave the host's ONAIR to the next status
                    // answer, one step behind.
                    if (brenlow::WriteFromClient(s, command, length + 1, keying))
                        if (const unsigned long report = KeyingReport(judged))
                            brenlow::PostToHost(s, report, judged[2] ? judged[2] - '0' : 0);
                }
            }
        }
        if (hadClient && !s.clientConnected.load()) break;
    }
}

// Before login, the commands go to the login dialogue of the session that runs.
void CBrenlow::CmdSetCodeCheck(unsigned char* batch, void* state) {
    Session::With(*static_cast<RadioState*>(state), [&](Session& session) { CmdSetCodeCheck(batch, state, session.Login()); });
}
