// Soak run of the real station host (`quintar --headless`) against an unruly simulated radio:
// clients log in, send commands in bursts, go idle, vanish without a FIN and reconnect, while the
// radio answers after random delays, with noise, split and merged writes and short silences.
// Afterwards it checks the host against the radio's own record and the clients' and prints the
// figures: descriptors, threads and memory of the host from start to end, every allowed command
// reaching the radio in order (and no refused one), every answer relayed whole and in order to
// the client logged in at the time, and one access-log line per event.
// Usage: soak_station --host PATH [--minutes N] [--seed N] [--work DIR]
#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "SessionClient.h"
#include "Transceiver.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
namespace fs = std::filesystem;

constexpr unsigned kIdentity = 20;
constexpr long kMemoryBoundKiB = 4096;  // growth of the host's resident memory after warm-up
const std::string kLoggedIn = "PWD:OK;>@@UE1;";

void Sleep(int ms) { std::this_thread::sleep_for(milliseconds(ms)); }

std::vector<std::string> Split(const std::string& text, std::string* rest = nullptr) {
    std::vector<std::string> out;
    std::size_t at = 0;
    for (std::size_t end; (end = text.find(';', at)) != std::string::npos; at = end + 1) out.push_back(text.substr(at, end - at));
    if (rest) *rest = text.substr(at);
    return out;
}

// ---- The radio: the simulated transceiver's command set behind a line with awkward timing ------

class UnrulyRadio {
public:
    explicit UnrulyRadio(unsigned seed) : rng_(seed), radio_(kIdentity) {}
    ~UnrulyRadio() { Stop(); }

    bool Start() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[128];
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0)
            return false;
        path_ = name;
        slave_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);  // held, so the line never hangs up between opens
        for (int fd : {master_, slave_}) {
            termios tio{};
            tcgetattr(fd, &tio);
            cfmakeraw(&tio);
            tcsetattr(fd, TCSANOW, &tio);
        }
        reader_ = std::thread([this] { ReadLoop(); });
        writer_ = std::thread([this] { WriteLoop(); });
        return slave_ >= 0;
    }

    void Stop() {
        {
            std::lock_guard g(lock_);
            if (stopping_) return;
            stopping_ = true;
        }
        cv_.notify_all();
        if (reader_.joinable()) reader_.join();
        if (writer_.joinable()) writer_.join();
        for (int fd : {slave_, master_})
            if (fd >= 0) close(fd);
    }

    const std::string& Path() const { return path_; }
    std::string Received() {
        std::lock_guard g(lock_);
        return received_;
    }
    std::string Sent() {
        std::lock_guard g(lock_);
        return sent_;
    }
    struct Counts {
        unsigned long answers = 0, noise = 0, silences = 0, merged = 0, split = 0;
    };
    Counts Figures() {
        std::lock_guard g(lock_);
        return counts_;
    }

