// The command line of quintar-link: its options, the checks on them, and the manual page that
// --help prints.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Credentials.h"

namespace quintar::link {

inline constexpr unsigned kDefaultPort = 50000;
inline constexpr unsigned kDefaultTlsPort = 50001;

struct LinkOptions {
    enum class Action { Run, Status, Help, Version } action = Action::Run;
    std::string host;
    unsigned port = kDefaultPort;  // kDefaultTlsPort with TLS
    std::string user;
    PasswordSource password;
    std::string linkPath;      // empty: LinkPath::Default()
    unsigned tcpPort = 0;      // 0: the pseudo-terminal
    bool useTcp = false;
    bool sessionClock = false;
    bool keepTrying = false;
    bool voice = false;          // call the station's voice once it offers it
    unsigned sipPort = 5060;     // the station's SIP port (its default)
    bool audioDevices = false;   // the call's audio on "Quintar RX" and "Quintar TX"
    bool tls = false;            // --tls or a tls:// station address
    std::optional<std::string> fingerprint;  // --fingerprint, in ParseFingerprint's form
};

// Exit statuses, one per way the program ends.
inline constexpr int kExitStopped = 0;       // stopped by Ctrl-C, SIGTERM or SIGHUP
inline constexpr int kExitFailed = 1;        // could not start, or the other end is not a station
inline constexpr int kExitUsage = 2;         // bad command line or password source
inline constexpr int kExitRefused = 3;       // the station refused the login
inline constexpr int kExitSessionLimit = 4;  // the station's session limit ended the session

// The options, or nothing with `error` saying what is wrong. `arguments` excludes the program name.
std::optional<LinkOptions> ParseOptions(const std::vector<std::string>& arguments, std::string& error);

extern const char kUsage[];

}  // namespace quintar::link
