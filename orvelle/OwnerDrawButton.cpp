// The owner-drawn button: the style's push-button frame, a face of the chosen colour, the caption
// centred on it with its mnemonic letter underlined, and the focus mark.
#include "OwnerDrawButton.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>

using orvelle::BoldWhen;
using orvelle::FontTakesEffect;
using orvelle::StyledTraits;

namespace {

constexpr StyledTraits kOwnerDrawn{BoldWhen::ExactlyOne, FontTakesEffect::AtOnce, QPalette::ButtonText,
                                   QPalette::Button, false};
constexpr int kCaptionFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextShowMnemonic;

}  // namespace

CCButtonEx::CCButtonEx(QWidget* parent) : StyledText(parent, kOwnerDrawn) {}

CCButtonEx::CCButtonEx(const QString& text, QWidget* parent) : CCButtonEx(parent)
{
    setText(text);
}

void CCButtonEx::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const bool pressed = isDown();

    QStyleOptionButton frame;
    initStyleOption(&frame);
    frame.text.clear();
    frame.icon = QIcon();
    frame.state &= ~(QStyle::State_Sunken | QStyle::State_Raised | QStyle::State_HasFocus);
    frame.state |= pressed ? QStyle::State_Sunken : QStyle::State_Raised;
    style()->drawPrimitive(QStyle::PE_PanelButtonCommand, &frame, &painter, this);

    QRect face = rect().adjusted(kFrameWidth, kFrameWidth, -kFrameWidth, -kFrameWidth);
    if (pressed)
        face.translate(1, 1);
    painter.fillRect(face, BackBrush());

    const QString caption = text();
    if (!caption.isEmpty()) {
        painter.setFont(font());
        const QSize size = QFontMetrics(font()).size(kCaptionFlags, caption);
        // Integer halves, so that the press moves the caption by exactly one pixel too.
        const QRect box(face.left() + (face.width() - size.width()) / 2,
                        face.top() + (face.height() - size.height()) / 2, size.width(), size.height());
        if (isEnabled()) {
            painter.setPen(ForeColor());
            painter.drawText(box, kCaptionFlags, caption);
        } else {
            // The engraved look: a light copy one pixel down and right under the shadow-coloured text.
            painter.setPen(palette().color(QPalette::Light));
            painter.drawText(box.translated(1, 1), kCaptionFlags, caption);
            painter.setPen(palette().color(QPalette::Dark));
            painter.drawText(box, kCaptionFlags, caption);
        }
    }

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        // Shown whenever the button has the focus, not only after keyboard navigation.
        focus.state |= QStyle::State_KeyboardFocusChange;
        focus.rect = face.adjusted(1, 1, -1, -1);
        focus.backgroundColor = BackBrush().color();
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
    painter.end();
    CapturePosition(position_, *this, window());
}
