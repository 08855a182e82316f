// CSetupDlg, the station's settings: serial port and its device, baud rate, TCP port, voice,
// session time, access log and the list of up to ten users. It shows the profile's values by the
// settings model's rules and, on OK, writes them all in one save of the profile; Cancel writes
// nothing. The serial port, baud rate and TCP port count at the next station start; the library
// reads the rest itself.
#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <QIcon>
#include <QPointer>

#include <array>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "ControlTable.h"
#include "SettingsModel.h"
#include "SetupUserDlg.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTreeView;

namespace quintar {

class SettingsProfile;

// The users of the Setup dialog's list, top first: the id and the description, with the mark of
// a disabled user in front. The records hold the passwords too, but no role of the model ever
// gives one out.
class UserListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kUserName, kDescription, kColumns };

    explicit UserListModel(QObject* parent);
    const std::vector<settings::UserRecord>& Users() const { return users_; }
    void SetUsers(std::vector<settings::UserRecord> users);
    void InsertTop(settings::UserRecord user);
    void Replace(int row, settings::UserRecord user);
    void Remove(int row);
    // The row of a user whose id equals `id` ignoring letter case, or none.
    std::optional<int> RowOf(const std::string& id) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<settings::UserRecord> users_;
    std::array<QIcon, 2> marks_;
};

class CSetupDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kHelpContext = 30;

    // Asks the operator for the log folder: the chosen folder, or nothing when cancelled.
    using FolderChooser = std::function<std::optional<QString>(QWidget* owner, const QString& title, const QString& start)>;
    // The serial devices to offer for the ports.
    using DeviceLister = std::function<std::vector<std::string>()>;

    // Reads the profile into the dialog; `localAddress` is this computer's address as a client would
    // reach it (the station controller tells it). `chooseFolder` and `listDevices` default to the
    // system's folder browser and the devices present under /dev.
    CSetupDlg(SettingsProfile& profile, QString localAddress, QWidget* parent, FolderChooser chooseFolder = {},
              DeviceLister listDevices = {});
    ~CSetupDlg() override;

    // The values the controls show now, as OK would save them.
    settings::SetupValues Values() const;
    UserListModel& Users() const { return *users_; }
    // The user editor while it is open, else null.
    CSetupUserDlg* UserEditor() const { return userEditor_; }

signals:
    void HelpRequested(int context);

public slots:
    // OK: one save of everything; a failed save is said in a message box and the dialog stays open.
    void accept() override;
    void OnAdd();
    void OnEdit();
    void OnDelete();
    void OnEnableDisable();

private:
    void Build();
    void BuildPortNote();
    void ShowTlsFingerprint();
    void BuildUserList();
    void BuildMenu();
    void Load();
    void ChooseFont();
    void OnPortEdited();
    void FixPortText();
    void OnLogClicked();
    void OnBrowse();
    void OnPortSelected();
    void ShowDevice(std::optional<int> port);
    void KeepDeviceText();
    void ShowUserMenu(const QPoint& at);
    std::optional<int> SelectedRow() const;
    void SelectRow(int row);
    CSetupUserDlg* OpenEditor(int mode, settings::UserRecord record);
    void Tell(const char* objectName, const QString& caption, const QString& text, QWidget* focus = nullptr);
    bool eventFilter(QObject* watched, QEvent* event) override;

    SettingsProfile& profile_;
    const QString localAddress_;
    FolderChooser chooseFolder_;
    DeviceLister listDevices_;

    window::Controls controls_;
    QComboBox* comPort_ = nullptr;
    QComboBox* baud_ = nullptr;
    QComboBox* session_ = nullptr;
    QLabel* address_ = nullptr;
    QLineEdit* tcpPort_ = nullptr;
    QLabel* portNote_ = nullptr;  // why OK waits while the port is out of range
    QLabel* tlsFingerprint_ = nullptr;  // read-only: `quintar setup tls` makes the certificate
    QCheckBox* voice_ = nullptr;
    QCheckBox* log_ = nullptr;
    QLineEdit* folder_ = nullptr;
    QTreeView* userList_ = nullptr;
    QPushButton* ok_ = nullptr;
    QComboBox* device_ = nullptr;
    QLabel* deviceLabel_ = nullptr;
    QMenu* userMenu_ = nullptr;
    std::vector<QAction*> needsUser_;  // the menu's commands on the selected user
    UserListModel* users_ = nullptr;
    QPointer<CSetupUserDlg> userEditor_;

    std::map<int, std::string> storedDevices_;  // each port's device in the profile, as first shown
    std::map<int, std::string> devices_;        // each port's device as the dialog has it now
    std::optional<int> devicePort_;             // the port whose device the device box shows
};

}  // namespace quintar
