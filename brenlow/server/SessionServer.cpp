// The network server and its session thread: opening and closing the server, and the thread, which
// serves one TCP client at a time: greeting, login dialogue, command batches to the interpreter, the
// login, idle and session time limits on the monotonic clock, and the close sequence that hands the
// radio back to the station. It blocks in the socket component between events and wakes for data, a
// new client, a hang-up, its next deadline or a stop request. A client that has not logged in gives
// way to a newcomer from another address once it has tried no password for a few seconds.
#include <string.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "Brenlow.h"
#include "LoginThrottle.h"
#include "Models.h"
#include "SettingKeys.h"
#include "SessionText.h"

using brenlow::RadioState;
using namespace brenlow::server;

namespace {

constexpr int kIdleWaitMs = 1000;  // with a client: a safety net, every event and deadline ends the wait sooner
constexpr int kNoLimit = -1;       // without one, only a connection or a stop request ends the wait
constexpr char kDunmoreRelease[] = "\x03;\rTC 1;\r";  // leaves packet mode, computer control back on
constexpr char kCorrinKeyerClear[] = "KY                         ;";
constexpr char kRadioReset[] = "ID;RX;IF;";
constexpr int kResetAnswerWaitMs = 500;
// A connection that tries no password for this long gives way to a newcomer from another address.
constexpr std::int64_t kGiveWayAfterMs = 5000;
// A client that shuts down its sending side right after a radio command still gets the answers.
constexpr auto kHalfCloseGrace = std::chrono::milliseconds(1000);
static_assert(sizeof kDunmoreRelease - 1 == 9 && sizeof kCorrinKeyerClear - 1 == 28);

// The session thread's own buffers, each zero-filled before use.
struct SessionBuffers {
    unsigned char receive[kBufferSize];
    unsigned char command[kBufferSize];
    unsigned char work[kBufferSize];
    std::size_t commandLength;

    void Clear() {
        std::memset(receive, 0, sizeof receive);
        std::memset(command, 0, sizeof command);
        std::memset(work, 0, sizeof work);
        commandLength = 0;
    }
    void ClearCommand() {
        std::memset(command, 0, sizeof command);
        commandLength = 0;
    }
};

// The throttle and what it needs to know of the connection; the login dialogue and the close report
// to it. Null on any thread but the running session thread.
struct ConnectionGuard {
    LoginThrottle throttle;
    bool passwordTried = false;   // a "PWD:" reached the password check on this connection
    std::int64_t lastAttempt = 0;  // accept, or the last password tried (session clock)
};
thread_local ConnectionGuard* activeGuard = nullptr;

void LogCoolDown(const char* address, std::int64_t coolDownMs) {
    if (coolDownMs > 0)
        LogFormat("%s LOGIN - Too many failed logins, connections refused for %lld seconds.", address,
                  static_cast<long long>(coolDownMs / 1000));
}

void LogClose(const SessionTexts& t) {
    if (t.userId[0])
        LogFormat("%s CLOSE %s Connection Close", t.address, t.logUserId);
    else
        LogFormat("%s CLOSE - Connection Close", t.address);
}

// What the thread keeps across passes besides its buffers.
struct SessionClock {
    std::int64_t limitSeconds = 0;
    std::int64_t lastElapsed = 0;  // the last elapsed second the bookkeeping processed
};

// Reads the session limit from the profile into the record; returns it in seconds.
std::int64_t ReadSessionLimit(RadioState& s) {
    const int minutes = ReadInt(Key::SessionTime);
    const std::int64_t seconds = minutes > 0 ? static_cast<std::int64_t>(minutes) * 60 : 0;
    s.session.limit.Store({static_cast<std::uint32_t>(seconds / 3600), static_cast<std::uint32_t>((seconds % 3600) / 60),
                           static_cast<std::uint32_t>(seconds % 60)});
    return seconds;
}

struct Stamps {
    std::int64_t sessionStart;
    std::int64_t lastReceive;
};

Stamps ReadStamps(RadioState& s) {
    std::lock_guard<std::mutex> g(s.session.lock);
    return {s.session.sessionStartTime, s.session.lastReceiveTime};
}

void SetSessionStart(RadioState& s, std::int64_t now) {
    std::lock_guard<std::mutex> g(s.session.lock);
    s.session.sessionStartTime = now;
}

std::int64_t ElapsedSeconds(std::int64_t now, std::int64_t start) { return now > start ? (now - start) / 1000 : 0; }

// How long the thread may block before its next deadline: login or idle limit, giving way to a
// newcomer, or the next whole second of a limited session.
int WaitBudgetMs(RadioState& s, std::int64_t now, const SessionClock& c, const ConnectionGuard& guard) {
    if (!s.clientConnected.load()) return kNoLimit;
    const Stamps t = ReadStamps(s);
    std::int64_t due;
    if (!s.session.loggedIn.load()) {
        due = t.sessionStart + kLoginLimitMs;
        if (s.socketServer.GetWaitingClientIP(nullptr)) due = std::min(due, guard.lastAttempt + kGiveWayAfterMs);
    } else {
        due = t.lastReceive + kIdleLimitMs;
        if (c.limitSeconds > 0)
            due = std::min(due, t.sessionStart + (ElapsedSeconds(now, t.sessionStart) + 1) * 1000);
    }
    return static_cast<int>(std::clamp<std::int64_t>(due - now, 0, kIdleWaitMs));
}

}  // namespace

