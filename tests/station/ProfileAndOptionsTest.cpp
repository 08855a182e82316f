// The profile file (keys, values, mode 0600, whole saves, several threads), the command-line
// options, the single-instance lock, the message pump and the serial devices offered.
#include <QObject>
#include <QSettings>
#include <QThread>

#include <sys/stat.h>

#include <fstream>
#include <thread>

#include "HostOptions.h"
#include "InstanceLock.h"
#include "SettingsModel.h"
#include "StationFixture.h"
#include "Utilities.h"

namespace stationtest {
namespace {

using quintar::SettingsProfile;

class ProfileFile : public ::testing::Test {
protected:
    QString Path(const char* name = "Quintar.ini") const
    {
        return QString::fromStdString((dir.Path() / name).string());
    }
    testsupport::TempDir dir;
};

TEST_F(ProfileFile, firstWriteCreatesFolderAndAFileOnlyItsOwnerCanRead)
{
    const std::filesystem::path file = dir.Path() / "deeper" / "Quintar.ini";
    SettingsProfile profile(QString::fromStdString(file.string()));
    EXPECT_EQ(profile.GetInt("Setting", "COM Port", 1), 1);
    EXPECT_FALSE(std::filesystem::exists(file));  // reading creates nothing
    profile.WriteInt("Setting", "COM Port", 4);
    EXPECT_EQ(FileMode(file), 0600u);
    EXPECT_EQ(profile.GetInt("Setting", "COM Port", 1), 4);
}

TEST_F(ProfileFile, everySaveLeavesTheFileOwnerOnlyEvenAfterSomeoneWidenedIt)
{
    SettingsProfile profile(Path());
    for (int i = 0; i < 5; ++i) {
        profile.WriteString("Setting", "VEXA 000 Password", "pw" + std::to_string(i));
        ASSERT_EQ(FileMode(dir.Path() / "Quintar.ini"), 0600u) << i;
        ::chmod((dir.Path() / "Quintar.ini").c_str(), 0644);
    }
    profile.WriteInt("Setting", "VEXA Log", 1);
    EXPECT_EQ(FileMode(dir.Path() / "Quintar.ini"), 0600u);
    EXPECT_EQ(profile.GetString("Setting", "VEXA 000 Password", ""), "pw4");
}

TEST_F(ProfileFile, secureNarrowsAnExistingFile)
{
    const std::filesystem::path file = dir.Path() / "Quintar.ini";
    std::ofstream(file) << "[Setting]\nCOM%20Port=2\n";
    ::chmod(file.c_str(), 0664);
    SettingsProfile profile(Path());
    EXPECT_TRUE(profile.Secure());
    EXPECT_EQ(FileMode(file), 0600u);
    EXPECT_EQ(profile.GetInt("Setting", "COM Port", 1), 2);
}

TEST_F(ProfileFile, savesLeaveNoTemporaryOrLockFilesBehind)
{
    SettingsProfile profile(Path());
    for (int i = 0; i < 10; ++i)
        profile.Write({{"Setting", "COM Port", i}, {"File Path", "VEXA Log File Path", std::string("/tmp")}});
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
        names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"Quintar.ini"});
}

TEST_F(ProfileFile, keysAreTheSectionsAndNamesAnyQSettingsReaderSees)
{
    SettingsProfile profile(Path());
    profile.Write({{"Setting", "VEXA 007 Password", std::string("x")},
                   {"File Path", "VEXA Log File Path", std::string("/var/log/q")},
                   {"WindowPos", "Vexa", std::string("0001200034")},
                   {"Ports", "COM2", std::string("/dev/ttyUSB0")}});
    QSettings reader(Path(), QSettings::IniFormat);
    EXPECT_EQ(reader.childGroups(), (QStringList{"File Path", "Ports", "Setting", "WindowPos"}));
    EXPECT_EQ(reader.value("Setting/VEXA 007 Password").toString(), "x");
    EXPECT_EQ(reader.value("File Path/VEXA Log File Path").toString(), "/var/log/q");
    EXPECT_EQ(reader.value("WindowPos/Vexa").toString(), "0001200034");
    EXPECT_EQ(reader.value("Ports/COM2").toString(), "/dev/ttyUSB0");
}

class ProfileValue : public ProfileFile, public ::testing::WithParamInterface<std::string> {};

