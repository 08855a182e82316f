// The SIP engine (liblinphone) set up the way both voice libraries need it, the station's Ambrel
// and the link's: quiet, no Qt 5 plugin, files in a given folder only, audio only, sound devices
// chosen by name or WAV files instead. Plain C++, so that the link's library stays free of Qt.
#pragma once

#include <memory>
#include <string>

#include <linphone++/linphone.hh>

namespace ambrel {

struct EngineSettings {
    std::string dataDir;       // required: the engine's databases and keys; never $HOME
    std::string bindAddress;   // empty: every IPv4 address
    std::string contactUser;   // the user part of this end's SIP address
    std::string userAgent;     // name and version in the SIP User-Agent header
    std::string userAgentVersion;
    std::string captureDevice;   // sound-device name or engine id; empty: the system default
    std::string playbackDevice;
    std::string playFile;        // set: file mode, this WAV file instead of the capture device
    std::string recordFile;      // file mode: the far end recorded here (empty: not recorded)
    int noAudioTimeout = 30;     // seconds without audio before a call is dropped
    int udpPort = 0;             // 0: no UDP listener; -1: any free port
    int tcpPort = 0;
    bool logErrors = true;       // the engine's own error lines on standard error
};

// The audio stream's encryption that both our ends agree on: DTLS-SRTP, whose keys are agreed on
// the media path itself, so that a plain SIP path does not carry them (SDES would).
inline constexpr linphone::MediaEncryption kEncryption = linphone::MediaEncryption::DTLS;

// A core set up by `settings` with `listener`, not started yet; null when the engine refused.
std::shared_ptr<linphone::Core> CreateCore(const EngineSettings& settings,
                                           const std::shared_ptr<linphone::CoreListener>& listener);

bool Named(const std::shared_ptr<const linphone::AudioDevice>& device, const std::string& name);
// The device of that name (or id) with the capability; null when there is none.
std::shared_ptr<linphone::AudioDevice> FindDevice(const std::shared_ptr<linphone::Core>& core, const std::string& name,
                                                  linphone::AudioDevice::Capabilities need);
// Makes the named devices the defaults for the next call; unnamed or missing ones stay as they are.
void SelectDevices(const std::shared_ptr<linphone::Core>& core, const EngineSettings& settings);
// An ALSA "null" PCM as capture device makes the engine allocate without bound.
bool IsNullCapture(const std::string& name);
// "DTLS-SRTP", "SRTP", "ZRTP" or "none".
const char* EncryptionName(linphone::MediaEncryption encryption);

}  // namespace ambrel
