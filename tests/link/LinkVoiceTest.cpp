// The link's voice call without a SIP engine: when it is placed, hung up and placed again, what
// the operator is told, and what the status file keeps (on a scripted engine, the loop's time
// driven by the test); loading the voice library by name; the sound devices on a sound server of
// the test's own, with devices left by a killed link removed and another link's left alone.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "AudioDevices.h"
#include "LinkStatus.h"
#include "LinkTestSupport.h"
#include "LinkVoice.h"
#include "TestSupport.h"
#include "VoiceLoader.h"
#include "VoiceSupport.h"

namespace linktest {
namespace {

using namespace quintar::link;
using Call = LinkStatus::Call;
using SteadyClock = std::chrono::steady_clock;

// An engine whose call goes where the test says.
class ScriptedEngine final : public VoiceEngine {
public:
    bool Call(const std::string& uri, const std::string& localAddress, std::string& error) override
    {
        calls.push_back(uri + " from " + localAddress);
        if (!refuse.empty()) {
            error = refuse;
            return false;
        }
        report = {};
        report.phase = CallPhase::Offered;
        return true;
    }
    void HangUp() override
    {
        ++hangUps;
        if (report.phase != CallPhase::None && report.phase != CallPhase::Ended) {
            report.phase = CallPhase::Ended;
            report.hungUpHere = true;
        }
    }
    void Iterate() override { ++iterations; }
    CallReport Report() override { return report; }

    std::vector<std::string> calls;
    int hangUps = 0;
    int iterations = 0;
    std::string refuse;
    CallReport report;
};

class Voice : public ::testing::Test {
protected:
    Voice()
    {
        auto owned = std::make_unique<ScriptedEngine>();
        engine = owned.get();
        voice = std::make_unique<LinkVoice>(std::move(owned), observer, "127.0.0.1", 5070, timing);
    }

    // The link publishes a status; the call's part comes back in it.
    LinkStatus Publish(LinkStatus::State state, std::int64_t loggedInAt = 0, std::optional<bool> stationVoice = {})
    {
        status.state = state;
        status.loggedInAt = loggedInAt;
        status.voice = stationVoice;
        voice->OnStatus(status);
        return status;
    }
    // The loop wakes `after` from now; true when the call's status changed.
    bool Wake(std::chrono::milliseconds after = {}) { return voice->OnTimer(SteadyClock::now() + after); }
    void EngineSays(CallPhase phase, std::string encryption = {}, std::string ending = {})
    {
        engine->report.phase = phase;
        engine->report.encryption = std::move(encryption);
        engine->report.ending = std::move(ending);
    }
    bool Said(const std::string& text) const
    {
        for (const std::string& line : observer.Events())
            if (line.find(text) != std::string::npos)
                return true;
        return false;
    }

