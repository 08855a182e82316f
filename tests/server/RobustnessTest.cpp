// Hostile and heavy clients: overlong commands, hang-ups in mid-command, NUL bytes, one byte at a
// time, ten thousand commands in bursts, a thousand connections in a row, and an idle server that
// sleeps instead of polling.
#include <gtest/gtest.h>

#include <dirent.h>

#include <fstream>
#include <set>
#include <thread>

#include "HostMessages.h"
#include "ServerRig.h"

namespace {

using namespace servertest;

const std::string kOverflowBlock =
    Padded("\r\nConnection Error:Command length too long!!\r\nGood-Bye\r\n;", 1024);

std::set<std::string> Entries(const char* folder) {
    std::set<std::string> names;
    if (DIR* d = opendir(folder)) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') names.insert(e->d_name);
        closedir(d);
    }
    return names;
}

class Robustness : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(rig.Started());
        rig.AddUser(0, "alice", "secret");
    }
    ServerRig rig;
};

constexpr char kNulLaced[] = "UID:al\0ice;\0PWD:sec\0\0ret;";

TEST_F(Robustness, CommandBufferHoldsTheLongestCommandAndOverflowsOneCharacterLater) {
    const struct {
        bool loggedIn;
        std::size_t length;  // characters before the ";"
        bool overflows;
    } rows[] = {{false, 1022, false}, {false, 1023, true}, {true, 1022, false}, {true, 1023, true}};
    rig.sim.SetSilent(true);  // its "?;" to the long command would come before the probe's reply
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << "logged in " << row.loggedIn << ", length " << row.length);
        rig.ClearLog();
        testsupport::SessionClient client;
        if (row.loggedIn) {
            client = rig.Login("alice", "secret");
        } else {
            ASSERT_TRUE(client.ConnectAndGreet(rig.port, kPatienceMs));
        }
        rig.sim.ClearReceived();
        const std::string command = std::string(row.length, 'Z') + ";";
        client.Send(command);
        if (row.overflows) {
            bool closed = false;
            EXPECT_EQ(client.ReadUntilClosed(kPatienceMs, &closed), kOverflowBlock);
            EXPECT_TRUE(closed);
            EXPECT_TRUE(rig.WaitLogEntry("127.0.0.1 LOGIN - Connection Error:Command Buffer Full!!"));
        } else {
            // Still connected and served: before login the long command is ignored, after login
            // it reaches the radio.
            const std::string probe = row.loggedIn ? "@@ST;" : "x;";
            const std::string reply = row.loggedIn ? "@@ST000000000000;" : kCmdNg;
            client.Send(probe);
            EXPECT_EQ(client.ReadExact(reply.size(), kPatienceMs), reply);
            if (row.loggedIn) {
                EXPECT_TRUE(rig.sim.WaitReceived(command, kPatienceMs));
            } else {
                EXPECT_EQ(rig.sim.Received(), "");
            }
            client.Close();
        }
        ASSERT_TRUE(rig.WaitNoClient());
    }
}

TEST_F(Robustness, NextClientIsServedAfterHangUpsInMidCommandAndNulBytes) {
    const std::string hostile[] = {"UID:al", std::string("\0\0\0\0", 4), std::string(900, '\0') + "PWD:x"};
    for (const std::string& text : hostile) {
        testsupport::SessionClient gone;
        ASSERT_TRUE(gone.ConnectAndGreet(rig.port, kPatienceMs));
        gone.Send(text);
        gone.Close();
        ASSERT_TRUE(rig.WaitNoClient());
        // Left-over text would join the next client's first command and spoil its login.
        auto client = rig.Login("alice", "secret");
        client.Close();
        ASSERT_TRUE(rig.WaitNoClient());
    }
    testsupport::SessionClient client;
    ASSERT_TRUE(client.ConnectAndGreet(rig.port, kPatienceMs));
    client.Send(std::string(kNulLaced, sizeof kNulLaced - 1));
    EXPECT_EQ(client.ReadExact(kUidOk.size() + kPwdOk.size(), kPatienceMs), kUidOk + kPwdOk);
}