private:
    void ReadLoop() {
        std::string partial;
        char buffer[4096];
        for (;;) {
            {
                std::lock_guard g(lock_);
                if (stopping_) return;
            }
            pollfd p{master_, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0) continue;
            const ssize_t n = read(master_, buffer, sizeof buffer);
            if (n <= 0) continue;
            std::lock_guard g(lock_);
            received_.append(buffer, static_cast<std::size_t>(n));
            for (ssize_t i = 0; i < n; ++i) {
                if (buffer[i] != ';') {
                    partial += buffer[i];
                    continue;
                }
                std::vector<std::string> out;
                radio_.Handle(partial, out);
                partial.clear();
                // Mostly prompt, sometimes slow, now and then very slow.
                const int roll = Roll(100);
                const int delay = roll < 80 ? Roll(15) : roll < 97 ? 20 + Roll(80) : 150 + Roll(250);
                for (auto& a : out) queue_.push_back({std::move(a), Clock::now() + milliseconds(delay)});
            }
            cv_.notify_all();
        }
    }

    void WriteLoop() {
        auto nextNoise = Clock::now() + milliseconds(2000 + Roll(8000));
        auto nextSilence = Clock::now() + milliseconds(15000 + Roll(30000));
        std::unique_lock l(lock_);
        for (;;) {
            if (stopping_) return;
            const auto now = Clock::now();
            if (now >= nextSilence) {
                // A short silence: nothing goes out; what comes due waits (well below the host's
                // four-second watchdog).
                ++counts_.silences;
                nextSilence = now + milliseconds(15000 + Roll(30000));
                cv_.wait_until(l, now + milliseconds(300 + Roll(1500)), [this] { return stopping_; });
                continue;
            }
            if (now >= nextNoise) {
                nextNoise = now + milliseconds(2000 + Roll(8000));
                ++counts_.noise;
                std::string noise;
                const int kind = Roll(3);
                if (kind == 0) {
                    for (int i = 1 + Roll(12); i > 0; --i) {
                        const char c = static_cast<char>(0x20 + Roll(0x5E));
                        noise += c == ';' ? '#' : c;  // text without an end: it runs into the next answer
                    }
                } else if (kind == 1) {
                    noise = "?;";
                } else {
                    noise = std::string(1, static_cast<char>(1 + Roll(30))) + "Zq" + std::to_string(Roll(999)) + ";";
                }
                Send(l, noise);
                continue;
            }
            if (queue_.empty() || queue_.front().due > now) {
                const auto until = std::min({queue_.empty() ? now + milliseconds(200) : queue_.front().due, nextNoise, nextSilence});
                cv_.wait_until(l, until);
                continue;
            }
            std::string out = std::move(queue_.front().bytes);
            queue_.pop_front();
            ++counts_.answers;
            if (Roll(10) == 0) {
                // Merged: everything due within a few milliseconds goes out in one write.
                const auto until = Clock::now() + milliseconds(2 + Roll(10));
                cv_.wait_until(l, until, [this] { return stopping_; });
                while (!queue_.empty() && queue_.front().due <= Clock::now()) {
                    out += queue_.front().bytes;
                    queue_.pop_front();
                    ++counts_.answers;
                }
                ++counts_.merged;
            }
            if (out.size() > 2 && Roll(8) == 0) {
                // Split: the write arrives in pieces.
                ++counts_.split;
                const std::size_t cut = 1 + static_cast<std::size_t>(Roll(static_cast<int>(out.size()) - 1));
                Send(l, out.substr(0, cut));
                l.unlock();
                Sleep(1 + Roll(5));
                l.lock();
                Send(l, out.substr(cut));
            } else {
                Send(l, out);
            }
        }
    }

    // Writes with the lock held, so the record is in line order.
    void Send(std::unique_lock<std::mutex>&, const std::string& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
            if (n > 0) done += static_cast<std::size_t>(n);
            else if (errno != EAGAIN && errno != EINTR) break;
        }
        sent_ += bytes.substr(0, done);
    }

    int Roll(int n) { return n <= 0 ? 0 : static_cast<int>(rng_() % static_cast<unsigned>(n)); }

    struct Item {
        std::string bytes;
        Clock::time_point due;
    };
    std::mt19937 rng_;
    radiosim::Transceiver radio_;
    int master_ = -1, slave_ = -1;
    std::string path_;
    std::mutex lock_;
    std::condition_variable cv_;
    bool stopping_ = false;
    std::deque<Item> queue_;
    std::string received_, sent_;
    Counts counts_;
    std::thread reader_, writer_;
};

// ---- The host process ------------------------------------------------------------------------

struct Process {
    pid_t pid = -1;
    bool Start(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv, const fs::path& out,
               const fs::path& err) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) env.emplace_back(*e);
        for (const auto& e : extraEnv) env.push_back(e);
        std::vector<char*> a, v;
        for (const auto& s : argv) a.push_back(const_cast<char*>(s.c_str()));
        a.push_back(nullptr);
        for (const auto& s : env) v.push_back(const_cast<char*>(s.c_str()));
        v.push_back(nullptr);
        const int rc = posix_spawn(&pid, a[0], &actions, nullptr, a.data(), v.data());
        posix_spawn_file_actions_destroy(&actions);
        return rc == 0;
    }
    // Exit status, or -1 when it did not end in time.
    int Wait(int timeoutMs) {
        const auto end = Clock::now() + milliseconds(timeoutMs);
        int status = 0;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (Clock::now() > end) return -1;
            Sleep(20);
        }
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    ~Process() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
};

struct Usage {
    int fds = 0, threads = 0;
    long rssKiB = 0;
};

