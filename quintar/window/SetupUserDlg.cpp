// The user editor laid out from its table, its OK rule, the character checks with their messages
// and the one-line description.
#include "SetupUserDlg.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include "ControlTable.h"
#include "WindowParts.h"

namespace quintar {

namespace {

using window::Kind;
using window::Style;

namespace names {
constexpr char kUserId[] = "userIdEdit";
constexpr char kPassword[] = "passwordEdit";
constexpr char kRetype[] = "retypeEdit";
constexpr char kDescription[] = "descriptionEdit";
constexpr char kDisabled[] = "disabledCheck";
constexpr char kOk[] = "okButton";
constexpr char kCancel[] = "cancelButton";
}  // namespace names

// In tab order.
constexpr window::ControlRow kControls[] = {
    {"userIdLabel", Kind::Label, {11, 14, 89, 14}, "User Name"},
    {names::kUserId, Kind::Edit, {107, 12, 182, 21}, "", Style::Gui},
    {"passwordLabel", Kind::Label, {11, 40, 89, 14}, "Password"},
    {names::kPassword, Kind::Edit, {107, 37, 182, 21}, "", Style::Gui},
    {"retypeLabel", Kind::Label, {11, 65, 89, 14}, "Retype Password"},
    {names::kRetype, Kind::Edit, {107, 61, 182, 21}, "", Style::Gui},
    {"descriptionLabel", Kind::Label, {11, 88, 89, 14}, "Description"},
    {names::kDescription, Kind::Own, {107, 86, 182, 70}, "", Style::Gui},
    {names::kDisabled, Kind::Check, {11, 163, 120, 14}, "User is disabled"},
    {names::kOk, Kind::Button, {131, 184, 75, 21}, "OK"},
    {names::kCancel, Kind::Button, {213, 184, 75, 21}, "Cancel"},
};
static_assert(window::NamesUnique(kControls), "one row per control");

bool IsLineBreakOrControl(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7F || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

// The description as it may be stored: one line (tabs and line breaks become blanks) of at most
// 128 bytes, cut between characters.
QString StorableDescription(const QString& text)
{
    QString line = text;
    for (QChar& c : line)
        if (IsLineBreakOrControl(c))
            c = QLatin1Char(' ');
    while (line.toUtf8().size() > static_cast<qsizetype>(settings::kMaxDescriptionLength)) {
        line.chop(1);
        if (!line.isEmpty() && line.back().isHighSurrogate())
            line.chop(1);
    }
    return line;
}

// The description box. Enter belongs to the dialog (its OK button); the combinations that would
// type a tab or a line break (Ctrl+Enter, Ctrl+I, Ctrl+J, Ctrl+M) are swallowed, and whatever is
// pasted or set is made storable.
class DescriptionEdit final : public QPlainTextEdit {
public:
    explicit DescriptionEdit(QWidget* parent) : QPlainTextEdit(parent)
    {
        setTabChangesFocus(true);
        setLineWrapMode(QPlainTextEdit::WidgetWidth);
        connect(this, &QPlainTextEdit::textChanged, this, &DescriptionEdit::KeepStorable);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        const int key = event->key();
        const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (modifiers == Qt::NoModifier)
                event->ignore();  // on to the dialog
            else
                event->accept();
            return;
        }
        if ((modifiers & Qt::ControlModifier) &&
            (key == Qt::Key_I || key == Qt::Key_J || key == Qt::Key_M || key == Qt::Key_Tab || key == Qt::Key_Backtab)) {
            event->accept();
            return;
        }
        QPlainTextEdit::keyPressEvent(event);
    }

    void insertFromMimeData(const QMimeData* source) override
    {
        if (source->hasText())
            insertPlainText(source->text());
    }

private:
    void KeepStorable()
    {
        const QString text = toPlainText();
        const QString storable = StorableDescription(text);
        if (storable == text)
            return;
        const int position = std::min(textCursor().position(), static_cast<int>(storable.size()));
        {
            const QSignalBlocker quiet(this);
            setPlainText(storable);
        }
        QTextCursor cursor = textCursor();
        cursor.setPosition(position);
        setTextCursor(cursor);
        emit textChanged();
    }
};

std::string Bytes(const QString& text)
{
    return text.toStdString();
}

}  // namespace

CSetupUserDlg::CSetupUserDlg(Mode mode, settings::UserRecord record, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      mode_(mode),
      record_(std::move(record))
{
    setObjectName(QStringLiteral("CSetupUserDlg"));
    setWindowTitle(QStringLiteral("Setup User"));
    Build();

    if (mode_ == Mode::Edit) {
        id_->setText(QString::fromStdString(record_.id));
        id_->setEnabled(false);
        password_->setText(QString::fromStdString(record_.password));
        retype_->setText(QString::fromStdString(record_.password));
        description_->setPlainText(QString::fromStdString(record_.description));
        disabled_->setChecked(record_.disabled != 0);
    }
    setFixedSize(window::EvenMarginSize(kControls));
}

void CSetupUserDlg::Build()
{
    const window::Controls controls = window::BuildControls(
        this, kControls, [](const window::ControlRow&, QWidget* parent) { return new DescriptionEdit(parent); });
    id_ = controls.Get<QLineEdit>(names::kUserId);
    password_ = controls.Get<QLineEdit>(names::kPassword);
    retype_ = controls.Get<QLineEdit>(names::kRetype);
    description_ = controls.Get<QPlainTextEdit>(names::kDescription);
    disabled_ = controls.Get<QCheckBox>(names::kDisabled);
    ok_ = controls.Get<QPushButton>(names::kOk);
    for (QLineEdit* edit : {id_, password_, retype_})
        edit->setMaxLength(static_cast<int>(settings::kMaxUserIdLength));
    id_->setAttribute(Qt::WA_InputMethodEnabled, false);
    password_->setEchoMode(QLineEdit::Password);
    retype_->setEchoMode(QLineEdit::Password);
    ok_->setDefault(true);
    ok_->setAutoDefault(true);
    ok_->setEnabled(false);
    connect(ok_, &QPushButton::clicked, this, &CSetupUserDlg::accept);
    connect(controls.Get<QPushButton>(names::kCancel), &QPushButton::clicked, this, &CSetupUserDlg::reject);
    window::FitFonts(*this, controls);

    connect(id_, &QLineEdit::textChanged, this, &CSetupUserDlg::OnIdEdited);
    connect(password_, &QLineEdit::textChanged, this, &CSetupUserDlg::UpdateOk);
    connect(retype_, &QLineEdit::textChanged, this, &CSetupUserDlg::UpdateOk);

    window::AddHelpKey(this, [this] { emit HelpRequested(kHelpContext); });
}

void CSetupUserDlg::UpdateOk()
{
    const QString password = password_->text();
    ok_->setEnabled(!id_->text().isEmpty() && !password.isEmpty() && !retype_->text().isEmpty() &&
                    password == retype_->text());
}

// A change of the id counts only while the id holds no invalid character; OK then keeps the state
// it had, and its check says what is wrong.
void CSetupUserDlg::OnIdEdited()
{
    if (!settings::HasInvalidCredentialCharacter(Bytes(id_->text())))
        UpdateOk();
}

void CSetupUserDlg::accept()
{
    const std::string id = mode_ == Mode::Edit ? record_.id : Bytes(id_->text());
    if (settings::CheckUserId(id)) {
        Refuse("userIdCheck", QStringLiteral("User ID Check"), QStringLiteral(" There are invalid character(s) in User ID."),
               mode_ == Mode::Add ? id_ : nullptr);
        return;
    }
    const std::string password = Bytes(password_->text());
    if (settings::CheckPassword(password)) {
        Refuse("passwordCheck", QStringLiteral("Password Check"),
               QStringLiteral(" There are invalid character(s) in Password."), password_);
        return;
    }
    if (mode_ == Mode::Add && idTaken_ && idTaken_(id)) {
        Refuse("sameUserIdMessage", QGuiApplication::applicationDisplayName(), QStringLiteral("There are same User ID."),
               id_);
        return;
    }
    record_.id = id;
    record_.password = password;
    record_.description = Bytes(description_->toPlainText());
    record_.disabled = disabled_->isChecked() ? 1 : 0;
    QDialog::accept();
}

void CSetupUserDlg::Refuse(const char* objectName, const QString& caption, const QString& text, QLineEdit* focus)
{
    window::Warn(this, objectName, caption, text, focus, true);
}

}  // namespace quintar
