// Radio link benchmark: answer parse-and-dispatch throughput, latency from an answer written on
// the pseudo-terminal to its notification posted, and the cost of an idle open link.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "Brenlow.h"
#include "RadioState.h"
#include "TestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;

// Counts posts, stamps the last one and wakes a waiter; never blocks the poster for long.
class StampingWindow : public brenlow::HostWindow {
public:
    void Post(unsigned, unsigned long code, long lParam) override {
        auto now = Clock::now();
        {
            std::lock_guard<std::mutex> g(lock);
            last = now;
            lastParam = lParam;
            lastCode = code;
        }
        ++count;
        changed.notify_one();
    }
    // Waits for the power-state notification carrying `value`; returns when it was posted.
    Clock::time_point WaitPowerState(long value) {
        std::unique_lock<std::mutex> g(lock);
        changed.wait_for(g, std::chrono::seconds(2), [&] { return lastCode == 4152 && lastParam == value; });
        lastCode = 0;
        return last;
    }
    std::mutex lock;
    std::condition_variable changed;
    Clock::time_point last{};
    long lastParam = -1;
    unsigned long lastCode = 0;
    std::atomic<unsigned long> count{0};
};

void Throughput() {
    brenlow::State().modelId = 20;
    StampingWindow window;
    CBrenlow lib;
    lib.WinMsgSendReg(&window);
    const std::string ifAnswer = "IF00014250000" "0010" "+00500" "100" "05" "1" "2" "0100" "03" "1";
    std::string block;
    const char* answers[] = {"FA00014250000", "MD3", "AI2", "PS1", "SM0015", "RM2005", "TX0", "RX0",
                             "AG0120", "KS020", "PC100", "SH05", "NB1", "RA1206"};
    std::size_t perBlock = 0;
    while (block.size() < 900) {
        for (const char* a : answers) {
            block += a;
            block += ';';
            ++perBlock;
        }
        block += ifAnswer + ";";
        ++perBlock;
    }
    auto start = Clock::now();
    std::size_t parsed = 0;
    while (Clock::now() - start < std::chrono::seconds(2)) {
        for (int i = 0; i < 1000; ++i)
            CBrenlow::ConstituteData(reinterpret_cast<const unsigned char*>(block.c_str()), &brenlow::State());
        parsed += 1000 * perBlock;
    }
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("parse and dispatch: %.0f answers/s (%zu answers, %zu per block, %lu notifications)\n",
                parsed / seconds, parsed, perBlock, window.count.load());
    lib.WinMsgSendReg(nullptr);
}

long ContextSwitches() {
    long total = 0;
    DIR* d = opendir("/proc/self/task");
    while (dirent* e = readdir(d)) {
        if (e->d_name[0] == '.') continue;
        std::ifstream in(std::string("/proc/self/task/") + e->d_name + "/status");
        std::string key;
        long value;
        while (in >> key) {
            if (key == "voluntary_ctxt_switches:" || key == "nonvoluntary_ctxt_switches:") {
                in >> value;
                total += value;
            }
        }
    }
    closedir(d);
    return total;
}

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The radio's side of a pseudo-terminal, written directly so that the time starts at the write.
int OpenRadioSide(std::string& slavePath) {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return -1;
    slavePath = ptsname(master);
    termios t{};
    tcgetattr(master, &t);
    cfmakeraw(&t);
    tcsetattr(master, TCSANOW, &t);
    return master;
}

void LatencyAndIdle() {
    std::string slavePath;
    int radio = OpenRadioSide(slavePath);
    if (radio < 0) {
        std::printf("latency: cannot open a pseudo-terminal\n");
        return;
    }
    StampingWindow window;
    CBrenlow lib;
    CBrenlow::SetComPortPath(1, slavePath.c_str());
    lib.WinMsgSendReg(&window);
    if (!lib.RadioConnectionOpen(20, 1, 115200, 1)) {
        std::printf("latency: cannot open the link\n");
        return;
    }
    std::vector<double> micros;
    for (int i = 0; i < 2000; ++i) {
        long value = i % 2 ? 1 : 0;  // PS1 / PS0 alternate so every answer is a new notification
        auto sent = Clock::now();
        if (write(radio, value ? "PS1;" : "PS0;", 4) != 4) break;
        auto posted = window.WaitPowerState(value);
        micros.push_back(std::chrono::duration<double, std::micro>(posted - sent).count());
    }
    std::sort(micros.begin(), micros.end());
    std::printf("pty write to notification: p50 %.1f us, p99 %.1f us, max %.1f us (2000 answers)\n",
                micros[micros.size() / 2], micros[micros.size() * 99 / 100], micros.back());

    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    double cpu0 = CpuSeconds();
    long switches0 = ContextSwitches();
    const int idleSeconds = 10;
    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
    double cpu = CpuSeconds() - cpu0;
    long switches = ContextSwitches() - switches0;
    std::printf("idle open link (%d s, whole process): %.3f%% of one core, %.1f wake-ups/s\n",
                idleSeconds, 100.0 * cpu / idleSeconds, static_cast<double>(switches) / idleSeconds);
    lib.RadioConnectionClose();
    lib.WinMsgSendReg(nullptr);
    close(radio);
}

}  // namespace

int main() {
    Throughput();
    LatencyAndIdle();
    return 0;
}
