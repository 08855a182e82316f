// The styled text controls: which bold argument gives bold, when a font change shows, background
// and text colours as drawn, colours that follow the palette, the position record, face names and
// icons.
#include <QFontMetrics>
#include <QPalette>

#include <vector>

#include "StyledControls.h"
#include "WidgetTestSupport.h"

namespace orvelletest {
namespace {

using orvelle::Rgb;

const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);

// The weight each control shows after SetTextBold with each argument in turn.
template <class Control>
std::vector<int> WeightsAfterBold(std::initializer_list<int> arguments)
{
    Control control;
    control.resize(120, 30);
    std::vector<int> weights;
    for (int argument : arguments) {
        control.SetTextBold(argument);
        Render(control);  // statics build their font when drawn
        weights.push_back(control.font().weight());
    }
    return weights;
}

TEST(OrvelleStyledText, boldNeedsExactlyOneOnButtonsEditsAndListsButAnyNonZeroOnStaticsAndFrames)
{
    const std::vector<int> exactlyOne{400, 700, 400, 400, 400};
    const std::vector<int> anyNonZero{700, 700, 700, 400, 700};
    const auto arguments = {2, 1, -1, 0, 256};
    EXPECT_EQ(WeightsAfterBold<CButtonEx>(arguments), exactlyOne);
    EXPECT_EQ(WeightsAfterBold<CEditEx>(arguments), exactlyOne);
    EXPECT_EQ(WeightsAfterBold<CListBoxEx>(arguments), exactlyOne);
    EXPECT_EQ(WeightsAfterBold<CStaticEx>(arguments), anyNonZero);
    EXPECT_EQ(WeightsAfterBold<CStaticFrameEx>(arguments), anyNonZero);
}

TEST(OrvelleStyledText, boldTwoDrawsHeavierTextOnAStaticButNotOnAButton)
{
    auto ink = [](QWidget& w) { return CountPixels(Render(w), [](QColor c) { return c.lightness() < 100; }); };
    CStaticEx normalStatic("MMMM"), boldStatic("MMMM");
    CButtonEx normalButton("MMMM"), boldButton("MMMM");
    for (QWidget* w : std::initializer_list<QWidget*>{&normalStatic, &boldStatic, &normalButton, &boldButton})
        w->resize(100, 30);
    boldStatic.SetTextBold(2);
    boldButton.SetTextBold(2);
    EXPECT_GT(ink(boldStatic), ink(normalStatic) * 5 / 4);
    EXPECT_EQ(ink(boldButton), ink(normalButton));
}

template <class Control>
void ExpectFontBuiltOnceAtTheNextPaint()
{
    Control control;
    control.resize(200, 60);
    Render(control);
    FontChangeCounter changes(control);
    const QFont before = control.font();
    control.SetTextSize(20);
    control.SetTextSize(30);
    control.SetTextItalic(1);
    EXPECT_EQ(changes.Count(), 0);
    EXPECT_EQ(control.font(), before);
    Render(control);
    EXPECT_EQ(changes.Count(), 1);
    EXPECT_TRUE(control.font().italic());
    // The size asked for is the whole cell, ascent plus descent.
    EXPECT_NEAR(QFontMetrics(control.font()).height(), 30, 1);
    Render(control);
    EXPECT_EQ(changes.Count(), 1);
}

TEST(OrvelleStyledText, staticsAndFramesBuildAChangedFontOnceAtTheirNextPaint)
{
    ExpectFontBuiltOnceAtTheNextPaint<CStaticEx>();
    ExpectFontBuiltOnceAtTheNextPaint<CStaticFrameEx>();
}

template <class Control>
void ExpectFontBuiltAtEverySetter()
{
    Control control;
    FontChangeCounter changes(control);
    control.SetTextSize(20);
    EXPECT_EQ(changes.Count(), 1);
    EXPECT_NEAR(QFontMetrics(control.font()).height(), 20, 1);
    control.SetStrikeOut(0x101);  // only the low byte counts
    EXPECT_EQ(changes.Count(), 2);
    EXPECT_TRUE(control.font().strikeOut());
    control.SetTextUnderLine(0x100);
    EXPECT_FALSE(control.font().underline());
}

TEST(OrvelleStyledText, buttonsEditsAndListsBuildTheirFontAtEachSetterWithoutWaitingForAPaint)
{
    ExpectFontBuiltAtEverySetter<CButtonEx>();
    ExpectFontBuiltAtEverySetter<CEditEx>();
    ExpectFontBuiltAtEverySetter<CListBoxEx>();
}

TEST(OrvelleStyledText, aFrameGoingBoldLeavesTheFontOfTheControlsInsideIt)
{
    CStaticFrameEx frame("Radio Status");
    frame.resize(200, 80);
    auto* label = new CStaticEx("Model", &frame);
    label->setGeometry(10, 30, 80, 20);
    frame.SetTextBold(1);
    frame.SetTextSize(20);
    Render(frame);
    EXPECT_EQ(frame.font().weight(), QFont::Bold);
    EXPECT_EQ(label->font().weight(), QFont::Normal);
    EXPECT_EQ(label->font().pixelSize(), 12);
}

TEST(OrvelleStyledText, secondBackgroundColourReplacesTheFirstEverywhere)
{
    CStaticEx label("text");
    label.resize(80, 20);
    EXPECT_EQ(label.SetBackColor(Rgb(255, 0, 0)), 1);
    EXPECT_EQ(label.SetBackColor(Rgb(0, 0, 255)), 1);
    const QImage image = Render(label);
    SaveShot(image, "static-second-background");
    EXPECT_EQ(CountPixels(image, Near(kRed, 60)), 0);
    EXPECT_EQ(image.pixelColor(0, 0), kBlue);
    EXPECT_EQ(image.pixelColor(79, 19), kBlue);
    EXPECT_EQ(label.BackBrush().color(), kBlue);
}

TEST(OrvelleStyledText, staticsShowTheirParentsBackgroundUntilGivenAColour)
{
    QWidget parent;
    QPalette green = parent.palette();
    green.setColor(QPalette::Window, QColor(0, 160, 0));
    parent.setPalette(green);
    parent.setAutoFillBackground(true);
    parent.resize(200, 100);
    auto* label = new CStaticEx("text", &parent);
    label->setGeometry(10, 10, 80, 20);
    auto* frame = new CStaticFrameEx("frame", &parent);
    frame->setGeometry(100, 10, 80, 60);
    EXPECT_EQ(Render(parent).pixelColor(88, 28), QColor(0, 160, 0));
    label->SetBackColor(Rgb(255, 255, 0));
    frame->SetBackColor(Rgb(255, 255, 0));
    const QImage image = Render(parent);
    EXPECT_EQ(image.pixelColor(88, 28), QColor(255, 255, 0));
    EXPECT_EQ(image.pixelColor(100, 10), QColor(255, 255, 0));
}

TEST(OrvelleStyledText, textIsDrawnInTheForeColourOnEveryKind)
{
    CStaticEx label("MMMM");
    CStaticFrameEx frame("MMMM");
    CButtonEx button("MMMM");
    CEditEx edit;
    edit.setText("MMMM");
    CListBoxEx list;
    list.addItem("MMMM");
    for (QWidget* w : std::initializer_list<QWidget*>{&label, &frame, &button, &edit, &list}) {
        w->resize(120, 60);
        EXPECT_EQ(CountPixels(Render(*w), Near(kRed)), 0) << w->metaObject()->className();
    }
    label.SetForeColor(Rgb(255, 0, 0));
    frame.SetForeColor(Rgb(255, 0, 0));
    button.SetForeColor(Rgb(255, 0, 0));
    edit.SetForeColor(Rgb(255, 0, 0));
    list.SetForeColor(Rgb(255, 0, 0));
    for (QWidget* w : std::initializer_list<QWidget*>{&label, &frame, &button, &edit, &list})
        EXPECT_GT(CountPixels(Render(*w), Near(kRed)), 20) << w->metaObject()->className();
}

TEST(OrvelleStyledText, listBoxDrawsItsItemsInItsOwnFontAndBackground)
{
    CListBoxEx list;
    list.resize(160, 80);
    list.addItems({"MMMM", "WWWW"});
    const int normalInk = CountPixels(Render(list), [](QColor c) { return c.lightness() < 100; });
    list.SetTextBold(1);
    list.SetBackColor(Rgb(255, 255, 0));
    const QImage image = Render(list);
    SaveShot(image, "listbox-bold-on-yellow");
    EXPECT_GT(CountPixels(image, [](QColor c) { return c.lightness() < 100; }), normalInk * 5 / 4);
    EXPECT_EQ(image.pixelColor(80, 70), QColor(255, 255, 0));
}

TEST(OrvelleStyledText, systemColoursFollowThePaletteUntilTheOwnerSetsItsOwn)
{
    QWidget parent;
    CStaticEx label("text", &parent);
    CEditEx edit(&parent);
    QPalette dark = parent.palette();
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Text, QColor(220, 220, 220));
    dark.setColor(QPalette::Button, QColor(50, 50, 50));
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    parent.setPalette(dark);  // a theme change after the controls exist
    EXPECT_EQ(label.ForeColor(), QColor(230, 230, 230));
    EXPECT_EQ(label.BackBrush().color(), QColor(50, 50, 50));
    EXPECT_EQ(edit.ForeColor(), QColor(220, 220, 220));
    EXPECT_EQ(edit.BackBrush().color(), QColor(30, 30, 30));
    label.SetForeColor(Rgb(10, 20, 30));
    EXPECT_EQ(label.ForeColor(), QColor(10, 20, 30));
    EXPECT_EQ(orvelle::ToColorRef(label.ForeColor()), 0x1E140Au);
}

