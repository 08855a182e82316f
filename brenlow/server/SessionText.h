// Every text the session server and its server commands send to the client, the notification codes
// of the session, and the small helpers that send texts (at their own length or as NUL-padded blocks)
// and write formatted access-log entries.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "RadioState.h"

namespace brenlow::server {

inline constexpr std::size_t kBufferSize = 1024;  // receive, command and work buffers
inline constexpr std::size_t kMaxLoginValue = 32;      // user id or password after "UID:" / "PWD:"
inline constexpr std::size_t kMaxPasswordChange = 32;  // new password of "@@CP"
inline constexpr std::int64_t kLoginLimitMs = 30000;
inline constexpr std::int64_t kIdleLimitMs = 30000;

// Sent at their own length.
inline constexpr char kUidOk[] = "\r\nUID:OK;\r\n>";
inline constexpr char kUidNg[] = "\r\nUID:NG;\r\n>";
inline constexpr char kCmdNg[] = "\r\nCMD:NG;\r\n>";
inline constexpr char kPwdNg[] = "\r\nPWD:NG;\r\n>";
inline constexpr char kPwdOkDisabled[] = "\r\nPWD:OK;>@@UE0;";
inline constexpr char kPwdOk[] = "PWD:OK;>@@UE1;";
inline constexpr char kLoginTimeout[] = "\r\nLogin timeout.";
inline constexpr char kIdleTimeout[] = "\r\nConnection time out.\r\nGood-Bye\r\n;";
inline constexpr char kUnknownCommand[] = "@@?;";
inline constexpr char kAutoInformationFormat[] = "@@AI%u;";
inline constexpr char kSessionTimeFormat[] = "@@ST%02u%02u%02u%02u%02u%02u;";
inline constexpr char kVoiceFormat[] = "@@VE%01u;";

// Sent as fixed-size blocks: the text, then NUL bytes up to the size.
struct Block {
    const char* text;
    std::size_t size;
};
inline constexpr char kGreetingText[] = "\r\n\r\nHello!! This is Talvern Network Command System.\r\n>";
inline constexpr char kLoginFailedText[] = "\r\nLogin failed. Good-Bye\r\n;";
inline constexpr char kOverflowText[] = "\r\nConnection Error:Command length too long!!\r\nGood-Bye\r\n;";
inline constexpr char kPasswordChangeFormat[] = "@@CP%u;";
inline constexpr Block kGreeting{kGreetingText, 256};
inline constexpr Block kLoginFailed{kLoginFailedText, 512};
inline constexpr Block kOverflow{kOverflowText, 1024};
inline constexpr std::size_t kPasswordChangeBlock = 150;
static_assert(sizeof kGreetingText <= 256 && sizeof kLoginFailedText <= 512 && sizeof kOverflowText <= kBufferSize);


inline int SendText(RadioState& s, const char* text) {
    return s.socketServer.Write(reinterpret_cast<const unsigned char*>(text), std::strlen(text));
}

inline int SendBlock(RadioState& s, const char* text, std::size_t size) {
    unsigned char block[kBufferSize] = {};
    if (size > sizeof block) size = sizeof block;
    std::snprintf(reinterpret_cast<char*>(block), size, "%s", text);
    return s.socketServer.Write(block, size);
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

// A consistent copy of the session's two texts.
struct SessionTexts {
    char userId[35];
    char address[25];
};

inline SessionTexts ReadTexts(SessionRecord& r) {
    SessionTexts t;
    std::lock_guard<std::mutex> g(r.lock);
    std::memcpy(t.userId, r.loginUserId, sizeof t.userId);
    std::memcpy(t.address, r.clientAddress, sizeof t.address);
    t.userId[sizeof t.userId - 1] = 0;
    t.address[sizeof t.address - 1] = 0;
    return t;
}

}  // namespace brenlow::server
