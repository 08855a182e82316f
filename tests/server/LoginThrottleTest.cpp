// Guessing and holding the station over real TCP with the session clock in the test's hand: every
// wrong password of an address counts and a connection without any password counts twice, whatever
// becomes of the connection; five in a row refuse the address for a cool-down that doubles up to an
// hour, and no crowd of other blocked addresses ends it early; a successful login forgets the
// address; other addresses are served meanwhile, and a connection that tries no password gives way
// to a newcomer from another address. Also: a user id cannot forge access-log lines or fields.
#include <gtest/gtest.h>

#include <cstdio>

#include "ServerRig.h"

namespace {

using namespace servertest;

const std::string kLoginFailedBlock = Padded("\r\nLogin failed. Good-Bye\r\n;", 512);
constexpr std::size_t kGreetingSize = testsupport::SessionClient::kGreetingSize;

std::string CoolDownLine(const std::string& from, long long seconds) {
    return from + " LOGIN - Too many failed logins, connections refused for " + std::to_string(seconds) + " seconds.";
}

class LoginThrottle : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(rig.Started());
        rig.AddUser(0, "alice", "secret");
    }

    testsupport::SessionClient Connect(const std::string& from) {
        testsupport::SessionClient client;
        client.SetSourceAddress(from);
        EXPECT_TRUE(client.Connect(rig.port));
        return client;
    }

    // One connection that guesses `count` wrong passwords and hangs up, unless the server closes it
    // first (`serverCloses`: it is waited for); what the server answered.
    std::string Guesses(const std::string& from, int count, bool serverCloses = false) {
        auto client = Connect(from);
        EXPECT_EQ(client.ReadExact(kGreetingSize, kPatienceMs).size(), kGreetingSize);
        std::string sent = "UID:alice;";
        for (int i = 0; i < count; ++i) sent += "PWD:guess" + std::to_string(i) + ";";
        client.Send(sent);
        std::string got = client.ReadExact(kUidOk.size() + count * kPwdNg.size(), kPatienceMs);
        if (serverCloses) {
            bool closed = false;
            got += client.ReadUntilClosed(kPatienceMs, &closed);
            EXPECT_TRUE(closed);
        }
        client.Close();
        EXPECT_TRUE(rig.WaitNoClient());
        return got;
    }

    // Five wrong passwords from one address, two per connection, as a guesser that hangs up
    // before the third would send them.
    void Block(const std::string& from) {
        EXPECT_EQ(Guesses(from, 2), kUidOk + kPwdNg + kPwdNg);
        EXPECT_EQ(Guesses(from, 2), kUidOk + kPwdNg + kPwdNg);
        EXPECT_EQ(Guesses(from, 1, true), kUidOk + kPwdNg + kLoginFailedBlock) << "the fifth guess starts a block";
    }

    // A refused connection is closed at once, without the greeting; it costs nothing.
    bool Refused(const std::string& from) {
        auto client = Connect(from);
        const std::string got = client.ReadExact(kGreetingSize, kPatienceMs);
        client.Close();
        EXPECT_TRUE(rig.WaitNoClient());
        EXPECT_TRUE(got.empty() || got.size() == kGreetingSize) << got.size();
        return got.empty();
    }

    std::size_t CountEntries(const std::string& entry) const {
        const auto all = rig.LogEntries();
        return static_cast<std::size_t>(std::count(all.begin(), all.end(), entry));
    }

    ServerRig rig{{.fakeClock = true}};
};

TEST_F(LoginThrottle, FifthWrongPasswordInARowStartsACoolDownThatDoublesUpToAnHour) {
    Block("127.0.0.2");
    ASSERT_TRUE(rig.WaitLogEntry(CoolDownLine("127.0.0.2", 30)));
    EXPECT_EQ(CountEntries("127.0.0.2 LOGIN alice Password NG.(1)"), 3u) << "every guess is logged";
    EXPECT_TRUE(Refused("127.0.0.2"));
    EXPECT_TRUE(Refused("127.0.0.2"));
    // Refusals cost the log nothing: one OPEN per served connection.
    EXPECT_EQ(CountEntries("127.0.0.2 OPEN - Connection Open"), 3u);

    rig.clock.Advance(29'999);
    EXPECT_TRUE(Refused("127.0.0.2"));
    rig.clock.Advance(1);
    long long expectedSeconds = 30;
    while (expectedSeconds < 3600) {
        // One more wrong password after a block is enough for the next, twice as long.
        EXPECT_EQ(Guesses("127.0.0.2", 1, true), kUidOk + kPwdNg + kLoginFailedBlock);
        expectedSeconds = std::min(expectedSeconds * 2, 3600LL);
        ASSERT_TRUE(rig.WaitLogEntry(CoolDownLine("127.0.0.2", expectedSeconds)));
        rig.clock.Advance(expectedSeconds * 1000 - 1);
        EXPECT_TRUE(Refused("127.0.0.2")) << expectedSeconds;
        rig.clock.Advance(1);
    }
    Guesses("127.0.0.2", 1, true);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return CountEntries(CoolDownLine("127.0.0.2", 3600)) == 2; }, kPatienceMs))
        << "an hour is the longest cool-down";
}

