// The user editor laid out from its table, its OK rule, the character checks with their messages
// and the one-line description.
#include "SetupUserDlg.h"

#include <QAction>
#include <QCheckBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include "PanelLayout.h"
#include "WindowParts.h"

namespace quintar {

namespace {

enum class Part { Label, IdEdit, PasswordEdit, Description, Check, Button };

struct Control {
    int id;
    Part part;
    const char* text;
    QRect rect;
};

namespace ids {
constexpr int kUserId = 1042;
constexpr int kPassword = 1043;
constexpr int kRetype = 1046;
constexpr int kDescription = 1044;
constexpr int kDisabled = 1047;
constexpr int kOk = 1;
constexpr int kCancel = 2;
}  // namespace ids

// In tab order.
constexpr Control kControls[] = {
    {1039, Part::Label, "User Name", {11, 14, 89, 14}},
    {ids::kUserId, Part::IdEdit, "", {107, 12, 182, 21}},
    {1040, Part::Label, "Password", {11, 40, 89, 14}},
    {ids::kPassword, Part::PasswordEdit, "", {107, 37, 182, 21}},
    {1045, Part::Label, "Retype Password", {11, 65, 89, 14}},
    {ids::kRetype, Part::PasswordEdit, "", {107, 61, 182, 21}},
    {1041, Part::Label, "Description", {11, 88, 89, 14}},
    {ids::kDescription, Part::Description, "", {107, 86, 182, 70}},
    {ids::kDisabled, Part::Check, "User is disabled", {11, 163, 120, 14}},
    {ids::kOk, Part::Button, "OK", {131, 184, 75, 21}},
    {ids::kCancel, Part::Button, "Cancel", {213, 184, 75, 21}},
};

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
    std::vector<QWidget*> fitted;
    for (const Control& c : kControls) {
        const QString text = QString::fromLatin1(c.text);
        QWidget* w = nullptr;
        switch (c.part) {
        case Part::Label:
            w = new QLabel(text, this);
            fitted.push_back(w);
            break;
        case Part::IdEdit:
        case Part::PasswordEdit: {
            auto* edit = new QLineEdit(this);
            edit->setMaxLength(static_cast<int>(settings::kMaxUserIdLength));
            if (c.part == Part::PasswordEdit)
                edit->setEchoMode(QLineEdit::Password);
            else
                edit->setAttribute(Qt::WA_InputMethodEnabled, false);
            (c.id == ids::kUserId ? id_ : c.id == ids::kPassword ? password_ : retype_) = edit;
            w = edit;
            break;
        }
        case Part::Description:
            description_ = new DescriptionEdit(this);
            w = description_;
            break;
        case Part::Check:
            disabled_ = new QCheckBox(text, this);
            w = disabled_;
            fitted.push_back(w);
            break;
        case Part::Button: {
            auto* button = new QPushButton(text, this);
            if (c.id == ids::kOk) {
                ok_ = button;
                button->setDefault(true);
                button->setEnabled(false);
                connect(button, &QPushButton::clicked, this, &CSetupUserDlg::accept);
            } else {
                button->setAutoDefault(false);
                connect(button, &QPushButton::clicked, this, &CSetupUserDlg::reject);
            }
            w = button;
            fitted.push_back(w);
            break;
        }
        }
        w->setObjectName(window::ObjectNameFor(c.id));
        w->setGeometry(c.rect);
    }
    setFont(window::FittingFont([&](const QFont& font) {
        return std::all_of(fitted.begin(), fitted.end(), [&](QWidget* w) { return window::TextFits(*w, font); });
    }));
    const QFont editFont = window::GuiFont(font());
    for (QWidget* edit : std::initializer_list<QWidget*>{id_, password_, retype_, description_})
        edit->setFont(editFont);

    connect(id_, &QLineEdit::textChanged, this, &CSetupUserDlg::OnIdEdited);
    connect(password_, &QLineEdit::textChanged, this, &CSetupUserDlg::UpdateOk);
    connect(retype_, &QLineEdit::textChanged, this, &CSetupUserDlg::UpdateOk);

    auto* help = new QAction(this);
    help->setObjectName(QStringLiteral("helpKey"));
    help->setShortcut(QKeySequence(Qt::Key_F1));
    help->setShortcutContext(Qt::WindowShortcut);
    connect(help, &QAction::triggered, this, [this] { emit HelpRequested(kHelpContext); });
    addAction(help);
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
