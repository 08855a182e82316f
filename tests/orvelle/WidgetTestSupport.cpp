// Helpers of the display-control tests.
#include "WidgetTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QStyleFactory>

#include <memory>

namespace orvelletest {
namespace {

// One application for the whole program, made before the first test and gone after the last.
class WidgetApplication : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = std::make_unique<QApplication>(argc_, argv_);
        // Pictures compared or looked at must not depend on the desktop.
        QApplication::setStyle(QStyleFactory::create("Fusion"));
        QFont font("DejaVu Sans");
        font.setPixelSize(12);
        QApplication::setFont(font);
    }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[13] = "test_orvelle";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const kApplication =
    ::testing::AddGlobalTestEnvironment(new WidgetApplication);

}  // namespace

QImage Render(QWidget& widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

void SaveShot(const QImage& image, const QString& name)
{
    const QDir dir(QStringLiteral(ORVELLE_SCREENSHOT_DIR));
    ASSERT_TRUE(dir.mkpath(".")) << ORVELLE_SCREENSHOT_DIR;
    EXPECT_TRUE(image.save(dir.filePath(name + ".png"))) << name.toStdString();
}

int CountPixels(const QImage& image, const std::function<bool(QColor)>& match, QRect area)
{
    if (area.isEmpty())
        area = image.rect();
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += match(image.pixelColor(x, y)) ? 1 : 0;
    return count;
}

QRect Bounds(const QImage& image, const std::function<bool(QColor)>& match)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (match(image.pixelColor(x, y)))
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

std::function<bool(QColor)> Near(QColor want, int tolerance)
{
    return [want, tolerance](QColor c) {
        return std::abs(c.red() - want.red()) <= tolerance && std::abs(c.green() - want.green()) <= tolerance &&
               std::abs(c.blue() - want.blue()) <= tolerance;
    };
}

bool FontChangeCounter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        ++count_;
    return QObject::eventFilter(watched, event);
}

}  // namespace orvelletest
