// A logged-in client that vanishes without a FIN: after its last command every packet of its
// connection is lost both ways (a firewall rule on its port), and it closes its socket, whose FIN
// is lost too, as when its cable is pulled or its network goes down. The host sees nothing; the
// idle limit (30 s without client data) ends the session and frees the station for the next one.
// A TLS handshake that stops after its first bytes is ended by the login limit the same way.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>

#include "FaultSupport.h"
#include "SettingsModel.h"
#include "TlsSessionClient.h"

namespace faulttest {
namespace {

using Clock = std::chrono::steady_clock;

class Network : public stationtest::Headless {};

TEST_F(Network, tlsHandshakeThatStopsIsEndedByTheLoginLimitAndTheNextClientIsServed)
{
    using quintar::settings::Id;
    using quintar::settings::MakeEntry;
    settings.users = {{"op1", "pw1", "", 0}};
    StartRadio();
    const QStringList arguments = Arguments();
    Program setup({"setup", "--profile", QString::fromStdString(profileFile.string()), "tls"});
    ASSERT_TRUE(setup.Run());
    unsigned tlsPort = testsupport::FreeTcpPort();
    while (tlsPort == static_cast<unsigned>(settings.tcpPort))
        tlsPort = testsupport::FreeTcpPort();
    ASSERT_TRUE(profile->Write({MakeEntry(Id::TlsPort, static_cast<int>(tlsPort))}));
    Program host(arguments, Environment());
    ASSERT_TRUE(Serving(host));

    const int drip = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(tlsPort));
    inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
    ASSERT_EQ(connect(drip, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
    ASSERT_EQ(send(drip, "\x16\x03\x01\x02", 4, MSG_NOSIGNAL), 4);  // a client hello's first bytes, then nothing
    const auto start = Clock::now();
    char byte;
    EXPECT_LE(recv(drip, &byte, 1, 0), 0) << "nothing reaches a client before its handshake";
    const auto after = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_GE(after, 29000);
    EXPECT_LE(after, 40000);
    close(drip);
    ASSERT_TRUE(PumpUntil([&] { return Log().find("127.0.0.1 CLOSE - Connection Close") != std::string::npos; }, 5000));
    EXPECT_EQ(Count(Log(), LogEntry("127.0.0.1 LOGIN  timeout.")), 1u) << Log();

    testsupport::TlsSessionClient next;
    ASSERT_TRUE(next.Connect(tlsPort, 5000)) << next.LastError();
    ASSERT_TRUE(next.LogIn("op1", "pw1", 5000)) << next.Received();
    EXPECT_TRUE(StoppedBySigterm(host));
}

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
