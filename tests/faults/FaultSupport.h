// Faults of the line, the disk, the network and the clock, made for real around the headless host:
// an unprivileged account for the host (root ignores file permissions), a file-size limit set on
// the running host, a firewall rule that loses a connection's packets, and a wall clock moved by
// libfaketime. Each undoes itself when it goes out of scope.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "HeadlessFixture.h"

namespace faulttest {

using stationtest::Client;
using stationtest::Count;
using stationtest::Program;
using stationtest::PumpUntil;

inline constexpr unsigned kNobody = 65534;

// Runs the host as an account that file permissions apply to: when the test runs as root, the
// host runs as "nobody", owning the given paths (the profile, its folder, the log folder, the
// serial device); otherwise it runs as the test's own account.
void RunUnprivileged(Program& host, const std::vector<std::filesystem::path>& owned);

// Sets the running process's soft limit on the size of the files it writes, as a disk that has
// just this much room left for them; the hard limit stays, so the soft one can be raised again.
bool SetFileSizeLimit(pid_t pid, unsigned long long bytes);
bool ClearFileSizeLimit(pid_t pid);

// Every line of an access-log text is whole: it ends with CR LF and is a header line or a time
// stamp and one entry. Returns the broken lines (empty when all are whole).
std::vector<std::string> BrokenLogLines(const std::string& text);

// A firewall rule (nftables) that drops every packet to or from one local TCP port, both ways, as
// a pulled cable or a crashed router would: the peer sees no FIN, no RST, no ACK.
class LostPackets {
public:
    explicit LostPackets(unsigned port);
    ~LostPackets();
    LostPackets(const LostPackets&) = delete;
    LostPackets& operator=(const LostPackets&) = delete;
    bool Active() const { return active_; }
    const std::string& Error() const { return error_; }

private:
    std::string table_;
    bool active_ = false;
    std::string error_;
};

// A TCP client bound to a local port of its own (so a rule can single out its packets).
class PinnedClient {
public:
    ~PinnedClient();
    bool Connect(unsigned serverPort, int timeoutMs);  // and read the greeting
    unsigned LocalPort() const { return localPort_; }
    bool Send(const std::string& text);
    bool ReadUntil(const std::string& text, int timeoutMs);
    const std::string& Received() const { return received_; }
    // Closes the socket; the FIN it sends is lost if a rule drops this port's packets.
    void Close();

private:
    int fd_ = -1;
    unsigned localPort_ = 0;
    std::string received_;
};

// The host's wall clock, set by libfaketime through a file it re-reads on every call. Only the
// calendar clock moves: the monotonic clock, on which the session limits and the host's timers
// run, is left alone, as a real clock change (an operator, NTP stepping) leaves it.
class MovableWallClock {
public:
    explicit MovableWallClock(const std::filesystem::path& folder);
    static bool Available();
    // The environment that puts the host under this clock.
    QStringList Environment() const;
    // Offset from the real time, in libfaketime's form: "+0", "+1d", "-3h".
    void Set(const std::string& offset);

private:
    std::filesystem::path file_;
};

// The date as the access log names its files, for a wall clock `offsetSeconds` from now.
std::string LogFileName(long long offsetSeconds = 0);

}  // namespace faulttest
