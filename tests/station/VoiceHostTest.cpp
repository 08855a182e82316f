// Voice calls on the real headless host, with sipp as the caller on 127.0.0.1 and the station in
// file mode: "@@VE1;" at login, a call answered with its audio going both ways, a second call
// refused while one is held, the call dropped with the client, a fresh start at the next login,
// no SIP listener without a logged-in client, and nothing at all with voice off.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

#include "HeadlessFixture.h"
#include "Utilities.h"

#if QUINTAR_VOICE_TESTS
#include "VoiceTestSupport.h"
#endif

namespace stationtest {
namespace {

// Upper bounds only: the voice library starts slowly under the sanitizers.
constexpr int kPatienceMs = 20000;

#if QUINTAR_VOICE_TESTS

// Whether a SIP listener holds the TCP port on 127.0.0.1 (nothing else of the station uses it).
bool SipListening(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool taken = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0;
    ::close(fd);
    return taken;
}

class VoiceHost : public Headless {
protected:
    void SetUp() override
    {
        Headless::SetUp();
        if (!GetVoiceEnableOS())
            GTEST_SKIP() << "voice is unavailable here";
        if (!voicetest::Peer::Installed("sipp"))
            GTEST_SKIP() << "sipp not installed (Debian package sip-tester)";
        sipPort = voicetest::FreeSipPort();
        ASSERT_GT(sipPort, 0);
        playFile = (dir.Path() / "station-tone.wav").string();
        recordFile = (dir.Path() / "heard.wav").string();
        ASSERT_TRUE(voicetest::WriteTone(QString::fromStdString(playFile), 1000, 30));
        settings.users = {{"op1", "pw1", "", 0}};
    }

    // The host with voice on or off, serving on the simulated radio.
    std::unique_ptr<Program> StartHost(bool voice)
    {
        StartRadio();
        const QStringList arguments = Arguments();
        profile->Write({{"Setting", "VEXA Voice", voice ? 1 : 0},
                        {"Voice", "SIP Port", sipPort},
                        {"Voice", "Bind Address", std::string("127.0.0.1")},
                        {"Voice", "Play File", playFile},
                        {"Voice", "Record File", recordFile}});
        auto host = std::make_unique<Program>(
            arguments, QStringList{"QUINTAR_LISTEN_ADDRESS=127.0.0.1",
                                   "QUINTAR_DATA_DIR=" + QString::fromStdString((dir.Path() / "data").string())});
        EXPECT_TRUE(host->Start());
        EXPECT_TRUE(host->WaitForOutput(ReadyLine(), kPatienceMs)) << host->Err();
        return host;
    }

    std::unique_ptr<Client> LogIn()
    {
        auto client = std::make_unique<Client>();
        EXPECT_TRUE(client->Connect(static_cast<unsigned>(settings.tcpPort), kPatienceMs));
        EXPECT_TRUE(client->LogIn("op1", "pw1", kPatienceMs)) << client->Received();
        return client;
    }

    std::unique_ptr<voicetest::Peer> Call(const char* scenario, const char* name)
    {
        auto peer = std::make_unique<voicetest::Peer>(
            "sipp", voicetest::SippArguments(scenario, sipPort, false),
            QString::fromStdString((dir.Path() / name).string()));
        EXPECT_TRUE(peer->Started());
        return peer;
    }

    double HeardSeconds() const { return voicetest::AnalyseWav(QString::fromStdString(recordFile)).activeSeconds; }

