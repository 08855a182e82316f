// What the link reports about itself: the state of its session, the station's session clock and
// voice report, and why the last session ended. Kept in a small key=value file beside the link
// path, so that `quintar-link --status` (or any script) can read it, and shown as one status line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quintar::link {

struct LinkStatus {
    enum class State { Connecting, LoggingIn, LoggedIn, Waiting, Stopped };
    State state = State::Connecting;
    long pid = 0;
    std::string station;  // host:port
    std::string user;
    std::string port;     // the program's side: terminal path or 127.0.0.1:port
    // "none" (clear text), "TLS" (asked for, no session yet) or the session's "TLSv1.3 <suite>"; and
    // the station certificate's fingerprint last seen.
    std::string encryption = "none";
    std::string fingerprint;
    unsigned attempts = 0;
    // Calendar times in whole seconds (0: none).
    std::int64_t loggedInAt = 0;
    // The station's session clock as last reported, and when.
    std::optional<unsigned> elapsed;
    std::optional<unsigned> limit;
    std::int64_t clockAt = 0;
    std::optional<bool> voice;
    std::string lastEnding;
    std::int64_t lastEndingAt = 0;
    std::int64_t nextAttemptAt = 0;
    std::uint64_t reportsKept = 0;    // station reports kept from the program
    std::uint64_t commandsDropped = 0;  // "@@" commands from the program, and commands cut by a drop
    // The program's own radio: its auto-information, the radio's reports kept from it while that
    // is off, and the commands the link answered itself ("AI", and "?;" for what the station drops).
    unsigned autoInformation = 0;
    std::uint64_t radioReportsDropped = 0;
    std::uint64_t commandsAnswered = 0;

    // The voice call of --voice (Off without it): waiting for the station's voice report after
    // login, not offered by the station, the call's phases, or voice unavailable here.
    enum class Call { Off, Unavailable, Waiting, NotOffered, Offered, Ringing, Connected, Ended };
    Call call = Call::Off;
    std::string callNote;        // Unavailable: why; Ended: why it ended
    std::int64_t callSince = 0;  // Connected: since when
    std::int64_t nextCallAt = 0; // Ended while the session goes on: when the link calls again
    std::string callEncryption;  // Connected: of the audio ("DTLS-SRTP", "none")
    std::string callCodec;
    unsigned callJitterBufferMs = 0;
    unsigned callRoundTripMs = 0;
    unsigned callDownloadKbps = 0;  // on the wire, headers included
    unsigned callUploadKbps = 0;
};

const char* StateName(LinkStatus::State state);
const char* CallName(LinkStatus::Call call);
std::string Serialize(const LinkStatus& status);
std::optional<LinkStatus> ParseStatus(const std::string& text);

// "hh:mm:ss".
std::string Clock(std::int64_t seconds);
// The session time now: the station's clock carried forward (it counts only against a limit), or
// the time since login.
std::optional<std::int64_t> SessionSeconds(const LinkStatus& status, std::int64_t now);
// The voice call in a few words ("connected 00:01:02 (encrypted)", "ended (why), again in 5 s").
std::string CallLine(const LinkStatus& status, std::int64_t now);
// One line for a terminal.
std::string StatusLine(const LinkStatus& status, std::int64_t now);
// Several lines for --status.
std::string Describe(const LinkStatus& status, std::int64_t now);

// Replaces the file whole (a reader never sees half of it); false when it could not, with the
// reason in `error`. The new file is made under a fresh name and renamed into place, so nothing
// put at either name (a link, a FIFO) is followed or waited on.
bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* error = nullptr);
// Reads a small file of this user without following a link or waiting on a FIFO (nothing there
// reads as empty); false with the reason in `error` when the path holds anything else.
bool ReadOwnFile(const std::string& path, std::string& text, std::string& error);

}  // namespace quintar::link
