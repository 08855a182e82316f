// CAT programs through the link against the same radio on its own line, in one run: rigctl's
// answers to the command matrix on both models side by side (after the program switched
// auto-information off, as rigctld does), the round trip of "f" in a rigctl
// session on each path, split set and read back twenty times through the link, and how long the
// link takes to log in again once a station that was away for 20 s has started.
// Usage: bench_cat [BUILD]  (the programs of another build folder, e.g. one of the main branch)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "LinkStationSupport.h"
#include "SessionClient.h"
#include "TestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;
using linkstationtest::Child;
using linkstationtest::Rigctl;
constexpr int kPatienceMs = 15000;
constexpr int kRoundTrips = 200;

struct Programs {
    std::string quintar = QUINTAR_PROGRAM;
    std::string link = QUINTAR_LINK_PROGRAM;
    std::string radiosim = RADIOSIM_PROGRAM;
};
Programs g_programs;

using Model = linkstationtest::CatModel;

// quintar-radiosim as a process, so that the radio is the one of the build measured.
class Radio {
public:
    explicit Radio(unsigned id) : child_(g_programs.radiosim, {"--id", std::to_string(id)}) {}
    bool Start()
    {
        if (!child_.Start() || !child_.WaitForOutput(")\n", kPatienceMs))
            return false;
        const std::string& out = child_.Out();
        const std::size_t at = out.find("/dev/");
        if (at == std::string::npos)
            return false;
        path_ = out.substr(at, out.find(' ', at) - at);
        return true;
    }
    const std::string& Path() const { return path_; }

private:
    Child child_;
    std::string path_;
};

class Station {
public:
    explicit Station(const Model& model) : model_(model), radio_(model.identity) {}

    bool Start()
    {
        port_ = testsupport::FreeTcpPort();
        if (!radio_.Start() || !Setup({"set", "com-device", "1", radio_.Path()}) ||
            !Setup({"set", "tcp-port", std::to_string(port_)}) ||
            !Setup({"user", "add", "bench", "--password-stdin"}, "bench\n") || !StartHost())
            return false;
        link_ = std::make_unique<Child>(g_programs.link, std::vector<std::string>{"--link", LinkPath(), "--password-stdin",
                                                                                  "-u", "bench", Address()});
        if (!link_->Start() || !link_->Write("bench\n"))
            return false;
        link_->CloseInput();
        return link_->WaitForOutput("logged in", kPatienceMs);
    }
    bool StartHost()
    {
        std::vector<std::string> a = {"--headless", "--profile", Profile()};
        a.insert(a.end(), model_.hostOptions.begin(), model_.hostOptions.end());
        host_ = std::make_unique<Child>(g_programs.quintar, a, std::vector<std::string>{"QUINTAR_LISTEN_ADDRESS=127.0.0.1"});
        return host_->Start() && host_->WaitForOutput("- START - Successful", kPatienceMs);
    }
    void StopHost()
    {
        host_->Signal(SIGTERM);
        host_->WaitForExit(kPatienceMs);
    }
    std::string LinkPath() const { return (dir_.Path() / "radio").string(); }
    Child& Link() { return *link_; }
    ~Station()
    {
        if (link_)
            link_->Signal(SIGTERM);
        if (host_)
            StopHost();
    }

private:
    std::string Profile() const { return (dir_.Path() / "quintar.ini").string(); }
    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
    bool Setup(std::vector<std::string> arguments, const std::string& input = {})
    {
        arguments.insert(arguments.begin(), {"setup", "--profile", Profile()});
        Child setup(g_programs.quintar, arguments);
        return setup.Run(input) && setup.ExitStatus() == 0;
    }

    Model model_;
    testsupport::TempDir dir_;
    Radio radio_;
    unsigned port_ = 0;
    std::unique_ptr<Child> host_;
    std::unique_ptr<Child> link_;
};

std::string OneLine(const std::optional<std::string>& output)
{
    if (!output)
        return "(stalled)";
    std::string s = linkstationtest::Comparable(*output);
    std::replace(s.begin(), s.end(), '\n', ' ');
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s.size() > 44 ? s.substr(0, 41) + "..." : s;
}

