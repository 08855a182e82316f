// Station start against the simulated radio: the wake-up preamble and its pause, the identity
// probe and its bound, every failure with its log line and message, and a successful start.
#include <sys/socket.h>
#include <netinet/in.h>
#include <arpa/inet.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "StationFixture.h"

namespace stationtest {
namespace {

const std::string kPreamble = std::string(";;") + "\x03;\rTC 1;\r" + ";";

TEST_F(StationTest, startSendsPreambleWithPauseThenOneIdentityQuery)
{
    StartRadio();
    MakeController();
    std::atomic<long long> gapMs{-1};
    std::thread watch([&] {
        if (!radio->WaitReceived(";;", 5000))
            return;
        const auto first = std::chrono::steady_clock::now();
        if (radio->WaitReceived("\x03", 5000))
            gapMs = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - first).count();
    });
    EXPECT_EQ(StartAndWait(), StartResult::Started);
    watch.join();

    const std::string sent = radio->Received();
    ASSERT_GE(sent.size(), kPreamble.size() + 3);
    EXPECT_EQ(sent.substr(0, kPreamble.size() + 3), kPreamble + "ID;");
    EXPECT_EQ(Count(sent, "ID;"), 1u);
    // The radio needs the pause between the two wake-up writes; 300 ms are waited.
    EXPECT_GE(gapMs.load(), 200);
}

TEST_F(StationTest, successfulStartReadsPowerAndAutoInformationAndLogsPortAndSocket)
{
    settings.comPort = 3;
    StartRadio();
    MakeController();

    ASSERT_EQ(StartAndWait(), StartResult::Started);
    ASSERT_TRUE(radio->WaitReceived("AI;", 2000));
    const std::string sent = radio->Received();
    const std::size_t id = sent.find("ID;");
    const std::size_t ps = sent.find("PS;", id);
    ASSERT_NE(ps, std::string::npos);
    EXPECT_NE(sent.find("AI;", ps), std::string::npos);

    EXPECT_TRUE(controller->Running());
    EXPECT_TRUE(controller->ServerOpen());
    EXPECT_TRUE(controller->ControlLamp());
    EXPECT_TRUE(controller->Started());
    EXPECT_TRUE(controller->ControlEnabled());
    EXPECT_FALSE(controller->Busy());
    EXPECT_EQ(controller->ModelId(), 20u);
    const std::string line = "- START - Successful COM3, Socket:" + std::to_string(settings.tcpPort) + ".";
    EXPECT_EQ(Count(Log(), LogEntry(line)), 1u);
    EXPECT_EQ(logLines, std::vector<std::string>{line});
    EXPECT_TRUE(messages.empty());

    // The power answer lights the lamp; the auto-information answer 0 is corrected to 2.
    EXPECT_TRUE(PumpUntil([&] { return controller->PowerLamp() && controller->ModelName() == "Corrin"; }, 5000));
    EXPECT_TRUE(PumpUntil([&] { return radio->Ai() == 2; }, 5000));
}

TEST_F(StationTest, startBusyStateIsOnDuringStartAndOffAfterIt)
{
    StartRadio();
    MakeController();
    std::vector<bool> busy;
    std::vector<bool> control;
    QObject scope;  // ends the connections before the vectors go
    QObject::connect(controller.get(), &StationController::BusyChanged, &scope, [&](bool b) { busy.push_back(b); });
    QObject::connect(controller.get(), &StationController::ControlEnabledChanged, &scope, [&](bool b) { control.push_back(b); });
    ASSERT_EQ(StartAndWait(), StartResult::Started);
    EXPECT_EQ(busy, (std::vector<bool>{true, false}));
    EXPECT_EQ(control, (std::vector<bool>{false, true}));
}

// The identity answer may come late: polls for about one second find it, later is too late.
struct ProbeCase {
    const char* name;
    int answerDelayMs;
    StartResult result;
};

class IdentityProbe : public StationTest, public ::testing::WithParamInterface<ProbeCase> {};

TEST_P(IdentityProbe, waitsAboutOneSecondForTheIdentity)
{
    radiosim::Options o;
    o.delayMs = GetParam().answerDelayMs;
    StartRadio(o);
    MakeController();
    EXPECT_EQ(StartAndWait(), GetParam().result);
    EXPECT_EQ(Count(radio->Received(), "ID;"), 1u);
}

INSTANTIATE_TEST_SUITE_P(Delays, IdentityProbe,
                         ::testing::Values(ProbeCase{"answerAfter500ms", 500, StartResult::Started},
                                           ProbeCase{"answerAfter1800ms", 1800, StartResult::ModelNotDetected}),
                         [](const auto& info) { return std::string(info.param.name); });

// Every way a start can fail, and the two models that are accepted.
struct StartCase {
    const char* name;
    unsigned radioId = 20;
    bool silent = false;
    bool noRadio = false;         // the profile names a device that does not exist
    bool tcpPortTaken = false;    // another program listens on the TCP port
    int tcpPortSetting = 0;       // 0: a free port
    bool secondModel = false;     // "-EDM"
    StartResult result;
    const char* log;              // the access log line; %d is the TCP port; "" for none
    const char* message;          // the message box text, "%p" the port and its device; "" for none
};

constexpr char kUnknownDevice[] =
    " An unknown device is connected to %p, or the Baud rate in this software does not mutch in the "
    "Transceiver.\n Check the status of %p.\n";

const StartCase kStartCases[] = {
    {"serialPortMissing", 20, false, true, false, 0, false, StartResult::SerialPortFailed,
     "- START - Failed. Can not open COM3.", ""},
    {"silentRadio", 20, true, false, false, 0, false, StartResult::ModelNotDetected,
     "- START - Failed. Can not detect Radio Model ID.", kUnknownDevice},
    {"unknownIdentity17", 17, false, false, false, 0, false, StartResult::ModelNotDetected,
     "- START - Failed. Can not detect Radio Model ID.", kUnknownDevice},
    {"dunmoreWithoutOption", 19, false, false, false, 0, false, StartResult::ModelRefused,
     "- START - Failed. Radio is Unsupported.",
     "The transceiver connected to %p is Dunmore.\n Be sure to connect the Radio to the %p.\n"},
    {"tcpPortInUse", 20, false, false, true, 0, false, StartResult::SocketFailed,
     "- START - Failed. Can not open socket:%d.", ""},
    {"tcpPortSetting1023", 20, false, false, false, 1023, false, StartResult::NotAllowed, "", ""},
    {"tcpPortSetting65536", 20, false, false, false, 65536, false, StartResult::NotAllowed, "", ""},
    {"tcpPortSettingNegative", 20, false, false, false, -5, false, StartResult::NotAllowed, "", ""},
    {"dunmoreWithOption", 19, false, false, false, 0, true, StartResult::Started,
     "- START - Successful COM3, Socket:%d.", ""},
    {"corrinAtLowestPort", 20, false, false, false, 1024, false, StartResult::Started,
     "- START - Successful COM3, Socket:1024.", ""},
};

class StartOutcome : public StationTest, public ::testing::WithParamInterface<StartCase> {};

TEST_P(StartOutcome, logsTellsAndLeavesTheStationAsTheTableSays)
{
    const StartCase& c = GetParam();
    settings.comPort = 3;
    if (c.tcpPortSetting != 0)
        settings.tcpPort = c.tcpPortSetting;
    if (!c.noRadio) {
        radiosim::Options o;
        o.id = c.radioId;
        o.silent = c.silent;
        StartRadio(o);
    }
    int blocker = -1;
    if (c.tcpPortTaken) {
        blocker = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(settings.tcpPort));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::bind(blocker, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        ASSERT_EQ(::listen(blocker, 1), 0);
    }
    quintar::HostOptions options;
    options.secondModelEnabled = c.secondModel;
    MakeController(options);

    const StartResult result = StartAndWait();
    if (blocker >= 0)
        ::close(blocker);

    EXPECT_EQ(result, c.result);
    const bool started = c.result == StartResult::Started;
    EXPECT_EQ(controller->Running(), started);
    EXPECT_EQ(controller->ServerOpen(), started);
    EXPECT_EQ(controller->ControlLamp(), started);
    EXPECT_EQ(controller->Started(), started);
    EXPECT_TRUE(controller->ControlEnabled());
    EXPECT_FALSE(controller->Busy());

    std::string expectedLog = c.log;
    if (const auto at = expectedLog.find("%d"); at != std::string::npos)
        expectedLog.replace(at, 2, std::to_string(settings.tcpPort));
    const std::string log = Log();
    if (expectedLog.empty()) {
        EXPECT_EQ(log.find("START"), std::string::npos) << log;
        EXPECT_TRUE(logLines.empty());
    } else {
        EXPECT_EQ(Count(log, LogEntry(expectedLog)), 1u) << log;
        EXPECT_EQ(logLines, std::vector<std::string>{expectedLog});
    }

    if (*c.message) {
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].first.toStdString(), "Error!");
        const QString port = QString::fromStdString("COM3 (" + settings.device + ")");
        EXPECT_EQ(messages[0].second.toStdString(), QString::fromLatin1(c.message).replace("%p", port).toStdString());
    } else {
        EXPECT_TRUE(messages.empty());
    }

    if (!started) {
        // The serial link is closed again and the panel is empty.
        EXPECT_EQ(CBrenlow().ConnDirect(reinterpret_cast<const unsigned char*>(";")), 0);
        PumpFor(100);
        EXPECT_EQ(controller->ModelName(), "");
        EXPECT_FALSE(controller->PowerLamp());
        EXPECT_FALSE(controller->PollTimerActive());
    }
    if (c.result == StartResult::NotAllowed) {
        EXPECT_EQ(radio->Received(), "");  // nothing at all reaches the radio
    }
}

INSTANTIATE_TEST_SUITE_P(Table, StartOutcome, ::testing::ValuesIn(kStartCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StationTest, startWhileRunningDoesNothing)
{
    StartRadio();
    MakeController();
    ASSERT_EQ(StartAndWait(), StartResult::Started);
    radio->ClearReceived();
    EXPECT_EQ(StartAndWait(), StartResult::NotAllowed);
    EXPECT_EQ(radio->Received().find(";;"), std::string::npos);
    EXPECT_EQ(Count(Log(), "- START -"), 1u);
}

TEST_F(StationTest, startUsesTheDeviceOfTheConfiguredPortNumber)
{
    // COM1 points nowhere; COM4 is the radio: only the configured port's device is opened.
    StartRadio();
    settings.comPort = 4;
    MakeController();
    profile->WriteString("Ports", "COM1", (dir.Path() / "nothing-here").string());
    EXPECT_EQ(StartAndWait(), StartResult::Started);
    EXPECT_EQ(Count(Log(), "Successful COM4,"), 1u);
}

}  // namespace
}  // namespace stationtest
