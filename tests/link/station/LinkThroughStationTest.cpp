// The link against the real station host and the simulated radio: rigctl operates the radio
// through the link's terminal (and its TCP port), the station's reports never reach it, refused
// logins and the session limit end the link with their reason and without knocking again, and the
// link outlives a restart of the station; over TLS it is pinned by the fingerprint the station
// prints.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <filesystem>
#include <functional>

#include "LinkStationSupport.h"
#include "LinkTestSupport.h"
#include "SessionClient.h"

namespace linkstationtest {
namespace {

constexpr int kPatienceMs = 15000;
using Radio = const radiosim::RadioSim&;

// Frequency, mode, VFO and the transmitter, each read and set, checked on rigctl's output and on
// the radio.
const std::vector<testsupport::CatStep>& OperatingSteps()
{
    static const std::vector<testsupport::CatStep> steps = {
        {"f", "Frequency: 14074000\n", false, [](Radio r) { return r.FrequencyA() == 14074000u; }},
        {"F 14250000", "", false, [](Radio r) { return r.FrequencyA() == 14250000u; }},
        {"f", "Frequency: 14250000\n", false, nullptr},
        {"m", "Mode: USB\nPassband: ", true, [](Radio r) { return r.Mode() == 2u; }},
        {"M CW 0", "", false, [](Radio r) { return r.Mode() == 3u; }},
        {"m", "Mode: CW\nPassband: ", true, nullptr},
        {"M USB 0", "", false, [](Radio r) { return r.Mode() == 2u; }},
        {"v", "VFO: VFOA\n", false, [](Radio r) { return r.ReceiveVfo() == 0u; }},
        {"V VFOB", "", false, [](Radio r) { return r.ReceiveVfo() == 1u && r.TransmitVfo() == 1u; }},
        {"v", "VFO: VFOB\n", false, nullptr},
        {"F 7100000", "", false, [](Radio r) { return r.FrequencyB() == 7100000u && r.FrequencyA() == 14250000u; }},
        {"f", "Frequency: 7100000\n", false, nullptr},
        {"V VFOA", "", false, [](Radio r) { return r.ReceiveVfo() == 0u && r.TransmitVfo() == 0u; }},
        {"t", "PTT: 0\n", false, [](Radio r) { return !r.Transmitting(); }},
        {"T 1", "", false, [](Radio r) { return r.Transmitting(); }},
        {"t", "PTT: 1\n", false, nullptr},
        {"T 0", "", false, [](Radio r) { return !r.Transmitting(); }},
        {"t", "PTT: 0\n", false, nullptr},
    };
    return steps;
}

class RigctlThroughLink : public Station, public ::testing::WithParamInterface<CatModel> {
protected:
    RigctlThroughLink() { radioOptions.id = GetParam().identity; }
};

TEST_P(RigctlThroughLink, operatesTheRadioAndNeverSeesTheStationsReports)
{
    SKIP_WITHOUT_HAMLIB();
    StartHost(GetParam().hostOptions);
    auto link = StartLink({"--user", "op1", "--session-clock"});
    ASSERT_TRUE(link);
    ASSERT_TRUE(link->WaitForOutput("logged in to 127.0.0.1:" + std::to_string(tcpPort) + " as op1", kPatienceMs))
        << link->Out() << link->Err();
    EXPECT_EQ(std::filesystem::read_symlink(LinkPath()).string().rfind("/dev/pts/", 0), 0u);

    radio->ClearSent();
    Rigctl cat(GetParam().hamlibModel, LinkPath());
    ASSERT_TRUE(cat.Open()) << cat.Process().Out() << cat.Process().Err();
    testsupport::RunCatSteps(cat, *radio, OperatingSteps());
    EXPECT_EQ(radio->Sent().find("?;"), std::string::npos) << "a command the radio did not take:\n"
                                                            << radio->Received() << "\n" << radio->Sent();
    testsupport::QuitCat(cat);
    // The link's own "@@ST" and "@@AI" answers arrived, and went no further.
    EXPECT_TRUE(testsupport::WaitUntil([&] { return StatusNumber("reports-kept") >= 2; }, 5000));
    EXPECT_EQ(radio->Received().find("@@"), std::string::npos);

    // Ctrl-C: the link hangs up, hands the pushes back switched off and removes its symlink.
    link->Signal(SIGINT);
    ASSERT_TRUE(link->WaitForExit(kPatienceMs));
    EXPECT_EQ(link->ExitStatus(), 0) << link->Err();
    EXPECT_TRUE(link->WaitForOutput("quintar-link: stopped\n", 0));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(LinkPath())));
    EXPECT_FALSE(std::filesystem::exists(LinkStatusFile()));
    EXPECT_TRUE(testsupport::WaitUntil([&] { return AccessLog().find("CLOSE op1 Connection Close") != std::string::npos; },
                                       5000))
        << AccessLog();
    testsupport::SessionClient next;
    ASSERT_TRUE(next.ConnectAndGreet(tcpPort, kPatienceMs));
    ASSERT_TRUE(next.Send("UID:op1;PWD:pw1;@@AI;"));
    EXPECT_NE(next.ReadUntil("@@AI0;", kPatienceMs).find("PWD:OK;>@@UE1;@@AI0;"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Models, RigctlThroughLink,
                         ::testing::Values(kIdentity20, kIdentity19),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Station, rigctlReachesTheRadioThroughTheLinksTcpPort)
{
    SKIP_WITHOUT_HAMLIB();
    StartHost();
    auto link = StartLink({"-u", "op1", "--tcp-port", "0"});
    ASSERT_TRUE(link);
    ASSERT_TRUE(link->WaitForOutput("logged in", kPatienceMs)) << link->Out() << link->Err();
    const std::string out = link->Out();
    const std::size_t at = out.find("radio at 127.0.0.1:");
    ASSERT_NE(at, std::string::npos) << out;
    const std::string address = out.substr(at + 9, out.find('\n', at) - at - 9);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(LinkPath()))) << "a symlink in TCP mode";

