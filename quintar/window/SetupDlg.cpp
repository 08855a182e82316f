// The Setup dialog laid out from its table: loading the profile by the settings model's rules, the
// TCP port and log rules, the serial device of the chosen port, the user list with its commands
// and context menu, and the one save on OK.
#include "SetupDlg.h"

#include "TlsFiles.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTreeView>

#include <algorithm>

#include "Artwork.h"
#include "ControlTable.h"
#include "SettingsProfile.h"
#include "SetupUserDlg.h"
#include "Utilities.h"
#include "WindowParts.h"

namespace quintar {

using settings::Id;
using settings::UserRecord;

namespace {

using window::Kind;
using window::Style;

namespace names {
constexpr char kComPort[] = "comPortList";
constexpr char kBaud[] = "baudList";
constexpr char kAddress[] = "localAddress";
constexpr char kTcpPort[] = "tcpPortEdit";
constexpr char kVoice[] = "voiceCheck";
constexpr char kSession[] = "sessionTimeList";
constexpr char kLog[] = "logCheck";
constexpr char kFolder[] = "logFolderEdit";
constexpr char kBrowse[] = "browseButton";
constexpr char kUsers[] = "userList";
constexpr char kAdd[] = "addButton";
constexpr char kDelete[] = "deleteButton";
constexpr char kEdit[] = "editButton";
constexpr char kDeviceLabel[] = "comDeviceLabel";
constexpr char kDevice[] = "comDevice";
constexpr char kOk[] = "okButton";
constexpr char kCancel[] = "cancelButton";
}  // namespace names

// In tab order. The serial device of the chosen port sits left of OK, the one free place of the
// dialog's design.
constexpr window::ControlRow kControls[] = {
    {"comPortFrame", Kind::Frame, {11, 12, 179, 74}, "Com Port"},
    {"comPortLabel", Kind::Label, {26, 35, 57, 16}, "Port No."},
    {names::kComPort, Kind::List, {86, 30, 95, 22}},
    {"baudLabel", Kind::Label, {26, 60, 59, 16}, "Baud."},
    {names::kBaud, Kind::List, {86, 56, 95, 22}},
    {"tcpIpFrame", Kind::Frame, {195, 12, 179, 75}, "TCP/IP"},
    {"localAddressLabel", Kind::Label, {210, 32, 56, 16}, "IP Address"},
    {names::kAddress, Kind::Label, {269, 32, 95, 16}, "", Style::Window},
    {"tcpPortLabel", Kind::Label, {210, 58, 56, 16}, "Port No."},
    {names::kTcpPort, Kind::Edit, {267, 54, 96, 23}, "", Style::Window},
    {"optionFrame", Kind::Frame, {11, 89, 363, 72}, "Option"},
    {names::kVoice, Kind::Check, {24, 109, 60, 16}, "&Voice"},
    {"sessionTimeLabel", Kind::Label, {114, 109, 71, 16}, "Session Time"},
    {names::kSession, Kind::List, {188, 105, 95, 22}},
    {"minutesLabel", Kind::Label, {288, 109, 30, 16}, "min"},
    {names::kLog, Kind::Check, {24, 135, 60, 16}, "&Log"},
    {names::kFolder, Kind::Edit, {87, 133, 251, 21}, "", Style::Gui},
    {names::kBrowse, Kind::Button, {344, 133, 20, 19}, "..."},
    {"usersFrame", Kind::Frame, {11, 163, 363, 172}, "Users"},
    {names::kUsers, Kind::Table, {23, 184, 339, 116}, "", Style::Gui},
    {names::kAdd, Kind::Button, {207, 306, 48, 21}, "Add..."},
    {names::kDelete, Kind::Button, {261, 306, 48, 21}, "Del"},
    {names::kEdit, Kind::Button, {315, 306, 48, 21}, "Edit..."},
    {names::kDeviceLabel, Kind::Label, {11, 347, 72, 16}, "Port device"},
    {names::kDevice, Kind::Own, {84, 343, 127, 23}, "", Style::Gui},
    {names::kOk, Kind::Button, {218, 343, 75, 23}, "OK"},
    {names::kCancel, Kind::Button, {299, 343, 75, 23}, "Cancel"},
};
static_assert(window::NamesUnique(kControls), "one row per control");

// The drop-down lists and the setting each one shows.
struct ListRow {
    const char* name;
    Id setting;
};
constexpr ListRow kLists[] = {{names::kComPort, Id::ComPort}, {names::kBaud, Id::ComBaud}, {names::kSession, Id::SessionTime}};

// The user list's context menu; a row without a name is the separator.
struct MenuRow {
    const char* name;
    const char* text;
    void (CSetupDlg::*run)();
};
const MenuRow kMenu[] = {
    {"addItem", "Add (&A)...", &CSetupDlg::OnAdd},
    {"editItem", "Edit (&E)...", &CSetupDlg::OnEdit},
    {"deleteItem", "Delete (&D)", &CSetupDlg::OnDelete},
    {nullptr, nullptr, nullptr},
    {"enableDisableItem", "Enable/Disable (&B)", &CSetupDlg::OnEnableDisable},
};

constexpr int kUserNameWidth = 100;
constexpr int kDescriptionWidth = 260;
constexpr char kFolderTitle[] = "Select log file folder.";
constexpr char kWidestDeviceLabel[] = "COM20 device";

QString Text(const std::string& bytes)
{
    return QString::fromStdString(bytes);
}

std::string Bytes(const QString& text)
{
    return text.toStdString();
}

// The serial device's edit: the whole path while it is edited; otherwise, when the path is longer
// than the box, its beginning and end with "..." between them (the tool tip holds the whole path).
class PathEdit final : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QStyleOptionFrame panel;
        initStyleOption(&panel);
        // QLineEdit's own text margins: 2 pixels beside the text, 1 above and below.
        const QRect box = style()->subElementRect(QStyle::SE_LineEditContents, &panel, this)
                              .marginsRemoved(textMargins())
                              .adjusted(2, 1, -2, -1);
        if (hasFocus() || fontMetrics().horizontalAdvance(text()) <= box.width()) {
            QLineEdit::paintEvent(event);
            return;
        }
        QPainter painter(this);
        style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, this);
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
        painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         fontMetrics().elidedText(text(), Qt::ElideMiddle, box.width()));
    }
};