Usage Measure(pid_t pid) {
    Usage u;
    const std::string proc = "/proc/" + std::to_string(pid);
    std::error_code ec;
    for (auto it = fs::directory_iterator(proc + "/fd", ec); !ec && it != fs::directory_iterator(); ++it) ++u.fds;
    std::ifstream status(proc + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Threads:", 0) == 0) u.threads = std::atoi(line.c_str() + 8);
        if (line.rfind("VmRSS:", 0) == 0) u.rssKiB = std::atol(line.c_str() + 6);
    }
    return u;
}

std::string FileText(const fs::path& f) {
    std::ifstream in(f, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool WaitForText(const fs::path& f, const std::string& text, int timeoutMs) {
    const auto end = Clock::now() + milliseconds(timeoutMs);
    while (FileText(f).find(text) == std::string::npos) {
        if (Clock::now() > end) return false;
        Sleep(50);
    }
    return true;
}

int Run(const std::string& command) { return std::system(command.c_str()); }

// ---- Packets of one client port lost both ways (the client vanishes without a FIN) ------------

class LostPackets {
public:
    explicit LostPackets(unsigned port) : table_("quintar_soak_" + std::to_string(getpid()) + "_" + std::to_string(port)) {
        const std::string p = std::to_string(port);
        active_ = Run("nft -f - >/dev/null 2>&1 <<'EOF'\nadd table inet " + table_ + "\nadd chain inet " + table_ +
                      " out { type filter hook output priority -300; }\nadd rule inet " + table_ + " out tcp sport " + p +
                      " drop\nadd rule inet " + table_ + " out tcp dport " + p + " drop\nEOF") == 0;
    }
    ~LostPackets() {
        if (active_) Run("nft delete table inet " + table_ + " >/dev/null 2>&1");
    }
    bool Active() const { return active_; }

private:
    std::string table_;
    bool active_ = false;
};

unsigned LocalPort(int fd) {
    sockaddr_in a{};
    socklen_t n = sizeof a;
    return getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n) == 0 ? ntohs(a.sin_port) : 0;
}

unsigned FreePort() { return testsupport::FreeTcpPort(); }

// ---- The clients ------------------------------------------------------------------------------

struct User {
    std::string id, password;
};
const User kUsers[] = {{"soak1", "pw-one"}, {"soak2", "pw-two"}, {"soak3", "pw-three"}};

// What every session must add to the access log, and what its commands are.
struct Tally {
    unsigned long opened = 0, loggedIn = 0, wrongPasswords = 0, idleTimeouts = 0, turnedAway = 0;
    unsigned long sessions = 0, vanished = 0, noLogin = 0, idles = 0, bursts = 0;
    unsigned long sent = 0, allowed = 0, refused = 0, relayedAnswers = 0, failures = 0;
    std::vector<std::string> expectedAtRadio;  // allowed commands as the radio must see them, in order
    std::vector<std::string> relayed;          // each logged-in session's relayed text, in order
};

class Driver {
public:
    Driver(unsigned port, unsigned seed, bool canDropPackets)
        : port_(port), rng_(seed), canDropPackets_(canDropPackets) {}

    Tally tally;

    void Session() {
        const int roll = Roll(100);
        if (roll < 6) return NoLogin();
        Normal(roll < 14, roll >= 14 && roll < 22);
    }

    void Vanish() { Normal(false, false, true); }

    void Fail(const std::string& why) {
        ++tally.failures;
        std::fprintf(stderr, "soak: %s\n", why.c_str());
    }

private:
    int Roll(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }

    bool Connect(testsupport::SessionClient& c) {
        if (!c.ConnectAndGreet(port_, 40000)) {
            Fail("no greeting within 40 s");
            return false;
        }
        ++tally.opened;
        return true;
    }

    // A command the filter allows or refuses, unique where it can be, in either case.
    std::string Command(bool& allowed) {
        allowed = true;
        const int r = Roll(100);
        char text[32];
        if (r < 30) {
            std::snprintf(text, sizeof text, "%s%011llu", Roll(4) == 0 ? "fa" : "FA", 7'000'000ull + 10 * ++marker_);
            return text;
        }
        if (r < 45) {
            std::snprintf(text, sizeof text, "FB%011llu", 21'000'000ull + 10 * ++marker_);
            return text;
        }
        static const char* kQueries[] = {"FA", "FB", "MD", "FR", "FT", "SM0", "md", "MD2", "MD3", "FR0", "FT0"};
        if (r < 85) return kQueries[Roll(static_cast<int>(std::size(kQueries)))];
        allowed = false;
        static const char* kRefused[] = {"SR", "sr1", "MF0", "LM1", "lm0100", "EX0220000001", "ex05500001", "EX0560000001", "\r\nSR"};
        return kRefused[Roll(static_cast<int>(std::size(kRefused)))];
    }

    // As the radio gets it: the first two characters upper-cased.
    static std::string AtRadio(std::string c) {
        for (std::size_t i = 0; i < 2 && i < c.size(); ++i)
            if (c[i] >= 'a' && c[i] <= 'z') c[i] = static_cast<char>(c[i] - 'a' + 'A');
        return c;
    }

    void NoLogin() {
        testsupport::SessionClient c;
        if (!Connect(c)) return;
        ++tally.noLogin;
        c.Send(Roll(2) ? "FA;" : "UID:" + kUsers[0].id + ";");
        Sleep(200 + Roll(2000));
        c.Close();
    }

    void Normal(bool wrongFirst, bool secondConnection, bool vanish = false) {
        testsupport::SessionClient c;
        if (!Connect(c)) return;
        ++tally.sessions;
        const User& u = kUsers[Roll(3)];
        std::string got;
        c.Send("UID:" + u.id + ";");
        got += c.ReadUntil("UID:OK;\r\n>", 5000);
        if (wrongFirst) {
            for (int i = 1 + Roll(2); i > 0; --i) {
                c.Send("PWD:wrong" + std::to_string(i) + ";");
                got += c.ReadUntil("PWD:NG;\r\n>", 5000);
                ++tally.wrongPasswords;
            }
        }
        c.Send("PWD:" + u.password + ";");
        got += c.ReadUntil(kLoggedIn, 5000);
        if (got.find(kLoggedIn) == std::string::npos) {
            Fail("login of " + u.id + " failed: " + got);
            return;
        }
        ++tally.loggedIn;
        std::string relayed;

        if (secondConnection) {
            // The station serves one client: another connection is turned away without a word.
            testsupport::SessionClient other;
            bool closed = false;
            std::string said;
            if (other.Connect(port_)) said = other.ReadUntilClosed(3000, &closed);
            if (!closed || !said.empty()) Fail("a second connection was not turned away: " + said);
            ++tally.turnedAway;
        }

        for (int burst = vanish ? 1 : 1 + Roll(4); burst > 0; --burst) {
            ++tally.bursts;
            std::string text;
            for (int i = 1 + Roll(60); i > 0; --i) {
                bool allowed;
                const std::string command = Command(allowed);
                text += command + ";";
                ++tally.sent;
                if (allowed) {
                    ++tally.allowed;
                    tally.expectedAtRadio.push_back(AtRadio(command));
                } else {
                    ++tally.refused;
                }
            }
            // A unique set and its read end the burst: once its value is back, every answer the
            // radio sent before it has been relayed.
            char mark[32];
            std::snprintf(mark, sizeof mark, "FB%011llu", 28'000'000ull + 10 * ++marker_);
            text += std::string(mark) + ";FB;";
            tally.expectedAtRadio.push_back(mark);
            tally.expectedAtRadio.push_back("FB");
            tally.sent += 2;
            tally.allowed += 2;
            // Sent whole or in pieces.
            for (std::size_t at = 0; at < text.size();) {
                const std::size_t n = Roll(3) == 0 ? text.size() - at : std::min<std::size_t>(text.size() - at, 1 + Roll(40));
                c.Send(text.substr(at, n));
                at += n;
                relayed += c.Pending();
            }
            relayed += c.ReadUntil(std::string(mark) + ";", 10000);
            if (relayed.find(std::string(mark) + ";") == std::string::npos) Fail("the burst's last answer did not come");
            if (!vanish && Roll(3) == 0) {
                ++tally.idles;
                Sleep(2000 + Roll(20000));  // idle, but within the 30-second limit
                relayed += c.Pending();
            }
        }
        relayed += c.Pending(50);
        tally.relayed.push_back(got.substr(got.find(kLoggedIn) + kLoggedIn.size()) + relayed);

        if (!vanish) {
            c.Close();
            return;
        }
        ++tally.vanished;
        ++tally.idleTimeouts;
        const unsigned local = LocalPort(c.Fd());
        if (canDropPackets_) {
            LostPackets lost(local);
            c.Close();  // its FIN is lost: the host sees nothing and waits for the idle limit
            Sleep(33000);
        } else {
            // Without a firewall the client stays, silent and unread, until the host gives up.
            bool closed = false;
            c.ReadUntilClosed(40000, &closed);
            if (!closed) Fail("the idle limit did not end a silent client's session");
        }
    }

    unsigned port_;
    std::mt19937 rng_;
    bool canDropPackets_;
    unsigned long long marker_ = 0;
};

// ---- The checks --------------------------------------------------------------------------------

// The radio's received commands that came from clients: everything but the host's own reads,
// writes and resets (the clients never send those kinds).
std::vector<std::string> ClientCommandsAtRadio(const std::string& received) {
    static const char* kHost[] = {"", "ID", "PS", "AI", "KY", "RX", "IF", "DC"};
    static const char* kPreamble[] = {"\x03", "\rTC 1", "\r"};  // the start's wake-up writes
    std::vector<std::string> out;
    for (const std::string& c : Split(received)) {
        if (std::find(std::begin(kPreamble), std::end(kPreamble), c) != std::end(kPreamble)) continue;
        const std::string letters = c.substr(0, 2);
        if (std::find(std::begin(kHost), std::end(kHost), letters) != std::end(kHost)) continue;
        out.push_back(c);
    }
    return out;
}

// Each session's relayed answers must be one unbroken run of what the radio sent, in order,
// every answer whole; runs of later sessions lie later. Returns the answers relayed.
unsigned long CheckRelays(const std::vector<std::string>& relays, const std::string& radioSent, Driver& d) {
    const std::vector<std::string> sent = Split(radioSent);
    std::size_t from = 0;
    unsigned long answers = 0;
    for (std::size_t s = 0; s < relays.size(); ++s) {
        const std::vector<std::string> got = Split(relays[s]);
        answers += got.size();
        if (got.empty()) continue;
        bool found = false;
        for (std::size_t i = from; i + got.size() <= sent.size() && !found; ++i) {
            if (sent[i] != got[0]) continue;
            if (std::equal(got.begin(), got.end(), sent.begin() + static_cast<std::ptrdiff_t>(i))) {
                found = true;
                from = i + got.size();
            }
        }
        if (!found) d.Fail("session " + std::to_string(s + 1) + ": its answers are not one run of what the radio sent");
    }
    return answers;
}

std::map<std::string, unsigned long> LogCounts(const fs::path& folder, bool& whole) {
    std::map<std::string, unsigned long> counts;
    whole = true;
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().extension() == ".log") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    for (const auto& f : files) {
        const std::string text = FileText(f);
        if (!text.empty() && text.compare(text.size() - 2, 2, "\r\n") != 0) whole = false;
        std::size_t at = 0;
        for (std::size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
            const std::string line = text.substr(at, end - at);
            if (line.empty() || line[0] == '#') continue;
            if (line.size() < 10 || line[2] != ':' || line[5] != ':' || line[8] != ' ') whole = false;
            const std::string entry = line.substr(9);
            std::string kind;
            if (entry.find(" OPEN - Connection Open") != std::string::npos) kind = "OPEN";
            else if (entry.find(" Password OK.") != std::string::npos) kind = "LOGIN OK";
            else if (entry.find(" Password NG.(") != std::string::npos) kind = "LOGIN NG";
            else if (entry.find(" CONN ") != std::string::npos && entry.find(" timeout.") != std::string::npos) kind = "CONN timeout";
            else if (entry.find(" CLOSE ") != std::string::npos) kind = "CLOSE";
            else if (entry.rfind("- START - Successful", 0) == 0) kind = "START";
            else if (entry.rfind("- END - End VEXA.", 0) == 0) kind = "END";
            else kind = "other: " + entry;
            ++counts[kind];
        }
    }
    return counts;
}

}  // namespace

