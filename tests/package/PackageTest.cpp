// The Debian packages as a user gets them: built from this build by scripts/package (debhelper),
// split by role, checked by lintian, installed, upgraded and purged in a throwaway root, and unpacked
// with dpkg -x to run the unpacked programs: the version, the setup command, the simulated radio and
// the headless station serving a client that logs in.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "StationTestSupport.h"

namespace fs = std::filesystem;
using stationtest::Client;
using stationtest::Program;

namespace {

std::string ReadFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs a program to its end; its standard output, or a failure that says what went wrong.
testing::AssertionResult RunTool(const std::string& executable, const QStringList& arguments, std::string* out = nullptr,
                                 QStringList environment = {}, int timeoutMs = 60000)
{
    Program p(executable, arguments, std::move(environment));
    if (!p.Run({}, timeoutMs))
        return testing::AssertionFailure() << executable << " did not finish: " << p.Err();
    if (p.ExitStatus() != 0)
        return testing::AssertionFailure() << executable << " " << arguments.join(' ').toStdString() << " exited "
                                           << p.ExitStatus() << ": " << p.Err();
    if (out)
        *out = p.Out();
    return testing::AssertionSuccess();
}

class Package : public testing::Test {
protected:
    // Built and unpacked once for every test of the suite: packaging takes a while.
    static void SetUpTestSuite()
    {
        // In the build tree, not under /tmp: the service's sandbox gives the host a /tmp of its own.
        work_ = new fs::path(QUINTAR_BUILD_DIR "/package-test");
        fs::remove_all(*work_);
        fs::create_directories(*work_ / "debs");
        // The packaging script on this build, as CI runs it.
        Program script("/bin/bash", {QUINTAR_SOURCE_DIR "/scripts/package", QString::fromStdString((*work_ / "debs").string())},
                       {"QUINTAR_BUILD_DIR=" QUINTAR_BUILD_DIR});
        if (!script.Run({}, 400000) || script.ExitStatus() != 0) {
            *failure_ = "scripts/package failed: " + script.Out() + script.Err();
            return;
        }
        for (const auto& entry : fs::directory_iterator(*work_ / "debs"))
            if (entry.path().extension() == ".deb")
                debs_->push_back(entry.path());
        std::sort(debs_->begin(), debs_->end());
        for (const fs::path& deb : *debs_) {
            Program unpack("/usr/bin/dpkg", {"-x", QString::fromStdString(deb.string()), QString::fromStdString(Root().string())});
            if (!unpack.Run() || unpack.ExitStatus() != 0)
                *failure_ = "dpkg -x " + deb.string() + ": " + unpack.Err();
        }
    }
    static void TearDownTestSuite()
    {
        fs::remove_all(*work_);
        delete work_;
    }

    void SetUp() override
    {
        ASSERT_TRUE(failure_->empty()) << *failure_;
        ASSERT_FALSE(debs_->empty()) << "no package was written";
    }

    static fs::path Root() { return *work_ / "root"; }
    static std::string Bin(const char* program) { return (Root() / "usr/bin" / program).string(); }
    static fs::path Deb(const std::string& name)
    {
        for (const fs::path& deb : *debs_)
            if (deb.filename().string().rfind(name + "_", 0) == 0)
                return deb;
        return {};
    }
    // The installed paths of a package's files and links.
    static std::set<std::string> Contents(const fs::path& deb)
    {
        std::string listing;
        RunTool("/usr/bin/dpkg-deb", {"--contents", QString::fromStdString(deb.string())}, &listing);
        std::set<std::string> files;
        std::istringstream lines(listing);
        for (std::string line; std::getline(lines, line);) {
            if (line.empty() || line[0] == 'd')
                continue;
            std::string path = line.substr(line.find(" ./") + 2);
            files.insert(path.substr(0, path.find(" -> ")));
        }
        return files;
    }
    static std::string Field(const fs::path& deb, const char* field)
    {
        std::string out;
        RunTool("/usr/bin/dpkg-deb", {"--field", QString::fromStdString(deb.string()), field}, &out);
        return out;
    }
    // Every regular file and symbolic link of the unpacked root, as its installed path.
    static std::set<std::string> Files()
    {
        std::set<std::string> files;
        for (const auto& e : fs::recursive_directory_iterator(Root()))
            if (e.is_symlink() || e.is_regular_file())
                files.insert("/" + e.path().lexically_relative(Root()).string());  // links not resolved
        return files;
    }

