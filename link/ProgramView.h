// The radio as the CAT program sees it through the link. The station keeps the real radio's
// auto-information as its own panel needs it; the program gets a radio of its own: the "AI" it set
// (off until it sets one, as a radio at home), with it off only the answers to its own queries
// (matched in order by their command letters), and "?;" at once for what the station would drop.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace quintar::link {

class ProgramView {
public:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;

    // How long an answer may take before its query counts as lost.
    static constexpr std::chrono::milliseconds kAnswerPatience{3000};

    // A new session: nothing pending, the model unknown. The program's auto-information stays: the
    // program does not know the station went away.
    void Reset();
    // The link's own identity query, the first command of a session; its answer (the model whose
    // refusal rules apply) stays with the link.
    std::string OwnQuery(TimePoint now);

    // The program's bytes, whole commands at a time (the rest is held until its ";"): what goes
    // on to the station, and what the link answers itself now.
    void FromProgram(std::string_view bytes, TimePoint now, std::string& toStation, std::string& toProgram);
    // The radio's bytes as the station relays them: what the program gets.
    void FromRadio(std::string_view bytes, std::string& toProgram);
    // Gives up queries that waited too long; answers the link holds behind them go out.
    void Expire(TimePoint now, std::string& toProgram);
    std::optional<TimePoint> NextExpiry() const;
    // What went to the station ends with a whole command: the link may put its own in now. (A
    // command of the program is held here until its ";".)
    bool AtBoundary() const { return !passingLong_; }

    // The identity the radio reported (19 or 20; 0 while not known).
    std::uint32_t Model() const { return model_; }
    // The program's auto-information: 0 (off) until it sets another value.
    unsigned AutoInformation() const { return autoInformation_; }
    std::uint64_t ReportsDropped() const { return reportsDropped_; }
    std::uint64_t CommandsAnswered() const { return commandsAnswered_; }

private:
    // A command of the program on its way: a query waits for an answer with its letters (or "?;"),
    // a set may draw "?;" only, and a reply is the link's own answer, held until the answers to
    // the queries before it went out.
    struct Pending {
        enum class Kind : std::uint8_t { Query, Set, Reply };
        Kind kind;
        std::string text;  // Query: the letters; Reply: the answer
        TimePoint since;
        bool own = false;  // the link's query: its answer stays here
        unsigned answers = 1;  // Query: how many answers it draws
    };

    void Command(std::string_view command, TimePoint now, std::string& toStation);
    void Answer(const std::string& answer, std::string& toProgram);
    void Reply(std::string text, TimePoint now);
    // Sends the replies no query holds up any more.
    void Flush(std::string& toProgram);
    bool TakesAutoInformation(char value) const;

    std::string command_;  // the program's command so far
    bool passingLong_ = false;  // a command too long to hold goes on as it comes
    std::string answer_;   // the radio's answer so far
    std::deque<Pending> pending_;
    std::uint32_t model_ = 0;
    unsigned autoInformation_ = 0;
    std::uint64_t reportsDropped_ = 0;
    std::uint64_t commandsAnswered_ = 0;
};

}  // namespace quintar::link
