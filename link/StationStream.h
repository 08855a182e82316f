// The two directions of a logged-in session as the link sees them. From the station come the
// radio's answers, which pass unchanged, mixed with the station's own texts: "@@" reports ("@@ST",
// "@@VE", "@@AI", "@@?"), the NUL padding of its fixed-size blocks and the farewells it sends before
// it closes. To the station go the program's radio commands, with the link's own "@@" commands
// slipped in only between whole commands.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quintar::link {

// Splits the station's stream into the program's bytes and the station's own texts. A text cut by a
// segment boundary is held until its end arrives, so the split does not depend on how TCP delivers.
class ReportFilter {
public:
    // Appends the bytes for the program to `radio` and each complete station text to `station`.
    void Feed(std::string_view bytes, std::string& radio, std::vector<std::string>& station);
    void Reset();

private:
    enum class State { Radio, Report, Farewell };
    void Take(char c, std::string& radio, std::vector<std::string>& station);
    State state_ = State::Radio;
    bool atBoundary_ = true;  // the last byte ended an answer (or nothing came yet)
    std::string held_;
};

// The program's commands on their way to the station.
class CommandGate {
public:
    // The bytes to forward. "@@" commands are the station's own and would change the session under
    // the link (its clock, its password), so they are dropped whole; so is the tail of a command
    // whose beginning was dropped while the station was away.
    std::string Pass(std::string_view bytes);
    // While the station is away: nothing is forwarded, but where the program's commands end is kept.
    void Drop(std::string_view bytes);
    // A new session: nothing of the old one is pending at the station.
    void Resume();
    // The forwarded stream ends with a whole command.
    bool AtBoundary() const { return forwardedBoundary_; }
    std::size_t DroppedCommands() const { return droppedCommands_; }

private:
    bool forwardedBoundary_ = true;
    bool programBoundary_ = true;  // the program's last byte ended a command
    bool skipping_ = false;
    std::size_t droppedCommands_ = 0;
};

// "@@ST" with the elapsed session time and the session limit, in seconds (limit 0: none).
struct SessionClock {
    unsigned elapsed = 0;
    unsigned limit = 0;
    bool operator==(const SessionClock&) const = default;
};
std::optional<SessionClock> ParseSessionTime(std::string_view report);
// "@@VE0;" or "@@VE1;": the station's voice channel.
std::optional<bool> ParseVoice(std::string_view report);
// "@@AI0;" or "@@AI1;".
std::optional<bool> ParseAutoInformation(std::string_view report);

}  // namespace quintar::link