    static inline fs::path* work_ = nullptr;
    static inline std::vector<fs::path>* debs_ = new std::vector<fs::path>;
    static inline std::string* failure_ = new std::string;
};

// The packages by role: each package's files, nothing in two of them.
TEST_F(Package, splitsTheFilesByRole)
{
    const std::string lib = "/usr/" QUINTAR_PRIVATE_LIBDIR "/";
    const std::string man = "/usr/share/man/man1/";
    struct Role {
        std::string package;
        std::vector<std::string> files;  // at least these
    };
    std::vector<Role> roles = {
        {"quintar",
         {"/usr/bin/quintar", "/usr/bin/quintar-radiosim", lib + "libBrenlow.so.0", lib + "libBrenlow.so." QUINTAR_VERSION,
          lib + "libPellan.so.0", lib + "libDrisko.so.0", lib + "libQuintarStation.so.0", man + "quintar.1.gz",
          man + "quintar-setup.1.gz", man + "quintar-radiosim.1.gz", "/lib/systemd/system/quintar@.service",
          "/usr/lib/sysusers.d/quintar.conf", "/usr/lib/tmpfiles.d/quintar.conf",
          "/usr/share/doc/quintar/copyright", "/usr/share/doc/quintar/changelog.gz"}},
        {"quintar-gui",
         {lib + "libquintar-window.so", lib + "libOrvelle.so.0", "/usr/share/quintar/Quintar.qch",
          "/usr/share/applications/quintar.desktop", "/usr/share/icons/hicolor/48x48/apps/quintar.png",
          "/usr/share/icons/hicolor/256x256/apps/quintar.png", "/usr/share/icons/hicolor/scalable/apps/quintar.svg"}},
        {"quintar-link", {"/usr/bin/quintar-link", man + "quintar-link.1.gz", "/usr/share/doc/quintar-link/copyright"}},
#ifdef QUINTAR_WITH_VOICE
        // The names the programs load them by.
        {"quintar-voice", {lib + "libAmbrel.so"}},
        {"quintar-link-voice", {lib + "libquintar-link-voice.so"}},
#endif
    };
    std::map<std::string, std::string> packageOf;
    for (const Role& role : roles) {
        const fs::path deb = Deb(role.package);
        ASSERT_FALSE(deb.empty()) << "no " << role.package << "_<version>_<arch>.deb";
        EXPECT_EQ(Field(deb, "Version"), std::string(QUINTAR_VERSION "\n")) << role.package;
        EXPECT_EQ(Field(deb, "Section"), "hamradio\n") << role.package;
        const std::set<std::string> files = Contents(deb);
        for (const std::string& f : role.files)
            EXPECT_EQ(files.count(f), 1u) << f << " not in " << role.package;
        for (const std::string& f : files) {
            const auto [at, added] = packageOf.emplace(f, role.package);
            EXPECT_TRUE(added || f.rfind("/usr/share/doc/", 0) == 0) << f << " in " << at->second << " and " << role.package;
            // Programs only in the station and the link; nothing for building against the libraries.
            if (f.rfind("/usr/bin/", 0) == 0) {
                EXPECT_TRUE(role.package == "quintar" || role.package == "quintar-link") << f << " in " << role.package;
            }
            EXPECT_EQ(f.find("/include/"), std::string::npos) << f;
        }
    }
    EXPECT_EQ(packageOf.count(lib + "libBrenlow.so"), 0u) << "a development link in a runtime package";
    EXPECT_EQ(debs_->size(), roles.size()) << "a package of no role";
}

// What each role pulls in: the station QtCore alone, the link no Qt at all, the SIP engine only with
// the voices; the window and the voices at the exact version of what they extend.
TEST_F(Package, dependsOnWhatEachRoleNeedsOnly)
{
    struct Expect {
        std::string package;
        std::vector<std::string> with, without;
    };
    const std::string exact = " (= " QUINTAR_VERSION ")";
    std::vector<Expect> table = {
        {"quintar", {"libc6", "libstdc++6", "libqt6core6", "systemd"},
         {"libqt6gui", "libqt6widgets", "libqt6help", "libqt6network", "linphone", "libbrenlow", "quintar-"}},
        {"quintar-gui", {"quintar" + exact, "libqt6widgets6", "libqt6help6"}, {"linphone"}},
        {"quintar-link", {"libc6", "libstdc++6"}, {"qt", "linphone", "systemd", "quintar"}},
#ifdef QUINTAR_WITH_VOICE
        {"quintar-voice", {"quintar" + exact, "liblinphone"}, {"libqt6widgets"}},
        {"quintar-link-voice", {"quintar-link" + exact, "liblinphone"}, {"qt"}},
#endif
    };
    for (const Expect& e : table) {
        std::string depends = Field(Deb(e.package), "Depends");
        std::transform(depends.begin(), depends.end(), depends.begin(), [](unsigned char c) { return std::tolower(c); });
        for (const std::string& needed : e.with)
            EXPECT_NE(depends.find(needed), std::string::npos) << e.package << " lacks " << needed << ": " << depends;
        for (const std::string& unwanted : e.without)
            EXPECT_EQ(depends.find(unwanted), std::string::npos) << e.package << " needs " << unwanted << ": " << depends;
    }
#ifdef QUINTAR_WITH_VOICE
    EXPECT_EQ(Field(Deb("quintar-link"), "Suggests"), "quintar-link-voice\n");
#endif
}

// Debian's own checker, as a packager runs it: no error and no warning. The normal build is not made
// with Debian's flags, so fortified functions (an informational tag) are not asked for.
TEST_F(Package, lintianFindsNoErrorOrWarning)
{
    if (!fs::exists("/usr/bin/lintian"))
        GTEST_SKIP() << "lintian is not installed";
    QStringList arguments = {"--fail-on", "error,warning"};
    for (const fs::path& deb : *debs_)
        arguments << QString::fromStdString(deb.string());
    Program lintian("/usr/bin/lintian", arguments);
    ASSERT_TRUE(lintian.Run({}, 600000)) << lintian.Err();
    EXPECT_EQ(lintian.ExitStatus(), 0) << lintian.Out() << lintian.Err();
    EXPECT_EQ(lintian.Out(), "");
}

// An administrator's life with the packages, in a throwaway root over this machine's system
// (install-check.sh): the link alone, then all of them with the service's user and folders, the
// upgrade to a later build (restarting a running station), remove (stopping it), purge, install
// and purge again, with nothing left behind.
TEST_F(Package, installsUpgradesAndPurgesWithoutLeftovers)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "installing needs root";
    const fs::path next = *work_ / "next";
    Program script("/bin/bash", {QUINTAR_SOURCE_DIR "/scripts/package", "--next-version", QString::fromStdString(next.string())},
                   {"QUINTAR_BUILD_DIR=" QUINTAR_BUILD_DIR});
    ASSERT_TRUE(script.Run({}, 400000));
    ASSERT_EQ(script.ExitStatus(), 0) << script.Out() << script.Err();