// A flood of connections that never log in: the third one starts the block, so the log of the
// flood is three OPEN and CLOSE pairs and one line of the cool-down.
TEST_F(LoginThrottle, ConnectionsWithoutAnyPasswordCountTwiceSoAFloodCostsTheLogThreeConnections) {
    int greeted = 0;
    for (int i = 0; i < 40; ++i) {
        auto client = Connect("127.0.0.2");
        greeted += client.ReadExact(kGreetingSize, kPatienceMs).size() == kGreetingSize ? 1 : 0;
        client.Close();
        ASSERT_TRUE(rig.WaitNoClient());
    }
    EXPECT_EQ(greeted, 3);
    ASSERT_TRUE(rig.WaitLogEntry(CoolDownLine("127.0.0.2", 30)));
    EXPECT_EQ(CountEntries("127.0.0.2 OPEN - Connection Open"), 3u);
    EXPECT_EQ(CountEntries("127.0.0.2 CLOSE - Connection Close"), 3u);
    EXPECT_EQ(rig.LogEntries().size(), 7u);
}

TEST_F(LoginThrottle, OtherAddressesAreServedWhileOneIsRefused) {
    Block("127.0.0.2");
    ASSERT_TRUE(Refused("127.0.0.2"));
    testsupport::SessionClient operatorClient;
    operatorClient.SetSourceAddress("127.0.0.3");
    ASSERT_TRUE(operatorClient.ConnectAndGreet(rig.port, kPatienceMs));
    operatorClient.Send("UID:alice;PWD:secret;");
    EXPECT_EQ(operatorClient.ReadExact(kUidOk.size() + kPwdOk.size(), kPatienceMs), kUidOk + kPwdOk);
}

TEST_F(LoginThrottle, SuccessfulLoginForgetsTheAddressFailures) {
    Guesses("127.0.0.2", 2);
    Guesses("127.0.0.2", 2);
    {
        auto client = Connect("127.0.0.2");
        ASSERT_EQ(client.ReadExact(kGreetingSize, kPatienceMs).size(), kGreetingSize);
        client.Send("UID:alice;PWD:secret;");
        EXPECT_EQ(client.ReadExact(kUidOk.size() + kPwdOk.size(), kPatienceMs), kUidOk + kPwdOk);
    }
    ASSERT_TRUE(rig.WaitNoClient());
    EXPECT_EQ(Guesses("127.0.0.2", 2), kUidOk + kPwdNg + kPwdNg);
    EXPECT_EQ(Guesses("127.0.0.2", 2), kUidOk + kPwdNg + kPwdNg);
    EXPECT_EQ(CountEntries(CoolDownLine("127.0.0.2", 30)), 0u);
}

// More blocked addresses than the throttle once kept: the first block still runs.
TEST_F(LoginThrottle, ABlockRunsOnWhileOverAThousandOtherAddressesGetBlocked) {
    rig.profile.WriteInt("Setting", "VEXA Log", 0);  // thousands of lines would only slow this down
    auto blockHard = [&](const std::string& from) {
        // Three wrong passwords a connection until the address is refused, whatever the rule.
        for (int connection = 0; connection < 5; ++connection) {
            auto client = Connect(from);
            if (client.ReadExact(kGreetingSize, kPatienceMs).empty()) return true;
            client.Send("UID:alice;PWD:a;PWD:b;PWD:c;");
            client.ReadUntilClosed(kPatienceMs);
            client.Close();
            if (!rig.WaitNoClient()) return false;
        }
        return false;
    };
    ASSERT_TRUE(blockHard("127.0.0.2"));
    for (int i = 0; i < 1030; ++i) {
        char other[32];
        std::snprintf(other, sizeof other, "127.0.%d.%d", 1 + i / 250, 1 + i % 250);
        ASSERT_TRUE(blockHard(other)) << other;
        rig.clock.Advance(1);  // each block ends a moment after the one before
    }
    EXPECT_TRUE(Refused("127.0.0.2"));
}

