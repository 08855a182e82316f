// RadioSim: pty pair, a reader thread that records and answers commands, and a single writer
// thread through which every byte to the line goes (answers with their timing, and injections).
#include "RadioSim.h"

#include "Transceiver.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

namespace radiosim {

namespace {

using Clock = std::chrono::steady_clock;

struct Item {
    std::string bytes;
    bool answer = false;  // answers take the delay/split/merge options; injections go out as given
    Clock::time_point due;
};

void MakeRaw(int fd)
{
    termios tio{};
    if (tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
}

}  // namespace

struct RadioSim::Impl {
    explicit Impl(Options o) : options(o), radio(o.id), silent(o.silent) {}

    const Options options;
    int master = -1;
    int slave = -1;  // held open so the master never sees a hang-up between clients
    int wakeFd = -1;
    std::string slavePath;
    std::thread reader;
    std::thread writer;
    bool started = false;  // touched only by Start/Stop, which the owner calls

    // Radio state and the records of both directions.
    mutable std::mutex stateMutex;
    std::condition_variable recordCv;
    std::string received;
    std::string sent;
    std::string partial;  // command bytes before the next ';'
    Transceiver radio;
    bool silent;

    // Writer queue.
    std::mutex queueMutex;
    std::condition_variable queueCv;
    std::deque<Item> queue;
    bool stopping = false;
    std::atomic<bool> stopFlag{false};

    void OnBytes(const char* data, size_t n)
    {
        {
            std::lock_guard lock(stateMutex);
            received.append(data, n);
            std::vector<std::string> answers;
            for (size_t i = 0; i < n; ++i) {
                if (data[i] == ';') {
                    std::vector<std::string> out;
                    radio.Handle(partial, out);
                    if (!silent)
                        answers.insert(answers.end(), out.begin(), out.end());
                    partial.clear();
                } else {
                    partial += data[i];
                }
            }
            // Queued before the bytes show as received, so whoever saw a command arrive and
            // then injects finds the command's answers ahead of the injection.
            const auto due = Clock::now() + std::chrono::milliseconds(std::max(0, options.delayMs));
            std::lock_guard queueLock(queueMutex);
            for (auto& a : answers)
                queue.push_back({std::move(a), true, due});
        }
        recordCv.notify_all();
        queueCv.notify_all();
    }

    void ReadLoop()
    {
        char buf[4096];
        for (;;) {
            pollfd p[2] = {{master, POLLIN, 0}, {wakeFd, POLLIN, 0}};
            int r = poll(p, 2, -1);
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0 || (p[1].revents & POLLIN))
                return;
            if (p[0].revents & POLLIN) {
                ssize_t n = read(master, buf, sizeof buf);
                if (n > 0) {
                    OnBytes(buf, static_cast<size_t>(n));
                    continue;
                }
            }
            if (p[0].revents & (POLLHUP | POLLERR)) {
                // Should not happen while our own slave is open; avoid spinning if it does.
                pollfd w{wakeFd, POLLIN, 0};
                if (poll(&w, 1, 50) > 0)
                    return;
            }
        }
    }

