// Public face of the voice library Ambrel: the call-control class the host drives, the event it
// posts to its owner, the configuration it takes and the two C entry points the loader resolves.
// The host compiles against this header alone and loads the library by name at run time.
#pragma once

#include <QEvent>
#include <QString>

#include <memory>

class QObject;

// Raised whenever anything in this header changes layout; the loader refuses any other number.
inline constexpr int kAmbrelAbiVersion = 1;

// The profile section "Voice" ("SIP Port", "Bind Address", "Capture Device", "Playback Device",
// "Play File", "Record File") plus the folder the SIP engine keeps its own files in.
struct AmbrelConfig {
    int sipPort = 5060;       // UDP and TCP, 1..65535
    QString bindAddress;      // empty: every IPv4 address of the station
    QString captureDevice;    // sound-device name (or engine id); empty: the system default
    QString playbackDevice;
    QString playFile;         // set: file mode; the caller hears this WAV file and what the caller
    QString recordFile;       // says is recorded to this one (empty: not recorded)
    QString dataDir;          // required: the engine's databases go here, never to $HOME
    int noAudioTimeout = 30;  // seconds without audio from the caller before the call is dropped
};

// Results of the members that return a status code.
enum AmbrelStatus : int {
    AmbrelOk = 0,
    AmbrelNoCall = -1,      // no current call, or the call is in no state for this
    AmbrelFailed = -2,      // the engine refused
    AmbrelPortTaken = -3,   // another program holds the SIP port (UDP or TCP)
    AmbrelBadConfig = -4,   // port or timeout out of range, no usable data folder, device "null"
};

// A call as the host sees it: a handle to store and hand back. Handles must not be kept past
// the deletion of the CIncomingTapi that announced them.
class VoiceCall;
using VoiceCallHandle = std::shared_ptr<VoiceCall>;

// Telephony event types, the numbers the host dispatches on.
enum class VoiceEventType : int { CallNotification = 4, CallState = 8, CallMedia = 16 };

// Detail of a call-state (8) or call-media (16) event; None for a call notification (4).
// The engine owns every call it receives, so a notification always makes the host the owner.
// TerminalFailed: at stream start, the configured sound device is not the one the call uses (it
// is missing) or the play file cannot be read or the record file's folder is missing; during a
// call, a configured device left the system's device list.
enum class VoiceDetail : int { None, Offering, Connected, Disconnected, StreamActive, StreamFailed, TerminalFailed };

// The library's message to its owner: QEvent type User + 0x65, posted, deleted by Qt after
// delivery (which releases the event's hold on the call).
class VoiceEvent : public QEvent {
public:
    static constexpr QEvent::Type kType = QEvent::Type(QEvent::User + 0x65);

    VoiceEvent(VoiceEventType eventType, VoiceDetail detail, VoiceCallHandle call)
        : QEvent(kType), eventType_(eventType), detail_(detail), call_(std::move(call))
    {
    }
    VoiceEventType eventType() const { return eventType_; }
    VoiceDetail detail() const { return detail_; }
    const VoiceCallHandle& call() const { return call_; }

private:
    VoiceEventType eventType_;
    VoiceDetail detail_;
    VoiceCallHandle call_;
};

// Takes direct SIP calls (no registrar) and carries their audio. Used only from the owner's
// thread, which must run a Qt event loop: the engine is driven by a timer there.
class CIncomingTapi {
public:
    virtual ~CIncomingTapi() = default;
    // Starts listening; an AmbrelStatus.
    virtual int InitializeTapi() = 0;
    // Hangs up every call (not only the current one) and stops listening.
    virtual void ShutdownTapi() = 0;
    // Accepts the current call.
    virtual int AnswerTheCall() = 0;
    // Refuses the current call with 486 while it is offered, hangs it up once established, and
    // does nothing (AmbrelOk) when it has already ended.
    virtual int DisconnectTheCall() = 0;
    // Forgets the current call after it ended.
    virtual void ReleaseTheCall() = 0;

    VoiceCallHandle currentCall;
};

// The library's C entry points and their types, for QLibrary::resolve.
extern "C" {
using AmbrelAbiVersionFn = int (*)();
using AmbrelCreateFn = CIncomingTapi* (*)(QObject* owner, const AmbrelConfig* config);
}
inline constexpr char kAmbrelAbiVersionSymbol[] = "AmbrelAbiVersion";
inline constexpr char kAmbrelCreateSymbol[] = "AmbrelCreate";
