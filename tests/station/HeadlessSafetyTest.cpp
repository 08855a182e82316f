// `quintar --headless` against what an unlucky operator or a stranger does to it: a stop signal
// while a client floods the transmitter with "TX;" (and in the Dunmore's terminal mode), a second
// host on the same serial device, settings that are no numbers or name an address the station
// cannot use, and copies of a user in the profile's slots.
#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <csignal>
#include <thread>

#include "HeadlessFixture.h"

namespace stationtest {
namespace {

// A logged-in client that keeps sending "TX;" as fast as the station takes it, until the station
// closes the connection or the flood is stopped.
class TransmitFlood {
public:
    explicit TransmitFlood(testsupport::SessionClient& client) : client_(client)
    {
        thread_ = std::thread([this] {
            const std::string burst = [] {
                std::string b;
                for (int i = 0; i < 64; ++i)
                    b += "TX;";
                return b;
            }();
            while (!stop_.load()) {
                pollfd p{client_.Fd(), POLLOUT, 0};
                if (::poll(&p, 1, 50) <= 0)
                    continue;
                if (::send(client_.Fd(), burst.data(), burst.size(), MSG_NOSIGNAL | MSG_DONTWAIT) < 0 &&
                    errno != EAGAIN && errno != EWOULDBLOCK)
                    break;
            }
        });
    }
    ~TransmitFlood()
    {
        stop_ = true;
        thread_.join();
    }

private:
    testsupport::SessionClient& client_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

testsupport::SessionClient LoggedIn(unsigned port)
{
    testsupport::SessionClient client;
    EXPECT_TRUE(client.ConnectAndGreet(port, 5000));
    client.Send("UID:op1;PWD:pw1;");
    EXPECT_NE(client.ReadUntil("PWD:OK;>@@UE1;", 5000).find("PWD:OK;>@@UE1;"), std::string::npos);
    return client;
}

// The radio's last command of the stop is the unkey, after everything the client sent.
void ExpectUnkeyedLast(radiosim::RadioSim& radio)
{
    EXPECT_FALSE(radio.Transmitting());
    const std::string received = radio.Received();
    ASSERT_GE(received.size(), 3u);
    EXPECT_EQ(received.substr(received.size() - 3), "RX;") << received.substr(received.size() > 80 ? received.size() - 80 : 0);
}

TEST_F(Headless, stopSignalDuringATransmitFloodLeavesTheRadioUnkeyedEveryTime)
{
    settings.users = {{"op1", "pw1", "", 0}};
    StartRadio();
    for (int run = 0; run < 6; ++run) {
        SCOPED_TRACE(run);
        Program host(Arguments(), Environment());
        ASSERT_TRUE(Serving(host));
        testsupport::SessionClient client = LoggedIn(static_cast<unsigned>(settings.tcpPort));
        {
            TransmitFlood flood(client);
            ASSERT_TRUE(PumpUntil([&] { return radio->Transmitting(); }, 5000));
            host.Signal(SIGTERM);
            ASSERT_TRUE(host.WaitForExit(15000));
        }
        EXPECT_EQ(host.ExitStatus(), 0) << host.Err();
        ExpectUnkeyedLast(*radio);
        // The session still open at the stop has its close line before the station's END.
        const std::string log = Log();
        const auto close = log.rfind(LogEntry("127.0.0.1 CLOSE op1 Connection Close"));
        ASSERT_NE(close, std::string::npos) << log;
        EXPECT_LT(close, log.rfind(LogEntry("- END - End VEXA.")));
        EXPECT_EQ(Count(log, "CLOSE op1"), static_cast<std::size_t>(run + 1));
        radio->ClearReceived();
    }
}

// In terminal mode the Dunmore's line takes only the command that leaves it: the stop sends that
// first, then its sequence, and the unkey last.
TEST_F(Headless, stopInTheDunmoresTerminalModeLeavesItFirstThenUnkeys)
{
    settings.users = {{"op1", "pw1", "", 0}};
    radiosim::Options o;
    o.id = 19;
    StartRadio(o);
    Program host(Arguments({"-EDM"}), Environment());
    ASSERT_TRUE(Serving(host));
    testsupport::SessionClient client = LoggedIn(static_cast<unsigned>(settings.tcpPort));
    client.Send("TX;");
    ASSERT_TRUE(PumpUntil([&] { return radio->Transmitting(); }, 5000));
    // The radio's answer "TC 0;" puts the station into terminal mode.
    client.Send("TC 0;TC;");
    EXPECT_NE(client.ReadUntil("TC 0;", 5000).find("TC 0;"), std::string::npos);
    radio->ClearReceived();

    host.Signal(SIGTERM);
    ASSERT_TRUE(host.WaitForExit(15000));
    EXPECT_EQ(host.ExitStatus(), 0) << host.Err();
    EXPECT_EQ(radio->Received().rfind("\x03;\rTC 1;\r", 0), 0u) << radio->Received();
    ExpectUnkeyedLast(*radio);
}

// Two hosts of two profiles on one serial device would mix their commands and answers: the second
// is refused, and says which process has the device.
TEST_F(Headless, secondHostOnTheSameSerialDeviceIsRefusedAndNamesTheHolder)
{
    settings.users = {{"op1", "pw1", "", 0}};
    StartRadio();
    Program first(Arguments(), Environment());
    ASSERT_TRUE(first.Start());
    ASSERT_TRUE(first.WaitForOutput(ReadyLine(), 15000)) << first.Err();

    const std::filesystem::path otherFile = dir.Path() / "other.ini";
    quintar::SettingsProfile other(QString::fromStdString(otherFile.string()));
    StationSettings otherSettings = settings;
    otherSettings.tcpPort = static_cast<int>(FreeTcpPort());
    otherSettings.logFolder = dir.Path() / "other-log";
    WriteSettings(other, otherSettings);
    radio->ClearReceived();
    Program second({"--headless", "--profile", QString::fromStdString(otherFile.string())}, Environment());
    ASSERT_TRUE(second.Run());
    EXPECT_EQ(second.ExitStatus(), 1);
    EXPECT_NE(second.Err().find("- START - Failed. Can not open COM1. (device " + settings.device + ": in use by process " +
                                std::to_string(first.Pid()) + " (quintar))"),
              std::string::npos)
        << second.Err();
    EXPECT_EQ(radio->Received(), "") << "the second host never wrote to the device";

    // The first host's client gets exactly its own answers.
    testsupport::SessionClient client = LoggedIn(static_cast<unsigned>(settings.tcpPort));
    std::string expected;
    for (int i = 0; i < 20; ++i) {
        client.Send("FA;");
        expected += "FA00014074000;";
    }
    EXPECT_EQ(client.ReadExact(expected.size(), 5000), expected);
    EXPECT_EQ(client.Pending(200), "");
    client.Close();

    // Once the first has stopped, the device is free again.
    first.Signal(SIGTERM);
    ASSERT_TRUE(first.WaitForExit(15000));
    Program third({"--headless", "--profile", QString::fromStdString(otherFile.string())}, Environment());
    ASSERT_TRUE(third.Start());
    EXPECT_TRUE(third.WaitForOutput("- START - Successful", 15000)) << third.Err();
    third.Signal(SIGTERM);
    EXPECT_TRUE(third.WaitForExit(15000));
}

// Settings that would make the station run on something the operator never chose, or fail with a
// reason that names nothing: the start fails and says which value and why.
TEST_F(Headless, startFailuresNameTheSettingTheValueAndTheReason)
{
    StartRadio();
    const struct {
        const char* name;
        const char* key;  // a profile value set by hand, if any
        const char* value;
        int baud;
        const char* listenAddress;
        std::string says;
    } cases[] = {
        {"tcp port with a letter O", "VEXA IP Port No", "5213O", 9600, "127.0.0.1",
         "Error! Nothing started: the setting \"VEXA IP Port No\" is \"5213O\", not a number."},
        {"baud rate as words", "COM Baud", "fast", 9600, "127.0.0.1",
         "Error! Nothing started: the setting \"COM Baud\" is \"fast\", not a number."},
        {"baud rate no serial port takes", nullptr, nullptr, 1234, "127.0.0.1",
         ": baud rate 1234 (\"COM Baud\") is not one the serial port takes: 4800, 9600, 19200, 38400, 57600 or "
         "115200)"},
        {"IPv6 listen address", nullptr, nullptr, 9600, "::1",
         "(the listen address \"::1\" (QUINTAR_LISTEN_ADDRESS) is no IPv4 address; the station listens on IPv4 only"},
        {"misspelt listen address", nullptr, nullptr, 9600, "127.0.0.l",
         "(the listen address \"127.0.0.l\" (QUINTAR_LISTEN_ADDRESS) is no IPv4 address"},
        {"address of no interface here", nullptr, nullptr, 9600, "192.0.2.1",
         " on 192.0.2.1: Cannot assign requested address; no network interface of this computer has that address)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        settings.baud = c.baud;
        const QStringList arguments = Arguments();
        if (c.key)
            profile->WriteString("Setting", c.key, c.value);
        Program host(arguments, {QStringLiteral("QUINTAR_LISTEN_ADDRESS=") + c.listenAddress});
        ASSERT_TRUE(host.Run());
        EXPECT_EQ(host.ExitStatus(), 1);
        EXPECT_NE(host.Err().find(c.says), std::string::npos) << host.Err();
        EXPECT_EQ(host.Out().find("Successful"), std::string::npos);
        EXPECT_EQ(host.Err().find("Success\n"), std::string::npos) << host.Err();
        EXPECT_EQ(host.Err().find("outside 1024..65535"), std::string::npos) << host.Err();
    }
    // The setup command shows the stored port as the start reads it.
    profile->WriteString("Setting", "VEXA IP Port No", "5213O");
    Program show({"setup", "--profile", QString::fromStdString(profileFile.string()), "show"});
    ASSERT_TRUE(show.Run());
    EXPECT_NE(show.Out().find("tcp-port      the setting \"VEXA IP Port No\" is \"5213O\", not a number (the station "
                              "does not start)\n"),
              std::string::npos)
        << show.Out();
}

// A user copied into a second slot by hand, and one in a slot past 009: the host says so at start.
TEST_F(Headless, copiesOfAUserAndSlotsPast009AreNamedAtStart)
{
    settings.users = {{"op1", "pw1", "", 0}, {"op1", "other", "", 0}};
    StartRadio();
    const QStringList arguments = Arguments();
    profile->WriteString("Setting", "VEXA 010 User ID", "late");
    Program host(arguments, Environment());
    ASSERT_TRUE(Serving(host));
    EXPECT_NE(host.Err().find("quintar: user id \"op1\" is in slots 000, 001; logins use slot 000 only\n"),
              std::string::npos)
        << host.Err();
    EXPECT_NE(host.Err().find("quintar: user id \"late\" in slot 010 is ignored: the user slots are 000 to 009\n"),
              std::string::npos)
        << host.Err();
    host.Signal(SIGTERM);
    EXPECT_TRUE(host.WaitForExit(15000));
}

}  // namespace
}  // namespace stationtest
