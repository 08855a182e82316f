// The link's voice test helpers.
#include "VoiceSupport.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <numbers>
#include <thread>

extern char** environ;

namespace voicesupport {

namespace {

using Clock = std::chrono::steady_clock;

pid_t SpawnWith(const std::vector<std::string>& argv, const std::vector<std::string>& extra,
                const std::filesystem::path& log)
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        if (std::none_of(extra.begin(), extra.end(), [&](const std::string& x) { return x.rfind(name + "=", 0) == 0; }))
            env.push_back(entry);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    std::vector<std::string> args = argv;
    std::vector<char*> a, e;
    for (auto& s : args)
        a.push_back(s.data());
    a.push_back(nullptr);
    for (auto& s : env)
        e.push_back(s.data());
    e.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, args[0].c_str(), &actions, nullptr, a.data(), e.data());
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

// The exit status, or -1 when it did not end in time (it is killed then).
int Reap(pid_t pid, int timeoutMs)
{
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() >= end) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string FileText(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

bool Installed(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (std::size_t at = 0; at <= dirs.size();) {
        const std::size_t end = std::min(dirs.find(':', at), dirs.size());
        if (end > at && ::access((dirs.substr(at, end - at) + "/" + program).c_str(), X_OK) == 0)
            return true;
        at = end + 1;
    }
    return false;
}

PrivatePulse::PrivatePulse(std::filesystem::path folder) : folder_(std::move(folder))
{
    std::filesystem::create_directories(folder_ / "run");
    std::filesystem::create_directories(folder_ / "home");
    ::chmod((folder_ / "run").c_str(), 0700);
}

PrivatePulse::~PrivatePulse()
{
    for (pid_t pid : children_)
        Stop(pid);
    if (server_ > 0) {
        ::kill(server_, SIGTERM);
        if (Reap(server_, 5000) < 0)
            ::kill(server_, SIGKILL);
    }
}

std::vector<std::string> PrivatePulse::Environment() const
{
    const std::string run = (folder_ / "run").string();
    return {"XDG_RUNTIME_DIR=" + run, "PULSE_RUNTIME_PATH=" + run + "/pulse", "PULSE_SERVER=unix:" + run + "/pulse/native",
            "HOME=" + (folder_ / "home").string(), "XDG_CONFIG_HOME=" + (folder_ / "home" / ".config").string()};
}

void PrivatePulse::Enter() const
{
    for (const std::string& entry : Environment()) {
        const std::size_t eq = entry.find('=');
        ::setenv(entry.substr(0, eq).c_str(), entry.substr(eq + 1).c_str(), 1);
    }
}

bool PrivatePulse::Start(std::string& error)
{
    if (!Installed("pulseaudio") || !Installed("pactl")) {
        error = "pulseaudio and pactl are not installed (Debian packages pulseaudio, pulseaudio-utils)";
        return false;
    }
    server_ = SpawnWith({"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--disallow-exit",
                         "--log-target=stderr", "-L", "module-native-protocol-unix"},
                        Environment(), folder_ / "pulse.log");
    const auto end = Clock::now() + std::chrono::seconds(15);
    while (Clock::now() < end) {
        if (std::filesystem::exists(folder_ / "run" / "pulse" / "native") && Run({"pactl", "info"}, 5000) == 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    error = "the sound server did not start: " + FileText(folder_ / "pulse.log");
    return false;
}

int PrivatePulse::Run(const std::vector<std::string>& argv, int timeoutMs, std::string* output) const
{
    const auto log = folder_ / ("run-" + std::to_string(::getpid()) + ".log");
    std::filesystem::remove(log);
    const pid_t pid = SpawnWith(argv, Environment(), log);
    if (pid < 0)
        return -1;
    const int status = Reap(pid, timeoutMs);
    if (output)
        *output = FileText(log);
    return status;
}

pid_t PrivatePulse::Spawn(const std::vector<std::string>& argv)
{
    const pid_t pid = SpawnWith(argv, Environment(), folder_ / (argv[0] + ".log"));
    if (pid > 0)
        children_.push_back(pid);
    return pid;
}

void PrivatePulse::Stop(pid_t pid)
{
    const auto it = std::find(children_.begin(), children_.end(), pid);
    if (it == children_.end())
        return;
    children_.erase(it);
    ::kill(pid, SIGTERM);
    Reap(pid, 5000);
}

std::string PrivatePulse::Modules() const
{
    std::string out;
    Run({"pactl", "list", "short", "modules"}, 10000, &out);
    return out;
}

bool WriteTone(const std::filesystem::path& file, double hz, double seconds, int rate)
{
    const auto count = static_cast<std::uint32_t>(rate * seconds);
    std::string data(count * 2, '\0');
    for (std::uint32_t i = 0; i < count; ++i) {
        const auto v = static_cast<std::int16_t>(8000 * std::sin(2 * std::numbers::pi * hz * i / rate));
        data[2 * i] = static_cast<char>(v & 0xFF);
        data[2 * i + 1] = static_cast<char>((v >> 8) & 0xFF);
    }
    auto le = [](std::uint32_t v, int bytes) {
        std::string s;
        for (int i = 0; i < bytes; ++i)
            s += static_cast<char>((v >> (8 * i)) & 0xFF);
        return s;
    };
    const std::string header = "RIFF" + le(36 + data.size(), 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2) +
                               le(rate, 4) + le(rate * 2, 4) + le(2, 2) + le(16, 2) + "data" + le(data.size(), 4);
    std::ofstream out(file, std::ios::binary);
    out << header << data;
    return static_cast<bool>(out);
}

Sound ReadWav(const std::filesystem::path& file)
{
    const std::string bytes = FileText(file);
    Sound sound;
    if (bytes.size() < 44)
        return sound;
    auto u16 = [&](std::size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8);
    };
    auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
    unsigned channels = 1;
    std::size_t dataAt = 0;
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::string id = bytes.substr(at, 4);
        if (id == "fmt ") {
            channels = std::max(1u, u16(at + 10));
            sound.rate = static_cast<int>(u32(at + 12));
        }
        if (id == "data") {
            dataAt = at + 8;
            break;
        }
        at += 8 + u32(at + 4);
    }
    if (dataAt == 0 || sound.rate <= 0)
        return {};
    for (std::size_t at = dataAt; at + 2 * channels <= bytes.size(); at += 2 * channels)
        sound.samples.push_back(static_cast<std::int16_t>(u16(at)));
    return sound;
}

double ToneLevel(const Sound& sound, double hz, double from, double seconds)
{
    if (sound.rate <= 0)
        return 0;
    const std::size_t first = std::min(sound.samples.size(), static_cast<std::size_t>(from * sound.rate));
    const std::size_t last =
        std::min(sound.samples.size(), first + static_cast<std::size_t>(std::min(seconds, 1e6) * sound.rate));
    if (last <= first)
        return 0;
    const double k = 2 * std::cos(2 * std::numbers::pi * hz / sound.rate);
    double s1 = 0, s2 = 0;
    for (std::size_t i = first; i < last; ++i) {
        const double s0 = sound.samples[i] + k * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double n = static_cast<double>(last - first);
    return (s1 * s1 + s2 * s2 - k * s1 * s2) / (n * n);
}

}  // namespace voicesupport
