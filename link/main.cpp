// quintar-link: the station's radio as a local serial port. In order: options, password, the
// program's port and its stable path, stop signals, the link, its status, the exit status.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <ctime>
#include <string>
#include <vector>

#include "AudioDevices.h"
#include "Credentials.h"
#include "KnownStations.h"
#include "LinkOptions.h"
#include "LinkStatus.h"
#include "LinkVoice.h"
#include "LoginDialogue.h"
#include "RadioPort.h"
#include "StationLink.h"
#include "VoiceLoader.h"

namespace {

using namespace quintar::link;

std::atomic<StationLink*> g_link{nullptr};
volatile sig_atomic_t g_stopEarly = 0;

void OnStopSignal(int)
{
    if (StationLink* link = g_link.load())
        link->RequestStop();
    else
        g_stopEarly = 1;
}

bool InstallStopSignals()
{
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        if (::sigaction(sig, &sa, nullptr) != 0)
            return false;
    ::signal(SIGPIPE, SIG_IGN);
    return true;
}

int Fail(int status, const std::string& text)
{
    std::fprintf(stderr, "quintar-link: %s\n", text.c_str());
    return status;
}

// Event lines on standard output; on a terminal, a status line kept below them.
class ConsoleObserver final : public LinkObserver {
public:
    explicit ConsoleObserver(std::string statusFile) : statusFile_(std::move(statusFile)), live_(::isatty(1) == 1) {}
    ~ConsoleObserver() override
    {
        if (live_ && shown_)
            std::fputs("\r\033[K", stdout);
        std::fflush(stdout);
    }

    void Event(const std::string& line) override
    {
        if (live_)
            std::fputs("\r\033[K", stdout);
        std::printf("quintar-link: %s\n", line.c_str());
        Redraw();
        std::fflush(stdout);
    }

    void Status(const LinkStatus& status) override
    {
        last_ = status;
        const std::string text = Serialize(status);
        std::string error;
        if (text != written_) {
            if (WriteFileAtomically(statusFile_, text, &error)) {
                written_ = text;
                statusFailed_ = false;
            } else if (!statusFailed_) {
                statusFailed_ = true;  // said once, until a write succeeds again
                Event("status not kept: " + error);
            }
        }
        Redraw();
        std::fflush(stdout);
    }

private:
    void Redraw()
    {
        if (!live_)
            return;
        std::printf("\r\033[K[%s]", StatusLine(last_, static_cast<std::int64_t>(std::time(nullptr))).c_str());
        shown_ = true;
    }

    std::string statusFile_;
    bool live_;
    bool shown_ = false;
    LinkStatus last_;
    std::string written_;
    bool statusFailed_ = false;
};

// --voice where the voice library cannot be had: the status says so, and the link runs as without.
class NoVoice final : public LinkCompanion {
public:
    explicit NoVoice(std::string reason) : reason_(std::move(reason)) {}
    void OnStatus(LinkStatus& status) override
    {
        status.call = LinkStatus::Call::Unavailable;
        status.callNote = reason_;
    }
    std::optional<std::chrono::steady_clock::time_point> NextDeadline() const override { return std::nullopt; }
    bool OnTimer(std::chrono::steady_clock::time_point) override { return false; }

private:
    std::string reason_;
};

// The voice call of --voice: the library loaded, the sound devices made (--audio-devices), the
// engine created. Null with `error` only where the link must not start (devices asked for and not
// made); without the library, a companion that says voice is unavailable.
std::unique_ptr<LinkCompanion> StartVoice(const LinkOptions& options, const std::string& linkPath,
                                          AudioDevices& devices, LinkObserver& observer, std::string& error)
{
    const VoiceModule module = LoadVoice(VoiceCandidates());
    if (!module) {
        observer.Event("voice is not available: " + module.reason + "; the link runs without it");
        return std::make_unique<NoVoice>(module.reason);
    }
    VoiceEngineConfig config;
    config.dataDir = linkPath + ".voice";
    if (options.audioDevices) {
        std::vector<std::string> removed;
        if (!devices.Create(error, &removed)) {
            error = "cannot make the sound devices: " + error;
            return nullptr;
        }
        for (const std::string& r : removed)
            observer.Event("removed a sound device of a link that was killed (" + r + ")");
        observer.Event(std::string("sound devices: record from \"Monitor of ") + AudioDevices::kRx +
                       "\", play into \"" + AudioDevices::kTx + "\"");
        config.captureDevice = AudioDevices::kTxSource;
        config.playbackDevice = AudioDevices::kRx;
    }
    std::string why;
    VoiceEngine* engine = module.create(&config, &why);
    if (!engine) {
        observer.Event("voice is not available: " + why + "; the link runs without it");
        return std::make_unique<NoVoice>(why);
    }
    return std::make_unique<LinkVoice>(std::unique_ptr<VoiceEngine>(engine), observer, options.host, options.sipPort);
}

int ShowStatus(const std::string& path)
{
    const std::string file = LinkPath::StatusFileOf(path);
    if (!LinkPath::InUse(path))
        return Fail(kExitFailed, "no quintar-link is running on " + path);
    std::string text, error;
    if (!ReadOwnFile(file, text, error))
        return Fail(kExitFailed, "cannot read the status: " + error);
    const std::optional<LinkStatus> status = ParseStatus(text);
    if (!status)
        return Fail(kExitFailed, "the link on " + path + " has not written its status yet");
    std::printf("link:     %s\n%s", path.c_str(), Describe(*status, static_cast<std::int64_t>(std::time(nullptr))).c_str());
    return kExitStopped;
}

}  // namespace

