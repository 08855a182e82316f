// `quintar --headless` as a real process with the simulated radio: readiness line, service over
// TCP, exit statuses 0, 1 and 3, and one host per profile.
#include <csignal>

#include "HeadlessFixture.h"

namespace stationtest {
namespace {

class StopSignal : public Headless, public ::testing::WithParamInterface<int> {};

TEST_P(StopSignal, servesAClientThenStopsWithEndLineAndStatus0)
{
    settings.users = {{"op1", "pw1", "", 0}};
    StartRadio();
    Program host(Arguments(), Environment());
    ASSERT_TRUE(host.Start());
    ASSERT_TRUE(host.WaitForOutput(ReadyLine(), 15000)) << host.Err();
    EXPECT_EQ(FileMode(profileFile), 0600u);

    Client client;
    ASSERT_TRUE(client.Connect(static_cast<unsigned>(settings.tcpPort), 5000));
    ASSERT_TRUE(client.LogIn("op1", "pw1", 5000)) << client.Received();
    ASSERT_TRUE(client.Send("FA;"));
    EXPECT_TRUE(client.ReadUntil("FA00014074000;", 5000));
    client.Close();

    host.Signal(GetParam());
    ASSERT_TRUE(host.WaitForExit(15000));
    EXPECT_TRUE(host.ExitedNormally());
    EXPECT_EQ(host.ExitStatus(), 0);
    EXPECT_NE(host.Out().find("- END - End VEXA.\n"), std::string::npos);
    EXPECT_EQ(Count(Log(), LogEntry("- END - End VEXA.")), 1u);
    EXPECT_NE(radio->Received().find("AI0;"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignal, ::testing::Values(SIGTERM, SIGINT),
                         [](const auto& info) { return info.param == SIGTERM ? "sigterm" : "sigint"; });

struct FailureCase {
    const char* name;
    unsigned radioId;
    bool silent;
    bool noRadio;
    int tcpPortSetting;
    const char* option;
    std::vector<std::string> stderrLines;
};

class StartFailure : public Headless, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(StartFailure, printsTheReasonOnStandardErrorAndExits1)
{
    const FailureCase& c = GetParam();
    if (!c.noRadio) {
        radiosim::Options o;
        o.id = c.radioId;
        o.silent = c.silent;
        StartRadio(o);
    }
    if (c.tcpPortSetting)
        settings.tcpPort = c.tcpPortSetting;
    Program host(Arguments(c.option ? QStringList{c.option} : QStringList{}), Environment());
    ASSERT_TRUE(host.Start());
    ASSERT_TRUE(host.WaitForExit(15000));
    EXPECT_EQ(host.ExitStatus(), 1);
    for (const std::string& line : c.stderrLines)
        EXPECT_NE(host.Err().find(line), std::string::npos) << host.Err();
    EXPECT_EQ(host.Out().find("Successful"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StartFailure,
    ::testing::Values(
        FailureCase{"serialPortMissing", 20, false, true, 0, nullptr, {"- START - Failed. Can not open COM1.\n"}},
        FailureCase{"silentRadio",
                    20,
                    true,
                    false,
                    0,
                    nullptr,
                    {"- START - Failed. Can not detect Radio Model ID.\n",
                     "Error!  An unknown device is connected to COM1, or the Baud rate in this software does not "
                     "mutch in the Transceiver.\n Check the status of COM1.\n"}},
        FailureCase{"dunmoreWithoutOption",
                    19,
                    false,
                    false,
                    0,
                    nullptr,
                    {"- START - Failed. Radio is Unsupported.\n", "The transceiver connected to COM1 is Dunmore."}},
        FailureCase{"tcpPortSettingOutOfRange", 20, false, false, 80, nullptr, {"outside 1024..65535"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Headless, dunmoreIsServedWithTheOptionAnywhereInTheCommandLine)
{
    radiosim::Options o;
    o.id = 19;
    StartRadio(o);
    Program host(Arguments({"-EDMX"}), Environment());
    ASSERT_TRUE(host.Start());
    EXPECT_TRUE(host.WaitForOutput(ReadyLine(), 15000)) << host.Err();
    host.Signal(SIGTERM);
    ASSERT_TRUE(host.WaitForExit(15000));
    EXPECT_EQ(host.ExitStatus(), 0);
}

TEST_F(Headless, optionInsideTheProfilePathCountsToo)
{
    // The options are looked for in the whole command line, arguments' values included.
    radiosim::Options o;
    o.id = 19;
    StartRadio(o);
    profileFile = dir.Path() / "station-EDM.ini";
    profile = std::make_unique<quintar::SettingsProfile>(QString::fromStdString(profileFile.string()));
    Program host(Arguments(), Environment());
    ASSERT_TRUE(host.Start());
    EXPECT_TRUE(host.WaitForOutput(ReadyLine(), 15000)) << host.Err();
    host.Signal(SIGTERM);
    ASSERT_TRUE(host.WaitForExit(15000));
    EXPECT_EQ(host.ExitStatus(), 0);
}

TEST_F(Headless, radioFallingSilentEndsWithFullStopAndStatus3)
{
    StartRadio();
    Program host(Arguments(), Environment());
    ASSERT_TRUE(host.Start());
    ASSERT_TRUE(host.WaitForOutput(ReadyLine(), 15000)) << host.Err();
    radio->SetSilent(true);
    ASSERT_TRUE(host.WaitForExit(20000));
    EXPECT_EQ(host.ExitStatus(), 3);
    EXPECT_EQ(Count(Log(), LogEntry("- END - End VEXA.")), 1u);
    EXPECT_NE(radio->Received().find("AI0;"), std::string::npos);
}

TEST_F(Headless, secondHostOnTheSameProfileEndsAtOnceWithOneLine)
{
    StartRadio();
    Program first(Arguments(), Environment());
    ASSERT_TRUE(first.Start());
    ASSERT_TRUE(first.WaitForOutput(ReadyLine(), 15000)) << first.Err();
    radio->ClearReceived();

    Program second(Arguments(), Environment());
    ASSERT_TRUE(second.Start());
    ASSERT_TRUE(second.WaitForExit(10000));
    EXPECT_EQ(second.ExitStatus(), 1);
    EXPECT_EQ(Count(second.Err(), "\n"), 1u) << second.Err();
    EXPECT_NE(second.Err().find("another station host"), std::string::npos);
    EXPECT_EQ(radio->Received().find(";;"), std::string::npos);  // it never touched the radio

    first.Signal(SIGTERM);
    ASSERT_TRUE(first.WaitForExit(15000));
    EXPECT_EQ(first.ExitStatus(), 0);
    EXPECT_EQ(Count(Log(), "- START -"), 1u);
}

TEST_F(Headless, lockOfAKilledHostIsTakenOver)
{
    StartRadio();
    {
        Program first(Arguments(), Environment());
        ASSERT_TRUE(first.Start());
        ASSERT_TRUE(first.WaitForOutput(ReadyLine(), 15000));
        first.Signal(SIGKILL);
        ASSERT_TRUE(first.WaitForExit(10000));
    }
    Program second(Arguments(), Environment());
    ASSERT_TRUE(second.Start());
    EXPECT_TRUE(second.WaitForOutput(ReadyLine(), 15000)) << second.Err();
    second.Signal(SIGTERM);
    EXPECT_TRUE(second.WaitForExit(15000));
}

TEST_F(Headless, verbosePrintsConnectionEventsAndPanelChanges)
{
    settings.users = {{"op1", "pw1", "Remote desk", 0}};
    StartRadio();
    Program host(Arguments({"--verbose"}), Environment());
    ASSERT_TRUE(host.Start());
    ASSERT_TRUE(host.WaitForOutput(ReadyLine(), 15000));
    Client client;
    ASSERT_TRUE(client.Connect(static_cast<unsigned>(settings.tcpPort), 5000));
    ASSERT_TRUE(client.LogIn("op1", "pw1", 5000));
    EXPECT_TRUE(host.WaitForOutput("connection: op1 logged in from 127.0.0.1\n", 5000)) << host.Out();
    client.Close();
    EXPECT_TRUE(host.WaitForOutput("connection: closed\n", 5000)) << host.Out();
    for (const char* line : {"panel: model Corrin\n", "panel: CONTROL lamp on\n", "panel: description Remote desk\n",
                             "panel: session time Unlimited\n"})
        EXPECT_NE(host.Out().find(line), std::string::npos) << line;
    host.Signal(SIGTERM);
    EXPECT_TRUE(host.WaitForExit(15000));
}

TEST_F(Headless, accessLogAlertIsOneLineOnStandardErrorAndServiceGoesOn)
{
    StartRadio();
    Program host(Arguments(), Environment());
    // The log stays on, but its folder does not exist.
    profile->WriteString(quintar::keys::kFilePath, "VEXA Log File Path", (dir.Path() / "missing-folder").string());
    ASSERT_TRUE(host.Start());
    ASSERT_TRUE(host.WaitForOutput(ReadyLine(), 15000)) << host.Err();
    EXPECT_NE(host.Err().find("VEXA Log:File Open Error!!\n"), std::string::npos) << host.Err();
    host.Signal(SIGTERM);
    ASSERT_TRUE(host.WaitForExit(15000));
    EXPECT_EQ(host.ExitStatus(), 0);
}

TEST_F(Headless, withoutHeadlessOrSetupTheProgramExplainsAndExits2)
{
    Program program({"-EDM"});
    ASSERT_TRUE(program.Run());
    EXPECT_EQ(program.ExitStatus(), 2);
    EXPECT_NE(program.Err().find("--headless"), std::string::npos);
}

TEST_F(Headless, unknownArgumentExits2WithoutStarting)
{
    StartRadio();
    Program host(Arguments({"--colour"}), Environment());
    ASSERT_TRUE(host.Run());
    EXPECT_EQ(host.ExitStatus(), 2);
    EXPECT_EQ(radio->Received(), "");
}

}  // namespace
}  // namespace stationtest