    static constexpr std::string_view kUri = "sip:station@127.0.0.1:5070;transport=tcp from 127.0.0.1";
    VoiceTiming timing{std::chrono::milliseconds(5000), std::chrono::seconds(5), std::chrono::seconds(20),
                       std::chrono::milliseconds(20), std::chrono::milliseconds(500)};
    RecordingObserver observer;
    ScriptedEngine* engine = nullptr;
    std::unique_ptr<LinkVoice> voice;
    LinkStatus status;
};

TEST_F(Voice, callsOnceTheStationOffersVoiceAndFollowsTheCallToConnectedAndEncrypted)
{
    EXPECT_EQ(Publish(LinkStatus::State::Connecting).call, Call::Waiting);
    EXPECT_EQ(Publish(LinkStatus::State::LoggedIn, 100).call, Call::Waiting);
    EXPECT_TRUE(engine->calls.empty()) << "no call before the station reports voice";

    EXPECT_EQ(Publish(LinkStatus::State::LoggedIn, 100, true).call, Call::Offered);
    ASSERT_EQ(engine->calls, std::vector<std::string>{std::string(kUri)});
    EXPECT_TRUE(Said("calling the station's voice: sip:station@127.0.0.1:5070;transport=tcp"));

    EngineSays(CallPhase::Ringing);
    EXPECT_TRUE(Wake(timing.callTick));
    EXPECT_EQ(Publish(LinkStatus::State::LoggedIn, 100, true).call, Call::Ringing);
    EngineSays(CallPhase::Connected);
    engine->report.codec = "opus/48000";
    EXPECT_TRUE(Wake(timing.callTick * 2));
    LinkStatus s = Publish(LinkStatus::State::LoggedIn, 100, true);
    EXPECT_EQ(s.call, Call::Connected);
    EXPECT_EQ(s.callEncryption, "") << "being agreed";
    EXPECT_NE(StatusLine(s, s.callSince).find("call connected 00:00:00 (encrypting)"), std::string::npos)
        << StatusLine(s, s.callSince);
    EXPECT_FALSE(Said("encrypted"));

    EngineSays(CallPhase::Connected, "DTLS-SRTP");
    engine->report.downloadKbps = 51.4f;
    Wake(timing.callTick * 3);
    EXPECT_TRUE(Said("call audio encrypted (DTLS-SRTP)"));
    s = Publish(LinkStatus::State::LoggedIn, 100, true);
    EXPECT_EQ(s.callEncryption, "DTLS-SRTP");
    EXPECT_EQ(s.callDownloadKbps, 51u);
    EXPECT_GT(s.callSince, 0);
    EXPECT_EQ(engine->calls.size(), 1u) << "one call a session";
    EXPECT_EQ(engine->hangUps, 0);
}

TEST_F(Voice, hangsUpWhenTheSessionEndsAndCallsAgainAfterTheReconnect)
{
    Publish(LinkStatus::State::LoggedIn, 100, true);
    EngineSays(CallPhase::Connected, "DTLS-SRTP");
    Wake(timing.callTick);

    LinkStatus s = Publish(LinkStatus::State::Waiting);
    EXPECT_EQ(engine->hangUps, 1);
    EXPECT_EQ(s.call, Call::Ended);
    EXPECT_EQ(s.callNote, "the session ended");
    EXPECT_EQ(s.nextCallAt, 0) << "no call without a session";
    EXPECT_TRUE(Said("call ended: the session ended"));
    // The engine's own report of the hang-up changes nothing.
    Wake(timing.callTick * 2);
    Wake(std::chrono::seconds(30));
    EXPECT_EQ(engine->calls.size(), 1u);

    Publish(LinkStatus::State::Connecting);
    EXPECT_EQ(Publish(LinkStatus::State::LoggedIn, 160).call, Call::Waiting);
    EXPECT_EQ(Publish(LinkStatus::State::LoggedIn, 160, true).call, Call::Offered);
    EXPECT_EQ(engine->calls.size(), 2u);

    EXPECT_EQ(Publish(LinkStatus::State::Stopped).callNote, "the link stopped");
    EXPECT_EQ(engine->hangUps, 2);
}

TEST_F(Voice, aCallThatEndsWhileTheSessionGoesOnIsPlacedAgainAfterGrowingWaits)
{
    Publish(LinkStatus::State::LoggedIn, 100, true);
    const struct {
        std::string ending;
        int wait;  // seconds before the next call
    } steps[] = {{"busy: the station holds another call", 5}, {"no audio from the station any more", 10},
                 {"the station hung up", 20}, {"the station hung up", 20}};
    auto now = std::chrono::milliseconds(0);
    std::size_t calls = 1;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.ending);
        EngineSays(CallPhase::Ended, {}, step.ending);
        now += std::chrono::seconds(1);
        EXPECT_TRUE(Wake(now));
        LinkStatus s = Publish(LinkStatus::State::LoggedIn, 100, true);
        EXPECT_EQ(s.call, Call::Ended);
        EXPECT_EQ(s.callNote, step.ending);
        EXPECT_GT(s.nextCallAt, 0);
        EXPECT_NE(StatusLine(s, s.nextCallAt - step.wait).find("call ended (" + step.ending + "), again in " +
                                                                std::to_string(step.wait) + " s"),
                  std::string::npos)
            << StatusLine(s, s.nextCallAt - step.wait);
        EXPECT_TRUE(Said(step.ending + "; calling again in " + std::to_string(step.wait) + " s"));
        now += std::chrono::seconds(step.wait) - std::chrono::milliseconds(100);
        Wake(now);
        EXPECT_EQ(engine->calls.size(), calls) << "not before its time";
        now += std::chrono::milliseconds(200);
        Wake(now);
        EXPECT_EQ(engine->calls.size(), ++calls);
    }
}

TEST_F(Voice, saysWhenTheStationOffersNoVoiceAndStillCallsIfItDoesLater)
{
    Publish(LinkStatus::State::LoggedIn, 100);
    Wake(timing.reportPatience - std::chrono::milliseconds(200));
    EXPECT_FALSE(Said("offers no voice"));
    EXPECT_TRUE(Wake(timing.reportPatience + std::chrono::milliseconds(200)));
    EXPECT_TRUE(Said("the station offers no voice"));
    LinkStatus s = Publish(LinkStatus::State::LoggedIn, 100);
    EXPECT_EQ(s.call, Call::NotOffered);
    EXPECT_NE(StatusLine(s, 0).find("call not offered by the station"), std::string::npos);
    EXPECT_TRUE(engine->calls.empty());

    EXPECT_EQ(Publish(LinkStatus::State::LoggedIn, 100, true).call, Call::Offered);
    EXPECT_EQ(engine->calls.size(), 1u);
}

