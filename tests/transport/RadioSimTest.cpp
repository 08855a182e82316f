// The simulated radio seen from a plain raw descriptor on its pty: answers per identity, command
// cutting, refusals, the composed status answers, memories, auto-information reports, silence, the
// record of what it sent, and split/merge/delay framing of answers.
#include "RadioSim.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
constexpr int kPatienceMs = 10000;

// The serial side of the line, opened raw like a client would.
class Line {
public:
    explicit Line(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
    {
        termios tio{};
        if (fd_ >= 0 && tcgetattr(fd_, &tio) == 0) {
            cfmakeraw(&tio);
            tcsetattr(fd_, TCSANOW, &tio);
        }
    }
    ~Line()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    bool ok() const { return fd_ >= 0; }
    void Send(const std::string& text) { ASSERT_EQ(write(fd_, text.data(), text.size()), ssize_t(text.size())); }

    void WaitReadable(int timeoutMs)
    {
        pollfd p{fd_, POLLIN, 0};
        poll(&p, 1, timeoutMs);
    }

    // Every read() result until the joined text holds `count` occurrences of ';'.
    std::vector<std::string> Reads(size_t count)
    {
        std::vector<std::string> reads;
        size_t seen = 0;
        const auto deadline = Clock::now() + std::chrono::milliseconds(kPatienceMs);
        while (seen < count && Clock::now() < deadline) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0)
                continue;
            char buf[4096];
            ssize_t n = read(fd_, buf, sizeof buf);
            if (n <= 0)
                continue;
            reads.emplace_back(buf, static_cast<size_t>(n));
            for (char c : reads.back())
                seen += c == ';';
        }
        return reads;
    }
    std::string Answers(size_t count)
    {
        std::string all;
        for (const auto& r : Reads(count))
            all += r;
        return all;
    }
    std::string Ask(const std::string& command, size_t answers = 1)
    {
        Send(command);
        return Answers(answers);
    }

private:
    int fd_;
};

struct Sim {
    explicit Sim(radiosim::Options options = {}) : radio(options)
    {
        started = radio.Start();
        if (started)
            line = std::make_unique<Line>(radio.SlavePath());
    }
    radiosim::RadioSim radio;
    bool started = false;
    std::unique_ptr<Line> line;
};

TEST(RadioSimAnswers, IdentityFollowsOptionAndSetId)
{
    for (unsigned id : {19u, 20u, 7u}) {
        radiosim::Options options;
        options.id = id;
        Sim sim(options);
        ASSERT_TRUE(sim.started);
        char expected[16];
        std::snprintf(expected, sizeof expected, "ID%03u;", id);
        EXPECT_EQ(sim.line->Ask("ID;"), expected);
    }
    Sim sim;
    ASSERT_TRUE(sim.started);
    EXPECT_EQ(sim.line->Ask("ID;"), "ID020;");
    sim.radio.SetId(19);
    EXPECT_EQ(sim.line->Ask("ID;"), "ID019;");
}

TEST(RadioSimAnswers, CommandsAreCutAtSemicolonSkippingControlBytes)
{
    Sim sim;
    ASSERT_TRUE(sim.started);
    sim.radio.SetFrequencyA(7074000);
    EXPECT_EQ(sim.line->Ask("\r\nID;;\x03" "FA;ZZ;", 3), "ID020;FA00007074000;?;");
    EXPECT_EQ(sim.radio.Received(), "\r\nID;;\x03" "FA;ZZ;");
    sim.radio.ClearReceived();
    EXPECT_EQ(sim.radio.Received(), "");
}

