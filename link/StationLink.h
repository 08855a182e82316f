// The link itself: one thread waiting in poll on the station's socket, the program's port, a stop
// descriptor and its timers. It connects, logs in, carries the radio stream both ways (keeping the
// station's "@@" reports to itself, and giving the program a radio of its own: its own
// auto-information, "?;" for what the station drops), keeps a quiet session alive, tells why each
// session ended, and tries again with a back-off where retrying can help.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Credentials.h"
#include "LinkStatus.h"
#include "LoginDialogue.h"
#include "ProgramView.h"
#include "RadioPort.h"
#include "Reconnect.h"
#include "StationStream.h"
#include "TlsStream.h"

namespace quintar::link {

struct LinkSettings {
    std::string host;
    unsigned port = 50000;
    std::string user;
    std::string password;
    bool sessionClock = false;  // switch the station's once-a-second "@@ST" pushes on for the session
    bool keepTrying = false;    // retry after a refused login or the session limit too
    // TLS: the station's certificate must have `fingerprint`, or, without one, the fingerprint the
    // known-stations file holds for the station (first contact: stored there).
    bool tls = false;
    std::optional<std::string> fingerprint;
    std::string knownStationsFile;
    // The station ends a session after 30 s without client data; the link speaks at half that.
    std::chrono::milliseconds keepAlive{15000};
    // How long an answer to the link's own probe may take before the station counts as gone.
    std::chrono::milliseconds probePatience{10000};
    std::chrono::milliseconds connectPatience{10000};  // and again for the TLS handshake
    std::chrono::milliseconds greetingPatience{10000};
    std::chrono::milliseconds loginPatience{10000};
    Seconds firstWait{1};
    Seconds longestWait{60};
};

// Where the link reports to: one line per event, and the status whenever it changes (and once a
// second while logged in, for a live session clock).
class LinkObserver {
public:
    virtual ~LinkObserver() = default;
    virtual void Event(const std::string& line) = 0;
    virtual void Status(const LinkStatus& status) = 0;
};

// Work beside the session on the link's thread (the voice call): it sees every status before the
// observer does, adding its own part, and gets the loop's time when its deadline comes.
class LinkCompanion {
public:
    virtual ~LinkCompanion() = default;
    virtual void OnStatus(LinkStatus& status) = 0;
    virtual std::optional<std::chrono::steady_clock::time_point> NextDeadline() const = 0;
    // True when the status changed.
    virtual bool OnTimer(std::chrono::steady_clock::time_point now) = 0;
};

class StationLink {
public:
    enum class Result { Stopped, Ended };

    StationLink(LinkSettings settings, RadioPort& port, LinkObserver& observer);
    ~StationLink();
    StationLink(const StationLink&) = delete;
    StationLink& operator=(const StationLink&) = delete;

    // Runs until RequestStop (Stopped) or an ending that retrying cannot help (Ended; LastEnding()
    // says which).
    Result Run();
    // Safe from a signal handler and from any thread.
    void RequestStop();
    std::optional<Ending> LastEnding() const { return lastEnding_; }
    // Before Run; the companion must outlive the link.
    void SetCompanion(LinkCompanion* companion) { companion_ = companion; }
    const LinkStatus& Status() const { return status_; }

private:
    enum class Phase { Waiting, Connecting, Handshaking, Greeting, LoggingIn, LoggedIn };
    using SteadyClock = std::chrono::steady_clock;
    using TimePoint = SteadyClock::time_point;

    void StartAttempt();
    bool TryNextAddress();
    void OnConnected();
    void ContinueHandshake();
    void AwaitGreeting();
    void ReadStation();
    void CloseSocket();
    short SocketEvents() const;
    void OnStationBytes(std::string_view bytes);
    void OnLoggedIn(std::string_view rest);
    void OnStationText(const std::string& text);
    void OnProgramBytes(const std::string& bytes);
    void SendToStation(std::string_view bytes);
    bool FlushToStation();
    void OnTimers(TimePoint now);
    // Ends the connection, says why, and either schedules the next attempt or ends the run.
    void End(Ending ending, const std::string& detail = {});
    Ending EndingOfClose() const;
    void SayGoodbye();
    TimePoint NextDeadline() const;
    void Publish();
    static std::int64_t Now();

    LinkSettings settings_;
    RadioPort& port_;
    LinkObserver& observer_;
    int stopFd_ = -1;
    int socket_ = -1;
    std::unique_ptr<TlsStream> tls_;  // with TLS, on socket_
    Phase phase_ = Phase::Waiting;
    TimePoint deadline_{};        // of the phase: next attempt, connect, greeting, login
    struct AddressList;
    AddressList* addresses_ = nullptr;
    std::string connectError_;
    bool refused_ = false;  // the last connection was refused: nothing listens on the port
    std::string sendError_;
    std::size_t greetingBytes_ = 0;
    bool ended_ = false;

    LoginDialogue login_;
    ReportFilter filter_;
    CommandGate gate_;
    ProgramView view_;
    Backoff backoff_;
    std::string toStation_;
    TimePoint loggedInAt_{};
    TimePoint lastSent_{};
    TimePoint lastReceived_{};
    std::optional<TimePoint> probeSentAt_;
    TimePoint nextTick_{};
    std::optional<SessionClock> clock_;
    std::optional<Ending> farewell_;  // a farewell text the station sent before closing
    bool pushesOn_ = false;           // this link switched the "@@ST" pushes on
    std::optional<Ending> lastEnding_;
    LinkStatus status_;
    LinkCompanion* companion_ = nullptr;
};

}  // namespace quintar::link
