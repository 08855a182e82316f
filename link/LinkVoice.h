// The voice call of `quintar-link --voice`: placed to the station's SIP port once the station
// reports voice ("@@VE1;") after login, hung up when the session ends, placed again at the next
// login (and, while the session goes on, some seconds after it ended otherwise); its phase goes on
// the status line, into the status file and, at each change, into one event line.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "StationLink.h"
#include "VoiceEngine.h"

namespace quintar::link {

struct VoiceTiming {
    // The station starts voice as it logs the client in; a report this late is not coming.
    std::chrono::milliseconds reportPatience{5000};
    // After a call ended while the session goes on: the first wait, doubled up to the longest.
    std::chrono::seconds firstRetry{5};
    std::chrono::seconds longestRetry{60};
    std::chrono::milliseconds callTick{20};    // the engine's pace while a call is under way
    std::chrono::milliseconds idleTick{500};
};

class LinkVoice final : public LinkCompanion {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // Calls sip:station@host:sipPort over TCP.
    LinkVoice(std::unique_ptr<VoiceEngine> engine, LinkObserver& observer, std::string host, unsigned sipPort,
              VoiceTiming timing = {});
    ~LinkVoice() override;

    void OnStatus(LinkStatus& status) override;
    std::optional<TimePoint> NextDeadline() const override;
    bool OnTimer(TimePoint now) override;

    // The SIP address called: sip:station@HOST:PORT;transport=tcp (an IPv6 address in brackets).
    static std::string StationUri(const std::string& address, unsigned sipPort);
    // The address of this computer that reaches `host` (a route lookup, nothing is sent); empty
    // with `error` when there is none.
    static std::string LocalAddressFor(const std::string& host, std::string& remote, std::string& error);

private:
    void PlaceCall(TimePoint now);
    void HangUp(const std::string& why, TimePoint now);
    void Ended(const std::string& why, TimePoint now);
    void Follow(const CallReport& report, TimePoint now);
    bool CallUnderWay() const;

    std::unique_ptr<VoiceEngine> engine_;
    LinkObserver& observer_;
    std::string host_;
    unsigned sipPort_;
    VoiceTiming timing_;

    std::int64_t session_ = 0;  // logged-in-at of the session followed; 0: none
    bool offered_ = false;      // the station reported voice in this session
    LinkStatus::Call call_ = LinkStatus::Call::Off;
    std::string note_;
    std::int64_t since_ = 0;
    std::optional<TimePoint> reportDue_;
    std::optional<TimePoint> nextCall_;
    std::chrono::seconds retryWait_;
    TimePoint nextTick_{};
    TimePoint quietAfter_{};    // the engine still has a hang-up to finish until then
    CallReport report_;
    std::string encryptionSaid_;  // the encryption the event lines have told of for this call
};

}  // namespace quintar::link
