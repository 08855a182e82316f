// The voice library against real SIP peers on 127.0.0.1, driven through the loader and a host
// stand-in: answering, audio both ways through WAV files, the busy second call, hanging up,
// shutdown with a live call, refused configurations, failed terminals, and a clean process
// (no output on stdout, no Qt 5 mapped, nothing written under $HOME).
#include "AmbrelLoader.h"
#include "VoiceTestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <utility>
#include <vector>

using namespace voicetest;
using Type = VoiceEventType;
using Detail = VoiceDetail;

namespace {

// Sends this process's stdout to a file while it lives.
class StdoutCapture {
public:
    explicit StdoutCapture(const QString& path) : path_(path)
    {
        fflush(stdout);
        saved_ = dup(STDOUT_FILENO);
        const int fd = open(path.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, STDOUT_FILENO);
        close(fd);
    }
    // A failure's messages went to the file too; they are shown, not lost.
    ~StdoutCapture()
    {
        if (saved_ >= 0 && testing::Test::HasFailure())
            std::fprintf(stderr, "%s", Text().constData());
        Restore();
    }
    QByteArray Text()
    {
        Restore();
        QFile f(path_);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(capture file missing)");
    }

private:
    void Restore()
    {
        if (saved_ < 0)
            return;
        fflush(stdout);
        dup2(saved_, STDOUT_FILENO);
        close(saved_);
        saved_ = -1;
    }
    QString path_;
    int saved_ = -1;
};

// Holds 127.0.0.1:port with a socket of the given type, as another program would.
class PortHolder {
public:
    PortHolder(int type, int port)
    {
        fd_ = socket(AF_INET, type, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(uint16_t(port));
        held_ = bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && (type != SOCK_STREAM || listen(fd_, 1) == 0);
    }
    ~PortHolder() { close(fd_); }
    bool Held() const { return held_; }

private:
    int fd_ = -1;
    bool held_ = false;
};

QString MappedFiles()
{
    QFile f("/proc/self/maps");
    return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
}

using Events = std::vector<std::pair<Type, Detail>>;

Events Sequence(const HostStandIn& host, const void* call)
{
    Events events;
    for (const auto& s : host.seen)
        if (s.call == call)
            events.emplace_back(s.type, s.detail);
    return events;
}

std::string Text(const Events& events)
{
    std::string text;
    for (const auto& [type, detail] : events)
        text += std::to_string(int(type)) + "/" + std::to_string(int(detail)) + " ";
    return text;
}

const Events kAnsweredAndDropped = {{Type::CallNotification, Detail::None},
                                    {Type::CallState, Detail::Offering},
                                    {Type::CallState, Detail::Connected},
                                    {Type::CallMedia, Detail::StreamActive},
                                    {Type::CallState, Detail::Disconnected}};

class VoiceCall : public testing::Test {
protected:
    void SetUp() override
    {
        const AmbrelModule& module = AmbrelLoad();
        ASSERT_TRUE(module) << module.reason.toStdString();
        create_ = module.create;
        ASSERT_TRUE(tmp_.isValid());
        port_ = FreeSipPort();
        ASSERT_GT(port_, 0);
        config_.sipPort = port_;
        config_.bindAddress = "127.0.0.1";
        config_.dataDir = Path("engine");
        config_.playFile = Path("station-tone.wav");
        config_.recordFile = Path("heard.wav");
        ASSERT_TRUE(WriteTone(config_.playFile, 1000, 20));
    }

