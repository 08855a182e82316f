// The serial line disappearing under the running host, as when the radio's USB adapter is pulled:
// the simulated radio closes its end of the pseudo-terminal, so the host's descriptor hangs up,
// reads nothing and fails every write, as a vanished USB serial device does.
#include <csignal>

#include "FaultSupport.h"

namespace faulttest {
namespace {

class SerialLine : public stationtest::Headless {};

TEST_F(SerialLine, pulledAdapterLetsTheWatchdogStopTheStationAndTheHostExit3)
{
    StartRadio();
    Program host(Arguments({"--verbose"}), Environment());
    ASSERT_TRUE(Serving(host));

    radio->Stop();
    ASSERT_TRUE(host.WaitForExit(20000)) << "the host must notice a dead line by itself";
    EXPECT_TRUE(host.ExitedNormally());
    EXPECT_EQ(host.ExitStatus(), 3);
    EXPECT_NE(host.Err().find("quintar: the watchdog stopped the station: the radio gave no answer to 4 polls in a row"),
              std::string::npos)
        << host.Err();
    EXPECT_NE(host.Out().find("panel: CONTROL lamp off\n"), std::string::npos) << host.Out();
    const std::string log = Log();
    EXPECT_EQ(Count(log, LogEntry("- END - End VEXA.")), 1u) << log;
    EXPECT_TRUE(BrokenLogLines(log).empty()) << log;
}

TEST_F(SerialLine, adapterPulledDuringASessionStopsTheStationOnceTheClientHasLeft)
{
    // While a client is logged in the host does not poll the radio, so a dead line shows only
    // after the session: the client's commands go nowhere, nothing hangs, and the watchdog then
    // stops the station.
    settings.users = {{"op1", "pw1", "", 0}};
    StartRadio();
    Program host(Arguments(), Environment());
    ASSERT_TRUE(Serving(host));
    Client client;
    ASSERT_TRUE(LogIn(client));

    radio->Stop();
    ASSERT_TRUE(client.Send("FA;IF;@@ST;"));
    EXPECT_TRUE(client.ReadUntil("@@ST", 5000)) << "the session goes on: " << client.Received();
    EXPECT_FALSE(host.WaitForExit(2000)) << "no poll and no watchdog while a client is logged in";
    client.Close();

    ASSERT_TRUE(host.WaitForExit(20000));
    EXPECT_EQ(host.ExitStatus(), 3);
    const std::string log = Log();
    const auto closeLine = log.find(LogEntry("127.0.0.1 CLOSE op1 Connection Close"));
    const auto endLine = log.find(LogEntry("- END - End VEXA."));
    ASSERT_NE(closeLine, std::string::npos) << log;
    ASSERT_NE(endLine, std::string::npos) << log;
    EXPECT_LT(closeLine, endLine);
    EXPECT_EQ(Count(log, LogEntry("- END - End VEXA.")), 1u);
}

TEST_F(SerialLine, stopSignalWhileTheLineIsDeadEndsTheHostPromptly)
{
    StartRadio();
    Program host(Arguments(), Environment());
    ASSERT_TRUE(Serving(host));
    radio->Stop();
    host.Signal(SIGTERM);
    ASSERT_TRUE(host.WaitForExit(15000)) << "the stop sequence's writes to a dead line must not hold the host";
    EXPECT_EQ(host.ExitStatus(), 0);
    EXPECT_EQ(Count(Log(), LogEntry("- END - End VEXA.")), 1u);
}

}  // namespace
}  // namespace faulttest
