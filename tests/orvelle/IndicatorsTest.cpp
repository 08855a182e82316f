// The bar meter (bar texts, peak mark and its hold time, squelch mark, refused settings, font) and
// the lamp (goes out after its time, a second switch-on restarts the time).
#include <QApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QSignalSpy>
#include <QTest>

#include "Indicators.h"
#include "WidgetTestSupport.h"

namespace orvelletest {
namespace {

using orvelle::Rgb;

QString Bars(int n)
{
    return QString(n, u'|');
}

QString Blanks(int n)
{
    return QString(n, u' ');
}

// ---- Bar meter ----------------------------------------------------------------------------------

class OrvelleMeter : public ::testing::Test {
protected:
    OrvelleMeter()
    {
        meter.resize(300, 16);
        meter.SetForeColor(Rgb(0, 0, 0));
        meter.SetBackColor(Rgb(255, 255, 255));
        meter.SetSMSColor(Rgb(255, 0, 0));
    }
    // The meter with its peak at `peak` segments (maximum 45: one segment per unit) and a hold
    // time no test outlasts.
    void PeakAt(unsigned peak)
    {
        ASSERT_EQ(meter.SetMaxValue(45), 1);
        ASSERT_EQ(meter.SetTimerCount(4999), 1);
        meter.ResetMeter();
        meter.ViewMeter(peak);
        ASSERT_EQ(meter.BarText(), Bars(int(peak)));
    }
    QRect SquelchMark()
    {
        return Bounds(Render(meter), [](QColor c) { return c == QColor(255, 0, 0); });
    }
    int BarsWidth(int n) const { return QFontMetrics(meter.font()).horizontalAdvance(Bars(n)); }