    int sipPort = 0;
    std::string playFile, recordFile;
};

TEST_F(VoiceHost, loggedInClientIsToldAndACallIsAnsweredWithAudioBothWays)
{
    auto host = StartHost(true);
    EXPECT_FALSE(SipListening(sipPort)) << "no call may be answered without a logged-in client";
    auto client = LogIn();
    EXPECT_TRUE(client->ReadUntil("@@VE1;", kPatienceMs)) << client->Received();
    ASSERT_TRUE(PumpUntil([&] { return SipListening(sipPort); }, kPatienceMs));

    // sipp sends back what it hears: the station's tone, recorded again, has gone both ways.
    auto first = Call("uac_wait_bye.xml", "first.log");
    ASSERT_TRUE(PumpUntil([&] { return HeardSeconds() >= 1.5; }, kPatienceMs)) << first->Output().toStdString();
    EXPECT_NEAR(voicetest::AnalyseWav(QString::fromStdString(recordFile)).hz, 1000, 80);

    // A second caller while the first is held is refused as busy.
    auto second = Call("uac_busy.xml", "second.log");
    EXPECT_EQ(second->Wait(15000), 0) << "no 486 for the second call: " << second->Output().toStdString();
    EXPECT_FALSE(first->Finished());

    // The client's disconnection drops the call (the caller gets its BYE) and ends voice.
    client->Close();
    EXPECT_EQ(first->Wait(15000), 0) << "the held call was not ended: " << first->Output().toStdString();
    EXPECT_TRUE(PumpUntil([&] { return !SipListening(sipPort); }, kPatienceMs));

    // The next login starts afresh: its first call is answered, not refused as a second one.
    auto again = LogIn();
    EXPECT_TRUE(again->ReadUntil("@@VE1;", kPatienceMs)) << again->Received();
    ASSERT_TRUE(PumpUntil([&] { return SipListening(sipPort); }, kPatienceMs));
    auto third = Call("uac_wait_bye.xml", "third.log");
    const double before = HeardSeconds();
    EXPECT_TRUE(PumpUntil([&] { return HeardSeconds() > before + 1.0 || third->Finished(); }, kPatienceMs));
    EXPECT_FALSE(third->Finished()) << "refused: " << third->Output().toStdString();

    host->Signal(SIGTERM);
    ASSERT_TRUE(host->WaitForExit(15000));
    EXPECT_EQ(host->ExitStatus(), 0);
    EXPECT_EQ(third->Wait(15000), 0) << "stopping the station must end the call";
    // Standard output holds the host's own lines only, none of the SIP engine's.
    for (const std::string& line : {std::string("- START - Successful"), std::string("- END - End VEXA.")})
        EXPECT_NE(host->Out().find(line), std::string::npos);
    EXPECT_EQ(Count(host->Out(), "\n"), 2u) << host->Out();
}

TEST_F(VoiceHost, voiceOffOffersNothingAndListensNowhere)
{
    auto host = StartHost(false);
    auto client = LogIn();
    client->Send("@@ST;");
    ASSERT_TRUE(client->ReadUntil("@@ST", kPatienceMs));
    EXPECT_EQ(client->Received().find("@@VE"), std::string::npos) << client->Received();
    EXPECT_FALSE(SipListening(sipPort));
    host->Signal(SIGTERM);
    ASSERT_TRUE(host->WaitForExit(15000));
}

TEST_F(VoiceHost, sipPortHeldByAnotherProgramIsSaidAndNotOffered)
{
    const int holder = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(sipPort));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(holder, 1), 0);
    auto host = StartHost(true);
    auto client = LogIn();
    client->Send("@@ST;");
    ASSERT_TRUE(client->ReadUntil("@@ST", kPatienceMs));
    EXPECT_EQ(client->Received().find("@@VE1;"), std::string::npos) << "voice offered though it cannot listen";
    EXPECT_TRUE(PumpUntil([&] { return host->Err().find("another program uses SIP port") != std::string::npos; }, kPatienceMs))
        << host->Err();
    ::close(holder);
    host->Signal(SIGTERM);
    ASSERT_TRUE(host->WaitForExit(15000));
}

#else

TEST(VoiceHost, skipped)
{
    GTEST_SKIP() << "the voice library is not built here (Debian package liblinphone-dev)";
}

#endif

}  // namespace
}  // namespace stationtest
