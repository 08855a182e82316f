// CPellan on termios: opens the radio's serial line raw and for itself alone, writes whole
// commands under a lock, and lets one reader thread wait for data without spinning, even on a
// hung-up line.
#include "Pellan.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <shared_mutex>
#include <sstream>
#include <string>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include "TransportParts.h"

namespace {

using transport::Clock;
using transport::RemainingMs;

constexpr int kWriteBudgetMs = 2000;  // a stuck line must not hold a writer (or a close) for long
constexpr int kWriteSliceMs = 50;     // how often a blocked writer looks for a pending close
constexpr unsigned kChunk = 1023;

bool BaudToSpeed(unsigned baud, speed_t& speed)
{
    switch (baud) {
    case 4800: speed = B4800; return true;
    case 9600: speed = B9600; return true;
    case 19200: speed = B19200; return true;
    case 38400: speed = B38400; return true;
    case 57600: speed = B57600; return true;
    case 115200: speed = B115200; return true;
    default: return false;
    }
}

// "process 1234 (name)", from the process's own name where it can be read.
std::string Process(long pid)
{
    std::string name;
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::getline(comm, name);
    return "process " + std::to_string(pid) + (name.empty() ? "" : " (" + name + ")");
}

bool Alive(long pid)
{
    return pid > 0 && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

// The process holding a flock on the file at `path`, from the kernel's lock table.
long FlockHolder(const std::string& path)
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return 0;
    char id[64];
    std::snprintf(id, sizeof id, "%02x:%02x:%lu", major(st.st_dev), minor(st.st_dev),
                  static_cast<unsigned long>(st.st_ino));
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, file;
        long pid = 0;
        if (fields >> number >> kind >> mode >> access >> pid >> file && kind == "FLOCK" && file == id)
            return pid;
    }
    return 0;
}

// The UUCP lock file of a device, as serial programs name it: "LCK.." and the device's name
// under /dev, its slashes made underscores, in the first lock folder there is.
std::string UucpLockFile(const std::string& path)
{
    // One device has one lock, whichever of its names (serial/by-id/...) was given.
    char real[PATH_MAX];
    const std::string device = realpath(path.c_str(), real) ? real : path;
    std::string name = device.compare(0, 5, "/dev/") == 0 ? device.substr(5) : device;
    for (char& c : name)
        if (c == '/')
            c = '_';
    for (const char* folder : {"/run/lock", "/var/lock"}) {
        struct stat st {};
        if (stat(folder, &st) == 0 && S_ISDIR(st.st_mode))
            return std::string(folder) + "/LCK.." + name;
    }
    return {};
}

// The live process whose UUCP lock file names it (ASCII or binary pid), 0 if none.
long UucpHolder(const std::string& lockFile)
{
    const int fd = open(lockFile.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return 0;
    char text[32] = {};
    const ssize_t n = read(fd, text, sizeof text - 1);
    close(fd);
    long pid = 0;
    if (n == 4)
        std::memcpy(&pid, text, 4);  // the old binary form
    else if (n > 0)
        pid = std::strtol(text, nullptr, 10);
    return Alive(pid) ? pid : 0;
}

// Takes the UUCP lock: written beside it and linked into place, so two takers never both win.
// A stale lock (its process gone) is removed first. Where the folder takes no file (a service
// without write access there), the descriptor's own locks stand alone: true without a file.
bool TakeUucpLock(const std::string& lockFile, long& holder, bool& made)
{
    made = false;
    if (lockFile.empty())
        return true;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if ((holder = UucpHolder(lockFile)) != 0)
            return holder == getpid();
        unlink(lockFile.c_str());  // stale, or not there
        const std::string temp = lockFile + "." + std::to_string(getpid());
        const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0)
            return true;
        char text[16];
        const int length = std::snprintf(text, sizeof text, "%10ld\n", static_cast<long>(getpid()));
        const bool written = write(fd, text, static_cast<std::size_t>(length)) == length;
        close(fd);
        const bool linked = written && link(temp.c_str(), lockFile.c_str()) == 0;
        unlink(temp.c_str());
        if (linked) {
            made = true;
            return true;
        }
        if (!written)
            return true;
    }
    holder = UucpHolder(lockFile);
    return holder == 0;
}

}  // namespace

struct CPellan::Impl {
    mutable std::mutex pathMutex;
    std::map<unsigned, std::string> paths;

