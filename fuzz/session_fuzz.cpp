// Fuzz target: one client session of the real session server thread on a real TCP connection,
// fed arbitrary client bytes in arbitrary chunks, before and after a login, with the radio on a
// pseudo-terminal and the access log in a real folder. A model of the session protocol, written
// here from the protocol's rules and not from the library, predicts everything that comes out:
//  - the radio gets exactly the allowed commands, in order, then the close sequence: a refused
//    command, or any command before a login, never reaches it;
//  - the client gets exactly the protocol's answers (nothing echoed, nothing lost);
//  - the access log gets exactly one line per event, each a whole line with its time stamp;
//  - the host window gets exactly the connection events, computer-control notices and keying reports.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cctype>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/socket.h>
#include <unistd.h>

#include "Brenlow.h"
#include "FuzzSupport.h"
#include "RadioState.h"

using fuzzsupport::Fail;
using fuzzsupport::Posted;
using fuzzsupport::Shown;

namespace {

constexpr int kPatienceMs = 5000;

// ---- The protocol's texts and rules, as the session protocol states them --------------------

const std::string kGreeting = "\r\n\r\nHello!! This is Talvern Network Command System.\r\n>";
const std::string kUidOk = "\r\nUID:OK;\r\n>";
const std::string kUidNg = "\r\nUID:NG;\r\n>";
const std::string kCmdNg = "\r\nCMD:NG;\r\n>";
const std::string kPwdNg = "\r\nPWD:NG;\r\n>";
const std::string kLoginFailed = "\r\nLogin failed. Good-Bye\r\n;";
const std::string kPwdOkDisabled = "\r\nPWD:OK;>@@UE0;";
const std::string kPwdOk = "PWD:OK;>@@UE1;";
const std::string kOverflow = "\r\nConnection Error:Command length too long!!\r\nGood-Bye\r\n;";
const std::string kCorrinRelease = "KY" + std::string(25, ' ') + ";";
const std::string kDunmoreRelease = "\x03;\rTC 1;\r";
const std::string kRadioReset = "ID;RX;IF;";
constexpr std::size_t kCommandRoom = 1023;  // client text kept while no ";" has come

constexpr unsigned long kConnectionEvent = 12288;
constexpr unsigned long kComputerControl = 4174;
constexpr unsigned long kTransmitAnswer = 4163, kReceiveAnswer = 4162;

struct User {
    const char* id;
    const char* password;
    bool disabled;
};
// Slot 2 repeats slot 0's id: the lower slot is the user.
constexpr User kUsers[] = {{"op", "pw", false}, {"off", "pw", true}, {"op", "other", false}, {"op2", "secret", false}};

std::string Padded(const std::string& text, std::size_t size) {
    std::string out = text;
    out.resize(size, '\0');
    return out;
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

void UpperCase(std::string& s, std::size_t count) {
    for (std::size_t i = 0; i < count && i < s.size(); ++i)
        if (s[i] >= 'a' && s[i] <= 'z') s[i] = static_cast<char>(s[i] - 'a' + 'A');
}

// How a log entry's text is written: control bytes as "\xNN".
std::string LoggedText(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) {
            char e[5];
            std::snprintf(e, sizeof e, "\\x%02x", c);
            out += e;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// A user id in a log entry: blanks as "\x20", so that an id cannot pose as the entry's next field.
std::string LoggedId(const std::string& id) {
    std::string out;
    for (char c : id) out += c == ' ' ? std::string("\\x20") : std::string(1, c);
    return out;
}

struct Expected {
    std::string client, radio;
    std::vector<std::string> log;
    std::vector<Posted> posts;
};

// The session as the protocol defines it, from accept to close.
class SessionModel {
public:
    SessionModel(std::string address, std::uint32_t model, bool autoInformation, bool loadMessages, bool savesFail)
        : address_(std::move(address)), model_(model), ai_(autoInformation), loadMessages_(loadMessages),
          savesFail_(savesFail) {
        for (const User& u : kUsers) passwords_.push_back(u.password);
        out_.client = Padded(kGreeting, 256);
        Log("OPEN - Connection Open");
        out_.posts.push_back({kConnectionEvent, 1});
    }

    // The client's bytes as the server receives them (no NUL bytes), then the client's close.
    Expected Run(const std::string& stream) {
        std::string pending;
        for (char c : stream) {
            if (closed_) break;
            if (pending.size() == kCommandRoom) {
                out_.client += Padded(kOverflow, 1024);
                Log("LOGIN - Connection Error:Command Buffer Full!!");
                Close();
                break;
            }
            pending += c;
            if (c != ';') continue;
            pending.pop_back();
            Command(pending);
            pending.clear();
        }
        if (!closed_) Close();
        return out_;
    }

private:
    void Log(const std::string& text) { out_.log.push_back(LoggedText(address_ + " " + text)); }

    void Close() {
        out_.posts.push_back({kConnectionEvent, 2});
        Log("CLOSE " + (uid_.empty() ? std::string("-") : LoggedId(uid_)) + " Connection Close");
        if (model_ == 19) out_.radio += kDunmoreRelease;
        if (model_ == 20) out_.radio += kCorrinRelease;
        out_.radio += kRadioReset;
        closed_ = true;
    }

    int Slot(const std::string& id) const {
        for (std::size_t i = 0; i < std::size(kUsers); ++i)
            if (!id.empty() && id == kUsers[i].id) return static_cast<int>(i);
        return -1;
    }

    void Command(std::string command) {
        if (!loggedIn_) {
            if (!Login(command)) out_.client += kCmdNg;
        } else if (StartsWith(command, "@@")) {
            if (command.size() >= 4) {
                UpperCase(command, 4);
                ServerCommand(command);
            }
        } else {
            RadioCommand(command);
        }
    }

    // Returns false for a command that is not acceptable before login.
    bool Login(const std::string& command) {
        const bool isUid = StartsWith(command, "UID:"), isPwd = StartsWith(command, "PWD:");
        if (command.size() <= 4 || ((isUid || isPwd) && command.size() - 4 > 32)) {
            uid_.clear();
            return false;
        }
        if (!isUid && !isPwd) return true;
        const std::string value = command.substr(4);
        if (isUid) {
            out_.client += uid_.empty() ? kUidOk : kUidNg;
            uid_ = uid_.empty() ? value : std::string();
            return true;
        }
        if (uid_.empty()) return false;
        const int slot = Slot(uid_);
        if (slot < 0 || passwords_[static_cast<std::size_t>(slot)] != value) {
            ++failures_;
            out_.client += kPwdNg;
            Log("LOGIN " + LoggedId(uid_) + " Password NG.(" + std::to_string(failures_) + ")");
            if (failures_ >= 3) {
                out_.client += Padded(kLoginFailed, 512);
                Close();
            }
            return true;
        }
        if (kUsers[slot].disabled) {
            out_.client += kPwdOkDisabled;
            Log("LOGIN " + LoggedId(uid_) + " Password OK.(User Disabled)");
            Close();
            return true;
        }
        loggedIn_ = true;
        out_.posts.push_back({kConnectionEvent, 3});
        out_.client += kPwdOk;
        Log("LOGIN " + LoggedId(uid_) + " Password OK.");
        return true;
    }

    void ServerCommand(const std::string& c) {
        int handled = 0;
        switch (c[2]) {
        case 'A': handled = AutoInformation(c); break;
        case 'C': handled = ChangePassword(c); break;
        case 'S': handled = SessionTime(c); break;
        default: break;
        }
        if (!handled) out_.client += "@@?;";
    }

    int AutoInformation(const std::string& c) {
        if (c[3] != 'I') return 1;
        if (c.size() == 4) {
            out_.client += ai_ ? "@@AI1;" : "@@AI0;";
            return 1;
        }
        if (c.size() != 5 || c[4] < '0' || c[4] > '9') return 0;
        const bool on = c[4] != '0';
        if (on != ai_) {
            ai_ = on;
            if (on) out_.client += "@@AI1;";
        }
        return 1;
    }

    int ChangePassword(const std::string& c) {
        if (c[3] != 'P') return 1;
        if (c.size() < 5 || c.size() > 36) return 0;
        const std::string password = c.substr(4);
        bool typeable = true;
        for (unsigned char ch : password) typeable = typeable && ch >= 0x21 && ch <= 0x7F && ch != ';';
        const int slot = Slot(uid_);
        const bool changed = typeable && slot >= 0 && !savesFail_;
        if (changed) passwords_[static_cast<std::size_t>(slot)] = password;
        if (ai_) out_.client += Padded(changed ? "@@CP1;" : "@@CP0;", 150);
        Log("CHGPWD " + LoggedId(uid_) + " Change Passowrd " + (changed ? "OK." : "NG."));
        return 1;
    }

    int SessionTime(const std::string& c) {
        if (c[3] != 'T') return 1;
        if (c.size() != 4) return 0;
        out_.client += "@@ST000000000000;";  // no session limit: nothing counted
        return 1;
    }

    void RadioCommand(std::string command) {
        UpperCase(command, 2);
        // Judged as the radio reads it: control characters and blanks in front are skipped.
        std::size_t skip = 0;
        while (skip < command.size() &&
               (static_cast<unsigned char>(command[skip]) <= ' ' || static_cast<unsigned char>(command[skip]) == 0x7F))
            ++skip;
        std::string judged = command.substr(skip);
        UpperCase(judged, 2);
        const std::size_t n = judged.size();
        if (StartsWith(judged, "SR")) return;
        if (StartsWith(judged, "LM") && n >= 3 && !loadMessages_) return;
        if (StartsWith(judged, "MF") && n == 3) return;
        if (model_ == 19) {
            if (StartsWith(judged, "TC") && n >= 3) {
                out_.posts.push_back({kComputerControl, std::strtol(judged.c_str() + 3, nullptr, 10)});
            } else {
                for (const char* menu : {"EX024", "EX054", "EX056"})
                    if (StartsWith(judged, menu) && n >= 10) return;
            }
        } else if (model_ == 20) {
            for (const char* menu : {"EX022", "EX055", "EX056"})
                if (StartsWith(judged, menu) && n >= 10) return;
        } else {
            return;  // a radio no model rule serves gets nothing
        }
        out_.radio += command + ";";
        // A keying command that reached the radio is reported to the host as the radio's own
        // report of it would be, whatever the client's auto-information.
        const bool keying = (n == 2 || (n == 3 && judged[2] >= '0' && judged[2] <= '9')) && judged[1] == 'X';
        if (keying && (judged[0] == 'T' || judged[0] == 'R'))
            out_.posts.push_back({judged[0] == 'T' ? kTransmitAnswer : kReceiveAnswer, n == 3 ? judged[2] - '0' : 0});
    }

    std::string address_;
    std::uint32_t model_;
    bool ai_, loadMessages_, savesFail_;
    std::vector<std::string> passwords_;
    std::string uid_;
    int failures_ = 0;
    bool loggedIn_ = false;
    bool closed_ = false;
    Expected out_;
};

// ---- The rig --------------------------------------------------------------------------------

class FrozenClock : public brenlow::Clock {
public:
    std::int64_t NowMs() override { return 5'000'000; }  // no time limit ever falls due
};

class FailingAlerts : public brenlow::AlertSink {
public:
    void Alert(const char* text, const char* detail) override {
        Fail("the access log is written", std::string(text) + " " + (detail ? detail : ""));
    }
};

struct Rig {
    fuzzsupport::Pty radio;
    fuzzsupport::MemoryProfile profile;
    fuzzsupport::CheckingWindow window;
    FrozenClock clock;
    FailingAlerts alerts;
    CBrenlow lib;
    std::filesystem::path logDir;
    unsigned port = 0;
    unsigned long round = 0;
};

Rig* rig = nullptr;

void ResetProfile(bool savesFail) {
    for (std::size_t i = 0; i < std::size(kUsers); ++i) {
        char prefix[16];
        std::snprintf(prefix, sizeof prefix, "VEXA %03zu ", i);
        rig->profile.Set("Setting", std::string(prefix) + "User ID", kUsers[i].id);
        rig->profile.Set("Setting", std::string(prefix) + "Password", kUsers[i].password);
        rig->profile.Set("Setting", std::string(prefix) + "User Disabled", kUsers[i].disabled ? "1" : "0");
    }
    rig->profile.FailWrites(savesFail);
}

// A loopback address of its own for every round, so the login throttle, which counts by
// address, never refuses a round.
std::string SourceAddress(unsigned long round) {
    const unsigned long n = round % (254ul * 254 * 254);
    return "127." + std::to_string(1 + n / (254 * 254)) + "." + std::to_string(1 + n / 254 % 254) + "." +
           std::to_string(1 + n % 254);
}

// Every access-log entry in the folder without its time stamp, checking that each is one whole
// line; the files are removed.
std::vector<std::string> TakeLog(const std::string& context) {
    std::set<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(rig->logDir)) files.insert(e.path());
    std::vector<std::string> entries;
    for (const auto& f : files) {
        std::ifstream in(f, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        const std::string text = all.str();
        if (!text.empty() && (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0))
            Fail("one log event is one line", "the log ends inside a line: " + Shown(text) + "\n" + context);
        std::size_t at = 0;
        for (std::size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
            const std::string line = text.substr(at, end - at);
            if (line.empty() || line[0] == '#') continue;
            const bool stamped = line.size() > 9 && std::isdigit(static_cast<unsigned char>(line[0])) &&
                                 std::isdigit(static_cast<unsigned char>(line[1])) && line[2] == ':' &&
                                 line[5] == ':' && line[8] == ' ';
            if (!stamped || line.find_first_of("\r\n") != std::string::npos)
                Fail("one log event is one line", "line " + Shown(line) + "\n" + context);
            entries.push_back(line.substr(9));
        }
        std::filesystem::remove(f);
    }
    return entries;
}

std::string ShownLog(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += "  " + Shown(l) + "\n";
    return out;
}

std::string ShownPosts(const std::vector<Posted>& posts) {
    std::string out;
    for (const auto& p : posts) out += " (" + std::to_string(p.code) + "," + std::to_string(p.lParam) + ")";
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    rig = new Rig;
    brenlow::RadioState& s = brenlow::State();
    char folder[] = "/tmp/quintar-fuzz-log-XXXXXX";
    if (!mkdtemp(folder)) Fail("set-up", "no log folder");
    rig->logDir = folder;
    rig->profile.Set("Setting", "VEXA Log", "1");
    rig->profile.Set("File Path", "VEXA Log File Path", rig->logDir.string());
    rig->profile.Set("Setting", "VEXA Session Time", "0");
    ResetProfile(false);
    CBrenlow::SetProfile(&rig->profile);
    CBrenlow::SetAlertSink(&rig->alerts);
    CBrenlow::SetClock(&rig->clock);
    // The rig's radio never answers, so a client that shuts down its sending side has nothing to
    // wait for.
    CBrenlow::SetHalfCloseGraceMs(0);
    rig->lib.WinMsgSendReg(&rig->window);
    // The serial port alone, without the reader: this target looks at what the server writes.
    CBrenlow::SetComPortPath(1, rig->radio.SlavePath().c_str());
    if (!s.serialPort.OpenComPort(1, 9600, 0, 8, 1, 1)) Fail("set-up", "serial port does not open");
    CBrenlow::SetListenAddress("127.0.0.1");
    for (int attempt = 0; attempt < 20 && !rig->port; ++attempt) {
        const unsigned port = fuzzsupport::FreeTcpPort();
        if (rig->lib.SocketServerOpen(port)) rig->port = port;
    }
    if (!rig->port) Fail("set-up", "no server");
    std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(rig->logDir, ec);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    brenlow::RadioState& s = brenlow::State();
    FuzzedDataProvider in(data, size);
    static constexpr std::uint32_t kModels[] = {20, 19, 0};
    const std::uint32_t model = kModels[in.ConsumeIntegralInRange<int>(0, 2)];
    const bool autoInformation = in.ConsumeBool();
    const bool loadMessages = in.ConsumeBool();
    const bool savesFail = in.ConsumeBool();
    const bool loginFirst = in.ConsumeBool();
    std::vector<std::string> chunks;
    if (loginFirst) chunks.push_back("UID:op;PWD:pw;");
    while (in.remaining_bytes() > 0) chunks.push_back(in.ConsumeBytesAsString(in.ConsumeIntegralInRange<std::size_t>(1, 1200)));

    s.modelId = model;
    s.session.autoInformation = autoInformation ? 1 : 0;
    rig->lib.SetLoadMessageEnable(loadMessages ? 1 : 0);
    ResetProfile(savesFail);
    rig->window.Take();

    const std::string address = SourceAddress(++rig->round);
    std::string stream;
    for (const auto& c : chunks) stream += c;
    stream.erase(std::remove(stream.begin(), stream.end(), '\0'), stream.end());  // the socket component drops them
    const Expected want = SessionModel(address, model, autoInformation, loadMessages, savesFail).Run(stream);
    const std::string context = "model " + std::to_string(model) + (autoInformation ? ", @@AI on" : "") +
                                (loadMessages ? ", load messages" : "") + (savesFail ? ", saves fail" : "") +
                                "\nclient sent " + Shown(stream, 2000);

    const int fd = fuzzsupport::ConnectFrom(address.c_str(), rig->port);
    if (fd < 0) Fail("set-up", "cannot connect from " + address);
    std::string got;
    bool reset = false, open = true;
    for (const auto& c : chunks) {
        fuzzsupport::SendAll(fd, c);
        if (open) open = fuzzsupport::ReadSome(fd, got, 0, &reset);
    }
    ::shutdown(fd, SHUT_WR);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
    while (open) {
        if (std::chrono::steady_clock::now() > deadline)
            Fail("the server ends a session when the client has gone", context + "\ngot " + Shown(got));
        open = fuzzsupport::ReadSome(fd, got, 50, &reset);
    }
    ::close(fd);

    std::string radio;
    if (!rig->radio.ReadUntil(radio, want.radio, kPatienceMs) || radio != want.radio) {
        rig->radio.ReadUntil(radio, "\x01never", 200);
        Fail("the radio gets exactly the allowed commands", context + "\nradio wanted " + Shown(want.radio, 3000) +
                                                                "\nradio got    " + Shown(radio, 3000));
    }
    // The server may reset a connection it closes with client bytes unread: what arrived before
    // the reset is then all the client can have, and must be the start of what was sent.
    const bool clientRight = reset ? want.client.compare(0, got.size(), got) == 0 : got == want.client;
    if (!clientRight)
        Fail("the client gets exactly the protocol's answers",
             context + "\nwanted " + Shown(want.client, 3000) + "\ngot    " + Shown(got, 3000));

    const std::vector<std::string> log = TakeLog(context);
    if (log != want.log)
        Fail("one access-log line per event", context + "\nwanted\n" + ShownLog(want.log) + "got\n" + ShownLog(log));

    // The close is posted before the radio is reset, so every notification is in by now.
    const std::vector<Posted> posts = rig->window.Take();
    if (posts != want.posts)
        Fail("the host is told of every connection event", context + "\nwanted" + ShownPosts(want.posts) + "\ngot   " +
                                                               ShownPosts(posts));
    return 0;
}
