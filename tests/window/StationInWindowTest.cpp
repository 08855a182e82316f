// The panel following the station: a start from the menu, the lamps, ONAIR, a client's
// connection, login and departure, the busy state, a close during a start, the start failure's
// message box and the access log's alert.
#include <fstream>

#include <QCursor>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>

#include "WindowFixture.h"

namespace windowtest {
namespace {

using StartResult = StationController::StartResult;

QColor TextColour(CStaticEx* s)
{
    return s->palette().color(QPalette::Active, QPalette::WindowText);
}
QColor BackColour(CStaticEx* s)
{
    return s->palette().color(QPalette::Button);
}

TEST_F(WindowTest, startFromTheMenuShowsModelLitControlLampAndSwapsOnAndOff)
{
    StartRadio();
    OpenWindow();
    QSignalSpy finished(&window->Controller(), &StationController::StartFinished);
    StartFromMenu();
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.first().first().value<StartResult>(), StartResult::Started);
    EXPECT_EQ(Static("modelName")->text(), "Corrin");
    EXPECT_TRUE(Lit("controlButton"));
    EXPECT_FALSE(Action("onItem")->isEnabled());
    EXPECT_TRUE(Action("offItem")->isEnabled());
    EXPECT_TRUE(Action("setupItem")->isEnabled());
    EXPECT_TRUE(Action("powerSwitchItem")->isEnabled());
    EXPECT_TRUE(Button("controlButton")->isEnabled());
    EXPECT_TRUE(window->isEnabled());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_NE(Log().find("- START - Successful COM1, Socket:" + std::to_string(settings.tcpPort) + "."), std::string::npos);

    Action("offItem")->trigger();
    ASSERT_TRUE(PumpUntil([&] { return !window->Controller().Running() && !window->Controller().Busy(); }, 10000));
    EXPECT_FALSE(Lit("controlButton"));
    EXPECT_FALSE(Lit("powerSwitchButton"));
    EXPECT_EQ(Static("modelName")->text(), "");
    EXPECT_TRUE(Action("onItem")->isEnabled());
    EXPECT_FALSE(Action("offItem")->isEnabled());
    EXPECT_NE(Log().find("- END - End VEXA."), std::string::npos);
}

TEST_F(WindowTest, controlButtonStartsAStoppedStationAndStopsARunningOne)
{
    StartRadio();
    OpenWindow();
    QTest::mouseClick(Button("controlButton"), Qt::LeftButton);
    ASSERT_TRUE(PumpUntil([&] { return window->Controller().Running() && Lit("controlButton") && !window->Controller().Busy(); }, 10000));
    QTest::mouseClick(Button("controlButton"), Qt::LeftButton);
    ASSERT_TRUE(PumpUntil([&] { return !window->Controller().Running() && !window->Controller().Busy(); }, 10000));
    EXPECT_FALSE(Lit("controlButton"));
    EXPECT_EQ(stationtest::Count(Log(), "- END - End VEXA."), 1u);
}

TEST_F(WindowTest, powerLampFollowsTheRadioAndPowerOnAsksForDcAndIf)
{
    radiosim::Options dunmore;
    dunmore.id = 19;  // the model that takes the DC read
    StartRadio(dunmore);
    OpenWindow({true, false});
    StartFromMenu();
    EXPECT_EQ(Static("modelName")->text(), "Dunmore");
    ASSERT_TRUE(PumpUntil([&] { return Lit("powerSwitchButton"); }, 5000)) << "the radio reports itself on";
    EXPECT_TRUE(radio->WaitReceived("DC;", 5000));
    EXPECT_TRUE(radio->WaitReceived("IF;", 5000));

    radio->SetPower(0);  // as the radio's own switch would; the next poll reads it
    ASSERT_TRUE(PumpUntil([&] { return !Lit("powerSwitchButton"); }, 5000));
    EXPECT_FALSE(window->Controller().RadioPowerOn());
    EXPECT_TRUE(SaveScreenshot(*window, "window-running-radio-off"));

    radio->ClearReceived();
    QTest::mouseClick(Button("powerSwitchButton"), Qt::LeftButton);  // switch on
    EXPECT_TRUE(radio->WaitReceived("PS1;", 5000));
    ASSERT_TRUE(PumpUntil([&] { return Lit("powerSwitchButton"); }, 5000));
    EXPECT_TRUE(radio->WaitReceived("DC;", 5000));
    EXPECT_TRUE(radio->WaitReceived("IF;", 5000));

    radio->ClearReceived();
    Action("powerSwitchItem")->trigger();  // the menu's Power Switch: off
    EXPECT_TRUE(radio->WaitReceived("PS0;", 5000));
    EXPECT_TRUE(PumpUntil([&] { return !Lit("powerSwitchButton"); }, 5000));
}

// The desktop's dark theme: the texts take its colours, the lamps bring their own dark plate.
TEST_F(WindowTest, panelFollowsADarkThemeAndItsLampsStayLegible)
{
    const QPalette light = QApplication::palette();
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
    dark.setColor(QPalette::WindowText, QColor(0xe8, 0xe8, 0xe8));
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::Text, QColor(0xe8, 0xe8, 0xe8));
    dark.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::ButtonText, QColor(0xe8, 0xe8, 0xe8));
    dark.setColor(QPalette::Mid, QColor(0x70, 0x70, 0x70));
    QApplication::setPalette(dark);
    struct Restore {
        QPalette p;
        ~Restore() { QApplication::setPalette(p); }
    } restore{light};

    StartRadio();
    OpenWindow();
    StartFromMenu();
    ASSERT_TRUE(PumpUntil([&] { return Lit("powerSwitchButton"); }, 5000));
    EXPECT_EQ(TextColour(Static("modelLabel")), QColor(0xe8, 0xe8, 0xe8));
    const QImage shot = window->grab().toImage();
    EXPECT_TRUE(SaveScreenshot(*window, "window-dark-theme"));
    // The POWER lamp's lit green and the plate's light label against the dark plate.
    const QPoint button = Button("powerSwitchButton")->mapTo(window.get(), QPoint(0, 0));
    const qreal r = shot.devicePixelRatio();
    auto at = [&](QPoint p) { return QColor(shot.pixel(int(p.x() * r), int(p.y() * r))); };
    const QColor lamp = at(button + QPoint(2 + 65, 1 + 11));  // the lamp's centre (the icon sits 2, 1 in)
    EXPECT_GT(lamp.green(), 150);
    EXPECT_LT(lamp.red(), 150);
}

