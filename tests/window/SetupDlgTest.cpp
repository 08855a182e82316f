// The Setup dialog as drawn and as it reads and writes the profile: every control at its place with
// its text and list items and in tab order, the load rules, the one save on OK with the users'
// order reversed, the TCP port and log rules, the serial device, Cancel, and a save that fails.
#include <QAction>
#include <QClipboard>
#include <QFontInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QHeaderView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>


#include "Brenlow.h"
#include "SetupFixture.h"
#include "TlsSecurity.h"
#include "Utilities.h"

namespace windowtest {
namespace {

struct Expected {
    const char* name;
    const char* type;  // class name
    QRect rect;
    const char* text;  // nullptr: not a text control
};

const Expected kSetupDesign[] = {
    {"comPortFrame", "quintar::window::GroupFrame", {11, 12, 179, 74}, "Com Port"},
    {"comPortLabel", "QLabel", {26, 35, 57, 16}, "Port No."},
    {"comPortList", "QComboBox", {86, 30, 95, 22}, nullptr},
    {"baudLabel", "QLabel", {26, 60, 59, 16}, "Baud."},
    {"baudList", "QComboBox", {86, 56, 95, 22}, nullptr},
    {"tcpIpFrame", "quintar::window::GroupFrame", {195, 12, 179, 75}, "TCP/IP"},
    {"localAddressLabel", "QLabel", {210, 32, 56, 16}, "IP Address"},
    {"localAddress", "QLabel", {269, 32, 95, 16}, nullptr},
    {"tcpPortLabel", "QLabel", {210, 58, 56, 16}, "Port No."},
    {"tcpPortEdit", "QLineEdit", {267, 54, 96, 23}, nullptr},
    {"optionFrame", "quintar::window::GroupFrame", {11, 89, 363, 72}, "Option"},
    {"voiceCheck", "QCheckBox", {24, 109, 60, 16}, "&Voice"},
    {"sessionTimeLabel", "QLabel", {114, 109, 71, 16}, "Session Time"},
    {"sessionTimeList", "QComboBox", {188, 105, 95, 22}, nullptr},
    {"minutesLabel", "QLabel", {288, 109, 30, 16}, "min"},
    {"logCheck", "QCheckBox", {24, 135, 60, 16}, "&Log"},
    {"logFolderEdit", "QLineEdit", {87, 133, 251, 21}, nullptr},
    {"browseButton", "QPushButton", {344, 133, 20, 19}, "..."},
    {"usersFrame", "quintar::window::GroupFrame", {11, 163, 363, 172}, "Users"},
    {"userList", "QTreeView", {23, 184, 339, 116}, nullptr},
    {"addButton", "QPushButton", {207, 306, 48, 21}, "Add..."},
    {"deleteButton", "QPushButton", {261, 306, 48, 21}, "Del"},
    {"editButton", "QPushButton", {315, 306, 48, 21}, "Edit..."},
    {"okButton", "QPushButton", {218, 343, 75, 23}, "OK"},
    {"cancelButton", "QPushButton", {299, 343, 75, 23}, "Cancel"},
};

const Expected kUserDesign[] = {
    {"userIdLabel", "QLabel", {11, 14, 89, 14}, "User Name"},
    {"userIdEdit", "QLineEdit", {107, 12, 182, 21}, nullptr},
    {"passwordLabel", "QLabel", {11, 40, 89, 14}, "Password"},
    {"passwordEdit", "QLineEdit", {107, 37, 182, 21}, nullptr},
    {"retypeLabel", "QLabel", {11, 65, 89, 14}, "Retype Password"},
    {"retypeEdit", "QLineEdit", {107, 61, 182, 21}, nullptr},
    {"descriptionLabel", "QLabel", {11, 88, 89, 14}, "Description"},
    {"descriptionEdit", "QPlainTextEdit", {107, 86, 182, 70}, nullptr},
    {"disabledCheck", "QCheckBox", {11, 163, 120, 14}, "User is disabled"},
    {"okButton", "QPushButton", {131, 184, 75, 21}, "OK"},
    {"cancelButton", "QPushButton", {213, 184, 75, 21}, "Cancel"},
};

QString TextOf(QWidget* w)
{
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return button->text();
    return {};
}

std::vector<QString> Items(QComboBox* list)
{
    std::vector<QString> items;
    for (int i = 0; i < list->count(); ++i)
        items.push_back(list->itemText(i));
    return items;
}

// Whether the widget's text fits its box, as its own size hint sees it.
void ExpectFits(QWidget* w, const QString& what)
{
    if (auto* button = qobject_cast<QPushButton*>(w)) {
        const QFontMetrics m(button->font());
        EXPECT_LE(m.horizontalAdvance(button->text()) + 4, button->width()) << what.toStdString();
        EXPECT_LE(m.height(), button->height() - 2) << what.toStdString();
    } else if (qobject_cast<QLabel*>(w) || qobject_cast<QCheckBox*>(w) || qobject_cast<QComboBox*>(w)) {
        EXPECT_LE(w->sizeHint().width(), w->width()) << what.toStdString();
        EXPECT_LE(w->fontMetrics().height(), w->height() + 1) << what.toStdString();
    }
}

class SetupDesign : public SetupTest {};

TEST_F(SetupDesign, setupDialogHasEveryControlAtItsRectangleWithItsTextAndListItems)
{
    OpenSetup();
    // The design's 390 x 403 with caption and borders: the controls with 11 pixels on every side.
    EXPECT_EQ(setup->size(), QSize(385, 377));
    EXPECT_EQ(setup->windowTitle(), "Setup");
    EXPECT_EQ(setup->windowModality(), Qt::WindowModal);
    for (const Expected& e : kSetupDesign) {
        QWidget* w = Control(e.name);
        ASSERT_NE(w, nullptr) << e.name;
        EXPECT_STREQ(w->metaObject()->className(), e.type) << e.name;
        EXPECT_EQ(w->geometry(), e.rect) << e.name;
        EXPECT_TRUE(w->isVisible()) << e.name;
        if (e.text) {
            EXPECT_EQ(TextOf(w), QString::fromLatin1(e.text)) << e.name;
        }
    }
    std::vector<QString> ports;
    for (int n = 1; n <= 20; ++n)
        ports.push_back(QStringLiteral("    COM%1").arg(n));
    EXPECT_EQ(Items(Control<QComboBox>("comPortList")), ports);
    EXPECT_EQ(Items(Control<QComboBox>("baudList")), (std::vector<QString>{"    4800bps", "    9600bps", "   19200bps",
                                                                      "   38400bps", "   57600bps", "  115200bps"}));
    EXPECT_EQ(Items(Control<QComboBox>("sessionTimeList")),
              (std::vector<QString>{"   Unlimited", "     1", "     2", "     3", "     5", "    10", "    15", "    20",
                                    "    30", "    40", "    50", "    60", "    90", "   120"}));
    EXPECT_EQ(Control<QLineEdit>("tcpPortEdit")->maxLength(), 5);
    EXPECT_FALSE(Control<QLineEdit>("tcpPortEdit")->testAttribute(Qt::WA_InputMethodEnabled));
    EXPECT_TRUE(Control<QLineEdit>("logFolderEdit")->isReadOnly());
    EXPECT_TRUE(Control<QPushButton>("okButton")->isDefault());

    QTreeView* list = UserList();
    EXPECT_EQ(list->header()->count(), 2);
    EXPECT_EQ(list->model()->headerData(0, Qt::Horizontal).toString(), "User Name");
    EXPECT_EQ(list->model()->headerData(1, Qt::Horizontal).toString(), "Description");
    EXPECT_EQ(list->header()->sectionSize(0), 100);
    EXPECT_EQ(list->header()->sectionSize(1), 260);
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(list->iconSize(), QSize(16, 16));
    // The passwords' hidden list is a model of whole records; no control shows or holds one.
    EXPECT_EQ(setup->findChildren<QAbstractItemView*>(Qt::FindDirectChildrenOnly), QList<QAbstractItemView*>{list});
}

TEST_F(SetupDesign, userEditorHasEveryControlAtItsRectangleWithItsText)
{
    OpenSetup();
    Click(Control<QPushButton>("addButton"));
    CSetupUserDlg* editor = Editor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->size(), QSize(300, 216));
    EXPECT_EQ(editor->windowTitle(), "Setup User");
    EXPECT_EQ(editor->windowModality(), Qt::WindowModal);
    for (const Expected& e : kUserDesign) {
        QWidget* w = EditorControl(e.name);
        ASSERT_NE(w, nullptr) << e.name;
        EXPECT_STREQ(w->metaObject()->className(), e.type) << e.name;
        EXPECT_EQ(w->geometry(), e.rect) << e.name;
        if (e.text) {
            EXPECT_EQ(TextOf(w), QString::fromLatin1(e.text)) << e.name;
        }
    }
    for (const char* name : {"userIdEdit", "passwordEdit", "retypeEdit"})
        EXPECT_EQ(EditorControl<QLineEdit>(name)->maxLength(), 32) << name;
    EXPECT_FALSE(EditorControl<QLineEdit>("userIdEdit")->testAttribute(Qt::WA_InputMethodEnabled));
    EXPECT_EQ(EditorControl<QLineEdit>("passwordEdit")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(EditorControl<QLineEdit>("retypeEdit")->echoMode(), QLineEdit::Password);
    EXPECT_FALSE(EditorControl<QPushButton>("okButton")->isEnabled()) << "OK starts disabled";
    EXPECT_TRUE(EditorControl<QPushButton>("okButton")->isDefault());
}

// Both dialogs filled, a disabled user among the users, every text in its box; the pictures go to
// the build folder.
// The names of the controls of `dialog` that Tab reaches from `first`, in turn, until it is back
// at `first` (an editable list's edit counts as its list).
std::vector<QString> TabWalk(QWidget* dialog, QWidget* first)
{
    auto focused = [dialog] {
        for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget())
            if (w->parentWidget() == dialog)
                return w;
        return static_cast<QWidget*>(nullptr);
    };
    first->setFocus();
    std::vector<QString> names;
    for (QWidget* w = focused(); w && names.size() < 40; w = focused()) {
        names.push_back(w->objectName());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        if (focused() == first)
            break;
    }
    return names;
}

// Tab takes the controls in the order of the design, passing over those that are disabled.
TEST_F(SetupDesign, tabTakesTheControlsInTheDesignsOrder)
{
    WriteUsers(1);
    OpenSetup();
    std::vector<QString> setupOrder = {"comPortList", "baudList", "tcpPortEdit", "voiceCheck", "sessionTimeList",
                                       "logCheck", "logFolderEdit", "browseButton", "userList", "addButton",
                                       "deleteButton", "editButton", "comDevice", "okButton", "cancelButton"};
    if (!Control("voiceCheck")->isEnabled())
        setupOrder.erase(setupOrder.begin() + 3);
    EXPECT_EQ(TabWalk(setup.get(), Control("comPortList")), setupOrder);

    Click(Control<QPushButton>("addButton"));
    CSetupUserDlg* editor = Editor();
    ASSERT_NE(editor, nullptr);
    // OK is disabled while the fields are empty.
    EXPECT_EQ(TabWalk(editor, EditorControl("userIdEdit")),
              (std::vector<QString>{"userIdEdit", "passwordEdit", "retypeEdit", "descriptionEdit", "disabledCheck",
                                    "cancelButton"}));
}

TEST_F(SetupDesign, bothDialogsFilledShowEveryTextWhole)
{
    std::filesystem::create_directories(dir.Path() / "access-log");
    WriteProfile({{"Setting/COM Port", 3},
                  {"Setting/COM Baud", 115200},
                  {"Setting/VEXA IP Port No", 50123},
                  {"Setting/VEXA Session Time", 120},
                  {"Setting/VEXA Log", 1},
                  {"File Path/VEXA Log File Path", QString::fromStdString((dir.Path() / "access-log").string())},
                  {"Ports/COM3", "/dev/ttyUSB0"},
                  {"Setting/VEXA 000 User ID", "night-op"},
                  {"Setting/VEXA 000 Password", "Pw!night"},
                  {"Setting/VEXA 000 Description", "Night shift, remote site"},
                  {"Setting/VEXA 000 User Disabled", 0},
                  {"Setting/VEXA 001 User ID", "guest"},
                  {"Setting/VEXA 001 Password", "Pw!guest"},
                  {"Setting/VEXA 001 Description", "Visitor account, on request"},
                  {"Setting/VEXA 001 User Disabled", 1},
                  {"Setting/VEXA 002 User ID", "JA1XYZ"},
                  {"Setting/VEXA 002 Password", "Pw!ja1"},
                  {"Setting/VEXA 002 Description", "Club station"},
                  {"Setting/VEXA 002 User Disabled", 0}});
    OpenSetup();
    setup->grab();  // drawn once, as the operator sees it
    for (const Expected& e : kSetupDesign)
        ExpectFits(Control(e.name), QStringLiteral("setup %1").arg(QLatin1String(e.name)));
    ExpectFits(setup->findChild<QLabel*>(QStringLiteral("comDeviceLabel")), "device label");
    EXPECT_EQ(setup->findChild<QLabel*>(QStringLiteral("comDeviceLabel"))->text(), "COM3 device");
    // A longer label fits as well.
    Choose(Control<QComboBox>("comPortList"), 19);
    ExpectFits(setup->findChild<QLabel*>(QStringLiteral("comDeviceLabel")), "COM20 device");
    Choose(Control<QComboBox>("comPortList"), 2);
    ASSERT_TRUE(ShowsDisabledMark(1));
    // One size of text across the dialog, the operator's own texts included.
    const int pixels = QFontInfo(setup->font()).pixelSize();
    for (QWidget* w : setup->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!qobject_cast<QMenu*>(w)) {
            EXPECT_EQ(QFontInfo(w->font()).pixelSize(), pixels) << w->objectName().toStdString();
        }
    const bool scaled = setup->devicePixelRatioF() > 1;
    EXPECT_TRUE(SaveScreenshot(*setup, scaled ? "setup-dialog@2x" : "setup-dialog"));

    // The disabled user's mark as drawn: red at its middle, in the list's first column.
    const QImage drawn = UserList()->viewport()->grab().toImage();
    const QRect mark = RowRect(1);
    const qreal r = drawn.devicePixelRatio();
    const QColor middle = drawn.pixelColor(int((mark.left() + 3 + 4) * r), int((mark.center().y()) * r));
    EXPECT_GT(middle.red(), 150);
    EXPECT_LT(middle.green(), 100);

    DoubleClickRow(1);
    CSetupUserDlg* editor = Editor();
    ASSERT_NE(editor, nullptr);
    editor->grab();
    for (const Expected& e : kUserDesign) {
        ExpectFits(EditorControl(e.name), QStringLiteral("user %1").arg(QLatin1String(e.name)));
        EXPECT_EQ(QFontInfo(EditorControl(e.name)->font()).pixelSize(), QFontInfo(editor->font()).pixelSize()) << e.name;
    }
    EXPECT_TRUE(EditorControl<QCheckBox>("disabledCheck")->isChecked());
    EXPECT_TRUE(SaveScreenshot(*editor, scaled ? "setup-user-dialog@2x" : "setup-user-dialog"));
}

// ---- Load and save ----------------------------------------------------------------------------

class SetupSave : public SetupTest {};

// Every key of the dialog from a full profile, saved back whole: the users' slots reversed and the
// freed slots written empty.
TEST_F(SetupSave, everyKeyIsLoadedAndSavedWithTheUsersReversed)
{
    std::filesystem::create_directories(dir.Path() / "logs");
    const QString logs = QString::fromStdString((dir.Path() / "logs").string());
    WriteProfile({{"Setting/COM Port", 7},
                  {"Setting/COM Baud", 38400},
                  {"Setting/VEXA IP Port No", 50123},
                  {"Setting/VEXA Voice", 0},
                  {"Setting/VEXA Session Time", 15},
                  {"Setting/VEXA Log", 1},
                  {"File Path/VEXA Log File Path", logs},
                  {"Setting/VEXA 000 User ID", "ann"},
                  {"Setting/VEXA 000 Password", "Pw!ann"},
                  {"Setting/VEXA 000 Description", "First"},
                  {"Setting/VEXA 000 User Disabled", 0},
                  {"Setting/VEXA 002 User ID", "bob"},
                  {"Setting/VEXA 002 Password", "Pw!bob"},
                  {"Setting/VEXA 002 Description", "Second"},
                  {"Setting/VEXA 002 User Disabled", 0},
                  {"Setting/VEXA 005 User ID", "cy"},
                  {"Setting/VEXA 005 Password", "Pw!cy"},
                  {"Setting/VEXA 005 Description", "Third"},
                  {"Setting/VEXA 005 User Disabled", 5},
                  {"WindowPos/Vexa", "0012300045"}});
    OpenSetup();
    EXPECT_EQ(Control<QComboBox>("comPortList")->currentText(), "    COM7");
    EXPECT_EQ(Control<QComboBox>("baudList")->currentText(), "   38400bps");
    EXPECT_EQ(Control<QLineEdit>("tcpPortEdit")->text(), "50123");
    EXPECT_FALSE(Control<QCheckBox>("voiceCheck")->isChecked());
    EXPECT_EQ(Control<QComboBox>("sessionTimeList")->currentText(), "    15");
    EXPECT_TRUE(Control<QCheckBox>("logCheck")->isChecked());
    EXPECT_EQ(Control<QLineEdit>("logFolderEdit")->text(), logs);
    using Rows = std::vector<std::pair<QString, QString>>;
    EXPECT_EQ(ListedUsers(), (Rows{{"cy", "Third"}, {"bob", "Second"}, {"ann", "First"}}));
    EXPECT_TRUE(ShowsDisabledMark(0)) << "a stored 5 counts as disabled";
    EXPECT_FALSE(ShowsDisabledMark(1));
    EXPECT_FALSE(ShowsDisabledMark(2));

    QSignalSpy finished(setup.get(), &QDialog::finished);
    PressOk();
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.first().first().toInt(), QDialog::Accepted);
    EXPECT_EQ(Stored("Setting/COM Port").toInt(), 7);
    EXPECT_EQ(Stored("Setting/COM Baud").toInt(), 38400);
    EXPECT_EQ(Stored("Setting/VEXA IP Port No").toInt(), 50123);
    EXPECT_EQ(Stored("Setting/VEXA Voice").toString(), "0");
    EXPECT_EQ(Stored("Setting/VEXA Session Time").toInt(), 15);
    EXPECT_EQ(Stored("Setting/VEXA Log").toString(), "1");
    EXPECT_EQ(Stored("File Path/VEXA Log File Path").toString(), logs);
    EXPECT_EQ(Stored("WindowPos/Vexa").toString(), "0012300045") << "keys the dialog does not own stay";
    const struct {
        const char *id, *password, *description, *disabled;
    } expected[10] = {{"cy", "Pw!cy", "Third", "1"}, {"bob", "Pw!bob", "Second", "0"}, {"ann", "Pw!ann", "First", "0"},
                   {"", "", "", "0"}, {"", "", "", "0"}, {"", "", "", "0"}, {"", "", "", "0"},
                   {"", "", "", "0"}, {"", "", "", "0"}, {"", "", "", "0"}};
    for (int slot = 0; slot < 10; ++slot) {
        const QString prefix = QStringLiteral("Setting/VEXA %1 ").arg(slot, 3, 10, QLatin1Char('0'));
        SCOPED_TRACE(prefix.toStdString());
        for (const char* key : {"User ID", "Password", "Description", "User Disabled"})
            EXPECT_TRUE(Stored(prefix + key).isValid()) << key << " written";
        EXPECT_EQ(Stored(prefix + "User ID").toString(), expected[slot].id);
        EXPECT_EQ(Stored(prefix + "Password").toString(), expected[slot].password);
        EXPECT_EQ(Stored(prefix + "Description").toString(), expected[slot].description);
        EXPECT_EQ(Stored(prefix + "User Disabled").toString(), expected[slot].disabled);
    }
    EXPECT_EQ(stationtest::FileMode(profileFile), 0600u);

