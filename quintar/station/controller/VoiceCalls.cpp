// Voice calls of the host, on the voice library loaded by name.
#include "VoiceCalls.h"

#include <QDir>

#include "AmbrelLoader.h"
#include "SettingsModel.h"

namespace quintar {

namespace {

constexpr char kNoInterface[] = "Incoming call, but failed to get the interface";
constexpr char kStreamFailed[] = "Call media event: stream failed";
constexpr char kTerminalFailed[] = "Call media event: terminal failed";

AmbrelConfig ReadConfig(brenlow::Profile& profile, const QString& dataFolder)
{
    using settings::Id;
    auto text = [&](Id id) { return QString::fromStdString(settings::ReadText(profile, id)); };
    AmbrelConfig c;
    c.sipPort = settings::ReadInt(profile, Id::SipPort);
    c.bindAddress = text(Id::BindAddress);
    c.captureDevice = text(Id::CaptureDevice);
    c.playbackDevice = text(Id::PlaybackDevice);
    c.playFile = text(Id::PlayFile);
    c.recordFile = text(Id::RecordFile);
    c.dataDir = dataFolder;
    return c;
}

QString StartFailure(int status, const AmbrelConfig& c)
{
    switch (status) {
    case AmbrelPortTaken:
        return QStringLiteral("Voice calls cannot start: another program uses SIP port %1.").arg(c.sipPort);
    case AmbrelBadConfig:
        return QStringLiteral("Voice calls cannot start: the \"Voice\" settings are not usable (port, devices, data "
                              "folder %1).")
            .arg(c.dataDir);
    default:
        return QStringLiteral("Voice calls cannot start: the SIP engine refused to start.");
    }
}

}  // namespace

VoiceCalls::VoiceCalls(StationController& controller, brenlow::Profile& profile, QString dataFolder)
    : controller_(controller), profile_(profile), dataFolder_(std::move(dataFolder))
{
    controller_.SetVoiceService(this);
    controller_.RouteEvent(VoiceEvent::kType, [this](QEvent* e) { OnEvent(e); });
}

VoiceCalls::~VoiceCalls()
{
    Stop();
    controller_.RouteEvent(VoiceEvent::kType, {});
    controller_.SetVoiceService(nullptr);
}

QString VoiceCalls::UnavailableReason()
{
    const AmbrelModule& module = AmbrelLoad();
    return module ? QString() : module.reason;
}

bool VoiceCalls::Start()
{
    if (!voice_) {
        const AmbrelModule& module = AmbrelLoad();
        if (!module) {
            emit Notice(QStringLiteral("Voice calls are unavailable: ") + module.reason);
            return false;
        }
        const AmbrelConfig config = ReadConfig(profile_, dataFolder_);
        QDir().mkpath(config.dataDir);
        voice_.reset(module.create(&controller_, &config));
        // A voice channel that does not listen must not be offered to the client.
        const int status = voice_ ? voice_->InitializeTapi() : AmbrelFailed;
        if (status != AmbrelOk) {
            if (voice_)
                voice_->ShutdownTapi();
            voice_.reset();
            emit Notice(StartFailure(status, config));
            return false;
        }
    }
    active_ = true;
    callCount_ = 0;
    return true;
}

void VoiceCalls::Stop()
{
    if (voice_) {
        voice_->DisconnectTheCall();
        voice_->ShutdownTapi();
        voice_.reset();
    }
    active_ = false;
}

void VoiceCalls::OnEvent(QEvent* e)
{
    if (!voice_)
        return;  // posted before the voice object was deleted
    const auto* event = static_cast<VoiceEvent*>(e);
    switch (event->eventType()) {
    case VoiceEventType::CallNotification:
        if (!event->call()) {
            emit Notice(QString::fromLatin1(kNoInterface));
            return;
        }
        voice_->currentCall = event->call();
        ++callCount_;
        return;
    case VoiceEventType::CallState:
        if (event->detail() == VoiceDetail::Offering) {
            // A second call while one is held is refused.
            if (callCount_ == 1)
                voice_->AnswerTheCall();
            else
                voice_->DisconnectTheCall();
        } else if (event->detail() == VoiceDetail::Disconnected) {
            if (callCount_ == 1)
                voice_->ReleaseTheCall();
            --callCount_;
        }
        return;
    case VoiceEventType::CallMedia:
        if (event->detail() == VoiceDetail::StreamFailed)
            emit Notice(QString::fromLatin1(kStreamFailed));
        else if (event->detail() == VoiceDetail::TerminalFailed)
            emit Notice(QString::fromLatin1(kTerminalFailed));
        return;
    }
}

}  // namespace quintar
