// Help by context number, the missing-help message, the About window and the splash.
#include <QLabel>
#include <QTextBlock>
#include <QTreeView>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "AboutDlg.h"
#include "WindowFixture.h"

namespace windowtest {
namespace {

QString ShownPage(CHostDlg& w)
{
    quintar::HelpWindow* help = w.Help().Window();
    return help && help->isVisible() ? help->Browser()->source().toString() : QString();
}

const QString kPages = QStringLiteral("qthelp://org.talvern.quintar/doc/");

TEST_F(WindowTest, f1GivesContext8Stopped2WithTheRadioOnAnd26WithItOff)
{
    StartRadio();
    OpenWindow();
    QSignalSpy asked(window.get(), &CHostDlg::HelpRequested);
    window->activateWindow();
    ASSERT_TRUE(PumpUntil([&] { return window->isActiveWindow(); }, 2000));

    QTest::keyClick(window.get(), Qt::Key_F1);
    ASSERT_TRUE(PumpUntil([&] { return asked.count() == 1; }, 2000));
    EXPECT_EQ(asked.takeFirst().first().toInt(), 8);
    ASSERT_EQ(ShownPage(*window), kPages + "starting.html");
    EXPECT_TRUE(SaveScreenshot(*window->Help().Window(), "help-context-8"));

    window->Help().Window()->close();
    window->activateWindow();
    StartFromMenu();
    ASSERT_TRUE(PumpUntil([&] { return window->Controller().RadioPowerOn(); }, 5000));
    ASSERT_TRUE(PumpUntil([&] { return window->isActiveWindow(); }, 2000));
    QTest::keyClick(window.get(), Qt::Key_F1);
    ASSERT_TRUE(PumpUntil([&] { return asked.count() == 1; }, 2000));
    EXPECT_EQ(asked.takeFirst().first().toInt(), 2);
    EXPECT_EQ(ShownPage(*window), kPages + "index.html");

    radio->SetPower(0);
    ASSERT_TRUE(PumpUntil([&] { return !window->Controller().RadioPowerOn(); }, 5000));
    window->activateWindow();
    ASSERT_TRUE(PumpUntil([&] { return window->isActiveWindow(); }, 2000));
    QTest::keyClick(window.get(), Qt::Key_F1);
    ASSERT_TRUE(PumpUntil([&] { return asked.count() == 1; }, 2000));
    EXPECT_EQ(asked.takeFirst().first().toInt(), 26);
    EXPECT_EQ(ShownPage(*window), kPages + "power.html");
}

TEST_F(WindowTest, helpTopicsOpensContext2AndEveryContextHasItsPage)
{
    OpenWindow();
    QSignalSpy asked(window.get(), &CHostDlg::HelpRequested);
    Action("helpTopicsItem")->trigger();
    ASSERT_EQ(asked.count(), 1);
    EXPECT_EQ(asked.first().first().toInt(), 2);
    ASSERT_TRUE(PumpUntil([&] { return ShownPage(*window) == kPages + "index.html"; }, 5000));
    quintar::HelpWindow* help = window->Help().Window();
    EXPECT_EQ(help->windowTitle(), "Quintar Help");
    EXPECT_TRUE(help->Browser()->toPlainText().contains("What the panel shows"));
    auto* tree = help->findChild<QTreeView*>(QStringLiteral("helpTree"));
    ASSERT_NE(tree, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return tree->model()->rowCount() == 1 && tree->isExpanded(tree->model()->index(0, 0)); }, 5000))
        << "the contents, opened";
    EXPECT_EQ(tree->model()->rowCount(tree->model()->index(0, 0)), 9);
    // The page's style sheet is found beside it: the heading takes its colour.
    EXPECT_EQ(help->Browser()->document()->begin().text(), "Quintar: the station's window");
    EXPECT_EQ(help->Browser()->document()->begin().begin().fragment().charFormat().foreground().color(), QColor(0x0f, 0x2a, 0x5c));
    EXPECT_TRUE(SaveScreenshot(*help, "help-topics"));

    // The setup dialogs' contexts, and a page's own links.
    const struct {
        int context;
        const char* page;
        const char* text;
    } contexts[] = {{30, "setup.html", "TCP/IP"}, {32, "users.html", "Disabled"}, {26, "power.html", "Power Switch"},
                    {8, "starting.html", "Control > ON"}};
    for (const auto& c : contexts) {
        ASSERT_TRUE(window->Help().Show(c.context)) << c.context;
        EXPECT_EQ(ShownPage(*window), kPages + c.page);
        EXPECT_TRUE(help->Browser()->toPlainText().contains(QString::fromUtf8(c.text))) << c.page;
    }
    help->Browser()->setSource(QUrl(kPages + "client.html"));
    EXPECT_TRUE(help->Browser()->toPlainText().contains("@@CP")) << "the login page names the server commands";
}

