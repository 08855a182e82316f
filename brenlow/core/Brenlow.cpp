// The library frame: the object, the host's platform registrations and the small utility members.
// Opening and closing the serial link and the network server belong to the layers whose threads
// they start (cat/Reader.cpp, server/SessionServer.cpp).
#include "Brenlow.h"

#include <sys/stat.h>

#include <cstring>
#include <ctime>

#include "RadioState.h"

using brenlow::RadioState;
using brenlow::State;

CBrenlow::CBrenlow() { State(); }

CBrenlow::~CBrenlow() = default;

void CBrenlow::WinMsgSendReg(brenlow::HostWindow* window) { State().hostWindow = window; }

void CBrenlow::SetLoadMessageEnable(int enable) { State().loadMessageEnable = static_cast<std::uint32_t>(enable); }

int CBrenlow::WriteCom(const unsigned char* data, unsigned long length) { return brenlow::WriteRadio(State(), data, length); }

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

int CBrenlow::GetClientExest() { return State().client.Transport().GetClientExist(); }

int CBrenlow::GetClientIP(char* text) { return State().client.Transport().GetClientIP(text); }

int CBrenlow::GetLocalIP(char* text) { return State().socketServer.GetLocalIP(text); }

void CBrenlow::SetComPortPath(unsigned port, const char* path) { State().serialPort.SetPortPath(port, path); }

void CBrenlow::SetListenAddress(const char* address) { State().socketServer.SetListenAddress(address); }

void CBrenlow::SetProfile(brenlow::Profile* profile) { State().profile = profile; }

void CBrenlow::SetAlertSink(brenlow::AlertSink* sink) { State().alert = sink; }

void CBrenlow::SetClock(brenlow::Clock* clock) { State().clock = clock; }

void CBrenlow::SetHalfCloseGraceMs(int ms) { State().halfCloseGraceMs = ms > 0 ? ms : 0; }

void CBrenlow::WakeSessionThread() { State().socketServer.Wake(); }

std::string CBrenlow::ComPortPath(unsigned port) { return State().serialPort.PortPath(port); }

int CBrenlow::LastComPortError() { return State().serialPort.LastError(); }

std::string CBrenlow::LastComPortFailure() { return State().serialPort.LastFailure(); }

std::string CBrenlow::ListenAddress() { return State().socketServer.ListenAddress(); }

int CBrenlow::LastSocketError() { return State().socketServer.LastError(); }
unsigned CBrenlow::LastSocketErrorPort() { return State().socketServer.LastErrorPort(); }
void CBrenlow::SetSecurePort(unsigned port, SecurityProvider* provider, int plain) {
    State().socketServer.SetSecurePort(port, provider, plain != 0);
}

int CBrenlow::ClientKeyedTransmitter() { return static_cast<int>(State().clientKeyedTransmitter.load()); }
