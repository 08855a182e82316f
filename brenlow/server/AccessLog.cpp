// The access log: one text file per local day, "<folder>/YYYYMMDD.log", four header lines when a
// file is created, then one "HH:MM:SS text" line per entry, every line ended with CR LF.
// Each entry opens, appends and closes the file; one lock keeps entries of two threads whole.
// Only a regular file of the host's own user is ever written (no link followed, no FIFO opened).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>

#include "Brenlow.h"
#include "SettingKeys.h"
#include "SessionText.h"

namespace {

using namespace brenlow::server;

constexpr std::size_t kMaxPath = 260;   // with its NUL
constexpr std::size_t kMaxEntryText = 500;
constexpr char kOpenError[] = "VEXA Log:File Open Error!!";

std::mutex logLock;

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// One event is one line: every control byte of an entry (a client's user id may carry CR or LF)
// is written as a visible escape such as "\x0d", so no text can start a line of its own.
std::string Escaped(const char* text) {
    std::string out;
    for (std::size_t i = 0; i < kMaxEntryText && text[i]; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// Opens the day's file for appending, creating it (`existed` tells which). Another user who can
// write the folder may have put something at the name: a link is never followed, a FIFO never
// waited on, and only a regular file of this process's user is written. -1 with `detail` else.
int OpenLogFile(const char* path, bool& existed, std::string& detail) {
    // Readable by the owner and the operators' group, not by everyone: it names users and addresses.
    constexpr int kFlags = O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    int fd = ::open(path, kFlags | O_CREAT | O_EXCL, 0640);
    existed = fd < 0 && errno == EEXIST;
    if (existed) fd = ::open(path, kFlags);
    if (fd < 0) {
        detail = std::string("cannot open ") + path + ": " +
                 (errno == ELOOP ? "it is a symbolic link" : errno == ENXIO ? "it is not a regular file" : std::strerror(errno));
        return -1;
    }
    struct stat st {};
    const char* refusal = nullptr;
    if (::fstat(fd, &st) != 0)
        refusal = std::strerror(errno);
    else if (!S_ISREG(st.st_mode))
        refusal = "it is not a regular file";
    else if (st.st_uid != ::geteuid())
        refusal = "it belongs to another user";
    if (!refusal && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) refusal = std::strerror(errno);
    if (refusal) {
        detail = std::string("cannot open ") + path + ": " + refusal;
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

namespace brenlow::server {

void LogFormat(const char* format, ...) {
    char text[kMaxEntryText + 12];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    CBrenlow::VexaLogAdd(text);
}

}  // namespace brenlow::server

void CBrenlow::VexaLogAdd(const char* text) {
    if (!text || ReadInt(Key::Log) == 0) return;
    const std::string folder = ReadString(Key::LogFilePath);

    // One reading of the clock for the name, the header and the entry, so an entry written at
    // midnight cannot carry one day's date and the next day's time.
    std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    const int year = t.tm_year + 1900, month = t.tm_mon + 1;

    // An empty folder puts the file at the root, which normally cannot be written: the alert says so.
    char path[kMaxPath];
    const int pathLength =
        std::snprintf(path, sizeof path, "%s/%04d%02d%02d.log", folder.c_str(), year, month, t.tm_mday);

    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d ", t.tm_hour, t.tm_min, t.tm_sec);
    const std::string line = stamp + Escaped(text) + "\r\n";

    std::string detail;  // why the entry is lost; empty once it is written
    if (pathLength > 0 && static_cast<std::size_t>(pathLength) < sizeof path) {
        std::lock_guard<std::mutex> g(logLock);
        bool existed = false;
        int fd = OpenLogFile(path, existed, detail);
        if (fd >= 0) {
            std::string out;
            if (!existed) {
                char date[48];
                std::snprintf(date, sizeof date, "#Date: %04d-%02d-%02d %02d:%02d:%02d\r\n", year, month, t.tm_mday,
                              t.tm_hour, t.tm_min, t.tm_sec);
                out = "#Software: Talvern Network Command System\r\n#Version: 1.00\r\n";
                out += date;
                out += "#Fields: time c-ip cs-method user log\r\n";
            }
            out += line;
            struct stat before {};
            const bool sized = ::fstat(fd, &before) == 0;
            if (!WriteAll(fd, out)) {
                detail = std::string("cannot write ") + path + ": " + std::strerror(errno);
                // A full disk (or a size limit) takes part of a line: it is taken back, so the file
                // keeps whole lines, and a file this entry created goes, so the next one has its header.
                if (!existed)
                    ::unlink(path);
                else if (sized && ::ftruncate(fd, before.st_size) != 0)
                    detail += std::string("; the part written stays: ") + std::strerror(errno);
            }
            ::close(fd);
        }
    } else {
        detail = "the log folder's path is too long: " + folder;
    }
    // Outside the lock: the host may hold this thread in its message for as long as it likes.
    if (!detail.empty())
        if (brenlow::AlertSink* sink = brenlow::State().alert.load()) sink->Alert(kOpenError, detail.c_str());
}