    CStaticMeterEx meter;
};

struct Reading {
    unsigned value;
    int bars;
};

TEST_F(OrvelleMeter, readingsOfTheDefaultMaximumOfThirtyFillFortyFiveSegmentsTruncated)
{
    const Reading readings[] = {{30, 45}, {10, 15}, {1, 1}, {0, 0}, {2, 3}, {29, 43}, {31, 45}, {4000000000u, 45}};
    for (const Reading& r : readings) {
        meter.ResetMeter();
        meter.ViewMeter(r.value);
        EXPECT_EQ(meter.BarText(), Bars(r.bars)) << r.value;
    }
}

TEST_F(OrvelleMeter, firstReadingIsFollowedByBlanksUpToThePeakOfNothingShownYet)
{
    CStaticMeterEx fresh;
    fresh.ViewMeter(10);
    EXPECT_EQ(fresh.BarText(), Bars(15) + Blanks(982) + "||");
}

TEST_F(OrvelleMeter, fallBelowThePeakLeavesTheMarkAtThePeakPosition)
{
    struct Fall {
        unsigned reading;
        QString text;
    };
    const Fall falls[] = {
        {19, Bars(19) + "|"},
        {18, Bars(18) + "||"},
        {17, Bars(17) + Blanks(1) + "||"},
        {10, Bars(10) + Blanks(8) + "||"},
        {0, Blanks(18) + "||"},
    };
    for (const Fall& f : falls) {
        PeakAt(20);
        meter.ViewMeter(f.reading);
        EXPECT_EQ(meter.BarText(), f.text) << f.reading;
        EXPECT_EQ(meter.BarText().size(), 20);
    }
}

TEST_F(OrvelleMeter, successiveFallsKeepTheMarkAndARiseMovesThePeak)
{
    PeakAt(20);
    meter.ViewMeter(19);
    meter.ViewMeter(18);
    meter.ViewMeter(10);
    EXPECT_EQ(meter.BarText(), Bars(10) + Blanks(8) + "||");
    meter.ViewMeter(25);
    EXPECT_EQ(meter.BarText(), Bars(25));
    meter.ViewMeter(24);
    EXPECT_EQ(meter.BarText(), Bars(25));
}

TEST_F(OrvelleMeter, sameReadingTwiceUnderAStandingPeakBuildsNothing)
{
    PeakAt(20);
    QSignalSpy builds(&meter, &CStaticMeterEx::barBuilt);
    meter.ViewMeter(20);
    EXPECT_EQ(builds.count(), 0);
    meter.ViewMeter(10);
    meter.ViewMeter(10);
    EXPECT_EQ(builds.count(), 1);
    EXPECT_EQ(builds.at(0).at(0).toString(), Bars(10) + Blanks(8) + "||");

    // With the peak at 0 a repeated reading is built again.
    meter.ResetMeter();
    builds.clear();
    meter.ViewMeter(0);
    meter.ViewMeter(0);
    EXPECT_EQ(builds.count(), 2);
}

TEST_F(OrvelleMeter, holdTimeEndsThePeakMarkAndThePeakFallsToTheReading)
{
    ASSERT_EQ(meter.SetMaxValue(45), 1);
    ASSERT_EQ(meter.SetTimerCount(50), 1);
    meter.ResetMeter();
    meter.ViewMeter(20);
    meter.ViewMeter(10);
    ASSERT_EQ(meter.BarText(), Bars(10) + Blanks(8) + "||");
    EXPECT_TRUE(QTest::qWaitFor([&] { return meter.BarText() == Bars(10); }, 5000)) << meter.BarText().toStdString();
    EXPECT_EQ(meter.text(), Bars(10));  // the control's own text follows
    meter.ViewMeter(5);
    EXPECT_EQ(meter.BarText(), Bars(5) + Blanks(3) + "||");
}

TEST_F(OrvelleMeter, holdTimeOfFiveThousandOrZeroIsRefused)
{
    ASSERT_EQ(meter.SetMaxValue(45), 1);
    EXPECT_EQ(meter.SetTimerCount(30), 1);
    EXPECT_EQ(meter.SetTimerCount(5000), 0);
    EXPECT_EQ(meter.SetTimerCount(0), 0);
    meter.ResetMeter();
    meter.ViewMeter(20);
    meter.ViewMeter(10);
    // Still the 30 ms hold: the mark goes long before five seconds.
    EXPECT_TRUE(QTest::qWaitFor([&] { return meter.BarText() == Bars(10); }, 3000));
}

TEST_F(OrvelleMeter, maximumOfZeroIsRefusedAndTheOldScaleStays)
{
    EXPECT_EQ(meter.SetMaxValue(0), 0);
    meter.ResetMeter();
    meter.ViewMeter(10);
    EXPECT_EQ(meter.BarText(), Bars(15));
    EXPECT_EQ(meter.SetMaxValue(90), 1);
    meter.ResetMeter();
    meter.ViewMeter(10);
    EXPECT_EQ(meter.BarText(), Bars(5));
}

TEST_F(OrvelleMeter, squelchMarkIsTwoPixelsHighAndAsWideAsTheSegmentsOfItsLevel)
{
    meter.ResetMeter();
    EXPECT_TRUE(SquelchMark().isEmpty());
    meter.ViewSMeterSql(1, 31);  // above 30: ignored
    EXPECT_TRUE(SquelchMark().isEmpty());
    meter.ViewSMeterSql(1, 30);
    ASSERT_GT(BarsWidth(45), 45);
    ASSERT_LT(BarsWidth(45), meter.width());
    EXPECT_EQ(SquelchMark(), QRect(0, 0, BarsWidth(45), 2));
    meter.ViewSMeterSql(1, 10);
    EXPECT_EQ(SquelchMark(), QRect(0, 0, BarsWidth(15), 2));
    meter.ViewSMeterSql(1, 0);
    EXPECT_TRUE(SquelchMark().isEmpty());
    meter.ViewSMeterSql(0, 30);
    EXPECT_TRUE(SquelchMark().isEmpty());
    // Level 30 of a maximum of 60 is 22.5 segments, rounded up.
    ASSERT_EQ(meter.SetMaxValue(60), 1);
    meter.ViewSMeterSql(1, 30);
    EXPECT_EQ(SquelchMark(), QRect(0, 0, BarsWidth(23), 2));
}

TEST_F(OrvelleMeter, squelchMarkWithoutItsOwnColourTakesTheSystemTextColourNotTheBars)
{
    CStaticMeterEx plain;
    plain.resize(300, 16);
    plain.SetForeColor(Rgb(0, 200, 0));
    plain.SetBackColor(Rgb(255, 255, 255));
    plain.ViewSMeterSql(1, 30);
    const QColor text = QApplication::palette().color(QPalette::WindowText);
    ASSERT_NE(text, QColor(0, 200, 0));
    EXPECT_EQ(Render(plain).pixelColor(1, 0), text);
}

TEST_F(OrvelleMeter, squelchMarkStopsAtTheWidthTheControlHadWhenFirstDrawn)
{
    CStaticMeterEx narrow;
    narrow.resize(60, 16);
    narrow.SetSMSColor(Rgb(255, 0, 0));
    ASSERT_GT(QFontMetrics(narrow.font()).horizontalAdvance(Bars(45)), 60);
    Render(narrow);
    narrow.resize(400, 16);
    narrow.ViewSMeterSql(1, 30);
    const QImage image = Render(narrow);
    SaveShot(image, "meter-squelch-narrow");
    EXPECT_EQ(Bounds(image, [](QColor c) { return c == QColor(255, 0, 0); }), QRect(0, 0, 60, 2));
}

TEST_F(OrvelleMeter, barIsDrawnInTheBarColourFromTheLeftEdge)
{
    meter.SetForeColor(Rgb(0, 128, 0));
    meter.ResetMeter();
    meter.ViewMeter(30);
    const QImage image = Render(meter);
    SaveShot(image, "meter-full");
    const QRect bar = Bounds(image, Near(QColor(0, 128, 0), 30));
    ASSERT_FALSE(bar.isEmpty());
    EXPECT_LE(bar.left(), 2);
    EXPECT_NEAR(bar.right(), BarsWidth(45), 3);
    EXPECT_EQ(image.pixelColor(meter.width() - 1, 8), QColor(255, 255, 255));
}

TEST_F(OrvelleMeter, fontSizeShowsAtTheNextPaintButBoldAtOnce)
{
    Render(meter);
    FontChangeCounter changes(meter);
    meter.SetTextSize(16);
    meter.SetTextSize(14);
    EXPECT_EQ(changes.Count(), 0);
    Render(meter);
    EXPECT_EQ(changes.Count(), 1);
    EXPECT_NEAR(QFontMetrics(meter.font()).height(), 14, 1);
    meter.SetTextBold(2);
    EXPECT_EQ(changes.Count(), 2);
    EXPECT_EQ(meter.font().weight(), QFont::Bold);
}

// ---- Lamp ---------------------------------------------------------------------------------------

class OrvelleLamp : public ::testing::Test {
protected:
    OrvelleLamp()
    {
        QPalette palette = parent.palette();
        palette.setColor(QPalette::Window, QColor(128, 128, 128));
        parent.setPalette(palette);
        parent.setAutoFillBackground(true);
        parent.resize(100, 40);
        lamp = new CStaticLEDEx(&parent);
        lamp->setGeometry(10, 10, 30, 16);
        lamp->SetOnColor(Rgb(0, 255, 0));
        lamp->SetOffColor(Rgb(0, 0, 0));
    }
    QColor Shown() { return Render(parent).pixelColor(25, 18); }
    bool Lit() { return Shown() == QColor(0, 255, 0); }