    void TearDown() override
    {
        if (voice_) {
            voice_->ShutdownTapi();
            voice_.reset();
        }
        host_.voice = nullptr;
        QStringList written;
        for (QDirIterator it(HomeDir(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                             QDirIterator::Subdirectories);
             it.hasNext();)
            written << it.next();
        EXPECT_TRUE(written.isEmpty()) << "written under $HOME: " << written.join(", ").toStdString();
    }

    QString Path(const QString& name) const { return tmp_.filePath(name); }

    void RequirePeer(const QString& program, const char* package)
    {
        if (!Peer::Installed(program))
            GTEST_SKIP() << program.toStdString() << " not installed (Debian package " << package << ")";
    }

    int Start()
    {
        voice_.reset(create_(&host_, &config_));
        host_.voice = voice_.get();
        return voice_ ? voice_->InitializeTapi() : AmbrelFailed;
    }

    bool WaitFor(Type type, Detail detail, int count, int timeoutMs = 15000)
    {
        return PumpUntil([&] { return host_.Count(type, detail) >= count; }, timeoutMs);
    }

    // True once the station has recorded that much sound from the caller.
    bool WaitForHeard(double seconds, int timeoutMs = 15000)
    {
        return PumpUntil([&] { return AnalyseWav(config_.recordFile).activeSeconds >= seconds; }, timeoutMs);
    }

    QTemporaryDir tmp_;
    int port_ = 0;
    AmbrelConfig config_;
    HostStandIn host_;
    AmbrelCreateFn create_ = nullptr;
    std::unique_ptr<CIncomingTapi> voice_;
};

TEST_F(VoiceCall, answersAUdpCallAndCarriesTheStationToneToTheCallerAndBack)
{
    RequirePeer("sipp", "sip-tester");
    StdoutCapture out(Path("stdout.txt"));
    ASSERT_EQ(Start(), AmbrelOk);
    // sipp echoes the RTP it receives: what the station records is its own tone, having
    // travelled to the caller and back.
    Peer sipp("sipp", SippArguments("uac_wait_bye.xml", port_, false), Path("sipp.log"));
    ASSERT_TRUE(sipp.Started());
    ASSERT_TRUE(WaitFor(Type::CallMedia, Detail::StreamActive, 1)) << host_.Log().toStdString() << sipp.Output().toStdString();
    EXPECT_EQ(host_.callCount, 1);
    ASSERT_TRUE(WaitForHeard(1.5)) << host_.Log().toStdString();

    EXPECT_EQ(voice_->DisconnectTheCall(), AmbrelOk);
    EXPECT_EQ(sipp.Wait(15000), 0) << "the caller got no BYE: " << sipp.Output().toStdString();
    ASSERT_TRUE(WaitFor(Type::CallState, Detail::Disconnected, 1)) << host_.Log().toStdString();
    EXPECT_EQ(host_.callCount, 0);
    EXPECT_EQ(voice_->currentCall, nullptr) << "released after the disconnection";
    EXPECT_EQ(Text(Sequence(host_, host_.CallOf(0))), Text(kAnsweredAndDropped));
    EXPECT_EQ(voice_->DisconnectTheCall(), AmbrelNoCall);

    const ToneAnalysis heard = AnalyseWav(config_.recordFile);
    EXPECT_NEAR(heard.hz, 1000, 80);

    const QString maps = MappedFiles();
    EXPECT_TRUE(maps.contains("liblinphone")) << "the engine is mapped, so the next check means something";
    EXPECT_FALSE(maps.contains("libQt5")) << "Qt 5 mapped into the process";
    const QByteArray printed = out.Text();
    EXPECT_TRUE(printed.isEmpty()) << "stdout: " << printed.left(2000).toStdString();
}

TEST_F(VoiceCall, answersATcpCallAndHangsUp)
{
    RequirePeer("sipp", "sip-tester");
    ASSERT_EQ(Start(), AmbrelOk);
    Peer sipp("sipp", SippArguments("uac_wait_bye.xml", port_, true), Path("sipp.log"));
    ASSERT_TRUE(sipp.Started());
    ASSERT_TRUE(WaitFor(Type::CallMedia, Detail::StreamActive, 1)) << host_.Log().toStdString() << sipp.Output().toStdString();
    ASSERT_TRUE(WaitForHeard(0.5));
    EXPECT_EQ(voice_->DisconnectTheCall(), AmbrelOk);
    EXPECT_EQ(sipp.Wait(15000), 0) << sipp.Output().toStdString();
    ASSERT_TRUE(WaitFor(Type::CallState, Detail::Disconnected, 1)) << host_.Log().toStdString();
    EXPECT_EQ(Text(Sequence(host_, host_.CallOf(0))), Text(kAnsweredAndDropped));
    EXPECT_EQ(host_.callCount, 0);
}

TEST_F(VoiceCall, refusesASecondCallAsBusyWhileTheFirstIsHeldAndShutdownHangsUpTheFirst)
{
    RequirePeer("sipp", "sip-tester");
    ASSERT_EQ(Start(), AmbrelOk);
    Peer first("sipp", SippArguments("uac_wait_bye.xml", port_, false), Path("first.log"));
    ASSERT_TRUE(first.Started());
    ASSERT_TRUE(WaitFor(Type::CallMedia, Detail::StreamActive, 1)) << host_.Log().toStdString() << first.Output().toStdString();

    Peer second("sipp", SippArguments("uac_busy.xml", port_, false), Path("second.log"));
    ASSERT_TRUE(second.Started());
    EXPECT_EQ(second.Wait(15000), 0) << "no 486 for the second call: " << second.Output().toStdString();
    ASSERT_TRUE(WaitFor(Type::CallState, Detail::Disconnected, 1)) << host_.Log().toStdString();
    const void* firstCall = host_.CallOf(0);
    const void* secondCall = host_.CallOf(1);
    ASSERT_NE(secondCall, nullptr);
    EXPECT_NE(firstCall, secondCall);
    EXPECT_EQ(Text(Sequence(host_, secondCall)),
              Text({{Type::CallNotification, Detail::None}, {Type::CallState, Detail::Offering}, {Type::CallState, Detail::Disconnected}}));
    EXPECT_EQ(host_.callCount, 1);

    // The host's slot now holds the refused call; dropping it again must leave the first alone.
    EXPECT_EQ(voice_->DisconnectTheCall(), AmbrelOk);
    PumpFor(500);
    EXPECT_FALSE(first.Finished()) << first.Output().toStdString();
    EXPECT_EQ(host_.Count(Type::CallState, Detail::Disconnected), 1);

    voice_->ShutdownTapi();
    EXPECT_EQ(first.Wait(15000), 0) << "the first caller got no BYE: " << first.Output().toStdString();
    voice_->ShutdownTapi();   // twice is harmless
}

TEST_F(VoiceCall, recordsWhatAnIndependentSipAgentSays)
{
    RequirePeer("baresip", "baresip-core");
    const QString tone = Path("caller-tone.wav");
    ASSERT_TRUE(WriteTone(tone, 440, 20));
    const QString folder = WriteBaresipConfig(Path("baresip"), tone);
    ASSERT_FALSE(folder.isEmpty());
    ASSERT_EQ(Start(), AmbrelOk);
    Peer baresip("baresip", {"-f", folder, "-e", QStringLiteral("/dial sip:station@127.0.0.1:%1").arg(port_), "-t", "60"},
                 Path("baresip.log"));
    ASSERT_TRUE(baresip.Started());
    ASSERT_TRUE(WaitFor(Type::CallMedia, Detail::StreamActive, 1)) << host_.Log().toStdString() << baresip.Output().toStdString();
    ASSERT_TRUE(WaitForHeard(1.5)) << baresip.Output().toStdString();
    EXPECT_EQ(voice_->DisconnectTheCall(), AmbrelOk);
    ASSERT_TRUE(WaitFor(Type::CallState, Detail::Disconnected, 1)) << host_.Log().toStdString();
    EXPECT_EQ(Text(Sequence(host_, host_.CallOf(0))), Text(kAnsweredAndDropped));
    EXPECT_NEAR(AnalyseWav(config_.recordFile).hz, 440, 40);
}

TEST_F(VoiceCall, dropsACallWhoseAudioStopsAndReportsTheStreamFailed)
{
    RequirePeer("sipp", "sip-tester");
    config_.noAudioTimeout = 2;
    ASSERT_EQ(Start(), AmbrelOk);
    Peer sipp("sipp", SippArguments("uac_wait_bye.xml", port_, false, false), Path("sipp.log"));
    ASSERT_TRUE(sipp.Started());
    ASSERT_TRUE(WaitFor(Type::CallState, Detail::Disconnected, 1)) << host_.Log().toStdString() << sipp.Output().toStdString();
    EXPECT_EQ(Text(Sequence(host_, host_.CallOf(0))),
              Text({{Type::CallNotification, Detail::None},
                    {Type::CallState, Detail::Offering},
                    {Type::CallState, Detail::Connected},
                    {Type::CallMedia, Detail::StreamActive},
                    {Type::CallMedia, Detail::StreamFailed},
                    {Type::CallState, Detail::Disconnected}}));
    EXPECT_EQ(host_.callCount, 0);
    EXPECT_EQ(sipp.Wait(15000), 0) << "the caller got no BYE: " << sipp.Output().toStdString();
}

TEST_F(VoiceCall, refusesACallWithoutACommonCodecAndStillAnswersTheNext)
{
    RequirePeer("sipp", "sip-tester");
    ASSERT_EQ(Start(), AmbrelOk);
    Peer odd("sipp", SippArguments("uac_no_codec.xml", port_, false), Path("odd.log"));
    ASSERT_TRUE(odd.Started());
    EXPECT_EQ(odd.Wait(15000), 0) << "no 488: " << odd.Output().toStdString();
    PumpFor(200);
    EXPECT_TRUE(host_.seen.empty()) << "the engine refuses it before the host hears of it: " << host_.Log().toStdString();

    Peer next("sipp", SippArguments("uac_wait_bye.xml", port_, false), Path("next.log"));
    ASSERT_TRUE(next.Started());
    ASSERT_TRUE(WaitFor(Type::CallMedia, Detail::StreamActive, 1)) << host_.Log().toStdString() << next.Output().toStdString();
    EXPECT_EQ(host_.callCount, 1);
    EXPECT_EQ(voice_->DisconnectTheCall(), AmbrelOk);
    EXPECT_EQ(next.Wait(15000), 0) << next.Output().toStdString();
}

TEST_F(VoiceCall, reportsTheSipPortTakenByAnotherProgram)
{
    for (int type : {SOCK_STREAM, SOCK_DGRAM}) {
        SCOPED_TRACE(type == SOCK_STREAM ? "TCP" : "UDP");
        PortHolder other(type, port_);
        ASSERT_TRUE(other.Held());
        EXPECT_EQ(Start(), AmbrelPortTaken);
        voice_.reset();
    }
    EXPECT_EQ(Start(), AmbrelOk) << "free again";
}

TEST_F(VoiceCall, refusesAConfigurationItCannotWorkWith)
{
    const struct {
        const char* what;
        void (*change)(AmbrelConfig&);
    } cases[] = {
        {"SIP port 0", [](AmbrelConfig& c) { c.sipPort = 0; }},
        {"SIP port 65536", [](AmbrelConfig& c) { c.sipPort = 65536; }},
        {"no-audio timeout 0", [](AmbrelConfig& c) { c.noAudioTimeout = 0; }},
        {"no data folder", [](AmbrelConfig& c) { c.dataDir.clear(); }},
        {"data folder under a file", [](AmbrelConfig& c) { c.dataDir = c.playFile + "/engine"; }},
        {"capture from ALSA's null device", [](AmbrelConfig& c) { c.captureDevice = "null"; }},
        {"capture from ALSA's null device by id", [](AmbrelConfig& c) { c.captureDevice = "ALSA Unknown: null"; }},
    };
    const AmbrelConfig good = config_;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        config_ = good;
        c.change(config_);
        EXPECT_EQ(Start(), AmbrelBadConfig);
        EXPECT_EQ(voice_->AnswerTheCall(), AmbrelNoCall);
        EXPECT_EQ(voice_->DisconnectTheCall(), AmbrelNoCall);
        voice_->ShutdownTapi();
    }
}

TEST_F(VoiceCall, reportsTheTerminalFailedWhenThePlayFileIsMissingAndKeepsTheCall)
{
    RequirePeer("sipp", "sip-tester");
    config_.playFile = Path("no-such-tone.wav");
    ASSERT_EQ(Start(), AmbrelOk);
    Peer sipp("sipp", SippArguments("uac_wait_bye.xml", port_, false), Path("sipp.log"));
    ASSERT_TRUE(sipp.Started());
    ASSERT_TRUE(WaitFor(Type::CallMedia, Detail::TerminalFailed, 1)) << host_.Log().toStdString() << sipp.Output().toStdString();
    EXPECT_EQ(host_.Count(Type::CallMedia, Detail::StreamActive), 1);
    EXPECT_EQ(host_.callCount, 1);
    EXPECT_EQ(voice_->DisconnectTheCall(), AmbrelOk);
    EXPECT_EQ(sipp.Wait(15000), 0) << sipp.Output().toStdString();
}

TEST_F(VoiceCall, reportsTheTerminalFailedWhenTheNamedSoundDeviceIsMissing)
{
    RequirePeer("sipp", "sip-tester");
    config_.playFile.clear();
    config_.recordFile.clear();
    config_.captureDevice = "No Such Capture Device";
    ASSERT_EQ(Start(), AmbrelOk);
    Peer sipp("sipp", SippArguments("uac_wait_bye.xml", port_, false), Path("sipp.log"));
    ASSERT_TRUE(sipp.Started());
    ASSERT_TRUE(WaitFor(Type::CallMedia, Detail::TerminalFailed, 1)) << host_.Log().toStdString() << sipp.Output().toStdString();
    EXPECT_EQ(host_.callCount, 1);
    EXPECT_EQ(voice_->DisconnectTheCall(), AmbrelOk);
    EXPECT_EQ(sipp.Wait(15000), 0) << sipp.Output().toStdString();
}

// A sound server with two virtual cables standing for the radio: "RadioRx" carries the radio's
// receive audio (a 1 kHz tone), "RadioOut" what goes to the radio. sipp echoes what it hears, so
// the tone travels radio -> caller -> radio, through both named devices.
TEST_F(VoiceCall, carriesTheCallThroughTheNamedSoundDevices)
{
    RequirePeer("sipp", "sip-tester");
    RequirePeer("pulseaudio", "pulseaudio");
    RequirePeer("parecord", "pulseaudio-utils");
    const QString run = Path("run");
    ASSERT_TRUE(QDir().mkpath(run));
    QFile::setPermissions(run, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString server = "unix:" + run + "/pulse/native";
    const QList<std::pair<QString, QString>> env = {
        {"XDG_RUNTIME_DIR", run}, {"PULSE_RUNTIME_PATH", run + "/pulse"}, {"PULSE_SERVER", server}};
    // The system defaults are decoys: audio reaches the recording only through the named devices.
    const QString script = Path("pulse.pa");
    QFile f(script);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("load-module module-native-protocol-unix\n"
            "load-module module-null-sink sink_name=decoy rate=8000 sink_properties=device.description=Decoy\n"
            "load-module module-remap-source master=decoy.monitor source_name=decoy_src\n"
            "load-module module-null-sink sink_name=radio_out rate=8000 sink_properties=device.description=RadioOut\n"
            "load-module module-null-sink sink_name=radio_in rate=8000 sink_properties=device.description=RadioIn\n"
            "load-module module-remap-source master=radio_in.monitor source_name=radio_rx "
            "source_properties=device.description=RadioRx\n"
            "set-default-sink decoy\nset-default-source decoy_src\n");
    f.close();
    Peer pulse("pulseaudio", {"-n", "--daemonize=no", "--exit-idle-time=-1", "--disallow-exit", "-F", script},
               Path("pulse.log"), env);
    ASSERT_TRUE(pulse.Started());
    ASSERT_TRUE(PumpUntil([&] { return QFile::exists(run + "/pulse/native"); }, 10000)) << pulse.Output().toStdString();
    const QString toRadio = Path("to-radio.wav");
    Peer radioRx("paplay", {"--device=radio_in", config_.playFile}, Path("paplay.log"), env);
    Peer radioTx("parecord", {"--device=radio_out.monitor", "--rate=8000", "--channels=1", "--file-format=wav", toRadio},
                 Path("parecord.log"), env);
    ASSERT_TRUE(radioRx.Started() && radioTx.Started());

    const QByteArray savedServer = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", server.toLocal8Bit());
    config_.playFile.clear();
    config_.recordFile.clear();
    config_.captureDevice = "RadioRx";
    config_.playbackDevice = "RadioOut";
    const int started = Start();
    qputenv("PULSE_SERVER", savedServer);
    ASSERT_EQ(started, AmbrelOk);

    Peer sipp("sipp", SippArguments("uac_wait_bye.xml", port_, false), Path("sipp.log"));
    ASSERT_TRUE(sipp.Started());
    ASSERT_TRUE(WaitFor(Type::CallMedia, Detail::StreamActive, 1)) << host_.Log().toStdString() << sipp.Output().toStdString();
    ASSERT_TRUE(PumpUntil([&] { return AnalyseWav(toRadio).activeSeconds >= 1.5; }, 15000)) << radioTx.Output().toStdString();
    EXPECT_EQ(voice_->DisconnectTheCall(), AmbrelOk);
    EXPECT_EQ(sipp.Wait(15000), 0) << sipp.Output().toStdString();
    EXPECT_EQ(host_.Count(Type::CallMedia, Detail::TerminalFailed), 0) << host_.Log().toStdString();
    EXPECT_NEAR(AnalyseWav(toRadio).hz, 1000, 80);
}

}  // namespace
