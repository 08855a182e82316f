// The voice library on liblinphone: a SIP user agent without registrar that reports incoming
// calls to its owner as VoiceEvents and plays the call's audio through sound devices or WAV files.
#include "IncomingTapi.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QPointer>
#include <QTimer>

#include <linphone++/linphone.hh>

#include <algorithm>
#include <vector>

#define AMBREL_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using linphone::Call;

// A handle shares ownership of the engine's call and points at it; VoiceCall is never defined.
VoiceCallHandle ToHandle(const std::shared_ptr<Call>& call)
{
    return VoiceCallHandle(call, reinterpret_cast<VoiceCall*>(call.get()));
}

std::shared_ptr<Call> ToCall(const VoiceCallHandle& handle)
{
    return std::shared_ptr<Call>(handle, reinterpret_cast<Call*>(handle.get()));
}

bool Named(const std::shared_ptr<const linphone::AudioDevice>& device, const QString& name)
{
    return device && (QString::fromStdString(device->getDeviceName()) == name ||
                      QString::fromStdString(device->getId()) == name);
}

// PulseAudio's client keeps a cookie in ~/.config/pulse and, without a login session (a service,
// a container), a runtime link too. Where that folder exists PulseAudio has run and it is used as
// it is; otherwise both go to the engine's data folder.
void KeepPulseAudioOutOfHome(const QString& dir)
{
    const QString configHome = qEnvironmentVariableIsEmpty("XDG_CONFIG_HOME") ? QDir::homePath() + "/.config"
                                                                             : qEnvironmentVariable("XDG_CONFIG_HOME");
    if (QDir(configHome + "/pulse").exists())
        return;
    static QHash<QByteArray, QByteArray> ours;   // values set here, replaced by the next data folder
    const auto set = [](const char* name, const QString& value) {
        const QByteArray current = qgetenv(name);
        if (current.isEmpty() || current == ours.value(name)) {
            ours[name] = value.toLocal8Bit();
            qputenv(name, ours[name]);
        }
    };
    set("PULSE_COOKIE", dir + "pulse-cookie");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        set("PULSE_RUNTIME_PATH", dir + "pulse");
}

class Tapi;

// Runs inside Core::iterate(). accept(), decline() and terminate() re-enter it synchronously,
// so it only posts events and never calls the host.
class Listener : public linphone::CoreListener {
public:
    explicit Listener(Tapi& tapi) : tapi_(tapi) {}
    void onCallStateChanged(const std::shared_ptr<linphone::Core>&, const std::shared_ptr<Call>& call,
                            Call::State state, const std::string&) override;
    void onAudioDevicesListUpdated(const std::shared_ptr<linphone::Core>&) override;

private:
    Tapi& tapi_;
};

class Tapi final : public CIncomingTapi {
public:
    Tapi(QObject* owner, const AmbrelConfig& config) : owner_(owner), config_(config)
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] { core_->iterate(); });
    }
    ~Tapi() override { ShutdownTapi(); }

    int InitializeTapi() override;
    void ShutdownTapi() override;

    int AnswerTheCall() override
    {
        if (!currentCall)
            return AmbrelNoCall;
        return ToCall(currentCall)->accept() == 0 ? AmbrelOk : AmbrelFailed;
    }

    int DisconnectTheCall() override
    {
        if (!currentCall)
            return AmbrelNoCall;
        const auto call = ToCall(currentCall);
        switch (call->getState()) {
        case Call::State::IncomingReceived:
        case Call::State::IncomingEarlyMedia:
            return call->decline(linphone::Reason::Busy) == 0 ? AmbrelOk : AmbrelFailed;
        case Call::State::End:
        case Call::State::Released:
        case Call::State::Error:
            return AmbrelOk;
        default:
            return call->terminate() == 0 ? AmbrelOk : AmbrelFailed;
        }
    }

    void ReleaseTheCall() override { currentCall.reset(); }

    void OnCallState(const std::shared_ptr<Call>& call, Call::State state);
    void OnDevicesChanged();

private:
    void Post(VoiceEventType type, VoiceDetail detail, const std::shared_ptr<Call>& call)
    {
        if (owner_)
            QCoreApplication::postEvent(owner_, new VoiceEvent(type, detail, ToHandle(call)));
    }
    bool FileMode() const { return !config_.playFile.isEmpty(); }
    std::shared_ptr<linphone::AudioDevice> FindDevice(const QString& name, linphone::AudioDevice::Capabilities need) const;
    void SelectDevices();
    bool TerminalsPresent(const std::shared_ptr<Call>& call) const;

    QPointer<QObject> owner_;
    const AmbrelConfig config_;
    QTimer timer_;
    std::shared_ptr<linphone::Core> core_;
    std::shared_ptr<Listener> listener_;
    // Calls announced to the owner and not yet reported ended: each gets exactly one Disconnected,
    // and a call the engine refused on its own (beyond the call limit) gets none.
    std::vector<std::shared_ptr<Call>> announced_;
};