    // A second open and OK puts the users back in their first order.
    OpenSetup();
    EXPECT_EQ(ListedUsers(), (Rows{{"ann", "First"}, {"bob", "Second"}, {"cy", "Third"}}));
    PressOk();
    ASSERT_TRUE(PumpUntil([&] { return !setup->isVisible(); }, 5000));
    EXPECT_EQ(Stored("Setting/VEXA 000 User ID").toString(), "ann");
    EXPECT_EQ(Stored("Setting/VEXA 001 User ID").toString(), "bob");
    EXPECT_EQ(Stored("Setting/VEXA 002 User ID").toString(), "cy");
    EXPECT_EQ(Stored("Setting/VEXA 002 User Disabled").toInt(), 1);
}

// Stored values outside the dialog's choices: what the dialog shows and what OK writes back.
struct OutOfRange {
    const char* name;
    const char* key;
    QVariant stored;
    const char* control;
    const char* shown;  // the list's text or the edit's; "" for no entry
    QVariant saved;
};
void PrintTo(const OutOfRange& c, std::ostream* os) { *os << c.name; }

const OutOfRange kOutOfRange[] = {
    {"comPort25", "Setting/COM Port", 25, "comPortList", "", 1},
    {"comPort0", "Setting/COM Port", 0, "comPortList", "", 1},
    {"comPort20", "Setting/COM Port", 20, "comPortList", "    COM20", 20},
    {"baud14400", "Setting/COM Baud", 14400, "baudList", "    9600bps", 9600},
    {"baud4800", "Setting/COM Baud", 4800, "baudList", "    4800bps", 4800},
    {"baudText", "Setting/COM Baud", "fast", "baudList", "    9600bps", 9600},
    {"tcpPort1023", "Setting/VEXA IP Port No", 1023, "tcpPortEdit", "50000", 50000},
    {"tcpPort65536", "Setting/VEXA IP Port No", 65536, "tcpPortEdit", "50000", 50000},
    {"tcpPort1024", "Setting/VEXA IP Port No", 1024, "tcpPortEdit", "1024", 1024},
    {"session4", "Setting/VEXA Session Time", 4, "sessionTimeList", "   Unlimited", 0},
    {"session120", "Setting/VEXA Session Time", 120, "sessionTimeList", "   120", 120},
    {"sessionNegative", "Setting/VEXA Session Time", -5, "sessionTimeList", "   Unlimited", 0},
};