TEST_P(ProfileValue, stringsComeBackByteForByte)
{
    {
        SettingsProfile writer(Path());
        writer.WriteString("Setting", "VEXA 003 Description", GetParam());
    }
    SettingsProfile reader(Path());
    EXPECT_EQ(reader.GetString("Setting", "VEXA 003 Description", "default"), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Texts, ProfileValue,
                         ::testing::Values("plain", "a;b", "key=value", "quote\"inside", "back\\slash", "one,two",
                                           "@Variant(x)", " leading and trailing ", "#not a comment", "[not a section]",
                                           "\x7f!~", "", "Grüße"));

TEST_F(ProfileFile, missingAndMalformedIntegersGiveTheDefault)
{
    const std::filesystem::path file = dir.Path() / "Quintar.ini";
    std::ofstream(file) << "[Setting]\nCOM%20Baud=fast\nVEXA%20Log= 1 \n";
    SettingsProfile profile(Path());
    EXPECT_EQ(profile.GetInt("Setting", "COM Baud", 9600), 9600);
    EXPECT_EQ(profile.GetInt("Setting", "VEXA IP Port No", 50000), 50000);
    EXPECT_EQ(profile.GetInt("Setting", "VEXA Log", 0), 1);
    EXPECT_EQ(profile.GetString("Setting", "Missing", "fallback"), "fallback");
}

TEST_F(ProfileFile, seesChangesAnotherWriterMadeToTheFile)
{
    SettingsProfile host(Path());
    SettingsProfile setup(Path());
    host.WriteInt("Setting", "COM Port", 1);
    EXPECT_EQ(host.GetInt("Setting", "COM Port", 0), 1);
    setup.Write({{"Setting", "COM Port", 7}, {"Setting", "VEXA 000 User ID", std::string("new")}});
    EXPECT_EQ(host.GetInt("Setting", "COM Port", 0), 7);
    EXPECT_EQ(host.GetString("Setting", "VEXA 000 User ID", ""), "new");
}

TEST_F(ProfileFile, writeUnderARegularFileFailsAndCreatesNothing)
{
    std::ofstream(dir.Path() / "plain") << "x";
    SettingsProfile profile(QString::fromStdString((dir.Path() / "plain" / "Quintar.ini").string()));
    EXPECT_FALSE(profile.Write({{"Setting", "COM Port", 2}}));
    EXPECT_EQ(profile.GetInt("Setting", "COM Port", 1), 1);
}

// "T<thread>_<n>"
std::string ThreadKey(int thread, int n)
{
    char key[32];
    std::snprintf(key, sizeof key, "T%d_%d", thread, n);
    return key;
}

TEST_F(ProfileFile, threadsReadingAndWritingAtOnceLoseNoWrite)
{
    SettingsProfile profile(Path());
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&profile, t] {
            for (int i = 0; i < 20; ++i) {
                profile.WriteInt("Setting", ThreadKey(t, i), i);
                profile.GetString("Setting", "T0_0", "");
            }
        });
    }
    for (auto& th : threads)
        th.join();
    for (int t = 0; t < 4; ++t)
        for (int i = 0; i < 20; ++i)
            ASSERT_EQ(profile.GetInt("Setting", ThreadKey(t, i), -1), i);
    EXPECT_EQ(FileMode(dir.Path() / "Quintar.ini"), 0600u);
}

// ---- Options --------------------------------------------------------------------------------

struct OptionCase {
    const char* commandLine;
    bool edm;
    bool elm;
    const char* title;
};

class CommandLineOptions : public ::testing::TestWithParam<OptionCase> {};

TEST_P(CommandLineOptions, areCaseSensitiveSubstringsOfTheWholeLine)
{
    const quintar::HostOptions o = quintar::ParseHostOptions(GetParam().commandLine);
    EXPECT_EQ(o.secondModelEnabled, GetParam().edm);
    EXPECT_EQ(o.loadMessageEnabled, GetParam().elm);
    EXPECT_EQ(quintar::WindowTitle(o), GetParam().title);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandLineOptions,
    ::testing::Values(OptionCase{"quintar --headless", false, false, "Radio Host Program"},
                      OptionCase{"quintar -EDM", true, false, "Radio Host Program -EDM"},
                      OptionCase{"quintar -ELM", false, true, "Radio Host Program -ELM"},
                      OptionCase{"quintar -ELM -EDM", true, true, "Radio Host Program -EDM -ELM"},
                      OptionCase{"quintar -ELMX", false, true, "Radio Host Program -ELM"},
                      OptionCase{"quintar -elm -edm", false, false, "Radio Host Program"},
                      OptionCase{"/opt/radio-EDM/quintar --headless", true, false, "Radio Host Program -EDM"},
                      OptionCase{"quintar --profile /x/a-ELM.ini", false, true, "Radio Host Program -ELM"}));