int main(int argc, char** argv)
{
    // ---- Options
    std::vector<std::string> arguments(argv + 1, argv + argc);
    std::string error;
    std::optional<LinkOptions> options = ParseOptions(arguments, error);
    if (!options)
        return Fail(kExitUsage, error + " (try --help)");
    if (options->action == LinkOptions::Action::Help) {
        std::fputs(kUsage, stdout);
        return kExitStopped;
    }
    if (options->action == LinkOptions::Action::Version) {
        std::printf("quintar-link %s\n", QUINTAR_VERSION);
        return kExitStopped;
    }
    const std::string linkPath = options->linkPath.empty() ? LinkPath::Default() : options->linkPath;
    if (options->action == LinkOptions::Action::Status)
        return ShowStatus(linkPath);

    // ---- Password
    const std::string station = options->host + ":" + std::to_string(options->port);
    std::optional<std::string> password =
        ReadPassword(options->password, "Password for " + options->user + " at " + station + ": ", error);
    if (!password)
        return Fail(kExitUsage, error);
    if (!LoginDialogue::IsValidLogin(*password)) {
        Wipe(*password);
        return Fail(kExitUsage, "the password must be 1 to 32 characters from '!' to DEL (0x21..0x7F), without ';'");
    }

    // ---- The program's port and its path
    PseudoTerminalPort terminal;
    TcpPort tcp;
    RadioPort* port = &terminal;
    if (options->useTcp) {
        if (!tcp.Listen(options->tcpPort, error))
            return Fail(kExitFailed, error);
        port = &tcp;
    } else if (!terminal.Open(error)) {
        return Fail(kExitFailed, error);
    }
    LinkPath path;
    if (!path.Claim(linkPath, options->useTcp ? std::string() : terminal.TerminalPath(), error))
        return Fail(kExitFailed, error);

    // ---- Stop signals, then the link
    if (!InstallStopSignals())
        return Fail(kExitFailed, "cannot set up the stop signals");
    LinkSettings settings;
    settings.host = options->host;
    settings.port = options->port;
    settings.user = options->user;
    settings.password = std::move(*password);
    Wipe(*password);
    settings.sessionClock = options->sessionClock;
    settings.keepTrying = options->keepTrying;
    settings.tls = options->tls;
    settings.fingerprint = options->fingerprint;
    settings.knownStationsFile = KnownStationsFileOf(linkPath);
    if (settings.tls && !settings.fingerprint && !KnownStations::Load(settings.knownStationsFile, error))
        return Fail(kExitFailed, "cannot check the station's certificate: " + error);

    ConsoleObserver observer(LinkPath::StatusFileOf(linkPath));
    // Destroyed in reverse: the link, then the call (hung up), then the sound devices.
    AudioDevices devices;
    std::unique_ptr<LinkCompanion> voice;
    if (options->voice && !(voice = StartVoice(*options, linkPath, devices, observer, error)))
        return Fail(kExitFailed, error);
    StationLink link(std::move(settings), *port, observer);
    link.SetCompanion(voice.get());
    g_link = &link;
    if (g_stopEarly)
        link.RequestStop();
    if (options->useTcp)
        observer.Event("radio at " + tcp.Describe());
    else
        observer.Event("radio at " + linkPath + " (" + terminal.TerminalPath() + ")");

    const StationLink::Result result = link.Run();
    g_link = nullptr;
    if (result == StationLink::Result::Stopped)
        return kExitStopped;
    switch (link.LastEnding().value_or(Ending::StationGone)) {
    case Ending::WrongPassword:
    case Ending::UserDisabled:
    case Ending::LoginRejected:
        return kExitRefused;
    case Ending::SessionLimit:
        return kExitSessionLimit;
    default:
        return kExitFailed;
    }
}
