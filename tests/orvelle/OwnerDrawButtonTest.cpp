// The owner-drawn button as drawn: the press moves face and caption, the mnemonic letter is
// underlined and works from the keyboard, the disabled look, an empty caption, the focus mark.
#include <QSignalSpy>
#include <QTest>

#include "OwnerDrawButton.h"
#include "WidgetTestSupport.h"

namespace orvelletest {
namespace {

using orvelle::Rgb;

const QColor kFace(255, 255, 160);
const QColor kCaption(200, 0, 0);
// A 100 x 30 button has a two-pixel frame.
const QRect kFaceArea(2, 2, 96, 26);

class OrvelleOwnerDrawnButton : public ::testing::Test {
protected:
    OrvelleOwnerDrawnButton()
    {
        window.resize(200, 80);
        button = new CCButtonEx("Start", &window);
        button->setObjectName("start");
        button->setGeometry(20, 20, 100, 30);
        button->SetBackColor(Rgb(255, 255, 160));
        button->SetForeColor(Rgb(200, 0, 0));
        window.show();
    }
    QImage Draw(const char* shot = nullptr)
    {
        const QImage image = Render(*button);
        if (shot)
            SaveShot(image, shot);
        return image;
    }

    QWidget window;
    CCButtonEx* button = nullptr;
};

TEST_F(OrvelleOwnerDrawnButton, pressingMovesFaceAndCaptionOnePixelRightAndDown)
{
    const QImage released = Draw("ccbutton-released");
    QTest::mousePress(button, Qt::LeftButton);
    ASSERT_TRUE(button->isDown());
    const QImage pressed = Draw("ccbutton-pressed");
    QTest::mouseRelease(button, Qt::LeftButton);

    EXPECT_NE(released, pressed);
    EXPECT_EQ(released.copy(kFaceArea), pressed.copy(kFaceArea.translated(1, 1)));
    const QRect caption = Bounds(released, Near(kCaption));
    ASSERT_FALSE(caption.isEmpty());
    EXPECT_EQ(Bounds(pressed, Near(kCaption)), caption.translated(1, 1));
    // The caption is centred on the face of the released button.
    EXPECT_NEAR(caption.center().x(), kFaceArea.center().x(), 1);
    EXPECT_EQ(Draw().copy(kFaceArea), released.copy(kFaceArea));  // back up after the release
}

TEST_F(OrvelleOwnerDrawnButton, mnemonicLetterIsUnderlinedAndTheAmpersandNotDrawn)
{
    const QImage plain = Draw();
    button->setText("&Start");
    const QImage marked = Draw("ccbutton-mnemonic");

    const QRect caption = Bounds(plain, Near(kCaption));
    QRect changed;
    for (int y = 0; y < plain.height(); ++y)
        for (int x = 0; x < plain.width(); ++x)
            if (plain.pixel(x, y) != marked.pixel(x, y))
                changed |= QRect(x, y, 1, 1);
    ASSERT_FALSE(changed.isEmpty());
    // Only a short line under the first letter differs.
    const int letterWidth = QFontMetrics(button->font()).horizontalAdvance(QLatin1Char('S'));
    EXPECT_LE(changed.height(), 2);
    EXPECT_GT(changed.top(), caption.center().y());
    EXPECT_GE(changed.left(), caption.left() - 1);
    EXPECT_LE(changed.right(), caption.left() + letterWidth + 1);
    EXPECT_GT(CountPixels(marked, Near(kCaption), changed), 0);
}

TEST_F(OrvelleOwnerDrawnButton, mnemonicLetterWithAltClicksTheButton)
{
    button->setText("&Start");
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QSignalSpy clicks(button, &QPushButton::clicked);
    QTest::keyClick(&window, Qt::Key_S, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return clicks.count() == 1; }, 5000));  // a shortcut animates the click
}

TEST_F(OrvelleOwnerDrawnButton, disabledCaptionIsEngravedInsteadOfColoured)
{
    // A mid-tone face, so that both the light and the shadow copy of the caption stand out.
    const QColor face(120, 140, 200);
    button->SetBackColor(Rgb(120, 140, 200));
    const QImage enabled = Draw();
    button->setEnabled(false);
    const QImage disabled = Draw("ccbutton-disabled");
    const QColor light = button->palette().color(QPalette::Disabled, QPalette::Light);
    const QColor dark = button->palette().color(QPalette::Disabled, QPalette::Dark);
    ASSERT_FALSE(Near(face, 30)(light));
    ASSERT_FALSE(Near(face, 30)(dark));

    EXPECT_GT(CountPixels(enabled, Near(kCaption)), 20);
    EXPECT_EQ(CountPixels(disabled, Near(kCaption)), 0);
    EXPECT_GT(CountPixels(disabled, Near(light, 30), kFaceArea), 10);
    EXPECT_GT(CountPixels(disabled, Near(dark, 20), kFaceArea), 10);
    // The light copy lies one pixel right of and below the shadow copy.
    const QImage faceOnly = disabled.copy(kFaceArea);
    EXPECT_EQ(Bounds(faceOnly, Near(light, 30)).bottomRight(), Bounds(faceOnly, Near(dark, 20)).bottomRight() + QPoint(1, 1));
    EXPECT_EQ(disabled.pixelColor(kFaceArea.topLeft()), face);
}

TEST_F(OrvelleOwnerDrawnButton, emptyCaptionDrawsOnlyFrameAndFace)
{
    button->setText("");
    const QImage image = Draw("ccbutton-empty");
    EXPECT_EQ(CountPixels(image, [](QColor c) { return c == kFace; }, kFaceArea), kFaceArea.width() * kFaceArea.height());
    EXPECT_NE(image.pixelColor(0, 15), kFace);  // the frame
}

TEST_F(OrvelleOwnerDrawnButton, focusMarkLiesInsideTheFace)
{
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    auto* other = new CCButtonEx("Other", &window);
    other->setGeometry(20, 55, 100, 20);
    other->show();
    other->setFocus();
    const QImage unfocused = Draw();
    button->setFocus();
    ASSERT_TRUE(button->hasFocus());
    const QImage focused = Draw("ccbutton-focused");
    QRect changed;
    for (int y = 0; y < focused.height(); ++y)
        for (int x = 0; x < focused.width(); ++x)
            if (focused.pixel(x, y) != unfocused.pixel(x, y))
                changed |= QRect(x, y, 1, 1);
    ASSERT_FALSE(changed.isEmpty());
    EXPECT_TRUE(kFaceArea.contains(changed)) << changed.x() << "," << changed.y() << " " << changed.width()
                                             << "x" << changed.height();
}

TEST_F(OrvelleOwnerDrawnButton, boldNeedsExactlyOne)
{
    button->SetTextBold(2);
    EXPECT_EQ(button->font().weight(), QFont::Normal);
    button->SetTextBold(1);
    EXPECT_EQ(button->font().weight(), QFont::Bold);
}

TEST_F(OrvelleOwnerDrawnButton, positionIsTakenAtTheEndOfTheFirstPaint)
{
    EXPECT_FALSE(button->Position().captured);
    Render(window);
    EXPECT_TRUE(button->Position().captured);
    EXPECT_EQ(button->Position().top, 20);
    EXPECT_EQ(button->Position().left, 20);
    EXPECT_EQ(button->Position().width, 100);
    EXPECT_EQ(button->Position().height, 30);
}

}  // namespace
}  // namespace orvelletest
