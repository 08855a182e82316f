// The session protocol's texts as the station sends them, the fixed block sizes some of them go out
// in, and the time limits: one source for the session server and for the programs that log in to it.
#pragma once

#include <cstddef>
#include <cstdint>

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

}  // namespace brenlow::server
