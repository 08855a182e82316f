// The one radio state block of the process, its orderly end when the library unloads, and the
// helpers every layer shares: the write to the radio, the post to the host, the worker stop.
#include "RadioState.h"

#include <chrono>
#include <cstring>

namespace brenlow {

void SessionRecord::Clear() {
    {
        std::lock_guard<std::mutex> g(lock);
        std::memset(loginUserId, 0, sizeof loginUserId);
        std::memset(clientAddress, 0, sizeof clientAddress);
        lastReceiveTime = 0;
        sessionStartTime = 0;
    }
    loggedIn = 0;
    passwordFailures = 0;
    autoInformation = 0;
    passwordChangeResult = 0;
    limit.Store({});
    elapsed.Store({});
}

RadioState::RadioState() { cache.Clear(); }

RadioState::~RadioState() {
    // A host that exits without closing leaves the workers running; stop them before the
    // components they use are destroyed.
    comThreadRun = 0;
    sockThreadRun = 0;
    serialPort.Wake();
    socketServer.Wake();
    if (comThread.joinable()) comThread.join();
    if (sockThread.joinable()) sockThread.join();
}

std::int64_t RadioState::NowMs() {
    if (Clock* c = clock.load()) return c->NowMs();
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

RadioState& State() {
    static RadioState state;
    return state;
}

bool PostToHost(RadioState& s, unsigned long code, long lParam) {
    HostWindow* w = s.hostWindow.load();
    if (!w) return false;
    w->Post(kNotifyMessage, code, lParam);
    return true;
}

int WriteRadio(RadioState& s, const unsigned char* data, std::size_t length) {
    return s.serialPort.Write(data, static_cast<unsigned long>(length));
}

bool WriteFromClient(RadioState& s, const unsigned char* data, std::size_t length, Keying keying) {
    std::lock_guard<std::mutex> g(s.clientPathLock);
    if (!s.clientPathOpen) return false;
    WriteRadio(s, data, length);
    ++s.clientWrites;
    if (keying != Keying::Unchanged) s.clientKeyedTransmitter = keying == Keying::Keys ? 1 : 0;
    return true;
}

void SetClientPath(RadioState& s, bool open) {
    std::lock_guard<std::mutex> g(s.clientPathLock);
    s.clientPathOpen = open;
}

bool ClientPathOpen(RadioState& s) {
    std::lock_guard<std::mutex> g(s.clientPathLock);
    return s.clientPathOpen;
}

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void StopWorker(std::atomic<std::uint32_t>& alive, std::thread& thread, int tries, int stepMs) {
    for (int i = 0; i < tries && alive.load(); ++i) SleepMs(stepMs);
    if (thread.joinable() && !alive.load()) thread.join();
}

}  // namespace brenlow