TEST_F(Voice, aCallThatCannotBePlacedIsSaidAndTriedAgain)
{
    engine->refuse = "the SIP engine would not start";
    LinkStatus s = Publish(LinkStatus::State::LoggedIn, 100, true);
    EXPECT_EQ(s.call, Call::Ended);
    EXPECT_EQ(s.callNote, "the call could not be placed: the SIP engine would not start");
    EXPECT_TRUE(Said("could not be placed: the SIP engine would not start; calling again in 5 s"));
    engine->refuse.clear();
    Wake(timing.firstRetry + std::chrono::milliseconds(100));
    EXPECT_EQ(engine->calls.size(), 2u);
    EXPECT_EQ(Publish(LinkStatus::State::LoggedIn, 100, true).call, Call::Offered);
}

TEST_F(Voice, theEngineIsDrivenQuicklyOnlyWhileACallIsUnderWay)
{
    auto next = [&] { return *voice->NextDeadline() - SteadyClock::now(); };
    Wake();
    EXPECT_GT(next(), timing.callTick * 5) << "idle";
    Publish(LinkStatus::State::LoggedIn, 100, true);
    Wake(timing.callTick);
    EXPECT_LE(next(), timing.callTick * 2);
    const int before = engine->iterations;
    Wake(timing.callTick * 3);
    EXPECT_EQ(engine->iterations, before + 1);
}

TEST(VoiceAddresses, theStationIsCalledAtTheAddressTheSessionReachesOverTcp)
{
    EXPECT_EQ(LinkVoice::StationUri("192.0.2.7", 5060), "sip:station@192.0.2.7:5060;transport=tcp");
    EXPECT_EQ(LinkVoice::StationUri("::1", 5070), "sip:station@[::1]:5070;transport=tcp");
    std::string remote, error;
    EXPECT_EQ(LinkVoice::LocalAddressFor("127.0.0.1", remote, error), "127.0.0.1") << error;
    EXPECT_EQ(remote, "127.0.0.1");
    EXPECT_EQ(LinkVoice::LocalAddressFor("no-such-host.invalid", remote, error), "");
    EXPECT_NE(error.find("no-such-host.invalid"), std::string::npos) << error;
}

TEST(VoiceStatus, theCallsPartOfTheStatusFileReadsBackAndIsAbsentWithoutVoice)
{
    LinkStatus s;
    s.state = LinkStatus::State::LoggedIn;
    EXPECT_EQ(Serialize(s).find("call"), std::string::npos);
    s.call = Call::Connected;
    s.callSince = 1234;
    s.callEncryption = "DTLS-SRTP";
    s.callCodec = "opus/48000";
    s.callJitterBufferMs = 60;
    s.callRoundTripMs = 3;
    s.callDownloadKbps = 51;
    s.callUploadKbps = 30;
    const auto back = ParseStatus(Serialize(s));
    ASSERT_TRUE(back);
    EXPECT_EQ(Serialize(*back), Serialize(s));
    const std::string described = Describe(s, 1300);
    EXPECT_NE(described.find("audio encrypted (DTLS-SRTP)"), std::string::npos) << described;
    EXPECT_NE(described.find("opus/48000, jitter buffer 60 ms, round trip 3 ms, 51 kbit/s in, 30 kbit/s out"),
              std::string::npos)
        << described;
    s.call = Call::Unavailable;
    s.callNote = "libquintar-link-voice.so is not installed";
    EXPECT_NE(Describe(s, 0).find("voice is not available here: libquintar-link-voice.so is not installed"),
              std::string::npos);
}

TEST(VoiceLibrary, isLoadedByNameOrRefusedWithOneLineSaying)
{
    testsupport::TempDir dir;
    const std::string notALibrary = (dir.Path() / "libquintar-link-voice.so").string();
    std::ofstream(notALibrary) << "not a library";
    const struct {
        std::vector<std::string> candidates;
        const char* says;
    } cases[] = {
        {{"/nonexistent/libquintar-link-voice.so"}, "libquintar-link-voice.so is not installed"},
        {{"libquintar-link-voice-no-such.so"}, "libquintar-link-voice.so is not installed"},
        {{notALibrary}, "libquintar-link-voice.so"},
        {{"libm.so.6"}, "not the link's voice library"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        const VoiceModule module = LoadVoice(c.candidates);
        EXPECT_FALSE(module);
        EXPECT_NE(module.reason.find(c.says), std::string::npos) << module.reason;
        EXPECT_EQ(module.reason.find('\n'), std::string::npos);
    }
#ifdef LINK_VOICE_LIBRARY
    const VoiceModule built = LoadVoice({"/nonexistent/" + std::string(kVoiceLibrary), LINK_VOICE_LIBRARY});
    ASSERT_TRUE(built) << built.reason;
    EXPECT_NE(built.path.find("libquintar-link-voice.so"), std::string::npos) << built.path;
#endif
}

class SoundDevices : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        if (!voicesupport::Installed("pulseaudio") || !voicesupport::Installed("pactl"))
            GTEST_SKIP() << "pulseaudio and pactl are not installed (Debian packages pulseaudio, pulseaudio-utils)";
        ASSERT_TRUE(pulse.Start(error)) << error;
        pulse.Enter();
    }
    testsupport::TempDir dir;
    voicesupport::PrivatePulse pulse{dir.Path() / "pulse"};
};

