// Where the radio reader sends the radio's text: the session's client, while it may have it. The
// reader asks before it parses a block and relays after, so the answers to a closing session's
// radio reset never reach the client that they let in.
#pragma once

#include <cstddef>

namespace brenlow {

class RelaySink {
public:
    virtual bool Relaying() = 0;  // whether the radio's text goes to a client now
    virtual void Relay(const unsigned char* data, std::size_t length) = 0;  // one whole write

protected:
    ~RelaySink() = default;
};

}  // namespace brenlow
