// The link station tests' helpers.
#include "LinkStationSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "SessionClient.h"

extern char** environ;

namespace linkstationtest {

namespace {

using Clock = std::chrono::steady_clock;

std::string FileText(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

std::size_t Count(std::string_view text, std::string_view what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
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

int OpenRaw(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

// ---- Child --------------------------------------------------------------------------------------

Child::Child(std::string program, std::vector<std::string> arguments, std::vector<std::string> environment)
{
    argv_.push_back(std::move(program));
    argv_.insert(argv_.end(), arguments.begin(), arguments.end());
    // The child never inherits the test's profile, listen address or state folder.
    constexpr std::string_view kDropped[] = {"QUINTAR_PROFILE=", "QUINTAR_LISTEN_ADDRESS=", "XDG_STATE_HOME=",
                                             "DISPLAY=", "WAYLAND_DISPLAY="};
    for (char** e = environ; *e; ++e) {
        const std::string_view entry = *e;
        if (std::none_of(std::begin(kDropped), std::end(kDropped),
                         [&](std::string_view name) { return entry.substr(0, name.size()) == name; }))
            env_.emplace_back(entry);
    }
    env_.insert(env_.end(), environment.begin(), environment.end());
}

Child::~Child()
{
    if (pid_ > 0 && !exited_) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    for (int fd : {in_, out_, err_})
        if (fd >= 0)
            ::close(fd);
}

bool Child::Start()
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
    // A session of its own: no controlling terminal, so no password is ever asked on the test's.
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

bool Child::Run(const std::string& input, int timeoutMs)
{
    if (!Start())
        return false;
    Write(input);
    CloseInput();
    return WaitForExit(timeoutMs);
}

bool Child::Write(std::string_view text)
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

void Child::CloseInput()
{
    if (in_ >= 0)
        ::close(in_);
    in_ = -1;
}

void Child::Collect(int waitMs)
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

bool Child::Reap()
{
    if (exited_)
        return true;
    int status = 0;
    if (pid_ <= 0 || ::waitpid(pid_, &status, WNOHANG) != pid_)
        return false;
    exited_ = true;
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    return true;
}

bool Child::Running()
{
    return pid_ > 0 && !Reap();
}

bool Child::WaitForOutput(std::string_view text, int timeoutMs, std::size_t count)
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

bool Child::WaitForExit(int timeoutMs)
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

void Child::Signal(int signal)
{
    if (pid_ > 0 && !exited_)
        ::kill(pid_, signal);
}

const std::string& Child::Out()
{
    Collect(0);
    return outText_;
}

const std::string& Child::Err()
{
    Collect(0);
    return errText_;
}

// ---- Rigctl -------------------------------------------------------------------------------------

namespace {
constexpr int kRigctlStepMs = 30000;  // rigctl retries a command that goes unanswered several times
const std::string kPrompt = "\nRig command: ";
}  // namespace

Rigctl::Rigctl(int model, const std::string& port, std::vector<std::string> options)
    : process_(FindOnPath("rigctl"), [&] {
          std::vector<std::string> a = {"-m", std::to_string(model), "-r", port, "-s", "9600"};
          a.insert(a.end(), options.begin(), options.end());
          return a;
      }())
{
}

bool Rigctl::Open()
{
    return process_.Start() && process_.WaitForOutput(kPrompt, kRigctlStepMs, ++prompts_);
}

std::optional<std::string> Rigctl::Run(const std::string& command)
{
    const std::size_t from = process_.Out().size();
    if (!process_.Write(command + "\n") || !process_.WaitForOutput(kPrompt, kRigctlStepMs, ++prompts_))
        return std::nullopt;
    const std::string& out = process_.Out();
    const std::size_t end = out.rfind(kPrompt);
    return end >= from ? out.substr(from, end - from) : std::string();
}

const std::vector<std::string>& CatMatrix()
{
    static const std::vector<std::string> commands = {
        "f", "F 14250000", "f", "m", "M CW 500", "m", "M USB 2400", "m",
        "v", "V VFOB", "v", "F 7100000", "f", "V VFOA", "f",
        "s", "S 1 VFOB", "s", "i", "I 7050000", "i", "x", "X LSB 2400", "x", "S 0 VFOA", "s",
        "t", "T 1", "t", "T 0", "t",
        "l AF", "L AF 0.5", "l AF", "l RF", "L RF 0.5", "l RF", "l SQL", "L SQL 0.2", "l SQL",
        "l RFPOWER", "L RFPOWER 0.5", "l RFPOWER", "l MICGAIN", "L MICGAIN 0.4", "l MICGAIN",
        "l KEYSPD", "L KEYSPD 25", "l KEYSPD", "l STRENGTH", "l SWR", "l ALC", "l AGC", "l PREAMP", "l ATT",
        "\\pause 1", "j", "J 500", "\\pause 1", "j", "J -300", "\\pause 1", "j", "J 0",
        "\\pause 1", "z", "Z 200", "\\pause 1", "z", "Z 0",
        "u RIT", "U RIT 1", "u RIT", "U RIT 0", "u XIT", "U XIT 1", "u XIT", "U XIT 0",
        "u NB", "U NB 1", "u NB", "U NB 0", "u COMP", "U COMP 1", "u COMP", "U COMP 0",
        "u VOX", "U VOX 1", "u VOX", "U VOX 0", "u TONE", "U TONE 1", "u TONE", "U TONE 0",
        "u LOCK", "U LOCK 1", "u LOCK", "U LOCK 0",
        "\\get_powerstat", "\\set_powerstat 1", "\\get_powerstat", "\\dump_state",
    };
    return commands;
}

bool SwitchAutoInformationOff(const std::string& port)
{
    const int fd = OpenRaw(port);
    if (fd < 0)
        return false;
    std::string got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    bool ok = ::write(fd, "AI0;AI;", 7) == 7;
    while (ok && got.find("AI0;") == std::string::npos && std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        char buffer[256];
        if (::poll(&p, 1, 50) > 0) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            ok = n > 0;
            if (ok)
                got.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    return ok && got.find("AI0;") != std::string::npos;
}

std::vector<std::optional<std::string>> RunAll(Rigctl& cat, const std::vector<std::string>& commands)
{
    std::vector<std::optional<std::string>> outputs;
    for (const std::string& c : commands)
        outputs.push_back(outputs.empty() || outputs.back() ? cat.Run(c) : std::nullopt);
    return outputs;
}

std::string Comparable(const std::string& output)
{
    const std::size_t error = output.find(": error = ");
    if (error == std::string::npos)
        return output;
    std::string last;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);)
        if (line.find_first_not_of(" \t\r") != std::string::npos)
            last = line;
    return output.substr(0, error) + ": error = " + last;
}

// ---- Station ------------------------------------------------------------------------------------

void Station::SetUp()
{
    radio = std::make_unique<radiosim::RadioSim>(radioOptions);
    ASSERT_TRUE(radio->Start());
    tcpPort = testsupport::FreeTcpPort();
    std::filesystem::create_directories(dir.Path() / "log");
    Setup({"set", "com-device", "1", radio->SlavePath()});
    Setup({"set", "tcp-port", std::to_string(tcpPort)});
    Setup({"set", "log", "on", "--folder", (dir.Path() / "log").string()});
    Setup({"user", "add", "op1", "--password-stdin"}, "pw1\n");
}

void Station::TearDown()
{
    if (host && host->Running())
        StopHost();
    host.reset();
    radio.reset();
}

void Station::Setup(const std::vector<std::string>& arguments, const std::string& input)
{
    std::vector<std::string> a = {"setup", "--profile", (dir.Path() / "quintar.ini").string()};
    a.insert(a.end(), arguments.begin(), arguments.end());
    Child setup(QUINTAR_PROGRAM, a);
    ASSERT_TRUE(setup.Run(input)) << "quintar setup did not finish";
    ASSERT_EQ(setup.ExitStatus(), 0) << setup.Err();
}

void Station::StartHost(std::vector<std::string> options, std::vector<std::string> environment)
{
    std::vector<std::string> a = {"--headless", "--profile", (dir.Path() / "quintar.ini").string()};
    a.insert(a.end(), options.begin(), options.end());
    environment.push_back("QUINTAR_LISTEN_ADDRESS=127.0.0.1");
    host = std::make_unique<Child>(QUINTAR_PROGRAM, a, environment);
    ASSERT_TRUE(host->Start());
    ASSERT_TRUE(host->WaitForOutput("- START - Successful COM1, Socket:" + std::to_string(tcpPort) + ".\n", 15000))
        << host->Out() << host->Err();
}

void Station::StopHost()
{
    host->Signal(SIGTERM);
    ASSERT_TRUE(host->WaitForExit(15000));
    EXPECT_EQ(host->ExitStatus(), 0) << host->Err();
}

std::string Station::AccessLog() const
{
    std::set<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path() / "log"))
        if (entry.path().extension() == ".log")
            files.insert(entry.path());
    std::string all;
    for (const auto& f : files)
        all += FileText(f);
    return all;
}

std::unique_ptr<Child> Station::StartLink(std::vector<std::string> arguments, const std::string& password,
                                          std::vector<std::string> environment, const std::string& program)
{
    std::vector<std::string> a = {"--link", LinkPath(), "--password-stdin"};
    a.insert(a.end(), arguments.begin(), arguments.end());
    a.push_back("127.0.0.1:" + std::to_string(tcpPort));
    auto link = std::make_unique<Child>(program, a, std::move(environment));
    if (!link->Start())
        return nullptr;
    link->Write(password + "\n");
    link->CloseInput();
    return link;
}

std::string Station::StatusValue(const std::string& key) const
{
    std::istringstream in(FileText(LinkStatusFile()));
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key + "=", 0) == 0)
            return line.substr(key.size() + 1);
    return {};
}

long Station::StatusNumber(const std::string& key) const
{
    const std::string v = StatusValue(key);
    if (v.empty() || v.size() > 9 || v.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    return std::stol(v);
}

}  // namespace linkstationtest