// One address cannot hold the station: its connection, silent before login, gives way to a
// newcomer from another address after five seconds; a second connection of its own does not
// count as a newcomer, and a password tried starts the five seconds again.
TEST_F(LoginThrottle, ASilentConnectionGivesWayToANewcomerFromAnotherAddress) {
    auto holder = Connect("127.0.0.2");
    ASSERT_EQ(holder.ReadExact(kGreetingSize, kPatienceMs).size(), kGreetingSize);
    auto again = Connect("127.0.0.2");
    bool turnedAway = false;
    EXPECT_EQ(again.ReadUntilClosed(kPatienceMs, &turnedAway), "");
    EXPECT_TRUE(turnedAway) << "the holder's own address waits for nobody";

    auto operatorClient = Connect("127.0.0.3");
    EXPECT_EQ(operatorClient.ReadExact(kGreetingSize, 300), "") << "kept waiting, not yet greeted";
    rig.clock.Advance(3000);
    holder.Send("UID:alice;PWD:guess;");
    EXPECT_EQ(holder.ReadExact(kUidOk.size() + kPwdNg.size(), kPatienceMs), kUidOk + kPwdNg);
    rig.clock.Advance(4999);
    EXPECT_EQ(operatorClient.ReadExact(kGreetingSize, 300), "") << "a password tried counts as not silent";
    rig.clock.Advance(1);
    bool holderClosed = false;
    EXPECT_EQ(holder.ReadUntilClosed(kPatienceMs, &holderClosed), "");
    EXPECT_TRUE(holderClosed);
    ASSERT_EQ(operatorClient.ReadExact(kGreetingSize, kPatienceMs).size(), kGreetingSize);
    operatorClient.Send("UID:alice;PWD:secret;");
    EXPECT_EQ(operatorClient.ReadExact(kUidOk.size() + kPwdOk.size(), kPatienceMs), kUidOk + kPwdOk);

    // Logged in, the operator gives way to nobody.
    auto late = Connect("127.0.0.2");
    bool lateTurnedAway = false;
    EXPECT_EQ(late.ReadUntilClosed(kPatienceMs, &lateTurnedAway), "");
    EXPECT_TRUE(lateTurnedAway);
    rig.clock.Advance(10'000);
    operatorClient.Send("@@ST;");
    EXPECT_EQ(operatorClient.ReadExact(17, kPatienceMs).size(), 17u);
    EXPECT_EQ(rig.LogEntries(),
              (std::vector<std::string>{"127.0.0.2 OPEN - Connection Open", "127.0.0.2 LOGIN alice Password NG.(1)",
                                        "127.0.0.2 CLOSE alice Connection Close", "127.0.0.3 OPEN - Connection Open",
                                        "127.0.0.3 LOGIN alice Password OK."}));
}

TEST(AccessLogLines, ClientsUserIdIsWrittenWithEscapesSoOneEventIsOneLineOfItsOwnFields) {
    ServerRig rig;
    ASSERT_TRUE(rig.Started());
    rig.AddUser(0, "alice", "secret");
    // A user id built to look like a second log line, and one built to look like a login.
    const std::string forged = "x\\x0d\\x0a09:00:00\\x201.2.3.4\\x20LOGIN\\x20root\\x7f\\x01";
    const std::string posing = "alice\\x20Password\\x20OK.";
    const struct {
        std::string uid, logged;
    } rows[] = {{"x\r\n09:00:00 1.2.3.4 LOGIN root\x7f\x01", forged}, {"alice Password OK.", posing}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.logged);
        testsupport::SessionClient client;
        ASSERT_TRUE(client.ConnectAndGreet(rig.port, kPatienceMs));
        client.Send("UID:" + row.uid + ";PWD:guess;");
        EXPECT_EQ(client.ReadExact(kUidOk.size() + kPwdNg.size(), kPatienceMs), kUidOk + kPwdNg);
        client.Close();
        ASSERT_TRUE(rig.WaitNoClient());
        ASSERT_TRUE(rig.WaitLogEntry("127.0.0.1 LOGIN " + row.logged + " Password NG.(1)"));
        ASSERT_TRUE(rig.WaitLogEntry("127.0.0.1 CLOSE " + row.logged + " Connection Close"));
    }
    for (const std::string& entry : rig.LogEntries()) {
        SCOPED_TRACE(entry);
        EXPECT_EQ(entry.find_first_of("\r\n\x01\x7f"), std::string::npos);
        EXPECT_FALSE(entry.starts_with("1.2.3.4"));
        EXPECT_EQ(entry.find("Password OK."), std::string::npos);
    }
}

}  // namespace