TEST(OrvelleStyledText, positionIsTakenOnceAtTheFirstPaintRelativeToParentOrWindow)
{
    QWidget window;
    window.resize(390, 214);
    auto* group = new QWidget(&window);
    group->setGeometry(10, 20, 300, 150);
    auto* label = new CStaticEx("Model", group);
    label->setGeometry(5, 6, 80, 16);
    auto* edit = new CEditEx(group);
    edit->setGeometry(30, 40, 90, 22);
    auto* button = new CButtonEx("OK", group);
    button->setGeometry(7, 80, 60, 24);
    EXPECT_FALSE(label->Position().captured);
    EXPECT_EQ(button->Position().width, 0);

    Render(window);
    auto expect = [](const orvelle::PositionRecord& p, int top, int left, int height, int width) {
        EXPECT_TRUE(p.captured);
        EXPECT_EQ(p.top, top);
        EXPECT_EQ(p.left, left);
        EXPECT_EQ(p.height, height);
        EXPECT_EQ(p.width, width);
    };
    expect(label->Position(), 6, 5, 16, 80);   // the parent's coordinates
    expect(edit->Position(), 40, 30, 22, 90);
    expect(button->Position(), 100, 17, 24, 60);  // the top-level window's

    label->setGeometry(50, 60, 70, 18);
    Render(window);
    expect(label->Position(), 6, 5, 16, 80);
}

TEST(OrvelleStyledText, faceNameKeepsThirtyOneCharactersAndANullNameChangesNothing)
{
    CButtonEx button;
    const char* longName = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghij";  // 36 characters
    button.SetCharType(longName);
    EXPECT_EQ(button.font().family(), QString("ABCDEFGHIJKLMNOPQRSTUVWXYZabcde"));
    button.SetCharType("DejaVu Serif");
    button.SetCharType(nullptr);
    EXPECT_EQ(button.font().family(), QString("DejaVu Serif"));
}

TEST(OrvelleStyledText, iconsComeFromTheApplicationsResourcesById)
{
    CStaticEx label;
    label.LoadIconA(901);
    ASSERT_FALSE(label.pixmap().isNull());
    EXPECT_EQ(label.pixmap().size(), QSize(16, 16));
    EXPECT_EQ(label.pixmap().toImage().pixelColor(8, 8), kRed);
    label.LoadIconA(902);  // no such resource
    EXPECT_TRUE(label.pixmap().isNull());

    CButtonEx button;
    button.LoadIconA(901);
    EXPECT_FALSE(button.icon().isNull());
}

}  // namespace
}  // namespace orvelletest
