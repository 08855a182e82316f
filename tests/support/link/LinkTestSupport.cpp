// The link tests' helpers on plain POSIX sockets and terminals.
#include "LinkTestSupport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace linktest {

namespace {

using Clock = std::chrono::steady_clock;

int LeftMs(Clock::time_point end)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

std::size_t Count(std::string_view text, std::string_view what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
}

}  // namespace

std::string Greeting()
{
    std::string block = "\r\n\r\nHello!! This is Talvern Network Command System.\r\n>";
    block.resize(256, '\0');
    return block;
}

// ---- Peer ---------------------------------------------------------------------------------------

Peer::~Peer()
{
    Close();
}

void Peer::Close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool Peer::Write(std::string_view bytes, std::size_t piece)
{
    if (piece == 0)
        piece = bytes.size();
    while (!bytes.empty()) {
        const std::size_t n = std::min(piece, bytes.size());
        if (::send(fd_, bytes.data(), n, MSG_NOSIGNAL) != static_cast<ssize_t>(n))
            return false;
        bytes.remove_prefix(n);
        // Each piece its own segment, so the link's reads see the text cut there.
        if (!bytes.empty() && piece > 0)
            std::this_thread::sleep_for(1ms);
    }
    return true;
}

bool Peer::Fill(int timeoutMs)
{
    if (fd_ < 0 || closed_)
        return false;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0)
        return true;
    char buffer[4096];
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n > 0) {
        received_.append(buffer, static_cast<std::size_t>(n));
        return true;
    }
    if (n < 0 && errno == EINTR)
        return true;
    closed_ = true;
    return false;
}

bool Peer::WaitFor(std::string_view text, int timeoutMs, std::size_t count)
{
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Count(received_, text) < count) {
        if (Clock::now() >= end || !Fill(LeftMs(end)))
            return Count(received_, text) >= count;
    }
    return true;
}

bool Peer::WaitClosed(int timeoutMs)
{
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!closed_ && Clock::now() < end)
        Fill(LeftMs(end));
    return closed_;
}

// ---- FakeStation --------------------------------------------------------------------------------

FakeStation::FakeStation()
{
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && ::listen(listener_, 8) == 0 &&
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &length) == 0)
        port_ = ntohs(addr.sin_port);
}

FakeStation::~FakeStation()
{
    if (listener_ >= 0)
        ::close(listener_);
}

std::unique_ptr<Peer> FakeStation::Accept(int timeoutMs)
{
    pollfd p{listener_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0)
        return nullptr;
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return nullptr;
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return std::make_unique<Peer>(fd);
}

std::unique_ptr<Peer> FakeStation::AcceptAndLogIn(int timeoutMs, const std::string& loginLine)
{
    auto peer = Accept(timeoutMs);
    if (!peer || !peer->Write(Greeting()) || !peer->WaitFor(loginLine, timeoutMs) ||
        !peer->Write("\r\nUID:OK;\r\n>PWD:OK;>@@UE1;"))
        return nullptr;
    return peer;
}

// ---- RecordingObserver --------------------------------------------------------------------------

void RecordingObserver::Event(const std::string& line)
{
    std::lock_guard g(lock_);
    events_.push_back(line);
    changed_.notify_all();
}

void RecordingObserver::Status(const quintar::link::LinkStatus& status)
{
    std::lock_guard g(lock_);
    status_ = status;
    changed_.notify_all();
}

std::vector<std::string> RecordingObserver::Events() const
{
    std::lock_guard g(lock_);
    return events_;
}

quintar::link::LinkStatus RecordingObserver::LastStatus() const
{
    std::lock_guard g(lock_);
    return status_;
}

bool RecordingObserver::WaitForEvent(std::string_view text, int timeoutMs, std::size_t count) const
{
    std::unique_lock l(lock_);
    return changed_.wait_for(l, std::chrono::milliseconds(timeoutMs), [&] {
        std::size_t n = 0;
        for (const std::string& e : events_)
            n += e.find(text) != std::string::npos;
        return n >= count;
    });
}

bool RecordingObserver::WaitForStatus(const std::function<bool(const quintar::link::LinkStatus&)>& holds,
                                      int timeoutMs) const
{
    std::unique_lock l(lock_);
    return changed_.wait_for(l, std::chrono::milliseconds(timeoutMs), [&] { return holds(status_); });
}

// ---- LinkThread ---------------------------------------------------------------------------------

quintar::link::LinkSettings TestSettings(unsigned port)
{
    quintar::link::LinkSettings s;
    s.host = "127.0.0.1";
    s.port = port;
    s.user = "op1";
    s.password = "pw1";
    return s;
}

LinkThread::LinkThread(quintar::link::LinkSettings settings)
{
    std::string error;
    port_.Open(error);
    link_ = std::make_unique<quintar::link::StationLink>(std::move(settings), port_, observer_);
    thread_ = std::thread([this] {
        const auto result = link_->Run();
        std::lock_guard g(lock_);
        result_ = result;
        ended_.notify_all();
    });
}

LinkThread::~LinkThread()
{
    Stop();
}

void LinkThread::Stop()
{
    if (thread_.joinable()) {
        link_->RequestStop();
        thread_.join();
    }
}

std::optional<quintar::link::StationLink::Result> LinkThread::WaitForEnd(int timeoutMs)
{
    std::unique_lock l(lock_);
    ended_.wait_for(l, std::chrono::milliseconds(timeoutMs), [&] { return result_.has_value(); });
    return result_;
}

// ---- Program ------------------------------------------------------------------------------------

Program::Program(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
{
    termios tio{};
    if (fd_ >= 0 && ::tcgetattr(fd_, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(fd_, TCSANOW, &tio);
    }
}

Program::~Program()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool Program::Write(std::string_view text)
{
    return ::write(fd_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

void Program::Read(std::optional<std::string_view> until, std::chrono::steady_clock::time_point end)
{
    while ((!until || got_.find(*until) == std::string::npos) && Clock::now() < end) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, LeftMs(end)) <= 0)
            continue;
        char buffer[1024];
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n > 0)
            got_.append(buffer, static_cast<std::size_t>(n));
    }
}

std::string Program::ReadUntil(std::string_view text, int timeoutMs)
{
    Read(text, Clock::now() + std::chrono::milliseconds(timeoutMs));
    return got_;
}

std::string Program::ReadFor(int ms)
{
    Read(std::nullopt, Clock::now() + std::chrono::milliseconds(ms));
    return got_;
}

}  // namespace linktest
