// The main window: start-up with the splash, the panel and menu built from their tables, the
// controller's state shown as it changes, commands forwarded, help, About, the saved position and
// the close path.
#include "HostDlg.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>

#include "AboutDlg.h"
#include "Artwork.h"
#include "HostHelp.h"
#include "PanelLayout.h"
#include "SettingsModel.h"
#include "SettingsProfile.h"
#include "StyledControls.h"
#include "Utilities.h"
#include "SetupDlg.h"
#include "WindowParts.h"
#include "WindowReport.h"

namespace quintar {

namespace names = window::names;

namespace {

bool PanelTextsFit(const QFont& font)
{
    auto fits = [&](const char* text, const QRect& rect, bool bold) {
        QFont f = font;
        f.setBold(bold);
        const QFontMetrics m(f);
        return m.horizontalAdvance(QString::fromLatin1(text)) <= rect.width() && m.height() <= rect.height() + 1;
    };
    for (const window::ControlRow& c : window::kPanelControls)
        if (c.kind == window::Kind::Static || c.kind == window::Kind::Indicator)
            if (!fits(c.text, c.rect, c.style == window::Style::Bold))
                return false;
    for (const window::WidestText& w : window::kWidestTexts)
        if (!fits(w.text, window::FindRow(window::kPanelControls, w.name)->rect, w.bold))
            return false;
    return true;
}

QString Latin(const char* text)
{
    return QString::fromLatin1(text);
}

}  // namespace

// The main menu, menu by menu: "menuControl", "menuRadio", "menuHelp".
const CHostDlg::MenuRow CHostDlg::kMenu[] = {
    {Menu::Control, "onItem", "ON (&N)", true, &CHostDlg::OnStart},
    {Menu::Control, "offItem", "OFF (&F)", false, &CHostDlg::OnStop},
    {Menu::Control, nullptr, nullptr, true, nullptr},
    {Menu::Control, "setupItem", "Setup (&S)...", true, &CHostDlg::OnSetup},
    {Menu::Radio, "powerSwitchItem", "Power Switch (&W)", true, &CHostDlg::OnPowerSwitch},
    {Menu::Help, "helpTopicsItem", "Help Topics (&H)", true, &CHostDlg::OnHelpTopics},
    {Menu::Help, nullptr, nullptr, true, nullptr},
    {Menu::Help, "aboutItem", "About Quintar (&A)...", true, &CHostDlg::ShowAbout},
};

void CHostDlg::OnStart()
{
    controller_.Start();
}

void CHostDlg::OnStop()
{
    controller_.Stop(StationController::StopCause::Command);
}

void CHostDlg::OnControl()
{
    controller_.Control(StationController::StopCause::Command);
}

// Switching the radio off under a remote operator, or in the middle of a transmission, is asked
// first; every other use of the switch acts at once.
void CHostDlg::OnPowerSwitch()
{
    if (!controller_.PowerSwitchInterrupts()) {
        controller_.PowerSwitch();
        return;
    }
    if (powerQuestion_) {
        powerQuestion_->activateWindow();
        return;
    }
    const StationController& c = controller_;
    QString why;
    if (c.ClientLoggedIn() && c.Transmitting())
        why = QStringLiteral("The remote operator %1 is logged in, and the radio is transmitting.").arg(c.UserId());
    else if (c.ClientLoggedIn())
        why = QStringLiteral("The remote operator %1 is logged in and works the radio.").arg(c.UserId());
    else
        why = QStringLiteral("The radio is transmitting.");
    auto* box = new QMessageBox(QMessageBox::Question, QStringLiteral("Power Switch"),
                                why + QStringLiteral("\n\nSwitch the radio off?"), QMessageBox::NoButton, this);
    box->setObjectName(QStringLiteral("powerOffQuestion"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton* off = box->addButton(QStringLiteral("&Switch Off"), QMessageBox::AcceptRole);
    off->setObjectName(QStringLiteral("switchOff"));
    QPushButton* keep = box->addButton(QStringLiteral("&Leave On"), QMessageBox::RejectRole);
    keep->setObjectName(QStringLiteral("leaveOn"));
    box->setDefaultButton(keep);
    box->setEscapeButton(keep);
    connect(box, &QMessageBox::finished, this, [this, box, off] {
        // The radio may have gone off while the question was up; the switch would then turn it on.
        if (box->clickedButton() == off && controller_.RadioPowerOn())
            controller_.PowerSwitch();
    });
    powerQuestion_ = box;
    box->open();
}

void CHostDlg::OnHelpTopics()
{
    emit HelpRequested(2);
}

QFont CHostDlg::PanelFont()
{
    return window::FittingFont(PanelTextsFit);
}

CHostDlg::CHostDlg(SettingsProfile& profile, StationController& controller, WindowReport& report, QString helpFile,
                   QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      profile_(profile),
      controller_(controller),
      report_(report),
      help_(std::make_unique<HostHelp>(std::move(helpFile), this))
{
    setObjectName(QStringLiteral("CHostDlg"));
    // The controls copy the window's font when they are made.
    setFont(PanelFont());
    connect(this, &CHostDlg::HelpRequested, this, &CHostDlg::ShowHelp);
    connect(&controller_, &StationController::CloseReady, this, &CHostDlg::FinishClose);
}

CHostDlg::~CHostDlg()
{
    delete splash_;
    delete powerQuestion_;  // its answer must not reach the controller after the window
    report_.AttachWindow(nullptr);
    if (busyLook_)
        QGuiApplication::restoreOverrideCursor();
}

void CHostDlg::Open(int splashMs)
{
    setWindowIcon(window::ApplicationIcon());

    splash_ = new CAboutDlg(this);
    splash_->setObjectName(QStringLiteral("splash"));
    connect(splash_, &QDialog::finished, this, &CHostDlg::FinishSplash);
    splash_->show();
    DoEvents();

    report_.AttachWindow(this);
    BuildMenu();
    BuildPanel();
    ConnectController();
    ClearPanelTexts();
    ShowLamp(powerButton_, powerLamp_, false);
    ShowLamp(controlButton_, controlLamp_, false);
    RestorePosition();

    setWindowTitle(QString::fromStdString(WindowTitle(controller_.Options())));

    if (splashMs <= 0)
        FinishSplash();
    else
        QTimer::singleShot(splashMs, this, &CHostDlg::FinishSplash);
}

void CHostDlg::FinishSplash()
{
    if (!splash_ || isVisible())
        return;
    CAboutDlg* splash = splash_;
    splash_ = nullptr;
    splash->disconnect(this);
    splash->hide();
    splash->deleteLater();
    if (closing_)
        return;
    show();
    emit Opened();
}

// ---- Panel and menu ---------------------------------------------------------------------------

void CHostDlg::BuildMenu()
{
    static constexpr struct {
        const char* title;
        const char* name;
    } kMenus[] = {{"Control (&C)", "menuControl"}, {"Radio (&R)", "menuRadio"}, {"Help (&H)", "menuHelp"}};
    menuBar_ = new QMenuBar(this);
    menuBar_->setObjectName(QStringLiteral("menuBar"));
    QMenu* menu = nullptr;
    Menu current{};
    for (const MenuRow& row : kMenu) {
        if (!menu || row.menu != current) {
            current = row.menu;
            menu = menuBar_->addMenu(Latin(kMenus[static_cast<int>(current)].title));
            menu->setObjectName(Latin(kMenus[static_cast<int>(current)].name));
        }
        if (!row.name) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(Latin(row.text));
        action->setObjectName(Latin(row.name));
        action->setEnabled(row.initiallyEnabled);
        connect(action, &QAction::triggered, this, row.run);
    }
    onItem_ = menuBar_->findChild<QAction*>(QStringLiteral("onItem"));
    offItem_ = menuBar_->findChild<QAction*>(QStringLiteral("offItem"));

    window::AddHelpKey(this, [this] { emit HelpRequested(F1Context()); });
}

void CHostDlg::BuildPanel()
{
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(0);
    layout->setMenuBar(menuBar_);
    // The window is the menu and the panel, no larger and never resized. The top frame's line runs
    // through the middle of its title: the panel moves down until that line keeps the margin of
    // the other sides (a pixel or two, by the font's height).
    layout->setSizeConstraint(QLayout::SetFixedSize);
    const QRect top = window::FindRow(window::kPanelControls, names::kRadioStatus)->rect;
    layout->setContentsMargins(0, std::max(0, top.x() - top.y() - window::GroupFrame::LineOffset(font())), 0, 0);
    panel_ = new QWidget(this);
    panel_->setObjectName(QStringLiteral("panel"));
    panel_->setFixedSize(window::kPanelSize);
    layout->addWidget(panel_);

    controlLamp_ = window::ControlLampImages();
    powerLamp_ = window::PowerLampImages();

    controls_ = window::BuildControls(panel_, window::kPanelControls);
    powerButton_ = controls_.Get<QPushButton>(names::kPowerSwitch);
    controlButton_ = controls_.Get<QPushButton>(names::kControl);
    powerButton_->setIconSize(window::kPowerLampSize);
    controlButton_->setIconSize(window::kControlLampSize);
    connect(powerButton_, &QPushButton::clicked, this, &CHostDlg::OnPowerSwitch);
    connect(controlButton_, &QPushButton::clicked, this, &CHostDlg::OnControl);

    description_ = controls_.Get<QPlainTextEdit>(names::kDescription);
    description_->setReadOnly(true);
    description_->setFocusPolicy(Qt::TabFocus);  // never focused by a click
    description_->setFont(font());
    description_->installEventFilter(this);
    description_->viewport()->installEventFilter(this);
}

CStaticEx* CHostDlg::Static(const char* name) const
{
    return controls_.Get<CStaticEx>(name);
}

void CHostDlg::ConnectController()
{
    StationController* c = &controller_;
    connect(c, &StationController::ModelNameChanged, Static(names::kModelName), &QLabel::setText);
    connect(c, &StationController::UserIdChanged, this, [this](const QString& v) {
        Static(names::kUserId)->setText(v);
        Static(names::kUserId)->setToolTip(v);
    });
    connect(c, &StationController::ClientAddressChanged, Static(names::kAddress), &QLabel::setText);
    connect(c, &StationController::DescriptionChanged, description_, &QPlainTextEdit::setPlainText);
    connect(c, &StationController::SessionTimeChanged, Static(names::kSessionTime), &QLabel::setText);
    connect(c, &StationController::PowerLampChanged, this, [this](bool lit) { ShowLamp(powerButton_, powerLamp_, lit); });
    connect(c, &StationController::ControlLampChanged, this,
            [this](bool lit) { ShowLamp(controlButton_, controlLamp_, lit); });
    connect(c, &StationController::OnAirChanged, this, &CHostDlg::ShowOnAir);
    connect(c, &StationController::BusyChanged, this, &CHostDlg::SetBusyLook);
    connect(c, &StationController::StartedChanged, this, [this](bool started) {
        onItem_->setEnabled(!started);
        offItem_->setEnabled(started);
    });
    connect(c, &StationController::ControlEnabledChanged, controlButton_, &QWidget::setEnabled);
    connect(c, &StationController::FocusRequested, this, [this](StationController::FocusTarget target) {
        (target == StationController::FocusTarget::PowerSwitch ? powerButton_ : controlButton_)->setFocus();
    });
    connect(c, &StationController::ErrorMessage, this, &CHostDlg::ShowError);
    // Only logged by the design, this failure would leave the operator with nothing to see.
    connect(c, &StationController::SerialPortUnavailable, this, [this](const QString& port, const QString& reason) {
        const QString stop = reason.endsWith(QLatin1Char('.')) ? QString() : QStringLiteral(".");
        ShowError(QStringLiteral("Error!"),
                  QStringLiteral(" Can not open %1.\n %2%3\n The device of each port is set in Control > Setup.\n")
                      .arg(port, reason, stop));
    });
    connect(c, &StationController::Warning, this,
            [](const QString& text) { std::fprintf(stderr, "quintar: %s\n", text.toLocal8Bit().constData()); });

    onItem_->setEnabled(!c->Started());
    offItem_->setEnabled(c->Started());
    controlButton_->setEnabled(c->ControlEnabled());
}

void CHostDlg::ClearPanelTexts()
{
    for (const char* name : {names::kUserId, names::kAddress, names::kSessionTime, names::kModelName})
        Static(name)->setText(QString());
    description_->clear();
    ShowOnAir(false);
}

void CHostDlg::ShowLamp(QPushButton* button, const std::array<QIcon, 2>& images, bool lit)
{
    button->setIcon(images[lit ? 1 : 0]);
    button->setProperty("lit", lit);
}

void CHostDlg::ShowOnAir(bool on)
{
    CStaticEx* s = Static(names::kOnAir);
    const QPalette system = QApplication::palette();
    s->setText(on ? QStringLiteral("ONAIR") : QString());
    s->SetForeColor(on ? orvelle::Rgb(255, 255, 255) : orvelle::ToColorRef(system.color(QPalette::WindowText)));
    s->SetBackColor(on ? orvelle::Rgb(255, 0, 0) : orvelle::ToColorRef(system.color(QPalette::Button)));
    // Off, the panel shows through, as the button face it was always drawn in did; a frame
    // drawn with a tint would otherwise show the box.
    s->setAutoFillBackground(on);
}

// ---- Busy state, messages, help, About ----------------------------------------------------------

void CHostDlg::SetBusyLook(bool busy)
{
    if (busy && !busyLook_) {
        busyLook_ = true;
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        setEnabled(false);
    } else if (!busy && busyLook_) {
        busyLook_ = false;
        setEnabled(true);
        QGuiApplication::restoreOverrideCursor();
    }
}

void CHostDlg::ShowError(const QString& caption, const QString& text)
{
    auto* box = new QMessageBox(QMessageBox::Warning, caption, text, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("errorMessage"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

int CHostDlg::F1Context() const
{
    if (!controller_.ServerOpen())
        return 8;
    return controller_.RadioPowerOn() ? 2 : 26;
}

void CHostDlg::ShowHelp(int context)
{
    help_->Show(context);
}

void CHostDlg::ShowAbout()
{
    auto* about = new CAboutDlg(this);
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->open();
}

// The Setup dialog, at any time, also while the station runs: the station reads its serial and
// TCP settings at the next start, the library the others as it needs them.
void CHostDlg::OnSetup()
{
    if (setup_) {
        setup_->activateWindow();
        return;
    }
    auto* setup = new CSetupDlg(profile_, controller_.LocalAddress(), this);
    setup->setAttribute(Qt::WA_DeleteOnClose);
    connect(setup, &CSetupDlg::HelpRequested, this, &CHostDlg::HelpRequested);
    setup_ = setup;
    setup->open();
}

CSetupDlg* CHostDlg::SetupDialog() const
{
    return setup_;
}

void CHostDlg::BringToFront()
{
    if (!isVisible() || closing_)
        return;  // still starting (the splash is up) or already going
    setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
    // A dialog open over the window stays in front of it.
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != this) {
        modal->raise();
        modal->activateWindow();
    }
}

// ---- Keyboard and mouse ------------------------------------------------------------------------

void CHostDlg::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

// The description can be neither focused nor selected with the mouse while the window is active.
bool CHostDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (description_ && (watched == description_ || watched == description_->viewport())) {
        const QEvent::Type type = event->type();
        if ((type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) && isActiveWindow()) {
            const auto button = static_cast<QMouseEvent*>(event)->button();
            if (button == Qt::LeftButton || button == Qt::RightButton)
                return true;
        }
        if (type == QEvent::ContextMenu && isActiveWindow())
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

// ---- Position -----------------------------------------------------------------------------------

// "%05d%05d": top, then left, of the window's frame on the desktop.
void CHostDlg::RestorePosition()
{
    const QString saved = QString::fromStdString(settings::ReadText(profile_, settings::Id::WindowPosition));
    if (saved.size() != 10)
        return;
    bool topOk = false, leftOk = false;
    const int top = saved.left(5).toInt(&topOk);
    const int left = saved.mid(5, 5).toInt(&leftOk);
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!topOk || !leftOk || !screen)
        return;
    const QRect desktop = screen->virtualGeometry();
    if (top > 0 && left > 0 && top < desktop.y() + desktop.height() && left < desktop.x() + desktop.width())
        move(left, top);
}

void CHostDlg::SavePosition()
{
    const QPoint at = frameGeometry().topLeft();
    char text[16];
    std::snprintf(text, sizeof text, "%05d%05d", std::clamp(at.y(), 0, 99999), std::clamp(at.x(), 0, 99999));
    profile_.WriteString(settings::SectionOf(settings::Id::WindowPosition), settings::KeyOf(settings::Id::WindowPosition),
                         text);
}

// ---- Closing ------------------------------------------------------------------------------------

void CHostDlg::closeEvent(QCloseEvent* event)
{
    if (!closeReady_) {
        inCloseEvent_ = true;
        BeginClose();
        inCloseEvent_ = false;
    }
    // Closes now when the controller let the window go at once; else FinishClose closes it.
    event->setAccepted(closeReady_);
}

void CHostDlg::BeginClose()
{
    if (closing_)
        return;
    closing_ = true;
    emit CloseBegun();
    report_.Dismiss();
    if (powerQuestion_)
        powerQuestion_->close();  // as "Leave On"
    if (splash_)
        FinishSplash();
    if (isVisible())
        SavePosition();
    // The controller ends a voice call and the station in the teardown's order, after a start
    // under way has ended.
    controller_.RequestClose();
}

void CHostDlg::FinishClose()
{
    if (closeReady_)
        return;
    closeReady_ = true;
    if (!inCloseEvent_ && isVisible())
        close();
    emit Closed();
}

}  // namespace quintar
