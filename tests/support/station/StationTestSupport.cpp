// Helpers of the station tests.
#include "StationTestSupport.h"


#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fstream>
#include <set>
#include <sstream>
#include <string_view>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>


extern char** environ;

namespace stationtest {

QtApp::QtApp() : app_(std::make_unique<QCoreApplication>(argc_, argv_)) {}

QtApp::~QtApp() = default;

bool PumpUntil(const std::function<bool()>& condition, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end)
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void PumpFor(int ms)
{
    PumpUntil([] { return false; }, ms);
}

std::size_t Count(std::string_view text, std::string_view what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
}

std::string ReadLog(const std::filesystem::path& folder)
{
    std::set<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        if (entry.path().extension() == ".log")
            files.insert(entry.path());
    std::string all;
    for (const auto& f : files)
        all += FileBytes(f).value_or("");
    return all;
}

void WriteSettings(quintar::SettingsProfile& profile, const StationSettings& s)
{
    // Written out by name, as an operator's profile holds them.
    const std::string setting = "Setting";
    std::vector<quintar::SettingsProfile::Entry> e = {
        {setting, "COM Port", s.comPort},
        {setting, "COM Baud", s.baud},
        {setting, "VEXA IP Port No", s.tcpPort},
        {setting, "VEXA Session Time", s.sessionMinutes},
        {setting, "VEXA Log", s.logFolder.empty() ? 0 : 1},
        {"File Path", "VEXA Log File Path", s.logFolder.string()},
        {"Ports", "COM" + std::to_string(s.comPort), s.device},
    };
    for (std::size_t slot = 0; slot < s.users.size(); ++slot) {
        const auto& u = s.users[slot];
        char prefix[32];
        std::snprintf(prefix, sizeof prefix, "VEXA %03zu ", slot);
        e.push_back({setting, prefix + std::string("User ID"), u.id});
        e.push_back({setting, prefix + std::string("Password"), u.password});
        e.push_back({setting, prefix + std::string("Description"), u.description});
        e.push_back({setting, prefix + std::string("User Disabled"), u.disabled});
    }
    if (!s.logFolder.empty())
        std::filesystem::create_directories(s.logFolder);
    profile.Write(e);
}

QString HostProgram()
{
    return QStringLiteral(QUINTAR_PROGRAM);
}

Program::Program(QStringList arguments, QStringList extraEnvironment)
    : Program(HostProgram().toStdString(), std::move(arguments), std::move(extraEnvironment))
{
}

Program::Program(const std::string& executable, QStringList arguments, QStringList extraEnvironment)
{
    argv_.push_back(executable);
    for (const QString& a : arguments)
        argv_.push_back(a.toStdString());
    // Neither the headless host nor its setup command may need a display: the child gets none,
    // nor the offscreen platform the tests run under, so a GUI application made on those paths
    // would fail the test.
    constexpr std::string_view kDropped[] = {"QUINTAR_PROFILE=", "QUINTAR_LISTEN_ADDRESS=", "QT_QPA_PLATFORM=",
                                             "DISPLAY=", "WAYLAND_DISPLAY="};
    for (char** e = environ; *e; ++e) {
        const std::string_view entry = *e;
        if (std::none_of(std::begin(kDropped), std::end(kDropped),
                         [&](std::string_view name) { return entry.substr(0, name.size()) == name; }))
            env_.emplace_back(entry);
    }
    // An extra entry replaces an inherited one of the same name.
    for (const QString& pair : extraEnvironment) {
        const std::string entry = pair.toStdString();
        const std::string name = entry.substr(0, entry.find('=') + 1);
        env_.erase(std::remove_if(env_.begin(), env_.end(), [&](const std::string& e) { return e.rfind(name, 0) == 0; }),
                   env_.end());
        env_.push_back(entry);
    }
}

void Program::LimitFileSize(long bytes)
{
    argv_.insert(argv_.begin(), {"/usr/bin/prlimit", "--fsize=" + std::to_string(bytes), "--"});
}

void Program::RunAs(unsigned uid)
{
    const std::string id = std::to_string(uid);
    argv_.insert(argv_.begin(), {"/usr/bin/setpriv", "--reuid=" + id, "--regid=" + id, "--clear-groups", "--"});
}

Program::~Program()
{
    if (pid_ > 0 && !exited_) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    for (int fd : {in_, out_, err_})
        if (fd >= 0)
            ::close(fd);
}

bool Program::Start()
{
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
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
    // A session of its own: no controlling terminal, so a password is never asked on ours.
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

bool Program::Run(const std::string& input, int timeoutMs)
{
    if (!Start())
        return false;
    if (!input.empty()) {
        const ssize_t written = ::write(in_, input.data(), input.size());
        (void)written;
    }
    ::close(in_);
    in_ = -1;
    return WaitForExit(timeoutMs);
}

void Program::Collect(int waitMs)
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

bool Program::Reap()
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

bool Program::Write(std::string_view text)
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
                const timespec none{};
                sigtimedwait(&pipeSignal, nullptr, &none);
            }
            ok = false;
            break;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    return ok;
}

bool Program::WaitForOutput(std::string_view text, int timeoutMs, std::size_t count)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        Collect(20);
        if (Count(outText_, text) >= count)
            return true;
        if (Reap()) {
            Collect(0);
            return Count(outText_, text) >= count;
        }
        if (std::chrono::steady_clock::now() >= end)
            return false;
    }
}

bool Program::WaitForExit(int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!Reap()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        Collect(20);
    }
    Collect(0);
    return true;
}

void Program::Signal(int signal)
{
    if (pid_ > 0 && !exited_)
        ::kill(pid_, signal);
}

const std::string& Program::Out()
{
    Collect(0);
    return outText_;
}

const std::string& Program::Err()
{
    Collect(0);
    return errText_;
}

std::optional<std::string> FileBytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

unsigned FileMode(const std::filesystem::path& file)
{
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

}  // namespace stationtest