TEST_F(WindowTest, onAirShowsWhiteOnRedWhileTransmittingAndNothingOtherwise)
{
    StartRadio();
    OpenWindow();
    StartFromMenu();
    CStaticEx* onAir = Static("onAir");
    EXPECT_EQ(onAir->text(), "");
    EXPECT_TRUE(onAir->font().bold());

    radio->Inject("TX0;");
    ASSERT_TRUE(PumpUntil([&] { return onAir->text() == "ONAIR"; }, 5000));
    EXPECT_EQ(TextColour(onAir), QColor(255, 255, 255));
    EXPECT_EQ(BackColour(onAir), QColor(255, 0, 0));
    const QImage drawn = onAir->grab().toImage();
    EXPECT_EQ(QColor(drawn.pixel(1, 1)), QColor(255, 0, 0)) << "the red shows";
    EXPECT_TRUE(SaveScreenshot(*window, "window-onair"));

    radio->Inject("RX;");
    ASSERT_TRUE(PumpUntil([&] { return onAir->text().isEmpty(); }, 5000));
    EXPECT_EQ(TextColour(onAir), QApplication::palette().color(QPalette::WindowText));
    EXPECT_EQ(BackColour(onAir), QApplication::palette().color(QPalette::Button));
}

TEST_F(WindowTest, clientConnectingLoggingInAndLeavingFillsAndEmptiesThePanel)
{
    settings.users = {{"op1", "Secret!1", "Night operator, remote site", 0}};
    StartRadio();
    OpenWindow();
    StartFromMenu();

    stationtest::Client client;
    ASSERT_TRUE(client.Connect(static_cast<unsigned>(settings.tcpPort), 5000));
    ASSERT_TRUE(PumpUntil([&] { return Static("clientAddress")->text() == "127.0.0.1"; }, 5000));
    EXPECT_EQ(Static("userId")->text(), "");

    ASSERT_TRUE(client.LogIn("op1", "Secret!1", 5000));
    ASSERT_TRUE(PumpUntil([&] { return Static("userId")->text() == "op1"; }, 5000));
    EXPECT_EQ(Static("clientAddress")->text(), "127.0.0.1");
    EXPECT_EQ(Find<QPlainTextEdit>("description")->toPlainText(), "Night operator, remote site");
    EXPECT_EQ(Static("sessionTime")->text(), "Unlimited");
    EXPECT_TRUE(SaveScreenshot(*window, "window-client"));

    client.Close();
    ASSERT_TRUE(PumpUntil([&] { return Static("userId")->text().isEmpty(); }, 5000));
    EXPECT_EQ(Static("clientAddress")->text(), "");
    EXPECT_EQ(Find<QPlainTextEdit>("description")->toPlainText(), "");
    EXPECT_EQ(Static("sessionTime")->text(), "");
}