    // Shared by every use of fd, exclusive for open/close, so a close never pulls the
    // descriptor from under a thread that is reading, writing or waiting on it.
    std::shared_mutex fdLock;
    int fd = -1;                          // guarded by fdLock
    std::atomic<int> closing{0};          // > 0 while a close waits for the exclusive lock
    std::mutex writeMutex;                // keeps each Write whole on the line
    transport::WakeEvent wake;            // behind Wake()
    std::atomic<int> lastError{0};        // of the last OpenComPort
    std::string lastHolder;               // of the last OpenComPort; guarded by pathMutex
    std::string lastPath;                 // the device of the last OpenComPort; guarded by pathMutex
    std::string uucpLock;                 // the lock file this port made; guarded by fdLock

    // Waits on the wake descriptor only; used when there is no usable line to watch.
    void WaitWakeOnly(bool limited, Clock::time_point deadline)
    {
        wake.WaitAlone(limited, deadline, [this] { return closing.load() != 0; });
    }

    unsigned Pending() const
    {
        int n = 0;
        if (fd < 0 || ioctl(fd, FIONREAD, &n) != 0 || n < 0)
            return 0;
        return static_cast<unsigned>(n);
    }
};

CPellan::CPellan() : impl_(new Impl) {}

CPellan::~CPellan()
{
    CloseComPort();
    delete impl_;
}

void CPellan::SetPortPath(unsigned port, const char* path)
{
    std::lock_guard lock(impl_->pathMutex);
    if (path && *path)
        impl_->paths[port] = path;
    else
        impl_->paths.erase(port);
}

std::string CPellan::PortPath(unsigned port) const
{
    std::lock_guard lock(impl_->pathMutex);
    auto it = impl_->paths.find(port);
    if (it != impl_->paths.end())
        return it->second;
    if (port == 0)
        return {};  // numbering starts at 1; port 0 has no device unless one is set
    return "/dev/ttyS" + std::to_string(port - 1);
}

int CPellan::OpenComPort(unsigned port, unsigned baud, unsigned parity, unsigned dataBits, unsigned stopBits, int reset)
{
    std::string device = PortPath(port);
    {
        std::lock_guard pathLock(impl_->pathMutex);
        impl_->lastHolder.clear();
        impl_->lastPath = std::move(device);
    }
    auto failed = [this](int error) {
        impl_->lastError = error;
        return 0;
    };
    auto busy = [this, &failed](long holder) {
        if (holder > 0) {
            std::lock_guard pathLock(impl_->pathMutex);
            impl_->lastHolder = Process(holder);
        }
        return failed(EBUSY);
    };
    speed_t speed;
    if (!BaudToSpeed(baud, speed) || parity != 0 || dataBits != 8 || (stopBits != 1 && stopBits != 2))
        return failed(EINVAL);
    if (!impl_->wake.Valid())
        return failed(EMFILE);
    const std::string path = PortPath(port);
    if (path.empty())
        return failed(ENOENT);

    std::unique_lock lock(impl_->fdLock);
    if (impl_->fd >= 0)
        return failed(EBUSY);

    const std::string lockFile = UucpLockFile(path);
    long holder = 0;
    bool madeLock = false;
    if (!TakeUucpLock(lockFile, holder, madeLock))
        return busy(holder);
    auto release = [&] {
        if (madeLock)
            unlink(lockFile.c_str());
    };
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;  // EBUSY: another holds it with TIOCEXCL
        release();
        return error == EBUSY ? busy(FlockHolder(path)) : failed(error);
    }
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        const int error = errno;  // ENOTTY: a file that is no serial line
        close(fd);
        release();
        return failed(error);
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        close(fd);
        release();
        return error == EWOULDBLOCK ? busy(FlockHolder(path)) : failed(error);
    }
    ioctl(fd, TIOCEXCL);
    cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    if (stopBits == 2)
        tio.c_cflag |= CSTOPB;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (cfsetispeed(&tio, speed) != 0 || cfsetospeed(&tio, speed) != 0 || tcsetattr(fd, TCSANOW, &tio) != 0) {
        const int error = errno;
        ioctl(fd, TIOCNXCL);
        close(fd);
        release();
        return failed(error);
    }
    if (reset)
        tcflush(fd, TCIOFLUSH);
    impl_->fd = fd;
    impl_->uucpLock = madeLock ? lockFile : std::string();
    impl_->lastError = 0;
    return 1;
}

void CPellan::CloseComPort()
{
    // Announce the close first: waiters and writers that see it leave instead of holding the
    // shared lock, so the exclusive lock below cannot be starved.
    impl_->closing.fetch_add(1);
    Wake();
    {
        std::unique_lock lock(impl_->fdLock);
        if (impl_->fd >= 0) {
            // The exclusive mark stays on a terminal that others keep open (a pseudo-terminal's
            // other users): it is taken off before the close.
            ioctl(impl_->fd, TIOCNXCL);
            close(impl_->fd);
            impl_->fd = -1;
        }
        if (!impl_->uucpLock.empty())
            unlink(impl_->uucpLock.c_str());
        impl_->uucpLock.clear();
    }
    impl_->closing.fetch_sub(1);
}

