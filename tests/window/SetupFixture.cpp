// The Setup dialog tests' fixture and helpers.
#include "SetupFixture.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPushButton>
#include <QTest>

namespace windowtest {

namespace {

bool Activate(QWidget& w)
{
    if (!PumpUntil([&] { return w.isVisible(); }, 5000))
        return false;
    w.activateWindow();
    return PumpUntil([&] { return w.isActiveWindow(); }, 5000);
}

}  // namespace

void SetupTest::SetUp()
{
    profileFile = dir.Path() / "Quintar.ini";
    profile = std::make_unique<quintar::SettingsProfile>(QString::fromStdString(profileFile.string()));
}

void SetupTest::TearDown()
{
    setup.reset();
    for (QWidget* w : QApplication::topLevelWidgets())
        w->deleteLater();
    PumpFor(10);
}

void SetupTest::WriteProfile(const std::vector<ProfileValue>& values)
{
    QSettings file(QString::fromStdString(profileFile.string()), QSettings::IniFormat);
    for (const auto& [key, value] : values)
        file.setValue(key, value);
    file.sync();
    ASSERT_EQ(file.status(), QSettings::NoError);
}

QVariant SetupTest::Stored(const QString& key) const
{
    return QSettings(QString::fromStdString(profileFile.string()), QSettings::IniFormat).value(key);
}

void SetupTest::WriteUsers(int count)
{
    std::vector<ProfileValue> values;
    for (int i = 0; i < count; ++i) {
        const QString slot = QStringLiteral("Setting/VEXA %1 ").arg(i, 3, 10, QLatin1Char('0'));
        values.push_back({slot + "User ID", QStringLiteral("user%1").arg(i)});
        values.push_back({slot + "Password", QStringLiteral("pw%1").arg(i)});
        values.push_back({slot + "Description", QStringLiteral("desk %1").arg(i)});
        values.push_back({slot + "User Disabled", 0});
    }
    WriteProfile(values);
}

CSetupDlg& SetupTest::OpenSetup()
{
    auto chooser = [this](QWidget* owner, const QString& title, const QString&) {
        ++browsed;
        browseOwner = owner;
        browseTitle = title;
        return folderAnswer;
    };
    // This computer's address, as the window gets it from its station's controller.
    const QString localAddress = quintar::StationController(*profile, {}).LocalAddress();
    setup = std::make_unique<CSetupDlg>(*profile, localAddress, nullptr, chooser, [this] { return presentDevices; });
    setup->open();
    EXPECT_TRUE(Activate(*setup));
    return *setup;
}

CSetupUserDlg* SetupTest::Editor()
{
    if (!PumpUntil([&] { return setup->UserEditor() && setup->UserEditor()->isVisible(); }, 5000))
        return nullptr;
    CSetupUserDlg* editor = setup->UserEditor();
    if (!editor->isActiveWindow()) {
        EXPECT_TRUE(Activate(*editor));
    }
    return editor;
}

std::vector<std::pair<QString, QString>> SetupTest::ListedUsers() const
{
    std::vector<std::pair<QString, QString>> rows;
    const QAbstractItemModel* model = UserList()->model();
    for (int r = 0; r < model->rowCount(); ++r)
        rows.emplace_back(model->index(r, 0).data().toString(), model->index(r, 1).data().toString());
    return rows;
}

// The mark in front of the row as drawn: red in its middle for a disabled user.
bool SetupTest::ShowsDisabledMark(int row) const
{
    const QIcon icon = UserList()->model()->index(row, 0).data(Qt::DecorationRole).value<QIcon>();
    const QImage image = icon.pixmap(QSize(16, 16), 1.0).toImage();
    if (image.isNull())
        return false;
    const QColor middle = image.pixelColor(3, 8);  // inside the disc, clear of the cross
    return middle.alpha() > 200 && middle.red() > 180 && middle.green() < 80 && middle.blue() < 80;
}

QRect SetupTest::RowRect(int row) const
{
    return UserList()->visualRect(UserList()->model()->index(row, 0));
}

void SetupTest::Click(QWidget* w)
{
    ASSERT_NE(w, nullptr);
    QTest::mouseClick(w, Qt::LeftButton);
    QCoreApplication::processEvents();
}

void SetupTest::TypeOver(QWidget* edit, const QString& text)
{
    ASSERT_NE(edit, nullptr);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Delete);
    for (QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(edit, c.toLatin1());
        else  // a key of a national keyboard: no key code, only its text
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

void SetupTest::PasteOver(QWidget* edit, const QString& text)
{
    ASSERT_NE(edit, nullptr);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Delete);
    QGuiApplication::clipboard()->setText(text);
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
}

void SetupTest::Choose(QComboBox* list, int index)
{
    ASSERT_NE(list, nullptr);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Home);
    for (int i = 0; i < index; ++i)
        QTest::keyClick(list, Qt::Key_Down);
    ASSERT_EQ(list->currentIndex(), index);
}

