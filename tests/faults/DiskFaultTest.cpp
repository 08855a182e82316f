// The disk failing the running host: the access log's folder turning read-only, the disk filling
// up under the log (a file-size limit set on the running host, which makes writes fail part-way
// through a line as a full disk does), and the profile's folder refusing the save of "@@CP".
// The alert goes to standard error, the entry is lost, the sessions go on, and the log keeps
// whole lines only.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "FaultSupport.h"
#include "TestSupport.h"

namespace faulttest {
namespace {

class Disk : public stationtest::Headless {
protected:
    // A client logs in, reads the frequency and leaves; true when the station served it.
    bool ServeOneClient(const std::string& password = "pw1")
    {
        Client client;
        const bool served = client.Connect(static_cast<unsigned>(settings.tcpPort), 5000) &&
                            client.LogIn("op1", password, 5000) && client.Send("FA;") &&
                            client.ReadUntil("FA00014074000;", 5000);
        client.Close();
        return served;
    }

    bool WaitForLog(const std::string& entry, std::size_t count)
    {
        return PumpUntil([&] { return Count(Log(), LogEntry(entry)) >= count; }, 10000);
    }
};

TEST_F(Disk, logFolderTurningReadOnlyAlertsLosesTheEntriesAndTheSessionsGoOn)
{
    settings.users = {{"op1", "pw1", "", 0}};
    StartRadio();
    Program host(Arguments(), Environment());
    RunUnprivileged(host, {dir.Path(), profileFile, logFolder, radio->SlavePath()});
    ASSERT_TRUE(Serving(host));
    ASSERT_TRUE(ServeOneClient());
    ASSERT_TRUE(WaitForLog("127.0.0.1 CLOSE op1 Connection Close", 1)) << Log();

    // As a file system remounted read-only: neither the day's file nor the folder takes writes.
    const std::filesystem::path day = logFolder / LogFileName();
    ASSERT_TRUE(std::filesystem::exists(day));
    ASSERT_EQ(::chmod(day.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(logFolder.c_str(), 0555), 0);
    const std::string before = Log();
    EXPECT_TRUE(ServeOneClient()) << "the session goes on without its log";
    const std::string alert = "quintar: VEXA Log:File Open Error!! (cannot open " + day.string() + ": Permission denied)\n";
    EXPECT_TRUE(PumpUntil([&] { return Count(host.Err(), alert) >= 3; }, 10000))
        << "one alert per lost entry: open, login and close of the session: " << host.Err();
    EXPECT_EQ(Log(), before) << "the entries are lost, the file is as it was";

    ASSERT_EQ(::chmod(logFolder.c_str(), 0755), 0);
    ASSERT_EQ(::chmod(day.c_str(), 0640), 0);
    EXPECT_TRUE(ServeOneClient());
    EXPECT_TRUE(WaitForLog("127.0.0.1 LOGIN op1 Password OK.", 2)) << Log();
    const std::string log = Log();
    EXPECT_EQ(log.substr(0, before.size()), before);
    EXPECT_TRUE(BrokenLogLines(log).empty()) << log;

    ASSERT_TRUE(StoppedBySigterm(host));
}

TEST_F(Disk, logDiskFillingUpAlertsKeepsOnlyWholeLinesAndTheSessionsGoOn)
{
    settings.users = {{"op1", "pw1", "", 0}};
    StartRadio();
    Program host(Arguments(), Environment());
    ASSERT_TRUE(Serving(host));
    ASSERT_TRUE(WaitForLog("- START - Successful COM1, Socket:" + std::to_string(settings.tcpPort) + ".", 1));

    // Room for part of one more line: the next entry is cut off by the disk, as on a full one.
    const std::filesystem::path day = logFolder / LogFileName();
    const auto full = std::filesystem::file_size(day);
    ASSERT_TRUE(SetFileSizeLimit(host.Pid(), full + 20)) << std::strerror(errno);
    EXPECT_TRUE(ServeOneClient()) << "the session goes on without its log";
    const std::string alert = "quintar: VEXA Log:File Open Error!! (cannot write " + day.string() + ": File too large)\n";
    EXPECT_TRUE(PumpUntil([&] { return Count(host.Err(), alert) >= 3; }, 10000)) << host.Err();
    EXPECT_EQ(std::filesystem::file_size(day), full) << "a part of a line is taken back";
    EXPECT_TRUE(BrokenLogLines(Log()).empty()) << Log();

    // Room again: the entries go on after the last whole line.
    ASSERT_TRUE(ClearFileSizeLimit(host.Pid()));
    EXPECT_TRUE(ServeOneClient());
    EXPECT_TRUE(WaitForLog("127.0.0.1 CLOSE op1 Connection Close", 1)) << Log();
    const std::string log = Log();
    EXPECT_TRUE(BrokenLogLines(log).empty()) << log;
    EXPECT_EQ(Count(log, LogEntry("127.0.0.1 OPEN - Connection Open")), 1u) << log;

    ASSERT_TRUE(StoppedBySigterm(host));
}

TEST_F(Disk, passwordChangeIntoAProfileFolderThatTakesNoWritesFailsAndChangesNothing)
{
    settings.users = {{"op1", "pw1", "", 0}};
    StartRadio();
    Program host(Arguments(), Environment());
    RunUnprivileged(host, {dir.Path(), profileFile, logFolder, radio->SlavePath()});
    ASSERT_TRUE(Serving(host));
    const auto before = stationtest::FileBytes(profileFile);

    // The profile is saved whole through a new copy in its folder; a folder that takes no new
    // file refuses the save.
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0555), 0);
    {
        Client client;
        ASSERT_TRUE(LogIn(client));
        ASSERT_TRUE(client.Send("@@AI1;@@CPnewpw1;"));
        EXPECT_TRUE(client.ReadUntil("@@CP0;", 5000)) << client.Received();
        EXPECT_EQ(client.Received().find("@@CP1;"), std::string::npos);
    }
    EXPECT_TRUE(WaitForLog("127.0.0.1 CHGPWD op1 Change Passowrd NG.", 1)) << Log();
    EXPECT_EQ(stationtest::FileBytes(profileFile), before);
    EXPECT_FALSE(ServeOneClient("newpw1"));
    EXPECT_TRUE(ServeOneClient("pw1"));

    ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
    {
        Client client;
        ASSERT_TRUE(LogIn(client));
        ASSERT_TRUE(client.Send("@@AI1;@@CPnewpw1;"));
        EXPECT_TRUE(client.ReadUntil("@@CP1;", 5000)) << client.Received();
    }
    EXPECT_TRUE(ServeOneClient("newpw1"));

