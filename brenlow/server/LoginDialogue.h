// The login dialogue of one connection: "UID:" and "PWD:" before login, checked against the user
// accounts. Every wrong password, and a connection that ends without any, is reported to the
// per-address throttle it is given, whose block ends the connection.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "LoginThrottle.h"
#include "RadioState.h"

namespace brenlow::server {

struct SessionTexts;

class LoginDialogue {
public:
    // `transport` carries the connection; `close` ends it (third wrong password, a block, a
    // disabled user).
    LoginDialogue(RadioState& s, ClientTransport& transport, LoginThrottle& throttle, std::function<void()> close);

    void Begin(std::int64_t now);  // a new connection: no password tried yet
    // One command before login, without its ";" and as the client sent it: 0 when it is not
    // acceptable (the filter answers "CMD:NG"), 1 otherwise.
    int Step(const unsigned char* command);
    // The connection from `address` has ended: one that tried no password counts against it.
    void Ended(const char* address, std::int64_t now);
    // The accept, or the last password tried: a client quiet since then gives way to a newcomer.
    std::int64_t LastAttempt() const { return lastAttempt_; }

private:
    int NotAcceptable();
    int UserId(const char* value, std::size_t length);
    int Password(const char* value);
    void WrongPassword(const SessionTexts& t);
    void LoggedIn(const SessionTexts& t);

    RadioState& s_;
    ClientTransport& transport_;
    LoginThrottle& throttle_;
    std::function<void()> close_;
    bool passwordTried_ = false;  // a "PWD:" reached the password check on this connection
    std::int64_t lastAttempt_ = 0;
};

}  // namespace brenlow::server
