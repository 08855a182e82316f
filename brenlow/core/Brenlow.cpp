// The library frame: opening and closing the serial link and the network server, the host's
// platform registrations and the small utility members.
#include "Brenlow.h"

#include <sys/stat.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <thread>

#include "RadioState.h"

using brenlow::RadioState;
using brenlow::State;

namespace {

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Waits for a worker to leave its loop, at most `tries` × `stepMs`, then joins it if it did. One
// still busy beyond the bounded wait is never detached: it stays joinable, and the next open or the
// state block's end waits for it, so the ports it uses outlive it.
void StopWorker(std::atomic<std::uint32_t>& alive, std::thread& thread, int tries, int stepMs) {
    for (int i = 0; i < tries && alive.load(); ++i) Sleep(stepMs);
    if (thread.joinable() && !alive.load()) thread.join();
}

}  // namespace

CBrenlow::CBrenlow() { State(); }

CBrenlow::~CBrenlow() = default;

int CBrenlow::RadioConnectionOpen(unsigned modelId, unsigned port, unsigned baud, int reset) {
    RadioState& s = State();
    // A second open on a running link would start a second reader on the same record.
    if (s.comThreadAlive.load() || s.comPortOpen.load()) return 0;
    if (s.comThread.joinable()) s.comThread.join();
    unsigned stopBits = baud == 4800 ? 2 : 1;
    if (!s.serialPort.OpenComPort(port, baud, 0, 8, stopBits, reset)) return 0;
    s.comPortOpen = 1;
    s.terminalMode = 0;
    s.clientKeyedTransmitter = 0;
    if (reset) {
        std::scoped_lock g(s.cacheLock);
        s.cache.Clear();
        s.modelId = modelId;
    }
    s.comThreadRun = 1;
    s.comThreadAlive = 1;  // set before the start so that a close right after open waits for it
    s.comThread = std::thread([&s] { ThreadCom(&s); });
    comThread = &s.comThread;
    return 1;
}

void CBrenlow::RadioConnectionClose() {
    RadioState& s = State();
    if (!s.comThreadAlive.load()) return;
    s.comThreadRun = 0;
    s.serialPort.Wake();
    StopWorker(s.comThreadAlive, s.comThread, 100, 10);
    Sleep(100);
    s.comPortOpen = 0;
    s.serialPort.CloseComPort();
}

int CBrenlow::SocketServerOpen(unsigned port) {
    RadioState& s = State();
    if (s.sockThreadAlive.load()) return 0;
    if (s.sockThread.joinable()) s.sockThread.join();
    if (!s.socketServer.Listen(port)) return 0;
    s.ipPort = port;
    s.sockThreadRun = 1;
    s.sockThreadAlive = 1;
    s.sockThread = std::thread([&s] { ThreadSock(&s); });
    sockThread = &s.sockThread;
    return 1;
}

void CBrenlow::SocketServerClose() {
    RadioState& s = State();
    if (!s.sockThreadAlive.load()) return;
    s.sockThreadRun = 0;
    s.socketServer.Wake();
    {
        std::lock_guard<std::mutex> l(s.statusLock);  // a session ending just now waits no longer
    }
    s.statusArrived.notify_all();
    StopWorker(s.sockThreadAlive, s.sockThread, 100, 100);
    Sleep(100);
    s.socketServer.DisConnect();
}

void CBrenlow::WinMsgSendReg(brenlow::HostWindow* window) { State().hostWindow = window; }

void CBrenlow::SetLoadMessageEnable(int enable) { State().loadMessageEnable = static_cast<std::uint32_t>(enable); }

int CBrenlow::WriteCom(const unsigned char* data, unsigned long length) {
    return State().serialPort.Write(data, length);
}

int CBrenlow::ConnDirect(const unsigned char* text) {
    if (!State().comPortOpen.load() || !text) return 0;
    return WriteCom(text, std::strlen(reinterpret_cast<const char*>(text)));
}

int CBrenlow::FileExist(const char* path) {
    struct stat st;
    return path && ::stat(path, &st) == 0 ? 1 : 0;
}

void CBrenlow::GetDate(unsigned* year, unsigned* month, unsigned* day) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    *year = static_cast<unsigned>(local.tm_year + 1900);
    *month = static_cast<unsigned>(local.tm_mon + 1);
    *day = static_cast<unsigned>(local.tm_mday);
}

void CBrenlow::GetTime(unsigned* hour, unsigned* minute, unsigned* second) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    *hour = static_cast<unsigned>(local.tm_hour);
    *minute = static_cast<unsigned>(local.tm_min);
    *second = static_cast<unsigned>(local.tm_sec);
}

int CBrenlow::GetClientExest() { return State().socketServer.GetClientExist(); }

int CBrenlow::GetClientIP(char* text) { return State().socketServer.GetClientIP(text); }

int CBrenlow::GetLocalIP(char* text) { return State().socketServer.GetLocalIP(text); }

void CBrenlow::SetComPortPath(unsigned port, const char* path) { State().serialPort.SetPortPath(port, path); }

void CBrenlow::SetListenAddress(const char* address) { State().socketServer.SetListenAddress(address); }

void CBrenlow::SetProfile(brenlow::Profile* profile) { State().profile = profile; }

void CBrenlow::SetAlertSink(brenlow::AlertSink* sink) { State().alert = sink; }

void CBrenlow::SetClock(brenlow::Clock* clock) { State().clock = clock; }

void CBrenlow::WakeSessionThread() { State().socketServer.Wake(); }

std::string CBrenlow::ComPortPath(unsigned port) { return State().serialPort.PortPath(port); }

int CBrenlow::LastComPortError() { return State().serialPort.LastError(); }

int CBrenlow::LastSocketError() { return State().socketServer.LastError(); }

int CBrenlow::ClientKeyedTransmitter() { return static_cast<int>(State().clientKeyedTransmitter.load()); }