TEST_F(WindowTest, limitedSessionShowsElapsedAndLimit)
{
    testsupport::FakeClock clock;
    struct ClockGuard {
        explicit ClockGuard(brenlow::Clock* c) { CBrenlow::SetClock(c); }
        ~ClockGuard() { CBrenlow::SetClock(nullptr); }
    } guard(&clock);
    settings.users = {{"op1", "pw", "", 0}};
    settings.sessionMinutes = 10;
    StartRadio();
    OpenWindow();
    StartFromMenu();
    stationtest::Client client;
    ASSERT_TRUE(client.Connect(static_cast<unsigned>(settings.tcpPort), 5000));
    ASSERT_TRUE(client.LogIn("op1", "pw", 5000));
    ASSERT_TRUE(PumpUntil([&] { return Static("userId")->text() == "op1"; }, 5000));
    EXPECT_EQ(Static("sessionTime")->text(), "") << "nothing while no time has passed";

    // 5 minutes 7 seconds, in steps the idle limit allows, with something sent after each.
    auto shows = [&](int elapsed) {
        return QStringLiteral("0:%1:%2 / 0:10:00").arg(elapsed / 60, 2, 10, QLatin1Char('0')).arg(elapsed % 60, 2, 10, QLatin1Char('0'));
    };
    for (int step = 1; step <= 12; ++step) {
        clock.Advance(25000);
        ASSERT_TRUE(PumpUntil([&] { return Static("sessionTime")->text() == shows(25 * step); }, 5000)) << step;
        ASSERT_TRUE(client.Send("@@ST;"));
        ASSERT_TRUE(client.ReadUntil("001000;", 5000));
    }
    clock.Advance(7000);
    EXPECT_TRUE(PumpUntil([&] { return Static("sessionTime")->text() == "0:05:07 / 0:10:00"; }, 5000)) << Static("sessionTime")->text().toStdString();
    client.Close();
    ASSERT_TRUE(PumpUntil([&] { return Static("userId")->text().isEmpty(); }, 5000));
    window.reset();
}

// A radio slow to answer keeps the start waiting for the identity long enough to act during it.
radiosim::Options SlowRadio()
{
    radiosim::Options slow;
    slow.delayMs = 300;
    return slow;
}

