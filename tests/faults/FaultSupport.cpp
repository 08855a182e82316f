// The fault makers of the fault tests.
#include "FaultSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>

namespace faulttest {

namespace {

// Runs a command with `input` on its standard input; its exit status, and its output in `output`.
int Shell(const std::string& command, const std::string& input, std::string* output = nullptr)
{
    Program p("/bin/sh", {"-c", QString::fromStdString(command + " 2>&1")});
    if (!p.Run(input, 20000))
        return -1;
    if (output)
        *output = p.Out();
    return p.ExitStatus();
}

}  // namespace

void RunUnprivileged(Program& host, const std::vector<std::filesystem::path>& owned)
{
    if (::geteuid() != 0)
        return;
    for (const auto& path : owned)
        EXPECT_EQ(::chown(path.c_str(), kNobody, kNobody), 0) << path;
    host.RunAs(kNobody);
}

bool SetFileSizeLimit(pid_t pid, unsigned long long bytes)
{
    rlimit now{};
    if (::prlimit(pid, RLIMIT_FSIZE, nullptr, &now) != 0)
        return false;
    const rlimit limited{static_cast<rlim_t>(bytes), now.rlim_max};
    return ::prlimit(pid, RLIMIT_FSIZE, &limited, nullptr) == 0;
}

bool ClearFileSizeLimit(pid_t pid)
{
    rlimit now{};
    if (::prlimit(pid, RLIMIT_FSIZE, nullptr, &now) != 0)
        return false;
    const rlimit open{now.rlim_max, now.rlim_max};
    return ::prlimit(pid, RLIMIT_FSIZE, &open, nullptr) == 0;
}

std::vector<std::string> BrokenLogLines(const std::string& text)
{
    std::vector<std::string> broken;
    std::size_t at = 0;
    for (std::size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
        const std::string line = text.substr(at, end - at);
        const bool header = !line.empty() && line[0] == '#';
        const bool entry = line.size() > 9 && std::isdigit(static_cast<unsigned char>(line[0])) && line[2] == ':' &&
                           line[5] == ':' && line[8] == ' ' && line.find_first_of("\r\n") == std::string::npos;
        if (!header && !entry)
            broken.push_back(line);
    }
    if (at < text.size())
        broken.push_back(text.substr(at));  // the file ends inside a line
    return broken;
}

LostPackets::LostPackets(unsigned port) : table_("quintar_fault_" + std::to_string(::getpid()) + "_" + std::to_string(port))
{
    // Output covers both directions on the loopback interface: every packet is sent there.
    const std::string p = std::to_string(port);
    const std::string rules = "add table inet " + table_ + "\n" + "add chain inet " + table_ +
                              " out { type filter hook output priority -300; }\n" + "add rule inet " + table_ +
                              " out tcp sport " + p + " drop\n" + "add rule inet " + table_ + " out tcp dport " + p +
                              " drop\n";
    std::string output;
    const int status = Shell("nft -f -", rules, &output);
    active_ = status == 0;
    if (!active_)
        error_ = "nft exit " + std::to_string(status) + ": " + output;
}

LostPackets::~LostPackets()
{
    if (active_)
        Shell("nft delete table inet " + table_, {});
}

PinnedClient::~PinnedClient()
{
    Close();
}

bool PinnedClient::Connect(unsigned serverPort, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        Close();
        received_.clear();
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int on = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        sockaddr_in server = local;
        server.sin_port = htons(static_cast<uint16_t>(serverPort));
        socklen_t length = sizeof local;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length) != 0)
            return false;
        localPort_ = ntohs(local.sin_port);
        // A one-client server turns a connection away while it is busy: try again.
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&server), sizeof server) == 0 &&
            ReadUntil("Command System.\r\n>", 2000))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

bool PinnedClient::Send(const std::string& text)
{
    return fd_ >= 0 && ::send(fd_, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
}

bool PinnedClient::ReadUntil(const std::string& text, int timeoutMs)
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
            return false;
        received_.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

void PinnedClient::Close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

MovableWallClock::MovableWallClock(const std::filesystem::path& folder) : file_(folder / "faketime.rc")
{
    Set("+0");
}

bool MovableWallClock::Available()
{
    return std::filesystem::exists("/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1");
}

QStringList MovableWallClock::Environment() const
{
    return {"LD_PRELOAD=/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1",
            "FAKETIME_TIMESTAMP_FILE=" + QString::fromStdString(file_.string()), "FAKETIME_NO_CACHE=1",
            "FAKETIME_DONT_FAKE_MONOTONIC=1",
            // A sanitizer build wants its runtime first; the preloaded clock comes before it.
            "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=1"};
}

void MovableWallClock::Set(const std::string& offset)
{
    // Written beside and renamed, so the host never reads half a setting.
    const std::filesystem::path temp = file_.string() + ".new";
    std::ofstream(temp) << offset << "\n";
    std::filesystem::rename(temp, file_);
}

std::string LogFileName(long long offsetSeconds)
{
    const std::time_t t = std::time(nullptr) + offsetSeconds;
    std::tm local{};
    localtime_r(&t, &local);
    char name[32];
    std::snprintf(name, sizeof name, "%04d%02d%02d.log", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    return name;
}

}  // namespace faulttest
