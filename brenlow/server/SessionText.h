// The small helpers of the session server: sending the protocol's texts (SessionProtocol.h) to the
// client at their own length or as NUL-padded blocks, formatted access-log entries, and the session
// record's texts and start stamp.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "RadioState.h"
#include "SessionProtocol.h"

namespace brenlow::server {

inline int SendText(RadioState& s, const char* text) {
    return s.client.Write(reinterpret_cast<const unsigned char*>(text), std::strlen(text));
}

inline int SendBlock(RadioState& s, const char* text, std::size_t size) {
    unsigned char block[kBufferSize] = {};
    if (size > sizeof block) size = sizeof block;
    std::snprintf(reinterpret_cast<char*>(block), size, "%s", text);
    return s.client.Write(block, size);
}

inline int SendBlock(RadioState& s, Block b) { return SendBlock(s, b.text, b.size); }

__attribute__((format(printf, 2, 3))) inline int SendFormat(RadioState& s, const char* format, ...) {
    char text[128];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return SendText(s, text);
}

// "@@ST" with the session's elapsed time and limit, each read whole.
inline int SendSessionTimeText(RadioState& s) {
    const SessionClockTime e = s.session.elapsed.Load(), l = s.session.limit.Load();
    return SendFormat(s, kSessionTimeFormat, e.hours, e.minutes, e.seconds, l.hours, l.minutes, l.seconds);
}

// A formatted access-log entry (CBrenlow::VexaLogAdd).
__attribute__((format(printf, 1, 2))) void LogFormat(const char* format, ...);

// A consistent copy of the session's two texts, and the user id as log lines show it.
struct SessionTexts {
    char userId[35];
    char address[25];
    // Blanks written as "\x20": no stored id holds one, so a client's id cannot pose as the log
    // line's next field ("UID:alice Password OK.").
    char logUserId[sizeof userId * 4];
};

inline SessionTexts ReadTexts(SessionRecord& r) {
    SessionTexts t;
    {
        std::lock_guard<std::mutex> g(r.lock);
        std::memcpy(t.userId, r.loginUserId, sizeof t.userId);
        std::memcpy(t.address, r.clientAddress, sizeof t.address);
    }
    t.userId[sizeof t.userId - 1] = 0;
    t.address[sizeof t.address - 1] = 0;
    char* out = t.logUserId;
    for (const char* in = t.userId; *in; ++in) {
        if (*in == ' ') {
            std::memcpy(out, "\\x20", 4);
            out += 4;
        } else {
            *out++ = *in;
        }
    }
    *out = 0;
    return t;
}

// The session length counts from here: the accept, then the login.
inline void SetSessionStart(RadioState& s, std::int64_t now) {
    std::lock_guard<std::mutex> g(s.session.lock);
    s.session.sessionStartTime = now;
}

}  // namespace brenlow::server
