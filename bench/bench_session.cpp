// Round trip of "FA;" from a logged-in TCP client through the session server, the serial link and
// the simulated radio back to the client, beside the same round trip written straight to the
// pseudo-terminal. Prints p50 and p99 of each and what the server adds.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "Brenlow.h"
#include "RadioSim.h"
#include "SessionClient.h"
#include "TestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPhases = 4;  // direct and served rounds alternate, so both meet the same machine load
constexpr int kRoundsPerPhase = 500;
constexpr int kWarmUp = 50;
constexpr int kPatienceMs = 5000;
const std::string kAnswer = "FA00014074000;";

struct Figures {
    double p50, p99, mean;
};

Figures Summarise(std::vector<double> us) {
    std::sort(us.begin(), us.end());
    double sum = 0;
    for (double v : us) sum += v;
    auto at = [&](double q) { return us[static_cast<std::size_t>(q * static_cast<double>(us.size() - 1))]; };
    return {at(0.50), at(0.99), sum / static_cast<double>(us.size())};
}

// Appends the times of kRoundsPerPhase calls of `once`, after a warm-up; false when a round fails.
template <class Once>
bool Time(std::vector<double>& us, Once once) {
    for (int i = 0; i < kWarmUp; ++i)
        if (!once()) return false;
    for (int i = 0; i < kRoundsPerPhase; ++i) {
        const auto start = Clock::now();
        if (!once()) return false;
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    return true;
}

bool ReadAnswer(int fd) {
    std::string got;
    while (got.size() < kAnswer.size()) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, kPatienceMs) <= 0) return false;
        char buf[64];
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) return false;
        got.append(buf, static_cast<std::size_t>(n));
    }
    return got == kAnswer;
}

// The same exchange with the line opened here, while the library's link is closed.
bool Direct(const std::string& path, std::vector<double>& us) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
    const bool ok = Time(us, [&] { return write(fd, "FA;", 3) == 3 && ReadAnswer(fd); });
    close(fd);
    return ok;
}

bool Measure(radiosim::RadioSim& sim, std::vector<double>& direct, std::vector<double>& served) {
    testsupport::TempDir dir;
    testsupport::IniFileProfile profile(dir.Path() / "profile.ini");
    profile.WriteString("Setting", "VEXA 000 User ID", "bench");
    profile.WriteString("Setting", "VEXA 000 Password", "bench");
    CBrenlow::SetListenAddress("127.0.0.1");
    CBrenlow::SetProfile(&profile);
    CBrenlow::SetComPortPath(1, sim.SlavePath().c_str());

    CBrenlow lib;
    bool ok = lib.RadioConnectionOpen(20, 1, 115200, 1) != 0;
    unsigned port = 0;
    for (int attempt = 0; ok && attempt < 20 && !port; ++attempt) {
        unsigned candidate = testsupport::FreeTcpPort();
        if (lib.SocketServerOpen(candidate)) port = candidate;
    }
    testsupport::SessionClient client;
    const std::string login = "\r\nUID:OK;\r\n>PWD:OK;>@@UE1;";
    ok = ok && port && client.ConnectAndGreet(port, kPatienceMs) && client.Send("UID:bench;PWD:bench;") &&
         client.ReadExact(login.size(), kPatienceMs) == login;
    for (int phase = 0; ok && phase < kPhases; ++phase) {
        lib.RadioConnectionClose();
        ok = Direct(sim.SlavePath(), direct) && lib.RadioConnectionOpen(20, 1, 115200, 1) &&
             Time(served, [&] { return client.Send("FA;") && client.ReadExact(kAnswer.size(), kPatienceMs) == kAnswer; });
    }
    client.Close();
    lib.SocketServerClose();
    lib.RadioConnectionClose();
    CBrenlow::SetProfile(nullptr);
    CBrenlow::SetComPortPath(1, "");
    return ok;
}

void Print(const char* name, const Figures& f) {
    std::printf("%-34s p50 %8.1f us   p99 %8.1f us   mean %8.1f us\n", name, f.p50, f.p99, f.mean);
}

}  // namespace

int main() {
    radiosim::RadioSim sim;
    if (!sim.Start()) {
        std::fprintf(stderr, "bench_session: cannot start the simulated radio\n");
        return 1;
    }
    std::vector<double> direct, served;
    const bool ok = Measure(sim, direct, served);
    sim.Stop();
    if (!ok) {
        std::fprintf(stderr, "bench_session: a round trip failed\n");
        return 1;
    }
    const Figures d = Summarise(direct), s = Summarise(served);
    std::printf("FA; round trips: %zu each, in %d alternating phases\n", served.size(), kPhases);
    Print("straight to the pseudo-terminal", d);
    Print("TCP client through the server", s);
    std::printf("%-34s p50 %8.1f us   p99 %8.1f us   (target: p99 under 300 us)\n", "added by the server",
                s.p50 - d.p50, s.p99 - d.p99);
    return 0;
}