    Child cat(FindOnPath("rigctl"), {"-m", "2028", "-r", address, "F", "14100000", "f"});
    ASSERT_TRUE(cat.Run({}, 30000));
    EXPECT_EQ(cat.ExitStatus(), 0) << cat.Err();
    EXPECT_EQ(cat.Out(), "14100000\n");
    EXPECT_EQ(radio->FrequencyA(), 14100000u);
    link->Signal(SIGTERM);
    ASSERT_TRUE(link->WaitForExit(kPatienceMs));
    EXPECT_EQ(link->ExitStatus(), 0);
}

TEST_F(Station, asksThePasswordOnTheTerminalWithoutEcho)
{
    StartHost();
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char terminal[128] = {};
    ASSERT_TRUE(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0 &&
                ::ptsname_r(master, terminal, sizeof terminal) == 0);
    Child link(QUINTAR_LINK_PROGRAM, {"--link", LinkPath(), "-u", "op1", "127.0.0.1:" + std::to_string(tcpPort)});
    link.SetTerminal(terminal);
    ASSERT_TRUE(link.Start());
    auto readTerminal = [&](const std::string& until, int timeoutMs) {
        std::string got;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got.find(until) == std::string::npos && std::chrono::steady_clock::now() < end) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            char buffer[256];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n > 0)
                got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    };
    const std::string prompt = "Password for op1 at 127.0.0.1:" + std::to_string(tcpPort) + ": ";
    EXPECT_EQ(readTerminal(prompt, kPatienceMs), prompt);
    ASSERT_EQ(::write(master, "pw1\n", 4), 4);
    ASSERT_TRUE(link.WaitForOutput("logged in", kPatienceMs)) << link.Out() << link.Err();
    // The line end shows, the password does not.
    const std::string shown = readTerminal("pw1", 300);
    EXPECT_EQ(shown.find("pw1"), std::string::npos) << shown;
    EXPECT_NE(shown.find('\n'), std::string::npos) << shown;
    link.Signal(SIGTERM);
    ASSERT_TRUE(link.WaitForExit(kPatienceMs));
    EXPECT_EQ(link.ExitStatus(), 0);
    ::close(master);
}

TEST_F(Station, refusesAnOpenPasswordFileAndAMissingTerminalBeforeConnecting)
{
    const std::string file = (dir.Path() / "pw").string();
    {
        std::ofstream(file) << "pw1\n";
    }
    ::chmod(file.c_str(), 0644);
    Child open(QUINTAR_LINK_PROGRAM, {"--link", LinkPath(), "-u", "op1", "--password-file", file, "127.0.0.1:1"});
    ASSERT_TRUE(open.Run());
    EXPECT_EQ(open.ExitStatus(), 2);
    EXPECT_NE(open.Err().find("its mode is 0644"), std::string::npos) << open.Err();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(LinkPath())));

    Child noTerminal(QUINTAR_LINK_PROGRAM, {"--link", LinkPath(), "-u", "op1", "127.0.0.1:1"});
    ASSERT_TRUE(noTerminal.Run());
    EXPECT_EQ(noTerminal.ExitStatus(), 2);
    EXPECT_NE(noTerminal.Err().find("no terminal to ask the password on"), std::string::npos) << noTerminal.Err();
    EXPECT_EQ(noTerminal.Out(), "");
}