    Program check("/bin/sh", {QUINTAR_SOURCE_DIR "/tests/package/install-check.sh", QString::fromStdString((*work_ / "debs").string()),
                              QString::fromStdString(next.string())});
    ASSERT_TRUE(check.Run({}, 300000)) << check.Out() << check.Err();
    if (check.ExitStatus() == 77)
        GTEST_SKIP() << check.Out();
    EXPECT_EQ(check.ExitStatus(), 0) << check.Out() << check.Err();
    for (const char* shown : {"nothing left behind after purging the link", "nothing left behind after purge",
                              "nothing left behind after the second purge", "/etc/quintar: quintar:quintar 750",
                              "asked the service manager to restart quintar@a.service",
                              "asked the service manager to stop quintar@a.service"})
        EXPECT_NE(check.Out().find(shown), std::string::npos) << shown << "\n" << check.Out();
    std::cout << check.Out();
}

TEST_F(Package, leavesNoBuildOrSourcePathInAnyFile)
{
    for (const std::string& f : Files()) {
        if (fs::is_symlink(Root() / f.substr(1)))
            continue;
        const std::string content = ReadFile(Root() / f.substr(1));
        EXPECT_EQ(content.find(QUINTAR_BUILD_DIR), std::string::npos) << f;
        EXPECT_EQ(content.find(QUINTAR_SOURCE_DIR), std::string::npos) << f;
    }
}

