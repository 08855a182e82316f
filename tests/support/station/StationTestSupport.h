// Helpers of the station tests: a Qt application per test, event pumping with deadlines, a
// profile written through the real settings file, a TCP client, the access log, and the host
// program run as a real process.
#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ChildProcess.h"
#include "SessionClient.h"
#include "SettingsProfile.h"

namespace stationtest {

// The Qt application the controller's events and timers need, for one test.
class QtApp {
public:
    QtApp();
    ~QtApp();

private:
    int argc_ = 1;
    char name_[16] = "test_station";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QCoreApplication> app_;
};

// Delivers events until the condition holds or the time runs out.
bool PumpUntil(const std::function<bool()>& condition, int timeoutMs);
void PumpFor(int ms);

using testsupport::Count;
using testsupport::FreeTcpPort;

// Every access log file of a folder, in name order, joined.
std::string ReadLog(const std::filesystem::path& folder);

// The settings of one station, written to a real profile file.
struct StationSettings {
    int comPort = 1;
    std::string device;          // section "Ports", key "COM<comPort>"
    int baud = 9600;
    int tcpPort = 0;
    std::filesystem::path logFolder;  // empty: access log off
    int sessionMinutes = 0;
    struct User {
        std::string id, password, description;
        int disabled = 0;
    };
    std::vector<User> users;
};
void WriteSettings(quintar::SettingsProfile& profile, const StationSettings& s);

// A session client that keeps everything it read, with the login dialogue as one step.
class Client {
public:
    bool Connect(unsigned port, int timeoutMs) { return client_.ConnectAndGreet(port, timeoutMs); }
    bool Send(std::string_view text) { return client_.Send(text); }
    // Reads until `text` has arrived (true) or the time runs out; everything read is kept.
    bool ReadUntil(std::string_view text, int timeoutMs)
    {
        received_ += client_.ReadUntil(text, timeoutMs);
        return received_.find(text) != std::string::npos;
    }
    const std::string& Received() const { return received_; }
    // True when the server answered "PWD:OK;>@@UE1;".
    bool LogIn(const std::string& user, const std::string& password, int timeoutMs)
    {
        return Send("UID:" + user + ";") && ReadUntil("UID:OK;", timeoutMs) && Send("PWD:" + password + ";") &&
               ReadUntil("PWD:OK;>@@UE", timeoutMs) && ReadUntil(";", timeoutMs) &&
               received_.find("PWD:OK;>@@UE1;") != std::string::npos;
    }
    void Close() { client_.Close(); }

private:
    testsupport::SessionClient client_;
    std::string received_;
};

// The host program or its setup command (or another program) as a child process. Neither the
// headless host nor its setup command may need a display: the child gets none, nor the offscreen
// platform the tests run under, so a GUI application made on those paths would fail the test; nor
// the test's profile or listen address.
class Program : public testsupport::ChildProcess {
public:
    explicit Program(QStringList arguments, QStringList extraEnvironment = {});
    Program(const std::string& executable, QStringList arguments, QStringList extraEnvironment = {});
};

// Path of the host program under test.
QString HostProgram();

// The profile file's bytes, or nothing when it does not exist.
std::optional<std::string> FileBytes(const std::filesystem::path& file);
unsigned FileMode(const std::filesystem::path& file);

}  // namespace stationtest
