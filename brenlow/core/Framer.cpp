// The ';' cutter's buffer work: both buffers stay zero-filled past their text.
#include "Framer.h"

#include <string.h>

namespace brenlow {

void Framer::Clear() {
    std::memset(text_, 0, sizeof text_);
    std::memset(block_, 0, sizeof block_);
    waiting_ = 0;
}

std::size_t Framer::Cut() {
    const auto* last = static_cast<const unsigned char*>(::memrchr(text_, ';', waiting_));
    if (!last) return 0;
    const std::size_t n = static_cast<std::size_t>(last - text_) + 1;
    std::memset(block_, 0, sizeof block_);
    std::memcpy(block_, text_, n);
    Drop(n);
    return n;
}

void Framer::Drop(std::size_t count) {
    std::memmove(text_, text_ + count, waiting_ - count);
    waiting_ -= count;
    std::memset(text_ + waiting_, 0, sizeof text_ - waiting_);
}

}  // namespace brenlow
