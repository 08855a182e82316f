// What one hostile address can do to the station (figures, not a test): password guesses per second
// with two guesses per connection, how long an operator from another address needs to log in while
// that address keeps holding the station, and how fast a connect/close flood grows the access log.
// Usage: bench_guard [GUESS_SECONDS] [OPERATOR_TRIES] [OPERATOR_LIMIT_SECONDS] [FLOOD_SECONDS]
//        (defaults 10, 8, 100, 60)
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "Brenlow.h"
#include "RadioSim.h"
#include "SessionClient.h"
#include "TestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr char kAttacker[] = "127.0.0.2";
constexpr char kOperator[] = "127.0.0.3";
const std::string kUidOk = "\r\nUID:OK;\r\n>";
const std::string kPwdNg = "\r\nPWD:NG;\r\n>";
const std::string kPwdOk = "PWD:OK;>@@UE1;";

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::uintmax_t FolderBytes(const fs::path& folder) {
    std::uintmax_t total = 0;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.is_regular_file()) total += e.file_size();
    return total;
}

// The station's library on the simulated radio, its server on 127.0.0.1 with the log on.
class Station {
public:
    explicit Station(radiosim::RadioSim& sim) : profile_(dir_.Path() / "profile.ini"), log_(dir_.Path() / "log") {
        fs::create_directories(log_);
        profile_.WriteString("Setting", "VEXA 000 User ID", "op");
        profile_.WriteString("Setting", "VEXA 000 Password", "right");
        profile_.WriteInt("Setting", "VEXA Log", 1);
        profile_.WriteString("File Path", "VEXA Log File Path", log_.string());
        CBrenlow::SetListenAddress("127.0.0.1");
        CBrenlow::SetProfile(&profile_);
        CBrenlow::SetComPortPath(1, sim.SlavePath().c_str());
        linkOpen_ = lib_.RadioConnectionOpen(20, 1, 115200, 1) != 0;
    }
    ~Station() {
        lib_.SocketServerClose();
        lib_.RadioConnectionClose();
        CBrenlow::SetProfile(nullptr);
        CBrenlow::SetComPortPath(1, "");
    }
    // A fresh server: its login throttle starts with no record of anyone.
    bool Restart() {
        lib_.SocketServerClose();
        for (int attempt = 0; linkOpen_ && attempt < 20; ++attempt) {
            const unsigned candidate = testsupport::FreeTcpPort();
            if (lib_.SocketServerOpen(candidate)) {
                port = candidate;
                return true;
            }
        }
        return false;
    }
    std::uintmax_t LogBytes() const { return FolderBytes(log_); }
    unsigned port = 0;

private:
    testsupport::TempDir dir_;
    testsupport::IniFileProfile profile_;
    fs::path log_;
    CBrenlow lib_;
    bool linkOpen_ = false;
};

// One connection from `from`: true when the greeting came.
bool Greeted(testsupport::SessionClient& c, const char* from, unsigned port, int waitMs) {
    c.SetSourceAddress(from);
    return c.Connect(port) && c.ReadExact(testsupport::SessionClient::kGreetingSize, waitMs).size() ==
                                  testsupport::SessionClient::kGreetingSize;
}

void MeasureGuessing(Station& station, double seconds) {
    station.Restart();
    long guesses = 0, connections = 0, refused = 0;
    const auto start = Clock::now();
    while (SecondsSince(start) < seconds) {
        testsupport::SessionClient c;
        ++connections;
        if (!Greeted(c, kAttacker, station.port, 2000)) {
            ++refused;
            continue;
        }
        c.Send("UID:op;PWD:guess1;PWD:guess2;");
        const std::string answer = c.ReadExact(kUidOk.size() + 2 * kPwdNg.size(), 2000);
        for (std::size_t at = 0; (at = answer.find(kPwdNg, at)) != std::string::npos; at += kPwdNg.size()) ++guesses;
    }
    const double took = SecondsSince(start);
    std::printf("guessing, two per connection from %s: %ld guesses in %.1f s = %.1f guesses/s "
                "(%ld connections, %ld refused)\n",
                kAttacker, guesses, took, static_cast<double>(guesses) / took, connections, refused);
}