TEST_F(WindowTest, windowIsDisabledWithTheWaitCursorWhileAStartRunsAndRefusesCommands)
{
    StartRadio(SlowRadio());
    OpenWindow();
    struct Seen {
        bool busy = false;
        bool enabled = true;
        bool waitCursor = false;
        bool controlClickIgnored = false;
    } seen;
    int busyCount = 0;
    QObject scope;
    QObject::connect(&window->Controller(), &StationController::BusyChanged, &scope, [&](bool busy) {
        if (!busy || busyCount++ > 0)
            return;
        // Seen by the user at the first moment of the busy state.
        QMetaObject::invokeMethod(
            &scope,
            [&] {
                seen.busy = window->Controller().Busy();
                seen.enabled = window->isEnabled();
                const QCursor* c = QGuiApplication::overrideCursor();
                seen.waitCursor = c && c->shape() == Qt::WaitCursor;
                QTest::mouseClick(Button("controlButton"), Qt::LeftButton);
                Action("offItem")->trigger();
                seen.controlClickIgnored = window->Controller().Busy();
            },
            Qt::QueuedConnection);
    });
    Action("onItem")->trigger();
    ASSERT_TRUE(PumpUntil([&] { return window->Controller().Running() && !window->Controller().Busy(); }, 10000));
    PumpFor(50);
    EXPECT_EQ(busyCount, 1);
    ASSERT_TRUE(seen.busy) << "looked during the start";
    EXPECT_FALSE(seen.enabled);
    EXPECT_TRUE(seen.waitCursor);
    EXPECT_TRUE(seen.controlClickIgnored);
    EXPECT_TRUE(window->Controller().Running()) << "the clicks during the start stopped nothing";
    EXPECT_TRUE(window->isEnabled());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(stationtest::Count(Log(), "- END -"), 0u);
}

TEST_F(WindowTest, closeAskedForDuringAStartEndsInACleanStopWithTheEndLine)
{
    StartRadio(SlowRadio());
    OpenWindow();
    QSignalSpy closed(window.get(), &CHostDlg::Closed);
    bool asked = false;
    bool askedWhileBusy = false;
    QObject scope;
    QObject::connect(&window->Controller(), &StationController::BusyChanged, &scope, [&](bool busy) {
        if (busy && !asked) {
            asked = true;
            QMetaObject::invokeMethod(
                window.get(),
                [&] {
                    askedWhileBusy = window->Controller().Busy();
                    window->close();
                },
                Qt::QueuedConnection);
        }
    });
    Action("onItem")->trigger();
    ASSERT_TRUE(PumpUntil([&] { return closed.count() == 1; }, 15000));
    EXPECT_TRUE(askedWhileBusy) << "the close came during the start";
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->Controller().Running());
    const std::string log = Log();
    const std::size_t start = log.find("- START - Successful");
    const std::size_t end = log.find("- END - End VEXA.");
    ASSERT_NE(start, std::string::npos) << log;
    ASSERT_NE(end, std::string::npos) << log;
    EXPECT_LT(start, end);
    EXPECT_EQ(stationtest::Count(log, "- END - End VEXA."), 1u);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(WindowTest, closingWhileRunningStopsTheStationOnceAndSavesThePosition)
{
    StartRadio();
    OpenWindow();
    StartFromMenu();
    QSignalSpy closed(window.get(), &CHostDlg::Closed);
    window->close();
    ASSERT_TRUE(PumpUntil([&] { return closed.count() == 1; }, 10000));
    EXPECT_EQ(stationtest::Count(Log(), "- END - End VEXA."), 1u);
    EXPECT_EQ(profile->GetString("WindowPos", "Vexa", "").size(), 10u);
    window.reset();
    EXPECT_EQ(stationtest::Count(Log(), "- END - End VEXA."), 1u);
}

TEST_F(WindowTest, undetectedRadioShowsTheErrorBoxOwnedByTheWindow)
{
    radiosim::Options silent;
    silent.silent = true;
    StartRadio(silent);
    OpenWindow();
    QMessageBox* box = StartIntoErrorBox();
    ASSERT_NE(box, nullptr);
    const QString port = QString::fromStdString("COM1 (" + settings.device + ")");
    EXPECT_EQ(box->text(), " An unknown device is connected to " + port +
                               ", or the Baud rate in this software does not mutch in the Transceiver.\n Check the status "
                               "of " + port + ".\n");
    EXPECT_TRUE(SaveScreenshot(*box, "error-not-detected"));
    CloseErrorBox(box);
}

// A serial device that does not open: the log's line as it always was, and a box that names the
// port with its device and the system's reason.
struct DeviceCase {
    const char* name;
    void (*make)(const std::filesystem::path& device);  // null: nothing there
    const char* reason;
};
void PrintTo(const DeviceCase& c, std::ostream* os) { *os << c.name; }