// The unpacked tree works as installed: its own libraries come from beside it, found through a
// RUNPATH relative to the program, everything else from the system.
TEST_F(Package, programsFindTheirLibrariesInThePackageRelativeToThemselves)
{
    std::string dynamic;
    ASSERT_TRUE(RunTool("/usr/bin/readelf", {"--dynamic", QString::fromStdString(Bin("quintar"))}, &dynamic));
    EXPECT_NE(dynamic.find("Library runpath: [$ORIGIN/" QUINTAR_BIN_TO_PRIVATE_LIBDIR "]"), std::string::npos) << dynamic;

    for (const char* program : {"quintar", "quintar-radiosim", "quintar-link"}) {
        std::string libraries;
        ASSERT_TRUE(RunTool("/usr/bin/ldd", {QString::fromStdString(Bin(program))}, &libraries));
        EXPECT_EQ(libraries.find("not found"), std::string::npos) << program << ":\n" << libraries;
        for (const char* own : {"libBrenlow", "libOrvelle", "libPellan", "libDrisko"}) {
            const std::size_t at = libraries.find(own);
            if (at == std::string::npos)
                continue;
            const std::string line = libraries.substr(at, libraries.find('\n', at) - at);
            EXPECT_NE(line.find(Root().string()), std::string::npos) << program << ": " << line;
        }
    }
}

TEST_F(Package, unpackedProgramReportsItsVersion)
{
    std::string out;
    ASSERT_TRUE(RunTool(Bin("quintar"), {"--version"}, &out));
    EXPECT_EQ(out, "quintar " QUINTAR_VERSION "\n");
}

#ifdef QUINTAR_WITH_VOICE
// The unpacked host finds the unpacked voice library through the package's layout alone: the
// setup command refuses to switch voice on where it finds none.
TEST_F(Package, unpackedHostFindsTheUnpackedVoiceLibrary)
{
    const std::string profile = (*work_ / "voice.ini").string();
    EXPECT_TRUE(RunTool(Bin("quintar"), {"setup", "--profile", QString::fromStdString(profile), "set", "voice", "on"}));
}
#endif

// A station folder for the unpacked host: the profile made by the unpacked setup command, on the
// unpacked simulated radio's line, with the access log in the folder's log/.
struct Station {
    fs::path folder;
    QString profile;
    unsigned port = 0;
    std::string ReadyLine() const { return "- START - Successful COM1, Socket:" + std::to_string(port) + ".\n"; }
};

testing::AssertionResult PrepareStation(const Station& s, const std::string& setup, const QString& line)
{
    for (const QStringList& command :
         {QStringList{"set", "com-device", "1", line}, QStringList{"set", "tcp-port", QString::number(s.port)},
          QStringList{"set", "log", "on", "--folder", QString::fromStdString((s.folder / "log").string())}})
        if (auto r = RunTool(setup, QStringList{"setup", "--profile", s.profile} + command); !r)
            return r;
    Program add(setup, {"setup", "--profile", s.profile, "user", "add", "operator", "--password-stdin"});
    if (!add.Run("on-the-air\n") || add.ExitStatus() != 0)
        return testing::AssertionFailure() << "user add: " << add.Err();
    return testing::AssertionSuccess();
}

// Logs in, has a command answered by the radio, and stops the host as the service manager does.
void ServeOneClientAndStop(Program& host, const Station& s)
{
    ASSERT_TRUE(host.WaitForOutput(s.ReadyLine(), 30000)) << host.Out() << host.Err();
    Client client;
    ASSERT_TRUE(client.Connect(s.port, 10000));
    EXPECT_TRUE(client.LogIn("operator", "on-the-air", 10000)) << client.Received();
    ASSERT_TRUE(client.Send("FA;"));
    EXPECT_TRUE(client.ReadUntil("FA", 10000)) << "the radio's answer relayed: " << client.Received();
    client.Close();

    host.Signal(SIGTERM);
    ASSERT_TRUE(host.WaitForExit(30000));
    EXPECT_EQ(host.ExitStatus(), 0) << host.Err();
    EXPECT_NE(stationtest::ReadLog(s.folder / "log").find("operator Password OK."), std::string::npos);
}

TEST_F(Package, unpackedHeadlessStationServesAClientThatLogsIn)
{
    Station s{*work_ / "station", {}, stationtest::FreeTcpPort()};
    fs::create_directories(s.folder / "log");
    s.profile = QString::fromStdString((s.folder / "station.ini").string());
    const QString line = QString::fromStdString((s.folder / "radio").string());

    // The packaged simulated radio, on a path that does not change.
    Program radio(Bin("quintar-radiosim"), {"--link", line});
    ASSERT_TRUE(radio.Start());
    ASSERT_TRUE(radio.WaitForOutput("radiosim: listening on", 10000)) << radio.Err();
    ASSERT_TRUE(PrepareStation(s, Bin("quintar"), line));

    Program host(Bin("quintar"), {"--headless", "--profile", s.profile}, {"QUINTAR_LISTEN_ADDRESS=127.0.0.1"});
    ASSERT_TRUE(host.Start());
    ServeOneClientAndStop(host, s);
    radio.Signal(SIGTERM);
    EXPECT_TRUE(radio.WaitForExit(10000));
}

