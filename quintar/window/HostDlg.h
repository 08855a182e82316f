// CHostDlg, the station's main window: the status panel, its menu and lamps, the splash at
// start-up, help by context, the saved position and the teardown. It only shows the station
// controller's state and forwards the operator's commands to it; it holds no station logic.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QPointer>

#include <array>
#include <memory>

#include "AboutDlg.h"
#include "ControlTable.h"
#include "StationController.h"

class CStaticEx;
class QAction;
class QMenuBar;
class QMessageBox;
class QPlainTextEdit;
class QPushButton;

namespace quintar {

class SettingsProfile;
class CSetupDlg;
class HostHelp;
class WindowReport;

class CHostDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kSplashHoldMs = 1000;

    // The window of `controller`'s station, whose messages `report` shows from the start on;
    // `helpFile` is the compiled help the window opens (HostHelp::DefaultFile() for the program).
    CHostDlg(SettingsProfile& profile, StationController& controller, WindowReport& report, QString helpFile,
             QWidget* parent = nullptr);
    ~CHostDlg() override;

    // Start-up: shows the splash, builds the panel on the station controller, restores the saved
    // position, holds the splash for `splashMs` (a click closes it sooner), then shows the window
    // and emits Opened.
    void Open(int splashMs = kSplashHoldMs);

    StationController& Controller() { return controller_; }
    HostHelp& Help() { return *help_; }
    // The splash while it is up, else null.
    CAboutDlg* Splash() const { return splash_; }
    // The Setup dialog while it is open, else null.
    CSetupDlg* SetupDialog() const;
    // The question before the power switch interrupts a session or a transmission, while it is up.
    QMessageBox* PowerQuestion() const { return powerQuestion_; }
    // The context number of the topic F1 opens now.
    int F1Context() const;

    // The panel font: a sans-serif face at the largest pixel size (12 at most) at which every
    // text of the panel fits its box, whatever the desktop's font size.
    static QFont PanelFont();

public slots:
    // Closing as the close button does: the window's position is saved, a running station is
    // stopped (its END line written), then the window closes. A close asked for while the station
    // starts or stops is carried out when that has ended.
    void BeginClose();
    void OnSetup();
    // Another launch of the program found this one: the window comes to the front (restored when
    // minimised), with a dialog open over it on top.
    void BringToFront();

signals:
    void Opened();
    // The close path has begun.
    void CloseBegun();
    // The window has closed after its teardown; the host may end.
    void Closed();
    // Every help request, with its context number.
    void HelpRequested(int context);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void reject() override {}  // Escape and the like never close the station's window

private:
    enum class Menu { Control, Radio, Help };
    // One item of the main menu, in menu order; a row without a name is a separator.
    struct MenuRow {
        Menu menu;
        const char* name;
        const char* text;
        bool initiallyEnabled;
        void (CHostDlg::*run)();
    };
    static const MenuRow kMenu[];
    void OnStart();
    void OnStop();
    void OnControl();
    void OnPowerSwitch();
    void OnHelpTopics();

    void BuildPanel();
    void BuildMenu();
    void ConnectController();
    void ClearPanelTexts();
    void ShowLamp(QPushButton* button, const std::array<QIcon, 2>& images, bool lit);
    void ShowOnAir(bool on);
    void SetBusyLook(bool busy);
    void ShowError(const QString& caption, const QString& text);
    void ShowHelp(int context);
    void ShowAbout();
    void FinishSplash();
    void RestorePosition();
    void SavePosition();
    void FinishClose();

    CStaticEx* Static(const char* name) const;

    SettingsProfile& profile_;
    StationController& controller_;
    WindowReport& report_;
    std::unique_ptr<HostHelp> help_;

    QMenuBar* menuBar_ = nullptr;
    QWidget* panel_ = nullptr;
    window::Controls controls_;
    QAction* onItem_ = nullptr;
    QAction* offItem_ = nullptr;
    QPushButton* powerButton_ = nullptr;
    QPushButton* controlButton_ = nullptr;
    QPlainTextEdit* description_ = nullptr;
    std::array<QIcon, 2> controlLamp_;  // unlit, lit
    std::array<QIcon, 2> powerLamp_;
    QPointer<CAboutDlg> splash_;
    QPointer<CSetupDlg> setup_;
    QPointer<QMessageBox> powerQuestion_;

    bool busyLook_ = false;
    bool closing_ = false;      // the close path has begun
    bool closeReady_ = false;   // the controller let the window go
    bool inCloseEvent_ = false;
};

}  // namespace quintar
