// The simulated radio seen from a plain raw descriptor on its pty: answers per identity, command
// cutting, silence, auto-information pushes, and split/merge/delay framing of answers.
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

TEST(RadioSimAnswers, StateCommands)
{
    Sim sim;
    ASSERT_TRUE(sim.started);
    Line& line = *sim.line;
    line.Send("FA00003573000;FB00010136000;");
    EXPECT_EQ(line.Ask("FA;FB;", 2), "FA00003573000;FB00010136000;");
    EXPECT_EQ(sim.radio.FrequencyA(), 3573000u);
    EXPECT_EQ(line.Ask("FA123;"), "?;");

    EXPECT_EQ(line.Ask("PS;"), "PS1;");
    line.Send("PS9;");
    EXPECT_EQ(line.Ask("PS;"), "PS0;");
    EXPECT_EQ(sim.radio.Power(), 0u);
    sim.radio.SetPower(1);
    EXPECT_EQ(line.Ask("PS;"), "PS1;");

    line.Send("AI1;");
    EXPECT_EQ(line.Ask("AI;"), "AI1;");
    EXPECT_EQ(sim.radio.Ai(), 1u);

    EXPECT_EQ(line.Ask("TX;"), "TX0;");
    EXPECT_TRUE(sim.radio.Transmitting());
    EXPECT_EQ(line.Ask("RX;"), "RX0;");
    EXPECT_FALSE(sim.radio.Transmitting());

    line.Send("KYCQ TEST;");
    EXPECT_EQ(line.Ask("KY;"), "KY0;");
    EXPECT_EQ(line.Ask("TC;"), "?;") << "identity 20 has no terminal mode";

    EXPECT_EQ(line.Ask("EX0010000;"), "EX00100000;");
    line.Send("EX00100002;");
    EXPECT_EQ(line.Ask("EX0010000;"), "EX00100002;");
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
    sim.line->Send("TC 1;");
    EXPECT_EQ(sim.line->Ask("TC;"), "TC 1;");
    EXPECT_EQ(sim.line->Ask("PS9;"), "?;");
}

TEST(RadioSimAnswers, IfAnswerLayoutFollowsFrequencyAndTransmit)
{
    Sim sim;
    ASSERT_TRUE(sim.started);
    sim.radio.SetFrequencyA(14074000);
    std::string answer = sim.line->Ask("IF;");
    ASSERT_EQ(answer.size(), 38u) << answer;
    EXPECT_EQ(answer.back(), ';');
    EXPECT_EQ(answer.substr(0, 2), "IF");
    EXPECT_EQ(answer.substr(2, 11), "00014074000");
    EXPECT_EQ(answer.substr(17, 6), "+00000");
    EXPECT_EQ(answer[28], '0');

    sim.line->Ask("TX;");
    answer = sim.line->Ask("IF;");
    ASSERT_EQ(answer.size(), 38u) << answer;
    EXPECT_EQ(answer[28], '1');
    sim.line->Ask("RX;");
    EXPECT_EQ(sim.line->Ask("IF;")[28], '0');
}

TEST(RadioSimAnswers, AutoInformationPushesFrequencyChanges)
{
    Sim sim;
    ASSERT_TRUE(sim.started);
    sim.line->Send("AI2;FA00007000000;");
    std::string pushed = sim.line->Answers(2);
    ASSERT_EQ(pushed.size(), 14u + 38u) << pushed;
    EXPECT_EQ(pushed.substr(0, 14), "FA00007000000;");
    EXPECT_EQ(pushed.substr(14, 13), "IF00007000000");
    // TX pushes the new state in IF after its own answer.
    std::string tx = sim.line->Ask("TX;", 3);
    ASSERT_EQ(tx.size(), 4u + 14u + 38u) << tx;
    EXPECT_EQ(tx.substr(0, 4), "TX0;");
    EXPECT_EQ(tx[18 + 28], '1');
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
