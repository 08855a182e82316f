// quintar-radiosim: runs the simulated radio on a pty until SIGINT/SIGTERM, for trying the
// station host without a transceiver. Prints the line's path first so scripts can pick it up.
#include "RadioSim.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kUsage[] =
    "usage: quintar-radiosim [--id N] [--silent] [--delay MS] [--split N] [--merge] [--link PATH]\n"
    "  --id N       identity answered to ID; (default 20); 19 takes that model's commands,\n"
    "               any other identity those of 20\n"
    "  --silent     record commands but never answer\n"
    "  --delay MS   delay each answer by MS milliseconds\n"
    "  --split N    write answers in pieces of N bytes\n"
    "  --merge      write answers that come close together in one write\n"
    "  --link PATH  create a symlink PATH to the line (removed on exit)\n";

bool ParseNumber(const char* text, long max, int& value)
{
    if (!text || !*text)
        return false;
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    if (errno != 0 || *end != 0 || v < 0 || v > max)
        return false;
    value = static_cast<int>(v);
    return true;
}

int Fail(const std::string& message)
{
    std::fprintf(stderr, "quintar-radiosim: %s (try --help)\n", message.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    radiosim::Options options;
    std::string link;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
        int value = 0;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--silent") {
            options.silent = true;
        } else if (arg == "--merge") {
            options.merge = true;
        } else if (arg == "--id" || arg == "--delay" || arg == "--split") {
            if (!ParseNumber(next, 100000, value))
                return Fail("option " + arg + " needs a number");
            ++i;
            if (arg == "--id")
                options.id = static_cast<unsigned>(value);
            else if (arg == "--delay")
                options.delayMs = value;
            else
                options.splitBytes = value;
        } else if (arg == "--link") {
            if (!next || !*next)
                return Fail("option --link needs a path");
            link = next;
            ++i;
        } else {
            return Fail("unknown option " + arg);
        }
    }

    // Block the stop signals before any thread starts, so only sigwait below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    radiosim::RadioSim radio(options);
    if (!radio.Start()) {
        std::fprintf(stderr, "quintar-radiosim: cannot open a pseudo-terminal: %s\n", std::strerror(errno));
        return 1;
    }
    if (!link.empty()) {
        struct stat st {};
        if (lstat(link.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            unlink(link.c_str());  // a stale link from an earlier run
        if (symlink(radio.SlavePath().c_str(), link.c_str()) != 0) {
            std::fprintf(stderr, "quintar-radiosim: cannot create link %s: %s\n", link.c_str(), std::strerror(errno));
            return 1;
        }
    }
    std::printf("radiosim: listening on %s (identity %u)\n", radio.SlavePath().c_str(), options.id);
    std::fflush(stdout);

    int received = 0;
    while (sigwait(&stopSignals, &received) != 0) {
    }
    if (!link.empty())
        unlink(link.c_str());
    radio.Stop();
    return 0;
}