int CBrenlow::SocketServerOpen(unsigned port) {
    RadioState& s = brenlow::State();
    if (s.sockThreadAlive.load()) return 0;
    if (s.sockThread.joinable()) s.sockThread.join();
    if (!s.socketServer.Listen(port)) return 0;
    brenlow::SetClientPath(s, true);
    s.ipPort = port;
    s.sockThreadRun = 1;
    s.sockThreadAlive = 1;
    s.sockThread = std::thread([&s] { ThreadSock(&s); });
    sockThread = &s.sockThread;
    return 1;
}

void CBrenlow::SocketServerClose() {
    RadioState& s = brenlow::State();
    if (!s.sockThreadAlive.load()) return;
    brenlow::SetClientPath(s, false);
    s.sockThreadRun = 0;
    s.socketServer.Wake();
    {
        std::lock_guard<std::mutex> l(s.statusLock);  // a session ending just now waits no longer
    }
    s.statusArrived.notify_all();
    brenlow::StopWorker(s.sockThreadAlive, s.sockThread, 100, 100);
    brenlow::SleepMs(100);
    s.socketServer.DisConnect();
}

void CBrenlow::CloseClientPath() { brenlow::SetClientPath(brenlow::State(), false); }

unsigned CBrenlow::ThreadSock(void* state) {
    RadioState& s = *static_cast<RadioState*>(state);
    SessionBuffers b;
    SessionClock c;

    ConnectionGuard guard;
    LoginThrottle& throttle = guard.throttle;
    activeGuard = &guard;
    // When the client last sent something that may draw answers from the radio (steady clock:
    // the grace of a half-closed client is the transport's, not a session limit).
    auto lastRadioText = std::chrono::steady_clock::time_point{};

    // A refused address gets no greeting and leaves no log line, so guessing costs the log nothing.
    auto refused = [&](std::int64_t now) {
        char address[sizeof s.session.clientAddress] = {};
        s.socketServer.GetClientIP(address);
        address[sizeof address - 1] = 0;
        if (!throttle.Refused(address, now)) return false;
        s.socketServer.DropClient();
        return true;
    };

    auto accept = [&](std::int64_t now) {
        // Read again so that a changed setting holds from this connection on.
        c.limitSeconds = ReadSessionLimit(s);
        OnSocketAccept();
        SetSessionStart(s, now);
        guard.passwordTried = false;
        guard.lastAttempt = now;
        s.socketServer.SetClientMayGiveWay(true);
        b.Clear();
        c.lastElapsed = 0;
        LogFormat("%s OPEN - Connection Open", ReadTexts(s.session).address);
        brenlow::PostToHost(s, brenlow::kConnectionEvent, brenlow::kClientAccepted);
    };

    // A client that stops reading while the radio keeps talking is closed, so its queue stays
    // bounded and the radio side never waits for it.
    auto sendOverflow = [&] {
        const SessionTexts t = ReadTexts(s.session);
        LogFormat("%s CONN %s Connection Error:Send Buffer Full!!", t.address, t.userId[0] ? t.logUserId : "-");
        OnSocketClose();
        b.Clear();
    };

    auto overflow = [&] {
        SendBlock(s, kOverflow);
        LogFormat("%s LOGIN - Connection Error:Command Buffer Full!!", ReadTexts(s.session).address);
        OnSocketClose();
        b.ClearCommand();
    };

    auto receive = [&](std::int64_t now) {
        {
            std::lock_guard<std::mutex> g(s.session.lock);
            s.session.lastReceiveTime = now;
        }
        std::memset(b.receive, 0, sizeof b.receive);
        if (!s.socketServer.GetRcvData(b.receive)) return;
        b.receive[sizeof b.receive - 1] = 0;  // a delivery never fills the buffer; make sure of it
        const std::size_t received = std::strlen(reinterpret_cast<char*>(b.receive));

        if (s.terminalMode.load() && s.session.loggedIn.load()) {
            // Raw text the station cannot read may key the transmitter: the stop unkeys it.
            brenlow::WriteFromClient(s, b.receive, received, brenlow::Keying::Keys);
            lastRadioText = std::chrono::steady_clock::now();
            return;
        }
        // The text is taken in pieces that fit: complete commands go to the interpreter as soon as
        // the buffer holds them, so only a single command that cannot fit overflows, never a burst
        // of short ones arriving together.
        std::size_t at = 0;
        while (at < received) {
            const std::size_t room = sizeof b.command - 1 - b.commandLength;
            if (room == 0) {
                overflow();
                return;
            }
            const std::size_t take = std::min(room, received - at);
            std::memcpy(b.command + b.commandLength, b.receive + at, take);
            b.commandLength += take;
            at += take;

            auto* last = static_cast<unsigned char*>(::memrchr(b.command, ';', b.commandLength));
            if (!last) continue;
            const std::size_t n = static_cast<std::size_t>(last - b.command) + 1;
            std::memset(b.work, 0, sizeof b.work);
            std::memcpy(b.work, b.command, n);
            std::memmove(b.command, b.command + n, b.commandLength - n);
            b.commandLength -= n;
            std::memset(b.command + b.commandLength, 0, sizeof b.command - b.commandLength);
            const std::uint32_t writes = s.clientWrites.load();
            CmdSetCodeCheck(b.work, &s);
            if (!s.clientConnected.load()) return;  // closed by the login dialogue
            if (s.clientWrites.load() != writes) lastRadioText = std::chrono::steady_clock::now();
        }
    };

    // A client that only shut down its sending side is served a moment longer if it has just sent
    // radio commands, so their answers reach it; not when another connection waits.
    auto halfCloseGraceMs = [&]() -> int {
        if (!s.socketServer.GetSocketHalfClosed() || s.socketServer.GetConnectionWaiting()) return 0;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            lastRadioText + kHalfCloseGrace - std::chrono::steady_clock::now());
        return left.count() > 0 ? static_cast<int>(left.count()) : 0;
    };

    auto checkTimeLimits = [&](std::int64_t now) {
        const Stamps t = ReadStamps(s);
        if (!s.session.loggedIn.load()) {
            if (now - t.sessionStart >= kLoginLimitMs) {
                const SessionTexts texts = ReadTexts(s.session);
                SendText(s, kLoginTimeout);
                LogFormat("%s LOGIN %s timeout.", texts.address, texts.logUserId);
                OnSocketClose();
                return;
            }
            // One address cannot hold the station: a newcomer from another one (not refused) is
            // let in once this client has tried no password for a while.
            char waiting[sizeof s.session.clientAddress] = {};
            if (s.socketServer.GetWaitingClientIP(waiting)) {
                if (throttle.Refused(waiting, now))
                    s.socketServer.DropWaitingClient();
                else if (now - guard.lastAttempt >= kGiveWayAfterMs)
                    OnSocketClose();
            }
            return;
        }
        if (now - t.lastReceive >= kIdleLimitMs) {
            const SessionTexts texts = ReadTexts(s.session);
            SendText(s, kIdleTimeout);
            LogFormat("%s CONN %s timeout.", texts.address, texts.logUserId);
            OnSocketClose();
        }
        if (!s.session.loggedIn.load() || c.limitSeconds == 0) return;
        const std::int64_t elapsed = ElapsedSeconds(now, t.sessionStart);
        if (elapsed == c.lastElapsed) return;
        c.lastElapsed = elapsed;
        auto& r = s.session;
        r.elapsed.Store({static_cast<std::uint32_t>(elapsed / 3600), static_cast<std::uint32_t>((elapsed / 60) % 60),
                         static_cast<std::uint32_t>(elapsed % 60)});
        brenlow::PostToHost(s, brenlow::kSessionTick, 0);
        if (r.autoInformation.load()) SendSessionTimeText(s);
        if (elapsed >= c.limitSeconds) {
            const SessionTexts texts = ReadTexts(s.session);
            LogFormat("%s SESSION %s Session timeout.", texts.address, texts.logUserId);
            OnSocketClose();
        }
    };

    b.Clear();
    s.session.Clear();
    // A client still connected when the server last stopped was dropped with it.
    s.clientConnected = 0;
    c.limitSeconds = ReadSessionLimit(s);
    s.sockThreadAlive = 1;

    while (s.sockThreadRun.load()) {
        std::int64_t now = s.NowMs();
        if (!s.clientConnected.load()) {
            if (s.socketServer.GetSocketAccepted()) {
                if (!refused(now)) accept(now);
            } else {
                s.socketServer.WaitEvent(WaitBudgetMs(s, now, c, guard));
                now = s.NowMs();
            }
        } else if (s.socketServer.GetSendOverflow()) {
            sendOverflow();
        } else if (s.socketServer.GetSocketClosed()) {
            if (const int grace = halfCloseGraceMs()) {
                s.socketServer.WaitEvent(std::min(grace, WaitBudgetMs(s, now, c, guard)));
                now = s.NowMs();
            } else {
                OnSocketClose();
                b.Clear();
            }
        } else if (s.socketServer.GetRcvDataLength() > 0) {
            receive(now);
        } else {
            s.socketServer.WaitEvent(WaitBudgetMs(s, now, c, guard));
            now = s.NowMs();
        }
        if (s.clientConnected.load()) checkTimeLimits(now);
    }
    // The stop ends a session still open: it gets its close line too (before the station's END),
    // but sends nothing more to the radio, whose last command is the station's.
    if (s.clientConnected.load()) LogClose(ReadTexts(s.session));
    activeGuard = nullptr;
    s.sockThreadAlive = 0;
    return 0;
}