std::optional<QString> BrowseFolder(QWidget* owner, const QString& title, const QString& start)
{
    const QString chosen = QFileDialog::getExistingDirectory(owner, title, start, QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}

}  // namespace

// ---- The user list's model ------------------------------------------------------------------------

UserListModel::UserListModel(QObject* parent) : QAbstractTableModel(parent), marks_(window::UserMarks()) {}

void UserListModel::SetUsers(std::vector<UserRecord> users)
{
    beginResetModel();
    users_ = std::move(users);
    endResetModel();
}

void UserListModel::InsertTop(UserRecord user)
{
    beginInsertRows({}, 0, 0);
    users_.insert(users_.begin(), std::move(user));
    endInsertRows();
}

void UserListModel::Replace(int row, UserRecord user)
{
    users_[static_cast<std::size_t>(row)] = std::move(user);
    emit dataChanged(index(row, 0), index(row, kColumns - 1));
}

void UserListModel::Remove(int row)
{
    beginRemoveRows({}, row, row);
    users_.erase(users_.begin() + row);
    endRemoveRows();
}

std::optional<int> UserListModel::RowOf(const std::string& id) const
{
    for (std::size_t i = 0; i < users_.size(); ++i)
        if (settings::SameUserId(users_[i].id, id))
            return static_cast<int>(i);
    return std::nullopt;
}

int UserListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(users_.size());
}

int UserListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

QVariant UserListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const UserRecord& user = users_[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole)
        return Text(index.column() == kUserName ? user.id : user.description);
    if (role == Qt::DecorationRole && index.column() == kUserName)
        return marks_[user.disabled ? 1 : 0];
    return {};
}

QVariant UserListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section == kUserName ? QStringLiteral("User Name") : QStringLiteral("Description");
}

// ---- The dialog -------------------------------------------------------------------------------------

CSetupDlg::CSetupDlg(SettingsProfile& profile, QString localAddress, QWidget* parent, FolderChooser chooseFolder,
                     DeviceLister listDevices)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      profile_(profile),
      localAddress_(std::move(localAddress)),
      chooseFolder_(chooseFolder ? std::move(chooseFolder) : FolderChooser(BrowseFolder)),
      listDevices_(listDevices ? std::move(listDevices) : DeviceLister([] { return settings::PresentSerialDevices(); }))
{
    setObjectName(QStringLiteral("CSetupDlg"));
    setWindowTitle(QStringLiteral("Setup"));
    Build();
    ChooseFont();
    Load();
    setFixedSize(window::EvenMarginSize(kControls));
}

CSetupDlg::~CSetupDlg() = default;

void CSetupDlg::Build()
{
    controls_ = window::BuildControls(this, kControls, [](const window::ControlRow&, QWidget* parent) {
        auto* device = new QComboBox(parent);
        device->setLineEdit(new PathEdit(device));
        device->setInsertPolicy(QComboBox::NoInsert);
        device->lineEdit()->setAttribute(Qt::WA_InputMethodEnabled, false);
        return device;
    });
    comPort_ = controls_.Get<QComboBox>(names::kComPort);
    baud_ = controls_.Get<QComboBox>(names::kBaud);
    session_ = controls_.Get<QComboBox>(names::kSession);
    address_ = controls_.Get<QLabel>(names::kAddress);
    tcpPort_ = controls_.Get<QLineEdit>(names::kTcpPort);
    voice_ = controls_.Get<QCheckBox>(names::kVoice);
    log_ = controls_.Get<QCheckBox>(names::kLog);
    folder_ = controls_.Get<QLineEdit>(names::kFolder);
    userList_ = controls_.Get<QTreeView>(names::kUsers);
    deviceLabel_ = controls_.Get<QLabel>(names::kDeviceLabel);
    device_ = controls_.Get<QComboBox>(names::kDevice);
    ok_ = controls_.Get<QPushButton>(names::kOk);

    for (const ListRow& l : kLists)
        for (const std::string& item : settings::ListItems(l.setting))
            controls_.Get<QComboBox>(l.name)->addItem(QString::fromLatin1(item.c_str()));
    tcpPort_->setMaxLength(5);
    tcpPort_->setAttribute(Qt::WA_InputMethodEnabled, false);
    tcpPort_->installEventFilter(this);
    folder_->setReadOnly(true);
    BuildPortNote();
    ShowTlsFingerprint();

    ok_->setDefault(true);
    ok_->setAutoDefault(true);
    connect(ok_, &QPushButton::clicked, this, &CSetupDlg::accept);
    connect(controls_.Get<QPushButton>(names::kCancel), &QPushButton::clicked, this, &CSetupDlg::reject);
    connect(controls_.Get<QPushButton>(names::kAdd), &QPushButton::clicked, this, &CSetupDlg::OnAdd);
    connect(controls_.Get<QPushButton>(names::kDelete), &QPushButton::clicked, this, &CSetupDlg::OnDelete);
    connect(controls_.Get<QPushButton>(names::kEdit), &QPushButton::clicked, this, &CSetupDlg::OnEdit);
    connect(controls_.Get<QPushButton>(names::kBrowse), &QPushButton::clicked, this, &CSetupDlg::OnBrowse);
    connect(tcpPort_, &QLineEdit::textChanged, this, &CSetupDlg::OnPortEdited);
    connect(log_, &QCheckBox::clicked, this, &CSetupDlg::OnLogClicked);
    connect(comPort_, &QComboBox::currentIndexChanged, this, &CSetupDlg::OnPortSelected);
    connect(device_, &QComboBox::editTextChanged, device_, &QWidget::setToolTip);

    BuildUserList();
    BuildMenu();

    // This computer's address as a client would reach it.
    address_->setText(localAddress_);
    voice_->setEnabled(GetVoiceEnableOS() != 0);

    window::AddHelpKey(this, [this] { emit HelpRequested(kHelpContext); });
}

