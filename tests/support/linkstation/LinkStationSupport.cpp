// The link station tests' helpers.
#include "LinkStationSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "SessionClient.h"

namespace linkstationtest {

namespace {

std::string FileText(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

int OpenRaw(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

// ---- Child --------------------------------------------------------------------------------------

Child::Child(std::string program, std::vector<std::string> arguments, std::vector<std::string> environment)
    : ChildProcess(std::move(program), std::move(arguments), std::move(environment),
                   {"QUINTAR_PROFILE=", "QUINTAR_LISTEN_ADDRESS=", "XDG_STATE_HOME=", "DISPLAY=", "WAYLAND_DISPLAY="})
{
}

// ---- Rigctl -------------------------------------------------------------------------------------

const std::vector<std::string>& CatMatrix()
{
    static const std::vector<std::string> commands = {
        "f", "F 14250000", "f", "m", "M CW 500", "m", "M USB 2400", "m",
        "v", "V VFOB", "v", "F 7100000", "f", "V VFOA", "f",
        "s", "S 1 VFOB", "s", "i", "I 7050000", "i", "x", "X LSB 2400", "x", "S 0 VFOA", "s",
        "t", "T 1", "t", "T 0", "t",
        "l AF", "L AF 0.5", "l AF", "l RF", "L RF 0.5", "l RF", "l SQL", "L SQL 0.2", "l SQL",
        "l RFPOWER", "L RFPOWER 0.5", "l RFPOWER", "l MICGAIN", "L MICGAIN 0.4", "l MICGAIN",
        "l KEYSPD", "L KEYSPD 25", "l KEYSPD", "l STRENGTH", "l SWR", "l ALC", "l AGC", "l PREAMP", "l ATT",
        "\\pause 1", "j", "J 500", "\\pause 1", "j", "J -300", "\\pause 1", "j", "J 0",
        "\\pause 1", "z", "Z 200", "\\pause 1", "z", "Z 0",
        "u RIT", "U RIT 1", "u RIT", "U RIT 0", "u XIT", "U XIT 1", "u XIT", "U XIT 0",
        "u NB", "U NB 1", "u NB", "U NB 0", "u COMP", "U COMP 1", "u COMP", "U COMP 0",
        "u VOX", "U VOX 1", "u VOX", "U VOX 0", "u TONE", "U TONE 1", "u TONE", "U TONE 0",
        "u LOCK", "U LOCK 1", "u LOCK", "U LOCK 0",
        "\\get_powerstat", "\\set_powerstat 1", "\\get_powerstat", "\\dump_state",
    };
    return commands;
}

bool SwitchAutoInformationOff(const std::string& port)
{
    const int fd = OpenRaw(port);
    if (fd < 0)
        return false;
    std::string got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    bool ok = ::write(fd, "AI0;AI;", 7) == 7;
    while (ok && got.find("AI0;") == std::string::npos && std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        char buffer[256];
        if (::poll(&p, 1, 50) > 0) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            ok = n > 0;
            if (ok)
                got.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    return ok && got.find("AI0;") != std::string::npos;
}

std::vector<std::optional<std::string>> RunAll(Rigctl& cat, const std::vector<std::string>& commands)
{
    std::vector<std::optional<std::string>> outputs;
    for (const std::string& c : commands)
        outputs.push_back(outputs.empty() || outputs.back() ? cat.Run(c) : std::nullopt);
    return outputs;
}

std::string Comparable(const std::string& output)
{
    const std::size_t error = output.find(": error = ");
    if (error == std::string::npos)
        return output;
    std::string last;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);)
        if (line.find_first_not_of(" \t\r") != std::string::npos)
            last = line;
    return output.substr(0, error) + ": error = " + last;
}

// ---- Station ------------------------------------------------------------------------------------

void Station::SetUp()
{
    radio = std::make_unique<radiosim::RadioSim>(radioOptions);
    ASSERT_TRUE(radio->Start());
    tcpPort = testsupport::FreeTcpPort();
    std::filesystem::create_directories(dir.Path() / "log");
    Setup({"set", "com-device", "1", radio->SlavePath()});
    Setup({"set", "tcp-port", std::to_string(tcpPort)});
    Setup({"set", "log", "on", "--folder", (dir.Path() / "log").string()});
    Setup({"user", "add", "op1", "--password-stdin"}, "pw1\n");
}

void Station::TearDown()
{
    if (host && host->Running())
        StopHost();
    host.reset();
    radio.reset();
}

void Station::Setup(const std::vector<std::string>& arguments, const std::string& input)
{
    std::vector<std::string> a = {"setup", "--profile", (dir.Path() / "quintar.ini").string()};
    a.insert(a.end(), arguments.begin(), arguments.end());
    Child setup(QUINTAR_PROGRAM, a);
    ASSERT_TRUE(setup.Run(input)) << "quintar setup did not finish";
    ASSERT_EQ(setup.ExitStatus(), 0) << setup.Err();
}

void Station::StartHost(std::vector<std::string> options, std::vector<std::string> environment)
{
    std::vector<std::string> a = {"--headless", "--profile", (dir.Path() / "quintar.ini").string()};
    a.insert(a.end(), options.begin(), options.end());
    environment.push_back("QUINTAR_LISTEN_ADDRESS=127.0.0.1");
    host = std::make_unique<Child>(QUINTAR_PROGRAM, a, environment);
    ASSERT_TRUE(host->Start());
    ASSERT_TRUE(host->WaitForOutput("- START - Successful COM1, Socket:" + std::to_string(tcpPort) + ".\n", 15000))
        << host->Out() << host->Err();
}

void Station::StopHost()
{
    host->Signal(SIGTERM);
    ASSERT_TRUE(host->WaitForExit(15000));
    EXPECT_EQ(host->ExitStatus(), 0) << host->Err();
}

std::string Station::AccessLog() const
{
    std::set<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path() / "log"))
        if (entry.path().extension() == ".log")
            files.insert(entry.path());
    std::string all;
    for (const auto& f : files)
        all += FileText(f);
    return all;
}

std::unique_ptr<Child> Station::StartLink(std::vector<std::string> arguments, const std::string& password,
                                          std::vector<std::string> environment, const std::string& program)
{
    std::vector<std::string> a = {"--link", LinkPath(), "--password-stdin"};
    a.insert(a.end(), arguments.begin(), arguments.end());
    a.push_back("127.0.0.1:" + std::to_string(tcpPort));
    auto link = std::make_unique<Child>(program, a, std::move(environment));
    if (!link->Start())
        return nullptr;
    link->Write(password + "\n");
    link->CloseInput();
    return link;
}

std::string Station::StatusValue(const std::string& key) const
{
    std::istringstream in(FileText(LinkStatusFile()));
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key + "=", 0) == 0)
            return line.substr(key.size() + 1);
    return {};
}

long Station::StatusNumber(const std::string& key) const
{
    const std::string v = StatusValue(key);
    if (v.empty() || v.size() > 9 || v.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    return std::stol(v);
}

}  // namespace linkstationtest
