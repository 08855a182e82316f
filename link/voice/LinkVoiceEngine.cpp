// The link's voice library on the SIP engine: calls the station directly (no registrar) over SIP
// on TCP, with the audio encrypted (DTLS-SRTP, required), through the chosen sound devices or
// WAV files. Driven from the link's one thread: every callback runs inside Iterate().
#include "VoiceEngine.h"

#include <filesystem>

#include "SipEngine.h"

#define LINK_VOICE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using linphone::Call;
using quintar::link::CallPhase;
using quintar::link::CallReport;

// Why a call ended that this end did not hang up.
std::string EndingOf(const std::shared_ptr<Call>& call)
{
    const auto info = call->getErrorInfo();
    const int status = info ? info->getProtocolCode() : 0;
    std::string text;
    switch (call->getReason()) {
    case linphone::Reason::None:
        return "the station hung up";
    case linphone::Reason::Busy:
        text = "busy: the station holds another call";
        break;
    case linphone::Reason::Declined:
        text = "the station declined the call";
        break;
    case linphone::Reason::NotAcceptable:
        text = "the station did not take the call's terms (encrypted audio, codecs)";
        break;
    case linphone::Reason::IOError:
        text = "no audio from the station any more";
        break;
    case linphone::Reason::NoResponse:
        text = "no answer from the station's SIP port";
        break;
    case linphone::Reason::NotAnswered:
        text = "not answered";
        break;
    case linphone::Reason::NotFound:
    case linphone::Reason::ServerTimeout:
    case linphone::Reason::Unauthorized:
    case linphone::Reason::Forbidden:
    default:
        text = "the call failed";
        break;
    }
    if (status != 0 && info)
        text += " (SIP " + std::to_string(status) + (info->getPhrase().empty() ? "" : " " + info->getPhrase()) + ")";
    return text;
}

class Engine;

class Listener final : public linphone::CoreListener {
public:
    explicit Listener(Engine& engine) : engine_(engine) {}
    void onCallStateChanged(const std::shared_ptr<linphone::Core>&, const std::shared_ptr<Call>& call, Call::State state,
                            const std::string&) override;
    void onCallEncryptionChanged(const std::shared_ptr<linphone::Core>&, const std::shared_ptr<Call>& call, bool on,
                                 const std::string&) override;

private:
    Engine& engine_;
};

class Engine final : public quintar::link::VoiceEngine {
public:
    explicit Engine(const quintar::link::VoiceEngineConfig& config) : config_(config) {}
    ~Engine() override { Close(); }

    bool Call(const std::string& uri, const std::string& localAddress, std::string& error) override
    {
        HangUp();
        // The engine binds to one address; a link that reaches the station another way now
        // (another network) gets a fresh engine.
        if (core_ && localAddress != bound_)
            Close();
        if (!core_ && !Open(localAddress, error))
            return false;
        auto address = core_->interpretUrl(uri);
        auto params = core_->createCallParams(nullptr);
        if (!address || !params) {
            error = "not a SIP address: " + uri;
            return false;
        }
        params->setMediaEncryption(ambrel::kEncryption);
        params->enableVideo(false);
        report_ = {};
        report_.phase = CallPhase::Offered;
        secured_ = false;
        call_ = core_->inviteAddressWithParams(address, params);
        if (!call_) {
            report_ = {};
            error = "the SIP engine would not place the call";
            return false;
        }
        // A call that failed at once (no route, refused connection) ended before it was ours.
        const auto state = call_->getState();
        if (state == Call::State::End || state == Call::State::Error) {
            report_.phase = CallPhase::Ended;
            report_.ending = EndingOf(call_);
        }
        return true;
    }

    void HangUp() override
    {
        if (!call_)
            return;
        hangingUp_ = true;
        const auto state = call_->getState();
        if (state != Call::State::End && state != Call::State::Error && state != Call::State::Released)
            call_->terminate();
        // terminate() reports the end synchronously; a call that had ended already was reported.
        if (report_.phase != CallPhase::Ended) {
            report_.phase = CallPhase::Ended;
            report_.hungUpHere = true;
        }
        call_.reset();
        hangingUp_ = false;
    }

    void Iterate() override
    {
        if (core_)
            core_->iterate();
    }

    CallReport Report() override
    {
        if (call_ && report_.phase == CallPhase::Connected) {
            if (const auto params = call_->getCurrentParams()) {
                // Known once the keys are agreed on the media path, some time after the answer.
                report_.encryption = secured_ ? ambrel::EncryptionName(params->getMediaEncryption()) : "";
                if (const auto codec = params->getUsedAudioPayloadType())
                    report_.codec = codec->getMimeType() + "/" + std::to_string(codec->getClockRate());
            }
            if (const auto stats = call_->getAudioStats()) {
                report_.jitterBufferMs = stats->getJitterBufferSizeMs();
                report_.roundTripMs = stats->getRoundTripDelay() * 1000;
                report_.downloadKbps = stats->getDownloadBandwidth();
                report_.uploadKbps = stats->getUploadBandwidth();
            }
        }
        return report_;
    }

