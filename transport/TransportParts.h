// What the two transport components (serial port, TCP server) do alike: the wake-up, an eventfd
// that one thread signals to end another's wait in poll() at once (a close, a host that has news),
// the deadline arithmetic of those waits, and the delivery of received bytes to the caller.
// Header-only, so each component keeps its own copy and the two stay independent libraries.
#pragma once

#include <cerrno>
#include <chrono>
#include <cstddef>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace transport {

using Clock = std::chrono::steady_clock;

// Milliseconds left until `deadline` for poll(); -1 (no limit) when the wait is not `limited`.
inline int RemainingMs(bool limited, Clock::time_point deadline)
{
    if (!limited)
        return -1;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Copies the `count` received bytes but their NUL bytes, which carry nothing for the command
// stream and would cut the caller's C string, into `buffer` and ends it with a NUL. 1 when
// anything was delivered.
inline int DeliverWithoutNul(const unsigned char* raw, long count, unsigned char* buffer)
{
    unsigned out = 0;
    for (long i = 0; i < count; ++i) {
        if (raw[i] != 0)
            buffer[out++] = raw[i];
    }
    buffer[out] = 0;
    return out > 0 ? 1 : 0;
}

class WakeEvent {
public:
    WakeEvent() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
    ~WakeEvent()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    WakeEvent(const WakeEvent&) = delete;
    WakeEvent& operator=(const WakeEvent&) = delete;

    bool Valid() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    void Signal()
    {
        if (fd_ >= 0)
            eventfd_write(fd_, 1);
    }
    // Non-blocking; nothing to do when it is not signalled.
    void Drain()
    {
        eventfd_t value;
        eventfd_read(fd_, &value);
    }
    // Waits on the wake alone (there is nothing else to watch) until it is signalled or the
    // deadline comes. A signal stays set while `keepSignalled()` holds, for every waiter to see.
    template <class Keep>
    void WaitAlone(bool limited, Clock::time_point deadline, Keep keepSignalled)
    {
        pollfd p{fd_, POLLIN, 0};
        for (;;) {
            const int r = poll(&p, 1, RemainingMs(limited, deadline));
            if (r < 0 && errno == EINTR)
                continue;
            if (r > 0 && !keepSignalled())
                Drain();
            return;
        }
    }

private:
    int fd_;
};

}  // namespace transport
