// Slows password guessing and keeps one address from holding the station: every wrong password of
// an address counts, and so does every connection of it that ends without a password tried (twice,
// as it costs the log and the station's one slot and guesses nothing). Once an address has
// kFailuresToBlock in a row, its connections are refused for a cool-down that doubles with each
// block (30 s up to an hour); after a block one more failure starts the next. Other addresses are
// never affected, and a successful login from the address forgets it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>

namespace brenlow::server {

class LoginThrottle {
public:
    static constexpr int kFailuresToBlock = 5;
    static constexpr int kWrongPassword = 1;
    static constexpr int kNoLoginAttempt = 2;  // a connection that ended without any "PWD:"
    static constexpr std::int64_t kFirstCoolDownMs = 30'000;
    static constexpr std::int64_t kLongestCoolDownMs = 3'600'000;
    // An address neither blocked nor failing for this long is forgotten first when room is needed.
    static constexpr std::int64_t kQuietForgetMs = kLongestCoolDownMs;
    // Bounds what a crowd of guessers can cost (a few megabytes). A running block is never
    // forgotten; with every record blocked, further addresses go unrecorded until one ends.
    static constexpr std::size_t kMaxAddresses = 65536;

    // Whether a connection from `address` (dotted IPv4) is to be refused now.
    bool Refused(const char* address, std::int64_t nowMs) const;
    // A failure of `weight` (kWrongPassword, kNoLoginAttempt) from `address`. Returns the cool-down
    // that starts now in milliseconds, or 0 when the address may go on.
    std::int64_t Failed(const char* address, int weight, std::int64_t nowMs);
    void LoginSucceeded(const char* address);
    std::size_t Recorded() const { return records_.size(); }

private:
    struct Record {
        std::int64_t blockedUntil = 0;
        std::int64_t lastFailure = 0;
        std::uint16_t failures = 0;  // in a row, since the last block or success
        std::uint8_t blocks = 0;     // the cool-down doubles with each
    };
    static std::uint32_t Key(const char* address);
    bool MakeRoom(std::int64_t nowMs);
    std::unordered_map<std::uint32_t, Record> records_;
};

}  // namespace brenlow::server
