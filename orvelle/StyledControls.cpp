// The five styled text controls.
#include "StyledControls.h"

#include <QIcon>

using orvelle::BoldWhen;
using orvelle::FontTakesEffect;
using orvelle::StyledTraits;

namespace {

// Buttons and statics stand on the button face, edit and list boxes on the window colour.
constexpr StyledTraits kButton{BoldWhen::ExactlyOne, FontTakesEffect::AtOnce, QPalette::ButtonText,
                               QPalette::Button, false};
constexpr StyledTraits kEdit{BoldWhen::ExactlyOne, FontTakesEffect::AtOnce, QPalette::Text, QPalette::Base,
                             false};
constexpr StyledTraits kListBox{BoldWhen::ExactlyOne, FontTakesEffect::AtOnce, QPalette::Text,
                                QPalette::Base, false};
constexpr StyledTraits kStatic{BoldWhen::NonZero, FontTakesEffect::AtNextPaint, QPalette::WindowText,
                               QPalette::Button, true};

QIcon IconResource(unsigned id)
{
    return QIcon(QStringLiteral(":/icons/%1").arg(id));
}

}  // namespace

CButtonEx::CButtonEx(QWidget* parent) : StyledText(parent, kButton) {}

CButtonEx::CButtonEx(const QString& text, QWidget* parent) : CButtonEx(parent)
{
    setText(text);
}

void CButtonEx::LoadIconA(unsigned id)
{
    setIcon(IconResource(id));
}

void CButtonEx::paintEvent(QPaintEvent* event)
{
    CapturePosition(position_, *this, window());
    QPushButton::paintEvent(event);
}

CEditEx::CEditEx(QWidget* parent) : StyledText(parent, kEdit) {}

void CEditEx::paintEvent(QPaintEvent* event)
{
    CapturePosition(position_, *this, parentWidget());
    QLineEdit::paintEvent(event);
}

CListBoxEx::CListBoxEx(QWidget* parent) : StyledText(parent, kListBox) {}

CStaticEx::CStaticEx(QWidget* parent) : StyledText(parent, kStatic) {}

CStaticEx::CStaticEx(const QString& text, QWidget* parent) : CStaticEx(parent)
{
    setText(text);
}

void CStaticEx::LoadIconA(unsigned id)
{
    const QIcon icon = IconResource(id);
    const QList<QSize> sizes = icon.availableSizes();
    setPixmap(icon.isNull() ? QPixmap() : icon.pixmap(sizes.isEmpty() ? QSize(32, 32) : sizes.first()));
}

void CStaticEx::paintEvent(QPaintEvent* event)
{
    CtlColor();
    CapturePosition(position_, *this, parentWidget());
    QLabel::paintEvent(event);
}

CStaticFrameEx::CStaticFrameEx(QWidget* parent) : StyledText(parent, kStatic) {}

CStaticFrameEx::CStaticFrameEx(const QString& title, QWidget* parent) : CStaticFrameEx(parent)
{
    setTitle(title);
}

void CStaticFrameEx::paintEvent(QPaintEvent* event)
{
    CtlColor();
    QGroupBox::paintEvent(event);
}
