// The link's event loop. Every wait is a poll with the nearest deadline, so the link sleeps while
// nothing happens and answers a stop request at once.
#include "StationLink.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <vector>

#include "KnownStations.h"
#include "SessionProtocol.h"

namespace quintar::link {

namespace {

namespace proto = brenlow::server;

// The link's own commands. "@@ST" is answered always, with the session clock, so it serves as
// keep-alive and probe in one, and its answer never reaches the program.
constexpr std::string_view kSessionTimeCommand = "@@ST;";
constexpr std::string_view kPushesOn = "@@AI1;";
constexpr std::string_view kPushesOff = "@@AI0;";
// A station that takes nothing for this long is not reading; the link does not queue without end.
constexpr std::size_t kLongestQueue = 64 * 1024;
constexpr auto kGoodbyePatience = std::chrono::milliseconds(500);
constexpr auto kTick = std::chrono::seconds(1);
// The session ends on the station's whole second; the link's own clock starts a little later.
constexpr unsigned kLimitSlackSeconds = 2;

std::string Endpoint(const std::string& host, unsigned port)
{
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

}  // namespace

struct StationLink::AddressList {
    addrinfo* head = nullptr;
    addrinfo* next = nullptr;
    ~AddressList()
    {
        if (head)
            ::freeaddrinfo(head);
    }
};

StationLink::StationLink(LinkSettings settings, RadioPort& port, LinkObserver& observer)
    : settings_(std::move(settings)),
      port_(port),
      observer_(observer),
      backoff_(settings_.keepTrying, settings_.firstWait, settings_.longestWait)
{
    stopFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    status_.pid = static_cast<long>(::getpid());
    status_.station = Endpoint(settings_.host, settings_.port);
    status_.user = settings_.user;
    status_.port = port_.Describe();
    status_.encryption = settings_.tls ? "TLS" : "none";
}

void StationLink::CloseSocket()
{
    if (tls_)
        tls_->Close();
    tls_.reset();
    if (socket_ >= 0)
        ::close(socket_);
    socket_ = -1;
}

short StationLink::SocketEvents() const
{
    if (phase_ == Phase::Connecting)
        return POLLOUT;
    if (phase_ == Phase::Handshaking)
        return tls_->WantsWrite() ? POLLOUT : POLLIN;
    const bool write = !toStation_.empty() || (tls_ && tls_->WantsWrite());
    return static_cast<short>(POLLIN | (write ? POLLOUT : 0));
}

StationLink::~StationLink()
{
    delete addresses_;
    CloseSocket();
    if (stopFd_ >= 0)
        ::close(stopFd_);
    Wipe(settings_.password);
}

void StationLink::RequestStop()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(stopFd_, &one, sizeof one);
}

std::int64_t StationLink::Now()
{
    return static_cast<std::int64_t>(std::time(nullptr));
}

void StationLink::Publish()
{
    status_.commandsDropped = gate_.DroppedCommands();
    status_.autoInformation = view_.AutoInformation();
    status_.radioReportsDropped = view_.ReportsDropped();
    status_.commandsAnswered = view_.CommandsAnswered();
    if (companion_)
        companion_->OnStatus(status_);
    observer_.Status(status_);
}

StationLink::Result StationLink::Run()
{
    if (stopFd_ < 0) {
        observer_.Event(std::string("cannot create the stop descriptor: ") + std::strerror(errno));
        return Result::Stopped;
    }
    StartAttempt();
    std::vector<pollfd> fds;
    while (!ended_) {
        fds.clear();
        fds.push_back({stopFd_, POLLIN, 0});
        const int polledSocket = socket_;
        std::size_t socketAt = 0;
        if (socket_ >= 0) {
            socketAt = fds.size();
            fds.push_back({socket_, SocketEvents(), 0});
        }
        const std::size_t portAt = fds.size();
        port_.AddPollFds(fds);

        const auto now = SteadyClock::now();
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(NextDeadline() - now).count();
        const int r = ::poll(fds.data(), fds.size(), static_cast<int>(std::clamp<long long>(wait, 0, 60000)));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            observer_.Event(std::string("poll failed: ") + std::strerror(errno));
            SayGoodbye();
            return Result::Stopped;
        }
        if (fds[0].revents & POLLIN) {
            SayGoodbye();
            return Result::Stopped;
        }

        std::string fromProgram;
        port_.Service(&fds[portAt], fromProgram);
        if (!fromProgram.empty())
            OnProgramBytes(fromProgram);

        if (socketAt != 0 && socket_ == polledSocket) {
            const short revents = fds[socketAt].revents;
            if (phase_ == Phase::Connecting) {
                if (revents & (POLLOUT | POLLERR | POLLHUP)) {
                    int error = 0;
                    socklen_t length = sizeof error;
                    ::getsockopt(socket_, SOL_SOCKET, SO_ERROR, &error, &length);
                    if (error == 0) {
                        OnConnected();
                    } else {
                        connectError_ = std::strerror(error);
                        refused_ = error == ECONNREFUSED;
                        ::close(socket_);
                        socket_ = -1;
                        if (!TryNextAddress())
                            End(Ending::Unreachable, connectError_);
                    }
                }
            } else if (phase_ == Phase::Handshaking) {
                if (revents != 0)
                    ContinueHandshake();
            } else if ((revents & (POLLIN | POLLHUP | POLLERR)) || (tls_ && (revents & POLLOUT))) {
                ReadStation();
            }
        }
        if (socket_ >= 0 && phase_ != Phase::Connecting && phase_ != Phase::Handshaking) {
            if (!FlushToStation())
                End(Ending::StationGone, sendError_);
            else if (toStation_.size() > kLongestQueue)
                End(Ending::StationSilent, "it takes no more data");
        }
        if (!ended_)
            OnTimers(SteadyClock::now());
    }
    return Result::Ended;
}

