// The two radio models the library operates, by the identity the radio reports in its ID answer.
#pragma once

#include <cstdint>

namespace brenlow {

inline constexpr std::uint32_t kDunmore = 19;
inline constexpr std::uint32_t kCorrin = 20;

// Which identities a command, answer or accessor serves.
enum class Models : std::uint8_t {
    Dunmore = 1,  // 19 only
    Corrin = 2,   // 20 only
    Both = 3,     // 19 and 20
    Any = 4,      // every identity (the ID answer)
};

constexpr bool Serves(Models m, std::uint32_t id) {
    switch (m) {
    case Models::Dunmore: return id == kDunmore;
    case Models::Corrin: return id == kCorrin;
    case Models::Both: return id == kDunmore || id == kCorrin;
    case Models::Any: return true;
    }
    return false;
}

}  // namespace brenlow
