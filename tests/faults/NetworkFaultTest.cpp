// A logged-in client that vanishes without a FIN: after its last command every packet of its
// connection is lost both ways (a firewall rule on its port), and it closes its socket, whose FIN
// is lost too, as when its cable is pulled or its network goes down. The host sees nothing; the
// idle limit (30 s without client data) ends the session and frees the station for the next one.
#include <chrono>
#include <csignal>

#include "FaultSupport.h"

namespace faulttest {
namespace {

using Clock = std::chrono::steady_clock;

class Network : public stationtest::Headless {};

TEST_F(Network, clientVanishingWithoutFinIsEndedByTheIdleLimitAndTheNextOneIsServed)
{
    settings.users = {{"op1", "pw1", "", 0}};
    StartRadio();
    Program host(Arguments({"--verbose"}), Environment());
    ASSERT_TRUE(Serving(host));

    PinnedClient gone;
    ASSERT_TRUE(gone.Connect(static_cast<unsigned>(settings.tcpPort), 5000));
    ASSERT_TRUE(gone.Send("UID:op1;PWD:pw1;FA;"));
    ASSERT_TRUE(gone.ReadUntil("FA00014074000;", 5000)) << gone.Received();
    const auto lastData = Clock::now();

    LostPackets lost(gone.LocalPort());
    if (!lost.Active())
        GTEST_SKIP() << "this machine does not let the test drop packets (needs nftables and CAP_NET_ADMIN): "
                     << lost.Error();
    gone.Close();  // the FIN goes nowhere

    EXPECT_FALSE(host.WaitForOutput("connection: closed\n", 20000)) << "the host cannot know the client is gone";
    ASSERT_TRUE(host.WaitForOutput("connection: closed\n", 25000)) << "the idle limit ends the session";
    const auto after = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastData).count();
    EXPECT_GE(after, 29000);
    EXPECT_LE(after, 40000);
    // The close line follows the report on standard output by a moment.
    EXPECT_TRUE(PumpUntil([&] { return Log().find("CLOSE op1 Connection Close") != std::string::npos; }, 5000)) << Log();
    const std::string log = Log();
    EXPECT_EQ(Count(log, LogEntry("127.0.0.1 CONN op1 timeout.")), 1u) << log;
    EXPECT_EQ(Count(log, LogEntry("127.0.0.1 CLOSE op1 Connection Close")), 1u) << log;
    EXPECT_LT(log.find("CONN op1 timeout."), log.find("CLOSE op1 Connection Close"));

    Client next;
    ASSERT_TRUE(next.Connect(static_cast<unsigned>(settings.tcpPort), 5000));
    ASSERT_TRUE(next.LogIn("op1", "pw1", 5000)) << next.Received();
    ASSERT_TRUE(next.Send("FA;"));
    EXPECT_TRUE(next.ReadUntil("FA00014074000;", 5000));
    next.Close();

    ASSERT_TRUE(StoppedBySigterm(host));
}

}  // namespace
}  // namespace faulttest
