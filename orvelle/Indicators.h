// The two indicators: CStaticLEDEx, a lamp that goes out by itself a set time after it was lit, and
// CStaticMeterEx, the signal-strength bar meter drawn as a row of "|" with a held peak mark and a
// thin squelch mark along its top edge.
#pragma once

#include <QBasicTimer>
#include <QLabel>

#include <optional>

#include "StyledControls.h"
#include "StyledText.h"

class CStaticLEDEx : public CStaticEx {
    Q_OBJECT
public:
    explicit CStaticLEDEx(QWidget* parent = nullptr);
    // The colours are used from the next switch; nothing is redrawn.
    int SetOnColor(orvelle::ColorRef color);
    int SetOffColor(orvelle::ColorRef color);
    // How long the lamp stays lit, in milliseconds; 0 keeps it lit until it is switched off.
    int SetTimerCount(unsigned milliseconds);

public slots:
    // Lights the lamp (non-zero) and (re)starts its time, or puts it out (0).
    int SetLEDON(int on);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    QBasicTimer lamp_;
    unsigned timerCount_ = 100;
    orvelle::ColorRef offColor_ = orvelle::Rgb(0, 0, 0);
    orvelle::ColorRef onColor_ = orvelle::Rgb(0, 255, 0);
};

class CStaticMeterEx : public orvelle::StyledText<QLabel> {
    Q_OBJECT
public:
    static constexpr unsigned kFullScale = 45;        // segments when the reading is at the maximum
    static constexpr unsigned kHighestSquelch = 30;   // squelch levels above it are ignored
    static constexpr int kSquelchMarkHeight = 2;      // pixels

    explicit CStaticMeterEx(QWidget* parent = nullptr);
    // The reading that fills the full scale; 0 is refused (returns 0) and the old maximum stays.
    int SetMaxValue(unsigned value);
    int SetMinValue(unsigned value);  // kept for the owner; the drawing does not use it
    // Peak hold time in milliseconds: 1 to 4999; anything else is refused (returns 0).
    int SetTimerCount(unsigned milliseconds);
    int SetSMSColor(orvelle::ColorRef color);
    // Any non-zero argument gives bold, and the font is rebuilt at once, unlike the other font setters.
    int SetTextBold(int bold);

    // The text drawn: bar, blanks, peak mark.
    const QString& BarText() const { return barText_; }
    // The client rectangle at the first paint; its width bounds the squelch mark.
    const orvelle::PositionRecord& Position() const { return position_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

public slots:
    void ViewMeter(unsigned value);
    void ResetMeter();
    void ViewSMeterSql(int show, unsigned level);

signals:
    // Each time the bar text is built (a repeated reading under a standing peak builds nothing).
    void barBuilt(const QString& text);

protected:
    void ViewMeterEx(unsigned segments);
    void ViewMeterPeak(unsigned length);
    void ResetMeterPeak();
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    // Larger than any segment count: nothing shown yet.
    static constexpr unsigned kNothingShown = 999;

    orvelle::PositionRecord position_;
    std::optional<QColor> squelchColor_;
    QString barText_;
    int squelchShown_ = 0;
    unsigned squelchLevel_ = 999;
    unsigned minValue_ = 0;
    unsigned maxValue_ = 30;
    unsigned peak_ = kNothingShown;
    unsigned current_ = kNothingShown;
    unsigned holdTime_ = 1000;
    QBasicTimer hold_;
};