void SetupTest::WindowClick(QWidget* target, Qt::MouseButton button, QPoint at)
{
    QTest::mouseClick(target->window()->windowHandle(), button, {}, target->mapTo(target->window(), at));
    QCoreApplication::processEvents();
}

void SetupTest::WindowDoubleClick(QWidget* target, QPoint at)
{
    QTest::mouseDClick(target->window()->windowHandle(), Qt::LeftButton, {}, target->mapTo(target->window(), at));
    QCoreApplication::processEvents();
}

QMenu* SetupTest::ContextMenu(std::optional<int> row)
{
    QWidget* viewport = UserList()->viewport();
    const QPoint at = row ? RowRect(*row).center() : QPoint(20, viewport->height() - 4);
    WindowClick(viewport, Qt::RightButton, at);
    QMenu* menu = setup->findChild<QMenu*>(QStringLiteral("menuUsers"));
    if (!menu || !PumpUntil([&] { return menu->isVisible(); }, 5000))
        return nullptr;
    return menu;
}

void SetupTest::ChooseMenuItem(QMenu* menu, const char* name)
{
    ASSERT_NE(menu, nullptr);
    QAction* action = menu->findChild<QAction*>(QLatin1String(name));
    ASSERT_NE(action, nullptr) << name;
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    PumpUntil([&] { return !menu->isVisible(); }, 5000);
}

void SetupTest::FillEditor(const QString& id, const QString& password, const QString& description, bool disabled)
{
    CSetupUserDlg* editor = Editor();
    ASSERT_NE(editor, nullptr);
    if (EditorControl<QLineEdit>("userIdEdit")->isEnabled())
        TypeOver(EditorControl<QLineEdit>("userIdEdit"), id);
    TypeOver(EditorControl<QLineEdit>("passwordEdit"), password);
    TypeOver(EditorControl<QLineEdit>("retypeEdit"), password);
    TypeOver(EditorControl<QPlainTextEdit>("descriptionEdit"), description);
    if (EditorControl<QCheckBox>("disabledCheck")->isChecked() != disabled)
        Click(EditorControl<QCheckBox>("disabledCheck"));
    Click(EditorControl<QPushButton>("okButton"));
}

void SetupTest::AddUser(const QString& id, const QString& password, const QString& description, bool disabled)
{
    Click(Control<QPushButton>("addButton"));
    FillEditor(id, password, description, disabled);
    ASSERT_TRUE(PumpUntil([&] { return !setup->UserEditor(); }, 5000)) << "the editor closes";
}

void SetupTest::PressOk()
{
    Click(Control<QPushButton>("okButton"));
}

bool SetupTest::Dismiss(const char* objectName)
{
    QMessageBox* box = nullptr;
    if (!PumpUntil([&] { return (box = OpenMessageBox(objectName)) != nullptr; }, 5000))
        return false;
    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    return PumpUntil([&] { return OpenMessageBox(objectName) == nullptr; }, 5000);
}

}  // namespace windowtest