void CBrenlow::OnSocketAccept() {
    RadioState& s = brenlow::State();
    s.clientConnected = 1;
    char address[sizeof s.session.clientAddress] = {};
    s.socketServer.GetClientIP(address);
    address[sizeof address - 1] = 0;
    {
        std::lock_guard<std::mutex> g(s.session.lock);
        std::memcpy(s.session.clientAddress, address, sizeof address);
    }
    SendBlock(s, kGreeting);
}

void CBrenlow::OnSocketClose() {
    RadioState& s = brenlow::State();
    brenlow::PostToHost(s, brenlow::kConnectionEvent, brenlow::kClientClosing);
    // The listener stays open, so a client that connects again at once waits for its greeting.
    s.socketServer.DropClient();
    s.clientConnected = 0;

    const SessionTexts t = ReadTexts(s.session);
    LogClose(t);
    // A connection that ends without any password tried counts against its address.
    if (activeGuard && !activeGuard->passwordTried && t.address[0])
        LogCoolDown(t.address, activeGuard->throttle.Failed(t.address, LoginThrottle::kNoLoginAttempt, s.NowMs()));

    // Once the station's stop has begun, its own sequence is the last the radio hears.
    const bool handBack = brenlow::ClientPathOpen(s);
    if (handBack) {
        switch (s.modelId.load()) {
        case brenlow::kDunmore: brenlow::WriteRadio(s, {kDunmoreRelease, sizeof kDunmoreRelease - 1}); break;
        case brenlow::kCorrin: brenlow::WriteRadio(s, {kCorrinKeyerClear, sizeof kCorrinKeyerClear - 1}); break;
        default: break;
        }
    }

    s.terminalMode = 0;
    {
        std::scoped_lock g(s.cacheLock);
        s.cache[brenlow::Answer::ID].valid = 0;
    }
    const std::uint32_t statusBefore = s.statusAnswers.load();
    if (handBack) {
        brenlow::WriteRadio(s, {kRadioReset, sizeof kRadioReset - 1});
        s.clientKeyedTransmitter = 0;
    }

    if (!s.sockThreadRun.load()) return;
    // The radio's answers to the reset belong to no client: the next one, which may be waiting
    // already, is greeted once the last of them (the status answer) has passed, or a moment later
    // if the radio stays silent.
    if (handBack && s.comPortOpen.load()) {
        std::unique_lock<std::mutex> l(s.statusLock);
        s.statusArrived.wait_for(l, std::chrono::milliseconds(kResetAnswerWaitMs),
                                 [&] { return s.statusAnswers.load() != statusBefore || !s.sockThreadRun.load(); });
    }
    {
        std::lock_guard<std::mutex> g(s.session.lock);
        std::memset(s.session.clientAddress, 0, sizeof s.session.clientAddress);
        std::memset(s.session.loginUserId, 0, sizeof s.session.loginUserId);
    }
    s.session.passwordFailures = 0;
    s.session.loggedIn = 0;
    s.session.elapsed.Store({});
    s.socketServer.Listen(s.ipPort.load());
}

