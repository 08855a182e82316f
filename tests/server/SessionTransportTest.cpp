// The session fed by a transport of its own, as a second listener beside the plain one would feed
// it: the whole protocol and the radio's answers go over that transport, and the throttle the
// server passes in outlives the session, so a block earned on one listener holds on the other.
#include <gtest/gtest.h>

#include <thread>

#include "Drisko.h"
#include "ServerRig.h"
#include "Session.h"

namespace {

using namespace servertest;
using brenlow::server::LoginThrottle;
using brenlow::server::Session;

constexpr std::size_t kGreetingSize = testsupport::SessionClient::kGreetingSize;

class SessionTransport : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(rig.Started());
        rig.AddUser(0, "alice", "secret");
        // The plain server stands aside; the tests run sessions of their own.
        rig.lib.SocketServerClose();
        second.SetListenAddress("127.0.0.1");
    }
    void TearDown() override { Stop(); }

    // A session on `transport` listening on a free port, as SocketServerOpen starts one.
    unsigned Start(CDrisko& transport) {
        brenlow::RadioState& s = rig.state;
        unsigned port = 0;
        for (int attempt = 0; attempt < 20 && !port; ++attempt)
            if (const unsigned candidate = testsupport::FreeTcpPort(); transport.Listen(candidate)) port = candidate;
        EXPECT_NE(port, 0u);
        brenlow::SetClientPath(s, true);
        s.ipPort = port;
        s.sockThreadRun = 1;
        running = &transport;
        thread = std::thread([&s, &transport, this] { Session(s, transport, throttle).Run(); });
        return port;
    }
    void Stop() {
        if (!running) return;
        rig.state.sockThreadRun = 0;
        running->Wake();
        thread.join();
        running->DisConnect();
        running = nullptr;
    }

    testsupport::SessionClient Connect(unsigned port, const std::string& from) {
        testsupport::SessionClient client;
        client.SetSourceAddress(from);
        EXPECT_TRUE(client.Connect(port));
        return client;
    }

    CDrisko second;  // outlives the rig, whose radio link may still relay to it
    ServerRig rig{{.fakeClock = true}};
    LoginThrottle throttle;
    CDrisko* running = nullptr;
    std::thread thread;
};

TEST_F(SessionTransport, ASecondListenerServesTheWholeProtocolAndTheRadiosAnswers) {
    const unsigned port = Start(second);
    auto client = Connect(port, "127.0.0.1");
    ASSERT_EQ(client.ReadExact(kGreetingSize, kPatienceMs).size(), kGreetingSize);
    client.Send("UID:alice;PWD:secret;FA;");
    EXPECT_EQ(client.ReadExact(kUidOk.size() + kPwdOk.size(), kPatienceMs), kUidOk + kPwdOk);
    EXPECT_EQ(client.ReadUntil(";", kPatienceMs), "FA00014074000;") << "relayed over the second listener";
    client.Send("@@ST;");
    EXPECT_EQ(client.ReadExact(17, kPatienceMs), "@@ST000000000000;");
    client.Close();
    EXPECT_TRUE(rig.WaitLogEntry("127.0.0.1 CLOSE alice Connection Close"));
    Stop();
    EXPECT_EQ(&rig.state.client.Transport(), static_cast<ClientTransport*>(&rig.state.socketServer))
        << "the client link is the plain listener's again";
}

TEST_F(SessionTransport, ABlockEarnedOnOneListenerHoldsOnTheOther) {
    unsigned port = Start(second);
    // Three connections without any password: twice each, five in a row start the block.
    for (int i = 0; i < 3; ++i) {
        auto silent = Connect(port, "127.0.0.2");
        ASSERT_EQ(silent.ReadExact(kGreetingSize, kPatienceMs).size(), kGreetingSize);
        silent.Close();
        ASSERT_TRUE(rig.WaitNoClient());
    }
    EXPECT_TRUE(rig.WaitLogEntry("127.0.0.2 LOGIN - Too many failed logins, connections refused for 30 seconds."));
    Stop();

    port = Start(rig.state.socketServer);
    auto refused = Connect(port, "127.0.0.2");
    bool closed = false;
    EXPECT_EQ(refused.ReadUntilClosed(kPatienceMs, &closed), "");
    EXPECT_TRUE(closed);
    auto other = Connect(port, "127.0.0.3");
    EXPECT_EQ(other.ReadExact(kGreetingSize, kPatienceMs).size(), kGreetingSize) << "other addresses are served";
}

}  // namespace
