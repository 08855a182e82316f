// The session server's test bench.
#include "ServerRig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace servertest {

std::string Padded(const std::string& text, std::size_t size) {
    std::string out = text;
    out.resize(size, '\0');
    return out;
}

std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

std::vector<std::string> CrLfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    for (std::size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    if (at < text.size()) lines.push_back(text.substr(at));  // an unterminated tail shows up in failures
    return lines;
}

ServerRig::ServerRig(RigOptions options)
    : state(brenlow::State()), logDir(dir.Path() / "log"), profile(dir.Path() / "profile.ini") {
    std::filesystem::create_directories(logDir);
    profile.WriteInt("Setting", "VEXA Log", options.log ? 1 : 0);
    profile.WriteString("File Path", "VEXA Log File Path", logDir.string());
    profile.WriteInt("Setting", "VEXA Session Time", options.sessionMinutes);

    CBrenlow::SetListenAddress("127.0.0.1");
    CBrenlow::SetProfile(&profile);
    CBrenlow::SetAlertSink(&alerts);
    lib.WinMsgSendReg(&window);
    if (options.fakeClock) CBrenlow::SetClock(&clock);
    lib.SetLoadMessageEnable(options.loadMessage ? 1 : 0);

    sim.SetId(options.model);
    if (!sim.Start()) return;
    CBrenlow::SetComPortPath(1, sim.SlavePath().c_str());
    if (!lib.RadioConnectionOpen(options.model, 1, 9600, 1)) return;
    for (int attempt = 0; attempt < 20 && !started_; ++attempt) {
        port = testsupport::FreeTcpPort();
        started_ = lib.SocketServerOpen(port) != 0;
    }
}

ServerRig::~ServerRig() {
    lib.SocketServerClose();
    lib.RadioConnectionClose();
    sim.Stop();
    lib.WinMsgSendReg(nullptr);
    lib.SetLoadMessageEnable(0);
    CBrenlow::SetClock(nullptr);
    CBrenlow::SetAlertSink(nullptr);
    CBrenlow::SetProfile(nullptr);
    CBrenlow::SetVoiceCapabilityCheck(nullptr);
    CBrenlow::SetComPortPath(1, "");
}

void ServerRig::AddUser(int slot, const std::string& id, const std::string& password, bool disabled,
                        const std::string& description) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "VEXA %03d ", slot);
    profile.WriteString("Setting", std::string(prefix) + "User ID", id);
    profile.WriteString("Setting", std::string(prefix) + "Password", password);
    profile.WriteInt("Setting", std::string(prefix) + "User Disabled", disabled ? 1 : 0);
    profile.WriteString("Setting", std::string(prefix) + "Description", description);
}

testsupport::SessionClient ServerRig::Login(const std::string& id, const std::string& password, int receiveBuffer) {
    testsupport::SessionClient client;
    client.SetReceiveBuffer(receiveBuffer);
    EXPECT_TRUE(client.ConnectAndGreet(port, kPatienceMs));
    client.Send("UID:" + id + ";");
    EXPECT_EQ(client.ReadExact(kUidOk.size(), kPatienceMs), kUidOk);
    client.Send("PWD:" + password + ";");
    EXPECT_EQ(client.ReadExact(kPwdOk.size(), kPatienceMs), kPwdOk);
    return client;
}

std::vector<std::string> ServerRig::LogEntries() const {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(logDir, ec))
        if (e.path().extension() == ".log") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    std::vector<std::string> entries;
    for (const auto& f : files)
        for (const auto& line : CrLfLines(ReadFile(f)))
            if (!line.starts_with("#")) entries.push_back(line.size() > 9 ? line.substr(9) : line);
    return entries;
}

bool ServerRig::WaitLogEntry(const std::string& entry, int timeoutMs) const {
    return testsupport::WaitUntil(
        [&] {
            auto all = LogEntries();
            return std::find(all.begin(), all.end(), entry) != all.end();
        },
        timeoutMs);
}

void ServerRig::ClearLog() const {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(logDir, ec)) std::filesystem::remove(e.path(), ec);
}

bool ServerRig::WaitNoClient(int timeoutMs) const {
    return testsupport::WaitUntil([&] { return state.clientConnected.load() == 0; }, timeoutMs);
}

bool ServerRig::RestartServer() {
    lib.SocketServerClose();
    return lib.SocketServerOpen(port) != 0;
}

}  // namespace servertest
