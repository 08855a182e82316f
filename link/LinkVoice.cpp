// The call's policy: when to call, when to hang up, when to call again, and what to say.
#include "LinkVoice.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <vector>

namespace quintar::link {

namespace {

// A hang-up's BYE goes out on the engine's next iterations.
constexpr auto kHangUpFlush = std::chrono::seconds(3);

std::int64_t Now()
{
    return static_cast<std::int64_t>(std::time(nullptr));
}

unsigned Whole(float value)
{
    return value > 0 ? static_cast<unsigned>(value + 0.5f) : 0u;
}

}  // namespace

LinkVoice::LinkVoice(std::unique_ptr<VoiceEngine> engine, LinkObserver& observer, std::string host, unsigned sipPort,
                     VoiceTiming timing)
    : engine_(std::move(engine)),
      observer_(observer),
      host_(std::move(host)),
      sipPort_(sipPort),
      timing_(timing),
      call_(LinkStatus::Call::Waiting),
      retryWait_(timing.firstRetry)
{
}

LinkVoice::~LinkVoice()
{
    if (engine_)
        engine_->HangUp();
}

std::string LinkVoice::StationUri(const std::string& address, unsigned sipPort)
{
    const bool v6 = address.find(':') != std::string::npos;
    return "sip:station@" + (v6 ? "[" + address + "]" : address) + ":" + std::to_string(sipPort) + ";transport=tcp";
}

std::string LinkVoice::LocalAddressFor(const std::string& host, std::string& remote, std::string& error)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_ADDRCONFIG;
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(host.c_str(), "9", &hints, &found);
    if (rc != 0) {
        error = host + ": " + ::gai_strerror(rc);
        return {};
    }
    // IPv4 first: the station's SIP listener takes IPv6 only where it is bound to such an address.
    std::vector<const addrinfo*> order;
    for (const int family : {AF_INET, AF_INET6})
        for (const addrinfo* a = found; a; a = a->ai_next)
            if (a->ai_family == family)
                order.push_back(a);
    std::string local;
    error = "no route to " + host;
    for (const addrinfo* a : order) {
        if (!local.empty())
            break;
        // Connecting a datagram socket only chooses the route; nothing is sent.
        const int fd = ::socket(a->ai_family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            continue;
        sockaddr_storage mine{};
        socklen_t length = sizeof mine;
        if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&mine), &length) == 0) {
            char text[INET6_ADDRSTRLEN] = {};
            char theirs[INET6_ADDRSTRLEN] = {};
            const void* ours = mine.ss_family == AF_INET6
                                   ? static_cast<const void*>(&reinterpret_cast<sockaddr_in6*>(&mine)->sin6_addr)
                                   : static_cast<const void*>(&reinterpret_cast<sockaddr_in*>(&mine)->sin_addr);
            const void* station =
                a->ai_family == AF_INET6
                    ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in6*>(a->ai_addr)->sin6_addr)
                    : static_cast<const void*>(&reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr);
            if (::inet_ntop(mine.ss_family, ours, text, sizeof text) &&
                ::inet_ntop(a->ai_family, station, theirs, sizeof theirs)) {
                local = text;
                remote = theirs;
            }
        } else {
            error = "no route to " + host + ": " + std::strerror(errno);
        }
        ::close(fd);
    }
    ::freeaddrinfo(found);
    return local;
}

bool LinkVoice::CallUnderWay() const
{
    return call_ == LinkStatus::Call::Offered || call_ == LinkStatus::Call::Ringing ||
           call_ == LinkStatus::Call::Connected;
}

void LinkVoice::OnStatus(LinkStatus& status)
{
    const auto now = std::chrono::steady_clock::now();
    if (status.state == LinkStatus::State::LoggedIn) {
        if (status.loggedInAt != session_) {
            if (CallUnderWay())
                HangUp("a new session began", now);
            session_ = status.loggedInAt;
            offered_ = false;
            call_ = LinkStatus::Call::Waiting;
            note_.clear();
            nextCall_.reset();
            retryWait_ = timing_.firstRetry;
            reportDue_ = now + timing_.reportPatience;
        }
        if (status.voice.value_or(false) && !offered_) {
            offered_ = true;
            reportDue_.reset();
            PlaceCall(now);
        } else if (status.voice == false && offered_) {
            offered_ = false;
            nextCall_.reset();
            if (CallUnderWay())
                HangUp("the station switched voice off", now);
        }
    } else if (session_ != 0) {
        session_ = 0;
        offered_ = false;
        reportDue_.reset();
        nextCall_.reset();
        if (CallUnderWay())
            HangUp(status.state == LinkStatus::State::Stopped ? "the link stopped" : "the session ended", now);
    }

    status.call = call_;
    status.callNote = note_;
    status.callSince = call_ == LinkStatus::Call::Connected ? since_ : 0;
    status.nextCallAt =
        nextCall_ ? Now() + std::chrono::ceil<std::chrono::seconds>(*nextCall_ - now).count() : 0;
    if (call_ == LinkStatus::Call::Connected) {
        report_ = engine_->Report();
        status.callEncryption = report_.encryption;
        status.callCodec = report_.codec;
        status.callJitterBufferMs = Whole(report_.jitterBufferMs);
        status.callRoundTripMs = Whole(report_.roundTripMs);
        status.callDownloadKbps = Whole(report_.downloadKbps);
        status.callUploadKbps = Whole(report_.uploadKbps);
    }
}

