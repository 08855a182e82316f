// The program's side: the pseudo-terminal and the TCP port carry bytes both ways, and the stable
// link path is created, guarded against a second link, and cleaned up.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "LinkStatus.h"
#include "LinkTestSupport.h"
#include "RadioPort.h"
#include "TestSupport.h"

namespace linktest {
namespace {

using quintar::link::LinkPath;
using quintar::link::PseudoTerminalPort;
using quintar::link::TcpPort;

// Services the port until it has handed over `count` bytes or the time is up.
std::string ServiceUntil(quintar::link::RadioPort& port, std::size_t count, int timeoutMs)
{
    std::string got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (got.size() < count && std::chrono::steady_clock::now() < end) {
        std::vector<pollfd> fds;
        port.AddPollFds(fds);
        ::poll(fds.data(), fds.size(), 20);
        port.Service(fds.data(), got);
    }
    return got;
}

int ConnectTo(unsigned port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::string ReadSocket(int fd, std::size_t count, int timeoutMs, bool* closed = nullptr)
{
    std::string got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (got.size() < count && std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        char buffer[256];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            if (closed)
                *closed = true;
            break;
        }
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

TEST(PseudoTerminalPort, isRawForAProgramThatSetsNothing)
{
    PseudoTerminalPort port;
    std::string error;
    ASSERT_TRUE(port.Open(error)) << error;
    // Opened as it is: no line-end translation either way, and no echo of what the link delivers.
    const int program = ::open(port.TerminalPath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(program, 0);
    ASSERT_EQ(::write(program, "FA;\nMD;", 7), 7);
    EXPECT_EQ(ServiceUntil(port, 8, 500), "FA;\nMD;");
    port.Deliver("ID020;\r");
    char got[16] = {};
    pollfd p{program, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 2000), 1);
    EXPECT_EQ(std::string(got, static_cast<std::size_t>(::read(program, got, sizeof got))), "ID020;\r");
    EXPECT_EQ(ServiceUntil(port, 1, 200), "") << "the delivered bytes came back as echo";
    ::close(program);
}

TEST(PseudoTerminalPort, outlivesItsPrograms)
{
    PseudoTerminalPort port;
    std::string error;
    ASSERT_TRUE(port.Open(error)) << error;
    {
        Program first(port.TerminalPath());
        ASSERT_TRUE(first.Ok());
        ASSERT_TRUE(first.Write("FA;"));
        EXPECT_EQ(ServiceUntil(port, 3, 2000), "FA;");
        port.Deliver("FA00014074000;");
        EXPECT_EQ(first.ReadUntil("FA00014074000;", 2000), "FA00014074000;");
    }
    // The program closed its end; the next one finds the port as it was.
    Program second(port.TerminalPath());
    ASSERT_TRUE(second.Write("ID;"));
    EXPECT_EQ(ServiceUntil(port, 3, 2000), "ID;");
    port.Deliver("ID020;");
    EXPECT_EQ(second.ReadUntil("ID020;", 2000), "ID020;");
}

TEST(PseudoTerminalPort, dropsWhatAProgramDoesNotReadInsteadOfBlocking)
{
    PseudoTerminalPort port;
    std::string error;
    ASSERT_TRUE(port.Open(error)) << error;
    const std::string answer = "FA00014074000;";
    for (int i = 0; i < 20000; ++i)
        port.Deliver(answer);  // nobody reads: returns at once, the overflow is counted
    EXPECT_GT(port.DroppedBytes(), 0u);
}

TEST(TcpPort, servesOneProgramAtATimeOnLoopback)
{
    TcpPort port;
    std::string error;
    ASSERT_TRUE(port.Listen(0, error)) << error;
    ASSERT_NE(port.Port(), 0u);
    port.Deliver("FA00014074000;");  // nobody connected yet: dropped
    EXPECT_EQ(port.DroppedBytes(), 14u);

    const int program = ConnectTo(port.Port());
    ASSERT_GE(program, 0);
    ASSERT_EQ(::send(program, "FA;", 3, 0), 3);
    EXPECT_EQ(ServiceUntil(port, 3, 2000), "FA;");
    ASSERT_TRUE(port.HasProgram());
    port.Deliver("FA00014074000;");
    EXPECT_EQ(ReadSocket(program, 14, 2000), "FA00014074000;");

    const int second = ConnectTo(port.Port());
    ASSERT_GE(second, 0);
    ServiceUntil(port, 1, 200);
    bool closed = false;
    EXPECT_EQ(ReadSocket(second, 1, 2000, &closed), "");
    EXPECT_TRUE(closed) << "a second program must be turned away";
    ::close(second);

    ::close(program);
    EXPECT_TRUE(testsupport::WaitUntil(
        [&] {
            ServiceUntil(port, 1, 20);
            return !port.HasProgram();
        },
        2000));
    const int third = ConnectTo(port.Port());
    ASSERT_GE(third, 0);
    ASSERT_EQ(::send(third, "MD;", 3, 0), 3);
    EXPECT_EQ(ServiceUntil(port, 3, 2000), "MD;");
    ::close(third);
}

class LinkPathTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return (dir.Path() / name).string(); }
    static std::string PointsAt(const std::string& link)
    {
        std::error_code ec;
        return std::filesystem::read_symlink(link, ec).string();
    }
    testsupport::TempDir dir;
    std::string error;
};

TEST_F(LinkPathTest, defaultsToTheUsersStateFolder)
{
    const char* oldState = std::getenv("XDG_STATE_HOME");
    const std::string savedState = oldState ? oldState : "";
    const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("XDG_STATE_HOME", "/srv/state", 1);
    EXPECT_EQ(LinkPath::Default(), "/srv/state/quintar-link/radio");
    ::setenv("XDG_STATE_HOME", "relative/is/ignored", 1);
    ::setenv("HOME", "/home/op", 1);
    EXPECT_EQ(LinkPath::Default(), "/home/op/.local/state/quintar-link/radio");
    ::unsetenv("XDG_STATE_HOME");
    EXPECT_EQ(LinkPath::Default(), "/home/op/.local/state/quintar-link/radio");
    ::setenv("HOME", savedHome.c_str(), 1);
    if (oldState)
        ::setenv("XDG_STATE_HOME", savedState.c_str(), 1);
}

TEST_F(LinkPathTest, pointsAtTheTerminalInAPrivateFolderAndCleansUp)
{
    const std::string link = Path("state/quintar-link/radio");
    {
        LinkPath path;
        ASSERT_TRUE(path.Claim(link, "/dev/pts/77", error)) << error;
        EXPECT_EQ(PointsAt(link), "/dev/pts/77");
        struct stat st {};
        ASSERT_EQ(::stat(Path("state/quintar-link").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        ASSERT_EQ(::stat(Path("state").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        EXPECT_TRUE(LinkPath::InUse(link));
        ASSERT_TRUE(quintar::link::WriteFileAtomically(LinkPath::StatusFileOf(link), "state=waiting\n"));
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    EXPECT_FALSE(std::filesystem::exists(LinkPath::StatusFileOf(link)));
    EXPECT_FALSE(LinkPath::InUse(link));
}

// Whoever can write the status file's folder may put a FIFO or a link at its names: the status is
// still written whole and through neither, and reading it never waits on a FIFO.
TEST_F(LinkPathTest, statusFileIsWrittenAndReadWithoutFollowingALinkOrWaitingOnAFifo)
{
    const std::string status = LinkPath::StatusFileOf(Path("radio"));
    const std::string victim = Path("victim");
    std::ofstream(victim) << "mine\n";
    // At the name a writer might use beside it; the test reads it, so a writer opening it
    // would not hang the test, only fill the FIFO.
    ASSERT_EQ(::mkfifo((status + ".new").c_str(), 0600), 0);
    const int reader = ::open((status + ".new").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    std::filesystem::create_symlink(victim, status);

    ASSERT_TRUE(quintar::link::WriteFileAtomically(status, "state=waiting\n", &error)) << error;
    ASSERT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(status)));
    std::string text;
    ASSERT_TRUE(quintar::link::ReadOwnFile(status, text, error)) << error;
    EXPECT_EQ(text, "state=waiting\n");
    std::ifstream mine(victim);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(mine), {}), "mine\n");

    std::filesystem::remove(status);
    ASSERT_EQ(::mkfifo(status.c_str(), 0600), 0);
    EXPECT_FALSE(quintar::link::ReadOwnFile(status, text, error));
    EXPECT_NE(error.find("is not a regular file of this user"), std::string::npos) << error;
    std::filesystem::remove(status);
    std::filesystem::create_symlink(victim, status);
    EXPECT_FALSE(quintar::link::ReadOwnFile(status, text, error));
    EXPECT_NE(error.find("a symbolic link"), std::string::npos) << error;
    ::close(reader);
}

TEST_F(LinkPathTest, refusesAPathAnotherLinkHolds)
{
    const std::string link = Path("radio");
    LinkPath first;
    ASSERT_TRUE(first.Claim(link, "/dev/pts/77", error)) << error;
    LinkPath second;
    EXPECT_FALSE(second.Claim(link, "/dev/pts/78", error));
    EXPECT_NE(error.find("another quintar-link is running on " + link), std::string::npos) << error;
    EXPECT_EQ(PointsAt(link), "/dev/pts/77");
}

TEST_F(LinkPathTest, replacesAStaleSymlinkButNeverAnythingElse)
{
    const std::string stale = Path("radio");
    std::filesystem::create_symlink("/dev/pts/999", stale);
    {
        LinkPath path;
        ASSERT_TRUE(path.Claim(stale, "/dev/pts/77", error)) << error;
        EXPECT_EQ(PointsAt(stale), "/dev/pts/77");
    }

    const std::string file = Path("notes");
    std::ofstream(file) << "mine";
    LinkPath path;
    EXPECT_FALSE(path.Claim(file, "/dev/pts/77", error));
    EXPECT_NE(error.find("exists and is not a symlink"), std::string::npos) << error;
    std::ifstream in(file);
    std::string content;
    in >> content;
    EXPECT_EQ(content, "mine");
}

TEST_F(LinkPathTest, leavesASymlinkThatNoLongerPointsAtItsTerminal)
{
    const std::string link = Path("radio");
    {
        LinkPath path;
        ASSERT_TRUE(path.Claim(link, "/dev/pts/77", error)) << error;
        std::filesystem::remove(link);
        std::filesystem::create_symlink("/dev/ttyUSB0", link);
    }
    EXPECT_EQ(PointsAt(link), "/dev/ttyUSB0");
}

}  // namespace
}  // namespace linktest
