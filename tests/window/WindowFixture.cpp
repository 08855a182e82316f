// The window tests' fixture and helpers, and their main: one offscreen application per process.
#include "WindowFixture.h"

#include <QDir>
#include <QTest>

#include <algorithm>
#include <climits>

namespace windowtest {

std::filesystem::path ScreenshotDir()
{
    return WINDOW_SCREENSHOT_DIR;
}

bool SaveScreenshot(QWidget& widget, const std::string& name)
{
    std::filesystem::create_directories(ScreenshotDir());
    const QString file = QString::fromStdString((ScreenshotDir() / (name + ".png")).string());
    return widget.grab().save(file);
}

QString BuiltHelpFile()
{
    return QStringLiteral(QUINTAR_HELP_FILE);
}

QMessageBox* OpenMessageBox(const char* objectName)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible() && box->objectName() == QLatin1String(objectName))
            return box;
    return nullptr;
}

QMargins LineMargins(const QImage& picture, const QRect& area, const QColor& line)
{
    // Lines, not the odd pixel of a title's smoothed edge that happens to have the colour.
    constexpr int kRun = 8;
    const qreal r = picture.devicePixelRatio();
    const QRect pixels(QPoint(int(area.left() * r), int(area.top() * r)), area.size() * r);
    auto on = [&](int x, int y) { return (picture.pixel(x, y) & RGB_MASK) == (line.rgb() & RGB_MASK); };
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
    for (int y = pixels.top(); y <= pixels.bottom(); ++y)
        for (int x = pixels.left(), run = 0; x <= pixels.right(); ++x)
            if ((run = on(x, y) ? run + 1 : 0) == kRun) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    for (int x = pixels.left(); x <= pixels.right(); ++x)
        for (int y = pixels.top(), run = 0; y <= pixels.bottom(); ++y)
            if ((run = on(x, y) ? run + 1 : 0) == kRun) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    if (right < 0 || bottom < 0)
        return {-1, -1, -1, -1};
    return {int((left - pixels.left()) / r), int((top - pixels.top()) / r), int((pixels.right() - right) / r),
            int((pixels.bottom() - bottom) / r)};
}

void WindowTest::SetUp()
{
    CBrenlow::SetListenAddress("127.0.0.1");
    profileFile = dir.Path() / "Quintar.ini";
    logFolder = dir.Path() / "log";
    profile = std::make_unique<quintar::SettingsProfile>(QString::fromStdString(profileFile.string()));
    settings.tcpPort = static_cast<int>(stationtest::FreeTcpPort());
    settings.logFolder = logFolder;
    settings.device = (dir.Path() / "no-such-tty").string();
}

void WindowTest::TearDown()
{
    window.reset();
    station.reset();
    report.reset();
    for (QWidget* w : QApplication::topLevelWidgets())
        w->deleteLater();
    PumpFor(10);
    radio.reset();
    CBrenlow::SetListenAddress("0.0.0.0");
    CBrenlow::SetComPortPath(static_cast<unsigned>(settings.comPort),
                             ("/dev/ttyS" + std::to_string(settings.comPort - 1)).c_str());
}

radiosim::RadioSim& WindowTest::StartRadio(radiosim::Options options)
{
    radio = std::make_unique<radiosim::RadioSim>(options);
    EXPECT_TRUE(radio->Start());
    settings.device = radio->SlavePath();
    return *radio;
}

CHostDlg& WindowTest::MakeWindow(quintar::HostOptions options, QString helpFile)
{
    window.reset();
    station.reset();
    report = std::make_unique<quintar::WindowReport>();
    station = std::make_unique<quintar::Station>(*profile, options, *report);
    window = std::make_unique<CHostDlg>(*profile, station->Controller(), *report, std::move(helpFile));
    return *window;
}

CHostDlg& WindowTest::OpenWindow(quintar::HostOptions options, QString helpFile)
{
    stationtest::WriteSettings(*profile, settings);
    MakeWindow(options, std::move(helpFile));
    window->Open(0);
    EXPECT_TRUE(PumpUntil([&] { return window->isVisible(); }, 5000));
    window->activateWindow();
    EXPECT_TRUE(PumpUntil([&] { return window->isActiveWindow(); }, 5000));
    return *window;
}

void WindowTest::StartFromMenu()
{
    Action("onItem")->trigger();
    ASSERT_TRUE(PumpUntil([&] { return window->Controller().Running() && Lit("controlButton") && !window->Controller().Busy(); }, 10000));
    ASSERT_TRUE(PumpUntil([&] { return radio->Received().find("AI2;") != std::string::npos; }, 5000));
    PumpFor(50);
}

QMessageBox* WindowTest::StartIntoErrorBox()
{
    Action("onItem")->trigger();
    QMessageBox* box = nullptr;
    if (!PumpUntil([&] { return (box = OpenMessageBox("errorMessage")) != nullptr; }, 10000))
        return nullptr;
    EXPECT_EQ(box->windowTitle(), "Error!");
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    EXPECT_EQ(box->parentWidget(), window.get());
    return box;
}

void WindowTest::CloseErrorBox(QMessageBox* box)
{
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_TRUE(PumpUntil([&] { return OpenMessageBox("errorMessage") == nullptr; }, 5000));
    EXPECT_FALSE(window->Controller().Running());
    EXPECT_TRUE(Action("onItem")->isEnabled());
}

}  // namespace windowtest

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Widgets are drawn offscreen unless the caller chose a platform.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