TEST(CommandLine, isTheArgumentsJoinedWithSingleSpaces)
{
    const char* argv[] = {"/usr/bin/quintar", "-E", "DM", "--headless"};
    EXPECT_EQ(quintar::JoinCommandLine(4, argv), "/usr/bin/quintar -E DM --headless");
    EXPECT_FALSE(quintar::ParseHostOptions(quintar::JoinCommandLine(4, argv)).secondModelEnabled);
}

TEST(ProfileLocation, optionBeatsEnvironmentBeatsPerUserDefault)
{
    EXPECT_EQ(quintar::ResolveProfileFile("/a.ini", "/b.ini"), "/a.ini");
    EXPECT_EQ(quintar::ResolveProfileFile("", "/b.ini"), "/b.ini");
    EXPECT_TRUE(quintar::ResolveProfileFile("", "").endsWith("/Talvern/Quintar.ini"));
    bool missing = false;
    EXPECT_EQ(quintar::FindProfileOption({"--headless", "--profile", "/p.ini"}, &missing), "/p.ini");
    EXPECT_EQ(quintar::FindProfileOption({"--profile=/q.ini", "--verbose"}, &missing), "/q.ini");
    EXPECT_FALSE(missing);
    EXPECT_EQ(quintar::FindProfileOption({"--headless", "--profile"}, &missing), "");
    EXPECT_TRUE(missing);
}

// ---- Single instance -----------------------------------------------------------------------------

TEST_F(ProfileFile, oneLockPerProfileWhateverThePathsSpelling)
{
    std::filesystem::create_directories(dir.Path() / "sub");
    quintar::InstanceLock first(Path());
    ASSERT_TRUE(first.TryLock());
    quintar::InstanceLock sameFile(QString::fromStdString((dir.Path() / "sub" / ".." / "Quintar.ini").string()));
    EXPECT_FALSE(sameFile.TryLock());
    quintar::InstanceLock otherProfile(Path("Other.ini"));
    EXPECT_TRUE(otherProfile.TryLock());
    first.Unlock();
    EXPECT_TRUE(sameFile.TryLock());
}

TEST_F(ProfileFile, lockLivesBesideTheProfileNotOnQSettingsOwnLockName)
{
    const QString lock = quintar::InstanceLock::LockFileFor(Path());
    EXPECT_NE(lock, Path() + ".lock");
    quintar::InstanceLock held(Path());
    ASSERT_TRUE(held.TryLock());
    SettingsProfile profile(Path());
    EXPECT_TRUE(profile.Write({{"Setting", "COM Port", 3}}));  // a save is not blocked by the host's lock
}

// ---- Message pump --------------------------------------------------------------------------------

// The serial devices a port can be given: the four families in their order, numbers in numeric
// order, look-alikes and other devices left out.
TEST_F(ProfileFile, serialDevicesPresentAreOfferedByFamilyInNumericOrder)
{
    std::filesystem::create_directories(dir.Path() / "serial" / "by-id");
    for (const char* name : {"ttyS10", "ttyS2", "ttyS0", "ttyStuff", "ttyS", "ttyACM1", "ttyUSB0", "tty1", "null",
                             "serial/by-id/usb-B", "serial/by-id/usb-A"})
        std::ofstream(dir.Path() / name).put('\n');
    const std::string root = dir.Path().string();
    EXPECT_EQ(quintar::settings::PresentSerialDevices(root),
              (std::vector<std::string>{root + "/ttyS0", root + "/ttyS2", root + "/ttyS10", root + "/ttyUSB0",
                                        root + "/ttyACM1", root + "/serial/by-id/usb-A", root + "/serial/by-id/usb-B"}));
    EXPECT_TRUE(quintar::settings::PresentSerialDevices((dir.Path() / "none").string()).empty());
}

TEST(DoEventsPump, deliversEventsPostedBeforeTheCallAndReturnsZero)
{
    QtApp app;
    QObject receiver;
    int delivered = 0;
    for (int i = 0; i < 150; ++i)
        QMetaObject::invokeMethod(&receiver, [&] { ++delivered; }, Qt::QueuedConnection);
    EXPECT_EQ(DoEvents(), 0);
    EXPECT_EQ(delivered, 150);
    EXPECT_EQ(DoEvents(), 0);  // empty queue
}

TEST(DoEventsPump, aThreadWithoutEventDispatcherHasNothingToDeliver)
{
    int result = -1;
    std::thread worker([&] { result = DoEvents(); });
    worker.join();
    EXPECT_EQ(result, 0);
}

}  // namespace
}  // namespace stationtest
