// The fixture of the Setup dialog tests: a real profile file written key by key as an operator's
// profile holds it, the dialog on the offscreen platform with its folder browser and device list
// replaced, and the helpers that drive it as a user would (keys, clicks, the clipboard).
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTreeView>
#include <QVariant>

#include <optional>
#include <utility>
#include <vector>

#include "SetupDlg.h"
#include "SetupUserDlg.h"
#include "WindowFixture.h"

namespace windowtest {

using quintar::CSetupDlg;
using quintar::CSetupUserDlg;

// One profile value, "Section/Key" and its value.
using ProfileValue = std::pair<QString, QVariant>;

class SetupTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes the values straight into the profile file (not through the code under test).
    void WriteProfile(const std::vector<ProfileValue>& values);
    QVariant Stored(const QString& key) const;
    // `count` users "user0".."userN" with passwords "pw0"...
    void WriteUsers(int count);

    // Makes the Setup dialog on the profile and shows it as the program does, with open().
    CSetupDlg& OpenSetup();
    // The user editor the dialog opened, once it is up and active.
    CSetupUserDlg* Editor();

    template <class T = QWidget>
    T* Control(const char* name) const
    {
        return setup->findChild<T*>(QLatin1String(name), Qt::FindDirectChildrenOnly);
    }
    template <class T = QWidget>
    T* EditorControl(const char* name)
    {
        return Editor()->findChild<T*>(QLatin1String(name), Qt::FindDirectChildrenOnly);
    }
    QTreeView* UserList() const { return Control<QTreeView>("userList"); }
    // The user list as it shows: id and description of each row, top first.
    std::vector<std::pair<QString, QString>> ListedUsers() const;
    bool ShowsDisabledMark(int row) const;
    QRect RowRect(int row) const;

    void Click(QWidget* w);
    // Selects all of an edit's text and types `text` over it.
    void TypeOver(QWidget* edit, const QString& text);
    // Selects all of an edit's text and pastes `text` over it from the clipboard.
    void PasteOver(QWidget* edit, const QString& text);
    // Chooses the entry of a drop-down list with the keyboard.
    void Choose(QComboBox* list, int index);
    // Clicks and double-clicks through the window, as the windowing system delivers them (the
    // right button's press also brings the context menu).
    void WindowClick(QWidget* target, Qt::MouseButton button, QPoint at);
    void WindowDoubleClick(QWidget* target, QPoint at);
    void DoubleClickRow(int row) { WindowDoubleClick(UserList()->viewport(), RowRect(row).center()); }
    // Opens the user list's context menu at `row` (or below the rows) and returns it.
    QMenu* ContextMenu(std::optional<int> row);
    void ChooseMenuItem(QMenu* menu, const char* name);
    // Fills the user editor and presses its OK.
    void FillEditor(const QString& id, const QString& password, const QString& description, bool disabled);
    // Adds a user through the Add button and the editor.
    void AddUser(const QString& id, const QString& password, const QString& description = {}, bool disabled = false);
    void PressOk();
    // Closes the message box of `objectName` with its OK button; false when none is open.
    bool Dismiss(const char* objectName);

    testsupport::TempDir dir;
    std::filesystem::path profileFile;
    std::unique_ptr<quintar::SettingsProfile> profile;
    std::unique_ptr<CSetupDlg> setup;

    // The folder browser's stand-in: what it was asked and what it answers.
    std::optional<QString> folderAnswer;
    int browsed = 0;
    QString browseTitle;
    QWidget* browseOwner = nullptr;
    std::vector<std::string> presentDevices = {"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyUSB0",
                                               "/dev/serial/by-id/usb-Adapter_Serial_A1B2C3-if00-port0"};
};

}  // namespace windowtest