TEST_F(Station, wrongPasswordEndsTheLinkWithItsReasonAndNoSecondAttempt)
{
    StartHost();
    auto link = StartLink({"-u", "op1"}, "not-the-password");
    ASSERT_TRUE(link);
    ASSERT_TRUE(link->WaitForExit(kPatienceMs)) << link->Out();
    EXPECT_EQ(link->ExitStatus(), 3);
    EXPECT_NE(link->Out().find("quintar-link: login refused: wrong user id or password; not trying again"),
              std::string::npos)
        << link->Out();
    EXPECT_EQ(Count(link->Out(), "connecting to"), 1u);
    EXPECT_EQ(Count(AccessLog(), "OPEN - Connection Open"), 1u) << AccessLog();
    EXPECT_EQ(Count(AccessLog(), "LOGIN op1 Password NG.(1)"), 1u) << AccessLog();

    // Told to keep trying, it waits the longest pause; the station sees one attempt in the window.
    auto persistent = StartLink({"-u", "op1", "--keep-trying"}, "not-the-password");
    ASSERT_TRUE(persistent);
    ASSERT_TRUE(persistent->WaitForOutput("wrong user id or password; next attempt in 60 s", kPatienceMs))
        << persistent->Out();
    EXPECT_FALSE(persistent->WaitForOutput("(attempt 2)", 3000));
    EXPECT_EQ(Count(AccessLog(), "OPEN - Connection Open"), 2u) << AccessLog();
    EXPECT_EQ(Count(AccessLog(), "Login failed"), 0u);
    persistent->Signal(SIGTERM);
    ASSERT_TRUE(persistent->WaitForExit(kPatienceMs));
    EXPECT_EQ(persistent->ExitStatus(), 0);
}

TEST_F(Station, disabledUserEndsTheLinkWithItsReason)
{
    Setup({"user", "add", "op2", "--disabled", "--password-stdin"}, "pw2\n");
    StartHost();
    auto link = StartLink({"-u", "op2"}, "pw2");
    ASSERT_TRUE(link);
    ASSERT_TRUE(link->WaitForExit(kPatienceMs)) << link->Out();
    EXPECT_EQ(link->ExitStatus(), 3);
    EXPECT_NE(link->Out().find("quintar-link: login refused: the user is disabled at the station; not trying again"),
              std::string::npos)
        << link->Out();
    EXPECT_EQ(Count(AccessLog(), "OPEN - Connection Open"), 1u) << AccessLog();
    EXPECT_EQ(Count(AccessLog(), "LOGIN op2 Password OK.(User Disabled)"), 1u) << AccessLog();
}

TEST_F(Station, waitsHalfAMinuteWhileAnotherClientHoldsTheStation)
{
    StartHost();
    testsupport::SessionClient other;
    ASSERT_TRUE(other.ConnectAndGreet(tcpPort, kPatienceMs));
    ASSERT_TRUE(other.Send("UID:op1;PWD:pw1;"));
    ASSERT_NE(other.ReadUntil("@@UE1;", kPatienceMs).find("PWD:OK;>@@UE1;"), std::string::npos);
    // The login line may follow the reply to the client by a moment.
    ASSERT_TRUE(testsupport::WaitUntil([&] { return AccessLog().find("LOGIN op1 Password OK.") != std::string::npos; },
                                       kPatienceMs))
        << AccessLog();
    const std::string logBefore = AccessLog();

    auto link = StartLink({"-u", "op1"});
    ASSERT_TRUE(link);
    EXPECT_TRUE(link->WaitForOutput("the station closed the connection before its greeting (another client is "
                                    "connected, or this address is blocked after failed logins); next attempt in 30 s",
                                    kPatienceMs))
        << link->Out();
    EXPECT_EQ(AccessLog(), logBefore) << "a turned-away connection is not logged";
    link->Signal(SIGTERM);
    ASSERT_TRUE(link->WaitForExit(kPatienceMs));
    EXPECT_EQ(link->ExitStatus(), 0);
    EXPECT_EQ(Count(link->Out(), "connecting to"), 1u);
}

