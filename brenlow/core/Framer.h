// The one cutter of ';'-terminated text, for the radio's answers (reader) and a client's commands
// (session): what has arrived is cut at its last ';', so every complete text that came together goes
// on as one block and only the unfinished tail waits for the next delivery.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace brenlow {

class Framer {
public:
    static constexpr std::size_t kSize = 1024;  // text waiting and a block: at most kSize - 1 bytes and a NUL

    // What a feed does when text without any ';' fills the framer: the radio's noise is dropped
    // oldest first; a client's command that cannot fit ends the feed.
    enum class WhenFull { DropOldest, Refuse };
    enum class Fed { All, Full, Stopped };

    // Takes `data` in pieces that fit beside the text waiting, and after each piece hands the
    // complete text (through the last ';', NUL-terminated in a zero-filled block) to
    // `block(unsigned char* text, std::size_t length)`, which returns false to stop the feed. So an
    // unfinished text is never pushed out by the rest of a burst, and a burst of short texts never
    // counts as one long one. Full (Refuse only): what was not taken is dropped.
    template <class Block>
    Fed Feed(const unsigned char* data, std::size_t length, WhenFull whenFull, Block&& block) {
        std::size_t taken = 0;
        while (taken < length) {
            if (waiting_ == kSize - 1) {
                if (whenFull == WhenFull::Refuse) return Fed::Full;
                Drop(std::min(waiting_, length - taken));
            }
            const std::size_t piece = std::min(kSize - 1 - waiting_, length - taken);
            std::memcpy(text_ + waiting_, data + taken, piece);
            waiting_ += piece;
            taken += piece;
            if (const std::size_t n = Cut(); n > 0 && !block(block_, n)) return Fed::Stopped;
        }
        return Fed::All;
    }

    std::size_t Waiting() const { return waiting_; }  // bytes after the last ';'
    void Clear();

private:
    std::size_t Cut();  // the complete text into block_; its length, 0 without a ';'
    void Drop(std::size_t count);  // the oldest bytes waiting

    unsigned char text_[kSize] = {};
    unsigned char block_[kSize] = {};
    std::size_t waiting_ = 0;
};

}  // namespace brenlow