    // Writes every byte unless stopping; the line may be full while nobody reads the slave.
    void WriteAll(std::string_view bytes)
    {
        while (!bytes.empty() && !stopFlag.load()) {
            ssize_t n = write(master, bytes.data(), bytes.size());
            if (n > 0) {
                bytes.remove_prefix(static_cast<size_t>(n));
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                return;
            pollfd p{master, POLLOUT, 0};
            poll(&p, 1, 50);
        }
    }

    void WriteLoop()
    {
        std::unique_lock lock(queueMutex);
        for (;;) {
            if (stopping)
                return;
            if (queue.empty()) {
                queueCv.wait(lock);
                continue;
            }
            if (queue.front().due > Clock::now()) {
                queueCv.wait_until(lock, queue.front().due);
                continue;
            }
            Item item = std::move(queue.front());
            queue.pop_front();
            std::string out = std::move(item.bytes);
            if (item.answer && options.merge) {
                const auto until = Clock::now() + std::chrono::milliseconds(std::max(0, options.mergeWindowMs));
                for (;;) {
                    while (!queue.empty() && queue.front().answer && queue.front().due <= Clock::now()) {
                        out += queue.front().bytes;
                        queue.pop_front();
                    }
                    if (stopping || Clock::now() >= until)
                        break;
                    queueCv.wait_until(lock, until);
                }
            }
            lock.unlock();
            if (item.answer && options.splitBytes > 0) {
                const size_t piece = static_cast<size_t>(options.splitBytes);
                for (size_t at = 0; at < out.size(); at += piece) {
                    if (at > 0)
                        std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    WriteAll(std::string_view(out).substr(at, piece));
                }
            } else {
                WriteAll(out);
            }
            {
                std::lock_guard stateLock(stateMutex);
                sent += out;
            }
            recordCv.notify_all();
            lock.lock();
        }
    }

    void CloseAll()
    {
        for (int* fd : {&master, &slave, &wakeFd}) {
            if (*fd >= 0)
                close(*fd);
            *fd = -1;
        }
    }
};

RadioSim::RadioSim(Options options) : impl_(new Impl(options)) {}

RadioSim::~RadioSim()
{
    Stop();
    delete impl_;
}

bool RadioSim::Start()
{
    Impl& d = *impl_;
    if (d.started)
        return true;
    d.master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128];
    if (d.master < 0 || grantpt(d.master) != 0 || unlockpt(d.master) != 0 || ptsname_r(d.master, name, sizeof name) != 0) {
        d.CloseAll();
        return false;
    }
    d.slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    d.wakeFd = eventfd(0, EFD_CLOEXEC);
    if (d.slave < 0 || d.wakeFd < 0) {
        d.CloseAll();
        return false;
    }
    MakeRaw(d.slave);
    MakeRaw(d.master);
    fcntl(d.master, F_SETFL, fcntl(d.master, F_GETFL) | O_NONBLOCK);
    {
        std::lock_guard lock(d.queueMutex);
        d.stopping = false;
        d.queue.clear();
    }
    d.stopFlag = false;
    d.slavePath = name;
    d.reader = std::thread([&d] { d.ReadLoop(); });
    d.writer = std::thread([&d] { d.WriteLoop(); });
    d.started = true;
    return true;
}

void RadioSim::Stop()
{
    Impl& d = *impl_;
    if (!d.started)
        return;
    {
        std::lock_guard lock(d.queueMutex);
        d.stopping = true;
    }
    d.stopFlag = true;
    d.queueCv.notify_all();
    eventfd_write(d.wakeFd, 1);
    d.reader.join();
    d.writer.join();
    d.CloseAll();
    d.started = false;
}

std::string RadioSim::SlavePath() const
{
    return impl_->slavePath;
}

void RadioSim::Inject(std::string_view bytes)
{
    if (bytes.empty())
        return;
    {
        std::lock_guard lock(impl_->queueMutex);
        impl_->queue.push_back({std::string(bytes), false, Clock::now()});
    }
    impl_->queueCv.notify_all();
}

std::string RadioSim::Received() const
{
    std::lock_guard lock(impl_->stateMutex);
    return impl_->received;
}

void RadioSim::ClearReceived()
{
    std::lock_guard lock(impl_->stateMutex);
    impl_->received.clear();
}

bool RadioSim::WaitReceived(std::string_view text, int timeoutMs)
{
    std::unique_lock lock(impl_->stateMutex);
    return impl_->recordCv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                      [&] { return impl_->received.find(text) != std::string::npos; });
}

std::string RadioSim::Sent() const
{
    std::lock_guard lock(impl_->stateMutex);
    return impl_->sent;
}

void RadioSim::ClearSent()
{
    std::lock_guard lock(impl_->stateMutex);
    impl_->sent.clear();
}

bool RadioSim::WaitSent(std::string_view text, int timeoutMs)
{
    std::unique_lock lock(impl_->stateMutex);
    return impl_->recordCv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                      [&] { return impl_->sent.find(text) != std::string::npos; });
}

void RadioSim::SetSilent(bool silent)
{
    std::lock_guard lock(impl_->stateMutex);
    impl_->silent = silent;
}

void RadioSim::SetId(unsigned id)
{
    std::lock_guard lock(impl_->stateMutex);
    impl_->radio.SetId(id);
}

unsigned long long RadioSim::FrequencyA() const
{
    std::lock_guard lock(impl_->stateMutex);
    return impl_->radio.Frequency('A');
}

void RadioSim::SetFrequencyA(unsigned long long hz)
{
    std::lock_guard lock(impl_->stateMutex);
    impl_->radio.SetFrequency('A', hz);
}

unsigned long long RadioSim::FrequencyB() const
{
    std::lock_guard lock(impl_->stateMutex);
    return impl_->radio.Frequency('B');
}

unsigned RadioSim::Ai() const
{
    std::lock_guard lock(impl_->stateMutex);
    return impl_->radio.Value("AI");
}

void RadioSim::SetAi(unsigned ai)
{
    std::lock_guard lock(impl_->stateMutex);
    impl_->radio.SetValue("AI", ai);
}

unsigned RadioSim::Power() const
{
    std::lock_guard lock(impl_->stateMutex);
    return impl_->radio.Value("PS");
}

void RadioSim::SetPower(unsigned power)
{
    std::lock_guard lock(impl_->stateMutex);
    impl_->radio.SetValue("PS", power);
}

unsigned RadioSim::Mode() const
{
    std::lock_guard lock(impl_->stateMutex);
    return impl_->radio.Value("MD");
}

unsigned RadioSim::ReceiveVfo() const
{
    std::lock_guard lock(impl_->stateMutex);
    return impl_->radio.Value("FR");
}

unsigned RadioSim::TransmitVfo() const
{
    std::lock_guard lock(impl_->stateMutex);
    return impl_->radio.Value("FT");
}

bool RadioSim::Transmitting() const
{
    std::lock_guard lock(impl_->stateMutex);
    return impl_->radio.Transmitting();
}

}  // namespace radiosim