TEST_F(SoundDevices, areMadeWithTheirNamesAndGoneAfterwardsAndAKilledLinksAreRemovedFirst)
{
    // A killed link's devices, and a device of some other program that must stay.
    const std::string dead = "quintar_link.pid=" + std::to_string(0x7FFFFFF0);
    std::string out;
    ASSERT_EQ(pulse.Run({"pactl", "load-module", "module-null-sink", "sink_name=old_rx",
                         "sink_properties='device.description=\"Quintar RX\" " + dead + "'"},
                        10000, &out),
              0)
        << out;
    ASSERT_EQ(pulse.Run({"pactl", "load-module", "module-null-sink", "sink_name=someone_elses"}), 0);

    std::string error;
    std::vector<std::string> removed;
    {
        AudioDevices devices;
        ASSERT_TRUE(devices.Create(error, &removed)) << error;
        ASSERT_EQ(removed.size(), 1u);
        EXPECT_NE(removed[0].find("quintar-link process 2147483632"), std::string::npos) << removed[0];
        std::string sinks, sources;
        pulse.Run({"pactl", "list", "sinks"}, 10000, &sinks);
        pulse.Run({"pactl", "list", "sources"}, 10000, &sources);
        EXPECT_NE(sinks.find("Description: Quintar RX"), std::string::npos) << sinks;
        EXPECT_NE(sinks.find("Description: Quintar TX"), std::string::npos) << sinks;
        EXPECT_NE(sources.find("Description: Monitor of Quintar RX"), std::string::npos) << sources;
        EXPECT_NE(sources.find("Description: Quintar TX to station"), std::string::npos) << sources;
        EXPECT_EQ(pulse.Modules().find("old_rx"), std::string::npos);
        std::size_t count = 0;
        for (std::size_t at = sinks.find("Sink #"); at != std::string::npos; at = sinks.find("Sink #", at + 1))
            ++count;
        EXPECT_EQ(count, 3u) << "the link's two and the other program's";
    }
    const std::string left = pulse.Modules();
    EXPECT_EQ(left.find("quintar_link"), std::string::npos) << left;
    EXPECT_NE(left.find("someone_elses"), std::string::npos) << left;
}

TEST_F(SoundDevices, ofAnotherRunningLinkAreLeftAloneAndSaid)
{
    // A process named quintar-link that holds devices: a copy of sleep under that name.
    const auto fake = dir.Path() / "quintar-link";
    std::filesystem::copy_file("/bin/sleep", fake);
    const pid_t other = pulse.Spawn({fake.string(), "30"});
    ASSERT_GT(other, 0);
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] {
            std::ifstream comm("/proc/" + std::to_string(other) + "/comm");
            std::string name;
            std::getline(comm, name);
            return name == "quintar-link";
        },
        5000));
    ASSERT_EQ(pulse.Run({"pactl", "load-module", "module-null-sink", "sink_name=theirs",
                         "sink_properties='device.description=\"Quintar RX\" quintar_link.pid=" + std::to_string(other) + "'"}),
              0);
    AudioDevices devices;
    std::string error;
    EXPECT_FALSE(devices.Create(error));
    EXPECT_NE(error.find("belong to another quintar-link (process " + std::to_string(other) + ")"), std::string::npos)
        << error;
    EXPECT_NE(pulse.Modules().find("sink_name=theirs"), std::string::npos);
    EXPECT_EQ(pulse.Modules().find("quintar_link_rx"), std::string::npos);
}

TEST(SoundDevicesWithoutServer, sayWhatIsMissing)
{
    AudioDevices devices("quintar-no-such-pactl");
    std::string error;
    EXPECT_FALSE(devices.Create(error));
    EXPECT_NE(error.find("pulseaudio-utils"), std::string::npos) << error;
}

}  // namespace
}  // namespace linktest
