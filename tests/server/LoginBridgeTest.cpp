// The login bridge that serves CAT programs in the station tests, against the real session server
// and simulated radio: it logs in, carries radio traffic both ways through its pseudo-terminal
// and keeps the server's "@@" reports from the program.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>

#include "LoginBridge.h"
#include "ServerRig.h"

namespace servertest {
namespace {

// The program's side: the bridge's terminal opened raw, as a CAT program opens its serial port.
class Terminal {
public:
    explicit Terminal(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
        termios tio{};
        if (fd_ >= 0 && tcgetattr(fd_, &tio) == 0) {
            cfmakeraw(&tio);
            tcsetattr(fd_, TCSANOW, &tio);
        }
    }
    ~Terminal() {
        if (fd_ >= 0) close(fd_);
    }
    bool Ok() const { return fd_ >= 0; }
    bool Write(const std::string& text) { return write(fd_, text.data(), text.size()) == ssize_t(text.size()); }
    // Everything read until `text` has arrived or the time is up.
    std::string ReadUntil(const std::string& text, int timeoutMs) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got_.find(text) == std::string::npos && std::chrono::steady_clock::now() < end) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            char buffer[1024];
            const ssize_t n = read(fd_, buffer, sizeof buffer);
            if (n > 0) got_.append(buffer, static_cast<std::size_t>(n));
        }
        return got_;
    }

private:
    int fd_;
    std::string got_;
};

class Bridge : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(rig.Started());
        rig.AddUser(0, "alice", "secret");
    }
    ServerRig rig;
    testsupport::LoginBridge bridge;
};

TEST_F(Bridge, CarriesRadioTrafficBothWaysAndKeepsTheServersReports) {
    ASSERT_TRUE(bridge.Start(rig.port, "alice", "secret", kPatienceMs)) << bridge.Error();
    Terminal program(bridge.SlavePath());
    ASSERT_TRUE(program.Ok());
    rig.sim.ClearReceived();
    ASSERT_TRUE(program.Write("@@AI1;FA;@@ST;MD;"));
    // Nothing of the login dialogue and no report reaches the program, only the radio's answers.
    EXPECT_EQ(program.ReadUntil("MD2;", kPatienceMs), "FA00014074000;MD2;");
    EXPECT_EQ(rig.sim.Received(), "FA;MD;");
    EXPECT_EQ(bridge.Dropped(), "@@AI1;@@ST000000000000;");
    EXPECT_FALSE(bridge.ServerClosed());
}

TEST_F(Bridge, ReportsARefusedLoginWithTheServersAnswer) {
    EXPECT_FALSE(bridge.Start(rig.port, "alice", "wrong", kPatienceMs));
    EXPECT_NE(bridge.Error().find("PWD:NG;"), std::string::npos) << bridge.Error();
    EXPECT_EQ(bridge.SlavePath(), "");
}

}  // namespace
}  // namespace servertest
