// User accounts and settings keys on a real profile file: key names, the slot lookup shared by the
// account operations, the voice setting, and a library with no profile at all.
#include <gtest/gtest.h>

#include <cstring>

#include "SettingKeys.h"
#include "TestSupport.h"

namespace {

using brenlow::server::Key;

class Accounts : public ::testing::Test {
protected:
    void SetUp() override { CBrenlow::SetProfile(&profile); }
    void TearDown() override {
        CBrenlow::SetProfile(nullptr);
        CBrenlow::SetVoiceCapabilityCheck(nullptr);
    }
    void Slot(int slot, const char* id, const char* password, int disabled = 0, const char* description = "") {
        char prefix[16];
        std::snprintf(prefix, sizeof prefix, "VEXA %03d ", slot);
        profile.WriteString("Setting", std::string(prefix) + "User ID", id);
        profile.WriteString("Setting", std::string(prefix) + "Password", password);
        profile.WriteInt("Setting", std::string(prefix) + "User Disabled", disabled);
        profile.WriteString("Setting", std::string(prefix) + "Description", description);
    }
    testsupport::TempDir dir;
    testsupport::IniFileProfile profile{dir.Path() / "profile.ini"};
};

TEST(ProfileKeyNames, AreComposedFromTheirWords) {
    const struct {
        Key key;
        int slot;
        const char* section;
        const char* name;
    } rows[] = {
        {Key::ComPort, 0, "Setting", "COM Port"},
        {Key::ComBaud, 0, "Setting", "COM Baud"},
        {Key::IpPort, 0, "Setting", "VEXA IP Port No"},
        {Key::Voice, 0, "Setting", "VEXA Voice"},
        {Key::SessionTime, 0, "Setting", "VEXA Session Time"},
        {Key::Log, 0, "Setting", "VEXA Log"},
        {Key::UserId, 0, "Setting", "VEXA 000 User ID"},
        {Key::Password, 7, "Setting", "VEXA 007 Password"},
        {Key::Description, 9, "Setting", "VEXA 009 Description"},
        {Key::UserDisabled, 3, "Setting", "VEXA 003 User Disabled"},
        {Key::LogFilePath, 0, "File Path", "VEXA Log File Path"},
        {Key::WindowPos, 0, "WindowPos", "Vexa"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(brenlow::server::KeyName(row.key, row.slot), row.name);
        EXPECT_STREQ(brenlow::server::Row(row.key).section, row.section);
    }
}

TEST(ProfileKeys, WithoutAProfileReadDefaultsAndDropWrites) {
    CBrenlow::SetProfile(nullptr);
    const std::pair<Key, int> defaults[] = {{Key::ComPort, 1},    {Key::ComBaud, 9600}, {Key::IpPort, 50000},
                                            {Key::Voice, 0},      {Key::SessionTime, 0}, {Key::Log, 0},
                                            {Key::UserDisabled, 0}};
    for (const auto& [key, value] : defaults) EXPECT_EQ(brenlow::server::ReadInt(key), value);
    EXPECT_EQ(brenlow::server::ReadString(Key::LogFilePath), "");
    brenlow::server::WriteString(Key::UserId, "alice", 0);
    EXPECT_EQ(brenlow::server::ReadString(Key::UserId, 0), "");
    EXPECT_EQ(CBrenlow::CheckVexaUserPassword("alice", ""), 0);
    EXPECT_EQ(CBrenlow::ChangeUserPassword("alice", "x"), 0);
    EXPECT_EQ(CBrenlow::GetVoiceEnable(), 0);
    CBrenlow::VexaLogAdd("nowhere to go");  // logging reads as off: no alert, no file
}

TEST_F(Accounts, LookupTakesTheLowestMatchingSlotComparingBytesWithCase) {
    Slot(0, "", "orphan");
    Slot(2, "alice", "first", 0, "Alice at home");
    Slot(5, "alice", "second", 1, "Alice again");
    Slot(6, "Bob", "Hunter2", 1);
    Slot(9, "empty", "");
    const struct {
        const char* id;
        const char* password;
        int matches;
    } checks[] = {
        {"alice", "first", 1}, {"alice", "second", 0}, {"alice", "First", 0}, {"alice", "firs", 0},
        {"alice", "firstt", 0}, {"alice", "", 0},      {"Alice", "first", 0}, {"Bob", "Hunter2", 1},
        {"bob", "Hunter2", 0},  {"", "orphan", 0},     {"empty", "", 1},      {"nobody", "", 0},
    };
    for (const auto& c : checks) {
        SCOPED_TRACE(std::string(c.id) + "/" + c.password);
        EXPECT_EQ(CBrenlow::CheckVexaUserPassword(c.id, c.password), c.matches);
    }
    EXPECT_EQ(CBrenlow::GetUserDisabled("alice"), 0);
    EXPECT_EQ(CBrenlow::GetUserDisabled("Bob"), 1);
    EXPECT_EQ(CBrenlow::GetUserDisabled("nobody"), 0);

    testsupport::TestBrenlow lib;
    char description[129];
    std::memset(description, 'x', sizeof description);
    EXPECT_EQ(lib.GetUserDescription("alice", description), 1);
    EXPECT_STREQ(description, "Alice at home");
    std::memset(description, 'x', sizeof description);
    EXPECT_EQ(lib.GetUserDescription("nobody", description), 0);
    EXPECT_EQ(std::string(description, 5), std::string("\0\0\0\0x", 5));

    EXPECT_EQ(CBrenlow::ChangeUserPassword("alice", "Renewed"), 1);
    EXPECT_EQ(profile.GetString("Setting", "VEXA 002 Password", ""), "Renewed");
    EXPECT_EQ(profile.GetString("Setting", "VEXA 005 Password", ""), "second");
    EXPECT_EQ(CBrenlow::ChangeUserPassword("nobody", "x"), 0);
    EXPECT_EQ(profile.GetString("Setting", "VEXA 000 Password", ""), "orphan");
}

TEST_F(Accounts, LongDescriptionIsCutToTheEditorsLimit) {
    Slot(0, "alice", "pw", 0, std::string(200, 'd').c_str());
    testsupport::TestBrenlow lib;
    char description[129 + 8];
    std::memset(description, 'x', sizeof description);
    EXPECT_EQ(lib.GetUserDescription("alice", description), 1);
    EXPECT_EQ(std::string(description), std::string(128, 'd'));
    EXPECT_EQ(description[129], 'x');
}

int Capable() { return 1; }
int NotCapable() { return 0; }

TEST_F(Accounts, VoiceNeedsTheSettingAndACapableMachine) {
    const struct {
        int setting;
        int (*check)();
        int enabled;
    } rows[] = {{0, Capable, 0}, {1, nullptr, 0}, {1, NotCapable, 0}, {1, Capable, 1}, {7, Capable, 1}};
    for (const auto& row : rows) {
        profile.WriteInt("Setting", "VEXA Voice", row.setting);
        CBrenlow::SetVoiceCapabilityCheck(row.check);
        EXPECT_EQ(CBrenlow::GetVoiceEnable(), row.enabled) << "setting " << row.setting;
    }
}

}  // namespace
