// Helpers of the display-control tests: the application on the offscreen platform with one fixed
// style and font, rendering a control to an image, saving it under the build folder, and counting
// what a picture shows.
#pragma once

#include <QColor>
#include <QImage>
#include <QObject>
#include <QWidget>

#include <functional>

#include <gtest/gtest.h>

namespace orvelletest {

// Draws the widget as the user would see it.
QImage Render(QWidget& widget);
// Writes the image as NAME.png under the test pictures' folder of the build tree.
void SaveShot(const QImage& image, const QString& name);

// Pixels of the image (within `area`, the whole image when empty) that satisfy `match`.
int CountPixels(const QImage& image, const std::function<bool(QColor)>& match, QRect area = {});
// The smallest rectangle holding every matching pixel; empty when there is none.
QRect Bounds(const QImage& image, const std::function<bool(QColor)>& match);
// A colour within `tolerance` of `want` in each channel (antialiased text is never exact).
std::function<bool(QColor)> Near(QColor want, int tolerance = 40);

// Counts the font changes that reach a widget, so a test sees when a control builds its font.
class FontChangeCounter : public QObject {
public:
    explicit FontChangeCounter(QWidget& widget) { widget.installEventFilter(this); }
    int Count() const { return count_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int count_ = 0;
};

}  // namespace orvelletest
