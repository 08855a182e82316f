// Setting up the SIP engine for both voice libraries.
#include "SipEngine.h"

#include <cstdlib>
#include <filesystem>
#include <map>

namespace ambrel {

namespace {

// PulseAudio's client keeps a cookie in ~/.config/pulse and, without a login session (a service,
// a container), a runtime link too. Where that folder exists PulseAudio has run and it is used as
// it is; otherwise both go to the engine's data folder.
void KeepPulseAudioOutOfHome(const std::string& dir)
{
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    const std::string config = configHome && *configHome ? configHome : std::string(home ? home : "") + "/.config";
    std::error_code error;
    if (std::filesystem::is_directory(config + "/pulse", error))
        return;
    static std::map<std::string, std::string> ours;  // values set here, replaced by the next data folder
    const auto set = [](const char* name, const std::string& value) {
        const char* current = std::getenv(name);
        if (!current || !*current || ours[name] == current) {
            ours[name] = value;
            ::setenv(name, value.c_str(), 1);
        }
    };
    set("PULSE_COOKIE", dir + "pulse-cookie");
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime)
        set("PULSE_RUNTIME_PATH", dir + "pulse");
}

}  // namespace

std::shared_ptr<linphone::Core> CreateCore(const EngineSettings& s, const std::shared_ptr<linphone::CoreListener>& listener)
{
    // Before the engine's first use: errors to stderr only, so that standard output stays the
    // program's; no mediastreamer plugins, one of which maps Qt 5 into the process; the engine's
    // files in the data folder (the trailing '/' is needed, it is used as a prefix).
    linphone::LoggingService::get()->setLogLevelMask((s.logErrors ? unsigned(linphone::LogLevel::Error) : 0u) |
                                                     unsigned(linphone::LogLevel::Fatal));
    auto factory = linphone::Factory::get();
    std::error_code error;
    const std::string dir = std::filesystem::absolute(s.dataDir, error).lexically_normal().string() + "/";
    factory->setDataDir(dir);
    factory->setConfigDir(dir);
    factory->setDownloadDir(dir);
    factory->setMspluginsDir("/nonexistent");
    KeepPulseAudioOutOfHome(dir);

    auto settings = factory->createConfig("");  // in memory: no ~/.linphonerc
    if (!s.bindAddress.empty()) {
        settings->setString("sip", "bind_address", s.bindAddress);
        settings->setString("rtp", "bind_address", s.bindAddress);
    }
    auto core = factory->createCoreWithConfig(settings, nullptr);
    if (!core)
        return nullptr;
    if (listener)
        core->addListener(listener);
    core->enableIpv6(s.bindAddress.find(':') != std::string::npos);
    core->enableVideoCapture(false);
    core->enableVideoDisplay(false);
    auto video = factory->createVideoActivationPolicy();
    video->setAutomaticallyInitiate(false);
    video->setAutomaticallyAccept(false);
    core->setVideoActivationPolicy(video);
    core->disableChat(linphone::Reason::NotAcceptable);
    core->setUserAgent(s.userAgent, s.userAgentVersion);
    core->setPrimaryContact("sip:" + s.contactUser + "@" + (s.bindAddress.empty() ? std::string("127.0.0.1") : s.bindAddress));
    core->setRing("");
    core->setRingback("");
    // Radio audio, no loudspeaker next to a microphone: nothing to cancel.
    core->enableEchoCancellation(false);
    core->setNortpTimeout(s.noAudioTimeout);
    // Random RTP ports: several ends (or test runs) on one machine.
    core->setAudioPort(-1);
    core->setVideoPort(-1);
    core->setTextPort(-1);
    if (!s.playFile.empty()) {
        core->setUseFiles(true);
        core->setPlayFile(s.playFile);
        core->setRecordFile(s.recordFile);
    } else {
        // The engine's default, hold music, is also what it sends when no capture device opens.
        core->setPlayFile("");
        SelectDevices(core, s);
    }
    auto transports = factory->createTransports();
    transports->setUdpPort(s.udpPort);
    transports->setTcpPort(s.tcpPort);
    transports->setTlsPort(0);
    transports->setDtlsPort(0);
    core->setTransports(transports);
    return core;
}

bool Named(const std::shared_ptr<const linphone::AudioDevice>& device, const std::string& name)
{
    return device && (device->getDeviceName() == name || device->getId() == name);
}

std::shared_ptr<linphone::AudioDevice> FindDevice(const std::shared_ptr<linphone::Core>& core, const std::string& name,
                                                  linphone::AudioDevice::Capabilities need)
{
    if (name.empty())
        return nullptr;
    for (const auto& device : core->getExtendedAudioDevices())
        if (device->hasCapability(need) && Named(device, name))
            return device;
    return nullptr;
}

void SelectDevices(const std::shared_ptr<linphone::Core>& core, const EngineSettings& s)
{
    if (auto in = FindDevice(core, s.captureDevice, linphone::AudioDevice::Capabilities::CapabilityRecord))
        core->setDefaultInputAudioDevice(in);
    if (auto out = FindDevice(core, s.playbackDevice, linphone::AudioDevice::Capabilities::CapabilityPlay))
        core->setDefaultOutputAudioDevice(out);
}

bool IsNullCapture(const std::string& name)
{
    return name == "null" || (name.size() >= 6 && name.compare(name.size() - 6, 6, ": null") == 0);
}

const char* EncryptionName(linphone::MediaEncryption encryption)
{
    switch (encryption) {
    case linphone::MediaEncryption::DTLS:
        return "DTLS-SRTP";
    case linphone::MediaEncryption::SRTP:
        return "SRTP";
    case linphone::MediaEncryption::ZRTP:
        return "ZRTP";
    default:
        return "none";
    }
}

}  // namespace ambrel