// The attacker keeps the station: every connection it gets it holds without a word until the
// server ends it, and it connects again at once.
void Hold(unsigned port, const std::atomic<bool>& stop) {
    while (!stop.load()) {
        testsupport::SessionClient c;
        if (!Greeted(c, kAttacker, port, 500)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        while (!stop.load()) {
            bool closed = false;
            c.ReadUntilClosed(100, &closed);
            if (closed) break;
        }
    }
}

// Seconds until the operator is logged in, retrying a second after each connection turned away;
// negative when the limit passed first.
double OperatorLogin(unsigned port, double limitSeconds) {
    const auto start = Clock::now();
    while (SecondsSince(start) < limitSeconds) {
        testsupport::SessionClient c;
        if (Greeted(c, kOperator, port, 15000)) {
            c.Send("UID:op;PWD:right;");
            if (c.ReadExact(kUidOk.size() + kPwdOk.size(), 5000) == kUidOk + kPwdOk) return SecondsSince(start);
        }
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    return -1;
}

void MeasureHolding(Station& station, int tries, double limitSeconds) {
    std::vector<double> times;
    int failed = 0;
    for (int i = 0; i < tries; ++i) {
        station.Restart();
        std::atomic<bool> stop{false};
        std::thread attacker(Hold, station.port, std::cref(stop));
        std::this_thread::sleep_for(std::chrono::seconds(2));  // the station is held before the operator comes
        const double t = OperatorLogin(station.port, limitSeconds);
        stop = true;
        attacker.join();
        std::printf("  try %d: %s\n", i + 1, t < 0 ? "not logged in within the limit" : (std::to_string(t) + " s").c_str());
        if (t < 0)
            ++failed;
        else
            times.push_back(t);
    }
    std::sort(times.begin(), times.end());
    if (times.empty()) {
        std::printf("operator while %s holds the station: never got in within %.0f s (%d tries)\n", kAttacker,
                    limitSeconds, tries);
        return;
    }
    std::printf("operator while %s holds the station: logged in %zu of %d tries, median %.1f s, max %.1f s\n",
                kAttacker, times.size(), tries, times[times.size() / 2], times.back());
}

void MeasureFlood(Station& station, double seconds) {
    station.Restart();
    const std::uintmax_t before = station.LogBytes();
    long cycles = 0;
    const auto start = Clock::now();
    while (SecondsSince(start) < seconds) {
        testsupport::SessionClient c;
        Greeted(c, kAttacker, station.port, 1000);
        ++cycles;
    }
    const double took = SecondsSince(start);
    std::this_thread::sleep_for(std::chrono::seconds(1));  // the last close line
    const double added = static_cast<double>(station.LogBytes() - before);
    std::printf("connect/close flood from %s: %ld connections in %.1f s, log +%.0f bytes = %.0f bytes/hour\n",
                kAttacker, cycles, took, added, added * 3600.0 / took);
}

}  // namespace

int main(int argc, char** argv) {
    const double guessSeconds = argc > 1 ? std::atof(argv[1]) : 10;
    const int tries = argc > 2 ? std::atoi(argv[2]) : 8;
    const double limit = argc > 3 ? std::atof(argv[3]) : 100;
    const double floodSeconds = argc > 4 ? std::atof(argv[4]) : 60;
    radiosim::RadioSim sim;
    if (!sim.Start()) {
        std::fprintf(stderr, "bench_guard: cannot start the simulated radio\n");
        return 1;
    }
    {
        Station station(sim);
        if (!station.Restart()) {
            std::fprintf(stderr, "bench_guard: cannot open the station\n");
            return 1;
        }
        if (guessSeconds > 0) MeasureGuessing(station, guessSeconds);
        if (tries > 0) MeasureHolding(station, tries, limit);
        if (floodSeconds > 0) MeasureFlood(station, floodSeconds);
    }
    sim.Stop();
    return 0;
}
