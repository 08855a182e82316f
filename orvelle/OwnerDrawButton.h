// CCButtonEx: a push button that draws itself, so that its face colour, caption colour and font
// can be chosen freely while it keeps the look of a raised button that sinks when pressed.
#pragma once

#include <QPushButton>

#include "StyledText.h"

class CCButtonEx : public orvelle::StyledText<QPushButton> {
    Q_OBJECT
public:
    explicit CCButtonEx(QWidget* parent = nullptr);
    CCButtonEx(const QString& text, QWidget* parent = nullptr);
    // Relative to the top-level window, taken at the end of the first paint.
    const orvelle::PositionRecord& Position() const { return position_; }

    // The frame's width on every side; the face lies inside it.
    static constexpr int kFrameWidth = 2;

protected:
    void paintEvent(QPaintEvent* event) override;  // draws frame, face, caption and focus mark

private:
    orvelle::PositionRecord position_;
};