// A set draws no answer: the identity query after it is answered first.
TEST(RadioSimAnswers, ReadsAnswerFromStateAndSetsAnswerNothing)
{
    Sim sim;
    ASSERT_TRUE(sim.started);
    Line& line = *sim.line;
    EXPECT_EQ(line.Ask("FA00003573000;FB00010136000;ID;"), "ID020;");
    EXPECT_EQ(line.Ask("FA;FB;", 2), "FA00003573000;FB00010136000;");
    EXPECT_EQ(sim.radio.FrequencyA(), 3573000u);
    EXPECT_EQ(sim.radio.FrequencyB(), 10136000u);

    EXPECT_EQ(line.Ask("PS;"), "PS1;");
    EXPECT_EQ(line.Ask("PS9;ID;"), "ID020;");
    EXPECT_EQ(line.Ask("PS;"), "PS0;");
    EXPECT_EQ(sim.radio.Power(), 0u);
    sim.radio.SetPower(1);
    EXPECT_EQ(line.Ask("PS;"), "PS1;");

    EXPECT_EQ(line.Ask("AI1;ID;"), "ID020;");
    EXPECT_EQ(line.Ask("AI;"), "AI1;");
    EXPECT_EQ(sim.radio.Ai(), 1u);
    line.Send("AI0;");

    EXPECT_EQ(line.Ask("MD;"), "MD2;");
    EXPECT_EQ(line.Ask("MD3;ID;"), "ID020;");
    EXPECT_EQ(line.Ask("MD;"), "MD3;");
    EXPECT_EQ(sim.radio.Mode(), 3u);

    // Transmit and receive are acts: with auto-information off nothing comes back.
    EXPECT_EQ(line.Ask("TX;ID;"), "ID020;");
    EXPECT_TRUE(sim.radio.Transmitting());
    EXPECT_EQ(line.Ask("RX;ID;"), "ID020;");
    EXPECT_FALSE(sim.radio.Transmitting());
    EXPECT_EQ(line.Ask("TX1;ID;"), "ID020;");
    EXPECT_TRUE(sim.radio.Transmitting());
    line.Send("RX;");

    EXPECT_EQ(line.Ask("KY CQ TEST;ID;"), "ID020;");
    EXPECT_EQ(line.Ask("KY;"), "KY0;");

    EXPECT_EQ(line.Ask("EX0010000;"), "EX00100000;");
    EXPECT_EQ(line.Ask("EX00100002;ID;"), "ID020;");
    EXPECT_EQ(line.Ask("EX0010000;"), "EX00100002;");

    // Fields only the answer carries keep their value when a set leaves them out.
    EXPECT_EQ(line.Ask("PA1;RA05;ID;"), "ID020;");
    EXPECT_EQ(line.Ask("PA;RA;", 2), "PA10;RA0500;");
    // Indexed values are kept per index.
    EXPECT_EQ(line.Ask("AG0150;ID;"), "ID020;");
    EXPECT_EQ(line.Ask("AG0;"), "AG0150;");
    EXPECT_EQ(line.Ask("SS94" "00007050000;SS94;SS00;", 2), "SS9400007050000;SS0000000000000;");
}

struct Refusal {
    unsigned id;
    std::string command;
};

TEST(RadioSimAnswers, RefusesWhatTheRadioDoesNotTakeAndKeepsItsState)
{
    const Refusal refusals[] = {
        {20, "FA123;"}, {20, "FA0001407400A;"}, {20, "FA000142500000;"}, {20, "fa;"}, {20, "F;"}, {20, "ZZ;"},
        {20, "MD0;"}, {20, "MD8;"}, {20, "MD22;"}, {20, "AI4;"}, {19, "AI1;"}, {19, "PS9;"}, {20, "PS2;"},
        {20, "TC;"}, {20, "TC 0;"}, {20, "AL;"}, {19, "XI;"}, {20, "OI;"}, {20, "IF1;"}, {20, "ID020;"},
        {20, "BY00;"}, {19, "TX0;"}, {20, "TX3;"}, {20, "RX0;"}, {20, "EX0010100;"}, {20, "EX001000;"},
        {19, "IS-0010;"}, {20, "IS+0010;"}, {20, "KY" + std::string(26, 'K') + ";"},
        {20, "UR" + std::string(129, 'U') + ";"}, {20, "UT;"}, {20, "SR3;"}, {20, "AG1;"}, {19, "AG2;"},
        {20, "SC2;"}, {20, "UP100;"}, {20, "UP5;"}, {20, "SS95;"}, {19, "MR0300;"}, {20, "MR0100;"},
        {20, "MW0000000142500002000000000000000000000NAME-TOO-LONG;"}, {20, "MW000;"},
    };
    for (unsigned id : {19u, 20u}) {
        radiosim::Options options;
        options.id = id;
        Sim sim(options);
        ASSERT_TRUE(sim.started);
        const std::string state = "FA;MD;AI;PS;FR;";
        const std::string before = sim.line->Ask(state, 5);
        ASSERT_EQ(before, "FA00014074000;MD2;AI0;PS1;FR0;");
        for (const Refusal& r : refusals) {
            if (r.id != id)
                continue;
            SCOPED_TRACE(r.command + " on identity " + std::to_string(id));
            EXPECT_EQ(sim.line->Ask(r.command), "?;");
        }
        EXPECT_EQ(sim.line->Ask(state, 5), before);
        EXPECT_FALSE(sim.radio.Transmitting());
    }
}