std::optional<LinkVoice::TimePoint> LinkVoice::NextDeadline() const
{
    TimePoint next = nextTick_;
    if (reportDue_)
        next = std::min(next, *reportDue_);
    if (nextCall_)
        next = std::min(next, *nextCall_);
    return next;
}

bool LinkVoice::OnTimer(TimePoint now)
{
    bool changed = false;
    if (now >= nextTick_) {
        engine_->Iterate();
        const LinkStatus::Call before = call_;
        Follow(engine_->Report(), now);
        changed = call_ != before;
        nextTick_ = now + (CallUnderWay() || now < quietAfter_ ? timing_.callTick : timing_.idleTick);
    }
    if (reportDue_ && now >= *reportDue_) {
        reportDue_.reset();
        call_ = LinkStatus::Call::NotOffered;
        observer_.Event("the station offers no voice (switched off there, or it cannot run there): no call");
        changed = true;
    }
    if (nextCall_ && now >= *nextCall_) {
        nextCall_.reset();
        PlaceCall(now);
        changed = true;
    }
    return changed;
}

void LinkVoice::PlaceCall(TimePoint now)
{
    std::string remote, error;
    const std::string local = LocalAddressFor(host_, remote, error);
    const std::string uri = local.empty() ? std::string() : StationUri(remote, sipPort_);
    if (local.empty() || !engine_->Call(uri, local, error)) {
        call_ = LinkStatus::Call::Offered;  // so that Ended() schedules the next try
        Ended("the call could not be placed: " + error, now);
        return;
    }
    call_ = LinkStatus::Call::Offered;
    note_.clear();
    observer_.Event("calling the station's voice: " + uri);
    nextTick_ = now + timing_.callTick;
    Follow(engine_->Report(), now);
}

void LinkVoice::HangUp(const std::string& why, TimePoint now)
{
    engine_->HangUp();
    call_ = LinkStatus::Call::Ended;
    note_ = why;
    observer_.Event("call ended: " + why);
    quietAfter_ = now + kHangUpFlush;
    nextTick_ = now;
}

void LinkVoice::Ended(const std::string& why, TimePoint now)
{
    // A call that held for a good while starts the waits afresh.
    if (call_ == LinkStatus::Call::Connected && Now() - since_ >= timing_.longestRetry.count())
        retryWait_ = timing_.firstRetry;
    call_ = LinkStatus::Call::Ended;
    note_ = why;
    if (session_ == 0 || !offered_) {
        observer_.Event("call ended: " + why);
        return;
    }
    nextCall_ = now + retryWait_;
    observer_.Event("call ended: " + why + "; calling again in " + std::to_string(retryWait_.count()) + " s");
    retryWait_ = std::min(retryWait_ * 2, timing_.longestRetry);
}

void LinkVoice::Follow(const CallReport& report, TimePoint now)
{
    if (!CallUnderWay())
        return;  // only the call placed and not yet seen ending
    switch (report.phase) {
    case CallPhase::Ringing:
        if (call_ == LinkStatus::Call::Offered) {
            call_ = LinkStatus::Call::Ringing;
            observer_.Event("call ringing at the station");
        }
        break;
    case CallPhase::Connected:
        if (call_ != LinkStatus::Call::Connected) {
            call_ = LinkStatus::Call::Connected;
            since_ = Now();
            encryptionSaid_.clear();
            observer_.Event("call connected" + (report.codec.empty() ? std::string() : " (" + report.codec + ")"));
        }
        if (report.encryption != encryptionSaid_ && !report.encryption.empty()) {
            encryptionSaid_ = report.encryption;
            observer_.Event(report.encryption == "none" ? std::string("call audio NOT encrypted")
                                                        : "call audio encrypted (" + report.encryption + ")");
        }
        break;
    case CallPhase::Ended:
        Ended(report.hungUpHere ? std::string("hung up") : report.ending, now);
        break;
    case CallPhase::None:
    case CallPhase::Offered:
        break;
    }
}

}  // namespace quintar::link
