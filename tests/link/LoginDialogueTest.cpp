// The client's side of the login dialogue against the station's texts, in any pieces, and the
// back-off that follows each way a session ends.
#include <gtest/gtest.h>

#include <string>

#include "LinkTestSupport.h"
#include "LoginDialogue.h"
#include "Reconnect.h"

namespace linktest {
namespace {

using quintar::link::Backoff;
using quintar::link::Ending;
using quintar::link::LoginDialogue;
using quintar::link::Seconds;
using Step = LoginDialogue::Step;

Step FeedByteByByte(LoginDialogue& d, const std::string& bytes)
{
    Step step = d.Current();
    for (char c : bytes)
        step = d.Feed(std::string_view(&c, 1));
    return step;
}

TEST(LoginDialogue, waitsForTheWholeGreetingBlockThenForTheAnswer)
{
    LoginDialogue d;
    const std::string greeting = Greeting();
    EXPECT_EQ(d.Feed(greeting.substr(0, 255)), Step::AwaitingGreeting);
    EXPECT_EQ(d.Feed(greeting.substr(255)), Step::AwaitingAnswer);
    EXPECT_EQ(d.Feed("\r\nUID:OK;\r\n>PWD:OK;>@@UE"), Step::AwaitingAnswer);
    EXPECT_EQ(d.Feed("1;FA00014074000;@@VE1;"), Step::LoggedIn);
    EXPECT_EQ(d.Rest(), "FA00014074000;@@VE1;");
    EXPECT_EQ(d.Feed("MD2;"), Step::LoggedIn);
    EXPECT_EQ(d.Rest(), "FA00014074000;@@VE1;MD2;");
}

TEST(LoginDialogue, tellsEachRefusalApartWhateverThePieces)
{
    struct Case {
        const char* answer;
        Step step;
    } cases[] = {
        {"\r\nUID:OK;\r\n>\r\nPWD:NG;\r\n>", Step::WrongPassword},
        {"\r\nUID:OK;\r\n>\r\nPWD:OK;>@@UE0;", Step::UserDisabled},
        {"\r\nUID:OK;\r\n>\r\nPWD:NG;\r\n>\r\nLogin failed. Good-Bye\r\n;", Step::WrongPassword},
        {"\r\nCMD:NG;\r\n>", Step::Rejected},
        {"\r\nUID:NG;\r\n>", Step::Rejected},
        {"\r\nLogin timeout.", Step::TimedOut},
        {"\r\nUID:OK;\r\n>PWD:OK;>@@UE1;", Step::LoggedIn},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        LoginDialogue whole;
        whole.Feed(Greeting());
        EXPECT_EQ(whole.Feed(c.answer), c.step);
        LoginDialogue pieces;
        EXPECT_EQ(FeedByteByByte(pieces, Greeting() + c.answer), c.step);
    }
}

TEST(LoginDialogue, refusesAGreetingThatIsNotTheStations)
{
    std::string other = "SSH-2.0-OpenSSH_9.2\r\n";
    other.resize(256, 'x');
    LoginDialogue d;
    EXPECT_EQ(d.Feed(other), Step::NotAStation);

    // The right text without its NUL padding is not the station's block either.
    std::string unpadded = Greeting();
    unpadded[200] = 'x';
    LoginDialogue e;
    EXPECT_EQ(e.Feed(unpadded), Step::NotAStation);
}

TEST(LoginDialogue, givesUpOnALongAnswerWithoutADecision)
{
    LoginDialogue d;
    d.Feed(Greeting());
    EXPECT_EQ(d.Feed(std::string(1025, 'z')), Step::Unexpected);
}

TEST(LoginDialogue, buildsTheLoginLineAndChecksTheStationsCharacterRule)
{
    EXPECT_EQ(LoginDialogue::Request("op1", "pw1"), "UID:op1;PWD:pw1;");
    EXPECT_TRUE(LoginDialogue::IsValidLogin(std::string(32, 'a')));
    EXPECT_TRUE(LoginDialogue::IsValidLogin("!\x7f"));
    EXPECT_FALSE(LoginDialogue::IsValidLogin(std::string(33, 'a')));
    EXPECT_FALSE(LoginDialogue::IsValidLogin(""));
    EXPECT_FALSE(LoginDialogue::IsValidLogin("a;b"));
    EXPECT_FALSE(LoginDialogue::IsValidLogin("a b"));
    EXPECT_FALSE(LoginDialogue::IsValidLogin("caf\xc3\xa9"));
}

TEST(Backoff, doublesFromOneSecondToAMinute)
{
    Backoff b(false);
    std::vector<long> waits;
    for (int i = 0; i < 9; ++i) {
        // Refused from the first attempt on: no station was there to restart.
        const auto d = b.After(Ending::Unreachable, std::nullopt, true);
        EXPECT_FALSE(d.stop);
        waits.push_back(static_cast<long>(d.wait.count()));
    }
    EXPECT_EQ(waits, (std::vector<long>{1, 2, 4, 8, 16, 32, 60, 60, 60}));
}

TEST(Backoff, neverKnocksSoonerThanTheLoginProtectionAfterAClosedGreeting)
{
    Backoff b(false);
    EXPECT_EQ(b.After(Ending::ClosedBeforeGreeting, Seconds(0)).wait, Seconds(30));
    EXPECT_EQ(b.After(Ending::ClosedBeforeGreeting, Seconds(0)).wait, Seconds(60));
    EXPECT_EQ(b.After(Ending::StationGone, Seconds(0)).wait, Seconds(60));
}

TEST(Backoff, stopsWhereRetryingCannotHelpUnlessToldToKeepTrying)
{
    for (Ending e : {Ending::WrongPassword, Ending::UserDisabled, Ending::LoginRejected, Ending::SessionLimit,
                     Ending::NotAStation}) {
        SCOPED_TRACE(std::string(quintar::link::Row(e).reason));
        EXPECT_TRUE(Backoff(false).After(e, Seconds(0)).stop);
        Backoff keep(true);
        for (int i = 0; i < 3; ++i) {
            const auto d = keep.After(e, Seconds(0));
            EXPECT_FALSE(d.stop);
            EXPECT_EQ(d.wait, Seconds(60));
        }
    }
    for (Ending e : {Ending::Unreachable, Ending::NoGreeting, Ending::NoLoginAnswer, Ending::LoginTimeout,
                     Ending::IdleLimit, Ending::CommandTooLong, Ending::StationSilent, Ending::StationGone}) {
        SCOPED_TRACE(std::string(quintar::link::Row(e).reason));
        EXPECT_FALSE(Backoff(false).After(e, Seconds(0)).stop);
    }
}

TEST(Backoff, startsAgainOnlyAfterASessionThatLastedAMinute)
{
    Backoff b(false);
    b.After(Ending::StationGone, Seconds(0));
    b.After(Ending::StationGone, Seconds(0));
    b.After(Ending::StationGone, Seconds(0));  // 1, 2, 4 so far
    EXPECT_EQ(b.After(Ending::StationGone, Seconds(59)).wait, Seconds(8));
    EXPECT_EQ(b.After(Ending::StationGone, Seconds(60)).wait, Seconds(1));
    EXPECT_EQ(b.After(Ending::StationGone, Seconds(0)).wait, Seconds(2));
}

TEST(Backoff, knocksEveryFewSecondsWhileTheStationItWasLoggedInToRestarts)
{
    Backoff b(false);
    std::vector<long> waits = {static_cast<long>(b.After(Ending::StationGone, Seconds(5)).wait.count())};
    for (unsigned i = 0; i < Backoff::kRestartKnocks + 4; ++i)
        waits.push_back(static_cast<long>(b.After(Ending::Unreachable, std::nullopt, true).wait.count()));
    std::vector<long> expected = {1, 2};
    expected.resize(2 + Backoff::kRestartKnocks - 1, Backoff::kRestartWait.count());
    expected.insert(expected.end(), {8, 16, 32, 60});
    EXPECT_EQ(waits, expected);

    // A station that answers nothing at all (its machine is away) is not restarting.
    Backoff away(false);
    away.After(Ending::StationSilent, Seconds(5));
    std::vector<long> silent;
    for (int i = 0; i < 5; ++i)
        silent.push_back(static_cast<long>(away.After(Ending::Unreachable, std::nullopt, false).wait.count()));
    EXPECT_EQ(silent, (std::vector<long>{2, 4, 8, 16, 32}));
}

}  // namespace
}  // namespace linktest