TEST_F(Robustness, TextTrickledOneByteAtATimeIsServedLikeAWholeBatch) {
    testsupport::SessionClient client;
    ASSERT_TRUE(client.ConnectAndGreet(rig.port, kPatienceMs));
    rig.sim.ClearReceived();
    for (char c : std::string("UID:alice;PWD:secret;fa;")) {
        ASSERT_TRUE(client.Send(std::string(1, c)));
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    EXPECT_EQ(client.ReadExact(kUidOk.size() + kPwdOk.size() + 14, kPatienceMs), kUidOk + kPwdOk + "FA00014074000;");
    EXPECT_EQ(rig.sim.Received(), "FA;");
}

TEST_F(Robustness, TenThousandCommandsInBurstsAllReachTheRadioInOrder) {
    auto client = rig.Login("alice", "secret");
    rig.sim.ClearReceived();
    std::string expected, burst;
    for (int i = 0; i < 10000; ++i) {
        char command[32];
        std::snprintf(command, sizeof command, "fa%011d;", 7000000 + i);
        burst += command;
        command[0] = 'F';
        command[1] = 'A';
        expected += command;
        if (burst.size() >= 1400 || i == 9999) {
            ASSERT_TRUE(client.Send(burst));
            burst.clear();
        }
    }
    ASSERT_TRUE(rig.sim.WaitReceived(expected.substr(expected.size() - 14), 60000));
    EXPECT_EQ(rig.sim.Received(), expected);
    EXPECT_EQ(rig.state.clientConnected.load(), 1u);
}

TEST(Churn, ThousandLoginsLeaveDescriptorsAndThreadsAsTheyWere) {
    ServerRig rig({.log = false});
    ASSERT_TRUE(rig.Started());
    rig.AddUser(0, "alice", "secret");
    auto cycle = [&] {
        auto client = rig.Login("alice", "secret");
        client.Close();
        return rig.WaitNoClient();
    };
    ASSERT_TRUE(cycle());
    const auto fds = Entries("/proc/self/fd");
    const auto tasks = Entries("/proc/self/task");
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(cycle()) << "cycle " << i;
        if (::testing::Test::HasFailure()) FAIL() << "cycle " << i;
    }
    // The server listens again a moment after it dropped the client.
    EXPECT_TRUE(testsupport::WaitUntil([&] { return Entries("/proc/self/fd").size() == fds.size(); }, kPatienceMs));
    EXPECT_EQ(Entries("/proc/self/fd").size(), fds.size());
    EXPECT_EQ(Entries("/proc/self/task"), tasks);
}

long VoluntarySwitches(const std::string& tid) {
    std::ifstream status("/proc/self/task/" + tid + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with("voluntary_ctxt_switches:")) return std::stol(line.substr(24));
    return -1;
}

TEST_F(Robustness, SessionThreadSleepsBetweenEventsWithAndWithoutAClient) {
    rig.lib.SocketServerClose();
    const auto before = Entries("/proc/self/task");
    ASSERT_TRUE(rig.lib.SocketServerOpen(rig.port));
    std::vector<std::string> started;
    for (const auto& t : Entries("/proc/self/task"))
        if (!before.count(t)) started.push_back(t);
    ASSERT_EQ(started.size(), 1u);
    const std::string tid = started[0];

    auto wakesOverTwoSeconds = [&] {
        const long start = VoluntarySwitches(tid);
        std::this_thread::sleep_for(std::chrono::seconds(2));
        return VoluntarySwitches(tid) - start;
    };
    // A pass every 10 ms would be about 200 wakes.
    EXPECT_LE(wakesOverTwoSeconds(), 10);
    auto client = rig.Login("alice", "secret");
    EXPECT_LE(wakesOverTwoSeconds(), 10);
    client.Send("fa;");
    EXPECT_EQ(client.ReadExact(14, kPatienceMs), "FA00014074000;");
}