void Listener::onCallStateChanged(const std::shared_ptr<linphone::Core>&, const std::shared_ptr<Call>& call,
                                  Call::State state, const std::string&)
{
    tapi_.OnCallState(call, state);
}

void Listener::onAudioDevicesListUpdated(const std::shared_ptr<linphone::Core>&) { tapi_.OnDevicesChanged(); }

int Tapi::InitializeTapi()
{
    if (core_)
        return AmbrelOk;
    // ALSA's "null" PCM (by name or engine id) as capture device makes the engine allocate
    // without bound.
    const bool nullCapture = config_.captureDevice == QLatin1String("null") || config_.captureDevice.endsWith(": null");
    if (config_.sipPort < 1 || config_.sipPort > 65535 || config_.noAudioTimeout < 1 || config_.dataDir.isEmpty() ||
        nullCapture || !QDir().mkpath(config_.dataDir))
        return AmbrelBadConfig;

    // Before the engine's first use: errors to stderr only, so a headless host's stdout stays
    // clean; no mediastreamer plugins, one of which maps Qt 5 into the process; the engine's
    // files in the data folder (the trailing '/' is needed, it is used as a prefix).
    auto log = linphone::LoggingService::get();
    log->setLogLevelMask(unsigned(linphone::LogLevel::Error) | unsigned(linphone::LogLevel::Fatal));
    auto factory = linphone::Factory::get();
    const std::string dir = QDir(config_.dataDir).absolutePath().toStdString() + "/";
    factory->setDataDir(dir);
    factory->setConfigDir(dir);
    factory->setDownloadDir(dir);
    factory->setMspluginsDir("/nonexistent");
    KeepPulseAudioOutOfHome(QString::fromStdString(dir));

    const std::string bind = config_.bindAddress.toStdString();
    auto settings = factory->createConfig("");   // in memory: no ~/.linphonerc
    if (!bind.empty()) {
        settings->setString("sip", "bind_address", bind);
        settings->setString("rtp", "bind_address", bind);
    }
    core_ = factory->createCoreWithConfig(settings, nullptr);
    if (!core_)
        return AmbrelFailed;
    listener_ = std::make_shared<Listener>(*this);
    core_->addListener(listener_);
    core_->enableIpv6(config_.bindAddress.contains(':'));
    core_->enableVideoCapture(false);
    core_->enableVideoDisplay(false);
    auto video = factory->createVideoActivationPolicy();
    video->setAutomaticallyInitiate(false);
    video->setAutomaticallyAccept(false);
    core_->setVideoActivationPolicy(video);
    core_->disableChat(linphone::Reason::NotAcceptable);
    core_->setUserAgent("Ambrel", std::to_string(kAmbrelAbiVersion));
    core_->setPrimaryContact("sip:station@" + (bind.empty() ? std::string("127.0.0.1") : bind));
    core_->setRing("");
    core_->setRingback("");
    // Radio audio in and out, no loudspeaker next to a microphone: nothing to cancel.
    core_->enableEchoCancellation(false);
    // Two, so that a second call reaches the owner, who refuses it; with one the engine would.
    core_->setMaxCalls(2);
    core_->setNortpTimeout(config_.noAudioTimeout);
    // Random RTP ports: several stations (or test runs) on one machine.
    core_->setAudioPort(-1);
    core_->setVideoPort(-1);
    core_->setTextPort(-1);
    if (FileMode()) {
        core_->setUseFiles(true);
        core_->setPlayFile(config_.playFile.toStdString());
        core_->setRecordFile(config_.recordFile.toStdString());
    } else {
        // The engine's default, hold music, is also what it sends when no capture device opens.
        core_->setPlayFile("");
        SelectDevices();
    }
    auto transports = factory->createTransports();
    transports->setUdpPort(config_.sipPort);
    transports->setTcpPort(config_.sipPort);
    transports->setTlsPort(0);
    transports->setDtlsPort(0);
    core_->setTransports(transports);

    int status = core_->start() == 0 ? AmbrelOk : AmbrelFailed;
    // The engine starts even when it could not bind: a port shared by address reuse (UDP) or
    // held by another listener reads back as 0.
    if (status == AmbrelOk) {
        auto used = core_->getTransportsUsed();
        if (used->getUdpPort() != config_.sipPort || used->getTcpPort() != config_.sipPort)
            status = AmbrelPortTaken;
    }
    if (status != AmbrelOk) {
        ShutdownTapi();
        return status;
    }
    timer_.start(20);
    return AmbrelOk;
}

