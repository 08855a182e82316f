// The program's own radio: its auto-information answered here, the station's refusals answered
// "?;" here (from the station's own rule table), and the radio's answers sorted into those the
// program asked for and the reports it did not.
#include "ProgramView.h"

#include <algorithm>
#include <charconv>

#include "CommandRules.h"
#include "SessionProtocol.h"

namespace quintar::link {

namespace {

// The radio's commands that only act (key, step, clear, write, send): never answered but with "?;".
constexpr std::string_view kActions[] = {"BD", "BU", "CH", "CI", "DN", "MW", "PI", "QI", "RC", "RX",
                                         "SI", "SR", "SV", "TD", "TX", "UP", "UR", "UT", "VR", "VV"};

// Queries that name what they read with digits after their letters (a receiver, a menu, a memory
// channel), or draw more than one answer; every other query is its two letters alone, answered once.
struct QueryForm {
    std::string_view letters;
    std::size_t digits;
    std::uint32_t model;  // 0: both models
    unsigned answers;
};
constexpr QueryForm kQueryForms[] = {
    {"AG", 1, 0, 1}, {"AR", 1, 0, 1}, {"AS", 3, 0, 1}, {"EX", 7, 0, 1}, {"MR", 4, 0, 1},
    {"SM", 1, 0, 1}, {"SQ", 1, 0, 1}, {"SS", 2, brenlow::kCorrin, 1}, {"SU", 1, 0, 1},
    {"RM", 0, brenlow::kCorrin, 3},  // every meter at once: SWR, COMP, ALC
};

// A radio answer is a few dozen bytes; a longer text without ";" is not one (the radio's terminal
// mode) and goes on as it is.
constexpr std::size_t kLongestAnswer = 256;
// Commands waiting for answers; a program that sends more without reading is not asking any more.
constexpr std::size_t kMostPending = 256;

constexpr std::string_view kRefused = "?;";

bool AllDigits(std::string_view s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// How many answers `judged` draws when it asks the radio for values (which the radio answers with
// the same two letters); 0 for any other command.
unsigned AnswersTo(std::string_view judged, std::uint32_t model)
{
    if (judged.size() < 2)
        return 0;
    const std::string_view letters = judged.substr(0, 2), parameters = judged.substr(2);
    if (std::find(std::begin(kActions), std::end(kActions), letters) != std::end(kActions))
        return 0;
    std::size_t digits = 0;
    unsigned answers = 1;
    for (const QueryForm& q : kQueryForms)
        if (q.letters == letters && (q.model == 0 || q.model == model)) {
            digits = q.digits;
            answers = q.answers;
        }
    return parameters.size() == digits && AllDigits(parameters) ? answers : 0;
}

// What the station will drop without a word. A rule that depends on the station's own settings
// (load messages) is left to the station.
bool StationDrops(std::string_view judged, std::uint32_t model)
{
    auto refuses = [&](std::span<const brenlow::CommandRule> rules) {
        const brenlow::CommandRule* rule = brenlow::FirstRule(rules, judged);
        return rule && rule->verdict == brenlow::RuleVerdict::Refuse;
    };
    return refuses(brenlow::kEveryModelRules) || refuses(brenlow::ModelRules(model));
}

}  // namespace

void ProgramView::Reset()
{
    command_.clear();
    passingLong_ = false;
    answer_.clear();
    pending_.clear();
    model_ = 0;
}

std::string ProgramView::OwnQuery(TimePoint now)
{
    pending_.push_back({Pending::Kind::Query, "ID", now, true});
    return "ID;";
}

bool ProgramView::TakesAutoInformation(char value) const
{
    // The radio's own ranges: identity 19 takes 0 and 2, identity 20 0 to 3.
    if (model_ == brenlow::kDunmore)
        return value == '0' || value == '2';
    return value >= '0' && value <= '3';
}

void ProgramView::FromProgram(std::string_view bytes, TimePoint now, std::string& toStation, std::string& toProgram)
{
    for (char c : bytes) {
        if (passingLong_) {
            // The station ends a session over a command this long; it says so, not the link.
            toStation += c;
            passingLong_ = c != ';';
        } else if (c != ';') {
            command_ += c;
            if (command_.size() >= brenlow::server::kBufferSize) {
                toStation += command_;
                command_.clear();
                passingLong_ = true;
            }
        } else {
            Command(command_, now, toStation);
            command_.clear();
        }
    }
    while (pending_.size() > kMostPending && pending_.front().kind != Pending::Kind::Reply)
        pending_.pop_front();
    Flush(toProgram);
}

void ProgramView::Command(std::string_view command, TimePoint now, std::string& toStation)
{
    const std::string judged = brenlow::JudgedForm(command);
    const std::string_view letters = std::string_view(judged).substr(0, 2);
    if (letters == "AI") {
        // The real radio stays as the station keeps it; the program's value is kept here.
        ++commandsAnswered_;
        const std::string_view value = std::string_view(judged).substr(2);
        if (value.empty())
            Reply("AI" + std::to_string(autoInformation_) + ";", now);
        else if (value.size() == 1 && TakesAutoInformation(value[0]))
            autoInformation_ = static_cast<unsigned>(value[0] - '0');
        else
            Reply(std::string(kRefused), now);
        return;
    }
    if (StationDrops(judged, model_)) {
        ++commandsAnswered_;
        Reply(std::string(kRefused), now);
        return;
    }
    toStation.append(command);
    toStation += ';';
    const unsigned answers = AnswersTo(judged, model_);
    pending_.push_back({answers > 0 ? Pending::Kind::Query : Pending::Kind::Set, std::string(letters), now, false,
                        std::max(answers, 1u)});
}

void ProgramView::Reply(std::string text, TimePoint now)
{
    pending_.push_back({Pending::Kind::Reply, std::move(text), now});
}

void ProgramView::FromRadio(std::string_view bytes, std::string& toProgram)
{
    for (char c : bytes) {
        answer_ += c;
        if (c == ';') {
            Answer(answer_, toProgram);
            answer_.clear();
        } else if (answer_.size() > kLongestAnswer) {
            toProgram += answer_;
            answer_.clear();
        }
    }
}

void ProgramView::Answer(const std::string& answer, std::string& toProgram)
{
    using Kind = Pending::Kind;
    if (answer == kRefused) {
        // The radio refused the oldest command still open; no radio sends "?;" unasked.
        const auto open = std::find_if(pending_.begin(), pending_.end(), [](const Pending& p) { return p.kind != Kind::Reply; });
        const bool own = open != pending_.end() && open->own;
        if (open != pending_.end())
            pending_.erase(open);
        if (!own)
            toProgram += answer;
        Flush(toProgram);
        return;
    }
    const std::string_view letters = std::string_view(answer).substr(0, 2);
    if (letters == "ID") {
        std::uint32_t id = 0;
        const auto [end, error] = std::from_chars(answer.data() + 2, answer.data() + answer.size() - 1, id);
        if (error == std::errc() && end == answer.data() + answer.size() - 1)
            model_ = id;
    }
    const auto query = std::find_if(pending_.begin(), pending_.end(),
                                    [&](const Pending& p) { return p.kind == Kind::Query && p.text == letters; });
    if (query == pending_.end()) {
        // A report of the radio's own.
        if (autoInformation_ != 0)
            toProgram += answer;
        else
            ++reportsDropped_;
        return;
    }
    // What came before it is over: sets that passed without a word, queries whose answers were
    // lost. The link's replies among them go out first, in the program's order.
    const bool own = query->own;
    for (auto p = pending_.begin(); p != query; ++p)
        if (p->kind == Kind::Reply)
            toProgram += p->text;
    const bool last = --query->answers == 0;
    pending_.erase(pending_.begin(), last ? query + 1 : query);
    if (!own)
        toProgram += answer;
    Flush(toProgram);
}

void ProgramView::Flush(std::string& toProgram)
{
    for (auto p = pending_.begin(); p != pending_.end() && p->kind != Pending::Kind::Query;) {
        if (p->kind == Pending::Kind::Reply) {
            toProgram += p->text;
            p = pending_.erase(p);
        } else {
            ++p;
        }
    }
}

void ProgramView::Expire(TimePoint now, std::string& toProgram)
{
    std::erase_if(pending_, [&](const Pending& p) { return p.kind != Pending::Kind::Reply && now - p.since >= kAnswerPatience; });
    Flush(toProgram);
}

std::optional<ProgramView::TimePoint> ProgramView::NextExpiry() const
{
    // Commands come in time order, so the first open one is the oldest.
    for (const Pending& p : pending_)
        if (p.kind != Pending::Kind::Reply)
            return p.since + kAnswerPatience;
    return std::nullopt;
}

}  // namespace quintar::link
