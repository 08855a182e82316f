// The session server's test bench: the library with a real profile file, a real log folder, a
// recording host window, a simulated radio on a pseudo-terminal and the server on 127.0.0.1.
// It leaves the library's static state as it found it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "RadioSim.h"
#include "RadioState.h"
#include "SessionClient.h"
#include "TestSupport.h"

namespace servertest {

inline constexpr int kPatienceMs = 10000;

// The protocol texts, written out here so the tests do not take them from the code under test.
inline const std::string kUidOk = "\r\nUID:OK;\r\n>";
inline const std::string kUidNg = "\r\nUID:NG;\r\n>";
inline const std::string kCmdNg = "\r\nCMD:NG;\r\n>";
inline const std::string kPwdNg = "\r\nPWD:NG;\r\n>";
inline const std::string kPwdOk = "PWD:OK;>@@UE1;";
inline const std::string kPwdOkDisabled = "\r\nPWD:OK;>@@UE0;";

// The text followed by NUL bytes up to `size`.
std::string Padded(const std::string& text, std::size_t size);

struct RigOptions {
    unsigned model = 20;  // the radio's identity, also the one the link starts with
    bool fakeClock = false;
    int sessionMinutes = 0;
    bool log = true;
    bool loadMessage = false;
};

class ServerRig {
public:
    explicit ServerRig(RigOptions options = {});
    ~ServerRig();
    ServerRig(const ServerRig&) = delete;
    ServerRig& operator=(const ServerRig&) = delete;

    bool Started() const { return started_; }
    void AddUser(int slot, const std::string& id, const std::string& password, bool disabled = false,
                 const std::string& description = "");
    // Connects and logs in, checking every reply on the way.
    testsupport::SessionClient Login(const std::string& id, const std::string& password, int receiveBuffer = 0);

    // Entries of every log file in the folder, without their time of day, in file order.
    std::vector<std::string> LogEntries() const;
    bool WaitLogEntry(const std::string& entry, int timeoutMs = kPatienceMs) const;
    void ClearLog() const;
    // Until the server has dropped its client.
    bool WaitNoClient(int timeoutMs = kPatienceMs) const;
    // Closes and opens the server again on the same port: its login throttle forgets every address.
    bool RestartServer();

    brenlow::RadioState& state;
    testsupport::TestBrenlow lib;
    testsupport::TempDir dir;
    std::filesystem::path logDir;
    testsupport::IniFileProfile profile;
    testsupport::RecordingWindow window;
    testsupport::RecordingAlerts alerts;
    testsupport::FakeClock clock;
    radiosim::RadioSim sim;
    unsigned port = 0;

private:
    bool started_ = false;
};

// Splits log file text into lines at CR LF.
std::vector<std::string> CrLfLines(const std::string& text);
std::string ReadFile(const std::filesystem::path& file);

}  // namespace servertest
