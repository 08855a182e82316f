// The report filter and the command gate: byte-wise state machines, so that a report or farewell
// split over several reads is recognised the same as one that arrives whole.
#include "StationStream.h"

#include <algorithm>
#include <array>

#include "SessionProtocol.h"

namespace quintar::link {

namespace {

namespace proto = brenlow::server;

// What the station may send before it closes a session. They begin with a line end, which no radio
// answer does; a held text that stops matching all of them was the radio's after all.
constexpr std::array<std::string_view, 4> kFarewells = {proto::kIdleTimeout, proto::kOverflowText,
                                                        proto::kLoginFailedText, proto::kLoginTimeout};
// No report is longer; a runaway "@" text is handed on rather than swallowing the stream.
constexpr std::size_t kLongestReport = 64;

bool StartsFarewell(std::string_view held, bool* complete)
{
    bool prefix = false;
    *complete = false;
    for (std::string_view f : kFarewells) {
        if (f.substr(0, held.size()) == held) {
            prefix = true;
            *complete = *complete || f.size() == held.size();
        }
    }
    return prefix;
}

// The decimal digits between a report's four letters and its ";".
std::optional<std::string_view> Digits(std::string_view report, std::string_view head)
{
    if (report.size() < head.size() + 2 || report.substr(0, head.size()) != head || report.back() != ';')
        return std::nullopt;
    std::string_view digits = report.substr(head.size(), report.size() - head.size() - 1);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return digits;
}

unsigned Number(std::string_view digits)
{
    unsigned n = 0;
    for (char c : digits)
        n = n * 10 + static_cast<unsigned>(c - '0');
    return n;
}

std::optional<bool> Flag(std::string_view report, std::string_view head)
{
    const auto digits = Digits(report, head);
    if (!digits || digits->size() != 1 || (*digits)[0] > '1')
        return std::nullopt;
    return (*digits)[0] == '1';
}

}  // namespace

void ReportFilter::Reset()
{
    state_ = State::Radio;
    atBoundary_ = true;
    held_.clear();
}

void ReportFilter::Feed(std::string_view bytes, std::string& radio, std::vector<std::string>& station)
{
    for (char c : bytes)
        Take(c, radio, station);
}

void ReportFilter::Take(char c, std::string& radio, std::vector<std::string>& station)
{
    switch (state_) {
    case State::Radio:
        if (atBoundary_) {
            if (c == '\0')
                return;  // padding of a fixed-size block
            if (c == '@' || c == '\r' || c == '\n') {
                state_ = c == '@' ? State::Report : State::Farewell;
                held_.assign(1, c);
                return;
            }
        }
        radio += c;
        atBoundary_ = c == ';';
        return;

    case State::Report:
        held_ += c;
        if (c == ';') {
            station.push_back(std::move(held_));
            held_.clear();
            state_ = State::Radio;
            atBoundary_ = true;
        } else if (held_.size() > kLongestReport) {
            radio += held_;
            held_.clear();
            state_ = State::Radio;
            atBoundary_ = false;
        }
        return;

    case State::Farewell: {
        held_ += c;
        bool complete = false;
        if (StartsFarewell(held_, &complete)) {
            if (complete) {
                station.push_back(std::move(held_));
                held_.clear();
                state_ = State::Radio;
                atBoundary_ = true;
            }
            return;
        }
        // Not the station's: its first byte goes on, the rest is looked at again.
        const std::string rest = held_.substr(1);
        radio += held_[0];
        held_.clear();
        state_ = State::Radio;
        atBoundary_ = false;
        for (char r : rest)
            Take(r, radio, station);
        return;
    }
    }
}

std::string CommandGate::Pass(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const bool ends = c == ';';
        if (skipping_) {
            skipping_ = !ends;
        } else if (forwardedBoundary_ && c == '@') {
            ++droppedCommands_;
            skipping_ = !ends;
        } else {
            out += c;
            forwardedBoundary_ = ends;
        }
        programBoundary_ = ends;
    }
    return out;
}

void CommandGate::Drop(std::string_view bytes)
{
    if (!bytes.empty())
        programBoundary_ = bytes.back() == ';';
}

void CommandGate::Resume()
{
    forwardedBoundary_ = true;
    skipping_ = !programBoundary_;
}

std::optional<SessionClock> ParseSessionTime(std::string_view report)
{
    // Hours are not wrapped, so the elapsed hours may take more than two digits.
    const auto digits = Digits(report, "@@ST");
    if (!digits || digits->size() < 12 || digits->size() > 16)
        return std::nullopt;
    const std::string_view d = *digits;
    const std::size_t h = d.size() - 10;
    const unsigned em = Number(d.substr(h, 2)), es = Number(d.substr(h + 2, 2));
    const unsigned lh = Number(d.substr(h + 4, 2)), lm = Number(d.substr(h + 6, 2)), ls = Number(d.substr(h + 8, 2));
    if (em > 59 || es > 59 || lm > 59 || ls > 59)
        return std::nullopt;
    return SessionClock{Number(d.substr(0, h)) * 3600 + em * 60 + es, lh * 3600 + lm * 60 + ls};
}

std::optional<bool> ParseVoice(std::string_view report)
{
    return Flag(report, "@@VE");
}

std::optional<bool> ParseAutoInformation(std::string_view report)
{
    return Flag(report, "@@AI");
}

}  // namespace quintar::link
