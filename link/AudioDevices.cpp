// Making and removing the link's sound devices with pactl.
#include "AudioDevices.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

extern char** environ;

namespace quintar::link {

namespace {

// Every module of ours carries this property with the process id of the link that made it.
constexpr char kOwner[] = "quintar_link.pid=";
constexpr auto kPactlPatience = std::chrono::seconds(10);

std::string Properties(const char* description)
{
    return std::string("'device.description=\"") + description + "\" " + kOwner + std::to_string(::getpid()) + "'";
}

bool LinkRunning(long pid)
{
    if (pid == ::getpid())
        return false;  // a killed link's number, now this one's: nothing made here yet
    if (pid <= 0 || ::kill(static_cast<pid_t>(pid), 0) != 0)
        return errno == EPERM;  // someone else's process: not ours to clean up after
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name == "quintar-link";
}

}  // namespace

bool AudioDevices::Pactl(const std::vector<std::string>& arguments, std::string& output, std::string& error) const
{
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, out[1], 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    std::vector<std::string> argv = {pactl_};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> args;
    for (auto& a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, pactl_.c_str(), &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (rc != 0) {
        ::close(out[0]);
        error = pactl_ + ": " + std::strerror(rc) + (rc == ENOENT ? " (Debian package pulseaudio-utils)" : "");
        return false;
    }
    output.clear();
    const auto end = std::chrono::steady_clock::now() + kPactlPatience;
    bool timedOut = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) < 0 && errno != EINTR)
            break;
        char buffer[4096];
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n > 0)
            output.append(buffer, static_cast<std::size_t>(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    ::close(out[0]);
    if (timedOut)
        ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (timedOut || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::string said = output.substr(0, output.find('\n'));
        error = "pactl " + (arguments.empty() ? std::string() : arguments.front()) + ": " +
                (timedOut ? std::string("no answer from the sound server") : said.empty() ? "failed" : said);
        return false;
    }
    return true;
}

bool AudioDevices::Create(std::string& error, std::vector<std::string>* removed)
{
    if (Created())
        return true;
    std::string list;
    if (!Pactl({"list", "short", "modules"}, list, error))
        return false;
    std::istringstream lines(list);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t at = line.find(kOwner);
        if (at == std::string::npos)
            continue;
        const long pid = std::strtol(line.c_str() + at + std::strlen(kOwner), nullptr, 10);
        const std::string index = line.substr(0, line.find('\t'));
        if (LinkRunning(pid)) {
            error = std::string("\"") + kRx + "\" and \"" + kTx + "\" belong to another quintar-link (process " +
                    std::to_string(pid) + ") on this sound server";
            return false;
        }
        std::string ignored, why;
        if (Pactl({"unload-module", index}, ignored, why) && removed)
            removed->push_back("module " + index + " left by quintar-link process " + std::to_string(pid));
    }
    const std::vector<std::vector<std::string>> modules = {
        {"module-null-sink", "sink_name=quintar_link_rx", "rate=48000", "sink_properties=" + Properties(kRx)},
        {"module-null-sink", "sink_name=quintar_link_tx", "rate=48000", "sink_properties=" + Properties(kTx)},
        {"module-remap-source", "master=quintar_link_tx.monitor", "source_name=quintar_link_tx_source",
         "source_properties=" + Properties(kTxSource)},
    };
    for (const auto& module : modules) {
        std::vector<std::string> arguments = {"load-module"};
        arguments.insert(arguments.end(), module.begin(), module.end());
        std::string index;
        if (!Pactl(arguments, index, error)) {
            Remove();
            return false;
        }
        modules_.push_back(index.substr(0, index.find_first_of("\r\n")));
    }
    return true;
}

void AudioDevices::Remove()
{
    // The source over the transmit sink's monitor first.
    for (auto it = modules_.rbegin(); it != modules_.rend(); ++it) {
        std::string ignored, error;
        Pactl({"unload-module", *it}, ignored, error);
    }
    modules_.clear();
}

}  // namespace quintar::link
