// `quintar setup` as a real process on a real profile: every rule refused with the profile left
// byte for byte as it was, accepted settings stored under their keys, and users added there
// logging in over TCP.
#include <QSettings>

#include <sys/stat.h>

#include <fstream>

#include "StationFixture.h"
#include "Utilities.h"

namespace stationtest {
namespace {

class Setup : public StationTest {
protected:
    // Runs `quintar setup --profile <file> args...` with `input` on standard input.
    int RunSetup(QStringList args, const std::string& input = {})
    {
        args.prepend(QString::fromStdString(profileFile.string()));
        args.prepend("--profile");
        args.prepend("setup");
        last = std::make_unique<Program>(args);
        EXPECT_TRUE(last->Run(input));
        return last->ExitStatus();
    }
    QVariant Stored(const QString& key) const
    {
        return QSettings(QString::fromStdString(profileFile.string()), QSettings::IniFormat).value(key);
    }
    // A profile with two users, one slot left free between them.
    void WriteStartingProfile()
    {
        settings.users = {{"Alice", "Pw!Alice", "First", 0}, {"", "", "", 0}, {"bob", "Pw!Bob", "", 1}};
        settings.logFolder.clear();
        WriteSettings(*profile, settings);
    }
    // The files of the profile's folder whose names begin with the profile's: what a save leaves.
    std::vector<std::string> FilesNamedAfterTheProfile() const
    {
        std::vector<std::string> files;
        for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
            if (e.path().filename().string().starts_with(profileFile.filename().string()))
                files.push_back(e.path().filename().string());
        return files;
    }
    std::unique_ptr<Program> last;
};

struct Refused {
    const char* name;
    QStringList args;
    std::string input;
    const char* reason;  // part of the one-line message
};

std::string Bytes33()
{
    return std::string(33, 'p');
}

const Refused kRefused[] = {
    {"comPortZero", {"set", "com-port", "0"}, "", "from 1 to 20"},
    {"comPort21", {"set", "com-port", "21"}, "", "from 1 to 20"},
    {"comPortText", {"set", "com-port", "one"}, "", "from 1 to 20"},
    {"comDeviceRelative", {"set", "com-device", "1", "ttyUSB0"}, "", "absolute path"},
    {"comDevicePort0", {"set", "com-device", "0", "/dev/ttyUSB0"}, "", "from 1 to 20"},
    {"baudOutsideSet", {"set", "baud", "14400"}, "", "4800, 9600"},
    {"baudSigned", {"set", "baud", "+9600"}, "", "4800, 9600"},
    {"tcpPort1023", {"set", "tcp-port", "1023"}, "", "1024 to 65535"},
    {"tcpPort65536", {"set", "tcp-port", "65536"}, "", "1024 to 65535"},
    {"tcpPortNotDigits", {"set", "tcp-port", "50a"}, "", "1024 to 65535"},
    {"tcpPortEmpty", {"set", "tcp-port", ""}, "", "1024 to 65535"},
    {"sessionTime4", {"set", "session-time", "4"}, "", "unlimited (0), 1, 2, 3, 5"},
    {"sessionTime121", {"set", "session-time", "121"}, "", "unlimited (0)"},
    {"logOnWithoutFolder", {"set", "log", "on"}, "", "without a folder"},
    {"logFolderMissing", {"set", "log", "on", "--folder", "/no/such/folder"}, "", "not an existing folder"},
    {"unknownSetting", {"set", "colour", "red"}, "", "unknown command"},
    {"missingValue", {"set", "baud"}, "", "usage"},
    {"userIdWithBlank", {"user", "add", "two words", "--password-stdin"}, "pw\n", "invalid character"},
    {"userIdWithSemicolon", {"user", "add", "a;b", "--password-stdin"}, "pw\n", "invalid character"},
    {"userIdNonAscii", {"user", "add", "Jörg", "--password-stdin"}, "pw\n", "invalid character"},
    {"userIdControl", {"user", "add", "tab\there", "--password-stdin"}, "pw\n", "invalid character"},
    {"userId33", {"user", "add", QString(33, 'u'), "--password-stdin"}, "pw\n", "more than 32"},
    {"userIdDuplicateIgnoringCase", {"user", "add", "alice", "--password-stdin"}, "pw\n", "already in use"},
    {"passwordWithBlank", {"user", "add", "carol", "--password-stdin"}, "two words\n", "invalid character"},
    {"passwordWithSemicolon", {"user", "add", "carol", "--password-stdin"}, "pw;x\n", "invalid character"},
    {"passwordNonAscii", {"user", "add", "carol", "--password-stdin"}, "pässword\n", "invalid character"},
    {"password33", {"user", "add", "carol", "--password-stdin"}, Bytes33() + "\n", "more than 32"},
    {"passwordEmpty", {"user", "add", "carol", "--password-stdin"}, "\n", "must not be empty"},
    {"passwordMissing", {"user", "add", "carol", "--password-stdin"}, "", "no password"},
    {"passwordWithoutTerminal", {"user", "add", "carol"}, "pw\n", "no terminal"},
    {"passwordOnCommandLine", {"user", "add", "carol", "--password", "pw"}, "", "unexpected argument"},
    {"description129", {"user", "add", "carol", "--description", QString(129, 'd'), "--password-stdin"}, "pw\n",
     "more than 128"},
    {"descriptionWithLineBreak", {"user", "add", "carol", "--description", "a\nb", "--password-stdin"}, "pw\n",
     "line break"},
    {"descriptionWithTab", {"user", "edit", "bob", "--description", "a\tb"}, "", "tab"},
    {"editUnknownUser", {"user", "edit", "zed", "--disabled"}, "", "no user"},
    {"deleteUnknownUser", {"user", "delete", "zed"}, "", "no user"},
    {"enableUnknownUser", {"user", "enable", "zed"}, "", "no user"},
    {"enabledAndDisabled", {"user", "edit", "bob", "--enabled", "--disabled"}, "", "exclude each other"},
    {"unknownGroup", {"users", "list"}, "", "unknown command"},
    {"sipPort0", {"set", "sip-port", "0"}, "", "from 1 to 65535"},
    {"sipPortText", {"set", "sip-port", "sip"}, "", "from 1 to 65535"},
    {"sipAddressWithLineBreak", {"set", "sip-address", "10.0.0.1\nx"}, "", "control character"},
    {"playFileRelative", {"set", "play-file", "tone.wav"}, "", "absolute path"},
    {"recordFileRelative", {"set", "record-file", "in.wav"}, "", "absolute path"},
};

class SetupRule : public Setup, public ::testing::WithParamInterface<Refused> {};

TEST_P(SetupRule, isRefusedWithOneLineStatus2AndTheProfileUnchanged)
{
    WriteStartingProfile();
    const std::optional<std::string> before = FileBytes(profileFile);
    ASSERT_TRUE(before);
    EXPECT_EQ(RunSetup(GetParam().args, GetParam().input), 2);
    EXPECT_EQ(Count(last->Err(), "\n"), 1u) << last->Err();
    EXPECT_NE(last->Err().find(GetParam().reason), std::string::npos) << last->Err();
    EXPECT_EQ(FileBytes(profileFile), before);
    EXPECT_EQ(FileMode(profileFile), 0600u);
}

INSTANTIATE_TEST_SUITE_P(Rules, SetupRule, ::testing::ValuesIn(kRefused),
                         [](const auto& info) { return std::string(info.param.name); });

struct Accepted {
    const char* name;
    QStringList args;
    const char* key;
    QVariant value;
};

class SetupSetting : public Setup, public ::testing::WithParamInterface<Accepted> {};

TEST_P(SetupSetting, isStoredUnderItsKey)
{
    std::filesystem::create_directories(dir.Path() / "logs");
    QStringList args = GetParam().args;
    args.replaceInStrings("@LOGS@", QString::fromStdString((dir.Path() / "logs").string()));
    EXPECT_EQ(RunSetup(args), 0) << last->Err();
    QVariant expected = GetParam().value;
    if (expected.toString() == "@LOGS@")
        expected = QString::fromStdString((dir.Path() / "logs").string());
    EXPECT_EQ(Stored(GetParam().key).toString(), expected.toString());
    EXPECT_EQ(FileMode(profileFile), 0600u);
}

INSTANTIATE_TEST_SUITE_P(
    Values, SetupSetting,
    ::testing::Values(Accepted{"comPort20", {"set", "com-port", "20"}, "Setting/COM Port", 20},
                      Accepted{"comDevice", {"set", "com-device", "2", "/dev/ttyUSB1"}, "Ports/COM2", "/dev/ttyUSB1"},
                      Accepted{"baud4800", {"set", "baud", "4800"}, "Setting/COM Baud", 4800},
                      Accepted{"baud115200", {"set", "baud", "115200"}, "Setting/COM Baud", 115200},
                      Accepted{"tcpPort1024", {"set", "tcp-port", "1024"}, "Setting/VEXA IP Port No", 1024},
                      Accepted{"tcpPort65535", {"set", "tcp-port", "65535"}, "Setting/VEXA IP Port No", 65535},
                      Accepted{"sessionUnlimited", {"set", "session-time", "unlimited"}, "Setting/VEXA Session Time", 0},
                      Accepted{"session120", {"set", "session-time", "120"}, "Setting/VEXA Session Time", 120},
                      Accepted{"logOn", {"set", "log", "on", "--folder", "@LOGS@"}, "Setting/VEXA Log", 1},
                      Accepted{"logFolder", {"set", "log", "off", "--folder", "@LOGS@"}, "File Path/VEXA Log File Path",
                               "@LOGS@"},
                      Accepted{"voiceOff", {"set", "voice", "off"}, "Setting/VEXA Voice", 0},
                      Accepted{"sipPort", {"set", "sip-port", "5070"}, "Voice/SIP Port", 5070},
                      Accepted{"sipAddress", {"set", "sip-address", "192.0.2.7"}, "Voice/Bind Address", "192.0.2.7"},
                      Accepted{"sipAddressEmpty", {"set", "sip-address", ""}, "Voice/Bind Address", ""},
                      Accepted{"captureDevice", {"set", "capture-device", "Radio Rx"}, "Voice/Capture Device", "Radio Rx"},
                      Accepted{"playbackDevice", {"set", "playback-device", "Radio Tx"}, "Voice/Playback Device",
                               "Radio Tx"},
                      Accepted{"playFile", {"set", "play-file", "/srv/tone.wav"}, "Voice/Play File", "/srv/tone.wav"},
                      Accepted{"recordFile", {"set", "record-file", "/srv/in.wav"}, "Voice/Record File", "/srv/in.wav"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Setup, firstWriteCreatesAnOwnerOnlyProfile)
{
    ASSERT_FALSE(std::filesystem::exists(profileFile));
    EXPECT_EQ(RunSetup({"set", "baud", "19200"}), 0);
    EXPECT_EQ(FileMode(profileFile), 0600u);
}

TEST_F(Setup, voiceIsSwitchedOnOnlyWhereVoiceWorks)
{
    const int status = RunSetup({"set", "voice", "on"});
    if (GetVoiceEnableOS()) {
        EXPECT_EQ(status, 0) << last->Err();
        EXPECT_EQ(Stored("Setting/VEXA Voice").toInt(), 1);
    } else {
        EXPECT_EQ(status, 2);
        EXPECT_NE(last->Err().find("no voice support"), std::string::npos) << last->Err();
        EXPECT_FALSE(std::filesystem::exists(profileFile));
    }
}

TEST_F(Setup, helpListsEverySettingWithItsRule)
{
    EXPECT_EQ(RunSetup({"--help"}), 0);
    const std::string help = last->Out();
    for (const char* line : {"set com-port N", "set com-device N PATH", "set baud B", "set tcp-port P",
                             "set session-time MIN", "set log on|off [--folder DIR]", "set voice on|off",
                             "set sip-port P", "set sip-address ADDRESS", "set capture-device NAME",
                             "set playback-device NAME", "set play-file WAV", "set record-file WAV", "1024..65535",
                             "4800, 9600, 19200, 38400, 57600 or 115200"})
        EXPECT_NE(help.find(line), std::string::npos) << line;
}

TEST_F(Setup, helpGivesTheRangesAndChoicesEachSettingTakes)
{
    EXPECT_EQ(RunSetup({"--help"}), 0);
    for (const char* line :
         {"  set com-port N                       serial port number of the radio, 1..20 (its device: set com-device)\n",
          "  set baud B                           serial speed: 4800, 9600, 19200, 38400, 57600 or 115200\n",
          "  set tcp-port P                       TCP port of the session server, 1024..65535\n",
          "  set session-time MIN                 session limit in minutes: unlimited (0), 1, 2, 3, 5, 10, 15, 20, 30, "
          "40, 50, 60, 90 or 120\n",
          "User ids and passwords: 1 to 32 characters from '!' to DEL (0x21..0x7F) except ';'.\n",
          "Descriptions: at most 128 bytes, no tabs or line breaks."})
        EXPECT_NE(last->Out().find(line), std::string::npos) << line << "\n" << last->Out();
}

TEST_F(Setup, showWithoutAProfileGivesEachSettingsDefault)
{
    ASSERT_FALSE(std::filesystem::exists(profileFile));
    ASSERT_EQ(RunSetup({"show"}), 0) << last->Err();
    for (const char* line : {"com-port      1 (device /dev/ttyS0)\n", "baud          9600\n", "tcp-port      50000\n",
                             "session-time  unlimited\n", "log           off (folder -)\n", "voice         off\n",
                             "sip-port      5060 (address -)\n", "users         0 of 10\n"})
        EXPECT_NE(last->Out().find(line), std::string::npos) << line << "\n" << last->Out();
    EXPECT_FALSE(std::filesystem::exists(profileFile));
}

TEST_F(Setup, saysWhenItCreatesTheProfileAndItsFolder)
{
    profileFile = dir.Path() / "new-folder" / "station.ini";
    EXPECT_EQ(RunSetup({"set", "tcp-port", "50001"}), 0) << last->Err();
    EXPECT_NE(last->Err().find("created the folder " + (dir.Path() / "new-folder").string() + "\n"), std::string::npos)
        << last->Err();
    EXPECT_NE(last->Err().find("created the profile " + profileFile.string() + "\n"), std::string::npos);
    EXPECT_EQ(RunSetup({"set", "tcp-port", "50002"}), 0);
    EXPECT_EQ(last->Err(), "");
}

TEST_F(Setup, pathThatHoldsSomethingElseIsRefusedAndLeftUntouched)
{
    const std::filesystem::path accounts = dir.Path() / "passwd";
    const std::string text = "root:x:0:0:root:/root:/bin/bash\ndaemon:x:1:1:daemon:/usr/sbin:/usr/sbin/nologin\n";
    std::ofstream(accounts) << text;
    ::chmod(accounts.c_str(), 0644);
    const std::filesystem::path folder = dir.Path() / "a-folder";
    std::filesystem::create_directory(folder);
    ::chmod(folder.c_str(), 0755);
    for (const auto& path : {accounts, folder}) {
        SCOPED_TRACE(path);
        profileFile = path;
        EXPECT_EQ(RunSetup({"set", "tcp-port", "50001"}), 2);
        EXPECT_NE(last->Err().find("cannot use the profile " + path.string()), std::string::npos) << last->Err();
    }
    EXPECT_EQ(FileBytes(accounts), text);
    EXPECT_EQ(FileMode(accounts), 0644u);
    EXPECT_EQ(FileMode(folder), 0755u);
}

// A folder others can write: one of them puts a link to a file of the user who runs setup (or the
// host) at the profile's name. Neither writes through it, nor changes its mode, and both say why.
TEST_F(Setup, profileThatIsALinkIsRefusedByTheSetupAndTheHostAndWhatItPointsAtIsLeftAlone)
{
    const std::filesystem::path shared = dir.Path() / "shared";
    std::filesystem::create_directory(shared);
    ::chmod(shared.c_str(), 0777);
    const std::filesystem::path victim = dir.Path() / "startup.conf";
    const std::string text = "[Setting]\nalias=ls\n";
    std::ofstream(victim) << text;
    ::chmod(victim.c_str(), 0644);
    profileFile = shared / "station.ini";
    std::filesystem::create_symlink(victim, profileFile);

    EXPECT_EQ(RunSetup({"set", "tcp-port", "50001"}), 2);
    EXPECT_NE(last->Err().find("cannot use the profile " + profileFile.string() + ": is a symbolic link"),
              std::string::npos)
        << last->Err();
    Program host({"--headless", "--profile", QString::fromStdString(profileFile.string())});
    ASSERT_TRUE(host.Run());
    EXPECT_EQ(host.ExitStatus(), 1);
    EXPECT_NE(host.Err().find("cannot use the profile " + profileFile.string() + ": is a symbolic link"),
              std::string::npos)
        << host.Err();
    EXPECT_EQ(FileBytes(victim), text);
    EXPECT_EQ(FileMode(victim), 0644u);
    EXPECT_TRUE(std::filesystem::is_symlink(profileFile));
}

// A profile of another user is theirs to fill in; only root may use one that lies in that user's
// own folder, as a service user's profile does.
TEST_F(Setup, profileOfAnotherUserIsRefusedUnlessRootFindsItInThatUsersOwnFolder)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give the profile to another user (nobody)";
    constexpr uid_t kNobody = 65534;
    const struct {
        const char* name;
        mode_t folderMode;
        uid_t folderOwner;
        int status;
    } cases[] = {{"shared folder", 0777, 0, 2}, {"the other user's private folder", 0750, kNobody, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::filesystem::path folder = dir.Path() / c.name;
        std::filesystem::create_directory(folder);
        profileFile = folder / "station.ini";
        WriteSettings(*std::make_unique<quintar::SettingsProfile>(QString::fromStdString(profileFile.string())), settings);
        ASSERT_EQ(::chown(profileFile.c_str(), kNobody, kNobody), 0);
        ASSERT_EQ(::chown(folder.c_str(), c.folderOwner, c.folderOwner), 0);
        ::chmod(folder.c_str(), c.folderMode);
        const auto before = FileBytes(profileFile);
        EXPECT_EQ(RunSetup({"set", "baud", "4800"}), c.status) << last->Err();
        if (c.status == 0)
            continue;
        EXPECT_NE(last->Err().find("cannot use the profile " + profileFile.string() + ": belongs to another user"),
                  std::string::npos)
            << last->Err();
        EXPECT_EQ(FileBytes(profileFile), before);
    }
}

// Copies of a user made by hand: deleting the user deletes every copy, and setup names copies and
// users in slots past 009, which nothing reads.
TEST_F(Setup, userDeleteRemovesEveryCopyAndCopiesAndSlotsPast009AreNamed)
{
    settings.users = {{"alice", "Pw!one", "", 0}, {"bob", "Pw!Bob", "", 0}, {"alice", "Pw!two", "", 0},
                      {"ALICE", "Pw!three", "", 0}};
    settings.logFolder.clear();
    WriteSettings(*profile, settings);
    profile->WriteString("Setting", "VEXA 012 User ID", "late");
    ASSERT_EQ(RunSetup({"user", "list"}), 0);
    EXPECT_NE(last->Err().find("quintar setup: user id \"alice\" is in slots 000, 002, 003 (letter case ignored); "
                               "quintar setup counts them as one user\n"),
              std::string::npos)
        << last->Err();
    EXPECT_NE(last->Err().find("quintar setup: user id \"late\" in slot 012 is ignored: the user slots are 000 to 009\n"),
              std::string::npos)
        << last->Err();

    ASSERT_EQ(RunSetup({"user", "delete", "alice"}), 0) << last->Err();
    for (const char* slot : {"000", "002", "003"})
        EXPECT_EQ(Stored(QStringLiteral("Setting/VEXA %1 User ID").arg(slot)).toString(), "") << slot;
    EXPECT_EQ(Stored("Setting/VEXA 001 User ID").toString(), "bob");
    ASSERT_EQ(RunSetup({"user", "list"}), 0);
    EXPECT_EQ(last->Out().find("alice"), std::string::npos) << last->Out();
    EXPECT_EQ(last->Err().find("is in slots"), std::string::npos) << last->Err();
    EXPECT_EQ(RunSetup({"user", "delete", "alice"}), 2);
    EXPECT_NE(last->Err().find("no user \"alice\""), std::string::npos) << last->Err();
}

TEST_F(Setup, saveThatFailsSaysWhyAndLeavesTheProfileAsItWas)
{
    WriteStartingProfile();
    const auto before = FileBytes(profileFile);
    ASSERT_TRUE(before);
    QStringList args{"setup", "--profile", QString::fromStdString(profileFile.string()), "set", "tcp-port", "50001"};
    Program limited(args);
    limited.LimitFileSize(static_cast<long>(before->size()) - 1);
    ASSERT_TRUE(limited.Run());
    EXPECT_EQ(limited.ExitStatus(), 1);
    EXPECT_NE(limited.Err().find("cannot save the profile"), std::string::npos) << limited.Err();
    EXPECT_EQ(FileBytes(profileFile), before);
    // Nothing half-written is left beside it either.
    EXPECT_EQ(FilesNamedAfterTheProfile(), std::vector<std::string>{profileFile.filename().string()});
}

// The old profile fits under the limit but the grown one does not: the write is cut short part
// way, which the save must notice rather than put the cut file in the profile's place.
TEST_F(Setup, saveCutShortPartWayIsRefusedAndLeavesTheProfileWhole)
{
    WriteStartingProfile();
    const auto before = FileBytes(profileFile);
    ASSERT_TRUE(before);
    QStringList args{"setup", "--profile", QString::fromStdString(profileFile.string()),
                     "user", "add", "carol", "--description", QString(120, 'd'), "--password-stdin"};
    Program limited(args);
    limited.LimitFileSize(static_cast<long>(before->size()));
    ASSERT_TRUE(limited.Run("Pw!carol\n"));
    EXPECT_EQ(limited.ExitStatus(), 1) << limited.Err();
    EXPECT_NE(limited.Err().find("cannot save the profile"), std::string::npos) << limited.Err();
    EXPECT_EQ(FileBytes(profileFile), before);
    EXPECT_EQ(FilesNamedAfterTheProfile(), std::vector<std::string>{profileFile.filename().string()});
}

TEST_F(Setup, profileFromTheEnvironmentWhenNoOptionIsGiven)
{
    Program setup({"setup", "set", "baud", "38400"}, {"QUINTAR_PROFILE=" + QString::fromStdString(profileFile.string())});
    ASSERT_TRUE(setup.Run());
    EXPECT_EQ(setup.ExitStatus(), 0) << setup.Err();
    EXPECT_EQ(Stored("Setting/COM Baud").toInt(), 38400);
}

TEST_F(Setup, logCanBeSwitchedOnWithTheFolderStoredBefore)
{
    std::filesystem::create_directories(dir.Path() / "logs");
    ASSERT_EQ(RunSetup({"set", "log", "off", "--folder", QString::fromStdString((dir.Path() / "logs").string())}), 0);
    EXPECT_EQ(RunSetup({"set", "log", "on"}), 0) << last->Err();
    EXPECT_EQ(Stored("Setting/VEXA Log").toInt(), 1);
}

TEST_F(Setup, usersAreAddedToFreeSlotsEditedAndDeletedInPlace)
{
    WriteStartingProfile();
    ASSERT_EQ(RunSetup({"user", "add", "carol", "--description", "Third desk", "--password-stdin"}, "c;3\n"), 2);
    ASSERT_EQ(RunSetup({"user", "add", "carol", "--description", "Third desk", "--password-stdin"}, "c3~\x7f\r\n"), 0)
        << last->Err();
    EXPECT_EQ(Stored("Setting/VEXA 001 User ID").toString(), "carol");  // the free slot
    EXPECT_EQ(Stored("Setting/VEXA 001 Password").toString(), "c3~\x7f");
    EXPECT_EQ(Stored("Setting/VEXA 001 Description").toString(), "Third desk");
    EXPECT_EQ(Stored("Setting/VEXA 001 User Disabled").toInt(), 0);

    ASSERT_EQ(RunSetup({"user", "edit", "ALICE", "--description", "Moved", "--disabled", "--password-stdin"}, "N3w!pass\n"), 0);
    EXPECT_EQ(Stored("Setting/VEXA 000 User ID").toString(), "Alice");
    EXPECT_EQ(Stored("Setting/VEXA 000 Password").toString(), "N3w!pass");
    EXPECT_EQ(Stored("Setting/VEXA 000 Description").toString(), "Moved");
    EXPECT_EQ(Stored("Setting/VEXA 000 User Disabled").toInt(), 1);

    ASSERT_EQ(RunSetup({"user", "enable", "bob"}), 0);
    EXPECT_EQ(Stored("Setting/VEXA 002 User Disabled").toInt(), 0);
    ASSERT_EQ(RunSetup({"user", "delete", "bob"}), 0);
    EXPECT_EQ(Stored("Setting/VEXA 002 User ID").toString(), "");
    EXPECT_EQ(Stored("Setting/VEXA 002 Password").toString(), "");

    ASSERT_EQ(RunSetup({"user", "list"}), 0);
    EXPECT_NE(last->Out().find("Alice"), std::string::npos);
    EXPECT_NE(last->Out().find("carol"), std::string::npos);
    EXPECT_EQ(last->Out().find("bob"), std::string::npos);
    EXPECT_EQ(last->Out().find("N3w!pass"), std::string::npos);  // passwords are never shown
}

TEST_F(Setup, atMostTenUsers)
{
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(RunSetup({"user", "add", QString("u%1").arg(i), "--password-stdin"}, "pw\n"), 0) << i;
    const std::optional<std::string> before = FileBytes(profileFile);
    EXPECT_EQ(RunSetup({"user", "add", "u10", "--password-stdin"}, "pw\n"), 2);
    EXPECT_NE(last->Err().find("ten users"), std::string::npos);
    EXPECT_EQ(FileBytes(profileFile), before);
}

TEST_F(Setup, showPrintsEverySetting)
{
    WriteStartingProfile();
    ASSERT_EQ(RunSetup({"show"}), 0);
    const std::vector<std::string> lines = {"com-port      1", "baud          9600",
                                            "tcp-port      " + std::to_string(settings.tcpPort), "users         2 of 10",
                                            "session-time  unlimited", "log           off (folder -)"};
    for (const std::string& text : lines)
        EXPECT_NE(last->Out().find(text), std::string::npos) << text << "\n" << last->Out();
    EXPECT_EQ(last->Out().find("Pw!"), std::string::npos);  // passwords are never shown
}

// What setup stores is what the session server checks at login.
struct LoginCase {
    const char* name;
    QStringList addArgs;
    std::string password;
    const char* answer;
};

class SetupUserLogin : public Setup, public ::testing::WithParamInterface<LoginCase> {};

TEST_P(SetupUserLogin, logsInOverTcp)
{
    StartRadio();
    WriteSettings(*profile, settings);
    ASSERT_EQ(RunSetup(GetParam().addArgs, GetParam().password + "\n"), 0) << last->Err();
    MakeControllerKeepingProfile();
    ASSERT_EQ(StartAndWait(), StartResult::Started);

    Client client;
    ASSERT_TRUE(client.Connect(static_cast<unsigned>(settings.tcpPort), 5000));
    ASSERT_TRUE(client.Send("UID:" + GetParam().addArgs[2].toStdString() + ";"));
    ASSERT_TRUE(client.ReadUntil("UID:OK;", 5000));
    ASSERT_TRUE(client.Send("PWD:" + GetParam().password + ";"));
    EXPECT_TRUE(client.ReadUntil(GetParam().answer, 5000)) << client.Received();
}

INSTANTIATE_TEST_SUITE_P(
    Users, SetupUserLogin,
    ::testing::Values(LoginCase{"enabled", {"user", "add", "op7", "--password-stdin"}, "S3cr3t!", "PWD:OK;>@@UE1;"},
                      LoginCase{"disabled",
                                {"user", "add", "op8", "--disabled", "--password-stdin"},
                                "S3cr3t!",
                                "PWD:OK;>@@UE0;"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace stationtest