const DeviceCase kDeviceCases[] = {
    {"missing", nullptr, "No such file or directory"},
    {"folder", [](const std::filesystem::path& p) { std::filesystem::create_directories(p); }, "Is a directory"},
    {"plainFile", [](const std::filesystem::path& p) { std::ofstream(p) << "not a serial line"; },
     "Inappropriate ioctl for device"},
};

class SerialDeviceFailure : public WindowTest, public ::testing::WithParamInterface<DeviceCase> {};

TEST_P(SerialDeviceFailure, showsTheErrorBoxWithTheDeviceAndTheReason)
{
    const DeviceCase& c = GetParam();
    const std::filesystem::path device = dir.Path() / "radio-tty";
    if (c.make)
        c.make(device);
    settings.device = device.string();
    OpenWindow();
    QSignalSpy finished(&window->Controller(), &StationController::StartFinished);
    QMessageBox* box = StartIntoErrorBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral(" Can not open COM1 (%1).\n %2.\n The device of each port is set in Control > "
                                          "Setup.\n")
                               .arg(QString::fromStdString(device.string()), QLatin1String(c.reason)));
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.first().first().value<StartResult>(), StartResult::SerialPortFailed);
    EXPECT_NE(Log().find("- START - Failed. Can not open COM1.\r\n"), std::string::npos) << "the log line as it was";
    if (std::string(c.name) == "missing") {
        EXPECT_TRUE(SaveScreenshot(*box, "error-serial-device"));
    }
    CloseErrorBox(box);
}

INSTANTIATE_TEST_SUITE_P(Table, SerialDeviceFailure, ::testing::ValuesIn(kDeviceCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Power Switch asks before it switches the radio off under a logged-in client or during a
// transmission; "Leave On" sends nothing, "Switch Off" the switch-off, and a radio that went off
// while the question was up is not switched on again.
TEST_F(WindowTest, powerSwitchAsksBeforeSwitchingOffUnderAClientOrOnTheAir)
{
    settings.users = {{"op1", "Secret!1", "", 0}};
    StartRadio();
    OpenWindow();
    StartFromMenu();
    ASSERT_TRUE(PumpUntil([&] { return Lit("powerSwitchButton"); }, 5000));
    stationtest::Client client;
    ASSERT_TRUE(client.Connect(static_cast<unsigned>(settings.tcpPort), 5000));
    ASSERT_TRUE(client.LogIn("op1", "Secret!1", 5000));
    ASSERT_TRUE(PumpUntil([&] { return Static("userId")->text() == "op1"; }, 5000));

    auto ask = [&](QWidget* from) -> QMessageBox* {
        if (auto* button = qobject_cast<QPushButton*>(from))
            QTest::mouseClick(button, Qt::LeftButton);
        else
            Action("powerSwitchItem")->trigger();
        QMessageBox* box = nullptr;
        PumpUntil([&] { return (box = OpenMessageBox("powerOffQuestion")) != nullptr; }, 5000);
        return box;
    };
    auto answer = [&](QMessageBox* box, const char* button) {
        QTest::mouseClick(box->findChild<QPushButton*>(QLatin1String(button)), Qt::LeftButton);
        return PumpUntil([&] { return OpenMessageBox("powerOffQuestion") == nullptr; }, 5000);
    };

    radio->ClearReceived();
    QMessageBox* box = ask(Button("powerSwitchButton"));
    ASSERT_NE(box, nullptr) << "a client is logged in";
    EXPECT_EQ(box->windowTitle(), "Power Switch");
    EXPECT_EQ(box->text(), "The remote operator op1 is logged in and works the radio.\n\nSwitch the radio off?");
    EXPECT_EQ(box->defaultButton(), box->findChild<QPushButton*>("leaveOn"));
    EXPECT_EQ(window->PowerQuestion(), box);
    EXPECT_TRUE(SaveScreenshot(*box, "power-off-question"));
    ASSERT_TRUE(answer(box, "leaveOn"));
    // The client's command reaches the radio after anything the window had sent.
    ASSERT_TRUE(client.Send("FA;"));
    ASSERT_TRUE(radio->WaitReceived("FA;", 5000));
    EXPECT_EQ(radio->Received().find("PS9;"), std::string::npos) << radio->Received();
    EXPECT_TRUE(Lit("powerSwitchButton"));

    radio->Inject("TX0;");
    ASSERT_TRUE(PumpUntil([&] { return window->Controller().Transmitting(); }, 5000));
    box = ask(nullptr);  // the Radio menu's item asks too
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "The remote operator op1 is logged in, and the radio is transmitting.\n\nSwitch the radio off?");
    ASSERT_TRUE(answer(box, "switchOff"));
    EXPECT_TRUE(radio->WaitReceived("PS9;", 5000));
    ASSERT_TRUE(PumpUntil([&] { return !Lit("powerSwitchButton"); }, 5000));

    // Off, the switch switches on without a question.
    radio->ClearReceived();
    QTest::mouseClick(Button("powerSwitchButton"), Qt::LeftButton);
    EXPECT_TRUE(radio->WaitReceived("PS1;", 5000));
    EXPECT_EQ(OpenMessageBox("powerOffQuestion"), nullptr);
    ASSERT_TRUE(PumpUntil([&] { return Lit("powerSwitchButton"); }, 5000));

    // The client leaves; a transmission alone is asked about. The radio goes off by its own
    // switch while the question is up: "Switch Off" then sends nothing.
    client.Close();
    ASSERT_TRUE(PumpUntil([&] { return Static("userId")->text().isEmpty(); }, 5000));
    radio->Inject("TX0;");
    ASSERT_TRUE(PumpUntil([&] { return window->Controller().Transmitting(); }, 5000));
    box = ask(Button("powerSwitchButton"));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "The radio is transmitting.\n\nSwitch the radio off?");
    radio->SetPower(0);
    ASSERT_TRUE(PumpUntil([&] { return !Lit("powerSwitchButton"); }, 5000));
    radio->ClearReceived();
    ASSERT_TRUE(answer(box, "switchOff"));
    ASSERT_TRUE(PumpUntil([&] { return radio->Received().find("PS;") != std::string::npos; }, 5000))
        << "the next poll, after anything the answer had sent";
    EXPECT_EQ(radio->Received().find("PS1;"), std::string::npos) << radio->Received();
    EXPECT_FALSE(Lit("powerSwitchButton"));
}

