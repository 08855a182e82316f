// The per-address login throttle of the session server.
#include "LoginThrottle.h"

#include <algorithm>

namespace brenlow::server {

bool LoginThrottle::Refused(const std::string& address, std::int64_t nowMs) const {
    const auto it = records_.find(address);
    return it != records_.end() && nowMs < it->second.blockedUntil;
}

std::int64_t LoginThrottle::LoginFailed(const std::string& address, std::int64_t nowMs) {
    if (!records_.count(address)) MakeRoom(nowMs);
    Record& r = records_[address];
    r.lastFailure = nowMs;
    if (++r.failures < kFailedConnections) return 0;
    // After a block, one more failed connection is enough for the next, longer one.
    r.failures = kFailedConnections - 1;
    r.coolDownMs = r.coolDownMs == 0 ? kFirstCoolDownMs : std::min(r.coolDownMs * 2, kLongestCoolDownMs);
    r.blockedUntil = nowMs + r.coolDownMs;
    return r.coolDownMs;
}

void LoginThrottle::LoginSucceeded(const std::string& address) { records_.erase(address); }

// Forgets the address that failed longest ago among those not blocked now; while every one is
// blocked, the one whose block ends first.
void LoginThrottle::MakeRoom(std::int64_t nowMs) {
    if (records_.size() < kMaxAddresses) return;
    auto oldest = records_.begin();
    for (auto it = records_.begin(); it != records_.end(); ++it) {
        const bool itFree = nowMs >= it->second.blockedUntil, oldestFree = nowMs >= oldest->second.blockedUntil;
        if (itFree != oldestFree ? itFree
                                 : (itFree ? it->second.lastFailure < oldest->second.lastFailure
                                           : it->second.blockedUntil < oldest->second.blockedUntil))
            oldest = it;
    }
    records_.erase(oldest);
}

}  // namespace brenlow::server