class SetupOutOfRange : public SetupTest, public ::testing::WithParamInterface<OutOfRange> {};

TEST_P(SetupOutOfRange, isShownByTheRuleAndSavedAsTheDefault)
{
    const OutOfRange& c = GetParam();
    WriteProfile({{c.key, c.stored}, {"Setting/VEXA 000 User ID", "dora"}, {"Setting/VEXA 000 User Disabled", -1}});
    OpenSetup();
    QWidget* w = Control(c.control);
    if (auto* list = qobject_cast<QComboBox*>(w)) {
        EXPECT_EQ(list->currentIndex() < 0 ? QString() : list->currentText(), QString::fromLatin1(c.shown));
    } else {
        EXPECT_EQ(qobject_cast<QLineEdit*>(w)->text(), QString::fromLatin1(c.shown));
    }
    PressOk();
    ASSERT_TRUE(PumpUntil([&] { return !setup->isVisible(); }, 5000));
    EXPECT_EQ(Stored(c.key).toString(), c.saved.toString());
    EXPECT_EQ(Stored("Setting/VEXA 000 User Disabled").toString(), "1") << "any value but 0 is disabled";
}

INSTANTIATE_TEST_SUITE_P(Values, SetupOutOfRange, ::testing::ValuesIn(kOutOfRange),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SetupSave, cancelEscapeAndCloseLeaveTheProfileByteForByte)
{
    WriteUsers(3);
    WriteProfile({{"Setting/COM Baud", 4800}});
    const std::optional<std::string> before = stationtest::FileBytes(profileFile);
    ASSERT_TRUE(before);
    for (const char* how : {"cancel", "escape", "close"}) {
        SCOPED_TRACE(how);
        OpenSetup();
        Choose(Control<QComboBox>("baudList"), 3);
        TypeOver(Control<QLineEdit>("tcpPortEdit"), "50001");
        AddUser("extra", "Pw!extra");
        UserList()->selectionModel()->select(UserList()->model()->index(2, 0),
                                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        Click(Control<QPushButton>("deleteButton"));
        QSignalSpy finished(setup.get(), &QDialog::finished);
        if (std::string(how) == "cancel")
            Click(Control<QPushButton>("cancelButton"));
        else if (std::string(how) == "escape")
            QTest::keyClick(setup.get(), Qt::Key_Escape);
        else
            setup->close();
        ASSERT_EQ(finished.count(), 1);
        EXPECT_EQ(finished.first().first().toInt(), QDialog::Rejected);
        EXPECT_EQ(stationtest::FileBytes(profileFile), before);
    }
}

// ---- TCP port ----------------------------------------------------------------------------------------

struct PortEdit {
    const char* name;
    const char* typed;
    bool okEnabled;
    const char* afterLeaving;
};
void PrintTo(const PortEdit& c, std::ostream* os) { *os << c.name; }

const PortEdit kPortEdits[] = {
    {"below1024", "1023", false, "50000"},  {"lowest", "1024", true, "1024"},
    {"highest", "65535", true, "65535"},    {"above65535", "65536", false, "50000"},
    {"letters", "5o0oo", false, "50000"},   {"empty", "", false, "50000"},
    {"zero", "0", false, "50000"},          {"leadingZero", "01024", true, "1024"},
    {"sixDigitsCutToFive", "123456", true, "12345"}, {"sign", "+2000", false, "50000"},
    {"blank", " 2000", false, "50000"},
};

class SetupTcpPort : public SetupTest, public ::testing::WithParamInterface<PortEdit> {};

// While OK waits, a note under the field says why: the allowed range and the port that leaving
// the field will put in.
TEST_P(SetupTcpPort, enablesOkOnlyForAPortSaysWhyAndFixesTheTextOnLeaving)
{
    const PortEdit& c = GetParam();
    OpenSetup();
    QLineEdit* edit = Control<QLineEdit>("tcpPortEdit");
    auto* note = setup->findChild<QLabel*>(QStringLiteral("tcpPortNote"));
    ASSERT_NE(note, nullptr);
    EXPECT_FALSE(note->isVisible()) << "the stored port is in range";
    TypeOver(edit, QString::fromLatin1(c.typed));
    EXPECT_EQ(Control<QPushButton>("okButton")->isEnabled(), c.okEnabled) << edit->text().toStdString();
    EXPECT_EQ(note->isVisible(), !c.okEnabled);
    if (!c.okEnabled) {
        EXPECT_EQ(note->text(), "Allowed: 1024 to 65535; 50000 will be used.");
        // Just under the field, whole inside the dialog, in front of the frames it overlaps.
        EXPECT_EQ(note->geometry().right(), edit->geometry().right());
        EXPECT_GT(note->y(), edit->geometry().bottom());
        EXPECT_LT(note->y(), edit->geometry().bottom() + 4);
        EXPECT_TRUE(setup->rect().contains(note->geometry()));
        EXPECT_GE(note->width(), note->sizeHint().width());
        EXPECT_NE(setup->childAt(note->geometry().center()), note) << "it lets clicks through";
        EXPECT_EQ(setup->children().last(), note) << "drawn last";
        if (std::string(c.name) == "below1024") {
            EXPECT_TRUE(SaveScreenshot(*setup, "setup-dialog-port-range"));
        }
    }
    QTest::keyClick(edit, Qt::Key_Tab);
    ASSERT_FALSE(edit->hasFocus());
    EXPECT_EQ(edit->text(), QString::fromLatin1(c.afterLeaving));
    EXPECT_TRUE(Control<QPushButton>("okButton")->isEnabled());
    EXPECT_FALSE(note->isVisible());
    PressOk();
    ASSERT_TRUE(PumpUntil([&] { return !setup->isVisible(); }, 5000));
    EXPECT_EQ(Stored("Setting/VEXA IP Port No").toString(), QString::fromLatin1(c.afterLeaving));
}

INSTANTIATE_TEST_SUITE_P(Typed, SetupTcpPort, ::testing::ValuesIn(kPortEdits),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Log -----------------------------------------------------------------------------------------------

TEST_F(SetupSave, logCannotStayOnWithoutAFolderAndTheFolderComesFromTheBrowser)
{
    OpenSetup();
    QCheckBox* log = Control<QCheckBox>("logCheck");
    Click(log);
    EXPECT_FALSE(log->isChecked()) << "no folder yet";

    folderAnswer.reset();  // the operator cancels the browser
    Click(Control<QPushButton>("browseButton"));
    EXPECT_EQ(browsed, 1);
    EXPECT_EQ(browseTitle, "Select log file folder.");
    EXPECT_EQ(browseOwner, setup.get());
    EXPECT_EQ(Control<QLineEdit>("logFolderEdit")->text(), "");

    std::filesystem::create_directories(dir.Path() / "log folder");
    folderAnswer = QString::fromStdString((dir.Path() / "log folder").string());
    Click(Control<QPushButton>("browseButton"));
    EXPECT_EQ(Control<QLineEdit>("logFolderEdit")->text(), *folderAnswer);
    Click(log);
    EXPECT_TRUE(log->isChecked());
    // The folder edit takes no typing.
    QTest::keyClicks(Control<QLineEdit>("logFolderEdit"), "x");
    EXPECT_EQ(Control<QLineEdit>("logFolderEdit")->text(), *folderAnswer);
    PressOk();
    ASSERT_TRUE(PumpUntil([&] { return !setup->isVisible(); }, 5000));
    EXPECT_EQ(Stored("Setting/VEXA Log").toInt(), 1);
    EXPECT_EQ(Stored("File Path/VEXA Log File Path").toString(), *folderAnswer);
}

TEST_F(SetupSave, folderPathLongerThan260CharactersIsRefused)
{
    std::filesystem::path deep = dir.Path();
    while (deep.string().size() <= 270)
        deep /= std::string(40, 'f');
    std::filesystem::create_directories(deep);
    OpenSetup();
    folderAnswer = QString::fromStdString(deep.string());
    Click(Control<QPushButton>("browseButton"));
    EXPECT_TRUE(Dismiss("folderMessage"));
    EXPECT_EQ(Control<QLineEdit>("logFolderEdit")->text(), "");
}

// ---- The serial device of a port ------------------------------------------------------------------------

TEST_F(SetupSave, deviceOfTheChosenPortIsShownOfferedAndSavedWhenChanged)
{
    WriteProfile({{"Setting/COM Port", 2}, {"Ports/COM2", "/dev/ttyUSB7"}});
    OpenSetup();
    auto* device = setup->findChild<QComboBox*>(QStringLiteral("comDevice"));
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->currentText(), "/dev/ttyUSB7");
    std::vector<QString> offered = Items(device);
    EXPECT_EQ(offered, (std::vector<QString>{"/dev/ttyUSB7", "/dev/ttyS0", "/dev/ttyS1", "/dev/ttyUSB0",
                                             "/dev/serial/by-id/usb-Adapter_Serial_A1B2C3-if00-port0"}));

    Choose(Control<QComboBox>("comPortList"), 2);  // COM3: nothing stored, its default device
    EXPECT_EQ(device->currentText(), "/dev/ttyS2");
    EXPECT_EQ(setup->findChild<QLabel*>(QStringLiteral("comDeviceLabel"))->text(), "COM3 device");
    device->setFocus();
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(device, Qt::Key_Down);  // down to the last device offered
    EXPECT_EQ(device->currentText(), "/dev/serial/by-id/usb-Adapter_Serial_A1B2C3-if00-port0");
    EXPECT_EQ(device->toolTip(), device->currentText()) << "the whole path, which the box shows shortened";
    Choose(Control<QComboBox>("comPortList"), 3);  // COM4: a typed path
    TypeOver(device->lineEdit(), "/dev/ttyACM0");
    PressOk();
    ASSERT_TRUE(PumpUntil([&] { return !setup->isVisible(); }, 5000));
    EXPECT_EQ(Stored("Setting/COM Port").toInt(), 4);
    EXPECT_EQ(Stored("Ports/COM2").toString(), "/dev/ttyUSB7");
    EXPECT_EQ(Stored("Ports/COM3").toString(), "/dev/serial/by-id/usb-Adapter_Serial_A1B2C3-if00-port0");
    EXPECT_EQ(Stored("Ports/COM4").toString(), "/dev/ttyACM0");
    EXPECT_FALSE(Stored("Ports/COM1").isValid());
}

TEST_F(SetupSave, relativeDeviceIsRefusedAndNothingIsSaved)
{
    OpenSetup();
    auto* device = setup->findChild<QComboBox*>(QStringLiteral("comDevice"));
    TypeOver(device->lineEdit(), "ttyUSB0");
    Choose(Control<QComboBox>("comPortList"), 4);
    PressOk();
    EXPECT_TRUE(Dismiss("deviceMessage"));
    EXPECT_TRUE(setup->isVisible());
    EXPECT_FALSE(std::filesystem::exists(profileFile));
    EXPECT_EQ(Control<QComboBox>("comPortList")->currentText(), "    COM1") << "the port of the refused device is shown";
    EXPECT_EQ(device->currentText(), "ttyUSB0");
    EXPECT_TRUE(PumpUntil([&] { return device->hasFocus() || device->lineEdit()->hasFocus(); }, 2000));
}

// ---- Saves that fail -------------------------------------------------------------------------------------

// Reading and writing as an unprivileged account in this thread only: as root the folder's mode
// would not hold. setfsuid changes the calling thread's file-system identity alone and drops its
// file capabilities, so the save meets the folder's permissions as an operator would.
class FileSystemIdentity {
public:
    explicit FileSystemIdentity(uid_t uid) : previous_(static_cast<uid_t>(::setfsuid(uid))) {}
    ~FileSystemIdentity() { ::setfsuid(previous_); }

private:
    uid_t previous_;
};

TEST_F(SetupSave, saveIntoAReadOnlyFolderIsReportedAndLosesNothing)
{
    const std::filesystem::path folder = dir.Path() / "station";
    std::filesystem::create_directories(folder);
    profileFile = folder / "Quintar.ini";
    profile = std::make_unique<quintar::SettingsProfile>(QString::fromStdString(profileFile.string()));
    WriteUsers(2);
    const std::optional<std::string> before = stationtest::FileBytes(profileFile);
    ASSERT_TRUE(before);
    constexpr uid_t kOperator = 65534;
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chmod(dir.Path().c_str(), 0711), 0);  // the operator may pass through
        ASSERT_EQ(::chown(folder.c_str(), kOperator, kOperator), 0);
        ASSERT_EQ(::chown(profileFile.c_str(), kOperator, kOperator), 0);
    }
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    {
        std::optional<FileSystemIdentity> identity;
        if (root)
            identity.emplace(kOperator);
        OpenSetup();
        AddUser("newop", "Pw!newop", "Added while read-only");
        Choose(Control<QComboBox>("baudList"), 5);
        PressOk();
        QMessageBox* box = nullptr;
        ASSERT_TRUE(PumpUntil([&] { return (box = OpenMessageBox("saveFailedMessage")) != nullptr; }, 5000));
        EXPECT_EQ(box->windowTitle(), "Error!");
        EXPECT_NE(box->text().indexOf(QString::fromStdString(profileFile.string())), -1) << box->text().toStdString();
        EXPECT_NE(box->text().indexOf("Permission denied"), -1) << box->text().toStdString();
        EXPECT_TRUE(Dismiss("saveFailedMessage"));
    }
    EXPECT_TRUE(setup->isVisible()) << "the dialog stays open with the operator's changes";
    EXPECT_EQ(stationtest::FileBytes(profileFile), before);
    std::vector<std::string> beside;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        beside.push_back(e.path().filename().string());
    EXPECT_EQ(beside, std::vector<std::string>{"Quintar.ini"}) << "nothing half-written beside it";
    EXPECT_EQ(ListedUsers().front().first, "newop");
    EXPECT_EQ(Control<QComboBox>("baudList")->currentText(), "  115200bps");

    // Once the folder can be written, the same OK saves everything.
    ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
    PressOk();
    ASSERT_TRUE(PumpUntil([&] { return !setup->isVisible(); }, 5000));
    EXPECT_EQ(Stored("Setting/VEXA 000 User ID").toString(), "newop");
    EXPECT_EQ(Stored("Setting/VEXA 000 Description").toString(), "Added while read-only");
    EXPECT_EQ(Stored("Setting/COM Baud").toInt(), 115200);
}

