// The link's voice call against the real station (its voice in file mode) on a sound server of the
// test's own: the station's tone comes out of "Quintar RX" and a tone played into "Quintar TX"
// reaches the station, told apart by frequency; the audio is encrypted; the call ends with the
// session and comes back after the reconnect; the sound devices go with the link. A station
// without voice, and a link without its voice library, each say so and the link runs on.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "LinkStationSupport.h"
#include "SessionClient.h"
#include "VoiceSupport.h"

namespace linkstationtest {
namespace {

// Upper bounds only: the SIP engine starts slowly under the sanitizers.
constexpr int kPatienceMs = 30000;
constexpr double kStationHz = 1000;
constexpr double kOperatorHz = 600;

// A port free for both TCP and UDP on 127.0.0.1, as the station's SIP listener needs.
unsigned FreeSipPort()
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        const unsigned port = testsupport::FreeTcpPort();
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool free = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        ::close(fd);
        if (free)
            return port;
    }
    return 0;
}

// The strongest one-second stretch of a tone, and the level of another tone in that same stretch.
std::pair<double, double> Peak(const voicesupport::Sound& sound, double hz, double otherHz)
{
    std::pair<double, double> best{0, 0};
    const double length = sound.rate > 0 ? double(sound.samples.size()) / sound.rate : 0;
    for (double from = 0; from + 1 <= length; from += 0.25) {
        const double level = voicesupport::ToneLevel(sound, hz, from, 1);
        if (level > best.first)
            best = {level, voicesupport::ToneLevel(sound, otherHz, from, 1)};
    }
    return best;
}

class LinkVoice : public Station {
protected:
    void SetUp() override
    {
#ifndef QUINTAR_LINK_VOICE_TESTS
        GTEST_SKIP() << "the voice libraries are not built here (Debian package liblinphone-dev)";
#endif
        Station::SetUp();
        sipPort = FreeSipPort();
        ASSERT_GT(sipPort, 0u);
        ASSERT_TRUE(voicesupport::WriteTone(dir.Path() / "station.wav", kStationHz, 60));
        Setup({"set", "sip-port", std::to_string(sipPort)});
        Setup({"set", "sip-address", "127.0.0.1"});
        Setup({"set", "play-file", (dir.Path() / "station.wav").string()});
        Setup({"set", "record-file", (dir.Path() / "heard.wav").string()});
    }

    void StartVoiceHost()
    {
        StartHost({}, {"QUINTAR_DATA_DIR=" + (dir.Path() / "data").string()});
    }

    std::vector<std::string> VoiceArguments(bool devices) const
    {
        std::vector<std::string> a = {"--user", "op1", "--voice", "--sip-port", std::to_string(sipPort)};
        if (devices)
            a.push_back("--audio-devices");
        return a;
    }

    unsigned sipPort = 0;
};