TEST_F(Station, linkSurvivesAStationRestart)
{
    SKIP_WITHOUT_HAMLIB();
    StartHost();
    auto link = StartLink({"-u", "op1"});
    ASSERT_TRUE(link);
    ASSERT_TRUE(link->WaitForOutput("logged in", kPatienceMs)) << link->Out() << link->Err();
    Child first(FindOnPath("rigctl"), {"-m", "2028", "-r", LinkPath(), "F", "3573000", "f"});
    ASSERT_TRUE(first.Run({}, 30000));
    EXPECT_EQ(first.Out(), "3573000\n") << first.Err();

    StopHost();
    ASSERT_TRUE(link->WaitForOutput("the station closed the connection; next attempt in 1 s", kPatienceMs))
        << link->Out();
    // While the station is away the terminal stays where it is.
    EXPECT_EQ(std::filesystem::read_symlink(LinkPath()).string().rfind("/dev/pts/", 0), 0u);
    StartHost();
    ASSERT_TRUE(link->WaitForOutput("logged in", 70000, 2)) << link->Out();
    // 1, 2, 4 seconds apart, and no more than 4 while the station is only restarting: a handful of
    // attempts while the host was down and starting.
    EXPECT_LE(Count(link->Out(), "connecting to"), 6u) << link->Out();
    const std::string out = link->Out();
    for (std::size_t at = out.find("next attempt in "); at != std::string::npos; at = out.find("next attempt in ", at + 1))
        EXPECT_LE(std::stoi(out.substr(at + 16)), 4) << out;

    Child second(FindOnPath("rigctl"), {"-m", "2028", "-r", LinkPath(), "f", "F", "7074000", "f"});
    ASSERT_TRUE(second.Run({}, 30000));
    EXPECT_EQ(second.Out(), "3573000\n7074000\n") << second.Err();
    EXPECT_EQ(radio->FrequencyA(), 7074000u);
    link->Signal(SIGTERM);
    ASSERT_TRUE(link->WaitForExit(kPatienceMs));
    EXPECT_EQ(link->ExitStatus(), 0);
}

// One minute: the station's shortest session limit. Meanwhile the station pushes its clock every
// second, the program is quiet for longer than the idle limit, and rigctl still works near the end.
TEST_F(Station, sessionLimitEndsTheLinkAfterAQuietSessionWithoutReports)
{
    SKIP_WITHOUT_HAMLIB();
    Setup({"set", "session-time", "1"});
    StartHost();
    auto link = StartLink({"-u", "op1", "--session-clock"});
    ASSERT_TRUE(link);
    ASSERT_TRUE(link->WaitForOutput("session limit 00:01:00", kPatienceMs)) << link->Out() << link->Err();

    // A program reading raw while the pushes come gets nothing but the radio's answers.
    {
        linktest::Program program(LinkPath());
        ASSERT_TRUE(program.Ok());
        const std::string answer = "FA00014074000;";
        std::string expected;
        const long pushesBefore = StatusNumber("reports-kept");
        while (StatusNumber("session-elapsed") < 4) {
            ASSERT_TRUE(program.Write("FA;"));
            expected += answer;
            ASSERT_EQ(program.ReadUntil(expected, kPatienceMs), expected);
        }
        EXPECT_GE(StatusNumber("reports-kept") - pushesBefore, 3) << "the station pushed no clock";
    }

    // Quiet for longer than the station's idle limit: the link keeps the session.
    ASSERT_TRUE(testsupport::WaitUntil([&] { return StatusNumber("session-elapsed") >= 40; }, 50000));
    EXPECT_EQ(StatusValue("state"), "logged-in");
    Child cat(FindOnPath("rigctl"), {"-m", "2028", "-r", LinkPath(), "f"});
    ASSERT_TRUE(cat.Run({}, 15000));
    EXPECT_EQ(cat.Out(), "14074000\n") << cat.Err();

    Child status(QUINTAR_LINK_PROGRAM, {"--status", "--link", LinkPath()});
    ASSERT_TRUE(status.Run());
    EXPECT_EQ(status.ExitStatus(), 0) << status.Err();
    EXPECT_NE(status.Out().find(" of 00:01:00, logged in since "), std::string::npos) << status.Out();
    EXPECT_NE(status.Out().find("session:  00:00:4"), std::string::npos) << status.Out();

    ASSERT_TRUE(link->WaitForExit(30000)) << link->Out();
    EXPECT_EQ(link->ExitStatus(), 4);
    EXPECT_NE(link->Out().find("quintar-link: session limit reached (00:01:00); not trying again"), std::string::npos)
        << link->Out();
    const std::string log = AccessLog();
    EXPECT_EQ(Count(log, "OPEN - Connection Open"), 1u) << log;
    EXPECT_EQ(Count(log, "SESSION op1 Session timeout."), 1u) << log;
    EXPECT_EQ(Count(log, "CONN op1 timeout."), 0u) << log;
}

}  // namespace
}  // namespace linkstationtest

