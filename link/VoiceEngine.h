// The link's voice engine as the link drives it: one call to the station at a time, its phase and
// its figures. The engine lives in the link's voice library (libquintar-link-voice.so, on the SIP
// engine), which the link loads by name at run time, so that the link itself needs no SIP engine;
// this header is all that the two share.
#pragma once

#include <cstdint>
#include <string>

namespace quintar::link {

// Raised whenever anything in this header changes layout; the loader refuses any other number.
inline constexpr int kVoiceAbiVersion = 1;

struct VoiceEngineConfig {
    std::string dataDir;         // required: the engine's own files (keys, databases); never $HOME
    std::string captureDevice;   // sound-device names; empty: the system's default microphone
    std::string playbackDevice;  // and speakers
    std::string playFile;        // set: a WAV file is sent instead of the microphone (tests)
    std::string recordFile;      // with playFile: what the station sends is recorded here
};

enum class CallPhase : std::uint8_t { None, Offered, Ringing, Connected, Ended };

struct CallReport {
    CallPhase phase = CallPhase::None;
    bool hungUpHere = false;   // Ended: by HangUp()
    std::string ending;        // Ended by the other end or the network: why, in one line
    // While connected:
    std::string encryption;    // of the audio: "DTLS-SRTP", "none", or empty while being agreed
    std::string codec;         // e.g. "opus/48000"
    float jitterBufferMs = 0;
    float roundTripMs = 0;     // from RTCP, 0 until the first report
    float downloadKbps = 0;    // on the wire, IP and UDP headers included
    float uploadKbps = 0;
};

class VoiceEngine {
public:
    virtual ~VoiceEngine() = default;
    // Calls the SIP address `uri` from `localAddress` (the address this computer reaches the
    // station from; signalling and audio use it); false with `error` when the call could not
    // even be placed. A call under way is hung up first.
    virtual bool Call(const std::string& uri, const std::string& localAddress, std::string& error) = 0;
    virtual void HangUp() = 0;
    // Lets the engine work: every 20 ms while a call is under way, now and then otherwise.
    virtual void Iterate() = 0;
    virtual CallReport Report() = 0;
};

// The library's C entry points and their types, for dlsym.
extern "C" {
using VoiceAbiVersionFn = int (*)();
// A new engine, or null with the reason in `error`.
using VoiceCreateFn = VoiceEngine* (*)(const VoiceEngineConfig* config, std::string* error);
}
inline constexpr char kVoiceAbiVersionSymbol[] = "QuintarLinkVoiceAbiVersion";
inline constexpr char kVoiceCreateSymbol[] = "QuintarLinkVoiceCreate";
inline constexpr char kVoiceLibrary[] = "libquintar-link-voice.so";

}  // namespace quintar::link
