// The real program with its window on a virtual X display, driven as a user would: the Control
// menu starts the station, a TCP client logs in, Power Switch asks before it cuts the client off,
// the Help menu opens About and the help, a stop signal closes it all with the log's END line; a
// device that does not open is said in a box; a second launch brings the first window to the
// front. Pictures of each go into the build folder.
#include <QImage>

#include <unistd.h>

#include <csignal>
#include <fstream>
#include <sstream>

#include "WindowFixture.h"

namespace windowtest {
namespace {

using stationtest::Program;

// Menu titles in the window's own coordinates (the menu bar's first line).
// Upper bounds only: the sanitizer builds on a loaded machine start the program slowly.
constexpr int kPatienceMs = 30000;
constexpr int kMenuY = 10;
constexpr int kControlMenuX = 30;
constexpr int kHelpMenuX = 158;

class ProgramWithDisplay : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        xvfb = std::make_unique<Program>("/usr/bin/Xvfb", QStringList{"-displayfd", "1", "-screen", "0", "1024x768x24",
                                                                      "-nolisten", "tcp", "-nolisten", "unix", "-noreset"});
        // Abstract sockets only: nothing left in /tmp/.X11-unix. No reset when the last client
        // leaves: the server drops whoever connects during a reset, and the readiness probe below
        // is such a last client, just before the program connects.
        ASSERT_TRUE(xvfb->Start());
        ASSERT_TRUE(xvfb->WaitForOutput("\n", kPatienceMs)) << "Xvfb did not start: " << xvfb->Err();
        display = ":" + QString::fromStdString(xvfb->Out()).trimmed();
        runtime = dir.Path() / "runtime";
        std::filesystem::create_directories(runtime);
        std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
        // The server names its display as it starts; a client of it is what tells it is serving.
        ASSERT_TRUE(PumpUntil([&] { return DisplayTakesClients(); }, kPatienceMs)) << "nobody serves " << display.toStdString();
    }

    bool DisplayTakesClients() const
    {
        Program probe("/usr/bin/xdotool", {"getdisplaygeometry"}, Environment());
        return probe.Run({}, kPatienceMs) && probe.ExitStatus() == 0 && !probe.Out().empty();
    }

    QStringList Environment() const
    {
        return {"DISPLAY=" + display, QString::fromStdString("XDG_RUNTIME_DIR=" + runtime.string()),
                "QUINTAR_LISTEN_ADDRESS=127.0.0.1", "LSAN_OPTIONS=suppressions=" WINDOW_LSAN_SUPPRESSIONS};
    }

    // Runs xdotool with the arguments; its standard output.
    std::string XDo(QStringList arguments)
    {
        Program xdo("/usr/bin/xdotool", arguments, Environment());
        EXPECT_TRUE(xdo.Run({}, kPatienceMs)) << arguments.join(' ').toStdString();
        return xdo.Out();
    }

    // The id of the visible window whose title is `title` exactly, once there is one.
    std::string WaitForWindow(const QString& title, int timeoutMs = kPatienceMs)
    {
        std::string id;
        PumpUntil(
            [&] {
                id = XDo({"search", "--onlyvisible", "--name", "^" + title + "$"});
                id = id.substr(0, id.find('\n'));
                return !id.empty();
            },
            timeoutMs);
        return id;
    }

    bool WindowGone(const QString& title)
    {
        return PumpUntil([&] { return XDo({"search", "--onlyvisible", "--name", "^" + title + "$"}).empty(); }, kPatienceMs);
    }

    QImage Shot(const std::string& window)
    {
        const std::string file = (dir.Path() / "shot.png").string();
        Program shot(XSHOT_PROGRAM, {QString::fromStdString(window), QString::fromStdString(file)}, Environment());
        EXPECT_TRUE(shot.Run({}, kPatienceMs));
        EXPECT_EQ(shot.ExitStatus(), 0) << shot.Err();
        return QImage(QString::fromStdString(file));
    }

    // A picture of the window once it has stopped changing (and, given `before`, differs from it).
    QImage SettledShot(const std::string& window, const QImage& before = {})
    {
        QImage last = Shot(window), now;
        PumpUntil(
            [&] {
                now = Shot(window);
                const bool settled = now == last && (before.isNull() || now != before);
                last = now;
                return settled;
            },
            10000);
        return now;
    }

