// The access log in a real folder: the daily file with its header, CR LF line ends, appending,
// long entries, a folder that cannot be written, and whole lines from two threads at once.
#include <gtest/gtest.h>

#include <ctime>
#include <regex>
#include <thread>
#include <unistd.h>

#include "ServerRig.h"

namespace {

using namespace servertest;

// The local date as the file name has it.
std::string Today() {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    char name[16];
    std::strftime(name, sizeof name, "%Y%m%d", &t);
    return name;
}

class AccessLog : public ::testing::Test {
protected:
    void SetUp() override {
        CBrenlow::SetProfile(&profile);
        CBrenlow::SetAlertSink(&alerts);
        profile.WriteInt("Setting", "VEXA Log", 1);
        profile.WriteString("File Path", "VEXA Log File Path", dir.Path().string());
    }
    void TearDown() override {
        CBrenlow::SetAlertSink(nullptr);
        CBrenlow::SetProfile(nullptr);
    }
    std::vector<std::filesystem::path> Files() const {
        std::vector<std::filesystem::path> files;
        for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
            if (e.path().filename() != "profile.ini") files.push_back(e.path());
        return files;
    }
    testsupport::TempDir dir;
    testsupport::IniFileProfile profile{dir.Path() / "profile.ini"};
    testsupport::RecordingAlerts alerts;
};

TEST_F(AccessLog, SwitchedOffWritesNothing) {
    profile.WriteInt("Setting", "VEXA Log", 0);
    CBrenlow::VexaLogAdd("- START - Successful COM1, Socket:50000.");
    EXPECT_TRUE(Files().empty());
    EXPECT_TRUE(alerts.Texts().empty());
}

TEST_F(AccessLog, FirstEntryOfTheDayWritesTheHeaderAndLaterOnesAppend) {
    const std::time_t before = std::time(nullptr);
    CBrenlow::VexaLogAdd("- START - Successful COM1, Socket:50000.");
    CBrenlow::VexaLogAdd("127.0.0.1 OPEN - Connection Open");
    ASSERT_EQ(Files().size(), 1u);
    const auto file = Files()[0];

    // Named after the local date, taken here on the test's own reading of the clock.
    std::tm local{};
    localtime_r(&before, &local);
    char name[16];
    std::strftime(name, sizeof name, "%Y%m%d.log", &local);
    EXPECT_EQ(file.filename().string(), name);
    // It names users and addresses: not for every account on the machine.
    const auto permissions = std::filesystem::status(file).permissions();
    EXPECT_EQ(permissions & std::filesystem::perms::others_all, std::filesystem::perms::none);

    const std::string text = ReadFile(file);
    EXPECT_TRUE(text.ends_with("\r\n"));
    // Every line feed has its carriage return.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), std::count(text.begin(), text.end(), '\r'));
    const auto lines = CrLfLines(text);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "#Software: Talvern Network Command System");
    EXPECT_EQ(lines[1], "#Version: 1.00");
    char date[16];
    std::strftime(date, sizeof date, "%Y-%m-%d", &local);
    EXPECT_TRUE(std::regex_match(lines[2], std::regex(std::string("#Date: ") + date + " \\d\\d:\\d\\d:\\d\\d")))
        << lines[2];
    EXPECT_EQ(lines[3], "#Fields: time c-ip cs-method user log");
    const std::regex time("\\d\\d:\\d\\d:\\d\\d ");
    EXPECT_TRUE(std::regex_search(lines[4].substr(0, 9), time));
    EXPECT_EQ(lines[4].substr(9), "- START - Successful COM1, Socket:50000.");
    EXPECT_EQ(lines[5].substr(9), "127.0.0.1 OPEN - Connection Open");
}

TEST_F(AccessLog, EntryTextIsCutAtFiveHundredCharacters) {
    CBrenlow::VexaLogAdd(std::string(499, 'a').c_str());
    CBrenlow::VexaLogAdd(std::string(500, 'b').c_str());
    CBrenlow::VexaLogAdd(std::string(2000, 'c').c_str());
    const auto lines = CrLfLines(ReadFile(Files().at(0)));
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[4].substr(9), std::string(499, 'a'));
    EXPECT_EQ(lines[5].substr(9), std::string(500, 'b'));
    EXPECT_EQ(lines[6].substr(9), std::string(500, 'c'));
}

TEST_F(AccessLog, UnwritableFolderAlertsOnEveryEntryAndCreatesNothing) {
    const std::string tooLong = (dir.Path() / std::string(250, 'x')).string();
    const std::string folders[] = {(dir.Path() / "missing").string(), (dir.Path() / "missing" / "deeper").string(),
                                   tooLong};
    for (const auto& folder : folders) {
        profile.WriteString("File Path", "VEXA Log File Path", folder);
        CBrenlow::VexaLogAdd("127.0.0.1 OPEN - Connection Open");
        CBrenlow::VexaLogAdd("127.0.0.1 CLOSE - Connection Close");
    }
    EXPECT_EQ(alerts.Texts(), std::vector<std::string>(6, "VEXA Log:File Open Error!!"));
    // What the operator needs to mend it: the file and the system's reason.
    const auto details = alerts.Details();
    ASSERT_EQ(details.size(), 6u);
    EXPECT_EQ(details[0], "cannot open " + folders[0] + "/" + Today() + ".log: No such file or directory");
    EXPECT_EQ(details[2], "cannot open " + folders[1] + "/" + Today() + ".log: No such file or directory");
    EXPECT_TRUE(details[4].starts_with("the log folder's path is too long: " + tooLong)) << details[4];
    EXPECT_TRUE(Files().empty());
}

TEST_F(AccessLog, EmptyFolderSettingPutsTheFileAtTheRoot) {
    if (::geteuid() == 0) GTEST_SKIP() << "as root the root folder is writable; the rule is shown by the alert only";
    profile.WriteString("File Path", "VEXA Log File Path", "");
    CBrenlow::VexaLogAdd("127.0.0.1 OPEN - Connection Open");
    EXPECT_EQ(alerts.Texts(), std::vector<std::string>{"VEXA Log:File Open Error!!"});
}

TEST_F(AccessLog, EntriesFromTwoThreadsStayWholeLines) {
    const std::string a(120, 'A'), b(120, 'B');
    auto writer = [](const std::string& text) {
        for (int i = 0; i < 400; ++i) CBrenlow::VexaLogAdd(text.c_str());
    };
    std::thread first(writer, a), second(writer, b);
    first.join();
    second.join();
    const auto lines = CrLfLines(ReadFile(Files().at(0)));
    ASSERT_EQ(lines.size(), 4u + 800u);
    int as = 0, bs = 0;
    for (std::size_t i = 4; i < lines.size(); ++i) {
        const std::string entry = lines[i].substr(9);
        as += entry == a;
        bs += entry == b;
    }
    EXPECT_EQ(as, 400);
    EXPECT_EQ(bs, 400);
}

}  // namespace