TEST(RadioSimAnswers, Identity19TerminalMode)
{
    radiosim::Options options;
    options.id = 19;
    Sim sim(options);
    ASSERT_TRUE(sim.started);
    EXPECT_EQ(sim.line->Ask("TC;"), "TC 1;");
    sim.line->Send("TC 0;");
    EXPECT_EQ(sim.line->Ask("TC;"), "TC 0;");
    sim.line->Send("\x03;\rTC 1;\r");
    EXPECT_EQ(sim.line->Ask("TC;"), "TC 1;");
    EXPECT_EQ(sim.line->Ask("PS9;"), "?;");
}

// IF: frequency of the VFO in use, step, RIT/XIT offset, RIT, XIT, memory bank and channel,
// transmit, mode, VFO, scan, split, tone, tone number, one spare digit.
TEST(RadioSimAnswers, IfAnswerCarriesTheOperatingState)
{
    Sim sim;
    ASSERT_TRUE(sim.started);
    Line& line = *sim.line;
    EXPECT_EQ(line.Ask("IF;"), "IF00014074000" "0000" "+00000" "0" "0" "000" "0" "2" "0" "0" "0" "0" "00" "0;");
    line.Send("FA00014250000;FB00007050000;MD3;RT1;XT1;MC012;SC1;TO1;TN08;");
    EXPECT_EQ(line.Ask("IF;"), "IF00014250000" "0000" "+00000" "1" "1" "012" "0" "3" "0" "1" "0" "1" "08" "0;");
    line.Send("FR1;RT0;XT0;SC0;TO0;");
    EXPECT_EQ(line.Ask("IF;"), "IF00007050000" "0000" "+00000" "0" "0" "012" "0" "3" "1" "0" "0" "0" "08" "0;");
    // Split: receive on B, transmit on A; while transmitting IF shows the transmit side.
    line.Send("FT0;");
    EXPECT_EQ(line.Ask("IF;"), "IF00007050000" "0000" "+00000" "0" "0" "012" "0" "3" "1" "0" "1" "0" "08" "0;");
    line.Send("TX;");
    EXPECT_EQ(line.Ask("IF;"), "IF00014250000" "0000" "+00000" "0" "0" "012" "1" "3" "0" "0" "1" "0" "08" "0;");
    line.Send("RX;");
    EXPECT_EQ(line.Ask("XI;"), "XI00014250000" "3" "00;");
    EXPECT_EQ(line.Ask("IF;")[28], '0');
}

// What a CAT program learns the radio by: the power range it holds a set to (a program sets 000 and
// 255 and reads back), the RIT/XIT offset that RU, RD and RC move and IF reports, and the meters.
TEST(RadioSimAnswers, PowerOffsetAndMetersAnswerAsTheRadioDoes)
{
    for (unsigned id : {19u, 20u}) {
        radiosim::Options options;
        options.id = id;
        Sim sim(options);
        ASSERT_TRUE(sim.started);
        SCOPED_TRACE(id);
        Line& line = *sim.line;
        EXPECT_EQ(line.Ask("PC;"), "PC100;");
        EXPECT_EQ(line.Ask("PC000;PC;"), "PC001;");
        EXPECT_EQ(line.Ask("PC255;PC;"), "PC255;");
        EXPECT_EQ(line.Ask("PC50;"), "?;");
        EXPECT_EQ(line.Ask("PC0500;"), "?;");
        EXPECT_EQ(line.Ask("PC;"), "PC255;");

        EXPECT_EQ(line.Ask("RU00500;IF;").substr(17, 6), "+00500");
        EXPECT_EQ(line.Ask("RD00800;IF;").substr(17, 6), "-00300");
        EXPECT_EQ(line.Ask("RD99999;IF;").substr(17, 6), "-99999");
        EXPECT_EQ(line.Ask("RU;RD;", 2), "RU00500;RD99999;");
        EXPECT_EQ(line.Ask("RC;IF;").substr(17, 6), "+00000");
        line.Send("RU00020;FR1;");
        EXPECT_EQ(line.Ask("IF;").substr(17, 6), "+00020");

        // Identity 20 answers every meter at once; identity 19 the one it shows.
        if (id == 20) {
            EXPECT_EQ(line.Ask("RM;", 3), "RM10000;RM20000;RM30000;");
        } else {
            EXPECT_EQ(line.Ask("RM;"), "RM00000;");
            EXPECT_EQ(line.Ask("RM3;RM;"), "RM30000;");
        }
        EXPECT_EQ(line.Ask("RM5;"), "?;");
    }
}

