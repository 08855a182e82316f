// The per-address login throttle of the session server.
#include "LoginThrottle.h"

#include <arpa/inet.h>

#include <algorithm>

namespace brenlow::server {

// Addresses are IPv4 (the server listens on IPv4 only); one that does not parse shares key 0.
std::uint32_t LoginThrottle::Key(const char* address) {
    in_addr parsed{};
    return address && inet_pton(AF_INET, address, &parsed) == 1 ? parsed.s_addr : 0;
}

bool LoginThrottle::Refused(const char* address, std::int64_t nowMs) const {
    const auto it = records_.find(Key(address));
    return it != records_.end() && nowMs < it->second.blockedUntil;
}

std::int64_t LoginThrottle::Failed(const char* address, int weight, std::int64_t nowMs) {
    const std::uint32_t key = Key(address);
    if (!records_.count(key) && !MakeRoom(nowMs)) return 0;
    Record& r = records_[key];
    r.lastFailure = nowMs;
    r.failures = static_cast<std::uint16_t>(std::min(r.failures + weight, kFailuresToBlock));
    if (r.failures < kFailuresToBlock) return 0;
    // After a block, one more failure is enough for the next, longer one.
    r.failures = kFailuresToBlock - 1;
    std::int64_t coolDown = kFirstCoolDownMs;
    for (int i = 0; i < r.blocks && coolDown < kLongestCoolDownMs; ++i) coolDown *= 2;
    coolDown = std::min(coolDown, kLongestCoolDownMs);
    if (coolDown < kLongestCoolDownMs) ++r.blocks;
    r.blockedUntil = nowMs + coolDown;
    return coolDown;
}

void LoginThrottle::LoginSucceeded(const char* address) { records_.erase(Key(address)); }

// Room for one more address: the quiet ones go first, then the one that failed longest ago among
// those not blocked now. False when every record is a running block.
bool LoginThrottle::MakeRoom(std::int64_t nowMs) {
    if (records_.size() < kMaxAddresses) return true;
    std::erase_if(records_, [nowMs](const auto& entry) {
        return nowMs >= entry.second.blockedUntil && nowMs - entry.second.lastFailure >= kQuietForgetMs;
    });
    if (records_.size() < kMaxAddresses) return true;
    auto oldest = records_.end();
    for (auto it = records_.begin(); it != records_.end(); ++it)
        if (nowMs >= it->second.blockedUntil && (oldest == records_.end() || it->second.lastFailure < oldest->second.lastFailure))
            oldest = it;
    if (oldest == records_.end()) return false;
    records_.erase(oldest);
    return true;
}

}  // namespace brenlow::server
