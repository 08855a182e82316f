// The session's steps: thread start and end, accept (or refuse) a client, receive its text, the
// time limits, and the close that hands the radio back. The session blocks in its transport between
// events and wakes for data, a new client, a hang-up, its next deadline or a stop request. A client
// that has not logged in gives way to a newcomer from another address once it has tried no
// password for a few seconds.
#include "Session.h"

#include <algorithm>
#include <cstring>

#include "Brenlow.h"
#include "Models.h"
#include "SessionText.h"
#include "SettingKeys.h"

namespace brenlow::server {

namespace {

constexpr int kIdleWaitMs = 1000;  // with a client: a safety net, every event and deadline ends the wait sooner
constexpr int kNoLimit = -1;       // without one, only a connection or a stop request ends the wait
constexpr char kDunmoreRelease[] = "\x03;\rTC 1;\r";  // leaves packet mode, computer control back on
constexpr char kCorrinKeyerClear[] = "KY                         ;";
constexpr char kRadioReset[] = "ID;RX;IF;";
constexpr int kResetAnswerWaitMs = 500;
// A connection that tries no password for this long gives way to a newcomer from another address.
constexpr std::int64_t kGiveWayAfterMs = 5000;
static_assert(sizeof kDunmoreRelease - 1 == 9 && sizeof kCorrinKeyerClear - 1 == 28);

void LogClose(const SessionTexts& t) {
    if (t.userId[0])
        LogFormat("%s CLOSE %s Connection Close", t.address, t.logUserId);
    else
        LogFormat("%s CLOSE - Connection Close", t.address);
}

struct Stamps {
    std::int64_t sessionStart;
    std::int64_t lastReceive;
};

Stamps ReadStamps(RadioState& s) {
    std::lock_guard<std::mutex> g(s.session.lock);
    return {s.session.sessionStartTime, s.session.lastReceiveTime};
}

std::int64_t ElapsedSeconds(std::int64_t now, std::int64_t start) { return now > start ? (now - start) / 1000 : 0; }

SessionClockTime ClockTime(std::int64_t seconds) {
    return {static_cast<std::uint32_t>(seconds / 3600), static_cast<std::uint32_t>((seconds / 60) % 60),
            static_cast<std::uint32_t>(seconds % 60)};
}

}  // namespace

std::atomic<Session*> Session::running_{nullptr};

Session::Session(RadioState& s, ClientTransport& transport, LoginThrottle& throttle)
    : s_(s), net_(transport), throttle_(throttle), login_(s, transport, throttle, [this] { Close(); }) {}

unsigned Session::Run() {
    Start();
    while (s_.sockThreadRun.load()) {
        const std::int64_t now = s_.clientConnected.load() ? Serve(s_.NowMs()) : AwaitClient(s_.NowMs());
        if (s_.clientConnected.load()) CheckLimits(now);
    }
    Finish();
    return 0;
}

void Session::Start() {
    running_ = this;
    ClearBuffers();
    s_.session.Clear();
    // A client still connected when the server last stopped was dropped with it.
    s_.clientConnected = 0;
    ReadSessionLimit();
    s_.sockThreadAlive = 1;
}

// The stop ends a session still open: it gets its close line too (before the station's END), but
// sends nothing more to the radio, whose last command is the station's.
void Session::Finish() {
    if (s_.clientConnected.load()) LogClose(ReadTexts(s_.session));
    s_.client.Release(net_);
    running_ = nullptr;
    s_.sockThreadAlive = 0;
}

// ---- Accept ---------------------------------------------------------------------------------

// No client: the next one is let in, or the session waits for it. Each step returns the time the
// pass goes on with.
std::int64_t Session::AwaitClient(std::int64_t now) {
    if (!net_.GetSocketAccepted()) return Wait(WaitBudgetMs(now));
    if (!Refused(now)) Accept(now);
    return now;
}

// A refused address gets no greeting and leaves no log line, so guessing costs the log nothing.
bool Session::Refused(std::int64_t now) {
    char address[sizeof s_.session.clientAddress] = {};
    net_.GetClientIP(address);
    address[sizeof address - 1] = 0;
    if (!throttle_.Refused(address, now)) return false;
    net_.DropClient();
    return true;
}

void Session::Accept(std::int64_t now) {
    ReadSessionLimit();  // again, so that a changed setting holds from this connection on
    s_.client.Bind(net_);
    Greet();
    SetSessionStart(s_, now);
    login_.Begin(now);
    net_.SetClientMayGiveWay(true);
    ClearBuffers();
    lastElapsed_ = 0;
    if (net_.GetClientSecurity() == ClientTransport::kPlain)
        LogFormat("%s OPEN - Connection Open", ReadTexts(s_.session).address);
    else
        LogFormat("%s OPEN - Connection Open (TLS)", ReadTexts(s_.session).address);
    brenlow::PostToHost(s_, brenlow::kConnectionEvent, brenlow::kClientAccepted);
}

void Session::Greet() {
    s_.clientConnected = 1;
    char address[sizeof s_.session.clientAddress] = {};
    net_.GetClientIP(address);
    address[sizeof address - 1] = 0;
    {
        std::lock_guard<std::mutex> g(s_.session.lock);
        std::memcpy(s_.session.clientAddress, address, sizeof address);
    }
    SendBlock(s_, kGreeting);
}

// ---- Receive --------------------------------------------------------------------------------

std::int64_t Session::Serve(std::int64_t now) {
    if (net_.GetSendOverflow())
        SendOverflow();
    else if (net_.GetSocketClosed())
        return ClientGone(now);
    else if (net_.GetRcvDataLength() > 0)
        Receive(now);
    else
        return Wait(WaitBudgetMs(now));
    return now;
}

void Session::Receive(std::int64_t now) {
    {
        std::lock_guard<std::mutex> g(s_.session.lock);
        s_.session.lastReceiveTime = now;
    }
    std::memset(receive_, 0, sizeof receive_);
    if (!net_.GetRcvData(receive_)) return;
    receive_[sizeof receive_ - 1] = 0;  // a delivery never fills the buffer; make sure of it
    const std::size_t received = std::strlen(reinterpret_cast<char*>(receive_));

    if (s_.terminalMode.load() && s_.session.loggedIn.load()) {
        // Raw text the station cannot read may key the transmitter: the stop unkeys it.
        brenlow::WriteFromClient(s_, receive_, received, brenlow::Keying::Keys);
        lastRadioText_ = std::chrono::steady_clock::now();
        return;
    }
    // Complete commands go to the filter as soon as the buffer holds them, so only a single command
    // that cannot fit overflows, never a burst of short ones arriving together.
    const auto fed = commands_.Feed(receive_, received, Framer::WhenFull::Refuse, [this](unsigned char* batch, std::size_t) {
        const std::uint32_t writes = s_.clientWrites.load();
        CBrenlow::CmdSetCodeCheck(batch, &s_, login_);
        if (!s_.clientConnected.load()) return false;  // closed by the login dialogue
        if (s_.clientWrites.load() != writes) lastRadioText_ = std::chrono::steady_clock::now();
        return true;
    });
    if (fed == Framer::Fed::Full) CommandOverflow();
}

// A client that only shut down its sending side is served a moment longer if it has just sent
// radio commands, so their answers reach it; not when another connection waits.
std::int64_t Session::ClientGone(std::int64_t now) {
    if (const int grace = HalfCloseGraceMs()) return Wait(std::min(grace, WaitBudgetMs(now)));
    Hangup();
    return now;
}

int Session::HalfCloseGraceMs() const {
    if (!net_.GetSocketHalfClosed() || net_.GetConnectionWaiting()) return 0;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        lastRadioText_ + std::chrono::milliseconds(s_.halfCloseGraceMs.load()) - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

void Session::CommandOverflow() {
    SendBlock(s_, kOverflow);
    LogFormat("%s LOGIN - Connection Error:Command Buffer Full!!", ReadTexts(s_.session).address);
    Close();
    commands_.Clear();
}

// A client that stops reading while the radio keeps talking is closed, so its queue stays bounded
// and the radio side never waits for it.
void Session::SendOverflow() {
    const SessionTexts t = ReadTexts(s_.session);
    LogFormat("%s CONN %s Connection Error:Send Buffer Full!!", t.address, t.userId[0] ? t.logUserId : "-");
    Hangup();
}

void Session::Hangup() {
    Close();
    ClearBuffers();
}

// ---- Limits ---------------------------------------------------------------------------------

void Session::CheckLimits(std::int64_t now) {
    const Stamps t = ReadStamps(s_);
    if (!s_.session.loggedIn.load()) {
        LoginLimit(now, t.sessionStart);
        return;
    }
    IdleLimit(now, t.lastReceive);
    SessionTick(now, t.sessionStart);
}

void Session::LoginLimit(std::int64_t now, std::int64_t start) {
    if (now - start < kLoginLimitMs) {
        GiveWay(now);
        return;
    }
    const SessionTexts texts = ReadTexts(s_.session);
    SendText(s_, kLoginTimeout);
    LogFormat("%s LOGIN %s timeout.", texts.address, texts.logUserId);
    Close();
}

// One address cannot hold the station: a newcomer from another one (not refused) is let in once
// this client has tried no password for a while.
void Session::GiveWay(std::int64_t now) {
    char waiting[sizeof s_.session.clientAddress] = {};
    if (!net_.GetWaitingClientIP(waiting)) return;
    if (throttle_.Refused(waiting, now))
        net_.DropWaitingClient();
    else if (now - login_.LastAttempt() >= kGiveWayAfterMs)
        Close();
}

void Session::IdleLimit(std::int64_t now, std::int64_t lastReceive) {
    if (now - lastReceive < kIdleLimitMs) return;
    const SessionTexts texts = ReadTexts(s_.session);
    SendText(s_, kIdleTimeout);
    LogFormat("%s CONN %s timeout.", texts.address, texts.logUserId);
    Close();
}

// Once a second of a limited session: the elapsed time for the host and an "@@ST" client, and the
// end when the limit is reached.
void Session::SessionTick(std::int64_t now, std::int64_t start) {
    if (!s_.session.loggedIn.load() || limitSeconds_ == 0) return;
    const std::int64_t elapsed = ElapsedSeconds(now, start);
    if (elapsed == lastElapsed_) return;
    lastElapsed_ = elapsed;
    s_.session.elapsed.Store(ClockTime(elapsed));
    brenlow::PostToHost(s_, brenlow::kSessionTick, 0);
    if (s_.session.autoInformation.load()) SendSessionTimeText(s_);
    if (elapsed < limitSeconds_) return;
    const SessionTexts texts = ReadTexts(s_.session);
    LogFormat("%s SESSION %s Session timeout.", texts.address, texts.logUserId);
    Close();
}

// How long the session may block before its next deadline: login or idle limit, giving way to a
// newcomer, or the next whole second of a limited session.
int Session::WaitBudgetMs(std::int64_t now) const {
    if (!s_.clientConnected.load()) return kNoLimit;
    const Stamps t = ReadStamps(s_);
    std::int64_t due;
    if (!s_.session.loggedIn.load()) {
        due = t.sessionStart + kLoginLimitMs;
        if (net_.GetWaitingClientIP(nullptr)) due = std::min(due, login_.LastAttempt() + kGiveWayAfterMs);
    } else {
        due = t.lastReceive + kIdleLimitMs;
        if (limitSeconds_ > 0) due = std::min(due, t.sessionStart + (ElapsedSeconds(now, t.sessionStart) + 1) * 1000);
    }
    return static_cast<int>(std::clamp<std::int64_t>(due - now, 0, kIdleWaitMs));
}

std::int64_t Session::Wait(int timeoutMs) {
    net_.WaitEvent(timeoutMs);
    return s_.NowMs();
}

// ---- Close ----------------------------------------------------------------------------------

void Session::Close() {
    // A TLS connection that broke says so once, before its close line.
    switch (net_.GetClientSecurity()) {
    case ClientTransport::kHandshakeFailed: LogFormat("%s TLS - Handshake Failed", ReadTexts(s_.session).address); break;
    case ClientTransport::kRecordFailed: LogFormat("%s TLS - Bad Record", ReadTexts(s_.session).address); break;
    default: break;
    }
    brenlow::PostToHost(s_, brenlow::kConnectionEvent, brenlow::kClientClosing);
    // The listener stays open, so a client that connects again at once waits for its greeting.
    net_.DropClient();
    s_.clientConnected = 0;
    const SessionTexts t = ReadTexts(s_.session);
    LogClose(t);
    login_.Ended(t.address, s_.NowMs());

    // Once the station's stop has begun, its own sequence is the last the radio hears.
    const bool handBack = brenlow::ClientPathOpen(s_);
    const std::uint32_t statusBefore = ResetRadio(handBack);
    if (!s_.sockThreadRun.load()) return;
    if (handBack) AwaitResetAnswers(statusBefore);
    ListenAgain();
}

// The radio back to the station's own state: the model's release, then the reset. Returns the count
// of status answers before the reset.
std::uint32_t Session::ResetRadio(bool handBack) {
    if (handBack) {
        switch (s_.modelId.load()) {
        case brenlow::kDunmore: brenlow::WriteRadio(s_, {kDunmoreRelease, sizeof kDunmoreRelease - 1}); break;
        case brenlow::kCorrin: brenlow::WriteRadio(s_, {kCorrinKeyerClear, sizeof kCorrinKeyerClear - 1}); break;
        default: break;
        }
    }
    s_.terminalMode = 0;
    {
        std::scoped_lock g(s_.cacheLock);
        s_.cache[brenlow::Answer::ID].valid = 0;
    }
    const std::uint32_t statusBefore = s_.statusAnswers.load();
    if (handBack) {
        brenlow::WriteRadio(s_, {kRadioReset, sizeof kRadioReset - 1});
        s_.clientKeyedTransmitter = 0;
    }
    return statusBefore;
}

// The radio's answers to the reset belong to no client: the next one, which may be waiting already,
// is greeted once the last of them (the status answer) has passed, or a moment later if the radio
// stays silent.
void Session::AwaitResetAnswers(std::uint32_t statusBefore) {
    if (!s_.comPortOpen.load()) return;
    std::unique_lock<std::mutex> l(s_.statusLock);
    s_.statusArrived.wait_for(l, std::chrono::milliseconds(kResetAnswerWaitMs),
                              [&] { return s_.statusAnswers.load() != statusBefore || !s_.sockThreadRun.load(); });
}

void Session::ListenAgain() {
    {
        std::lock_guard<std::mutex> g(s_.session.lock);
        std::memset(s_.session.clientAddress, 0, sizeof s_.session.clientAddress);
        std::memset(s_.session.loginUserId, 0, sizeof s_.session.loginUserId);
    }
    s_.session.passwordFailures = 0;
    s_.session.loggedIn = 0;
    s_.session.elapsed.Store({});
    net_.Listen(s_.ipPort.load());
}

// ---- Buffers and settings -------------------------------------------------------------------

// Reads the session limit from the profile into the record.
void Session::ReadSessionLimit() {
    const int minutes = ReadInt(Key::SessionTime);
    limitSeconds_ = minutes > 0 ? static_cast<std::int64_t>(minutes) * 60 : 0;
    s_.session.limit.Store(ClockTime(limitSeconds_));
}

void Session::ClearBuffers() {
    std::memset(receive_, 0, sizeof receive_);
    commands_.Clear();
}

}  // namespace brenlow::server
