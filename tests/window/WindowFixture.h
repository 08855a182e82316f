// The fixture of the window tests: a real profile file and log folder, the simulated radio on a
// pseudo-terminal, and the station's main window on the offscreen platform, with its controls
// found by object name and pictures of it written into the build folder.
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QMargins>
#include <QMessageBox>
#include <QPushButton>
#include <QString>

#include <filesystem>
#include <ostream>
#include <memory>
#include <string>

#include "Brenlow.h"
#include "HostDlg.h"
#include "HostHelp.h"
#include "SettingsModel.h"
#include "RadioSim.h"
#include "SettingsProfile.h"
#include "StartChecklist.h"
#include "StationController.h"
#include "StationTestSupport.h"
#include "StyledControls.h"
#include "TestSupport.h"
#include "WindowReport.h"

// Readable values in the tests' failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace windowtest {

using quintar::CHostDlg;
using quintar::StationController;
using stationtest::PumpFor;
using stationtest::PumpUntil;

// Where the tests write their pictures.
std::filesystem::path ScreenshotDir();
// Writes the widget's picture as <name>.png into the screenshot folder; false if that failed.
bool SaveScreenshot(QWidget& widget, const std::string& name);

// The compiled help the build made.
QString BuiltHelpFile();

// The message box of `objectName` that is open now, or null.
QMessageBox* OpenMessageBox(const char* objectName);

// The distances of the lines drawn in exactly `line` (the panel's frames) from the edges of `area`
// of `picture`, in the window's pixels: left, top, right, bottom. All -1 when there is no line.
QMargins LineMargins(const QImage& picture, const QRect& area, const QColor& line);

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    radiosim::RadioSim& StartRadio(radiosim::Options options = {});
    // A new station on the profile, with the window's reports, and its window (not opened yet).
    CHostDlg& MakeWindow(quintar::HostOptions options = {}, QString helpFile = BuiltHelpFile());
    // Writes the settings, makes the window and opens it without holding the splash.
    CHostDlg& OpenWindow(quintar::HostOptions options = {}, QString helpFile = BuiltHelpFile());

    // Starts the station from the Control menu and waits until the radio's answers to the start's
    // reads have been shown.
    void StartFromMenu();
    // Starts from the Control menu into a failure: the "Error!" box that comes up, owned by the
    // window with the exclamation icon (checked), or null.
    QMessageBox* StartIntoErrorBox();
    // Closes that box with Enter; the station stays stopped and "ON" can be chosen again.
    void CloseErrorBox(QMessageBox* box);

    template <class T>
    T* Find(const char* name) const
    {
        return window->findChild<T*>(QLatin1String(name));
    }
    CStaticEx* Static(const char* name) const { return Find<CStaticEx>(name); }
    QAction* Action(const char* name) const { return Find<QAction>(name); }
    QPushButton* Button(const char* name) const { return Find<QPushButton>(name); }
    bool Lit(const char* button) const { return Button(button)->property("lit").toBool(); }
    std::string Log() const { return stationtest::ReadLog(logFolder); }

    testsupport::TempDir dir;
    std::filesystem::path profileFile;
    std::filesystem::path logFolder;
    stationtest::StationSettings settings;
    std::unique_ptr<quintar::SettingsProfile> profile;
    std::unique_ptr<radiosim::RadioSim> radio;
    std::unique_ptr<quintar::WindowReport> report;
    std::unique_ptr<quintar::Station> station;
    std::unique_ptr<CHostDlg> window;
};

}  // namespace windowtest