namespace linkstationtest {
namespace {

// The link's TLS against the real station, whose only port is its TLS port (plain off): pinned by
// the fingerprint the station printed, a command answered; pinned by another, refused before login.
struct TlsPin {
    const char* name;
    bool right;
};

class StationOverTls : public Station, public ::testing::WithParamInterface<TlsPin> {};

TEST_P(StationOverTls, linkLogsInPinnedByTheStationsFingerprintOrRefusesAnother)
{
    Setup({"tls"});
    Setup({"set", "plain", "off"});
    Setup({"set", "tls-port", std::to_string(tcpPort)});
    StartHost();
    ASSERT_TRUE(host->WaitForOutput("TLS port " + std::to_string(tcpPort) + ", certificate SHA-256 ", kPatienceMs));
    const std::string out = host->Out();
    const std::string printed = out.substr(out.find("SHA-256 ") + 8, 95);
    const std::string pin =
        GetParam().right ? printed : "00:11:22:33:44:55:66:77:88:99:AA:BB:CC:DD:EE:FF:00:11:22:33:44:55:66:77:88:99:AA:BB:CC:DD:EE:FF";
    auto link = StartLink({"-u", "op1", "--tls", "--fingerprint", pin});
    ASSERT_TRUE(link);
    if (!GetParam().right) {
        ASSERT_TRUE(link->WaitForExit(kPatienceMs)) << link->Out();
        EXPECT_NE(link->ExitStatus(), 0);
        EXPECT_NE(link->Out().find("the station presented " + printed), std::string::npos) << link->Out();
        EXPECT_EQ(AccessLog().find("LOGIN op1"), std::string::npos) << AccessLog();
        return;
    }
    ASSERT_TRUE(link->WaitForOutput("logged in", kPatienceMs)) << link->Out() << link->Err();
    const int fd = OpenRaw(LinkPath());
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "FA;", 3), 3);
    std::string answer;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
    while (answer.find("FA00014074000;") == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        char buffer[64];
        if (::poll(&p, 1, 200) > 0) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0)
                answer.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    EXPECT_EQ(answer, "FA00014074000;");
    EXPECT_NE(AccessLog().find("127.0.0.1 OPEN - Connection Open (TLS)"), std::string::npos) << AccessLog();
    link->Signal(SIGTERM);
    ASSERT_TRUE(link->WaitForExit(kPatienceMs));
}

// Trust on first use against the real station: the first contact stores the fingerprint the station
// printed; after `quintar setup tls --renew` the link refuses the new certificate, names both
// fingerprints and the file, and never logs in.
TEST_F(Station, linkTrustsTheStationOnFirstContactAndRefusesItsRenewedCertificate)
{
    Setup({"tls"});
    Setup({"set", "plain", "off"});
    Setup({"set", "tls-port", std::to_string(tcpPort)});
    const auto fingerprint = [this] {
        const std::string marker = "certificate SHA-256 ";
        EXPECT_TRUE(host->WaitForOutput(marker, kPatienceMs)) << host->Out();
        const std::string out = host->Out();
        return out.substr(out.find(marker) + marker.size(), 95);
    };
    const auto tlsLink = [this] { return StartLink({"-u", "op1", "--tls"}); };
    StartHost();
    const std::string first = fingerprint();
    auto link = tlsLink();
    ASSERT_TRUE(link);
    ASSERT_TRUE(link->WaitForOutput("logged in", kPatienceMs)) << link->Out() << link->Err();
    const std::string known = (dir.Path() / "state" / "known-stations").string();
    EXPECT_NE(link->Out().find("fingerprint " + first + ", stored in " + known), std::string::npos) << link->Out();
    link->Signal(SIGTERM);
    ASSERT_TRUE(link->WaitForExit(kPatienceMs));
    StopHost();

    Setup({"tls", "--renew"});
    StartHost();
    const std::string renewed = fingerprint();
    ASSERT_NE(renewed, first);
    link = tlsLink();
    ASSERT_TRUE(link);
    ASSERT_TRUE(link->WaitForExit(kPatienceMs)) << link->Out();
    EXPECT_EQ(link->ExitStatus(), 1);
    for (const std::string& said : {std::string("has CHANGED"), "presented " + renewed, first, known})
        EXPECT_NE(link->Out().find(said), std::string::npos) << said << "\n" << link->Out();
    EXPECT_EQ(Count(AccessLog(), "LOGIN op1 Password OK."), 1u) << "not exactly the first contact logged in:\n"
                                                                << AccessLog();
}

INSTANTIATE_TEST_SUITE_P(Pins, StationOverTls, ::testing::Values(TlsPin{"stationsOwn", true}, TlsPin{"another", false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace linkstationtest