int CPellan::Write(const unsigned char* data, unsigned long count)
{
    if (impl_->closing.load())
        return 0;
    std::shared_lock lock(impl_->fdLock);
    if (impl_->fd < 0)
        return 0;
    if (count == 0)
        return 1;
    std::lock_guard writeLock(impl_->writeMutex);

    const auto deadline = Clock::now() + std::chrono::milliseconds(kWriteBudgetMs);
    unsigned long done = 0;
    while (done < count) {
        if (impl_->closing.load())
            return 0;
        ssize_t n = write(impl_->fd, data + done, count - done);
        if (n > 0) {
            done += static_cast<unsigned long>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return 0;  // line gone (EIO on a hung-up pty) or another hard error
        int left = RemainingMs(true, deadline);
        if (left == 0)
            return 0;
        pollfd p{impl_->fd, POLLOUT, 0};
        int r = poll(&p, 1, left < kWriteSliceMs ? left : kWriteSliceMs);
        if (r > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) && !(p.revents & POLLOUT))
            return 0;
    }
    return 1;
}

unsigned CPellan::GetRcvDataLength()
{
    if (impl_->closing.load())
        return 0;
    std::shared_lock lock(impl_->fdLock);
    return impl_->Pending();
}

int CPellan::GetRcvData(unsigned char* buffer)
{
    if (!buffer || impl_->closing.load())
        return 0;
    std::shared_lock lock(impl_->fdLock);
    if (impl_->fd < 0)
        return 0;
    unsigned char raw[kChunk];
    ssize_t n;
    do {
        n = read(impl_->fd, raw, sizeof raw);
    } while (n < 0 && errno == EINTR);
    if (n <= 0)
        return 0;
    return transport::DeliverWithoutNul(raw, n, buffer);
}

bool CPellan::WaitRcvData(int timeoutMs)
{
    const bool limited = timeoutMs >= 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(limited ? timeoutMs : 0);
    if (impl_->closing.load())
        return false;

    std::shared_lock lock(impl_->fdLock);
    if (impl_->fd < 0) {
        // Closed: wait quietly so a reader loop around this call does not spin.
        lock.unlock();
        impl_->WaitWakeOnly(limited, deadline);
        return false;
    }
    for (;;) {
        if (impl_->closing.load())
            return false;
        pollfd p[2] = {{impl_->fd, POLLIN, 0}, {impl_->wake.Fd(), POLLIN, 0}};
        int r = poll(p, 2, RemainingMs(limited, deadline));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (r == 0)
            return false;
        if (p[1].revents & POLLIN) {
            // A pending close needs the wake to stay visible to every waiter.
            if (!impl_->closing.load())
                impl_->wake.Drain();
            return impl_->Pending() > 0;
        }
        if (p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            // A hung-up pty also reports POLLIN, yet nothing can be read: only real bytes count.
            if (impl_->Pending() > 0)
                return true;
            lock.unlock();
            impl_->WaitWakeOnly(limited, deadline);
            return false;
        }
        if (p[0].revents & POLLIN)
            return true;
    }
}

void CPellan::Wake()
{
    impl_->wake.Signal();
}

int CPellan::LastError() const
{
    return impl_->lastError.load();
}

std::string CPellan::LastHolder() const
{
    std::lock_guard pathLock(impl_->pathMutex);
    return impl_->lastHolder;
}

std::string CPellan::LastFailure() const
{
    const int error = LastError();
    if (error == 0)
        return {};
    std::string path, holder;
    {
        std::lock_guard pathLock(impl_->pathMutex);
        path = impl_->lastPath;
        holder = impl_->lastHolder;
    }
    if (error == EBUSY)
        return "in use by " + (holder.empty() ? std::string("another program") : holder);
    std::string text = std::strerror(error);
    // Serial devices belong to a group (usually "dialout") whose members may open them.
    struct stat st {};
    if ((error == EACCES || error == EPERM) && stat(path.c_str(), &st) == 0) {
        const group* owner = getgrgid(st.st_gid);
        const std::string name = owner ? owner->gr_name : std::to_string(st.st_gid);
        gid_t groups[256];
        const int count = std::max(getgroups(256, groups), 0);
        const bool member = getegid() == st.st_gid || std::find(groups, groups + count, st.st_gid) != groups + count;
        if (!member)
            text += "; this user is not in the group \"" + name + "\" that may use it: sudo usermod -aG " + name +
                    " $USER, then log in again";
    }
    return text;
}
