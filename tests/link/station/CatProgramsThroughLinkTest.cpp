// CAT programs through the link as on a radio of their own: rigctl gives the same answers through
// link and station as on a simulated radio alone on its line, split works every time, rigctld
// serves several clients at once, and the station's ONAIR follows the transmitter whatever the
// radio's auto-information.
#include <chrono>
#include <csignal>
#include <thread>

#include "LinkStationSupport.h"
#include "SessionClient.h"

namespace linkstationtest {
namespace {

constexpr int kPatienceMs = 15000;

class CatThroughLink : public Station, public ::testing::WithParamInterface<CatModel> {
protected:
    CatThroughLink() { radioOptions.id = GetParam().identity; }

    void StartStationAndLink(std::vector<std::string> hostOptions = {})
    {
        hostOptions.insert(hostOptions.end(), GetParam().hostOptions.begin(), GetParam().hostOptions.end());
        StartHost(hostOptions);
        link = StartLink({"-u", "op1"});
        ASSERT_TRUE(link);
        ASSERT_TRUE(link->WaitForOutput("logged in", kPatienceMs)) << link->Out() << link->Err();
    }

    std::unique_ptr<Child> link;
};

TEST_P(CatThroughLink, rigctlGetsTheAnswersOfARadioOnItsOwnLineAndSplitsEveryTime)
{
    SKIP_WITHOUT_HAMLIB();
    StartStationAndLink();
    // The same radio at home: alone on its line, as it was when switched on.
    radiosim::RadioSim home(radioOptions);
    ASSERT_TRUE(home.Start());
    ASSERT_TRUE(SwitchAutoInformationOff(home.SlavePath()));
    ASSERT_TRUE(SwitchAutoInformationOff(LinkPath()));
    Rigctl direct(GetParam().hamlibModel, home.SlavePath(), kUncachedRigctl);
    Rigctl linked(GetParam().hamlibModel, LinkPath(), kUncachedRigctl);
    ASSERT_TRUE(direct.Open()) << direct.Process().Out() << direct.Process().Err();
    ASSERT_TRUE(linked.Open()) << linked.Process().Out() << linked.Process().Err();

    std::vector<std::optional<std::string>> atHome;
    std::thread other([&] { atHome = RunAll(direct, CatMatrix()); });
    const std::vector<std::optional<std::string>> throughLink = RunAll(linked, CatMatrix());
    other.join();
    for (std::size_t i = 0; i < CatMatrix().size(); ++i) {
        SCOPED_TRACE(CatMatrix()[i]);
        ASSERT_TRUE(atHome[i]) << "rigctl stalled on the radio's own line\n" << direct.Process().Out();
        ASSERT_TRUE(throughLink[i]) << "rigctl stalled through the link\n" << linked.Process().Out();
        EXPECT_EQ(Comparable(*throughLink[i]), Comparable(*atHome[i]));
    }

    for (Rigctl* cat : {&direct, &linked}) {
        ASSERT_TRUE(cat->Process().Write("q\n"));
        ASSERT_TRUE(cat->Process().WaitForExit(30000));
        EXPECT_EQ(cat->Process().ExitStatus(), 0);
    }

    // Split as a logging program sets and reads it, with rigctl as it comes. The radio keeps
    // reporting every change for the station's panel; none of it reaches the program's reads.
    Rigctl cat(GetParam().hamlibModel, LinkPath());
    ASSERT_TRUE(cat.Open()) << cat.Process().Out() << cat.Process().Err();
    for (int round = 1; round <= 20; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        EXPECT_EQ(cat.Run("S 1 VFOB"), "");
        EXPECT_EQ(cat.Run("s"), "Split: 1\nTX VFO: VFOB\n");
        EXPECT_TRUE(radio->TransmitVfo() == 1u && radio->ReceiveVfo() == 0u);
        EXPECT_EQ(cat.Run("S 0 VFOA"), "");
        EXPECT_EQ(cat.Run("s"), "Split: 0\nTX VFO: VFOA\n");
        EXPECT_TRUE(radio->TransmitVfo() == 0u && radio->ReceiveVfo() == 0u);
    }
    ASSERT_TRUE(cat.Process().Write("q\n"));
    ASSERT_TRUE(cat.Process().WaitForExit(30000));
    EXPECT_EQ(cat.Process().Out().find("error"), std::string::npos) << cat.Process().Out();
    EXPECT_EQ(radio->Ai(), 2u) << "the station's radio no longer reports for its panel";
    EXPECT_TRUE(testsupport::WaitUntil([&] { return StatusNumber("radio-reports-dropped") > 0; }, kPatienceMs))
        << "no report of the radio was there to keep back";
    EXPECT_EQ(StatusValue("program-auto-information"), "0");
    EXPECT_EQ(radio->Received().find("AI0;"), std::string::npos) << "the program's auto-information reached the radio";
}

INSTANTIATE_TEST_SUITE_P(Models, CatThroughLink,
                         ::testing::Values(kIdentity20, kIdentity19),
                         [](const auto& info) { return std::string(info.param.name); });

// rigctld on the link, as the programs built on Hamlib reach a radio.
class Rigctld {
public:
    explicit Rigctld(const std::string& radioPath)
        : port_(testsupport::FreeTcpPort()),
          daemon_(FindOnPath("rigctld"), {"-m", "2028", "-r", radioPath, "-T", "127.0.0.1", "-t", std::to_string(port_)})
    {
    }
    ~Rigctld() { daemon_.Signal(SIGTERM); }
    bool Start() { return daemon_.Start(); }
    // A client, once rigctld has opened the radio and listens.
    std::unique_ptr<testsupport::SessionClient> Connect()
    {
        auto client = std::make_unique<testsupport::SessionClient>();
        if (!testsupport::WaitUntil([&] { return client->Connect(port_); }, kPatienceMs))
            return nullptr;
        return client;
    }
    Child& Process() { return daemon_; }

private:
    unsigned port_;
    Child daemon_;
};

// One command in rigctld's extended form: its answer up to and including its "RPRT" line.
std::string Ask(testsupport::SessionClient& client, const std::string& command)
{
    if (!client.Send("+" + command + "\n"))
        return {};
    std::string answer = client.ReadUntil("RPRT ", 10000);
    return answer + client.ReadUntil("\n", 10000);
}

bool Succeeded(const std::string& answer)
{
    return answer.size() >= 7 && answer.compare(answer.size() - 7, 7, "RPRT 0\n") == 0;
}

// The last ONAIR line of the headless host's panel: "on", "off", or nothing yet.
std::string OnAir(Child& host)
{
    const std::string& out = host.Out();
    const std::size_t at = out.rfind("panel: ONAIR ");
    return at == std::string::npos ? std::string() : out.substr(at + 13, out.find('\n', at) - at - 13);
}

using CatThroughLinkStation = CatThroughLink;

TEST_P(CatThroughLinkStation, rigctldServesThreeClientsAtOnceForTwentySeconds)
{
    SKIP_WITHOUT_HAMLIB();
    StartStationAndLink();
    Rigctld daemon(LinkPath());
    ASSERT_TRUE(daemon.Start());

    struct Client {
        std::vector<std::string> commands;
        std::unique_ptr<testsupport::SessionClient> connection;
        std::size_t rounds = 0;
        std::vector<std::string> failures;
    };
    const std::vector<std::vector<std::string>> work = {
        {"\\get_freq", "F 14074000", "\\get_mode"},
        {"\\get_split_vfo", "\\get_vfo", "l STRENGTH"},
        {"\\get_ptt", "\\get_level RFPOWER", "U NB 1", "\\get_func NB"},
    };
    std::vector<Client> clients(work.size());
    for (std::size_t i = 0; i < work.size(); ++i) {
        clients[i].commands = work[i];
        clients[i].connection = daemon.Connect();
        ASSERT_TRUE(clients[i].connection) << daemon.Process().Out() << daemon.Process().Err();
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    std::vector<std::thread> threads;
    for (Client& c : clients)
        threads.emplace_back([&c, end] {
            while (std::chrono::steady_clock::now() < end && c.failures.size() < 5) {
                for (const std::string& command : c.commands) {
                    const std::string answer = Ask(*c.connection, command);
                    if (!Succeeded(answer))
                        c.failures.push_back(command + ": " + answer);
                }
                ++c.rounds;
            }
        });
    for (std::thread& t : threads)
        t.join();
    for (const Client& c : clients) {
        SCOPED_TRACE(c.commands.front());
        EXPECT_GT(c.rounds, 0u);
        EXPECT_TRUE(c.failures.empty()) << c.failures.front();
    }

    // Twenty seconds into a session without a limit, its time is counted from the login, not from
    // the station's last answer to the link's keep-alive.
    Child status(QUINTAR_LINK_PROGRAM, {"--status", "--link", LinkPath()});
    ASSERT_TRUE(status.Run());
    const std::size_t at = status.Out().find("session:  ");
    ASSERT_NE(at, std::string::npos) << status.Out();
    const std::string clock = status.Out().substr(at + 10, 8);
    EXPECT_GE(std::stoi(clock.substr(0, 2)) * 3600 + std::stoi(clock.substr(3, 2)) * 60 + std::stoi(clock.substr(6, 2)),
              20)
        << status.Out();
}

TEST_P(CatThroughLinkStation, onAirFollowsTheTransmitterWhateverTheRadiosAutoInformation)
{
    SKIP_WITHOUT_HAMLIB();
    StartStationAndLink({"--verbose"});
    Rigctld daemon(LinkPath());
    ASSERT_TRUE(daemon.Start());
    auto client = daemon.Connect();
    ASSERT_TRUE(client);
    // 2: as the station keeps it, reporting every change; 0: switched off at the radio itself,
    // where only the keying commands tell the station.
    for (unsigned ai : {2u, 0u}) {
        radio->SetAi(ai);
        for (int round = 1; round <= 3; ++round) {
            SCOPED_TRACE("auto-information " + std::to_string(ai) + ", round " + std::to_string(round));
            ASSERT_TRUE(Succeeded(Ask(*client, "T 1")));
            EXPECT_TRUE(testsupport::WaitUntil([&] { return OnAir(*host) == "on"; }, kPatienceMs)) << host->Out();
            EXPECT_TRUE(radio->Transmitting());
            ASSERT_TRUE(Succeeded(Ask(*client, "T 0")));
            EXPECT_TRUE(testsupport::WaitUntil([&] { return OnAir(*host) == "off"; }, kPatienceMs)) << host->Out();
            EXPECT_FALSE(radio->Transmitting());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Model20, CatThroughLinkStation, ::testing::Values(kIdentity20),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace linkstationtest
