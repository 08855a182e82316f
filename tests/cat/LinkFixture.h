// Fixture of the tests that run the radio reader over a real pseudo-terminal: the simulated radio,
// the library's serial link on it, a recording host window, and a raw TCP client that the test
// can mark as logged in without running the session server.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "RadioSim.h"
#include "RadioState.h"
#include "SessionClient.h"
#include "TestSupport.h"

namespace cattest {

using testsupport::FreeTcpPort;

// A plain TCP client on 127.0.0.1.
class RawClient {
public:
    explicit RawClient(unsigned port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~RawClient() { ::close(fd_); }
    bool Connected() const { return connected_; }
    // Reads until `text` has arrived in what was received so far, or the time runs out.
    bool ReadUntil(const std::string& text, int timeoutMs) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got_.find(text) == std::string::npos) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
            if (left <= 0) return false;
            ReadFor(static_cast<int>(left));
        }
        return true;
    }
    // Collects whatever arrives within `ms`.
    void ReadFor(int ms) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, ms) <= 0) return;
        char buf[4096];
        ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
        if (n > 0) got_.append(buf, static_cast<std::size_t>(n));
    }
    const std::string& Got() const { return got_; }

private:
    int fd_ = -1;
    bool connected_ = false;
    std::string got_;
};

class LinkTest : public ::testing::Test {
protected:
    void OpenLink(unsigned id, radiosim::Options options = {}) {
        options.id = id;
        sim = std::make_unique<radiosim::RadioSim>(options);
        ASSERT_TRUE(sim->Start());
        CBrenlow::SetComPortPath(1, sim->SlavePath().c_str());
        lib.WinMsgSendReg(&window);
        ASSERT_EQ(lib.RadioConnectionOpen(id, 1, 9600, 1), 1);
    }

    // A client the reader relays to, as if it had logged in.
    std::unique_ptr<RawClient> ConnectClient(bool loggedIn) {
        brenlow::RadioState& s = brenlow::State();
        s.socketServer.SetListenAddress("127.0.0.1");
        unsigned port = FreeTcpPort();
        EXPECT_EQ(s.socketServer.Listen(port), 1);
        auto client = std::make_unique<RawClient>(port);
        EXPECT_TRUE(client->Connected());
        EXPECT_TRUE(testsupport::WaitUntil([&] { return s.socketServer.GetSocketAccepted() != 0; }, 5000));
        s.session.loggedIn = loggedIn ? 1 : 0;
        usingServer_ = true;
        return client;
    }

    void TearDown() override {
        brenlow::RadioState& s = brenlow::State();
        if (usingServer_) {
            s.session.loggedIn = 0;
            s.socketServer.DisConnect();
        }
        lib.RadioConnectionClose();
        lib.WinMsgSendReg(nullptr);
        s.terminalMode = 0;
    }

    static brenlow::AnswerEntry Entry(brenlow::Answer a) {
        brenlow::RadioState& s = brenlow::State();
        std::scoped_lock g(s.cacheLock);
        return s.cache[a];
    }

    std::unique_ptr<radiosim::RadioSim> sim;
    testsupport::TestBrenlow lib;
    testsupport::RecordingWindow window;
    bool usingServer_ = false;
};

}  // namespace cattest
