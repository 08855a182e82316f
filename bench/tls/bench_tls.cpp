// The station's TLS port against its plain port, in one run against the same station host and
// simulated radio (processes): the login time (connection to "PWD:OK", the handshake included) and
// the "FA;" round trip (p50/p99 over one session each), and the host's VmRSS with TLS on (idle and
// after the sessions) and, on a second start, with TLS off.
// Usage: bench_tls [ROUND_TRIPS]   (default 300)
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "SessionClient.h"
#include "TestSupport.h"
#include "TlsSessionClient.h"

namespace {

using Clock = std::chrono::steady_clock;
using testsupport::ChildProcess;
constexpr int kPatienceMs = 15000;
constexpr int kLogins = 20;
constexpr char kFrequency[] = "FA00014074000;";

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Figures {
    double p50, p99;
};

Figures Percentiles(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    if (v.empty())
        return {0, 0};
    auto at = [&](double q) { return v[std::min(v.size() - 1, static_cast<std::size_t>(q * static_cast<double>(v.size())))]; };
    return {at(0.5), at(0.99)};
}

long VmRssKb(int pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

bool Setup(const std::string& profile, std::vector<std::string> args, const std::string& input = {})
{
    args.insert(args.begin(), {"setup", "--profile", profile});
    ChildProcess setup(QUINTAR_PROGRAM, args);
    return setup.Run(input) && setup.ExitStatus() == 0;
}

// One client of either kind through the same steps.
struct Session {
    std::function<bool(int)> connect;   // and the whole greeting
    std::function<bool(const std::string&)> send;
    std::function<bool(const std::string&, int)> readUntil;
    std::function<void()> clear;
    std::function<void()> close;
};

Session Plain(testsupport::SessionClient& c, unsigned port, std::string& received)
{
    return {[&c, port](int ms) { return c.ConnectAndGreet(port, ms); },
            [&c](const std::string& t) { return c.Send(t); },
            [&c, &received](const std::string& t, int ms) {
                received += c.ReadUntil(t, ms);
                return received.find(t) != std::string::npos;
            },
            [&received] { received.clear(); }, [&c] { c.Close(); }};
}

Session Tls(testsupport::TlsSessionClient& c, unsigned port)
{
    return {[&c, port](int ms) {
                const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
                while (Clock::now() < deadline) {  // between clients the station turns newcomers away
                    if (c.Connect(port, ms) && c.ReadUntil(">", ms))
                        return true;
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                }
                return false;
            },
            [&c](const std::string& t) { return c.Send(t); },
            [&c](const std::string& t, int ms) { return c.ReadUntil(t, ms); }, [&c] { c.ClearReceived(); },
            [&c] { c.Close(); }};
}

bool Measure(const char* name, Session s, int roundTrips)
{
    std::vector<double> logins;
    for (int i = 0; i < kLogins; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(700));  // the station's reset between clients
        const auto start = Clock::now();
        if (!s.connect(kPatienceMs) || !s.send("UID:bench;") || !s.readUntil("UID:OK;", kPatienceMs) ||
            !s.send("PWD:bench;") || !s.readUntil("PWD:OK;", kPatienceMs)) {
            std::fprintf(stderr, "%s: login %d failed\n", name, i);
            return false;
        }
        logins.push_back(Ms(Clock::now() - start));
        if (i + 1 < kLogins) {
            s.close();
            s.clear();
        }
    }
    s.readUntil("@@UE1;", kPatienceMs);
    std::vector<double> trips;
    for (int i = 0; i < roundTrips; ++i) {
        s.clear();
        const auto start = Clock::now();
        if (!s.send("FA;") || !s.readUntil(kFrequency, kPatienceMs)) {
            std::fprintf(stderr, "%s: round trip %d failed\n", name, i);
            return false;
        }
        trips.push_back(Ms(Clock::now() - start));
    }
    s.close();
    const Figures login = Percentiles(logins), trip = Percentiles(trips);
    std::printf("%-6s login p50 %7.3f ms  p99 %7.3f ms (%d)   FA; round trip p50 %6.3f ms  p99 %6.3f ms (%d)\n", name,
                login.p50, login.p99, kLogins, trip.p50, trip.p99, roundTrips);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    const int roundTrips = argc > 1 ? std::atoi(argv[1]) : 300;
    testsupport::TempDir dir;
    const std::string profile = (dir.Path() / "bench.ini").string();
    ChildProcess radio(RADIOSIM_PROGRAM, {"--id", "20"});
    if (!radio.Start() || !radio.WaitForOutput(")\n", kPatienceMs)) {
        std::fprintf(stderr, "the simulated radio did not start\n");
        return 1;
    }
    const std::string out = radio.Out();
    const std::string pts = out.substr(out.find("/dev/"), out.find(' ', out.find("/dev/")) - out.find("/dev/"));
    const unsigned port = testsupport::FreeTcpPort();
    unsigned tlsPort = testsupport::FreeTcpPort();
    while (tlsPort == port)
        tlsPort = testsupport::FreeTcpPort();
    if (!Setup(profile, {"set", "com-device", "1", pts}) || !Setup(profile, {"set", "tcp-port", std::to_string(port)}) ||
        !Setup(profile, {"set", "tls-port", std::to_string(tlsPort)}) ||
        !Setup(profile, {"user", "add", "bench", "--password-stdin"}, "bench\n") || !Setup(profile, {"tls"})) {
        std::fprintf(stderr, "quintar setup failed\n");
        return 1;
    }

    for (const bool tls : {true, false}) {
        if (!tls && !Setup(profile, {"set", "tls", "off"}))
            return 1;
        ChildProcess host(QUINTAR_PROGRAM, {"--headless", "--profile", profile}, {"QUINTAR_LISTEN_ADDRESS=127.0.0.1"});
        if (!host.Start() || !host.WaitForOutput("- START - Successful", kPatienceMs) ||
            (tls && !host.WaitForOutput("TLS port", kPatienceMs))) {
            std::fprintf(stderr, "the station did not start: %s\n", host.Err().c_str());
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const long idle = VmRssKb(host.Pid());
        if (tls) {
            testsupport::TlsSessionClient tlsClient;
            testsupport::SessionClient plainClient;
            std::string received;
            if (!Measure("plain", Plain(plainClient, port, received), roundTrips) ||
                !Measure("TLS", Tls(tlsClient, tlsPort), roundTrips))
                return 1;
        } else {
            testsupport::SessionClient plainClient;
            std::string received;
            if (!Measure("plain", Plain(plainClient, port, received), roundTrips / 10))
                return 1;
        }
        std::printf("VmRSS with TLS %s: idle %ld kB, after the sessions %ld kB\n", tls ? "on " : "off", idle,
                    VmRssKb(host.Pid()));
        host.Signal(SIGTERM);
        host.WaitForExit(kPatienceMs);
    }
    return 0;
}
