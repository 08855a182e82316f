// Round trip of "FA;" through quintar-link and the station, beside the same round trip of a client
// logged in to the station directly, in one run on the same station host (`quintar --headless`)
// and simulated radio. The two take turns (the station serves one client at a time), in
// alternating phases so that both meet the same machine load. Prints p50, p99 and mean of each and
// what the link adds.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "LinkStationSupport.h"
#include "RadioSim.h"
#include "SessionClient.h"
#include "TestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;
using linkstationtest::Child;
constexpr int kPhases = 4;
constexpr int kRoundsPerPhase = 500;
constexpr int kWarmUp = 50;
constexpr int kPatienceMs = 15000;
constexpr int kSettleMs = 300;
const std::string kAnswer = "FA00014074000;";
int g_strays = 0;  // rounds that also carried a stray answer

struct Figures {
    double p50, p99, mean;
};

Figures Summarise(std::vector<double> us)
{
    std::sort(us.begin(), us.end());
    double sum = 0;
    for (double v : us)
        sum += v;
    auto at = [&](double q) { return us[static_cast<std::size_t>(q * static_cast<double>(us.size() - 1))]; };
    return {at(0.50), at(0.99), sum / static_cast<double>(us.size())};
}

template <class Once>
bool Time(std::vector<double>& us, Once once)
{
    for (int i = 0; i < kWarmUp; ++i)
        if (!once())
            return false;
    for (int i = 0; i < kRoundsPerPhase; ++i) {
        const auto start = Clock::now();
        if (!once())
            return false;
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    return true;
}

// Reads up to the frequency answer. The station hands a client whatever the radio still answered to
// its reset after the previous client left, when that comes late; such a stray goes with the round.
bool ReadAnswer(int fd)
{
    std::string got;
    while (got.size() < kAnswer.size() || got.compare(got.size() - kAnswer.size(), kAnswer.size(), kAnswer) != 0) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0)
            return false;
        char buffer[64];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        got.append(buffer, static_cast<std::size_t>(n));
    }
    g_strays += got.size() > kAnswer.size();
    return true;
}

bool Setup(const std::string& profile, std::vector<std::string> arguments, const std::string& input = {})
{
    arguments.insert(arguments.begin(), {"setup", "--profile", profile});
    Child setup(QUINTAR_PROGRAM, arguments);
    return setup.Run(input) && setup.ExitStatus() == 0;
}

bool ThroughLink(unsigned port, const std::string& linkPath, std::vector<double>& us)
{
    Child link(QUINTAR_LINK_PROGRAM,
               {"--link", linkPath, "--password-stdin", "-u", "bench", "127.0.0.1:" + std::to_string(port)});
    if (!link.Start() || !link.Write("bench\n"))
        return false;
    link.CloseInput();
    if (!link.WaitForOutput("logged in", kPatienceMs)) {
        std::fprintf(stderr, "bench_link: the link did not log in\n%s%s", link.Out().c_str(), link.Err().c_str());
        return false;
    }
    const int fd = linkstationtest::OpenRaw(linkPath);
    if (fd < 0)
        return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(kSettleMs));
    ::tcflush(fd, TCIFLUSH);
    const bool ok = Time(us, [&] { return ::write(fd, "FA;", 3) == 3 && ReadAnswer(fd); });
    if (!ok)
        std::fprintf(stderr, "bench_link: a round trip through the link failed\n");
    ::close(fd);
    link.Signal(SIGTERM);
    if (!link.WaitForExit(kPatienceMs) || link.ExitStatus() != 0) {
        std::fprintf(stderr, "bench_link: the link did not stop cleanly\n%s%s", link.Out().c_str(), link.Err().c_str());
        return false;
    }
    return ok;
}

bool Direct(unsigned port, std::vector<double>& us)
{
    testsupport::SessionClient client;
    const std::string login = "\r\nUID:OK;\r\n>PWD:OK;>@@UE1;";
    if (!client.ConnectAndGreet(port, kPatienceMs) || !client.Send("UID:bench;PWD:bench;") ||
        client.ReadExact(login.size(), kPatienceMs) != login) {
        std::fprintf(stderr, "bench_link: the direct login failed\n");
        return false;
    }
    // Answers to the host's own reads that were still under way go to whoever is logged in.
    client.Pending(kSettleMs);
    return Time(us, [&] {
        if (!client.Send("FA;"))
            return false;
        const std::string got = client.ReadUntil(kAnswer, 5000);
        if (got.size() < kAnswer.size() || got.compare(got.size() - kAnswer.size(), kAnswer.size(), kAnswer) != 0) {
            std::fprintf(stderr, "bench_link: the station answered \"%s\"\n", got.c_str());
            return false;
        }
        g_strays += got.size() > kAnswer.size();
        return true;
    });
}

void Print(const char* name, const Figures& f)
{
    std::printf("%-30s p50 %8.1f us   p99 %8.1f us   mean %8.1f us\n", name, f.p50, f.p99, f.mean);
}

}  // namespace

int main()
{
    radiosim::RadioSim radio;
    if (!radio.Start()) {
        std::fprintf(stderr, "bench_link: cannot start the simulated radio\n");
        return 1;
    }
    testsupport::TempDir dir;
    const std::string profile = (dir.Path() / "quintar.ini").string();
    const unsigned port = testsupport::FreeTcpPort();
    if (!Setup(profile, {"set", "com-device", "1", radio.SlavePath()}) ||
        !Setup(profile, {"set", "baud", "115200"}) || !Setup(profile, {"set", "tcp-port", std::to_string(port)}) ||
        !Setup(profile, {"user", "add", "bench", "--password-stdin"}, "bench\n")) {
        std::fprintf(stderr, "bench_link: cannot write the station's profile\n");
        return 1;
    }
    Child host(QUINTAR_PROGRAM, {"--headless", "--profile", profile}, {"QUINTAR_LISTEN_ADDRESS=127.0.0.1"});
    if (!host.Start() || !host.WaitForOutput("- START - Successful", kPatienceMs)) {
        std::fprintf(stderr, "bench_link: the station did not start\n%s", host.Err().c_str());
        return 1;
    }
    std::vector<double> direct, linked;
    bool ok = true;
    for (int phase = 0; ok && phase < kPhases; ++phase)
        ok = Direct(port, direct) && ThroughLink(port, (dir.Path() / "radio").string(), linked);
    host.Signal(SIGTERM);
    host.WaitForExit(kPatienceMs);
    if (!ok) {
        std::fprintf(stderr, "bench_link: a round trip failed\n%s", host.Out().c_str());
        return 1;
    }
    const Figures d = Summarise(direct), l = Summarise(linked);
    std::printf("FA; round trips: %zu each, in %d alternating phases, same station host and radio\n", linked.size(),
                kPhases);
    Print("client logged in to station", d);
    Print("CAT program through the link", l);
    std::printf("%-30s p50 %8.1f us   p99 %8.1f us\n", "added by the link", l.p50 - d.p50, l.p99 - d.p99);
    if (g_strays)
        std::printf("(%d rounds also carried a stray answer left from a previous session's reset)\n", g_strays);
    return 0;
}