bool Matrix(const Model& model, Station& station)
{
    Radio home(model.identity);
    if (!home.Start() || !linkstationtest::SwitchAutoInformationOff(home.Path()) ||
        !linkstationtest::SwitchAutoInformationOff(station.LinkPath()))
        return false;
    Rigctl direct(model.hamlibModel, home.Path(), linkstationtest::kUncachedRigctl);
    Rigctl linked(model.hamlibModel, station.LinkPath(), linkstationtest::kUncachedRigctl);
    if (!direct.Open() || !linked.Open())
        return false;
    const auto& commands = linkstationtest::CatMatrix();
    std::vector<std::optional<std::string>> atHome;
    std::thread other([&] { atHome = linkstationtest::RunAll(direct, commands); });
    const auto throughLink = linkstationtest::RunAll(linked, commands);
    other.join();
    std::printf("\n%s (rigctl -m %d): the radio on its own line | through link and station\n", model.name,
                model.hamlibModel);
    int differences = 0, compared = 0, errorsAtHome = 0, errorsThroughLink = 0;
    auto failed = [](const std::optional<std::string>& o) { return !o || o->find(": error = ") != std::string::npos; };
    for (std::size_t i = 0; i < commands.size(); ++i) {
        if (commands[i].rfind("\\pause", 0) == 0)
            continue;
        ++compared;
        errorsAtHome += failed(atHome[i]);
        errorsThroughLink += failed(throughLink[i]);
        const bool same = atHome[i] && throughLink[i] &&
                          linkstationtest::Comparable(*atHome[i]) == linkstationtest::Comparable(*throughLink[i]);
        differences += !same;
        std::printf("  %-18s %-44s | %-44s %s\n", commands[i].c_str(), OneLine(atHome[i]).c_str(),
                    OneLine(throughLink[i]).c_str(), same ? "" : "DIFFERS");
    }
    std::printf("  %d of %d commands differ; errors: %d on the radio's own line, %d through the link\n", differences,
                compared, errorsAtHome, errorsThroughLink);
    for (Rigctl* cat : {&direct, &linked}) {
        cat->Process().Write("q\n");
        cat->Process().WaitForExit(30000);
    }
    return true;
}

struct Figures {
    double p50, p99, mean;
};

// Uncached, so that every "f" goes to the radio rather than to rigctl's memory of it.
std::optional<Figures> RoundTrips(int hamlibModel, const std::string& port)
{
    Rigctl cat(hamlibModel, port, linkstationtest::kUncachedRigctl);
    if (!cat.Open())
        return std::nullopt;
    std::vector<double> ms;
    for (int i = 0; i < kRoundTrips + 10; ++i) {
        const auto start = Clock::now();
        if (!cat.Run("f"))
            return std::nullopt;
        if (i >= 10)
            ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    cat.Process().Write("q\n");
    cat.Process().WaitForExit(30000);
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (double v : ms)
        sum += v;
    auto at = [&](double q) { return ms[static_cast<std::size_t>(q * static_cast<double>(ms.size() - 1))]; };
    return Figures{at(0.5), at(0.99), sum / static_cast<double>(ms.size())};
}

void PrintFigures(const char* path, const std::optional<Figures>& f)
{
    if (f)
        std::printf("  %-28s p50 %7.2f ms   p99 %7.2f ms   mean %7.2f ms\n", path, f->p50, f->p99, f->mean);
    else
        std::printf("  %-28s failed\n", path);
}

int SplitFailures(int hamlibModel, const std::string& port)
{
    Rigctl cat(hamlibModel, port);
    if (!cat.Open())
        return 20;
    int failures = 0;
    for (int round = 0; round < 20; ++round) {
        const bool ok = cat.Run("S 1 VFOB") == std::optional<std::string>("") &&
                        cat.Run("s") == std::optional<std::string>("Split: 1\nTX VFO: VFOB\n") &&
                        cat.Run("S 0 VFOA") == std::optional<std::string>("") &&
                        cat.Run("s") == std::optional<std::string>("Split: 0\nTX VFO: VFOA\n");
        failures += !ok;
    }
    cat.Process().Write("q\n");
    cat.Process().WaitForExit(30000);
    return failures;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1) {
        const std::filesystem::path build = argv[1];
        g_programs = {(build / "quintar/quintar").string(), (build / "link/quintar-link").string(),
                      (build / "radiosim/quintar-radiosim").string()};
    }
    std::printf("programs: %s, %s, %s\n", g_programs.quintar.c_str(), g_programs.link.c_str(),
                g_programs.radiosim.c_str());
    for (const Model& model : {linkstationtest::kIdentity20, linkstationtest::kIdentity19}) {
        Station station(model);
        if (!station.Start()) {
            std::fprintf(stderr, "bench_cat: the station or the link did not start for %s\n", model.name);
            return 1;
        }
        if (!Matrix(model, station)) {
            std::fprintf(stderr, "bench_cat: rigctl did not open the radio for %s\n", model.name);
            return 1;
        }
        Radio home(model.identity);
        if (!home.Start())
            return 1;
        std::printf("  rigctl \"f\" round trip, %d in one session each:\n", kRoundTrips);
        PrintFigures("the radio on its own line", RoundTrips(model.hamlibModel, home.Path()));
        PrintFigures("through link and station", RoundTrips(model.hamlibModel, station.LinkPath()));
        std::printf("  split set and read back through the link, 20 rounds: %d failed\n",
                    SplitFailures(model.hamlibModel, station.LinkPath()));
        if (model.identity == 20) {
            const std::size_t logins = linkstationtest::Count(station.Link().Out(), "logged in");
            station.StopHost();
            std::this_thread::sleep_for(std::chrono::seconds(20));
            if (!station.StartHost())
                return 1;
            const auto started = Clock::now();
            const bool back = station.Link().WaitForOutput("logged in", 90000, logins + 1);
            std::printf("  station away for 20 s, then started: the link logged in %s\n",
                        back ? (std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count()) +
                                " ms after the station's start line")
                                   .c_str()
                             : "not within 90 s");
        }
    }
    return 0;
}