// A balloon under the TCP port, over the frames, while the port is out of range.
void CSetupDlg::BuildPortNote()
{
    portNote_ = new QLabel(this);
    portNote_->setObjectName(QStringLiteral("tcpPortNote"));
    portNote_->setFrameShape(QFrame::Box);
    portNote_->setMargin(2);
    portNote_->setForegroundRole(QPalette::ToolTipText);
    portNote_->setBackgroundRole(QPalette::ToolTipBase);
    portNote_->setAutoFillBackground(true);
    portNote_->setAttribute(Qt::WA_TransparentForMouseEvents);
    portNote_->hide();
}

namespace {

// "TLS " and as many whole bytes of the fingerprint's start and end as fit in `width`, the same
// number of each, so that it reads as the start and end an operator compares.
QString ShortFingerprint(const QString& fingerprint, const QFontMetrics& metrics, int width)
{
    const QString whole = QStringLiteral("TLS ") + fingerprint;
    if (metrics.horizontalAdvance(whole) <= width)
        return whole;
    QString line;
    for (qsizetype bytes = 1; 6 * bytes < fingerprint.size(); ++bytes) {
        const qsizetype chars = 3 * bytes - 1;  // "AB:CD" is 2 bytes
        const QString next =
            QStringLiteral("TLS ") + fingerprint.left(chars) + QChar(0x2026) + fingerprint.right(chars);
        if (!line.isEmpty() && metrics.horizontalAdvance(next) > width)
            break;
        line = next;
    }
    return line;
}

}  // namespace

// The TLS certificate's fingerprint on the TCP/IP group's title line, to read out to an operator.
// The whole of it (95 characters) does not fit there: the line shows its start and end, the tooltip
// all of it, and the label's context menu copies all of it.
void CSetupDlg::ShowTlsFingerprint()
{
    auto* frame = controls_.Get<QWidget>("tcpIpFrame");
    tlsFingerprint_ = new QLabel(frame);
    tlsFingerprint_->setObjectName(QStringLiteral("tlsFingerprintLabel"));
    tlsFingerprint_->setGeometry(48, 0, frame->width() - 52, 14);
    const bool tlsOn = settings::ReadInt(profile_, Id::Tls) != 0;
    const std::optional<QString> fingerprint =
        tlsOn ? settings::CertificateFingerprint(settings::TlsFilesOf(profile_.File()).cert) : std::nullopt;
    if (fingerprint) {
        tlsFingerprint_->setText(ShortFingerprint(*fingerprint, tlsFingerprint_->fontMetrics(), tlsFingerprint_->width()));
        tlsFingerprint_->setToolTip(QStringLiteral("TLS certificate SHA-256 ") + *fingerprint);
        auto* copy = new QAction(QStringLiteral("Copy Fingerprint"), tlsFingerprint_);
        copy->setObjectName(QStringLiteral("copyTlsFingerprintAction"));
        connect(copy, &QAction::triggered, this, [text = *fingerprint] { QGuiApplication::clipboard()->setText(text); });
        tlsFingerprint_->addAction(copy);
        tlsFingerprint_->setContextMenuPolicy(Qt::ActionsContextMenu);
    } else {
        // On without a readable certificate the station will not start: say so rather than "off".
        tlsFingerprint_->setText(tlsOn ? QStringLiteral("TLS: no certificate") : QStringLiteral("TLS: off"));
        tlsFingerprint_->setToolTip(QStringLiteral("quintar setup tls makes the key and certificate and switches TLS on"));
    }
}

