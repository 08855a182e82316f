// The simulated radio against the library's own encoder cases, over the real pseudo-terminal and
// reader: every command an encoder writes is one the radio takes, every query is answered with an
// answer that the parsers store in the entries the query emptied, and a set draws no answer at all.
#include <set>
#include <sstream>

#include "EncoderHarness.h"

using namespace cmdtest;

namespace {

// Names of the cache parts holding a parsed answer (valid flag exactly 1), as ChangedEntries
// names them.
std::set<std::string> Answered(const brenlow::AnswerCache& c) {
    static const char* const kNames[] = {
#define CMDTEST_NAME(x) #x,
        BRENLOW_ANSWERS(CMDTEST_NAME)
#undef CMDTEST_NAME
    };
    using brenlow::Answer;
    std::set<std::string> out;
    for (std::size_t i = 0; i < brenlow::kAnswerCount; ++i)
        if (c.entry[i].valid == 1) out.insert(kNames[i]);
    const std::pair<const char*, const brenlow::IndexedEntry*> indexed[] = {
        {"AG", &c.ag}, {"AR", &c.ar}, {"SQ", &c.sq}, {"SM", &c.sm}, {"RM", &c.rm}};
    for (const auto& [name, e] : indexed) {
        if (e->valid == 1) out.insert(name);
        for (std::size_t k = 0; k < brenlow::kMaxIndexes; ++k)
            if (e->validAt[k] == 1) out.insert(std::string(name) + "[" + std::to_string(k) + "]");
    }
    for (int s = 0; s < 2; ++s)
        if (c.mrSlot[s].valid == 1) out.insert("MR[" + std::to_string(s) + "]");
    for (std::size_t x = 0; x < brenlow::kSsTableSize; ++x)
        for (std::size_t y = 0; y < brenlow::kSsTableSize; ++y)
            if (c.ssTable[x][y].valid == 1) out.insert("SS[" + std::to_string(x) + "][" + std::to_string(y) + "]");
    return out;
}

// The command names of a list of cache part names ("AG[1]" is AG), without the identity, which
// the probe after every case fills.
std::set<std::string> Commands(const std::set<std::string>& parts) {
    std::set<std::string> out;
    for (const auto& p : parts)
        if (p.substr(0, 2) != "ID") out.insert(p.substr(0, 2));
    return out;
}

std::set<std::string> Commands(const char* clears) {
    std::set<std::string> parts;
    std::istringstream words(clears);
    for (std::string w; words >> w;) parts.insert(w);
    return Commands(parts);
}

std::string Joined(const std::set<std::string>& names) {
    std::string s;
    for (const auto& n : names) s += (s.empty() ? "" : " ") + n;
    return s;
}

// Where the radio does not do what the encoder's cache handling expects.
struct Difference {
    unsigned model;
    const char* call;
    const char* answered;  // the commands whose answers come back
    bool refused;          // the radio answers "?;"
};
const Difference kDifferences[] = {
    // Transmit and receive are acts; with auto-information off the radio reports nothing.
    {kDun, "ConnTX()", "", false},
    {kCor, "ConnTX2(0)", "", false},
    {kDun, "ConnRX()", "", false},
    {kCor, "ConnRX()", "", false},
    // A query the encoder sends without emptying its entry.
    {kDun, "ConnTI()", "TI", false},
    // Reads of slots and menus this radio does not have: its sets take only index 0, sub-menu
    // numbers 0, the second SS digit up to 4, and one transmit digit up to 2.
    {kCor, "ConnAG(\"R\", 1, 0)", "", true},
    {kCor, "ConnSQ(\"R\", 1, 0)", "", true},
    {kCor, "ConnEX(\"R\", 12, 3, 4, 5, U(\"\"))", "", true},
    {kCor, "ConnSS2(\"R\", 9, 9, U(\"0\"))", "", true},
    {kCor, "ConnTX2(12345)", "", true},
    // The encoder leaves AR's last value unchecked; two digits do not fit its one-digit field.
    {kDun, "ConnAR(\"W\", 0, 0, 12)", "", true},
};

const Difference* DifferenceOf(const Case& c) {
    for (const Difference& d : kDifferences)
        if (d.model == c.model && std::string(c.call) == d.call) return &d;
    return nullptr;
}

TEST(RadioSimAgreement, TakesEveryEncodedCommandAnswersEveryQueryAndNeverASet) {
    std::set<std::string> differencesMet;
    for (unsigned model : {kDun, kCor}) {
        radiosim::Options answering;
        RadioLine line(model, answering);
        ASSERT_TRUE(line.Ready());
        const std::string identity = "ID0" + std::to_string(model) + ";";
        for (const Case& c : EncoderCases()) {
            if (c.model != model || !c.bytes || c.bytes->empty()) continue;
            SCOPED_TRACE(std::string(c.call) + " on identity " + std::to_string(model));
            brenlow::State().terminalMode = 0;
            // Reports of changes would fill entries of their own.
            ASSERT_EQ(line.radio.ConnDirect(U("AI0;")), 1);
            FillCache();
            ASSERT_TRUE(line.sim->WaitReceived("AI0;", 5000));
            line.sim->ClearSent();

            c.run(line.radio);
            // The identity query's answer comes after every answer to the case and is parsed last.
            ASSERT_EQ(line.radio.ConnDirect(U("ID;")), 1);
            ASSERT_TRUE(line.sim->WaitSent(identity, 5000));
            ASSERT_TRUE(testsupport::WaitUntil(
                [] {
                    brenlow::RadioState& s = brenlow::State();
                    std::scoped_lock g(s.cacheLock);
                    return s.cache[brenlow::Answer::ID].valid == 1;
                },
                5000));

            const Difference* d = DifferenceOf(c);
            if (d) differencesMet.insert(std::to_string(model) + c.call);
            const std::string sent = line.sim->Sent();
            if (d && d->refused)
                EXPECT_EQ(Visible(sent), Visible("?;" + identity));
            else
                EXPECT_EQ(sent.find("?;"), std::string::npos) << Visible(sent);
            const std::set<std::string> expected = d ? Commands(d->answered) : Commands(c.clears);
            EXPECT_EQ(Joined(Commands(Answered(Snapshot()))), Joined(expected)) << Visible(sent);
        }
    }
    EXPECT_EQ(differencesMet.size(), std::size(kDifferences)) << "a difference names no case";
}

}  // namespace
