// `quintar --headless` as a real process with the simulated radio: readiness line, service over
// TCP, exit statuses 0, 1 and 3, and one host per profile.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <fstream>

#include "HeadlessFixture.h"

namespace stationtest {
namespace {

class StopSignal : public Headless, public ::testing::WithParamInterface<int> {};

TEST_P(StopSignal, servesAClientThenStopsWithEndLineAndStatus0)
{
    settings.users = {{"op1", "pw1", "", 0}};
    StartRadio();
    Program host(Arguments(), Environment());
    ASSERT_TRUE(Serving(host));
    EXPECT_EQ(FileMode(profileFile), 0600u);

    Client client;
    ASSERT_TRUE(LogIn(client));
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

INSTANTIATE_TEST_SUITE_P(Signals, StopSignal, ::testing::Values(SIGTERM, SIGINT, SIGHUP, SIGQUIT),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

TEST_P(StopSignal, transmitterKeyedByAClientIsPutBackToReceiveAsTheStopsLastCommand)
{
    settings.users = {{"op1", "pw1", "", 0}};
    StartRadio();
    Program host(Arguments(), Environment());
    ASSERT_TRUE(Serving(host));
    Client client;
    ASSERT_TRUE(LogIn(client));
    ASSERT_TRUE(client.Send("TX;"));
    ASSERT_TRUE(PumpUntil([&] { return radio->Transmitting(); }, 5000));
    radio->ClearReceived();

    host.Signal(GetParam());  // the client is still logged in
    ASSERT_TRUE(host.WaitForExit(15000));
    EXPECT_EQ(host.ExitStatus(), 0);
    const std::string received = radio->Received();
    EXPECT_EQ(received, "KY" + std::string(25, ' ') + ";AI0;RX;") << "receive last in the stop sequence";
    EXPECT_FALSE(radio->Transmitting());
}

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
        FailureCase{"serialPortMissing", 20, false, true, 0, nullptr, {"- START - Failed. Can not open COM1. (device "}},
        FailureCase{"silentRadio",
                    20,
                    true,
                    false,
                    0,
                    nullptr,
                    {"- START - Failed. Can not detect Radio Model ID.\n", "Error!  An unknown device is connected to COM1 (/",
                     "), or the Baud rate in this software does not mutch in the Transceiver.\n Check the status of COM1 (/"}},
        FailureCase{"dunmoreWithoutOption",
                    19,
                    false,
                    false,
                    0,
                    nullptr,
                    {"- START - Failed. Radio is Unsupported.\n", "The transceiver connected to COM1 (/", ") is Dunmore."}},
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
    ASSERT_TRUE(StoppedBySigterm(host));
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
    ASSERT_TRUE(StoppedBySigterm(host));
}

TEST_F(Headless, radioFallingSilentEndsWithFullStopAndStatus3)
{
    StartRadio();
    Program host(Arguments(), Environment());
    ASSERT_TRUE(Serving(host));
    radio->SetSilent(true);
    ASSERT_TRUE(host.WaitForExit(20000));
    EXPECT_EQ(host.ExitStatus(), 3);
    EXPECT_NE(host.Err().find("quintar: the watchdog stopped the station: the radio gave no answer to 4 polls in a row"),
              std::string::npos)
        << host.Err();
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
    ASSERT_TRUE(LogIn(client));
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
    profile->WriteString("File Path", "VEXA Log File Path", (dir.Path() / "missing-folder").string());
    ASSERT_TRUE(Serving(host));
    EXPECT_NE(host.Err().find("VEXA Log:File Open Error!! (cannot open " + (dir.Path() / "missing-folder").string() +
                              "/"),
              std::string::npos)
        << host.Err();
    EXPECT_NE(host.Err().find(".log: No such file or directory)\n"), std::string::npos) << host.Err();
    ASSERT_TRUE(StoppedBySigterm(host));
}

TEST_F(Headless, stopSignalDuringTheStartWaitsForItThenStopsCleanly)
{
    StartRadio();
    Program host(Arguments(), Environment());
    ASSERT_TRUE(host.Start());
    // The start is under way once the first wake-up write has reached the radio.
    ASSERT_TRUE(radio->WaitReceived(";;", 10000));
    host.Signal(SIGTERM);
    ASSERT_TRUE(host.WaitForExit(15000));
    EXPECT_EQ(host.ExitStatus(), 0) << host.Err();
    EXPECT_NE(host.Out().find(ReadyLine()), std::string::npos) << host.Out();
    EXPECT_EQ(Count(Log(), LogEntry("- END - End VEXA.")), 1u);
    EXPECT_LT(Log().find("- START - Successful"), Log().find("- END - End VEXA."));
}

TEST_F(Headless, missingOrForeignProfileIsAnErrorAndNothingIsTouched)
{
    StartRadio();
    const std::filesystem::path accounts = dir.Path() / "passwd";
    const std::string text = "root:x:0:0:root:/root:/bin/bash\n";
    std::ofstream(accounts) << text;
    ::chmod(accounts.c_str(), 0644);
    const std::filesystem::path folder = dir.Path() / "folder";
    std::filesystem::create_directory(folder);
    ::chmod(folder.c_str(), 0755);
    const struct {
        std::filesystem::path path;
        const char* says;
    } cases[] = {{dir.Path() / "typo.ini", "there is no profile"},
                 {accounts, "is not a profile"},
                 {folder, "is a folder"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        Program host({"--headless", "--profile", QString::fromStdString(c.path.string())}, Environment());
        ASSERT_TRUE(host.Run());
        EXPECT_EQ(host.ExitStatus(), 1);
        EXPECT_NE(host.Err().find(c.says), std::string::npos) << host.Err();
        EXPECT_NE(host.Err().find(c.path.string()), std::string::npos) << host.Err();
    }
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "typo.ini"));
    EXPECT_EQ(FileBytes(accounts), text);
    EXPECT_EQ(FileMode(accounts), 0644u);
    EXPECT_EQ(FileMode(folder), 0755u);
    EXPECT_EQ(radio->Received(), "") << "nothing may reach a serial line on defaults";
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
        EXPECT_EQ(e.path().string().find(".lock"), std::string::npos) << e.path();
}

TEST_F(Headless, startFailuresSayWhatTheLogLineCannot)
{
    // A serial device that is not there, by its path and the system's reason.
    {
        settings.device = (dir.Path() / "ttyUSB7").string();
        Program host(Arguments(), Environment());
        ASSERT_TRUE(host.Run());
        EXPECT_EQ(host.ExitStatus(), 1);
        EXPECT_NE(host.Err().find("- START - Failed. Can not open COM1. (device " + settings.device +
                                  ": No such file or directory; set the device with"),
                  std::string::npos)
            << host.Err();
    }
    // A TCP port another program holds.
    StartRadio();
    const int holder = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(settings.tcpPort));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(holder, 1), 0);
    Program host(Arguments(), Environment());
    ASSERT_TRUE(host.Run());
    ::close(holder);
    EXPECT_EQ(host.ExitStatus(), 1);
    EXPECT_NE(host.Err().find("- START - Failed. Can not open socket:" + std::to_string(settings.tcpPort) +
                              ". (TCP port " + std::to_string(settings.tcpPort) + ": Address already in use"),
              std::string::npos)
        << host.Err();
}

