// The network server's entry points: opening and closing the server, and the members through which
// the session thread and its steps are named (ThreadSock, OnSocketAccept, OnSocketClose and the
// login step). The session itself is the Session object the thread runs, with the server's throttle.
#include "Brenlow.h"
#include "LoginThrottle.h"
#include "Session.h"

using brenlow::RadioState;
using namespace brenlow::server;

int CBrenlow::SocketServerOpen(unsigned port) {
    RadioState& s = brenlow::State();
    if (s.sockThreadAlive.load()) return 0;
    if (s.sockThread.joinable()) s.sockThread.join();
    if (!s.socketServer.Listen(port)) return 0;
    brenlow::SetClientPath(s, true);
    s.ipPort = port;
    s.sockThreadRun = 1;
    s.sockThreadAlive = 1;
    s.sockThread = std::thread([&s] { ThreadSock(&s); });
    sockThread = &s.sockThread;
    return 1;
}

void CBrenlow::SocketServerClose() {
    RadioState& s = brenlow::State();
    if (!s.sockThreadAlive.load()) return;
    brenlow::SetClientPath(s, false);
    s.sockThreadRun = 0;
    s.socketServer.Wake();
    {
        std::lock_guard<std::mutex> l(s.statusLock);  // a session ending just now waits no longer
    }
    s.statusArrived.notify_all();
    brenlow::StopWorker(s.sockThreadAlive, s.sockThread, 100, 100);
    brenlow::SleepMs(100);
    s.socketServer.DisConnect();
}

void CBrenlow::CloseClientPath() { brenlow::SetClientPath(brenlow::State(), false); }

// The throttle lives as long as the server runs: a restart forgets every address.
unsigned CBrenlow::ThreadSock(void* state) {
    RadioState& s = *static_cast<RadioState*>(state);
    LoginThrottle throttle;
    return Session(s, s.socketServer, throttle).Run();
}

void CBrenlow::OnSocketAccept() {
    Session::With(brenlow::State(), [](Session& session) { session.Greet(); });
}

void CBrenlow::OnSocketClose() {
    Session::With(brenlow::State(), [](Session& session) { session.Close(); });
}

int CBrenlow::CmdSetCodeCheckVEXA_LOGIN(unsigned char* command, void* state) {
    return Session::With(*static_cast<RadioState*>(state), [&](Session& session) { return session.Login().Step(command); });
}