void StationLink::ReadStation()
{
    char buffer[4096];
    while (socket_ >= 0) {
        if (tls_) {
            std::size_t got = 0;
            const TlsStream::Io io = tls_->Read(buffer, sizeof buffer, got);
            if (io == TlsStream::Io::Done)
                OnStationBytes(std::string_view(buffer, got));
            else if (io == TlsStream::Io::WantRead || io == TlsStream::Io::WantWrite)
                break;
            else if (io == TlsStream::Io::Closed && tls_->Error().empty())
                End(EndingOfClose());
            else
                End(Ending::StationGone, tls_->Error());
            continue;
        }
        const ssize_t n = ::recv(socket_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            OnStationBytes(std::string_view(buffer, static_cast<std::size_t>(n)));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (n == 0)
            End(EndingOfClose());
        else
            End(Ending::StationGone, std::strerror(errno));
    }
}

StationLink::TimePoint StationLink::NextDeadline() const
{
    TimePoint next = phase_ == Phase::LoggedIn ? nextTick_ : deadline_;
    if (const auto companion = companion_ ? companion_->NextDeadline() : std::nullopt)
        next = std::min(next, *companion);
    if (phase_ != Phase::LoggedIn)
        return next;
    if (const auto expiry = view_.NextExpiry())
        next = std::min(next, *expiry);
    if (probeSentAt_)
        next = std::min(next, *probeSentAt_ + settings_.probePatience);
    else if (view_.AtBoundary())
        next = std::min(next, std::min(lastSent_, lastReceived_) + settings_.keepAlive);
    return next;
}

void StationLink::StartAttempt()
{
    ++status_.attempts;
    status_.state = LinkStatus::State::Connecting;
    status_.nextAttemptAt = 0;
    observer_.Event("connecting to " + status_.station + " (attempt " + std::to_string(status_.attempts) + ")");
    Publish();

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(settings_.host.c_str(), std::to_string(settings_.port).c_str(), &hints, &found);
    if (rc != 0) {
        End(Ending::Unreachable, ::gai_strerror(rc));
        return;
    }
    delete addresses_;
    addresses_ = new AddressList{found, found};
    connectError_.clear();
    refused_ = false;
    if (!TryNextAddress())
        End(Ending::Unreachable, connectError_);
}

bool StationLink::TryNextAddress()
{
    while (addresses_ && addresses_->next) {
        const addrinfo* a = addresses_->next;
        addresses_->next = a->ai_next;
        socket_ = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (socket_ < 0) {
            connectError_ = std::strerror(errno);
            continue;
        }
        if (::connect(socket_, a->ai_addr, a->ai_addrlen) == 0) {
            OnConnected();
            return true;
        }
        if (errno == EINPROGRESS) {
            phase_ = Phase::Connecting;
            deadline_ = SteadyClock::now() + settings_.connectPatience;
            return true;
        }
        connectError_ = std::strerror(errno);
        refused_ = errno == ECONNREFUSED;
        ::close(socket_);
        socket_ = -1;
    }
    return false;
}

void StationLink::OnConnected()
{
    delete addresses_;
    addresses_ = nullptr;
    int on = 1;
    ::setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ::setsockopt(socket_, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    toStation_.clear();
    if (!settings_.tls) {
        AwaitGreeting();
        return;
    }
    std::string error;
    tls_ = TlsStream::Start(socket_, settings_.host, error);
    if (!tls_) {
        End(Ending::TlsFailed, error);
        return;
    }
    phase_ = Phase::Handshaking;
    deadline_ = SteadyClock::now() + settings_.connectPatience;
    ContinueHandshake();
}

void StationLink::ContinueHandshake()
{
    switch (tls_->Handshake()) {
    case TlsStream::Io::WantRead:
    case TlsStream::Io::WantWrite:
        return;
    case TlsStream::Io::Closed:
        End(Ending::ClosedBeforeGreeting);
        return;
    case TlsStream::Io::Failed:
        End(Ending::TlsFailed, tls_->Error());
        return;
    case TlsStream::Io::Done:
        break;
    }
    // Decided before the greeting is read, so nothing of the login reaches a certificate not trusted.
    const TrustDecision trust = DecideTrust(settings_.host, settings_.port, tls_->Fingerprint(), settings_.fingerprint,
                                            settings_.knownStationsFile);
    status_.fingerprint = tls_->Fingerprint();
    if (!trust.trusted) {
        End(Ending::CertificateRefused, trust.refusal);
        return;
    }
    if (!trust.event.empty())
        observer_.Event(trust.event);
    status_.encryption = tls_->Description();
    observer_.Event("encrypted (" + status_.encryption + "), station certificate " + status_.fingerprint);
    AwaitGreeting();
    ReadStation();  // what came with the handshake's last flight
}

void StationLink::AwaitGreeting()
{
    phase_ = Phase::Greeting;
    deadline_ = SteadyClock::now() + settings_.greetingPatience;
    login_.Reset();
    farewell_.reset();
    greetingBytes_ = 0;
    status_.state = LinkStatus::State::LoggingIn;
    Publish();
}

void StationLink::OnStationBytes(std::string_view bytes)
{
    lastReceived_ = SteadyClock::now();
    probeSentAt_.reset();
    if (phase_ == Phase::LoggedIn) {
        std::string radio;
        std::vector<std::string> texts;
        filter_.Feed(bytes, radio, texts);
        std::string toProgram;
        view_.FromRadio(radio, toProgram);
        if (!toProgram.empty())
            port_.Deliver(toProgram);
        for (const std::string& t : texts)
            OnStationText(t);
        return;
    }
    greetingBytes_ += bytes.size();
    const LoginDialogue::Step step = login_.Feed(bytes);
    if (phase_ == Phase::Greeting && step != LoginDialogue::Step::AwaitingGreeting &&
        step != LoginDialogue::Step::NotAStation) {
        phase_ = Phase::LoggingIn;
        deadline_ = SteadyClock::now() + settings_.loginPatience;
        std::string request = LoginDialogue::Request(settings_.user, settings_.password);
        SendToStation(request);
        Wipe(request);
    }
    switch (step) {
    case LoginDialogue::Step::AwaitingGreeting:
    case LoginDialogue::Step::AwaitingAnswer:
        return;
    case LoginDialogue::Step::NotAStation:
        End(Ending::NotAStation);
        return;
    case LoginDialogue::Step::LoggedIn:
        OnLoggedIn(std::string(login_.Rest()));
        return;
    case LoginDialogue::Step::WrongPassword:
        End(Ending::WrongPassword);
        return;
    case LoginDialogue::Step::UserDisabled:
        End(Ending::UserDisabled);
        return;
    case LoginDialogue::Step::Rejected:
        End(Ending::LoginRejected);
        return;
    case LoginDialogue::Step::TimedOut:
        End(Ending::LoginTimeout);
        return;
    case LoginDialogue::Step::Unexpected:
        End(Ending::LoginRejected, "unexpected answer");
        return;
    }
}

void StationLink::OnLoggedIn(std::string_view rest)
{
    const auto now = SteadyClock::now();
    phase_ = Phase::LoggedIn;
    loggedInAt_ = now;
    nextTick_ = now + kTick;
    clock_.reset();
    filter_.Reset();
    gate_.Resume();
    status_.state = LinkStatus::State::LoggedIn;
    status_.loggedInAt = Now();
    status_.elapsed.reset();
    status_.limit.reset();
    status_.voice.reset();
    status_.clockAt = 0;
    observer_.Event("logged in to " + status_.station + " as " + settings_.user);
    // The first "@@ST" answer tells the session limit, by which the link knows a limit's close;
    // the identity tells which model's refusal rules apply.
    SendToStation(kSessionTimeCommand);
    SendToStation(view_.OwnQuery(now));
    if (settings_.sessionClock) {
        SendToStation(kPushesOn);
        pushesOn_ = true;
    }
    Publish();
    if (!rest.empty())
        OnStationBytes(rest);
}

void StationLink::OnStationText(const std::string& text)
{
    ++status_.reportsKept;
    if (const auto clock = ParseSessionTime(text)) {
        if (!clock_ && clock->limit > 0)
            observer_.Event("session limit " + Clock(clock->limit));
        clock_ = clock;
        status_.elapsed = clock->elapsed;
        status_.limit = clock->limit;
        status_.clockAt = Now();
        Publish();
    } else if (const auto voice = ParseVoice(text)) {
        if (status_.voice != voice)
            observer_.Event(std::string("voice ") + (*voice ? "on" : "off"));
        status_.voice = voice;
        Publish();
    } else if (text == proto::kIdleTimeout) {
        farewell_ = Ending::IdleLimit;
    } else if (text == proto::kOverflowText) {
        farewell_ = Ending::CommandTooLong;
    } else if (text == proto::kLoginTimeout) {
        farewell_ = Ending::LoginTimeout;
    }
}

void StationLink::OnProgramBytes(const std::string& bytes)
{
    if (phase_ != Phase::LoggedIn) {
        gate_.Drop(bytes);
        return;
    }
    const std::size_t droppedBefore = gate_.DroppedCommands();
    const std::uint64_t answeredBefore = view_.CommandsAnswered();
    std::string toStation, toProgram;
    view_.FromProgram(gate_.Pass(bytes), SteadyClock::now(), toStation, toProgram);
    if (!toStation.empty())
        SendToStation(toStation);
    if (!toProgram.empty())
        port_.Deliver(toProgram);
    if (gate_.DroppedCommands() != droppedBefore || view_.CommandsAnswered() != answeredBefore)
        Publish();
}

void StationLink::SendToStation(std::string_view bytes)
{
    toStation_.append(bytes);
    lastSent_ = SteadyClock::now();
}

bool StationLink::FlushToStation()
{
    while (tls_ && !toStation_.empty()) {
        std::size_t put = 0;
        const TlsStream::Io io = tls_->Write(toStation_.data(), toStation_.size(), put);
        if (io == TlsStream::Io::Done) {
            toStation_.erase(0, put);
            continue;
        }
        if (io == TlsStream::Io::WantRead || io == TlsStream::Io::WantWrite)
            return true;
        sendError_ = tls_->Error().empty() ? "the connection was closed" : tls_->Error();
        return false;
    }
    while (!toStation_.empty()) {
        const ssize_t n = ::send(socket_, toStation_.data(), toStation_.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            toStation_.erase(0, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        sendError_ = std::strerror(errno);
        return false;
    }
    return true;
}

void StationLink::OnTimers(TimePoint now)
{
    if (companion_ && companion_->OnTimer(now))
        Publish();
    switch (phase_) {
    case Phase::Waiting:
        if (now >= deadline_)
            StartAttempt();
        return;
    case Phase::Connecting:
        if (now >= deadline_) {
            ::close(socket_);
            socket_ = -1;
            connectError_ = "timed out";
            refused_ = false;
            if (!TryNextAddress())
                End(Ending::Unreachable, connectError_);
        }
        return;
    case Phase::Handshaking:
        if (now >= deadline_)
            End(Ending::NoGreeting, "the TLS handshake did not finish");
        return;
    case Phase::Greeting:
        if (now >= deadline_)
            End(Ending::NoGreeting);
        return;
    case Phase::LoggingIn:
        if (now >= deadline_)
            End(Ending::NoLoginAnswer);
        return;
    case Phase::LoggedIn:
        break;
    }
    std::string lateReplies;
    view_.Expire(now, lateReplies);
    if (!lateReplies.empty())
        port_.Deliver(lateReplies);
    if (probeSentAt_ && now - *probeSentAt_ >= settings_.probePatience) {
        End(Ending::StationSilent);
        return;
    }
    // Only between whole commands: the station would read "@@ST;" inside a half-sent command as
    // part of it.
    if (!probeSentAt_ && view_.AtBoundary() &&
        (now - lastSent_ >= settings_.keepAlive || now - lastReceived_ >= settings_.keepAlive)) {
        SendToStation(kSessionTimeCommand);
        probeSentAt_ = now;
    }
    if (now >= nextTick_) {
        nextTick_ = now + kTick;
        Publish();
    }
}

Ending StationLink::EndingOfClose() const
{
    if (farewell_)
        return *farewell_;
    switch (phase_) {
    case Phase::Greeting:
        return greetingBytes_ == 0 ? Ending::ClosedBeforeGreeting : Ending::StationGone;
    case Phase::LoggedIn:
        if (clock_ && clock_->limit > 0) {
            const auto lasted = std::chrono::duration_cast<Seconds>(SteadyClock::now() - loggedInAt_).count();
            if (clock_->elapsed + 1 >= clock_->limit || lasted + kLimitSlackSeconds >= clock_->limit)
                return Ending::SessionLimit;
        }
        return Ending::StationGone;
    default:
        return Ending::StationGone;
    }
}

void StationLink::End(Ending ending, const std::string& detail)
{
    const auto now = SteadyClock::now();
    const std::optional<Seconds> lasted =
        phase_ == Phase::LoggedIn ? std::optional(std::chrono::duration_cast<Seconds>(now - loggedInAt_)) : std::nullopt;
    const bool refused = ending == Ending::Unreachable && refused_;
    std::string reason(Row(ending).reason);
    if (!detail.empty())
        reason += ": " + detail;
    else if (ending == Ending::SessionLimit && clock_)
        reason += " (" + Clock(clock_->limit) + ")";

    CloseSocket();
    delete addresses_;
    addresses_ = nullptr;
    toStation_.clear();
    login_.Reset();
    filter_.Reset();
    view_.Reset();
    probeSentAt_.reset();
    farewell_.reset();
    clock_.reset();
    pushesOn_ = false;
    lastEnding_ = ending;

    status_.lastEnding = reason;
    status_.encryption = settings_.tls ? "TLS" : "none";
    status_.lastEndingAt = Now();
    status_.loggedInAt = 0;
    status_.elapsed.reset();
    status_.limit.reset();
    status_.clockAt = 0;
    status_.voice.reset();

    const Backoff::Decision decision = backoff_.After(ending, lasted, refused);
    if (decision.stop) {
        observer_.Event(reason + "; not trying again" +
                        (Row(ending).final && !Row(ending).neverRetried ? " (--keep-trying would retry once a minute)" : ""));
        status_.state = LinkStatus::State::Stopped;
        phase_ = Phase::Waiting;
        ended_ = true;
        Publish();
        return;
    }
    phase_ = Phase::Waiting;
    deadline_ = now + decision.wait;
    status_.state = LinkStatus::State::Waiting;
    status_.nextAttemptAt = Now() + decision.wait.count();
    observer_.Event(reason + "; next attempt in " + std::to_string(decision.wait.count()) + " s");
    Publish();
}

void StationLink::SayGoodbye()
{
    // The station keeps the pushes switched on for whoever comes next; switch them off again, unless
    // the program left half a command, which "@@AI0;" would complete into something else.
    if (socket_ >= 0 && phase_ == Phase::LoggedIn && pushesOn_ && view_.AtBoundary()) {
        SendToStation(kPushesOff);
        const auto end = SteadyClock::now() + kGoodbyePatience;
        while (!toStation_.empty() && SteadyClock::now() < end && FlushToStation()) {
            pollfd p{socket_, POLLOUT, 0};
            ::poll(&p, 1, 50);
        }
    }
    CloseSocket();
    phase_ = Phase::Waiting;
    status_.state = LinkStatus::State::Stopped;
    status_.loggedInAt = 0;
    observer_.Event("stopped");
    Publish();
}

}  // namespace quintar::link