void CSetupDlg::BuildUserList()
{
    users_ = new UserListModel(this);
    userList_->setModel(users_);
    userList_->setRootIsDecorated(false);
    userList_->setItemsExpandable(false);
    userList_->setUniformRowHeights(true);
    userList_->setAllColumnsShowFocus(true);
    userList_->setSelectionBehavior(QAbstractItemView::SelectRows);
    userList_->setSelectionMode(QAbstractItemView::SingleSelection);
    userList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    userList_->setIconSize(window::kUserMarkSize);
    userList_->header()->setStretchLastSection(false);
    userList_->header()->setSectionsMovable(false);
    userList_->header()->resizeSection(UserListModel::kUserName, kUserNameWidth);
    userList_->header()->resizeSection(UserListModel::kDescription, kDescriptionWidth);
    userList_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(userList_, &QWidget::customContextMenuRequested, this, &CSetupDlg::ShowUserMenu);
    userList_->viewport()->installEventFilter(this);
}

void CSetupDlg::BuildMenu()
{
    userMenu_ = new QMenu(this);
    userMenu_->setObjectName(QStringLiteral("menuUsers"));
    for (const MenuRow& row : kMenu) {
        if (!row.name) {
            userMenu_->addSeparator();
            continue;
        }
        QAction* action = userMenu_->addAction(QString::fromLatin1(row.text));
        action->setObjectName(QLatin1String(row.name));
        connect(action, &QAction::triggered, this, row.run);
        if (row.run != &CSetupDlg::OnAdd)
            needsUser_.push_back(action);
    }
}

// The dialog's font: the face and size at which every fixed text fits its box, the widest device
// label included.
void CSetupDlg::ChooseFont()
{
    const QString deviceLabel = deviceLabel_->text();
    deviceLabel_->setText(QString::fromLatin1(kWidestDeviceLabel));
    window::FitFonts(*this, controls_);
    deviceLabel_->setText(deviceLabel);
}

void CSetupDlg::Load()
{
    const settings::SetupValues v = settings::LoadSetup(profile_);
    comPort_->setCurrentIndex(settings::ListIndexOf(Id::ComPort, v.comPort).value_or(-1));
    baud_->setCurrentIndex(settings::ListIndexOf(Id::ComBaud, v.baud).value_or(-1));
    tcpPort_->setText(QString::number(settings::Normalized(Id::TcpPort, v.tcpPort)));
    voice_->setChecked(v.voice != 0);
    log_->setChecked(v.log != 0);
    session_->setCurrentIndex(settings::ListIndexOf(Id::SessionTime, v.sessionMinutes).value_or(-1));
    folder_->setText(Text(v.logFolder));
    users_->SetUsers(v.users);
    OnPortSelected();
}

settings::SetupValues CSetupDlg::Values() const
{
    auto entry = [](const QComboBox* list) {
        return list->currentIndex() >= 0 ? std::optional<int>(list->currentIndex()) : std::nullopt;
    };
    settings::SetupValues v;
    v.comPort = settings::ListValueAt(Id::ComPort, entry(comPort_));
    v.baud = settings::ListValueAt(Id::ComBaud, entry(baud_));
    v.tcpPort = settings::Parse(Id::TcpPort, Bytes(tcpPort_->text())).number.value_or(settings::RowOf(Id::TcpPort).intDefault);
    v.voice = voice_->isChecked() ? 1 : 0;
    v.sessionMinutes = settings::ListValueAt(Id::SessionTime, entry(session_));
    v.log = log_->isChecked() ? 1 : 0;
    v.logFolder = Bytes(folder_->text());
    v.users = users_->Users();
    std::map<int, std::string> devices = devices_;
    if (devicePort_)
        devices[*devicePort_] = Bytes(device_->currentText());
    for (const auto& [port, device] : devices)
        if (device != storedDevices_.at(port))
            v.comDevices[port] = device;
    return v;
}