    bool Save(const QImage& image, const std::string& name)
    {
        std::filesystem::create_directories(ScreenshotDir());
        return image.save(QString::fromStdString((ScreenshotDir() / ("program-" + name + ".png")).string()));
    }

    // The panel's frames 11 pixels from the window's left, right and bottom edges (the offscreen
    // test measures the top, below the menu bar, too).
    void ExpectEvenMargins(const QImage& shot)
    {
        const QRect panel(0, shot.height() - 169, shot.width(), 169);
        const QMargins m = LineMargins(shot, panel, QApplication::palette().color(QPalette::Mid));
        EXPECT_EQ(m.left(), 11);
        EXPECT_EQ(m.right(), 11);
        EXPECT_EQ(m.bottom(), 11);
    }

    // The top-level windows from top to bottom, as the X server stacks them (xwininfo lists the
    // topmost first).
    std::vector<unsigned long> Stacking()
    {
        Program tree("/usr/bin/xwininfo", {"-root", "-children"}, Environment());
        EXPECT_TRUE(tree.Run({}, kPatienceMs));
        std::vector<unsigned long> ids;
        std::istringstream lines(tree.Out());
        for (std::string line; std::getline(lines, line);) {
            const std::size_t at = line.find("0x");
            if (at != std::string::npos && line.find("children") == std::string::npos && line.find("Root") == std::string::npos &&
                line.find("Parent") == std::string::npos)
                ids.push_back(std::stoul(line.substr(at), nullptr, 16));
        }
        return ids;
    }

    std::size_t VisibleWindowsOfTheProgram()
    {
        return stationtest::Count(XDo({"search", "--onlyvisible", "--classname", "quintar"}), "\n");
    }

    // Opens the menu whose title is at `x` with a click and chooses an item by its mnemonic, once
    // the menu is up.
    void ClickMenu(const std::string& window, int x, const char* key)
    {
        const std::size_t before = VisibleWindowsOfTheProgram();
        XDo({"mousemove", "--window", QString::fromStdString(window), QString::number(x), QString::number(kMenuY),
             "click", "1"});
        ASSERT_TRUE(PumpUntil([&] { return VisibleWindowsOfTheProgram() > before; }, kPatienceMs)) << "the menu opens";
        XDo({"key", key});
    }

    std::unique_ptr<Program> xvfb;
    QString display;
    std::filesystem::path runtime;
};

