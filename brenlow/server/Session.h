// The session of the network server: one per run of the server, fed by its transport. It greets
// each client, runs its login dialogue, hands its commands to the filter, keeps the login, idle and
// session limits, and at every close gives the radio back to the station and listens again.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

#include "Framer.h"
#include "LoginDialogue.h"
#include "LoginThrottle.h"
#include "RadioState.h"

namespace brenlow::server {

class Session {
public:
    // The throttle outlives the session: it is the server's, for every transport it serves.
    Session(RadioState& s, ClientTransport& transport, LoginThrottle& throttle);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    unsigned Run();  // the session thread (ThreadSock), until the server stops
    void Greet();    // OnSocketAccept: the client connected, its address, the greeting
    void Close();    // OnSocketClose: the client dropped, the radio handed back, listening again
    LoginDialogue& Login() { return login_; }

    // Runs `step` on the session the library's entry points act on: the running one, or, when the
    // server is not running, a passing one on the plain listener with a throttle of its own.
    template <class Step>
    static auto With(RadioState& s, Step&& step) {
        if (Session* running = running_.load()) return step(*running);
        LoginThrottle throttle;
        Session passing(s, s.socketServer, throttle);
        return step(passing);
    }

private:
    void Start();
    void Finish();
    std::int64_t AwaitClient(std::int64_t now);
    bool Refused(std::int64_t now);
    void Accept(std::int64_t now);
    std::int64_t Serve(std::int64_t now);
    void Receive(std::int64_t now);
    std::int64_t ClientGone(std::int64_t now);
    int HalfCloseGraceMs() const;
    void CommandOverflow();
    void SendOverflow();
    void Hangup();
    void CheckLimits(std::int64_t now);
    void LoginLimit(std::int64_t now, std::int64_t start);
    void GiveWay(std::int64_t now);
    void IdleLimit(std::int64_t now, std::int64_t lastReceive);
    void SessionTick(std::int64_t now, std::int64_t start);
    int WaitBudgetMs(std::int64_t now) const;
    std::int64_t Wait(int timeoutMs);
    std::uint32_t ResetRadio(bool handBack);
    void AwaitResetAnswers(std::uint32_t statusBefore);
    void ListenAgain();
    void ReadSessionLimit();
    void ClearBuffers();

    RadioState& s_;
    ClientTransport& net_;
    LoginThrottle& throttle_;
    LoginDialogue login_;
    Framer commands_;                 // client text not yet ended by ";"
    unsigned char receive_[Framer::kSize] = {};  // one delivery
    std::int64_t limitSeconds_ = 0;
    std::int64_t lastElapsed_ = 0;    // the last elapsed second the bookkeeping processed
    // When the client last sent something that may draw answers from the radio (steady clock:
    // the grace of a half-closed client is the transport's, not a session limit).
    std::chrono::steady_clock::time_point lastRadioText_{};

    static std::atomic<Session*> running_;  // the one whose thread runs, for the entry points
};

}  // namespace brenlow::server
