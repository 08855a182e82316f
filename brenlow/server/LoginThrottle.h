// Slows password guessing: once three connections from one address in a row have ended in
// "Login failed", that address's connections are refused for a cool-down that doubles with each
// block (30 s up to an hour). Other addresses are never affected, so a guesser cannot lock the
// operator out, and a successful login from the address forgets it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>

namespace brenlow::server {

class LoginThrottle {
public:
    static constexpr int kFailedConnections = 3;
    static constexpr std::int64_t kFirstCoolDownMs = 30'000;
    static constexpr std::int64_t kLongestCoolDownMs = 3'600'000;
    static constexpr std::size_t kMaxAddresses = 1024;  // bounds what a crowd of guessers can cost

    // Whether a connection from `address` is to be refused now.
    bool Refused(const std::string& address, std::int64_t nowMs) const;
    // A connection from `address` ended in "Login failed". Returns the cool-down that starts now
    // in milliseconds, or 0 when the address may go on.
    std::int64_t LoginFailed(const std::string& address, std::int64_t nowMs);
    void LoginSucceeded(const std::string& address);

private:
    struct Record {
        int failures = 0;
        std::int64_t coolDownMs = 0;    // of the last block; the next one doubles it
        std::int64_t blockedUntil = 0;
        std::int64_t lastFailure = 0;
    };
    void MakeRoom(std::int64_t nowMs);
    std::unordered_map<std::string, Record> records_;
};

}  // namespace brenlow::server