    void OnEncryption(const std::shared_ptr<linphone::Call>& call, bool on)
    {
        if (call == call_)
            secured_ = on;
    }

    void OnCallState(const std::shared_ptr<linphone::Call>& call, Call::State state)
    {
        if (call != call_)
            return;
        switch (state) {
        case Call::State::OutgoingInit:
        case Call::State::OutgoingProgress:
            report_.phase = CallPhase::Offered;
            break;
        case Call::State::OutgoingRinging:
        case Call::State::OutgoingEarlyMedia:
            report_.phase = CallPhase::Ringing;
            break;
        case Call::State::Connected:
        case Call::State::StreamsRunning:
            report_.phase = CallPhase::Connected;
            break;
        case Call::State::End:
        case Call::State::Error:
            report_.phase = CallPhase::Ended;
            report_.hungUpHere = hangingUp_;
            if (!hangingUp_)
                report_.ending = EndingOf(call);
            break;
        default:
            break;
        }
    }

private:
    bool Open(const std::string& localAddress, std::string& error)
    {
        std::error_code fault;
        if (config_.dataDir.empty() || (!std::filesystem::create_directories(config_.dataDir, fault) && fault)) {
            error = "no folder for the voice engine's files: " + config_.dataDir;
            return false;
        }
        if (ambrel::IsNullCapture(config_.captureDevice)) {
            error = "ALSA's null device cannot be the microphone";
            return false;
        }
        ambrel::EngineSettings settings;
        settings.dataDir = config_.dataDir;
        settings.bindAddress = localAddress;
        settings.contactUser = "operator";
        settings.userAgent = "quintar-link";
        settings.userAgentVersion = std::to_string(quintar::link::kVoiceAbiVersion);
        // The link's terminal shows its own lines; how a call failed is in its report.
        settings.logErrors = false;
        settings.captureDevice = config_.captureDevice;
        settings.playbackDevice = config_.playbackDevice;
        settings.playFile = config_.playFile;
        settings.recordFile = config_.recordFile;
        // Signalling over TCP from any free port: through a home router it returns on the same
        // connection, which UDP would not.
        settings.udpPort = 0;
        settings.tcpPort = -1;
        listener_ = std::make_shared<Listener>(*this);
        core_ = ambrel::CreateCore(settings, listener_);
        if (!core_) {
            error = "the SIP engine would not start";
            return false;
        }
        core_->setMaxCalls(1);
        // Both ends are ours: the audio is encrypted, or there is no call.
        core_->setMediaEncryption(ambrel::kEncryption);
        core_->setMediaEncryptionMandatory(true);
        if (core_->start() != 0) {
            Close();
            error = "the SIP engine would not start";
            return false;
        }
        bound_ = localAddress;
        return true;
    }

    void Close()
    {
        if (!core_)
            return;
        HangUp();
        core_->terminateAllCalls();
        core_->iterate();
        core_->removeListener(listener_);
        core_->stop();  // sends the BYE still pending and closes the ports
        core_.reset();
        listener_.reset();
        bound_.clear();
    }

    const quintar::link::VoiceEngineConfig config_;
    std::shared_ptr<linphone::Core> core_;
    std::shared_ptr<Listener> listener_;
    std::shared_ptr<linphone::Call> call_;
    std::string bound_;
    CallReport report_;
    bool hangingUp_ = false;
    bool secured_ = false;  // the engine reported the audio encrypted
};

void Listener::onCallStateChanged(const std::shared_ptr<linphone::Core>&, const std::shared_ptr<Call>& call,
                                  Call::State state, const std::string&)
{
    engine_.OnCallState(call, state);
}

void Listener::onCallEncryptionChanged(const std::shared_ptr<linphone::Core>&, const std::shared_ptr<Call>& call, bool on,
                                       const std::string&)
{
    engine_.OnEncryption(call, on);
}

}  // namespace

LINK_VOICE_EXPORT int QuintarLinkVoiceAbiVersion()
{
    return quintar::link::kVoiceAbiVersion;
}

LINK_VOICE_EXPORT quintar::link::VoiceEngine* QuintarLinkVoiceCreate(const quintar::link::VoiceEngineConfig* config,
                                                                     std::string* error)
{
    if (!config) {
        if (error)
            *error = "no configuration";
        return nullptr;
    }
    return new Engine(*config);
}