// The service's user, privileges and file system, without systemd (service-sandbox.sh): the host
// runs as an unprivileged user without capabilities, on a read-only system with only its station
// folder writable, as quintar@.service runs it.
TEST_F(Package, unpackedHeadlessStationServesInTheServiceSandbox)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "the sandbox needs root to set up";
    constexpr unsigned kNobody = 65534;
    Station s{*work_ / "service", {}, stationtest::FreeTcpPort()};
    fs::create_directories(s.folder / "log");
    fs::create_directories(s.folder / "state");
    s.profile = QString::fromStdString((s.folder / "station.ini").string());
    const QString line = QString::fromStdString((s.folder / "radio").string());
    ASSERT_TRUE(RunTool("/bin/chown", {QString::number(kNobody) + ":" + QString::number(kNobody),
                                       QString::fromStdString(s.folder.string())}));

    // The radio's line belongs to the service's user, as a serial device to its group.
    Program radio(Bin("quintar-radiosim"), {"--link", line});
    radio.RunAs(kNobody);
    ASSERT_TRUE(radio.Start());
    ASSERT_TRUE(radio.WaitForOutput("radiosim: listening on", 10000)) << radio.Err();
    ASSERT_TRUE(PrepareStation(s, Bin("quintar"), line));
    // What the unit's ExecStartPre does for a profile root made.
    ASSERT_TRUE(RunTool("/bin/chown", {"-R", QString::number(kNobody) + ":" + QString::number(kNobody),
                                       QString::fromStdString(s.folder.string())}));

    Program host("/bin/sh",
                 {QUINTAR_SOURCE_DIR "/tests/package/service-sandbox.sh", QString::number(kNobody),
                  QString::number(kNobody), QString::fromStdString(s.folder.string()), QString::fromStdString(Bin("quintar")),
                  "--headless", "--profile", s.profile},
                 {"QUINTAR_LISTEN_ADDRESS=127.0.0.1", "QUINTAR_DATA_DIR=" + QString::fromStdString((s.folder / "state").string())});
    ASSERT_TRUE(host.Start());
    ServeOneClientAndStop(host, s);
    radio.Signal(SIGTERM);
    EXPECT_TRUE(radio.WaitForExit(10000));
}

// The unit as systemd reads it, with the program at the unpacked path (systemd-analyze checks that
// the program it runs exists); and its exposure as systemd rates the sandbox.
TEST_F(Package, serviceUnitVerifiesAndKeepsItsSandbox)
{
    if (!fs::exists("/usr/bin/systemd-analyze"))
        GTEST_SKIP() << "systemd-analyze is not installed";
    std::string unit = ReadFile(Root() / "lib/systemd/system/quintar@.service");
    ASSERT_NE(unit.find("ExecStart=/usr/bin/quintar --headless --profile /etc/quintar/%i.ini\n"), std::string::npos);
    for (std::size_t at; (at = unit.find("=/usr/bin/quintar")) != std::string::npos;)
        unit.replace(at + 1, 16, Bin("quintar"));
    const fs::path folder = *work_ / "unit";
    fs::create_directories(folder);
    std::ofstream(folder / "quintar@.service") << unit;
    const QString instance = QString::fromStdString((folder / "quintar@a.service").string());

    Program verify("/usr/bin/systemd-analyze", {"verify", "--man=no", instance});
    ASSERT_TRUE(verify.Run());
    EXPECT_EQ(verify.ExitStatus(), 0) << verify.Err();
    EXPECT_EQ(verify.Err(), "");

    // 10 is no sandbox at all; the unit stays well below the 2.5 it was written to.
    Program security("/usr/bin/systemd-analyze", {"security", "--offline=yes", "--threshold=25", instance});
    ASSERT_TRUE(security.Run());
    EXPECT_EQ(security.ExitStatus(), 0) << security.Out() << security.Err();
}

}  // namespace
