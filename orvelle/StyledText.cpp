// Colour values, font descriptions and position records of the styled controls.
#include "StyledText.h"

#include <QApplication>
#include <QFontMetricsF>

#include <algorithm>
#include <cstring>

namespace orvelle {

QColor ToQColor(ColorRef color)
{
    return QColor(int(color & 0xFF), int(color >> 8 & 0xFF), int(color >> 16 & 0xFF));
}

ColorRef ToColorRef(const QColor& color)
{
    return Rgb(unsigned(color.red()), unsigned(color.green()), unsigned(color.blue()));
}

void CapturePosition(PositionRecord& record, const QWidget& widget, const QWidget* reference)
{
    if (record.captured)
        return;
    const QPoint topLeft =
        reference && reference != &widget ? widget.mapTo(reference, QPoint(0, 0)) : QPoint(0, 0);
    record.top = topLeft.y();
    record.left = topLeft.x();
    record.height = widget.height();
    record.width = widget.width();
    record.captured = true;
}

void FontDescription::SetFaceName(const char* name)
{
    if (!name)
        return;
    font_.setFamily(QString::fromLocal8Bit(name, qsizetype(strnlen(name, kFaceNameLength))));
}

QFont FontDescription::Build() const
{
    QFont font = font_;
    if (height_ > 0) {
        // Qt sizes a font by its em; the height asked for is the whole cell. A size far beyond any
        // screen is cut, so a stray value cannot make the painter build enormous glyphs.
        constexpr int kProbe = 100;
        constexpr unsigned kLargest = 1000;
        QFont probe = font;
        probe.setPixelSize(kProbe);
        const qreal cell = QFontMetricsF(probe).height();
        const unsigned height = std::min(height_, kLargest);
        font.setPixelSize(std::max(1, qRound(height * kProbe / (cell > 0 ? cell : kProbe))));
    }
    // Every attribute is the control's own: a parent's later font change must not reach it.
    font.setResolveMask(QFont::AllPropertiesResolved);
    return font;
}

QFont MainWindowFont(const QWidget* parent)
{
    return parent ? parent->window()->font() : QApplication::font();
}

}  // namespace orvelle
