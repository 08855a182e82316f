// The shared group frame and the fitting of fonts. Fits are measured with the widget's own style,
// so a check box's indicator and a drop-down list's arrow take their real room.
#include "WindowParts.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>

namespace quintar::window {

namespace {

// Faces tried, narrowest first; the application's own face comes last.
constexpr const char* kFaces[] = {"DejaVu Sans Condensed", "Liberation Sans Narrow", "Liberation Sans"};
constexpr int kLargestPixels = 12;
constexpr int kSmallestPixels = 8;

QString WithoutMnemonic(QString text)
{
    text.replace(QLatin1String("&&"), QLatin1String("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return text;
}

}  // namespace

GroupFrame::GroupFrame(const QString& title, QWidget* parent) : CStaticEx(title, parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void GroupFrame::AdoptFont(const QFont& font)
{
    description_ = orvelle::FontDescription(font);
    RebuildFontNow();
    update();
}

int GroupFrame::LineOffset(const QFont& font)
{
    return QFontMetrics(font).height() / 2;
}

void GroupFrame::paintEvent(QPaintEvent*)
{
    CtlColor();
    QPainter painter(this);
    const QFontMetrics metrics(font());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, LineOffset(font()) + 0.5, -0.5, -0.5), 2, 2);
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QRect title(kTitleIndent, 0, metrics.horizontalAdvance(text()) + 2 * kTitleGap, metrics.height());
    painter.fillRect(title, parentWidget()->palette().brush(QPalette::Window));
    painter.setPen(ForeColor());
    painter.drawText(title, Qt::AlignCenter | Qt::TextSingleLine, text());
}

QFont FittingFont(const std::function<bool(const QFont&)>& fits)
{
    QFont best;
    int bestPixels = 0;
    QStringList faces;
    for (const char* face : kFaces)
        faces << QString::fromLatin1(face);
    faces << QApplication::font().family();
    for (const QString& face : faces) {
        QFont font(face);
        if (!font.exactMatch() && face != QApplication::font().family())
            continue;  // not installed: fontconfig would substitute something else
        for (int pixels = kLargestPixels; pixels > bestPixels && pixels >= kSmallestPixels; --pixels) {
            font.setPixelSize(pixels);
            if (fits(font)) {
                best = font;
                bestPixels = pixels;
                break;
            }
        }
    }
    if (bestPixels == 0) {
        best = QFont(QApplication::font().family());
        best.setPixelSize(kSmallestPixels);
    }
    return best;
}

bool TextFits(const QWidget& control, const QFont& font)
{
    const QFontMetrics m(font);
    const QStyle* style = control.style();
    auto within = [&](const QString& text, const QRect& box) {
        return m.horizontalAdvance(WithoutMnemonic(text)) <= box.width() && m.height() <= box.height() + 1;
    };
    if (const auto* check = qobject_cast<const QCheckBox*>(&control)) {
        QStyleOptionButton option;
        option.initFrom(check);
        option.fontMetrics = m;
        option.text = check->text();
        return within(check->text(), style->subElementRect(QStyle::SE_CheckBoxContents, &option, check));
    }
    if (const auto* button = qobject_cast<const QPushButton*>(&control)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.fontMetrics = m;
        option.text = button->text();
        const QRect contents = style->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        return within(button->text(), contents.adjusted(2, 0, -2, 0));
    }
    if (const auto* list = qobject_cast<const QComboBox*>(&control)) {
        QStyleOptionComboBox option;
        option.initFrom(list);
        option.fontMetrics = m;
        option.editable = list->isEditable();
        const QRect field = style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list);
        for (int i = 0; i < list->count(); ++i)
            if (!within(list->itemText(i), field))
                return false;
        return true;
    }
    if (const auto* frame = qobject_cast<const GroupFrame*>(&control)) {
        const int room = frame->width() - 2 * (GroupFrame::kTitleIndent + GroupFrame::kTitleGap);
        return m.horizontalAdvance(frame->text()) <= room;
    }
    if (const auto* label = qobject_cast<const QLabel*>(&control))
        return within(label->text(), label->contentsRect());
    return true;
}

QFont GuiFont(const QFont& dialogFont)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(QFontInfo(dialogFont).pixelSize());
    return font;
}

void AddHelpKey(QWidget* window, std::function<void()> ask)
{
    auto* key = new QAction(window);
    key->setObjectName(QStringLiteral("helpKey"));
    key->setShortcut(QKeySequence(Qt::Key_F1));
    key->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(key, &QAction::triggered, window, std::move(ask));
    window->addAction(key);
}

QMessageBox* Warn(QWidget* owner, const char* objectName, const QString& caption, const QString& text, QWidget* focus,
                  bool selectAll)
{
    auto* box = new QMessageBox(QMessageBox::Warning, caption, text, QMessageBox::Ok, owner);
    box->setObjectName(QLatin1String(objectName));
    box->setAttribute(Qt::WA_DeleteOnClose);
    if (focus) {
        auto take = [focus, selectAll] {
            focus->setFocus();
            if (auto* edit = qobject_cast<QLineEdit*>(focus); edit && selectAll)
                edit->selectAll();
        };
        take();
        // A box closed before the window system made it active may leave no window active.
        QObject::connect(box, &QDialog::finished, focus, [focus, take] {
            focus->window()->activateWindow();
            take();
        });
    }
    box->open();
    return box;
}

}  // namespace quintar::window