// ---- This computer's address --------------------------------------------------------------------------

TEST_F(SetupSave, showsThisComputersAddressNeverLoopbackWhileAnotherExists)
{
    OpenSetup();
    const QString shown = Control<QLabel>("localAddress")->text();
    in_addr parsed{};
    ASSERT_EQ(inet_pton(AF_INET, shown.toLatin1().constData(), &parsed), 1) << shown.toStdString();
    bool another = false;
    ifaddrs* list = nullptr;
    ASSERT_EQ(getifaddrs(&list), 0);
    for (ifaddrs* it = list; it; it = it->ifa_next)
        if (it->ifa_addr && it->ifa_addr->sa_family == AF_INET && !(it->ifa_flags & IFF_LOOPBACK))
            another = true;
    freeifaddrs(list);
    if (another)
        EXPECT_NE(shown, "127.0.0.1");
    else
        EXPECT_EQ(shown, "127.0.0.1");
}

TEST_F(SetupSave, voiceCanBeTickedOnlyWhereVoiceWorks)
{
    WriteProfile({{"Setting/VEXA Voice", 1}});
    OpenSetup();
    EXPECT_EQ(Control<QCheckBox>("voiceCheck")->isEnabled(), GetVoiceEnableOS() != 0);
    EXPECT_TRUE(Control<QCheckBox>("voiceCheck")->isChecked()) << "the stored value shows";
}

}  // namespace
}  // namespace windowtest