TEST(RadioSimAnswers, ReceiveVfoTakesTheTransmitVfoAlong)
{
    for (unsigned id : {19u, 20u}) {
        radiosim::Options options;
        options.id = id;
        Sim sim(options);
        ASSERT_TRUE(sim.started);
        Line& line = *sim.line;
        SCOPED_TRACE(id);
        EXPECT_EQ(line.Ask("FR;FT;", 2), "FR0;FT0;");
        line.Send("FR1;");
        EXPECT_EQ(line.Ask("FR;FT;", 2), "FR1;FT1;");
        EXPECT_EQ(sim.radio.ReceiveVfo(), 1u);
        EXPECT_EQ(sim.radio.TransmitVfo(), 1u);
        line.Send("FT0;");
        EXPECT_EQ(line.Ask("FR;FT;", 2), "FR1;FT0;");
        // The memory side: identity 20 cannot transmit on it, so its transmit VFO stays.
        line.Send("FR2;");
        EXPECT_EQ(line.Ask("FR;FT;", 2), id == 19 ? "FR2;FT2;" : "FR2;FT0;");
    }
}

TEST(RadioSimAnswers, MemoryChannelsHoldWhatWasWritten)
{
    struct Model {
        unsigned id;
        std::string channel;  // slot, bank, channel
        std::string fields;   // frequency, mode ... group
        std::string name;
    };
    const Model models[] = {
        {19, "0205", "00007050000" "3" "1" "2" "39" "38" "103" "1" "9" "000600000" "99" "9", "SEVENCH"},
        {20, "0005", "00014074000" "2" "0" "1" "12" "34" "000" "0" "0" "000000000" "05" "1", "EIGHTCHR"},
    };
    for (const Model& m : models) {
        radiosim::Options options;
        options.id = m.id;
        Sim sim(options);
        ASSERT_TRUE(sim.started);
        SCOPED_TRACE(m.id);
        Line& line = *sim.line;
        const std::string empty = "MR" + m.channel + "00000000000" "0" "0" "0" "00" "00" "000" "0" "0" "000000000" "00" "0;";
        EXPECT_EQ(line.Ask("MR" + m.channel + ";"), empty);
        EXPECT_EQ(line.Ask("MW" + m.channel + m.fields + m.name + ";ID;"), "ID0" + std::to_string(m.id) + ";");
        EXPECT_EQ(line.Ask("MR" + m.channel + ";"), "MR" + m.channel + m.fields + m.name + ";");
        // The other slot of the same channel is another memory.
        const std::string other = "1" + m.channel.substr(1);
        EXPECT_EQ(line.Ask("MR" + other + ";"), "MR" + other + empty.substr(6));
        // On the memory side IF shows the selected channel's frequency.
        line.Send("MC" + m.channel.substr(1) + ";FR2;");
        EXPECT_EQ(line.Ask("IF;").substr(2, 11), m.fields.substr(0, 11));
    }
}

TEST(RadioSimAnswers, ResetRestoresTheInitialState)
{
    Sim sim;
    ASSERT_TRUE(sim.started);
    Line& line = *sim.line;
    const std::string reads = "FA;MD;AI;FR;EX0010000;";
    const std::string initial = line.Ask(reads, 5);
    line.Send("FA00007000000;MD1;FR1;EX00100005;TX;AI2;");
    ASSERT_NE(line.Ask(reads, 5), initial);
    line.Send("SR1;");
    EXPECT_EQ(line.Ask(reads, 5), initial);
    EXPECT_FALSE(sim.radio.Transmitting());
}

// With auto-information on, a change of what IF shows is reported by its answer, then IF; a set
// that changes nothing, and changes IF does not show, are not reported.
TEST(RadioSimAnswers, AutoInformationReportsChangesThenStatus)
{
    Sim sim;
    ASSERT_TRUE(sim.started);
    Line& line = *sim.line;
    line.Send("AI2;FA00007000000;");
    std::string reported = line.Answers(2);
    ASSERT_EQ(reported.size(), 14u + 38u) << reported;
    EXPECT_EQ(reported.substr(0, 14), "FA00007000000;");
    EXPECT_EQ(reported.substr(14, 13), "IF00007000000");
    EXPECT_EQ(line.Ask("FA00007000000;PS1;ID;"), "ID020;");

    reported = line.Ask("TX;", 2);
    ASSERT_EQ(reported.size(), 4u + 38u) << reported;
    EXPECT_EQ(reported.substr(0, 4), "TX0;");
    EXPECT_EQ(reported[4 + 28], '1');
    EXPECT_EQ(line.Ask("TX;ID;"), "ID020;");
    reported = line.Ask("RX;", 2);
    ASSERT_EQ(reported.size(), 4u + 38u) << reported;
    EXPECT_EQ(reported.substr(0, 4), "RX0;");
    EXPECT_EQ(reported[4 + 28], '0');

    reported = line.Ask("MD3;FR1;", 4);
    ASSERT_EQ(reported.size(), 2 * (4u + 38u)) << reported;
    EXPECT_EQ(reported.substr(0, 4), "MD3;");
    EXPECT_EQ(reported[4 + 29], '3');
    EXPECT_EQ(reported.substr(42, 4), "FR1;");
    EXPECT_EQ(reported[42 + 4 + 30], '1');

    EXPECT_EQ(line.Ask("AI0;TX;MD1;ID;"), "ID020;");
}