    QWidget parent;
    CStaticLEDEx* lamp = nullptr;
};

TEST_F(OrvelleLamp, showsItsParentUntilFirstSwitchedThenItsColours)
{
    EXPECT_EQ(Shown(), QColor(128, 128, 128));
    EXPECT_EQ(lamp->SetLEDON(0), 1);
    EXPECT_EQ(Shown(), QColor(0, 0, 0));
    EXPECT_EQ(lamp->SetLEDON(7), 1);
    EXPECT_EQ(Shown(), QColor(0, 255, 0));
    SaveShot(Render(parent), "lamp-on");
}

TEST_F(OrvelleLamp, goesOutByItselfAfterItsCount)
{
    lamp->SetTimerCount(100);
    QElapsedTimer clock;
    clock.start();
    lamp->SetLEDON(1);
    ASSERT_TRUE(Lit());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Lit(); }, 5000));
    // Window timers may come a little early.
    EXPECT_GE(clock.elapsed(), 85);
    EXPECT_EQ(Shown(), QColor(0, 0, 0));
}

TEST_F(OrvelleLamp, secondSwitchOnKeepsItLitForAFullCountAfterIt)
{
    lamp->SetTimerCount(600);
    lamp->SetLEDON(1);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return clock.elapsed() >= 300; }, 5000));
    QElapsedTimer sinceSecond;
    sinceSecond.start();
    lamp->SetLEDON(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Lit(); }, 5000));
    // Without the restart it would go out about 300 ms after the second call; window timers may
    // come a little early.
    EXPECT_GE(sinceSecond.elapsed(), 540);
}

TEST_F(OrvelleLamp, countOfZeroKeepsItLitWhileADefaultLampGoesOut)
{
    lamp->SetTimerCount(0);
    lamp->SetLEDON(1);
    CStaticLEDEx other;  // default count
    other.resize(10, 10);
    other.SetLEDON(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Render(other).pixelColor(5, 5) == QColor(0, 0, 0); }, 5000));
    QCoreApplication::processEvents();
    EXPECT_TRUE(Lit());
}

}  // namespace
}  // namespace orvelletest
