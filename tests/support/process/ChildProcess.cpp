// The tests' child processes: posix_spawn with pipes, collection of what they write, their end.
#include "ChildProcess.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testsupport {

namespace {
using Clock = std::chrono::steady_clock;
}

std::string FindOnPath(const std::string& name)
{
    const char* path = std::getenv("PATH");
    const std::string dirs = path ? path : "/usr/bin:/bin";
    for (std::size_t at = 0; at <= dirs.size();) {
        const std::size_t end = std::min(dirs.find(':', at), dirs.size());
        const std::string candidate = dirs.substr(at, end - at) + "/" + name;
        if (end > at && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        at = end + 1;
    }
    return {};
}

std::size_t Count(std::string_view text, std::string_view what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
}

ChildProcess::ChildProcess(std::string program, std::vector<std::string> arguments,
                           std::vector<std::string> environment, const std::vector<std::string_view>& dropped)
{
    argv_.push_back(std::move(program));
    argv_.insert(argv_.end(), arguments.begin(), arguments.end());
    auto named = [](std::string_view entry, std::string_view name) { return entry.substr(0, name.size()) == name; };
    for (char** e = environ; *e; ++e) {
        const std::string_view entry = *e;
        if (std::none_of(dropped.begin(), dropped.end(), [&](std::string_view name) { return named(entry, name); }))
            env_.emplace_back(entry);
    }
    for (std::string& entry : environment) {
        const std::string name = entry.substr(0, entry.find('=') + 1);
        std::erase_if(env_, [&](const std::string& e) { return named(e, name); });
        env_.push_back(std::move(entry));
    }
}

ChildProcess::~ChildProcess()
{
    if (pid_ > 0 && !exited_) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    for (int fd : {in_, out_, err_})
        if (fd >= 0)
            ::close(fd);
}

void ChildProcess::LimitFileSize(long bytes)
{
    argv_.insert(argv_.begin(), {"/usr/bin/prlimit", "--fsize=" + std::to_string(bytes), "--"});
}

void ChildProcess::RunAs(unsigned uid)
{
    const std::string id = std::to_string(uid);
    argv_.insert(argv_.begin(), {"/usr/bin/setpriv", "--reuid=" + id, "--regid=" + id, "--clear-groups", "--"});
}

bool ChildProcess::Start()
{
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (terminal_.empty())
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    else
        posix_spawn_file_actions_addopen(&actions, 0, terminal_.c_str(), O_RDWR, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int sig : {SIGINT, SIGTERM, SIGPIPE, SIGHUP})
        sigaddset(&defaults, sig);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<char*> argv, envp;
    for (auto& a : argv_)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : env_)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    in_ = in[1];
    out_ = out[0];
    err_ = err[0];
    ::fcntl(out_, F_SETFL, O_NONBLOCK);
    ::fcntl(err_, F_SETFL, O_NONBLOCK);
    if (rc != 0)
        return false;
    pid_ = pid;
    return true;
}

bool ChildProcess::Run(const std::string& input, int timeoutMs)
{
    if (!Start())
        return false;
    Write(input);
    CloseInput();
    return WaitForExit(timeoutMs);
}

bool ChildProcess::Write(std::string_view text)
{
    // A program that has ended must fail the write, not end this test with SIGPIPE.
    sigset_t pipeSignal, old;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &old);
    bool ok = in_ >= 0;
    while (ok && !text.empty()) {
        const ssize_t n = ::write(in_, text.data(), text.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (errno == EPIPE) {
                const timespec zero{};
                sigtimedwait(&pipeSignal, nullptr, &zero);
            }
            ok = false;
            break;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    return ok;
}

void ChildProcess::CloseInput()
{
    if (in_ >= 0)
        ::close(in_);
    in_ = -1;
}

void ChildProcess::Collect(int waitMs)
{
    pollfd p[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    if (::poll(p, 2, waitMs) <= 0)
        return;
    char buffer[4096];
    bool any = false;
    for (auto [fd, text] : {std::pair{out_, &outText_}, std::pair{err_, &errText_}}) {
        ssize_t n = 0;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0) {
            text->append(buffer, static_cast<std::size_t>(n));
            any = true;
        }
    }
    if (!any)  // both pipes at their end: poll no longer waits
        std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
}

bool ChildProcess::Reap()
{
    if (exited_)
        return true;
    int status = 0;
    if (pid_ <= 0 || ::waitpid(pid_, &status, WNOHANG) != pid_)
        return false;
    exited_ = true;
    exitedNormally_ = WIFEXITED(status);
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    return true;
}

bool ChildProcess::Running()
{
    return pid_ > 0 && !Reap();
}

bool ChildProcess::WaitForOutput(std::string_view text, int timeoutMs, std::size_t count)
{
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        Collect(20);
        if (Count(outText_, text) >= count)
            return true;
        if (Reap()) {
            Collect(0);
            return Count(outText_, text) >= count;
        }
        if (Clock::now() >= end)
            return false;
    }
}

bool ChildProcess::WaitForExit(int timeoutMs)
{
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!Reap()) {
        if (Clock::now() >= end)
            return false;
        Collect(20);
    }
    Collect(0);
    return true;
}

void ChildProcess::Signal(int signal)
{
    if (pid_ > 0 && !exited_)
        ::kill(pid_, signal);
}

const std::string& ChildProcess::Out()
{
    Collect(0);
    return outText_;
}

const std::string& ChildProcess::Err()
{
    Collect(0);
    return errText_;
}

}  // namespace testsupport
