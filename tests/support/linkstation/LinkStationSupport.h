// Helpers of the tests that run the link against the real station: programs as child processes
// (the station host, its setup command, the link, rigctl), and a station on the simulated radio
// with its profile written through `quintar setup` and its access log.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ChildProcess.h"
#include "RadioSim.h"
#include "Rigctl.h"
#include "TestSupport.h"

namespace linkstationtest {

// A program run as a child (the station host, its setup command, the link, rigctl); it never
// inherits the test's profile, listen address, state folder or display.
class Child : public testsupport::ChildProcess {
public:
    Child(std::string program, std::vector<std::string> arguments, std::vector<std::string> environment = {});
};

using testsupport::Count;
using testsupport::FindOnPath;
// A terminal opened raw, as a CAT program opens a serial port; -1 when it cannot be opened.
int OpenRaw(const std::string& path);

#define SKIP_WITHOUT_HAMLIB()                                                                    \
    if (FindOnPath("rigctl").empty() || FindOnPath("rigctld").empty())                           \
    GTEST_SKIP() << "rigctl and rigctld are not installed (Debian package libhamlib-utils)"

// A radio model as the station and Hamlib know it.
struct CatModel {
    const char* name;
    int hamlibModel;  // Hamlib's backend for a radio of this command set and identity
    unsigned identity;
    std::vector<std::string> hostOptions;  // what the station needs to serve it
};
inline void PrintTo(const CatModel& m, std::ostream* os)
{
    *os << m.name;
}
inline const CatModel kIdentity20{"identity20", 2028, 20, {}};
inline const CatModel kIdentity19{"identity19", 2014, 19, {"-EDM"}};

using testsupport::Rigctl;

// The commands by which a CAT program's view of the radio is compared: frequency, mode, VFO, split,
// transmit, levels, RIT/XIT, functions, power state and the capabilities dump, each read, set and
// read back. rigctl answers a RIT or XIT read from the status it read last for half a second;
// a pause before each makes it ask the radio.
const std::vector<std::string>& CatMatrix();
// What a program that wants no reports does first (rigctld does so on opening a radio that reports):
// switches auto-information off on the radio at `port` and reads it back. True once "AI0;" came.
bool SwitchAutoInformationOff(const std::string& port);
// rigctl with what makes its answers the radio's own rather than its cache's.
inline const std::vector<std::string> kUncachedRigctl = {"--set-conf=cache_timeout=0"};
// Every command's output in turn; nothing for a command where rigctl stalled, and for the rest.
std::vector<std::optional<std::string>> RunAll(Rigctl& cat, const std::vector<std::string>& commands);
// rigctl's output of one command as it is compared: of an error, the command's name and the error's
// own text (between them rigctl prints its trace, which differs with the timing).
std::string Comparable(const std::string& output);

// The station: simulated radio, profile, access log, and the host as a process.
class Station : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs `quintar setup --profile <profile> ARGS` with `input` on standard input.
    void Setup(const std::vector<std::string>& arguments, const std::string& input = {});
    // Starts the host (with `environment` added to its own) and waits for its readiness line.
    void StartHost(std::vector<std::string> options = {}, std::vector<std::string> environment = {});
    // Stops it with SIGTERM and waits for its end.
    void StopHost();
    std::string AccessLog() const;

    // The link with `arguments` (the station's address and the link path are added) and the password
    // on standard input.
    std::unique_ptr<Child> StartLink(std::vector<std::string> arguments, const std::string& password = "pw1",
                                     std::vector<std::string> environment = {},
                                     const std::string& program = QUINTAR_LINK_PROGRAM);
    std::string LinkPath() const { return (dir.Path() / "state" / "radio").string(); }
    std::string LinkStatusFile() const { return LinkPath() + ".status"; }
    // A value of the link's status file.
    std::string StatusValue(const std::string& key) const;
    // A number of the link's status file; -1 when it is not there.
    long StatusNumber(const std::string& key) const;

    testsupport::TempDir dir;
    std::unique_ptr<radiosim::RadioSim> radio;
    radiosim::Options radioOptions;
    unsigned tcpPort = 0;
    std::unique_ptr<Child> host;
};

}  // namespace linkstationtest
