// Helpers of the link's tests: a scripted station on a real TCP socket, the link's event loop in a
// thread of its own with what it reported recorded, and a CAT program's end of the terminal.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "LinkStatus.h"
#include "RadioPort.h"
#include "StationLink.h"

namespace linktest {

using namespace std::chrono_literals;

// The station's 256-byte greeting block, spelled out here rather than taken from the code under test.
std::string Greeting();

// One accepted connection of the scripted station.
class Peer {
public:
    explicit Peer(int fd) : fd_(fd) {}
    ~Peer();
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;
    // Writes `bytes`; with `piece` > 0 in pieces of that size, each its own segment.
    bool Write(std::string_view bytes, std::size_t piece = 0);
    // Reads until everything received so far holds `text` (`count` times) or the time is up.
    bool WaitFor(std::string_view text, int timeoutMs, std::size_t count = 1);
    // True when the link closed the connection in time.
    bool WaitClosed(int timeoutMs);
    const std::string& Received() const { return received_; }
    void Close();

private:
    bool Fill(int timeoutMs);
    int fd_;
    bool closed_ = false;
    std::string received_;
};

// A TCP listener on 127.0.0.1 that the test answers by hand.
class FakeStation {
public:
    FakeStation();
    ~FakeStation();
    unsigned Port() const { return port_; }
    // The next connection, or nothing when none came in time.
    std::unique_ptr<Peer> Accept(int timeoutMs);
    // Greets, takes the login line and answers it as the station does for a good password.
    std::unique_ptr<Peer> AcceptAndLogIn(int timeoutMs, const std::string& loginLine = "UID:op1;PWD:pw1;");

private:
    int listener_ = -1;
    unsigned port_ = 0;
};

class RecordingObserver final : public quintar::link::LinkObserver {
public:
    void Event(const std::string& line) override;
    void Status(const quintar::link::LinkStatus& status) override;
    std::vector<std::string> Events() const;
    quintar::link::LinkStatus LastStatus() const;
    // Waits until an event line containing `text` has been reported (`count` times).
    bool WaitForEvent(std::string_view text, int timeoutMs, std::size_t count = 1) const;
    bool WaitForStatus(const std::function<bool(const quintar::link::LinkStatus&)>& holds, int timeoutMs) const;

private:
    mutable std::mutex lock_;
    mutable std::condition_variable changed_;
    std::vector<std::string> events_;
    quintar::link::LinkStatus status_;
};

// The link's loop on a pseudo-terminal, run in a thread.
class LinkThread {
public:
    explicit LinkThread(quintar::link::LinkSettings settings);
    ~LinkThread();  // stops
    const std::string& TerminalPath() const { return port_.TerminalPath(); }
    RecordingObserver& Observer() { return observer_; }
    void Stop();
    // The loop's result once it returned by itself.
    std::optional<quintar::link::StationLink::Result> WaitForEnd(int timeoutMs);
    std::optional<quintar::link::Ending> LastEnding() const { return link_->LastEnding(); }

private:
    quintar::link::PseudoTerminalPort port_;
    RecordingObserver observer_;
    std::unique_ptr<quintar::link::StationLink> link_;
    std::thread thread_;
    std::mutex lock_;
    std::condition_variable ended_;
    std::optional<quintar::link::StationLink::Result> result_;
};

// Settings for a link to 127.0.0.1:port as op1/pw1.
quintar::link::LinkSettings TestSettings(unsigned port);

// A CAT program's end of a terminal, opened raw as such programs open a serial port.
class Program {
public:
    explicit Program(const std::string& path);
    ~Program();
    bool Ok() const { return fd_ >= 0; }
    bool Write(std::string_view text);
    // Reads until what arrived holds `text`, or the time is up; returns everything read so far.
    std::string ReadUntil(std::string_view text, int timeoutMs);
    // Everything that arrives within `ms`.
    std::string ReadFor(int ms);
    const std::string& Got() const { return got_; }

private:
    // Reads what arrives until it holds `until` (where given) or `end` has come.
    void Read(std::optional<std::string_view> until, std::chrono::steady_clock::time_point end);
    int fd_;
    std::string got_;
};

}  // namespace linktest