namespace windowtest {
namespace {

struct TlsLabelCase {
    const char* name;
    int tls;
    bool certificate;
    const char* text;  // "" for the fingerprint
};

class SetupTlsLabel : public SetupTest, public ::testing::WithParamInterface<TlsLabelCase> {};

TEST_P(SetupTlsLabel, showsTheCertificatesFingerprintOnlyWhileTlsIsOnWithOne)
{
    std::string error;
    const auto pair = drisko::tls::MakeSelfSigned("station", error);
    ASSERT_TRUE(pair) << error;
    if (GetParam().certificate)
        std::ofstream(dir.Path() / "Quintar.tls.crt") << pair->certPem;
    WriteProfile({{"Setting/VEXA TLS", GetParam().tls}});
    OpenSetup();
    auto* label = setup->findChild<QLabel*>("tlsFingerprintLabel");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->parentWidget()->objectName(), "tcpIpFrame");
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width()) << label->text().toStdString();
    auto* copy = label->findChild<QAction*>("copyTlsFingerprintAction");
    if (*GetParam().text) {
        EXPECT_EQ(label->text(), QString::fromLatin1(GetParam().text));
        EXPECT_EQ(copy, nullptr);
    } else {
        // Too long for the title line: its start and end there, all of it in the tooltip and copied.
        const QString fingerprint = QString::fromStdString(*drisko::tls::FingerprintOfPem(pair->certPem));
        const QStringList ends = label->text().mid(4).split(QChar(0x2026));
        ASSERT_EQ(ends.size(), 2) << label->text().toStdString();
        EXPECT_TRUE(label->text().startsWith("TLS ") && fingerprint.startsWith(ends[0])) << label->text().toStdString();
        EXPECT_TRUE(fingerprint.endsWith(ends[1]));
        EXPECT_GE(ends[0].size(), 5);  // whole bytes, as many at each end
        EXPECT_EQ(ends[0].size(), ends[1].size());
        EXPECT_EQ(ends[0].size() % 3, 2);
        EXPECT_TRUE(label->toolTip().endsWith(fingerprint));
        ASSERT_NE(copy, nullptr);
        QGuiApplication::clipboard()->clear();
        copy->trigger();
        EXPECT_EQ(QGuiApplication::clipboard()->text(), fingerprint);
    }
    EXPECT_TRUE(SaveScreenshot(*setup, std::string("setup-dialog-tls-") + GetParam().name));
}

INSTANTIATE_TEST_SUITE_P(Cases, SetupTlsLabel,
                         ::testing::Values(TlsLabelCase{"onWithCertificate", 1, true, ""},
                                           TlsLabelCase{"offWithCertificate", 0, true, "TLS: off"},
                                           TlsLabelCase{"onWithoutCertificate", 1, false, "TLS: no certificate"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace windowtest
