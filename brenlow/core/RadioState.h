// The radio state block: the library's one static record, shared by every CBrenlow object, the
// host's thread and the two worker threads (radio reader, session server).
// Flags are atomics with one writer each; the answer cache and the session texts have locks.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string_view>
#include <thread>

#include "AnswerCache.h"
#include "HostMessages.h"
#include "Drisko.h"
#include "Pellan.h"
#include "Platform.h"
#include "RelaySink.h"

namespace brenlow {

// Hours, minutes and seconds of the session clock, published as one value so that a reader on
// another thread never sees the minutes of one second with the seconds of the next.
struct SessionClockTime {
    std::uint32_t hours = 0, minutes = 0, seconds = 0;
};

class AtomicClockTime {
public:
    void Store(SessionClockTime t) {
        packed_.store(static_cast<std::uint64_t>(t.hours) << 32 | (t.minutes & 0xFFu) << 8 | (t.seconds & 0xFFu));
    }
    SessionClockTime Load() const {
        const std::uint64_t v = packed_.load();
        return {static_cast<std::uint32_t>(v >> 32), static_cast<std::uint32_t>((v >> 8) & 0xFFu),
                static_cast<std::uint32_t>(v & 0xFFu)};
    }

private:
    std::atomic<std::uint64_t> packed_{0};
};

// One client session. The session thread writes it; the host reads it through the session
// accessors. Texts and time stamps are guarded by `lock`; the numbers are atomics.
struct SessionRecord {
    std::mutex lock;
    char loginUserId[35];
    char clientAddress[25];
    std::atomic<std::uint32_t> loggedIn{0};
    std::atomic<std::uint32_t> passwordFailures{0};
    std::int64_t lastReceiveTime = 0;   // monotonic milliseconds
    std::atomic<std::uint32_t> autoInformation{0};
    std::atomic<std::uint32_t> passwordChangeResult{0};
    std::int64_t sessionStartTime = 0;  // monotonic milliseconds
    AtomicClockTime limit;    // limitHours, limitMinutes, limitSeconds
    AtomicClockTime elapsed;  // elapsedHours, elapsedMinutes, elapsedSeconds

    SessionRecord() { Clear(); }
    // Every field, loginUserId through the elapsed time.
    void Clear();
};

// The session's client over the transport it came by: the server writes its texts to it, and the
// reader relays the radio's text to it once it has logged in. Bound to the plain listener until a
// session serves another transport.
class ClientLink final : public RelaySink {
public:
    ClientLink(ClientTransport& plain, const std::atomic<std::uint32_t>& loggedIn)
        : plain_(plain), transport_(&plain), loggedIn_(loggedIn) {}
    void Bind(ClientTransport& transport) { transport_ = &transport; }
    // The transport's session has ended: back to the plain listener, unless another took the link.
    void Release(ClientTransport& transport) {
        ClientTransport* bound = &transport;
        transport_.compare_exchange_strong(bound, &plain_);
    }
    ClientTransport& Transport() { return *transport_.load(); }
    int Write(const unsigned char* data, std::size_t length) {
        return Transport().Write(data, static_cast<unsigned long>(length));
    }
    bool Relaying() override { return Transport().GetClientExist() && loggedIn_.load(); }
    void Relay(const unsigned char* data, std::size_t length) override { Write(data, length); }

private:
    ClientTransport& plain_;
    std::atomic<ClientTransport*> transport_;
    const std::atomic<std::uint32_t>& loggedIn_;
};

struct RadioState {
    std::atomic<std::uint32_t> comThreadRun{0};
    std::atomic<std::uint32_t> comThreadAlive{0};
    std::atomic<std::uint32_t> sockThreadRun{0};
    std::atomic<std::uint32_t> sockThreadAlive{0};

    // Recursive, so a parser stores an answer and its notifier reads the stored value in one hold:
    // a query that empties the entry in between cannot make the notification carry 0.
    std::recursive_mutex cacheLock;
    AnswerCache cache{};
    // The model identity of the ID entry: 19 Dunmore, 20 Corrin, 0 while not known.
    std::atomic<std::uint32_t> modelId{0};

    SessionRecord session;

    std::atomic<std::uint32_t> loadMessageEnable{0};
    std::atomic<std::uint32_t> comPortOpen{0};
    std::atomic<std::uint32_t> clientConnected{0};
    std::atomic<std::uint32_t> terminalMode{0};
    // 1 after a client's transmit command reached the radio (or raw terminal text, which may have
    // keyed it), 0 after its receive command: the station's stop puts the radio back to receive
    // even where no answer told the host.
    std::atomic<std::uint32_t> clientKeyedTransmitter{0};
    // Client text reaches the radio only while the path is open: from SocketServerOpen until the
    // station's stop closes it, before its own last commands. Every client write holds the lock,
    // so none is under way once the close has returned.
    std::mutex clientPathLock;
    bool clientPathOpen = false;  // guarded by clientPathLock
    std::atomic<std::uint32_t> clientWrites{0};  // client texts written to the radio so far
    // Status (IF) answers parsed so far, and their signal: the end of a session waits for the
    // answer to its own status query, so it never reaches the next client.
    std::atomic<std::uint32_t> statusAnswers{0};
    std::mutex statusLock;
    std::condition_variable statusArrived;
    std::atomic<HostWindow*> hostWindow{nullptr};
    std::atomic<std::uint32_t> ipPort{0};

    CPellan serialPort;
    CDrisko socketServer;  // the plain TCP listener
    ClientLink client{socketServer, session.loggedIn};
    // Where the reader sends the radio's text: the client, unless a test or a tool puts its own sink here.
    std::atomic<RelaySink*> relay{&client};

    // The host's platform, registered through CBrenlow's static setters.
    std::atomic<Profile*> profile{nullptr};
    std::atomic<AlertSink*> alert{nullptr};
    std::atomic<Clock*> clock{nullptr};
    std::atomic<int> halfCloseGraceMs{1000};

    std::thread comThread;
    std::thread sockThread;

    RadioState();
    ~RadioState();  // stops worker threads still running when the library unloads
    RadioState(const RadioState&) = delete;
    RadioState& operator=(const RadioState&) = delete;

    std::int64_t NowMs();
};

// The one record of the process.
RadioState& State();

// Posts the library notification message (kNotifyMessage) to the registered host window, if any.
bool PostToHost(RadioState& s, unsigned long code, long lParam);

// The one way bytes reach the radio: the encoders, ConnDirect (through WriteCom), the client command
// filter and the session server all write here. Returns the serial component's result.
int WriteRadio(RadioState& s, const unsigned char* data, std::size_t length);
inline int WriteRadio(RadioState& s, std::string_view text) {
    return WriteRadio(s, reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

// What a client's write does to the transmitter, as far as the station can tell.
enum class Keying { Unchanged, Keys, Unkeys };
// Writes client text to the radio while the client path is open; false (nothing written) once a stop
// has closed it.
bool WriteFromClient(RadioState& s, const unsigned char* data, std::size_t length, Keying keying);
void SetClientPath(RadioState& s, bool open);
bool ClientPathOpen(RadioState& s);

// Stops a worker cooperatively: waits for it to leave its loop, at most `tries` x `stepMs`, then joins
// it if it did. One still busy beyond the bounded wait is never detached: it stays joinable, and the
// next open or the state block's end waits for it, so the ports it uses outlive it.
void StopWorker(std::atomic<std::uint32_t>& alive, std::thread& thread, int tries, int stepMs);

void SleepMs(int ms);

}  // namespace brenlow