void CSetupDlg::accept()
{
    const settings::SetupValues v = Values();
    for (const auto& [port, device] : v.comDevices) {
        if (settings::Refusal why = settings::CheckComDevice(device)) {
            comPort_->setCurrentIndex(*settings::ListIndexOf(Id::ComPort, port));
            Tell("deviceMessage", windowTitle(), QStringLiteral("COM%1: %2.").arg(port).arg(Text(*why)), device_);
            return;
        }
    }
    if (!profile_.Write(settings::SetupEntries(v))) {
        Tell("saveFailedMessage", QStringLiteral("Error!"),
             QStringLiteral("The settings could not be saved in %1:\n%2\n\nThe profile is as it was; the dialog keeps "
                            "your changes.")
                 .arg(profile_.File(), profile_.LastError()));
        return;
    }
    QDialog::accept();
}

// ---- TCP port, log, serial device ---------------------------------------------------------------

// OK waits for a port in range; the note under the field says why, and what leaving the field
// will put in.
void CSetupDlg::OnPortEdited()
{
    const bool port = settings::Parse(Id::TcpPort, Bytes(tcpPort_->text())).number.has_value();
    ok_->setEnabled(port);
    if (port) {
        portNote_->hide();
        return;
    }
    const settings::Row& row = settings::RowOf(Id::TcpPort);
    portNote_->setText(QStringLiteral("Allowed: %1 to %2; %3 will be used.").arg(row.min).arg(row.max).arg(row.intDefault));
    portNote_->adjustSize();
    const QRect field = tcpPort_->geometry();
    portNote_->move(field.right() + 1 - portNote_->width(), field.bottom() + 2);
    portNote_->raise();
    portNote_->show();
}

void CSetupDlg::FixPortText()
{
    const std::optional<int> port = settings::Parse(Id::TcpPort, Bytes(tcpPort_->text())).number;
    tcpPort_->setText(QString::number(port.value_or(settings::RowOf(Id::TcpPort).intDefault)));
}

void CSetupDlg::OnLogClicked()
{
    if (folder_->text().isEmpty())
        log_->setChecked(false);
}

void CSetupDlg::OnBrowse()
{
    const std::optional<QString> chosen = chooseFolder_(this, QString::fromLatin1(kFolderTitle), folder_->text());
    if (!chosen)
        return;
    const settings::Parsed folder = settings::Parse(Id::LogFolder, Bytes(*chosen));
    if (folder.refusal) {
        Tell("folderMessage", windowTitle(), Text(*folder.refusal) + QLatin1Char('.'));
        return;
    }
    folder_->setText(Text(*folder.text));
}

void CSetupDlg::OnPortSelected()
{
    KeepDeviceText();
    ShowDevice(comPort_->currentIndex() >= 0 ? std::optional<int>(settings::ListValueAt(Id::ComPort, comPort_->currentIndex()))
                                             : std::nullopt);
}

void CSetupDlg::KeepDeviceText()
{
    if (devicePort_)
        devices_[*devicePort_] = Bytes(device_->currentText());
}