    ASSERT_TRUE(StoppedBySigterm(host));
}

// The library on its own: an entry that the disk cuts off leaves no part of a line behind, and a
// file the entry was creating goes again, so that the next entry writes the header.
class AccessLogOnAFullDisk : public ::testing::Test {
protected:
    void SetUp() override
    {
        profile.WriteInt("Setting", "VEXA Log", 1);
        profile.WriteString("File Path", "VEXA Log File Path", (dir.Path() / "log").string());
        std::filesystem::create_directories(dir.Path() / "log");
        CBrenlow::SetProfile(&profile);
        CBrenlow::SetAlertSink(&alerts);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &limit_);
    }
    void TearDown() override
    {
        ::setrlimit(RLIMIT_FSIZE, &limit_);
        std::signal(SIGXFSZ, previous_);
        CBrenlow::SetAlertSink(nullptr);
        CBrenlow::SetProfile(nullptr);
    }
    void Room(rlim_t bytes)
    {
        const rlimit r{bytes, limit_.rlim_max};
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &r), 0);
    }
    void NoLimit() { ::setrlimit(RLIMIT_FSIZE, &limit_); }
    std::filesystem::path Day() const { return dir.Path() / "log" / LogFileName(); }

    testsupport::TempDir dir;
    testsupport::IniFileProfile profile{dir.Path() / "profile.ini"};
    testsupport::RecordingAlerts alerts;

private:
    rlimit limit_{};
    void (*previous_)(int) = nullptr;
};

TEST_F(AccessLogOnAFullDisk, entryCutOffTakesItsPartBackAndAlerts)
{
    CBrenlow::VexaLogAdd("first entry");
    const auto size = std::filesystem::file_size(Day());
    Room(size + 10);
    CBrenlow::VexaLogAdd("second entry, longer than the room left");
    NoLimit();
    EXPECT_EQ(std::filesystem::file_size(Day()), size);
    ASSERT_EQ(alerts.Texts().size(), 1u);
    EXPECT_EQ(alerts.Texts()[0], "VEXA Log:File Open Error!!");
    EXPECT_EQ(alerts.Details()[0], "cannot write " + Day().string() + ": File too large");

    CBrenlow::VexaLogAdd("third entry");
    const std::string text = stationtest::FileBytes(Day()).value_or("");
    EXPECT_TRUE(BrokenLogLines(text).empty()) << text;
    EXPECT_EQ(Count(text, " first entry\r\n"), 1u);
    EXPECT_EQ(Count(text, " third entry\r\n"), 1u);
    EXPECT_EQ(Count(text, "second"), 0u);
}

TEST_F(AccessLogOnAFullDisk, newFileCutOffGoesAgainAndTheNextEntryWritesTheHeader)
{
    Room(30);  // not even the header fits
    CBrenlow::VexaLogAdd("lost entry");
    NoLimit();
    EXPECT_FALSE(std::filesystem::exists(Day()));
    EXPECT_EQ(alerts.Texts().size(), 1u);

    CBrenlow::VexaLogAdd("kept entry");
    const std::string text = stationtest::FileBytes(Day()).value_or("");
    EXPECT_EQ(text.rfind("#Software: Talvern Network Command System\r\n", 0), 0u) << text;
    EXPECT_TRUE(BrokenLogLines(text).empty()) << text;
    EXPECT_EQ(Count(text, " kept entry\r\n"), 1u);
}

}  // namespace
}  // namespace faulttest