// As in other help browsers, one click on a topic in the contents opens it, once in the history.
TEST_F(WindowTest, oneClickInTheContentsOpensTheTopic)
{
    OpenWindow();
    Action("helpTopicsItem")->trigger();
    ASSERT_TRUE(PumpUntil([&] { return ShownPage(*window) == kPages + "index.html"; }, 5000));
    quintar::HelpWindow* help = window->Help().Window();
    auto* tree = help->findChild<QTreeView*>(QStringLiteral("helpTree"));
    ASSERT_TRUE(PumpUntil([&] { return tree->model()->rowCount() == 1 && tree->isExpanded(tree->model()->index(0, 0)); }, 5000));
    auto topic = [&](const QString& title) {
        const QModelIndex top = tree->model()->index(0, 0);
        for (int row = 0; row < tree->model()->rowCount(top); ++row)
            if (tree->model()->index(row, 0, top).data().toString() == title)
                return tree->model()->index(row, 0, top);
        return QModelIndex();
    };
    const QModelIndex link = topic("Remote link and CAT programs");
    ASSERT_TRUE(link.isValid());
    // Through the window, as the windowing system delivers clicks.
    auto at = [&](const QModelIndex& index) { return tree->viewport()->mapTo(help, tree->visualRect(index).center()); };
    QTest::mouseClick(help->windowHandle(), Qt::LeftButton, {}, at(link));
    ASSERT_TRUE(PumpUntil([&] { return ShownPage(*window) == kPages + "link.html"; }, 2000)) << "one click";
    const QString page = help->Browser()->toPlainText();
    for (const char* text : {"quintar-link --user", "rigctl -m 2028", "rigctld", "localhost:4532", "--tcp-port"})
        EXPECT_TRUE(page.contains(QLatin1String(text))) << text;
    EXPECT_TRUE(SaveScreenshot(*help, "help-link"));

    const QModelIndex users = topic("Users");
    QTest::mouseDClick(help->windowHandle(), Qt::LeftButton, {}, at(users));
    ASSERT_TRUE(PumpUntil([&] { return ShownPage(*window) == kPages + "users.html"; }, 2000));
    QTest::mouseClick(help->findChild<QToolButton*>(QStringLiteral("helpBack")), Qt::LeftButton);
    EXPECT_EQ(ShownPage(*window), kPages + "link.html") << "a double click is one step back";
}

TEST_F(WindowTest, missingHelpFileShowsTheMessageWithItsFullPathEachTime)
{
    const QString missing = QString::fromStdString((dir.Path() / "share" / "quintar" / "Quintar.qch").string());
    OpenWindow({}, missing);
    for (int attempt = 0; attempt < 2; ++attempt) {
        QTest::keyClick(window.get(), Qt::Key_F1);
        QMessageBox* box = nullptr;
        ASSERT_TRUE(PumpUntil([&] { return (box = OpenMessageBox("helpMessage")) != nullptr; }, 2000));
        EXPECT_EQ(box->text(), "Not Exist Html Help File\n\n   File Path [ " + missing + " ]");
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        EXPECT_EQ(box->parentWidget(), window.get());
        if (attempt == 0) {
            EXPECT_TRUE(SaveScreenshot(*box, "help-missing"));
        }
        QTest::keyClick(box, Qt::Key_Return);
        ASSERT_TRUE(PumpUntil([&] { return OpenMessageBox("helpMessage") == nullptr; }, 2000));
    }
    EXPECT_EQ(window->Help().Window(), nullptr);
}

