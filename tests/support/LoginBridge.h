// LoginBridge: logs in to the station's session server over TCP, then hands the session to a CAT
// program as its serial port: a pseudo-terminal whose slave side the program opens. Bytes pass
// unchanged both ways, except the server's own "@@" reports, which no radio sends.
#pragma once

#include <mutex>
#include <string>
#include <thread>

#include "SessionClient.h"

namespace testsupport {

class LoginBridge {
public:
    LoginBridge() = default;
    ~LoginBridge();  // stops
    LoginBridge(const LoginBridge&) = delete;
    LoginBridge& operator=(const LoginBridge&) = delete;

    // Connects to 127.0.0.1:port, takes the greeting, sends "UID:<user>;PWD:<password>;" and
    // expects "PWD:OK;>@@UE1;"; then opens the pseudo-terminal and starts copying. On failure
    // returns false and Error() says which step failed with what the server sent.
    bool Start(unsigned port, const std::string& user, const std::string& password, int timeoutMs);
    void Stop();

    std::string SlavePath() const { return slavePath_; }
    const std::string& Error() const { return error_; }
    std::string Dropped() const;     // the "@@" reports kept from the program
    bool ServerClosed() const;       // the station ended the session

private:
    void Copy();
    void FromServer(const char* data, std::size_t n);

    SessionClient session_;
    int master_ = -1;
    int slave_ = -1;  // held open so the master never reads a hang-up while the program reopens
    int wake_ = -1;
    std::string slavePath_;
    std::string error_;
    std::thread copier_;

    // The copier thread's own (and Start's, before the thread runs): bytes waiting for each side,
    // and where the server's text stands.
    std::string toProgram_;
    std::string toServer_;
    bool atBoundary_ = true;  // the last byte from the server ended a command
    bool inReport_ = false;   // inside an "@@" report

    mutable std::mutex lock_;
    std::string dropped_;
    bool serverClosed_ = false;
};

}  // namespace testsupport
