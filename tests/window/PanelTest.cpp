// The main window as drawn: every control at its place with its text, the menu, the title, the
// lamps, the keys it ignores, the description's mouse filter and the saved position.
#include <QFontMetrics>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>

#include "Artwork.h"
#include "WindowFixture.h"

namespace windowtest {
namespace {

struct Expected {
    const char* name;
    QRect rect;
    const char* text;  // the static's text after start-up
};
// The panel's design, in client pixels below the menu bar.
const Expected kDesign[] = {
    {"radioStatusFrame", {11, 4, 363, 56}, "Radio Status"},
    {"powerSwitchButton", {23, 23, 81, 25}, nullptr},
    {"controlButton", {113, 23, 50, 25}, nullptr},
    {"modelLabel", {210, 19, 56, 16}, "Model"},
    {"modelName", {269, 19, 95, 16}, ""},
    {"onAir", {269, 35, 45, 16}, ""},
    {"connectionStatusFrame", {11, 60, 363, 98}, "Connection Status"},
    {"userNameLabel", {26, 79, 56, 16}, "User Name"},
    {"userId", {86, 79, 95, 16}, ""},
    {"addressLabel", {209, 79, 56, 16}, "IP Address"},
    {"clientAddress", {269, 79, 95, 16}, ""},
    {"description", {86, 96, 279, 39}, nullptr},
    {"sessionTimeLabel", {26, 137, 69, 16}, "Session Time"},
    {"sessionTime", {101, 137, 93, 16}, ""},
};

// The design's 390 x 214 was the whole window with caption and borders: the window is the menu
// and a 385 x 169 panel whose frames keep 11 pixels from every edge.
TEST_F(WindowTest, panelHasEveryControlAtItsRectangleAndItsFramesEvenMargins)
{
    OpenWindow();
    QWidget* panel = window->findChild<QWidget*>(QStringLiteral("panel"));
    ASSERT_NE(panel, nullptr);
    QMenuBar* bar = window->findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(panel->size(), QSize(385, 169));
    EXPECT_EQ(window->width(), 385);
    EXPECT_LE(window->height() - bar->height() - 169, 2) << "at most a pixel or two for the top frame's title";
    const QImage drawn = window->grab().toImage();
    const QRect belowMenu(0, bar->height(), window->width(), window->height() - bar->height());
    EXPECT_EQ(LineMargins(drawn, belowMenu, QApplication::palette().color(QPalette::Mid)), QMargins(11, 11, 11, 11));
    for (const Expected& e : kDesign) {
        QWidget* w = window->findChild<QWidget*>(QLatin1String(e.name));
        ASSERT_NE(w, nullptr) << e.name;
        EXPECT_EQ(w->parentWidget(), panel) << e.name;
        EXPECT_EQ(w->geometry(), e.rect) << e.name;
        EXPECT_TRUE(w->isVisible()) << e.name;
        if (e.text) {
            auto* s = qobject_cast<CStaticEx*>(w);
            ASSERT_NE(s, nullptr) << e.name << " is a label or frame";
            EXPECT_EQ(s->text(), QString::fromLatin1(e.text)) << e.name;
        }
    }
    EXPECT_NE(Find<QPlainTextEdit>("description"), nullptr);
    EXPECT_TRUE(Find<QPlainTextEdit>("description")->isReadOnly());
    EXPECT_EQ(Button("powerSwitchButton")->iconSize(), QSize(77, 23));
    EXPECT_EQ(Button("controlButton")->iconSize(), QSize(44, 21));
    EXPECT_FALSE(Lit("powerSwitchButton"));
    EXPECT_FALSE(Lit("controlButton"));
    EXPECT_TRUE(SaveScreenshot(*window, window->devicePixelRatioF() > 1 ? "window-stopped@2x" : "window-stopped"));
}

// Each label, and each value at its widest, fits its box in the panel font.
TEST_F(WindowTest, everyPanelTextFitsItsBox)
{
    OpenWindow();
    window->grab();  // drawn once, with the fonts the controls build when they are drawn
    const struct {
        const char* name;
        const char* text;
        bool bold;
    } texts[] = {
        {"modelLabel", "Model", false},       {"userNameLabel", "User Name", false}, {"addressLabel", "IP Address", false},
        {"sessionTimeLabel", "Session Time", false}, {"modelName", "Dunmore", false},  {"modelName", "Unknown", false},
        {"onAir", "ONAIR", true},        {"clientAddress", "255.255.255.255", false}, {"sessionTime", "0:00:00 / 0:00:00", false},
        {"sessionTime", "2:00:00 / 2:00:00", false}, {"sessionTime", "Unlimited", false},
    };
    for (const auto& t : texts) {
        CStaticEx* s = Static(t.name);
        QFont f = s->font();
        if (t.bold) {
            EXPECT_TRUE(f.bold()) << t.name;
        }
        const QFontMetrics m(f);
        EXPECT_LE(m.horizontalAdvance(QString::fromLatin1(t.text)), s->width()) << t.text;
        EXPECT_LE(m.height(), s->height() + 1) << t.text;
    }
    EXPECT_EQ(Static("modelLabel")->font().pixelSize(), window->font().pixelSize());
    EXPECT_GE(window->font().pixelSize(), 10) << "legible";
}

// Between "CON" and its lamp, lit or not, runs a column of the bare plate.
TEST_F(WindowTest, conLampLeavesRoomBetweenItsLabelAndTheLamp)
{
    const QColor plate(0x2e, 0x31, 0x36);
    const std::array<QIcon, 2> lamps = quintar::window::ControlLampImages();
    for (int lit = 0; lit < 2; ++lit) {
        const QImage image = lamps[lit].pixmap(QSize(44, 21)).toImage();
        ASSERT_EQ(image.size(), QSize(44, 21));
        int bareColumns = 0;
        for (int x = 20; x < 34; ++x) {
            bool bare = true;
            for (int y = 3; y < 18; ++y)
                bare = bare && image.pixelColor(x, y) == plate;
            bareColumns += bare ? 1 : 0;
        }
        EXPECT_GE(bareColumns, 2) << (lit ? "lit" : "unlit");
    }
}

TEST_F(WindowTest, menuHasItsTextsMnemonicsIdsAndStates)
{
    OpenWindow();
    QMenuBar* bar = window->findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    const QList<QAction*> menus = bar->actions();
    ASSERT_EQ(menus.size(), 3);
    EXPECT_EQ(menus[0]->text(), "Control (&C)");
    EXPECT_EQ(menus[1]->text(), "Radio (&R)");
    EXPECT_EQ(menus[2]->text(), "Help (&H)");

    struct Item {
        const char* id;  // empty: a separator
        const char* text;
        bool enabled;
    };
    const std::vector<std::vector<Item>> expected = {
        {{"onItem", "ON (&N)", true}, {"offItem", "OFF (&F)", false}, {"", "", true}, {"setupItem", "Setup (&S)...", true}},
        {{"powerSwitchItem", "Power Switch (&W)", true}},
        {{"helpTopicsItem", "Help Topics (&H)", true}, {"", "", true}, {"aboutItem", "About Quintar (&A)...", true}},
    };
    for (int m = 0; m < 3; ++m) {
        const QList<QAction*> items = menus[m]->menu()->actions();
        ASSERT_EQ(items.size(), static_cast<qsizetype>(expected[m].size())) << m;
        for (std::size_t i = 0; i < expected[m].size(); ++i) {
            const Item& e = expected[m][i];
            QAction* a = items[static_cast<qsizetype>(i)];
            if (!*e.id) {
                EXPECT_TRUE(a->isSeparator());
                continue;
            }
            EXPECT_EQ(a->objectName(), e.id);
            EXPECT_EQ(a->text(), e.text);
            EXPECT_EQ(a->isEnabled(), e.enabled) << e.id;
        }
    }
    // Setup is present and enabled, and choosing it does nothing yet.
    Action("setupItem")->trigger();
    EXPECT_FALSE(window->Controller().Running());
}

TEST_F(WindowTest, titleCarriesEachOptionInItsOrder)
{
    const struct {
        quintar::HostOptions options;
        const char* title;
    } cases[] = {
        {{false, false}, "Radio Host Program"},
        {{true, false}, "Radio Host Program -EDM"},
        {{false, true}, "Radio Host Program -ELM"},
        {{true, true}, "Radio Host Program -EDM -ELM"},
    };
    for (const auto& c : cases) {
        OpenWindow(c.options);
        EXPECT_EQ(window->windowTitle(), c.title);
        window.reset();
    }
}

TEST_F(WindowTest, escapeAndEnterLeaveTheWindowOpen)
{
    OpenWindow();
    window->activateWindow();
    Button("controlButton")->setFocus();
    QTest::keyClick(window.get(), Qt::Key_Escape);
    QTest::keyClick(Button("controlButton"), Qt::Key_Return);
    QTest::keyClick(Button("controlButton"), Qt::Key_Enter);
    PumpFor(50);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->Controller().Busy());
    EXPECT_FALSE(window->Controller().Running()) << "Enter must not press CONTROL";
}

TEST_F(WindowTest, descriptionIgnoresMouseClicksWhileTheWindowIsActive)
{
    OpenWindow();
    window->activateWindow();
    ASSERT_TRUE(PumpUntil([&] { return window->isActiveWindow(); }, 2000));
    auto* d = Find<QPlainTextEdit>("description");
    d->setPlainText(QStringLiteral("Night operator, remote site"));
    Button("powerSwitchButton")->setFocus();
    QTest::mouseClick(d->viewport(), Qt::LeftButton, {}, QPoint(10, 8));
    QTest::mouseDClick(d->viewport(), Qt::LeftButton, {}, QPoint(10, 8));
    QTest::mouseClick(d->viewport(), Qt::RightButton, {}, QPoint(10, 8));
    EXPECT_FALSE(d->hasFocus());
    EXPECT_FALSE(d->textCursor().hasSelection());
    EXPECT_TRUE(Button("powerSwitchButton")->hasFocus());
}

// "%05d%05d": top, then left.
TEST_F(WindowTest, savedPositionIsRestoredAndWrittenAtClose)
{
    stationtest::WriteSettings(*profile, settings);
    ASSERT_TRUE(profile->WriteString("WindowPos", "Vexa", "0012300045"));
    MakeWindow();
    window->Open(0);
    ASSERT_TRUE(PumpUntil([&] { return window->isVisible(); }, 5000));
    EXPECT_EQ(window->frameGeometry().topLeft(), QPoint(45, 123));

    window->move(67, 89);
    window->close();
    ASSERT_TRUE(PumpUntil([&] { return !window->isVisible(); }, 5000));
    EXPECT_EQ(profile->GetString("WindowPos", "Vexa", ""), "0008900067");
}

TEST_F(WindowTest, positionAtTheCornerOrOfAnotherLengthOrOffTheDesktopIsIgnored)
{
    // Where the platform puts a window nobody placed.
    OpenWindow();
    const QPoint unplaced = window->frameGeometry().topLeft();
    window.reset();
    ASSERT_NE(unplaced, QPoint(0, 0));

    const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
    char offDesktop[16];
    std::snprintf(offDesktop, sizeof offDesktop, "%05d%05d", desktop.y() + desktop.height(), 45);
    const std::vector<std::string> cases = {"0000000000", "0012300000", "00123000450", "001230004", "abcdeabcde",
                                            offDesktop};
    for (const std::string& saved : cases) {
        stationtest::WriteSettings(*profile, settings);
        ASSERT_TRUE(profile->WriteString("WindowPos", "Vexa", saved));
        MakeWindow();
        window->Open(0);
        ASSERT_TRUE(PumpUntil([&] { return window->isVisible(); }, 5000));
        EXPECT_EQ(window->frameGeometry().topLeft(), unplaced) << saved;
        EXPECT_EQ(window->width(), 385) << saved;
        window.reset();
    }
}

}  // namespace
}  // namespace windowtest