TEST_F(Robustness, ClientThatStopsReadingIsClosedWhileTheRadioSideGoesOn) {
    auto client = rig.Login("alice", "secret", 4096);  // logged in, then never reads again
    // Far more answers than the client's queue and the sockets can hold: the reader must go on
    // parsing at the radio's pace, not at the client's.
    std::string flood;
    for (int i = 0; flood.size() < 16u * 1024 * 1024; ++i) {
        char answer[16];
        std::snprintf(answer, sizeof answer, "FA%011d;", i);
        flood += answer;
    }
    rig.sim.Inject(flood);
    rig.sim.Inject("TX0;");
    ASSERT_TRUE(rig.window.WaitFor(brenlow::kTransmitAnswer, kPatienceMs)) << "the transmit answer behind the flood was not parsed";
    EXPECT_TRUE(rig.WaitLogEntry("127.0.0.1 CONN alice Connection Error:Send Buffer Full!!"));
    EXPECT_TRUE(rig.WaitLogEntry("127.0.0.1 CLOSE alice Connection Close"));
    EXPECT_TRUE(rig.WaitNoClient());
    // The close sequence handed the radio back, and the next client is served as usual.
    EXPECT_TRUE(rig.sim.WaitReceived("ID;RX;IF;", kPatienceMs));
    auto next = rig.Login("alice", "secret");
    next.Send("@@ST;");
    // The radio's answers to the close sequence may still be on their way and are relayed to a
    // client that logs in at once; nothing else comes before the server's own answer.
    const std::string got = next.ReadUntil("@@ST000000000000;", kPatienceMs);
    ASSERT_TRUE(got.ends_with("@@ST000000000000;")) << got;
    const std::string before = got.substr(0, got.size() - 17);
    EXPECT_TRUE(before.size() < 64 && rig.sim.Sent().ends_with(before)) << before;
}

TEST_F(Robustness, ClientThatReconnectsAtOnceGetsItsGreeting) {
    // Both connections log in: connections that end without a password count against their
    // address, and a hundred rounds of them would have it refused.
    auto logIn = [](testsupport::SessionClient& client) {
        client.Send("UID:alice;PWD:secret;");
        return client.ReadExact(kUidOk.size() + kPwdOk.size(), kPatienceMs) == kUidOk + kPwdOk;
    };
    for (int round = 0; round < 100; ++round) {
        SCOPED_TRACE(round);
        testsupport::SessionClient first;
        ASSERT_TRUE(first.Connect(rig.port));
        ASSERT_EQ(first.ReadExact(testsupport::SessionClient::kGreetingSize, kPatienceMs).size(),
                  testsupport::SessionClient::kGreetingSize);
        ASSERT_TRUE(logIn(first));
        first.Close();
        testsupport::SessionClient next;  // one attempt, no retry
        ASSERT_TRUE(next.Connect(rig.port));
        const std::string greeting = next.ReadExact(testsupport::SessionClient::kGreetingSize, kPatienceMs);
        ASSERT_EQ(greeting.size(), testsupport::SessionClient::kGreetingSize) << "turned away without a greeting";
        ASSERT_TRUE(logIn(next));
        next.Close();
        ASSERT_TRUE(rig.WaitNoClient());
    }
}

// The one-liner of the README: the client sends its login and a command and shuts down its
// sending side at once; the answer still reaches it, then the server closes as usual.
TEST_F(Robustness, ClientThatShutsDownItsSendingSideGetsTheAnswersToItsLastCommands) {
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        testsupport::SessionClient client;
        ASSERT_TRUE(client.ConnectAndGreet(rig.port, kPatienceMs));
        ASSERT_TRUE(client.Send("UID:alice;PWD:secret;FA;"));
        ASSERT_TRUE(client.ShutdownSending());
        bool closed = false;
        EXPECT_EQ(client.ReadUntilClosed(kPatienceMs, &closed), kUidOk + kPwdOk + "FA00014074000;");
        EXPECT_TRUE(closed);
        EXPECT_TRUE(rig.WaitLogEntry("127.0.0.1 CLOSE alice Connection Close"));
        ASSERT_TRUE(rig.WaitNoClient());
        rig.ClearLog();
    }
}

}  // namespace
