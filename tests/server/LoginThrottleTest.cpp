// Password guessing over real TCP with the session clock in the test's hand: an address whose
// connections keep ending in "Login failed" is refused for a cool-down that doubles up to an hour,
// a successful login forgets it, and other addresses are served meanwhile. Also: a user id with
// line breaks cannot forge access-log lines.
#include <gtest/gtest.h>

#include "ServerRig.h"

namespace {

using namespace servertest;

const std::string kLoginFailedBlock = Padded("\r\nLogin failed. Good-Bye\r\n;", 512);

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

    // One connection that guesses three wrong passwords and is shown the door.
    void FailedConnection(const std::string& from) {
        auto client = Connect(from);
        ASSERT_EQ(client.ReadExact(testsupport::SessionClient::kGreetingSize, kPatienceMs).size(),
                  testsupport::SessionClient::kGreetingSize);
        client.Send("UID:alice;PWD:a;PWD:b;PWD:c;");
        bool closed = false;
        EXPECT_EQ(client.ReadUntilClosed(kPatienceMs, &closed), kUidOk + kPwdNg + kPwdNg + kPwdNg + kLoginFailedBlock);
        EXPECT_TRUE(closed);
        ASSERT_TRUE(rig.WaitNoClient());
    }

    // A refused connection is closed at once, without the greeting.
    bool Refused(const std::string& from) {
        auto client = Connect(from);
        const std::string got = client.ReadExact(testsupport::SessionClient::kGreetingSize, kPatienceMs);
        client.Close();
        EXPECT_TRUE(rig.WaitNoClient());
        EXPECT_TRUE(got.empty() || got.size() == testsupport::SessionClient::kGreetingSize) << got.size();
        return got.empty();
    }

    std::size_t CountEntries(const std::string& entry) const {
        const auto all = rig.LogEntries();
        return static_cast<std::size_t>(std::count(all.begin(), all.end(), entry));
    }

    ServerRig rig{{.fakeClock = true}};
};

TEST_F(LoginThrottle, ThirdFailedConnectionInARowStartsACoolDownThatDoublesUpToAnHour) {
    FailedConnection("127.0.0.2");
    FailedConnection("127.0.0.2");
    EXPECT_FALSE(Refused("127.0.0.2")) << "two failed connections are not yet a block";
    FailedConnection("127.0.0.2");
    ASSERT_TRUE(rig.WaitLogEntry("127.0.0.2 LOGIN - Too many failed logins, connections refused for 30 seconds."));
    EXPECT_TRUE(Refused("127.0.0.2"));
    EXPECT_TRUE(Refused("127.0.0.2"));
    // Refusals cost the log nothing: still one OPEN per served connection.
    EXPECT_EQ(CountEntries("127.0.0.2 OPEN - Connection Open"), 4u);

    rig.clock.Advance(29'999);
    EXPECT_TRUE(Refused("127.0.0.2"));
    rig.clock.Advance(1);
    long long expectedSeconds = 30;
    while (expectedSeconds < 3600) {
        // One more failed connection after a block is enough for the next, twice as long.
        FailedConnection("127.0.0.2");
        expectedSeconds = std::min(expectedSeconds * 2, 3600LL);
        const std::string line = "127.0.0.2 LOGIN - Too many failed logins, connections refused for " +
                                 std::to_string(expectedSeconds) + " seconds.";
        ASSERT_TRUE(rig.WaitLogEntry(line));
        rig.clock.Advance(expectedSeconds * 1000 - 1);
        EXPECT_TRUE(Refused("127.0.0.2")) << expectedSeconds;
        rig.clock.Advance(1);
    }
    FailedConnection("127.0.0.2");
    EXPECT_TRUE(testsupport::WaitUntil(
        [&] {
            return CountEntries("127.0.0.2 LOGIN - Too many failed logins, connections refused for 3600 seconds.") == 2;
        },
        kPatienceMs))
        << "an hour is the longest cool-down";
}

TEST_F(LoginThrottle, OtherAddressesAreServedWhileOneIsRefused) {
    for (int i = 0; i < 3; ++i) FailedConnection("127.0.0.2");
    ASSERT_TRUE(Refused("127.0.0.2"));
    testsupport::SessionClient operatorClient;
    operatorClient.SetSourceAddress("127.0.0.3");
    ASSERT_TRUE(operatorClient.ConnectAndGreet(rig.port, kPatienceMs));
    operatorClient.Send("UID:alice;PWD:secret;");
    EXPECT_EQ(operatorClient.ReadExact(kUidOk.size() + kPwdOk.size(), kPatienceMs), kUidOk + kPwdOk);
}

TEST_F(LoginThrottle, SuccessfulLoginForgetsTheAddressFailures) {
    FailedConnection("127.0.0.2");
    FailedConnection("127.0.0.2");
    {
        auto client = Connect("127.0.0.2");
        ASSERT_EQ(client.ReadExact(testsupport::SessionClient::kGreetingSize, kPatienceMs).size(), 256u);
        client.Send("UID:alice;PWD:secret;");
        EXPECT_EQ(client.ReadExact(kUidOk.size() + kPwdOk.size(), kPatienceMs), kUidOk + kPwdOk);
    }
    ASSERT_TRUE(rig.WaitNoClient());
    FailedConnection("127.0.0.2");
    FailedConnection("127.0.0.2");
    EXPECT_FALSE(Refused("127.0.0.2"));
    EXPECT_EQ(CountEntries("127.0.0.2 LOGIN - Too many failed logins, connections refused for 30 seconds."), 0u);
}

TEST_F(LoginThrottle, ConnectionsThatEndOtherwiseNeitherCountNorForgive) {
    FailedConnection("127.0.0.2");
    {
        auto client = Connect("127.0.0.2");  // leaves without trying
        ASSERT_EQ(client.ReadExact(testsupport::SessionClient::kGreetingSize, kPatienceMs).size(), 256u);
    }
    ASSERT_TRUE(rig.WaitNoClient());
    FailedConnection("127.0.0.2");
    EXPECT_FALSE(Refused("127.0.0.2"));
    FailedConnection("127.0.0.2");
    EXPECT_TRUE(Refused("127.0.0.2"));
}

TEST(AccessLogLines, ControlCharactersOfAClientsTextAreWrittenAsEscapesSoOneEventIsOneLine) {
    ServerRig rig;
    ASSERT_TRUE(rig.Started());
    rig.AddUser(0, "alice", "secret");
    testsupport::SessionClient client;
    ASSERT_TRUE(client.ConnectAndGreet(rig.port, kPatienceMs));
    // A user id built to look like a second log line.
    client.Send(std::string("UID:x\r\n09:00:00 1.2.3.4 LOGIN root\x7f\x01;PWD:guess;"));
    EXPECT_EQ(client.ReadExact(kUidOk.size() + kPwdNg.size(), kPatienceMs), kUidOk + kPwdNg);
    client.Close();
    ASSERT_TRUE(rig.WaitNoClient());
    const std::string forged = "x\\x0d\\x0a09:00:00 1.2.3.4 LOGIN root\\x7f\\x01";
    ASSERT_TRUE(rig.WaitLogEntry("127.0.0.1 LOGIN " + forged + " Password NG.(1)"));
    ASSERT_TRUE(rig.WaitLogEntry("127.0.0.1 CLOSE " + forged + " Connection Close"));
    for (const std::string& entry : rig.LogEntries()) {
        SCOPED_TRACE(entry);
        EXPECT_EQ(entry.find_first_of("\r\n\x01\x7f"), std::string::npos);
        EXPECT_FALSE(entry.starts_with("1.2.3.4"));
    }
}

}  // namespace
