// Helpers of the station tests.
#include "StationTestSupport.h"


#include <chrono>
#include <csignal>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ProfileKeys.h"

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

unsigned FreeTcpPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t length = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length);
    ::close(fd);
    return ntohs(addr.sin_port);
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
    using namespace quintar::keys;
    std::vector<quintar::SettingsProfile::Entry> e = {
        {kSetting, kComPort, s.comPort},
        {kSetting, kComBaud, s.baud},
        {kSetting, Vexa(kIpPortNo), s.tcpPort},
        {kSetting, Vexa(kSessionTime), s.sessionMinutes},
        {kSetting, Vexa(kLog), s.logFolder.empty() ? 0 : 1},
        {kFilePath, Vexa(kLogFilePath), s.logFolder.string()},
        {kPorts, ComDeviceKey(s.comPort), s.device},
    };
    for (std::size_t slot = 0; slot < s.users.size(); ++slot) {
        const auto& u = s.users[slot];
        const int n = static_cast<int>(slot);
        e.push_back({kSetting, VexaUser(n, kUserId), u.id});
        e.push_back({kSetting, VexaUser(n, kPassword), u.password});
        e.push_back({kSetting, VexaUser(n, kDescription), u.description});
        e.push_back({kSetting, VexaUser(n, kUserDisabled), u.disabled});
    }
    if (!s.logFolder.empty())
        std::filesystem::create_directories(s.logFolder);
    profile.Write(e);
}

Client::~Client()
{
    Close();
}

bool Client::Connect(unsigned port, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        Close();
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
            ReadUntil("Talvern Network Command System.\r\n>", 2000))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < end);
    Close();
    return false;
}

bool Client::Send(std::string_view text)
{
    return fd_ >= 0 && ::send(fd_, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
}

bool Client::ReadUntil(std::string_view text, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (received_.find(text) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (fd_ < 0 || left.count() <= 0)
            return false;
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char buffer[2048];
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n <= 0)
            return received_.find(text) != std::string::npos;
        received_.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

bool Client::LogIn(const std::string& user, const std::string& password, int timeoutMs)
{
    return Send("UID:" + user + ";") && ReadUntil("UID:OK;", timeoutMs) && Send("PWD:" + password + ";") &&
           ReadUntil("PWD:OK;>@@UE", timeoutMs) && ReadUntil(";", 100) &&
           received_.find("PWD:OK;>@@UE1;") != std::string::npos;
}

void Client::Close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

QString HostProgram()
{
    return QStringLiteral(QUINTAR_PROGRAM);
}

Program::Program(QStringList arguments, QStringList extraEnvironment)
{
    argv_.push_back(HostProgram().toStdString());
    for (const QString& a : arguments)
        argv_.push_back(a.toStdString());
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (entry.rfind("QUINTAR_PROFILE=", 0) != 0 && entry.rfind("QUINTAR_LISTEN_ADDRESS=", 0) != 0)
            env_.push_back(entry);
    }
    for (const QString& pair : extraEnvironment)
        env_.push_back(pair.toStdString());
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

bool Program::WaitForOutput(std::string_view text, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        Collect(20);
        if (outText_.find(text) != std::string::npos)
            return true;
        if (Reap()) {
            Collect(0);
            return outText_.find(text) != std::string::npos;
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
