// The start-up checklist both front ends run, with a sink that records what it was told: each step
// that refuses says so once and stops the steps after it, the two front ends' rules differ only
// where they should, and a start-up that went through has its station, its lock, its stop signals
// and the listen address. (The lock file that cannot be made is the headless process tests'.) Also the window library's loader where the library is missing or is not one.
#include <cstdlib>

#include "StartChecklist.h"
#include "StationFixture.h"
#include "WindowLibrary.h"

namespace stationtest {
namespace {

using quintar::StartChecklist;
using quintar::StartRules;
using Result = StartChecklist::Result;

class RecordingReport final : public quintar::StartReport {
public:
    void ProfileMissing(const QString& file) override { Say("missing " + file); }
    void ProfileUnusable(const QString& file, const QString& reason) override { Say("unusable " + file + ": " + reason); }
    void AnotherHostRuns(const QString& file, const QString&) override { Say("another host " + file); }
    void LockFileNotCreated(const QString& lockFile) override { Say("no lock file " + lockFile); }
    void ProfileNotPrivate(const QString& file) override { Say("not private " + file); }
    void StopSignalsMissing() override { Say("no stop signals"); }
    void VoiceUnavailable(const QString& reason) override { Say("voice unavailable: " + reason); }
    void VoiceNotice(const QString& text) override { Say("voice: " + text); }
    brenlow::AlertSink& Alerts() override { return alerts; }

    std::vector<std::string> said;
    testsupport::RecordingAlerts alerts;

private:
    void Say(const QString& text) { said.push_back(text.toStdString()); }
};

constexpr StartRules kHeadless{.profileRequired = true, .stopSignalsRequired = true};
constexpr StartRules kWindow{};

struct Case {
    const char* name;
    StartRules rules;
    enum class Path { Missing, Profile, Folder, HeldByAnother } path;
    Result result;
    std::string said;  // the one report, "" for none; "%f" stands for the profile's path
};
void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name;
}

class Checklist : public StationTest, public ::testing::WithParamInterface<Case> {};

TEST_P(Checklist, reportsTheStepThatRefusesOnceAndGoesNoFurther)
{
    const Case& c = GetParam();
    const QString file = QString::fromStdString(profileFile.string());
    std::unique_ptr<quintar::InstanceLock> other;
    switch (c.path) {
    case Case::Path::Missing:
        break;
    case Case::Path::Profile:
        WriteSettings(*profile, settings);
        break;
    case Case::Path::Folder:
        std::filesystem::create_directories(profileFile);
        break;
    case Case::Path::HeldByAnother:
        WriteSettings(*profile, settings);
        other = std::make_unique<quintar::InstanceLock>(file);
        ASSERT_TRUE(other->TryLock());
        break;
    }
    RecordingReport report;
    {
        StartChecklist checklist(report, c.rules);
        EXPECT_EQ(checklist.Run(file, {}), c.result);
        if (c.result == Result::Ready) {
            EXPECT_FALSE(checklist.Built().Controller().Running());
        }
    }
    std::string expected = c.said;
    if (const auto at = expected.find("%f"); at != std::string::npos)
        expected.replace(at, 2, file.toStdString());
    EXPECT_EQ(report.said, expected.empty() ? std::vector<std::string>{} : std::vector<std::string>{expected});
    EXPECT_EQ(std::filesystem::exists(profileFile), c.path != Case::Path::Missing) << "the checklist writes no profile";
}

INSTANTIATE_TEST_SUITE_P(
    Steps, Checklist,
    ::testing::Values(
        Case{"headlessNeedsAProfile", kHeadless, Case::Path::Missing, Result::Refused, "missing %f"},
        Case{"windowStartsWithoutOne", kWindow, Case::Path::Missing, Result::Ready, ""},
        Case{"headlessWithAProfile", kHeadless, Case::Path::Profile, Result::Ready, ""},
        Case{"headlessRefusesAFolder", kHeadless, Case::Path::Folder, Result::Refused,
             "unusable %f: is a folder, not a profile file"},
        Case{"windowRefusesAFolder", kWindow, Case::Path::Folder, Result::Refused,
             "unusable %f: is a folder, not a profile file"},
        Case{"headlessMeetsAnotherHost", kHeadless, Case::Path::HeldByAnother, Result::AnotherHost,
             "another host %f"},
        Case{"windowMeetsAnotherHost", kWindow, Case::Path::HeldByAnother, Result::AnotherHost,
             "another host %f"}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// The environment's listen address reaches the library before the station is built; the station's
// controller is the library's host from then on, until the checklist ends.
TEST_F(StationTest, checklistSetsTheListenAddressAndBuildsTheStationOnTheProfile)
{
    WriteSettings(*profile, settings);
    ::setenv("QUINTAR_LISTEN_ADDRESS", "127.0.0.2", 1);
    RecordingReport report;
    {
        StartChecklist checklist(report, kHeadless);
        ASSERT_EQ(checklist.Run(QString::fromStdString(profileFile.string()), {}), Result::Ready);
        ::unsetenv("QUINTAR_LISTEN_ADDRESS");
        EXPECT_EQ(CBrenlow::ListenAddress(), "127.0.0.2");
        EXPECT_EQ(checklist.Profile().File().toStdString(), profileFile.string());
        EXPECT_TRUE(checklist.Signals().Installed());
        quintar::InstanceLock second(checklist.ProfileFile());
        EXPECT_FALSE(second.TryLock()) << "the checklist holds the profile's lock";
    }
    quintar::InstanceLock after(QString::fromStdString(profileFile.string()));
    EXPECT_TRUE(after.TryLock()) << "and lets it go at its end";
    EXPECT_TRUE(report.said.empty());
}

TEST(WindowLibraryLoader, saysWhereItLookedOrWhyAFileIsNoWindowLibrary)
{
    testsupport::TempDir dir;
    const QString folder = QString::fromStdString((dir.Path() / "bin").string());
    const quintar::WindowLibrary none = quintar::LoadWindowLibrary(quintar::WindowLibraryCandidates(folder));
    EXPECT_FALSE(none);
    const std::string reason = none.reason.toStdString();
    EXPECT_EQ(reason.rfind("no libquintar-window.so in " + folder.toStdString() + ", " + dir.Path().string() + "/lib/", 0),
              0u)
        << reason;
    EXPECT_TRUE(none.reason.endsWith("/quintar or the system's library folders")) << reason;

    // A library that loads but has no entry point: the program's own station library.
    const quintar::WindowLibrary other = quintar::LoadWindowLibrary({QStringLiteral(QUINTAR_STATION_LIBRARY)});
    EXPECT_FALSE(other);
    EXPECT_TRUE(other.reason.endsWith(": no window entry point")) << other.reason.toStdString();
}

}  // namespace
}  // namespace stationtest