TEST_F(ProgramWithDisplay, startsFromTheControlMenuServesAClientAndEndsCleanlyOnSigterm)
{
    settings.users = {{"op1", "Secret!1", "Night operator, remote site", 0}};
    StartRadio();
    stationtest::WriteSettings(*profile, settings);
    Program host({"--profile", QString::fromStdString(profileFile.string())}, Environment());
    ASSERT_TRUE(host.Start());

    const std::string main = WaitForWindow("Radio Host Program");
    ASSERT_FALSE(main.empty()) << host.Err();
    const QImage stopped = SettledShot(main);
    EXPECT_EQ(stopped.width(), 385);
    ExpectEvenMargins(stopped);
    EXPECT_TRUE(Save(stopped, "stopped"));

    ClickMenu(main, kControlMenuX, "n");  // Control > ON
    const std::string started = "- START - Successful COM1, Socket:" + std::to_string(settings.tcpPort) + ".";
    ASSERT_TRUE(PumpUntil([&] { return Log().find(started) != std::string::npos; }, kPatienceMs)) << Log() << host.Err();
    ASSERT_TRUE(radio->WaitReceived("AI2;", kPatienceMs));
    const QImage running = SettledShot(main, stopped);
    EXPECT_NE(running, stopped) << "the lamps and the model show";

    stationtest::Client client;
    ASSERT_TRUE(client.Connect(static_cast<unsigned>(settings.tcpPort), kPatienceMs));
    ASSERT_TRUE(client.LogIn("op1", "Secret!1", kPatienceMs));
    ASSERT_TRUE(PumpUntil([&] { return Log().find("LOGIN op1 Password OK.") != std::string::npos; }, kPatienceMs));
    const QImage client_in = SettledShot(main, running);
    EXPECT_TRUE(Save(client_in, "running"));

    // Power Switch with the radio on and the client logged in asks first; Escape leaves it on.
    radio->ClearReceived();
    const QPoint powerSwitch(23 + 40, client_in.height() - 169 + 23 + 12);
    XDo({"mousemove", "--window", QString::fromStdString(main), QString::number(powerSwitch.x()),
         QString::number(powerSwitch.y()), "click", "1"});
    const std::string question = WaitForWindow("Power Switch");
    ASSERT_FALSE(question.empty()) << host.Err();
    EXPECT_TRUE(Save(SettledShot(question), "power-off-question"));
    XDo({"key", "Escape"});
    ASSERT_TRUE(WindowGone("Power Switch"));
    ASSERT_TRUE(client.Send("FA;"));  // reaches the radio after anything the window sent
    ASSERT_TRUE(radio->WaitReceived("FA;", kPatienceMs));
    EXPECT_EQ(radio->Received().find("PS9;"), std::string::npos) << radio->Received();

    ClickMenu(main, kHelpMenuX, "a");  // Help > About Quintar
    const std::string about = WaitForWindow("About Quintar");
    ASSERT_FALSE(about.empty());
    const QImage aboutShot = SettledShot(about);
    EXPECT_EQ(aboutShot.size(), QSize(594, 225));
    EXPECT_TRUE(Save(aboutShot, "about"));
    XDo({"key", "Escape"});
    ASSERT_TRUE(WindowGone("About Quintar"));

    ClickMenu(main, kHelpMenuX, "h");  // Help > Help Topics
    const std::string help = WaitForWindow("Quintar Help");
    ASSERT_FALSE(help.empty()) << host.Err();
    EXPECT_TRUE(Save(SettledShot(help), "help"));

    host.Signal(SIGTERM);
    ASSERT_TRUE(host.WaitForExit(15000));
    EXPECT_TRUE(host.ExitedNormally());
    EXPECT_EQ(host.ExitStatus(), 0) << host.Err();
    const std::string log = Log();
    EXPECT_EQ(stationtest::Count(log, "- END - End VEXA."), 1u) << log;
    EXPECT_LT(log.find(started), log.find("- END - End VEXA."));
    client.Close();
}

// A host on another profile covers the first one's window; a second launch on the first profile
// brings that window to the top and ends without a word or a window of its own.
TEST_F(ProgramWithDisplay, secondCopyWithTheSameProfileRaisesTheFirstWindowAndEndsSilently)
{
    stationtest::WriteSettings(*profile, settings);
    Program first({"--profile", QString::fromStdString(profileFile.string())}, Environment());
    ASSERT_TRUE(first.Start());
    const std::string firstWindow = WaitForWindow("Radio Host Program");
    ASSERT_FALSE(firstWindow.empty()) << first.Err();

    const std::filesystem::path otherProfile = dir.Path() / "other.ini";
    stationtest::WriteSettings(*std::make_unique<quintar::SettingsProfile>(QString::fromStdString(otherProfile.string())),
                               settings);
    Program other({"--profile", QString::fromStdString(otherProfile.string())}, Environment());
    ASSERT_TRUE(other.Start());
    ASSERT_TRUE(PumpUntil([&] { return VisibleWindowsOfTheProgram() == 2; }, kPatienceMs)) << other.Err();
    const unsigned long firstId = std::stoul(firstWindow);
    // The uppermost of the two main windows.
    auto onTop = [&]() -> unsigned long {
        const std::string mainWindows = "\n" + XDo({"search", "--onlyvisible", "--name", "^Radio Host Program$"});
        for (unsigned long id : Stacking())
            if (mainWindows.find("\n" + std::to_string(id) + "\n") != std::string::npos)
                return id;
        return 0;
    };
    ASSERT_TRUE(PumpUntil([&] { return onTop() != 0 && onTop() != firstId; }, kPatienceMs)) << "the other window covers it";

    Program second({"--profile", QString::fromStdString(profileFile.string())}, Environment());
    ASSERT_TRUE(second.Run({}, kPatienceMs));
    EXPECT_EQ(second.ExitStatus(), 0);
    EXPECT_EQ(second.Err(), "");
    EXPECT_EQ(second.Out(), "");
    EXPECT_TRUE(PumpUntil([&] { return onTop() == firstId; }, kPatienceMs)) << "the first window on top";
    EXPECT_EQ(VisibleWindowsOfTheProgram(), 2u) << "no window of the second launch";

    for (Program* p : {&first, &other}) {
        p->Signal(SIGINT);
        ASSERT_TRUE(p->WaitForExit(15000));
        EXPECT_EQ(p->ExitStatus(), 0) << p->Err();
    }
}