TEST_F(LinkVoice, carriesTheStationAndTheOperatorEncryptedEndsWithTheSessionAndComesBack)
{
    for (const char* program : {"pulseaudio", "pactl", "paplay", "parecord"})
        if (!voicesupport::Installed(program))
            GTEST_SKIP() << program << " is not installed (Debian packages pulseaudio, pulseaudio-utils)";
    voicesupport::PrivatePulse pulse(dir.Path() / "pulse");
    std::string error;
    ASSERT_TRUE(pulse.Start(error)) << error;
    ASSERT_TRUE(voicesupport::WriteTone(dir.Path() / "operator.wav", kOperatorHz, 3));
    Setup({"set", "voice", "on"});
    StartVoiceHost();

    std::vector<std::string> environment = pulse.Environment();
#ifdef VOICE_LSAN_SUPPRESSIONS
    environment.push_back("LSAN_OPTIONS=suppressions=" VOICE_LSAN_SUPPRESSIONS);
#endif
    auto link = StartLink(VoiceArguments(true), "pw1", environment);
    ASSERT_TRUE(link);
    ASSERT_TRUE(link->WaitForOutput("call audio encrypted (DTLS-SRTP)", kPatienceMs)) << link->Out() << link->Err();
    EXPECT_TRUE(testsupport::WaitUntil([&] { return StatusValue("call-encryption") == "DTLS-SRTP"; }, kPatienceMs));
    EXPECT_EQ(StatusValue("call"), "connected");

    // What the radio receives, from the monitor of "Quintar RX", as a decoding program records it;
    // meanwhile the operator's tone goes into "Quintar TX".
    const auto rx = dir.Path() / "rx.wav";
    const pid_t recorder = pulse.Spawn({"parecord", "--device=quintar_link_rx.monitor", "--rate=8000", "--channels=1",
                                        "--file-format=wav", rx.string()});
    ASSERT_GT(recorder, 0);
    EXPECT_EQ(pulse.Run({"paplay", "--device=quintar_link_tx", (dir.Path() / "operator.wav").string()}), 0);
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] { return std::filesystem::exists(rx) && std::filesystem::file_size(rx) > 8000 * 2 * 2; }, kPatienceMs));
    pulse.Stop(recorder);
    const auto [station, operatorInRx] = Peak(voicesupport::ReadWav(rx), kStationHz, kOperatorHz);
    EXPECT_GT(station, 1e5) << "the station's tone did not come out of Quintar RX";
    EXPECT_GT(station, 100 * operatorInRx);

    // The session ends with the station; its recording of the call is complete then.
    StopHost();
    ASSERT_TRUE(link->WaitForOutput("call ended: ", kPatienceMs)) << link->Out();
    EXPECT_TRUE(testsupport::WaitUntil([&] { return StatusValue("call") == "ended"; }, kPatienceMs));
    const auto [heard, stationInHeard] = Peak(voicesupport::ReadWav(dir.Path() / "heard.wav"), kOperatorHz, kStationHz);
    EXPECT_GT(heard, 1e5) << "the tone played into Quintar TX did not reach the station";
    EXPECT_GT(heard, 100 * stationInHeard);

    // Back with the station: logged in again, and called again.
    StartVoiceHost();
    ASSERT_TRUE(link->WaitForOutput("call audio encrypted (DTLS-SRTP)", kPatienceMs, 2)) << link->Out();
    EXPECT_EQ(Count(link->Out(), "calling the station's voice"), 2u) << link->Out();
    EXPECT_TRUE(testsupport::WaitUntil([&] { return StatusValue("call") == "connected"; }, kPatienceMs));

    EXPECT_NE(pulse.Modules().find("quintar_link_rx"), std::string::npos);
    link->Signal(SIGTERM);
    ASSERT_TRUE(link->WaitForExit(kPatienceMs));
    EXPECT_EQ(link->ExitStatus(), 0) << link->Err();
    EXPECT_NE(link->Out().find("call ended: the link stopped"), std::string::npos) << link->Out();
    const std::string modules = pulse.Modules();
    EXPECT_EQ(modules.find("quintar_link"), std::string::npos) << "the sound devices outlived the link: " << modules;
}

TEST_F(LinkVoice, aStationWithoutVoiceIsSaidAndTheLinkRunsOn)
{
    Setup({"set", "voice", "off"});
    StartVoiceHost();
    auto link = StartLink(VoiceArguments(false));
    ASSERT_TRUE(link);
    ASSERT_TRUE(link->WaitForOutput("the station offers no voice", kPatienceMs)) << link->Out() << link->Err();
    EXPECT_EQ(StatusValue("state"), "logged-in");
    EXPECT_TRUE(testsupport::WaitUntil([&] { return StatusValue("call") == "not-offered"; }, kPatienceMs));
    EXPECT_EQ(link->Out().find("calling"), std::string::npos) << link->Out();
}

TEST_F(LinkVoice, aLinkWithoutItsVoiceLibrarySaysSoAndRunsAsWithoutVoice)
{
    // The program alone, where no voice library lies beside it or in its library folder.
    const auto bin = dir.Path() / "bare" / "bin";
    std::filesystem::create_directories(bin);
    std::filesystem::copy_file(QUINTAR_LINK_PROGRAM, bin / "quintar-link");
    Setup({"set", "voice", "on"});
    StartVoiceHost();
    auto link = StartLink(VoiceArguments(false), "pw1", {}, (bin / "quintar-link").string());
    ASSERT_TRUE(link);
    ASSERT_TRUE(link->WaitForOutput("logged in to", kPatienceMs)) << link->Out() << link->Err();
    EXPECT_NE(link->Out().find("voice is not available: libquintar-link-voice.so is not installed; the link runs "
                               "without it"),
              std::string::npos)
        << link->Out();
    EXPECT_TRUE(testsupport::WaitUntil([&] { return StatusValue("call") == "unavailable"; }, kPatienceMs));
    EXPECT_EQ(link->Out().find("calling"), std::string::npos) << link->Out();
}

}  // namespace
}  // namespace linkstationtest
