// The voice library on liblinphone: a SIP user agent without registrar that reports incoming
// calls to its owner as VoiceEvents and plays the call's audio through sound devices or WAV files.
#include "IncomingTapi.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include "SipEngine.h"

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
    return ambrel::Named(device, name.toStdString());
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
    if (config_.sipPort < 1 || config_.sipPort > 65535 || config_.noAudioTimeout < 1 || config_.dataDir.isEmpty() ||
        ambrel::IsNullCapture(config_.captureDevice.toStdString()) || !QDir().mkpath(config_.dataDir))
        return AmbrelBadConfig;

    ambrel::EngineSettings settings;
    settings.dataDir = QDir(config_.dataDir).absolutePath().toStdString();
    settings.bindAddress = config_.bindAddress.toStdString();
    settings.contactUser = "station";
    settings.userAgent = "Ambrel";
    settings.userAgentVersion = std::to_string(kAmbrelAbiVersion);
    settings.captureDevice = config_.captureDevice.toStdString();
    settings.playbackDevice = config_.playbackDevice.toStdString();
    settings.playFile = config_.playFile.toStdString();
    settings.recordFile = config_.recordFile.toStdString();
    settings.noAudioTimeout = config_.noAudioTimeout;
    settings.udpPort = config_.sipPort;
    settings.tcpPort = config_.sipPort;
    listener_ = std::make_shared<Listener>(*this);
    core_ = ambrel::CreateCore(settings, listener_);
    if (!core_)
        return AmbrelFailed;
    // Two, so that a second call reaches the owner, who refuses it; with one the engine would.
    core_->setMaxCalls(2);
    // Offered and taken when the caller offers it (the operator's link does), not required: an
    // ordinary SIP phone's plain call is answered as before.
    core_->setMediaEncryption(ambrel::kEncryption);
    core_->setMediaEncryptionMandatory(false);

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
    return ambrel::FindDevice(core_, name.toStdString(), need);
}

void Tapi::SelectDevices()
{
    ambrel::EngineSettings devices;
    devices.captureDevice = config_.captureDevice.toStdString();
    devices.playbackDevice = config_.playbackDevice.toStdString();
    ambrel::SelectDevices(core_, devices);
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