void Tapi::ShutdownTapi()
{
    if (!core_)
        return;
    timer_.stop();
    core_->terminateAllCalls();
    core_->iterate();
    core_->removeListener(listener_);
    // Events still queued refer to calls of this engine, which must not outlive it.
    if (owner_)
        QCoreApplication::removePostedEvents(owner_, VoiceEvent::kType);
    currentCall.reset();
    announced_.clear();
    core_->stop();   // sends the BYEs still pending and closes the ports
    core_.reset();
    listener_.reset();
}

void Tapi::OnCallState(const std::shared_ptr<Call>& call, Call::State state)
{
    const auto known = std::find(announced_.begin(), announced_.end(), call);
    switch (state) {
    case Call::State::IncomingReceived:
        announced_.push_back(call);
        Post(VoiceEventType::CallNotification, VoiceDetail::None, call);
        Post(VoiceEventType::CallState, VoiceDetail::Offering, call);
        break;
    case Call::State::Connected:
        Post(VoiceEventType::CallState, VoiceDetail::Connected, call);
        break;
    case Call::State::StreamsRunning:
        Post(VoiceEventType::CallMedia, VoiceDetail::StreamActive, call);
        if (!TerminalsPresent(call))
            Post(VoiceEventType::CallMedia, VoiceDetail::TerminalFailed, call);
        break;
    case Call::State::End:
    case Call::State::Error:
        if (known == announced_.end())
            break;
        announced_.erase(known);
        // Only a call ended by the no-audio timeout has this reason.
        if (call->getReason() == linphone::Reason::IOError)
            Post(VoiceEventType::CallMedia, VoiceDetail::StreamFailed, call);
        Post(VoiceEventType::CallState, VoiceDetail::Disconnected, call);
        break;
    default:
        break;
    }
}

std::shared_ptr<linphone::AudioDevice> Tapi::FindDevice(const QString& name, linphone::AudioDevice::Capabilities need) const
{
    if (name.isEmpty())
        return nullptr;
    for (const auto& device : core_->getExtendedAudioDevices())
        if (device->hasCapability(need) && Named(device, name))
            return device;
    return nullptr;
}

void Tapi::SelectDevices()
{
    if (auto in = FindDevice(config_.captureDevice, linphone::AudioDevice::Capabilities::CapabilityRecord))
        core_->setDefaultInputAudioDevice(in);
    if (auto out = FindDevice(config_.playbackDevice, linphone::AudioDevice::Capabilities::CapabilityPlay))
        core_->setDefaultOutputAudioDevice(out);
}

bool Tapi::TerminalsPresent(const std::shared_ptr<Call>& call) const
{
    if (FileMode()) {
        const bool recordable = config_.recordFile.isEmpty() || QFileInfo(config_.recordFile).dir().exists();
        return QFileInfo(config_.playFile).isReadable() && recordable;
    }
    return (config_.captureDevice.isEmpty() || Named(call->getInputAudioDevice(), config_.captureDevice)) &&
           (config_.playbackDevice.isEmpty() || Named(call->getOutputAudioDevice(), config_.playbackDevice));
}

void Tapi::OnDevicesChanged()
{
    if (FileMode())
        return;
    SelectDevices();   // a device plugged in after start is taken for the next call
    const bool present =
        (config_.captureDevice.isEmpty() ||
         FindDevice(config_.captureDevice, linphone::AudioDevice::Capabilities::CapabilityRecord)) &&
        (config_.playbackDevice.isEmpty() ||
         FindDevice(config_.playbackDevice, linphone::AudioDevice::Capabilities::CapabilityPlay));
    if (present)
        return;
    for (const auto& call : announced_)
        if (call->getState() == Call::State::StreamsRunning)
            Post(VoiceEventType::CallMedia, VoiceDetail::TerminalFailed, call);
}

}  // namespace

AMBREL_EXPORT int AmbrelAbiVersion() { return kAmbrelAbiVersion; }

AMBREL_EXPORT CIncomingTapi* AmbrelCreate(QObject* owner, const AmbrelConfig* config)
{
    return config ? new Tapi(owner, *config) : nullptr;
}
