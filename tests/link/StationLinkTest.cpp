// The link's loop against a scripted station on a real socket and a real pseudo-terminal: the
// login whatever the segments, the radio stream both ways without the station's own texts, the
// keep-alive and probe, and why each session ended with what follows it.
#include <gtest/gtest.h>

#include "LinkTestSupport.h"

namespace linktest {
namespace {

using quintar::link::Ending;
using quintar::link::LinkSettings;
using quintar::link::LinkStatus;
using Result = quintar::link::StationLink::Result;

constexpr int kPatienceMs = 5000;

TEST(StationLink, logsInAndCarriesTheRadioStreamWithoutTheStationsTexts)
{
    FakeStation station;
    LinkSettings settings = TestSettings(station.Port());
    settings.sessionClock = true;
    LinkThread link(settings);
    auto peer = station.Accept(kPatienceMs);
    ASSERT_TRUE(peer);
    // The greeting and the answers in small pieces, each its own segment.
    ASSERT_TRUE(peer->Write(Greeting(), 7));
    ASSERT_TRUE(peer->WaitFor("UID:op1;PWD:pw1;", kPatienceMs));
    ASSERT_TRUE(peer->Write("\r\nUID:OK;\r\n>PWD:OK;>@@UE1;@@VE1;", 3));
    ASSERT_TRUE(link.Observer().WaitForEvent("logged in to 127.0.0.1:", kPatienceMs));
    ASSERT_TRUE(peer->WaitFor("@@ST;", kPatienceMs));
    ASSERT_TRUE(peer->WaitFor("@@AI1;", kPatienceMs));

    Program program(link.TerminalPath());
    ASSERT_TRUE(program.Ok());
    ASSERT_TRUE(program.Write("FA;@@CP stolen;MD;IF;"));
    ASSERT_TRUE(peer->WaitFor("IF;", kPatienceMs));
    EXPECT_EQ(peer->Received(), "UID:op1;PWD:pw1;@@ST;ID;@@AI1;FA;MD;IF;") << "the program's \"@@\" command passed";

    // The link's own identity query is answered first; that answer stays with the link.
    std::string answers = "@@ST000000000100;ID020;@@AI1;FA00014074000;@@ST000001000100;MD2;@@CP1;";
    answers.append(144, '\0');
    answers += "@@VE0;IF00014074000     +00000000002000000;";
    ASSERT_TRUE(peer->Write(answers, 5));
    EXPECT_EQ(program.ReadUntil("2000000;", kPatienceMs), "FA00014074000;MD2;IF00014074000     +00000000002000000;");
    ASSERT_TRUE(link.Observer().WaitForStatus(
        [](const LinkStatus& s) { return s.voice == false && s.elapsed == 1u && s.limit == 60u; }, kPatienceMs));
    EXPECT_TRUE(link.Observer().WaitForEvent("session limit 00:01:00", 0));
    EXPECT_TRUE(link.Observer().WaitForEvent("voice on", 0));
    EXPECT_TRUE(link.Observer().WaitForEvent("voice off", 0));
    EXPECT_EQ(link.Observer().LastStatus().commandsDropped, 1u);

    // Stopping hands the pushes back switched off, then closes.
    link.Stop();
    EXPECT_TRUE(peer->WaitClosed(kPatienceMs));
    EXPECT_EQ(peer->Received(), "UID:op1;PWD:pw1;@@ST;ID;@@AI1;FA;MD;IF;@@AI0;");
    EXPECT_EQ(link.Observer().LastStatus().state, LinkStatus::State::Stopped);
}

TEST(StationLink, keepsAQuietSessionAliveAndNeverShowsTheProbeToTheProgram)
{
    FakeStation station;
    LinkSettings settings = TestSettings(station.Port());
    settings.keepAlive = std::chrono::milliseconds(200);
    LinkThread link(settings);
    auto peer = station.AcceptAndLogIn(kPatienceMs);
    ASSERT_TRUE(peer);
    Program program(link.TerminalPath());
    for (std::size_t probes = 1; probes <= 4; ++probes) {
        ASSERT_TRUE(peer->WaitFor("@@ST;", kPatienceMs, probes));
        ASSERT_TRUE(peer->Write("@@ST000000000000;"));
    }
    EXPECT_EQ(program.ReadFor(100), "");
    EXPECT_EQ(link.Observer().LastStatus().state, LinkStatus::State::LoggedIn);
}

TEST(StationLink, holdsHalfACommandUntilItsEndWhileTheProbeGoesOn)
{
    FakeStation station;
    LinkSettings settings = TestSettings(station.Port());
    settings.keepAlive = std::chrono::milliseconds(200);
    LinkThread link(settings);
    auto peer = station.AcceptAndLogIn(kPatienceMs);
    ASSERT_TRUE(peer);
    ASSERT_TRUE(peer->WaitFor("@@ST;", kPatienceMs));
    ASSERT_TRUE(peer->Write("@@ST000000000000;"));
    Program program(link.TerminalPath());
    ASSERT_TRUE(program.Write("FA0001"));
    // The keep-alive falls due while the command is half written; the station gets it whole, after.
    ASSERT_TRUE(peer->WaitFor("@@ST;", kPatienceMs, 2));
    ASSERT_TRUE(program.Write("4074000;"));
    ASSERT_TRUE(peer->WaitFor("FA00014074000;", kPatienceMs));
    EXPECT_EQ(peer->Received(), "UID:op1;PWD:pw1;@@ST;ID;@@ST;FA00014074000;");
}

TEST(StationLink, takesAStationThatLeavesItsProbeUnansweredAsGone)
{
    FakeStation station;
    LinkSettings settings = TestSettings(station.Port());
    settings.keepAlive = std::chrono::milliseconds(200);
    settings.probePatience = std::chrono::milliseconds(300);
    LinkThread link(settings);
    auto peer = station.AcceptAndLogIn(kPatienceMs);
    ASSERT_TRUE(peer);
    ASSERT_TRUE(link.Observer().WaitForEvent("the station stopped answering; next attempt in 1 s", kPatienceMs));
    EXPECT_TRUE(peer->WaitClosed(kPatienceMs));
    EXPECT_TRUE(station.AcceptAndLogIn(kPatienceMs)) << "no second attempt";
}

TEST(StationLink, namesTheStationsFarewellsAsTheReasonAndTriesAgain)
{
    struct Case {
        const char* farewell;
        const char* reason;
    } cases[] = {
        {"\r\nConnection time out.\r\nGood-Bye\r\n;", "the station's idle limit ended the session; next attempt in 1 s"},
        {"\r\nConnection Error:Command length too long!!\r\nGood-Bye\r\n;",
         "a command from the program was too long; next attempt in 1 s"},
        {"", "the station closed the connection; next attempt in 1 s"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        FakeStation station;
        LinkThread link(TestSettings(station.Port()));
        auto peer = station.AcceptAndLogIn(kPatienceMs);
        ASSERT_TRUE(peer);
        ASSERT_TRUE(peer->WaitFor("@@ST;", kPatienceMs));
        std::string farewell = c.farewell;
        if (farewell.find("too long") != std::string::npos)
            farewell.resize(1024, '\0');
        ASSERT_TRUE(peer->Write("FA00014074000;" + farewell, 9));
        peer->Close();
        ASSERT_TRUE(link.Observer().WaitForEvent(c.reason, kPatienceMs));
        EXPECT_TRUE(station.AcceptAndLogIn(kPatienceMs)) << "no second attempt";
    }
}

TEST(StationLink, knowsTheSessionLimitFromTheStationsClock)
{
    FakeStation station;
    LinkThread link(TestSettings(station.Port()));
    auto peer = station.AcceptAndLogIn(kPatienceMs);
    ASSERT_TRUE(peer);
    ASSERT_TRUE(peer->WaitFor("@@ST;", kPatienceMs));
    // A two-second limit; the station closes on it without a word, as it does.
    ASSERT_TRUE(peer->Write("@@ST000000000002;"));
    ASSERT_TRUE(link.Observer().WaitForEvent("session limit 00:00:02", kPatienceMs));
    ASSERT_TRUE(peer->Write("@@ST000001000002;"));
    peer->Close();
    EXPECT_EQ(link.WaitForEnd(kPatienceMs), Result::Ended);
    EXPECT_EQ(link.LastEnding(), Ending::SessionLimit);
    EXPECT_TRUE(link.Observer().WaitForEvent("session limit reached (00:00:02); not trying again", 0));
    EXPECT_FALSE(station.Accept(1500)) << "the link came back after the session limit";
}

TEST(StationLink, takesACloseLongBeforeTheLimitAsTheStationGoing)
{
    FakeStation station;
    LinkThread link(TestSettings(station.Port()));
    auto peer = station.AcceptAndLogIn(kPatienceMs);
    ASSERT_TRUE(peer);
    ASSERT_TRUE(peer->WaitFor("@@ST;", kPatienceMs));
    ASSERT_TRUE(peer->Write("@@ST000000000100;"));
    ASSERT_TRUE(link.Observer().WaitForEvent("session limit 00:01:00", kPatienceMs));
    peer->Close();
    EXPECT_TRUE(link.Observer().WaitForEvent("the station closed the connection; next attempt in 1 s", kPatienceMs));
}

TEST(StationLink, stopsAtARefusedLoginWithItsReason)
{
    struct Case {
        const char* answer;
        Ending ending;
        const char* says;
    } cases[] = {
        {"\r\nUID:OK;\r\n>\r\nPWD:NG;\r\n>", Ending::WrongPassword, "login refused: wrong user id or password"},
        {"\r\nUID:OK;\r\n>\r\nPWD:OK;>@@UE0;", Ending::UserDisabled, "login refused: the user is disabled"},
        {"\r\nCMD:NG;\r\n>", Ending::LoginRejected, "login refused: the station did not take"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.says);
        FakeStation station;
        LinkThread link(TestSettings(station.Port()));
        auto peer = station.Accept(kPatienceMs);
        ASSERT_TRUE(peer);
        ASSERT_TRUE(peer->Write(Greeting()));
        ASSERT_TRUE(peer->WaitFor("PWD:pw1;", kPatienceMs));
        ASSERT_TRUE(peer->Write(c.answer));
        EXPECT_EQ(link.WaitForEnd(kPatienceMs), Result::Ended);
        EXPECT_EQ(link.LastEnding(), c.ending);
        EXPECT_TRUE(link.Observer().WaitForEvent(std::string(c.says), 0));
        // The link hangs up itself after a wrong password: a second guess on the same connection
        // would only count towards the station's lock-out.
        EXPECT_TRUE(peer->WaitClosed(kPatienceMs));
        EXPECT_EQ(peer->Received(), "UID:op1;PWD:pw1;");
        EXPECT_FALSE(station.Accept(1500)) << "the link came back after a refused login";
    }
}

TEST(StationLink, waitsHalfAMinuteWhenTheStationClosesBeforeItsGreeting)
{
    FakeStation station;
    LinkThread link(TestSettings(station.Port()));
    auto peer = station.Accept(kPatienceMs);
    ASSERT_TRUE(peer);
    peer->Close();
    EXPECT_TRUE(link.Observer().WaitForEvent("before its greeting", kPatienceMs));
    EXPECT_TRUE(link.Observer().WaitForEvent("next attempt in 30 s", 0));
    EXPECT_FALSE(station.Accept(1500)) << "the link knocked again at once";
}

TEST(StationLink, stopsAtAnEndThatIsNoStation)
{
    FakeStation station;
    LinkThread link(TestSettings(station.Port()));
    auto peer = station.Accept(kPatienceMs);
    ASSERT_TRUE(peer);
    std::string other = "SSH-2.0-OpenSSH_9.2\r\n";
    other.resize(300, ' ');
    ASSERT_TRUE(peer->Write(other));
    EXPECT_EQ(link.WaitForEnd(kPatienceMs), Result::Ended);
    EXPECT_EQ(link.LastEnding(), Ending::NotAStation);
    EXPECT_EQ(peer->Received(), "") << "the login went to something that is not a station";
}

TEST(StationLink, dropsWhatTheProgramSendsWhileTheStationIsAway)
{
    FakeStation station;
    LinkThread link(TestSettings(station.Port()));
    auto peer = station.Accept(kPatienceMs);
    ASSERT_TRUE(peer);
    Program program(link.TerminalPath());
    ASSERT_TRUE(program.Write("ID;FA0001"));
    ASSERT_TRUE(peer->Write(Greeting()));
    ASSERT_TRUE(peer->WaitFor("PWD:pw1;", kPatienceMs));
    ASSERT_TRUE(peer->Write("\r\nUID:OK;\r\n>PWD:OK;>@@UE1;"));
    ASSERT_TRUE(link.Observer().WaitForEvent("logged in", kPatienceMs));
    ASSERT_TRUE(program.Write("4074000;MD;"));
    ASSERT_TRUE(peer->WaitFor("MD;", kPatienceMs));
    EXPECT_EQ(peer->Received(), "UID:op1;PWD:pw1;@@ST;ID;MD;");
}

TEST(StationLink, triesAgainWithAGrowingPauseWhileNoStationListens)
{
    unsigned port;
    {
        FakeStation gone;
        port = gone.Port();
    }
    LinkThread link(TestSettings(port));
    ASSERT_TRUE(link.Observer().WaitForEvent("cannot reach the station: Connection refused; next attempt in 1 s",
                                             kPatienceMs));
    ASSERT_TRUE(link.Observer().WaitForEvent("next attempt in 2 s", kPatienceMs));
    const auto events = link.Observer().Events();
    EXPECT_EQ(events.front(), "connecting to 127.0.0.1:" + std::to_string(port) + " (attempt 1)");
    link.Stop();
    EXPECT_EQ(link.Observer().LastStatus().state, LinkStatus::State::Stopped);
    EXPECT_EQ(link.Observer().Events().back(), "stopped");
}

}  // namespace
}  // namespace linktest