TEST(RadioSimAnswers, SilentRecordsButNeverAnswers)
{
    radiosim::Options options;
    options.silent = true;
    Sim sim(options);
    ASSERT_TRUE(sim.started);
    sim.line->Send("ID;");
    ASSERT_TRUE(sim.radio.WaitReceived("ID;", kPatienceMs));
    sim.radio.SetSilent(false);
    // Had the first ID; been answered, its answer would come first.
    EXPECT_EQ(sim.line->Ask("FA;"), "FA00014074000;");
    ASSERT_TRUE(sim.radio.WaitSent("FA00014074000;", kPatienceMs));
    EXPECT_EQ(sim.radio.Sent(), "FA00014074000;");
}

TEST(RadioSimLine, SentRecordsAnswersAndInjectionsInLineOrder)
{
    Sim sim;
    ASSERT_TRUE(sim.started);
    EXPECT_EQ(sim.line->Ask("ID;"), "ID020;");
    sim.radio.Inject("XX;");
    EXPECT_EQ(sim.line->Ask("PS;", 2), "XX;PS1;");
    ASSERT_TRUE(sim.radio.WaitSent("PS1;", kPatienceMs));
    EXPECT_EQ(sim.radio.Sent(), "ID020;XX;PS1;");
    sim.radio.ClearSent();
    EXPECT_EQ(sim.radio.Sent(), "");
}

TEST(RadioSimLine, ClientsMayCloseAndReopen)
{
    Sim sim;
    ASSERT_TRUE(sim.started);
    EXPECT_EQ(sim.line->Ask("ID;"), "ID020;");
    sim.line.reset();
    sim.line = std::make_unique<Line>(sim.radio.SlavePath());
    ASSERT_TRUE(sim.line->ok());
    EXPECT_EQ(sim.line->Ask("ID;"), "ID020;");
}

TEST(RadioSimLine, InjectedBytesArriveWhole)
{
    Sim sim;
    ASSERT_TRUE(sim.started);
    const std::string burst(2000, 'Q');
    sim.radio.Inject(burst + ";");
    EXPECT_EQ(sim.line->Answers(1), burst + ";");
}

TEST(RadioSimFraming, SplitAnswersArriveInPieces)
{
    radiosim::Options options;
    options.splitBytes = 1;
    Sim sim(options);
    ASSERT_TRUE(sim.started);
    sim.line->Send("IF;");
    auto reads = sim.line->Reads(1);
    std::string all;
    for (const auto& r : reads)
        all += r;
    EXPECT_EQ(all.size(), 38u);
    EXPECT_EQ(all.substr(0, 13), "IF00014074000");
    EXPECT_GE(reads.size(), 2u) << "38 one-byte pieces a millisecond apart came in one read";
}

TEST(RadioSimFraming, MergedAnswersArriveInOneWrite)
{
    radiosim::Options options;
    options.merge = true;
    options.mergeWindowMs = 1500;
    Sim sim(options);
    ASSERT_TRUE(sim.started);
    // The second command goes out only after the first answer had its chance to arrive alone.
    sim.line->Send("ID;");
    ASSERT_TRUE(sim.radio.WaitReceived("ID;", kPatienceMs));
    sim.line->WaitReadable(100);
    sim.line->Send("FA;PS;");
    auto reads = sim.line->Reads(3);
    ASSERT_FALSE(reads.empty());
    EXPECT_EQ(reads.front(), "ID020;FA00014074000;PS1;");
}

TEST(RadioSimFraming, DelayedAnswerKeepsOrderWithInjection)
{
    radiosim::Options options;
    options.delayMs = 200;
    Sim sim(options);
    ASSERT_TRUE(sim.started);
    const auto start = Clock::now();
    sim.line->Send("ID;");
    ASSERT_TRUE(sim.radio.WaitReceived("ID;", kPatienceMs));
    sim.radio.Inject("XX;");
    EXPECT_EQ(sim.line->Answers(2), "ID020;XX;");
    EXPECT_GE(Clock::now() - start, 190ms);
}

}  // namespace