int CBrenlow::CmdSetCodeCheckVEXA_LOGIN(unsigned char* command, void* state) {
    RadioState& s = *static_cast<RadioState*>(state);
    auto& r = s.session;
    const char* text = reinterpret_cast<const char*>(command);
    const std::size_t length = std::strlen(text);

    auto notAcceptable = [&r] {
        std::lock_guard<std::mutex> g(r.lock);
        std::memset(r.loginUserId, 0, sizeof r.loginUserId);
        return 0;
    };

    if (length <= 4) return notAcceptable();
    const bool isUid = std::memcmp(text, "UID:", 4) == 0;
    const bool isPwd = std::memcmp(text, "PWD:", 4) == 0;
    if (!isUid && !isPwd) return 1;
    const char* value = text + 4;
    if (length - 4 > kMaxLoginValue) return notAcceptable();

    if (isUid) {
        bool taken;
        {
            std::lock_guard<std::mutex> g(r.lock);
            taken = r.loginUserId[0] == 0;
            std::memset(r.loginUserId, 0, sizeof r.loginUserId);
            if (taken) std::memcpy(r.loginUserId, value, length - 4);
        }
        SendText(s, taken ? kUidOk : kUidNg);
        return 1;
    }

    const SessionTexts t = ReadTexts(r);
    if (!t.userId[0]) return notAcceptable();

    if (activeGuard) {
        activeGuard->passwordTried = true;
        activeGuard->lastAttempt = s.NowMs();
    }
    if (!CheckVexaUserPassword(t.userId, value)) {
        const std::uint32_t failures = ++r.passwordFailures;
        SendText(s, kPwdNg);
        LogFormat("%s LOGIN %s Password NG.(%u)", t.address, t.logUserId, failures);
        // Every wrong password counts for the address, whatever becomes of this connection; the
        // one that starts a block also ends the connection.
        const std::int64_t coolDown =
            activeGuard ? activeGuard->throttle.Failed(t.address, LoginThrottle::kWrongPassword, s.NowMs()) : 0;
        if (failures >= 3 || coolDown > 0) {
            SendBlock(s, kLoginFailed);
            OnSocketClose();
            LogCoolDown(t.address, coolDown);
        }
        return 1;
    }
    if (GetUserDisabled(t.userId)) {
        SendText(s, kPwdOkDisabled);
        LogFormat("%s LOGIN %s Password OK.(User Disabled)", t.address, t.logUserId);
        OnSocketClose();
        return 1;
    }
    r.loggedIn = 1;
    s.socketServer.SetClientMayGiveWay(false);
    if (activeGuard) activeGuard->throttle.LoginSucceeded(t.address);
    brenlow::PostToHost(s, brenlow::kConnectionEvent, brenlow::kClientLoggedIn);
    SetSessionStart(s, s.NowMs());
    SendText(s, kPwdOk);
    LogFormat("%s LOGIN %s Password OK.", t.address, t.logUserId);
    return 1;
}