TEST_F(WindowTest, helpIsLookedUpInTheProgramsDataFolderNotTheCurrentOne)
{
    const QString file = quintar::HostHelp::DefaultFile();
    EXPECT_TRUE(file.endsWith("/share/quintar/Quintar.qch")) << file.toStdString();
    EXPECT_TRUE(QFileInfo(file).isAbsolute());
    EXPECT_EQ(QFileInfo(file).absolutePath(),
              QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../share/quintar"));
}

TEST_F(WindowTest, aboutShowsTheComposedBannerAndClosesOnClickEnterOrEscape)
{
    OpenWindow();
    for (int way = 0; way < 3; ++way) {
        Action("aboutItem")->trigger();
        quintar::CAboutDlg* about = nullptr;
        ASSERT_TRUE(PumpUntil([&] {
            about = window->findChild<quintar::CAboutDlg*>(QStringLiteral("CAboutDlg"));
            return about && about->isVisible();
        }, 2000));
        EXPECT_TRUE(about->isModal());
        EXPECT_EQ(about->size(), QSize(594, 225));
        EXPECT_TRUE(about->windowFlags() & Qt::FramelessWindowHint);
        QLabel* picture = about->findChild<QLabel*>(QStringLiteral("picture"));
        ASSERT_NE(qobject_cast<CStaticEx*>(picture), nullptr);
        EXPECT_EQ(picture->geometry(), QRect(0, 0, 594, 225));
        QPushButton* ok = about->findChild<QPushButton*>(QStringLiteral("okButton"));
        ASSERT_NE(ok, nullptr);
        EXPECT_FALSE(ok->isVisible());
        if (way == 0) {
            const QString says = picture->accessibleDescription();
            EXPECT_TRUE(says.startsWith("Version ")) << says.toStdString();
            EXPECT_TRUE(says.contains("Licence: GPL-3.0-or-later")) << says.toStdString();
            EXPECT_TRUE(says.contains("Source: ")) << says.toStdString();
            EXPECT_EQ(picture->toolTip(), says);
            const QImage drawn = about->grab().toImage();
            const qreal r = drawn.devicePixelRatio();
            auto at = [&](int x, int y) { return QColor(drawn.pixel(int(x * r), int(y * r))); };
            EXPECT_EQ(at(5, 5), QColor(255, 255, 255)) << "the white margin";
            EXPECT_EQ(at(580, 215), QColor(255, 255, 255));
            EXPECT_EQ(at(20, 20), QColor(255, 192, 128)) << "the panel where the banner is white";
            EXPECT_EQ(at(570, 200), QColor(255, 192, 128));
            // The three lines under the program's name are drawn, dark on the panel.
            for (int baseline : {174, 189, 204}) {
                int dark = 0;
                for (int x = 209; x < 300; ++x)
                    for (int y = baseline - 9; y <= baseline; ++y)
                        dark += at(x, y).lightness() < 100 ? 1 : 0;
                EXPECT_GT(dark, 20) << baseline;
            }
            EXPECT_TRUE(SaveScreenshot(*about, r > 1 ? "about@2x" : "about"));
        }
        QSignalSpy finished(about, &QDialog::finished);
        if (way == 0)
            QTest::mouseClick(about, Qt::LeftButton, {}, QPoint(300, 100));
        else
            QTest::keyClick(about, way == 1 ? Qt::Key_Return : Qt::Key_Escape);
        ASSERT_TRUE(PumpUntil([&] { return finished.count() == 1; }, 2000)) << way;
        EXPECT_EQ(finished.first().first().toInt(), QDialog::Accepted);
        PumpFor(10);
    }
}

TEST_F(WindowTest, splashIsHeldBeforeTheWindowShowsAndAClickEndsItEarly)
{
    stationtest::WriteSettings(*profile, settings);
    MakeWindow();
    QSignalSpy opened(window.get(), &CHostDlg::Opened);
    window->Open(60000);
    ASSERT_NE(window->Splash(), nullptr);
    EXPECT_TRUE(window->Splash()->isVisible());
    EXPECT_FALSE(window->isVisible()) << "not usable before the splash has gone";
    PumpFor(100);
    EXPECT_EQ(opened.count(), 0);
    QTest::mouseClick(window->Splash(), Qt::LeftButton, {}, QPoint(100, 100));
    ASSERT_TRUE(PumpUntil([&] { return opened.count() == 1; }, 2000)) << "a click ends it long before its minute";
    EXPECT_EQ(window->Splash(), nullptr);
    EXPECT_TRUE(window->isVisible());

    window.reset();
    MakeWindow();
    QSignalSpy openedAgain(window.get(), &CHostDlg::Opened);
    window->Open(200);
    EXPECT_FALSE(window->isVisible());
    ASSERT_TRUE(PumpUntil([&] { return openedAgain.count() == 1; }, 5000)) << "the hold ends by itself";
    EXPECT_TRUE(window->isVisible());
}

TEST_F(WindowTest, stopSignalWhileTheSplashIsUpEndsWithoutShowingTheWindow)
{
    stationtest::WriteSettings(*profile, settings);
    MakeWindow();
    QSignalSpy closed(window.get(), &CHostDlg::Closed);
    window->Open(60000);
    window->BeginClose();
    ASSERT_TRUE(PumpUntil([&] { return closed.count() == 1; }, 5000));
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->Splash(), nullptr);
    EXPECT_EQ(profile->GetString("WindowPos", "Vexa", ""), "") << "a window never shown has no position to keep";
}

}  // namespace
}  // namespace windowtest