TEST_F(Headless, readOnlyProfileFolderIsNotMistakenForAnotherHost)
{
    StartRadio();
    const QStringList arguments = Arguments();
    // Root may write anywhere: then the host runs as an unprivileged account that owns the
    // profile but may not write into its folder.
    Program host(arguments, Environment());
    if (::geteuid() == 0) {
        constexpr uid_t kNobody = 65534;
        ASSERT_EQ(::chown(profileFile.c_str(), kNobody, kNobody), 0);
        host.RunAs(kNobody);
    }
    ::chmod(dir.Path().c_str(), 0555);
    ASSERT_TRUE(host.Run());
    ::chmod(dir.Path().c_str(), 0755);
    EXPECT_EQ(host.ExitStatus(), 1);
    EXPECT_EQ(host.Err().find("another station host"), std::string::npos) << host.Err();
    EXPECT_NE(host.Err().find("cannot create the lock file"), std::string::npos) << host.Err();
}

TEST_F(Headless, passwordChangeThatCannotBeSavedFailsAndAChangeBySetupHoldsAtTheNextLogin)
{
    // Descriptions make the profile larger than the log will grow, so a size limit stops the
    // profile's save and nothing else.
    settings.users = {{"op1", "pw1", std::string(128, 'd'), 0}};
    for (int i = 2; i <= 10; ++i)
        settings.users.push_back({"user" + std::to_string(i), "pw", std::string(128, 'd'), 0});
    StartRadio();
    const QStringList arguments = Arguments();
    const auto before = FileBytes(profileFile);
    ASSERT_TRUE(before && before->size() > 1500);
    Program host(arguments, Environment());
    host.LimitFileSize(static_cast<long>(before->size()) - 1);
    ASSERT_TRUE(Serving(host));

    {
        Client client;
        ASSERT_TRUE(LogIn(client));
        ASSERT_TRUE(client.Send("@@AI1;@@CPunsaved;"));
        EXPECT_TRUE(client.ReadUntil("@@CP0;", 5000)) << client.Received();
        EXPECT_EQ(client.Received().find("@@CP1;"), std::string::npos);
    }
    EXPECT_TRUE(PumpUntil([&] { return Count(Log(), LogEntry("127.0.0.1 CHGPWD op1 Change Passowrd NG.")) == 1; }, 5000))
        << Log();
    EXPECT_EQ(FileBytes(profileFile), before);
    auto logsIn = [&](const std::string& password) {
        Client client;
        return client.Connect(static_cast<unsigned>(settings.tcpPort), 5000) && client.LogIn("op1", password, 5000);
    };
    EXPECT_FALSE(logsIn("unsaved")) << "the host must not hold a password the file does not";
    EXPECT_TRUE(logsIn("pw1"));

    // The operator resets it with the setup command while the host runs.
    Program setup({"setup", "--profile", QString::fromStdString(profileFile.string()), "user", "edit", "op1",
                   "--password-stdin"});
    ASSERT_TRUE(setup.Run("reset-pw\n"));
    ASSERT_EQ(setup.ExitStatus(), 0) << setup.Err();
    EXPECT_TRUE(logsIn("reset-pw"));
    EXPECT_FALSE(logsIn("pw1"));

    ASSERT_TRUE(StoppedBySigterm(host));
}

TEST_F(Headless, helpListsEveryModeOptionVariableAndExitStatus)
{
    for (const QStringList& args : {QStringList{"--help"}, QStringList{"--headless", "--help"}}) {
        Program program(args);
        ASSERT_TRUE(program.Run());
        EXPECT_EQ(program.ExitStatus(), 0);
        for (const char* word : {"--headless", "setup", "--profile", "-EDM", "-ELM", "--verbose", "--version",
                                 "QUINTAR_PROFILE", "QUINTAR_LISTEN_ADDRESS", "SIGHUP", "\n  0 ", "\n  1 ", "\n  2 ",
                                 "\n  3 "})
            EXPECT_NE(program.Out().find(word), std::string::npos) << word;
    }
    Program unknown({"--colour"});
    ASSERT_TRUE(unknown.Run());
    EXPECT_EQ(unknown.ExitStatus(), 2);
    EXPECT_NE(unknown.Err().find("unknown option --colour"), std::string::npos) << unknown.Err();
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
