// The lamp and the bar meter.
#include "Indicators.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QTimerEvent>

#include <algorithm>
#include <climits>
#include <cstdint>

using orvelle::BoldWhen;
using orvelle::ColorRef;
using orvelle::FontTakesEffect;
using orvelle::StyledTraits;

// ---- Lamp ---------------------------------------------------------------------------------------

CStaticLEDEx::CStaticLEDEx(QWidget* parent) : CStaticEx(parent) {}

int CStaticLEDEx::SetOnColor(ColorRef color)
{
    onColor_ = color;
    return 1;
}

int CStaticLEDEx::SetOffColor(ColorRef color)
{
    offColor_ = color;
    return 1;
}

int CStaticLEDEx::SetTimerCount(unsigned milliseconds)
{
    timerCount_ = milliseconds;
    return 1;
}

int CStaticLEDEx::SetLEDON(int on)
{
    if (!on) {
        SetBackColor(offColor_);
        return 1;
    }
    SetBackColor(onColor_);
    if (timerCount_ != 0)
        lamp_.start(int(std::min<unsigned>(timerCount_, INT_MAX)), this);
    return 1;
}

void CStaticLEDEx::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == lamp_.timerId()) {
        lamp_.stop();
        SetLEDON(0);
    }
    CStaticEx::timerEvent(event);
}

// ---- Bar meter ----------------------------------------------------------------------------------

namespace {

constexpr StyledTraits kMeter{BoldWhen::NonZero, FontTakesEffect::AtNextPaint, QPalette::WindowText,
                              QPalette::Button, false};
constexpr unsigned kMeterFontHeight = 12;
constexpr char kMeterFace[] = "MS Serif";
constexpr QChar kSegment = u'|';
constexpr unsigned kLongestHold = 4999;

}  // namespace

CStaticMeterEx::CStaticMeterEx(QWidget* parent) : StyledText(parent, kMeter)
{
    description_.SetHeight(kMeterFontHeight);
    description_.SetFaceName(kMeterFace);
    // The face was a bitmap font: crisp one-pixel segments rather than grey smudges.
    description_.SetAntialiased(false);
    RebuildFontNow();
}

int CStaticMeterEx::SetMaxValue(unsigned value)
{
    if (value == 0)
        return 0;  // the scale factor would be infinite
    maxValue_ = value;
    return 1;
}

int CStaticMeterEx::SetMinValue(unsigned value)
{
    minValue_ = value;
    return 1;
}

int CStaticMeterEx::SetTimerCount(unsigned milliseconds)
{
    if (milliseconds < 1 || milliseconds > kLongestHold)
        return 0;
    holdTime_ = milliseconds;
    return 1;
}

int CStaticMeterEx::SetSMSColor(ColorRef color)
{
    squelchColor_ = orvelle::ToQColor(color);
    return Redraw();
}

int CStaticMeterEx::SetTextBold(int bold)
{
    description_.SetWeight(bold != 0 ? 700 : 400);
    RebuildFontNow();
    return Redraw();
}

QSize CStaticMeterEx::sizeHint() const
{
    // Room for the full scale, whatever the bar text holds at the moment.
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(QString(int(kFullScale), kSegment)), metrics.height()};
}

QSize CStaticMeterEx::minimumSizeHint() const
{
    return sizeHint();
}

void CStaticMeterEx::ViewMeter(unsigned value)
{
    // A reading above the maximum fills the full scale: beyond it there is nothing to show, and an
    // unbounded reading would build an unbounded text.
    const unsigned reading = std::min(value, maxValue_);
    ViewMeterEx(unsigned(reading * (double(kFullScale) / maxValue_)));
    Redraw();
}

void CStaticMeterEx::ResetMeter()
{
    current_ = 0;
    ResetMeterPeak();
}

void CStaticMeterEx::ViewSMeterSql(int show, unsigned level)
{
    if ((show == squelchShown_ && level == squelchLevel_) || level > kHighestSquelch)
        return;
    squelchShown_ = show;
    squelchLevel_ = level;
    Redraw();
}

void CStaticMeterEx::ViewMeterEx(unsigned segments)
{
    if (segments == current_ && peak_ != 0)
        return;
    barText_ = int(segments) > 0 ? QString(int(segments), kSegment) : QString();
    ViewMeterPeak(unsigned(barText_.size()));
    current_ = segments;
    emit barBuilt(barText_);
}

void CStaticMeterEx::ViewMeterPeak(unsigned length)
{
    // current_ still holds the previous reading here.
    if (length < peak_) {
        const unsigned gap = peak_ - length;
        if (gap >= 3)
            barText_.append(QString(int(gap - 2), u' '));
        barText_.append(gap == 1 ? QStringLiteral("|") : QStringLiteral("||"));
        if (peak_ == current_)  // the reading has just fallen from its peak
            hold_.start(int(holdTime_), this);
    } else if (length > peak_) {
        peak_ = length;
    }
}

void CStaticMeterEx::ResetMeterPeak()
{
    hold_.stop();
    peak_ = 0;
    ViewMeterEx(current_);
    setText(barText_);
    Redraw();
}

void CStaticMeterEx::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == hold_.timerId())
        ResetMeterPeak();
    QLabel::timerEvent(event);
}

void CStaticMeterEx::paintEvent(QPaintEvent*)
{
    CtlColor();
    CapturePosition(position_, *this, this);
    QPainter painter(this);
    painter.fillRect(rect(), BackBrush());
    painter.setFont(font());
    painter.setPen(ForeColor());
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignTop, barText_);
    if (squelchShown_ != 0) {
        // As many segments as the level fills, rounded up.
        const auto segments = (std::uint64_t(squelchLevel_) * kFullScale + maxValue_ - 1) / maxValue_;
        const int width = std::min(QFontMetrics(font()).horizontalAdvance(QString(int(segments), kSegment)),
                                   position_.width);
        // Unset, the mark takes the system's text colour, not the bar colour the owner may have set.
        painter.fillRect(QRect(0, 0, width, kSquelchMarkHeight),
                         squelchColor_.value_or(QApplication::palette(this).color(QPalette::WindowText)));
    }
}
