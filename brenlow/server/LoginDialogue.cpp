// The login dialogue: user id, password, the failure count of the connection and the throttle of
// its address, the access-log lines of each outcome.
#include "LoginDialogue.h"

#include <cstring>

#include "Brenlow.h"
#include "SessionText.h"

namespace brenlow::server {

namespace {

void LogCoolDown(const char* address, std::int64_t coolDownMs) {
    if (coolDownMs > 0)
        LogFormat("%s LOGIN - Too many failed logins, connections refused for %lld seconds.", address,
                  static_cast<long long>(coolDownMs / 1000));
}

}  // namespace

LoginDialogue::LoginDialogue(RadioState& s, ClientTransport& transport, LoginThrottle& throttle,
                             std::function<void()> close)
    : s_(s), transport_(transport), throttle_(throttle), close_(std::move(close)) {}

void LoginDialogue::Begin(std::int64_t now) {
    passwordTried_ = false;
    lastAttempt_ = now;
}

void LoginDialogue::Ended(const char* address, std::int64_t now) {
    if (!passwordTried_ && address[0])
        LogCoolDown(address, throttle_.Failed(address, LoginThrottle::kNoLoginAttempt, now));
}

int LoginDialogue::Step(const unsigned char* command) {
    const char* text = reinterpret_cast<const char*>(command);
    const std::size_t length = std::strlen(text);
    if (length <= 4) return NotAcceptable();
    const bool isUid = std::memcmp(text, "UID:", 4) == 0;
    const bool isPwd = std::memcmp(text, "PWD:", 4) == 0;
    if (!isUid && !isPwd) return 1;
    if (length - 4 > kMaxLoginValue) return NotAcceptable();
    return isUid ? UserId(text + 4, length - 4) : Password(text + 4);
}

int LoginDialogue::NotAcceptable() {
    std::lock_guard<std::mutex> g(s_.session.lock);
    std::memset(s_.session.loginUserId, 0, sizeof s_.session.loginUserId);
    return 0;
}

// A second "UID:" takes back the first instead of replacing it.
int LoginDialogue::UserId(const char* value, std::size_t length) {
    auto& r = s_.session;
    bool taken;
    {
        std::lock_guard<std::mutex> g(r.lock);
        taken = r.loginUserId[0] == 0;
        std::memset(r.loginUserId, 0, sizeof r.loginUserId);
        if (taken) std::memcpy(r.loginUserId, value, length);
    }
    SendText(s_, taken ? kUidOk : kUidNg);
    return 1;
}

int LoginDialogue::Password(const char* value) {
    const SessionTexts t = ReadTexts(s_.session);
    if (!t.userId[0]) return NotAcceptable();
    passwordTried_ = true;
    lastAttempt_ = s_.NowMs();
    if (!CBrenlow::CheckVexaUserPassword(t.userId, value)) {
        WrongPassword(t);
    } else if (CBrenlow::GetUserDisabled(t.userId)) {
        SendText(s_, kPwdOkDisabled);
        LogFormat("%s LOGIN %s Password OK.(User Disabled)", t.address, t.logUserId);
        close_();
    } else {
        LoggedIn(t);
    }
    return 1;
}

// Every wrong password counts for the address, whatever becomes of this connection; the one that
// starts a block also ends the connection, as the third of a connection does.
void LoginDialogue::WrongPassword(const SessionTexts& t) {
    const std::uint32_t failures = ++s_.session.passwordFailures;
    SendText(s_, kPwdNg);
    LogFormat("%s LOGIN %s Password NG.(%u)", t.address, t.logUserId, failures);
    const std::int64_t coolDown = throttle_.Failed(t.address, LoginThrottle::kWrongPassword, s_.NowMs());
    if (failures < 3 && coolDown == 0) return;
    SendBlock(s_, kLoginFailed);
    close_();
    LogCoolDown(t.address, coolDown);
}

void LoginDialogue::LoggedIn(const SessionTexts& t) {
    s_.session.loggedIn = 1;
    transport_.SetClientMayGiveWay(false);
    throttle_.LoginSucceeded(t.address);
    brenlow::PostToHost(s_, brenlow::kConnectionEvent, brenlow::kClientLoggedIn);
    SetSessionStart(s_, s_.NowMs());
    SendText(s_, kPwdOk);
    LogFormat("%s LOGIN %s Password OK.", t.address, t.logUserId);
}

}  // namespace brenlow::server
