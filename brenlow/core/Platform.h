// What the radio control library needs from its host, as small interfaces the host implements:
// a window to post notifications to, the application profile, the one alert, and a clock.
#pragma once

#include <cstdint>
#include <string>

namespace brenlow {

// The host's window. Post must be thread-safe and must never wait for the host.
class HostWindow {
public:
    virtual ~HostWindow() = default;
    virtual void Post(unsigned message, unsigned long wParam, long lParam) = 0;
};

// The application profile: integers and strings by section and key. Missing keys give the default.
// A write reports whether the value is now stored; a failed one leaves the stored value as it was.
// Implementations must allow calls from several threads at once.
class Profile {
public:
    virtual ~Profile() = default;
    virtual int GetInt(const std::string& section, const std::string& key, int def) = 0;
    virtual std::string GetString(const std::string& section, const std::string& key, const std::string& def) = 0;
    virtual bool WriteInt(const std::string& section, const std::string& key, int value) = 0;
    virtual bool WriteString(const std::string& section, const std::string& key, const std::string& value) = 0;
};

// The one message the library shows the operator (the access log cannot be opened): the text,
// and what the operator needs to mend it (the file and the system's reason).
class AlertSink {
public:
    virtual ~AlertSink() = default;
    virtual void Alert(const char* text, const char* detail) = 0;
};

// Monotonic time for the session limits, in milliseconds. Tests inject their own.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::int64_t NowMs() = 0;
};

}  // namespace brenlow