int main(int argc, char** argv) {
    std::string host;
    double minutes = 30;
    unsigned seed = 1;
    fs::path work;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--host") host = argv[i + 1];
        else if (a == "--minutes") minutes = std::atof(argv[i + 1]);
        else if (a == "--seed") seed = static_cast<unsigned>(std::atoi(argv[i + 1]));
        else if (a == "--work") work = argv[i + 1];
    }
    if (host.empty() || minutes <= 0) {
        std::fprintf(stderr, "usage: soak_station --host PATH [--minutes N] [--seed N] [--work DIR]\n");
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);
    if (work.empty()) work = fs::temp_directory_path() / ("quintar-soak-" + std::to_string(getpid()));
    fs::create_directories(work / "log");
    const fs::path profile = work / "soak.ini", out = work / "host.out", err = work / "host.err";

    UnrulyRadio radio(seed);
    if (!radio.Start()) {
        std::fprintf(stderr, "soak: no pseudo-terminal\n");
        return 1;
    }
    const unsigned port = FreePort();
    const std::string setup = "'" + host + "' setup --profile '" + profile.string() + "' ";
    bool ok = Run(setup + "set com-device 1 " + radio.Path() + " >/dev/null 2>&1") == 0 &&
              Run(setup + "set tcp-port " + std::to_string(port) + " >/dev/null") == 0 &&
              Run(setup + "set log on --folder '" + (work / "log").string() + "' >/dev/null") == 0;
    for (const User& u : kUsers)
        ok = ok && Run("printf '%s\\n' '" + u.password + "' | " + setup + "user add " + u.id + " --password-stdin >/dev/null") == 0;
    if (!ok) {
        std::fprintf(stderr, "soak: cannot set the station up with %s\n", host.c_str());
        return 1;
    }
    // Whether this machine lets the driver lose a client's packets (nftables, CAP_NET_ADMIN).
    bool canDrop;
    {
        LostPackets probe(FreePort());
        canDrop = probe.Active();
    }

    Process station;
    if (!station.Start({host, "--headless", "--profile", profile.string()}, {"QUINTAR_LISTEN_ADDRESS=127.0.0.1"}, out, err) ||
        !WaitForText(out, "- START - Successful COM1, Socket:" + std::to_string(port) + ".", 20000)) {
        std::fprintf(stderr, "soak: the station did not start:\n%s", FileText(err).c_str());
        return 1;
    }
    Sleep(2000);
    const Usage atStart = Measure(station.pid);

    Driver driver(port, seed, canDrop);
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::ratio<60>>(minutes));
    auto nextVanish = start + milliseconds(60000 + 120000 * (seed % 2));
    Usage warm{}, peak = atStart;
    bool warmed = false;
    auto nextSample = start;
    while (Clock::now() < end) {
        if (Clock::now() >= nextVanish && Clock::now() + milliseconds(45000) < end) {
            driver.Vanish();
            nextVanish = Clock::now() + milliseconds(180000 + static_cast<int>(seed * 7919 % 120000));
        } else {
            driver.Session();
        }
        if (!warmed && Clock::now() - start > milliseconds(60000)) {
            warm = Measure(station.pid);
            warmed = true;
        }
        if (Clock::now() >= nextSample) {
            const Usage u = Measure(station.pid);
            peak.rssKiB = std::max(peak.rssKiB, u.rssKiB);
            peak.fds = std::max(peak.fds, u.fds);
            peak.threads = std::max(peak.threads, u.threads);
            nextSample = Clock::now() + milliseconds(10000);
        }
    }
    if (!warmed) warm = atStart;
    Sleep(3000);  // the last session's close and the poll timer settle
    const Usage atEnd = Measure(station.pid);
    const double ranMinutes = std::chrono::duration<double, std::ratio<60>>(Clock::now() - start).count();

    kill(station.pid, SIGTERM);
    const int status = station.Wait(20000);
    radio.Stop();

    Tally& t = driver.tally;
    if (status != 0) driver.Fail("the station did not stop with status 0 (" + std::to_string(status) + ")");
    if (atEnd.fds != atStart.fds) driver.Fail("open descriptors changed");
    if (atEnd.threads != atStart.threads) driver.Fail("threads changed");
    if (atEnd.rssKiB - warm.rssKiB > kMemoryBoundKiB) driver.Fail("resident memory grew beyond the bound");

    const std::vector<std::string> atRadio = ClientCommandsAtRadio(radio.Received());
    std::size_t firstDiff = 0;
    while (firstDiff < atRadio.size() && firstDiff < t.expectedAtRadio.size() && atRadio[firstDiff] == t.expectedAtRadio[firstDiff])
        ++firstDiff;
    const bool commandsRight = atRadio == t.expectedAtRadio;
    if (!commandsRight)
        driver.Fail("the radio's record differs from the allowed commands at command " + std::to_string(firstDiff) + ": radio " +
                    (firstDiff < atRadio.size() ? "\"" + atRadio[firstDiff] + "\"" : "nothing") + ", expected " +
                    (firstDiff < t.expectedAtRadio.size() ? "\"" + t.expectedAtRadio[firstDiff] + "\"" : "nothing"));
    const std::string radioSent = radio.Sent();
    const unsigned long relayed = CheckRelays(t.relayed, radioSent, driver);

    bool whole = false;
    const auto log = LogCounts(work / "log", whole);
    auto count = [&](const char* k) { const auto it = log.find(k); return it == log.end() ? 0ul : it->second; };
    const unsigned long connections = t.opened;
    const struct {
        const char* kind;
        unsigned long want;
    } expected[] = {{"START", 1}, {"END", 1}, {"OPEN", connections}, {"CLOSE", connections}, {"LOGIN OK", t.loggedIn},
                    {"LOGIN NG", t.wrongPasswords}, {"CONN timeout", t.idleTimeouts}};
    unsigned long logLines = 0;
    for (const auto& [k, n] : log) logLines += n;
    bool logRight = whole;
    for (const auto& e : expected) logRight = logRight && count(e.kind) == e.want;
    for (const auto& [k, n] : log) logRight = logRight && k.rfind("other", 0) != 0;
    if (!logRight) driver.Fail("the access log does not hold one whole line per event");

    const auto figures = radio.Figures();
    std::printf("soak: %.1f minutes, seed %u, work folder %s\n", ranMinutes, seed, work.c_str());
    std::printf("clients:   %lu connections, %lu sessions logged in, %lu wrong passwords on the way, %lu without login, "
                "%lu vanished without FIN (%s), %lu turned away while busy, %lu bursts, %lu idle spells\n",
                connections, t.loggedIn, t.wrongPasswords, t.noLogin, t.vanished,
                canDrop ? "packets dropped by nftables" : "no firewall here: silent clients instead", t.turnedAway,
                t.bursts, t.idles);
    std::printf("commands:  %lu sent by clients, %lu allowed, %lu refused; radio got %zu client commands: %s\n", t.sent,
                t.allowed, t.refused, atRadio.size(),
                commandsRight ? "all allowed ones, in order, no refused one" : "MISMATCH");
    std::printf("radio:     %lu answers sent, %lu noise bursts, %lu short silences, %lu merged and %lu split writes, "
                "%zu bytes in all\n",
                figures.answers, figures.noise, figures.silences, figures.merged, figures.split, radioSent.size());
    std::printf("relay:     %lu answers relayed to logged-in clients, each session one unbroken run of the radio's "
                "answers: %s\n",
                relayed, t.failures ? "see above" : "yes");
    std::printf("log:       %lu lines, all whole: %s; ", logLines, whole ? "yes" : "NO");
    for (const auto& e : expected) std::printf("%s %lu/%lu  ", e.kind, count(e.kind), e.want);
    std::printf("\n");
    std::printf("host:      descriptors %d -> %d, threads %d -> %d (peak %d), resident memory %ld KiB at start, "
                "%ld after warm-up, %ld at end, peak %ld (bound: end <= warm-up + %ld KiB)\n",
                atStart.fds, atEnd.fds, atStart.threads, atEnd.threads, peak.threads, atStart.rssKiB, warm.rssKiB,
                atEnd.rssKiB, peak.rssKiB, kMemoryBoundKiB);
    std::printf("stop:      status %d\n", status);
    std::printf("result:    %s\n", t.failures ? "FAILED" : "passed");
    return t.failures ? 1 : 0;
}
