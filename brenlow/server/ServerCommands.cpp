// The server commands a logged-in client sends with "@@" ("@@AI" auto-information, "@@CP" own
// password change, "@@ST" session time), the "@@VE" voice report, and the host's session accessors.
// Commands arrive without their ";" and with their first four characters upper-cased.
#include <cstring>

#include "Brenlow.h"
#include "SessionText.h"
#include "SettingKeys.h"

using brenlow::RadioState;
using namespace brenlow::server;

namespace {

RadioState& Of(void* state) { return *static_cast<RadioState*>(state); }

std::size_t Length(const unsigned char* command) {
    return std::strlen(reinterpret_cast<const char*>(command));
}

int SendSessionTime(RadioState& s) {
    return SendSessionTimeText(s);
}

}  // namespace

void CBrenlow::CmdSetCodeCheckVEXA(unsigned char* command, void* state) {
    using Handler = int (*)(unsigned char*, void*);
    struct ServerCommand {
        char third;  // selects the handler; the handler itself checks the fourth
        Handler handler;
    };
    static constexpr ServerCommand kServerCommands[] = {
        {'A', CmdSetCodeCheckVEXA_A},
        {'C', CmdSetCodeCheckVEXA_C},
        {'S', CmdSetCodeCheckVEXA_S},
    };

    RadioState& s = Of(state);
    int handled = 0;
    if (Length(command) >= 3)
        for (const auto& c : kServerCommands)
            if (command[2] == c.third) handled = c.handler(command, state);
    if (!handled && s.session.loggedIn.load()) SendText(s, kUnknownCommand);
}

int CBrenlow::CmdSetCodeCheckVEXA_A(unsigned char* command, void* state) {
    RadioState& s = Of(state);
    if (command[3] != 'I') return 1;
    const std::size_t length = Length(command);
    auto& flag = s.session.autoInformation;
    if (length == 4) {
        SendFormat(s, kAutoInformationFormat, flag.load());
        return 1;
    }
    if (length != 5 || command[4] < '0' || command[4] > '9') return 0;
    const std::uint32_t value = command[4] == '0' ? 0 : 1;
    if (flag.load() == value) return 1;
    flag = value;
    if (value == 1) SendFormat(s, kAutoInformationFormat, value);
    return 1;
}

int CBrenlow::CmdSetCodeCheckVEXA_C(unsigned char* command, void* state) {
    RadioState& s = Of(state);
    if (command[3] != 'P') return 1;
    const std::size_t length = Length(command);
    if (length < 5 || length > 4 + kMaxPasswordChange) return 0;

    const SessionTexts t = ReadTexts(s.session);
    const char* newPassword = reinterpret_cast<const char*>(command + 4);
    // A password the user editor would refuse could never be typed at login again.
    const int changed = IsValidCredential(newPassword) ? ChangeUserPassword(t.userId, newPassword) : 0;
    s.session.passwordChangeResult = changed ? 1 : 0;
    if (s.session.autoInformation.load()) {
        char answer[16];
        std::snprintf(answer, sizeof answer, kPasswordChangeFormat, changed ? 1u : 0u);
        SendBlock(s, answer, kPasswordChangeBlock);
    }
    LogFormat("%s CHGPWD %s Change Passowrd %s", t.address, t.logUserId, changed ? "OK." : "NG.");
    return 1;
}

int CBrenlow::CmdSetCodeCheckVEXA_S(unsigned char* command, void* state) {
    RadioState& s = Of(state);
    if (command[3] != 'T') return 1;
    if (Length(command) != 4) return 0;
    SendSessionTime(s);
    return 1;
}

int CBrenlow::SonnVEXA_VE(unsigned value) {
    RadioState& s = brenlow::State();
    if (!s.clientConnected.load() || !s.session.loggedIn.load()) return 0;
    return SendFormat(s, kVoiceFormat, value);
}

int CBrenlow::RcvDataVEXA_ST(unsigned* elapsedHours, unsigned* elapsedMinutes, unsigned* elapsedSeconds,
                             unsigned* limitHours, unsigned* limitMinutes, unsigned* limitSeconds) {
    const auto& r = brenlow::State().session;
    const brenlow::SessionClockTime e = r.elapsed.Load(), l = r.limit.Load();
    const struct {
        unsigned* out;
        std::uint32_t value;
    } copies[] = {{elapsedHours, e.hours}, {elapsedMinutes, e.minutes}, {elapsedSeconds, e.seconds},
                  {limitHours, l.hours},   {limitMinutes, l.minutes},   {limitSeconds, l.seconds}};
    for (const auto& c : copies)
        if (c.out) *c.out = c.value;
    return 1;
}

int CBrenlow::GetLoginUserID(char* userId) {
    RadioState& s = brenlow::State();
    if (!userId || !s.session.loggedIn.load()) return 0;
    const SessionTexts t = ReadTexts(s.session);
    std::memcpy(userId, t.userId, sizeof t.userId);
    return 0;
}