// The access log's folder is a file: the start's line cannot be written, and neither can the
// session thread's line for the client; the thread waits in its box until the operator answers.
TEST_F(WindowTest, accessLogAlertsShowAStopBoxAndHoldTheSessionThreadUntilAnswered)
{
    StartRadio();
    stationtest::WriteSettings(*profile, settings);
    std::filesystem::remove_all(logFolder);
    { std::ofstream(logFolder) << "not a folder"; }
    MakeWindow();
    window->Open(0);
    Action("onItem")->trigger();
    QMessageBox* box = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (box = OpenMessageBox("alertMessage")) != nullptr; }, 10000));
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    EXPECT_TRUE(box->text().startsWith("VEXA Log:File Open Error!!")) << box->text().toStdString();
    EXPECT_TRUE(box->text().contains(QString::fromStdString(logFolder.string()))) << "the file it tried";
    EXPECT_TRUE(PumpUntil([&] { return window->Controller().Running() && !window->Controller().Busy(); }, 10000))
        << "the window goes on while the box is up";
    EXPECT_TRUE(SaveScreenshot(*box, "alert-log"));
    box->close();
    ASSERT_TRUE(PumpUntil([&] { return OpenMessageBox("alertMessage") == nullptr; }, 5000));

    stationtest::Client client;
    ASSERT_TRUE(client.Connect(static_cast<unsigned>(settings.tcpPort), 5000));
    ASSERT_TRUE(PumpUntil([&] { return (box = OpenMessageBox("alertMessage")) != nullptr; }, 10000));
    ASSERT_TRUE(client.Send("UID:x;"));
    EXPECT_FALSE(client.ReadUntil("UID:", 300)) << "the session thread waits for the operator";
    box->close();
    EXPECT_TRUE(client.ReadUntil("UID:OK;", 5000));
    client.Close();
    // Closing the host lets a thread still waiting in a box go.
    window->close();
    ASSERT_TRUE(PumpUntil([&] { return !window->isVisible(); }, 15000));
}

}  // namespace
}  // namespace windowtest
