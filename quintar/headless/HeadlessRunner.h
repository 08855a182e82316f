// Headless mode: the station controller without a window, for a station without a display or
// under a service manager. It starts the station at launch and serves until a stop signal.
#pragma once

namespace quintar {

// Exit statuses of `quintar --headless`.
inline constexpr int kHeadlessStopped = 0;        // stopped by SIGINT or SIGTERM
inline constexpr int kHeadlessStartFailed = 1;    // start failed, or another host has the profile
inline constexpr int kHeadlessUsage = 2;          // unknown argument
inline constexpr int kHeadlessWatchdog = 3;       // the radio fell silent; a restart may help

// Runs headless mode to its end. A QCoreApplication must exist; `argv` is the whole command line.
int RunHeadless(int argc, const char* const* argv);

}  // namespace quintar