void CSetupDlg::ShowDevice(std::optional<int> port)
{
    devicePort_ = port;
    device_->clear();
    device_->setEnabled(port.has_value());
    if (!port) {
        deviceLabel_->setText(QStringLiteral("Port device"));
        return;
    }
    deviceLabel_->setText(QStringLiteral("COM%1 device").arg(*port));
    if (!devices_.count(*port))
        storedDevices_[*port] = devices_[*port] = settings::ReadComDevice(profile_, *port);
    const std::string& shown = devices_.at(*port);
    std::vector<std::string> offered = listDevices_();
    if (std::find(offered.begin(), offered.end(), shown) == offered.end())
        offered.insert(offered.begin(), shown);
    int widest = 0;
    for (const std::string& device : offered) {
        device_->addItem(Text(device));
        widest = std::max(widest, device_->fontMetrics().horizontalAdvance(Text(device)));
    }
    device_->view()->setMinimumWidth(widest + 24);
    device_->setCurrentIndex(device_->findText(Text(shown)));
    device_->setEditText(Text(shown));
}

// ---- Users ----------------------------------------------------------------------------------------

std::optional<int> CSetupDlg::SelectedRow() const
{
    const QModelIndexList rows = userList_->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return std::nullopt;
    return rows.first().row();
}

void CSetupDlg::SelectRow(int row)
{
    userList_->selectionModel()->setCurrentIndex(users_->index(row, 0),
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

CSetupUserDlg* CSetupDlg::OpenEditor(int mode, UserRecord record)
{
    auto* editor = new CSetupUserDlg(static_cast<CSetupUserDlg::Mode>(mode), std::move(record), this);
    editor->setAttribute(Qt::WA_DeleteOnClose);
    connect(editor, &CSetupUserDlg::HelpRequested, this, &CSetupDlg::HelpRequested);
    userEditor_ = editor;
    editor->open();
    return editor;
}

void CSetupDlg::OnAdd()
{
    if (users_->rowCount() >= settings::kUserSlots || userEditor_)
        return;
    CSetupUserDlg* editor = OpenEditor(static_cast<int>(CSetupUserDlg::Mode::Add), {});
    editor->SetIdTaken([this](const std::string& id) { return users_->RowOf(id).has_value(); });
    connect(editor, &QDialog::accepted, this, [this, editor] {
        users_->InsertTop(editor->Record());
        SelectRow(0);
    });
}

void CSetupDlg::OnEdit()
{
    const std::optional<int> row = SelectedRow();
    if (!row || userEditor_)
        return;
    const UserRecord before = users_->Users()[static_cast<std::size_t>(*row)];
    CSetupUserDlg* editor = OpenEditor(static_cast<int>(CSetupUserDlg::Mode::Edit), before);
    connect(editor, &QDialog::accepted, this, [this, editor, row = *row, id = before.id] {
        if (row >= users_->rowCount() || users_->Users()[static_cast<std::size_t>(row)].id != id)
            return;
        UserRecord user = editor->Record();
        user.id = id;
        users_->Replace(row, std::move(user));
    });
}

void CSetupDlg::OnDelete()
{
    const std::optional<int> row = SelectedRow();
    if (!row)
        return;
    users_->Remove(*row);
    userList_->selectionModel()->clearSelection();
}

void CSetupDlg::OnEnableDisable()
{
    const std::optional<int> row = SelectedRow();
    if (!row)
        return;
    UserRecord user = users_->Users()[static_cast<std::size_t>(*row)];
    user.disabled = user.disabled ? 0 : 1;
    users_->Replace(*row, std::move(user));
}

void CSetupDlg::ShowUserMenu(const QPoint& at)
{
    const bool any = users_->rowCount() > 0;
    for (QAction* action : needsUser_)
        action->setEnabled(any);
    userMenu_->popup(userList_->viewport()->mapToGlobal(at));
}

// ---- Messages and events --------------------------------------------------------------------------

void CSetupDlg::Tell(const char* objectName, const QString& caption, const QString& text, QWidget* focus)
{
    window::Warn(this, objectName, caption, text, focus);
}

bool CSetupDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == tcpPort_ && event->type() == QEvent::FocusOut)
        FixPortText();
    if (watched == userList_->viewport() && event->type() == QEvent::MouseButtonDblClick)
        OnEdit();
    return QDialog::eventFilter(watched, event);
}

}  // namespace quintar