// ON with a device that does not open: the log's line as always, and the box the operator sees.
TEST_F(ProgramWithDisplay, serialDeviceThatDoesNotOpenIsShownInTheErrorBox)
{
    stationtest::WriteSettings(*profile, settings);  // the fixture's device does not exist
    Program host({"--profile", QString::fromStdString(profileFile.string())}, Environment());
    ASSERT_TRUE(host.Start());
    const std::string main = WaitForWindow("Radio Host Program");
    ASSERT_FALSE(main.empty()) << host.Err();
    ClickMenu(main, kControlMenuX, "n");  // Control > ON
    const std::string box = WaitForWindow("Error!");
    ASSERT_FALSE(box.empty()) << host.Err();
    EXPECT_TRUE(Save(SettledShot(box), "error-serial-device"));
    EXPECT_NE(Log().find("- START - Failed. Can not open COM1."), std::string::npos) << Log();
    XDo({"key", "Return"});
    ASSERT_TRUE(WindowGone("Error!"));
    host.Signal(SIGTERM);
    ASSERT_TRUE(host.WaitForExit(15000));
    EXPECT_EQ(host.ExitStatus(), 0) << host.Err();
}

TEST_F(ProgramWithDisplay, profileThatIsNotAProfileIsRefusedWithAMessageAndStatus1)
{
    std::filesystem::create_directories(profileFile);  // a folder where the profile should be
    Program host({"--profile", QString::fromStdString(profileFile.string())}, Environment());
    ASSERT_TRUE(host.Start());
    const std::string box = WaitForWindow("Quintar");
    ASSERT_FALSE(box.empty()) << host.Err();
    EXPECT_TRUE(Save(SettledShot(box), "profile-refused"));
    XDo({"key", "Return"});
    ASSERT_TRUE(host.WaitForExit(10000));
    EXPECT_EQ(host.ExitStatus(), 1);
}

TEST(ProgramWithoutDisplay, saysSoSuggestsHeadlessAndExits2)
{
    Program host(QStringList{});
    ASSERT_TRUE(host.Run({}, kPatienceMs));
    EXPECT_EQ(host.ExitStatus(), 2);
    EXPECT_EQ(host.Err(), "quintar: no display to open the window on; run the station with --headless (see --help)\n");

    Program unreachable(QStringList{}, QStringList{"DISPLAY=:9999"});
    ASSERT_TRUE(unreachable.Run({}, kPatienceMs));
    EXPECT_EQ(unreachable.ExitStatus(), 2);
    EXPECT_NE(unreachable.Err().find("--headless"), std::string::npos);
}

// The program where the window's library is not installed: a copy of it in a folder of its own,
// where neither that folder nor the private library folder found from it holds the library.
TEST(ProgramWithoutWindowLibrary, saysSoInOneLineSuggestsHeadlessAndExits2)
{
    testsupport::TempDir dir;
    const std::filesystem::path copy = dir.Path() / "bin" / "quintar";
    std::filesystem::create_directories(copy.parent_path());
    std::filesystem::copy_file(stationtest::HostProgram().toStdString(), copy);
    Program host(copy.string(), {}, {"QT_QPA_PLATFORM=offscreen"});
    ASSERT_TRUE(host.Run({}, kPatienceMs));
    EXPECT_EQ(host.ExitStatus(), 2);
    EXPECT_EQ(stationtest::Count(host.Err(), "\n"), 1u) << host.Err();
    EXPECT_EQ(host.Err().rfind("quintar: the station's window is not installed (", 0), 0u) << host.Err();
    EXPECT_NE(host.Err().find("run the station with --headless"), std::string::npos) << host.Err();

    // The same copy runs headless: that needs no window.
    Program headless(copy.string(), {"--headless", "--help"});
    ASSERT_TRUE(headless.Run({}, kPatienceMs));
    EXPECT_EQ(headless.ExitStatus(), 0) << headless.Err();
}

}  // namespace
}  // namespace windowtest
