// Helpers of the station tests.
#include "StationTestSupport.h"

#include <chrono>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include <sys/stat.h>

namespace stationtest {

QtApp::QtApp() : app_(std::make_unique<QCoreApplication>(argc_, argv_)) {}

QtApp::~QtApp() = default;

bool PumpUntil(const std::function<bool()>& condition, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end)
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void PumpFor(int ms)
{
    PumpUntil([] { return false; }, ms);
}

std::string ReadLog(const std::filesystem::path& folder)
{
    std::set<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        if (entry.path().extension() == ".log")
            files.insert(entry.path());
    std::string all;
    for (const auto& f : files)
        all += FileBytes(f).value_or("");
    return all;
}

void WriteSettings(quintar::SettingsProfile& profile, const StationSettings& s)
{
    // Written out by name, as an operator's profile holds them.
    const std::string setting = "Setting";
    std::vector<quintar::SettingsProfile::Entry> e = {
        {setting, "COM Port", s.comPort},
        {setting, "COM Baud", s.baud},
        {setting, "VEXA IP Port No", s.tcpPort},
        {setting, "VEXA Session Time", s.sessionMinutes},
        {setting, "VEXA Log", s.logFolder.empty() ? 0 : 1},
        {"File Path", "VEXA Log File Path", s.logFolder.string()},
        {"Ports", "COM" + std::to_string(s.comPort), s.device},
    };
    for (std::size_t slot = 0; slot < s.users.size(); ++slot) {
        const auto& u = s.users[slot];
        char prefix[32];
        std::snprintf(prefix, sizeof prefix, "VEXA %03zu ", slot);
        e.push_back({setting, prefix + std::string("User ID"), u.id});
        e.push_back({setting, prefix + std::string("Password"), u.password});
        e.push_back({setting, prefix + std::string("Description"), u.description});
        e.push_back({setting, prefix + std::string("User Disabled"), u.disabled});
    }
    if (!s.logFolder.empty())
        std::filesystem::create_directories(s.logFolder);
    profile.Write(e);
}

QString HostProgram()
{
    return QStringLiteral(QUINTAR_PROGRAM);
}

namespace {

std::vector<std::string> Strings(const QStringList& list)
{
    std::vector<std::string> strings;
    for (const QString& s : list)
        strings.push_back(s.toStdString());
    return strings;
}

}  // namespace

Program::Program(QStringList arguments, QStringList extraEnvironment)
    : Program(HostProgram().toStdString(), std::move(arguments), std::move(extraEnvironment))
{
}

Program::Program(const std::string& executable, QStringList arguments, QStringList extraEnvironment)
    : ChildProcess(executable, Strings(arguments), Strings(extraEnvironment),
                   {"QUINTAR_PROFILE=", "QUINTAR_LISTEN_ADDRESS=", "QT_QPA_PLATFORM=", "DISPLAY=", "WAYLAND_DISPLAY="})
{
}

std::optional<std::string> FileBytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

unsigned FileMode(const std::filesystem::path& file)
{
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

}  // namespace stationtest
