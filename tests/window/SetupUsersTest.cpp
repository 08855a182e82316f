// The Setup dialog's user list and the user editor: Add, Edit (also by a double click), Delete and
// Enable/Disable from the buttons and the context menu, the duplicate check, the ten-user limit,
// the editor's OK rule, the character checks with their messages and focus, the description's
// swallowed keys, and a model that never gives out a password.
#include <QGuiApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "SetupFixture.h"

namespace windowtest {
namespace {

using Rows = std::vector<std::pair<QString, QString>>;

class SetupUsers : public SetupTest {
protected:
    void Select(int row) { WindowClick(UserList()->viewport(), Qt::LeftButton, RowRect(row).center()); }
    QVariant StoredUser(int slot, const char* key) const
    {
        return Stored(QStringLiteral("Setting/VEXA %1 %2").arg(slot, 3, 10, QLatin1Char('0')).arg(QLatin1String(key)));
    }
};

TEST_F(SetupUsers, addPutsTheUserOnTopSelectedWithItsMark)
{
    WriteUsers(2);
    OpenSetup();
    AddUser("carol", "Pw!carol", "Third desk", true);
    EXPECT_EQ(ListedUsers(), (Rows{{"carol", "Third desk"}, {"user1", "desk 1"}, {"user0", "desk 0"}}));
    const QModelIndexList selected = UserList()->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected.first().row(), 0);
    EXPECT_TRUE(ShowsDisabledMark(0));
    EXPECT_FALSE(ShowsDisabledMark(1));
    PressOk();
    ASSERT_TRUE(PumpUntil([&] { return !setup->isVisible(); }, 5000));
    EXPECT_EQ(StoredUser(0, "User ID").toString(), "carol");
    EXPECT_EQ(StoredUser(0, "Password").toString(), "Pw!carol");
    EXPECT_EQ(StoredUser(0, "Description").toString(), "Third desk");
    EXPECT_EQ(StoredUser(0, "User Disabled").toInt(), 1);
    EXPECT_EQ(StoredUser(1, "User ID").toString(), "user1");
    EXPECT_EQ(StoredUser(2, "User ID").toString(), "user0");
}

TEST_F(SetupUsers, noRoleOfTheListEverGivesAPassword)
{
    WriteUsers(3);
    OpenSetup();
    AddUser("dave", "Secret#dave");
    const QAbstractItemModel* model = UserList()->model();
    for (int r = 0; r < model->rowCount(); ++r)
        for (int c = 0; c < model->columnCount(); ++c)
            for (int role = 0; role < Qt::UserRole + 64; ++role) {
                const QString text = model->index(r, c).data(role).toString();
                for (const char* password : {"pw0", "pw1", "pw2", "Secret#dave"})
                    EXPECT_EQ(text.indexOf(QLatin1String(password)), -1) << r << " " << c << " role " << role;
            }
    EXPECT_EQ(model->columnCount(), 2);
}

// Said while the editor is still open: what was typed stays, the id is selected to be changed.
TEST_F(SetupUsers, sameIdIgnoringCaseIsRefusedInTheOpenEditorWithTheApplicationsCaption)
{
    WriteProfile({{"Setting/VEXA 000 User ID", "Alice"}, {"Setting/VEXA 000 Password", "Pw!a"}});
    OpenSetup();
    Click(Control<QPushButton>("addButton"));
    FillEditor("alice", "Other!pw", "second Alice", true);
    QMessageBox* box = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (box = OpenMessageBox("sameUserIdMessage")) != nullptr; }, 5000));
    EXPECT_EQ(box->text(), "There are same User ID.");
    EXPECT_EQ(box->windowTitle(), QGuiApplication::applicationDisplayName());
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    CSetupUserDlg* editor = setup->UserEditor();
    ASSERT_NE(editor, nullptr) << "the editor is still open";
    EXPECT_EQ(box->parentWidget(), editor);
    EXPECT_TRUE(Dismiss("sameUserIdMessage"));
    ASSERT_EQ(Editor(), editor);
    QLineEdit* id = EditorControl<QLineEdit>("userIdEdit");
    EXPECT_TRUE(PumpUntil([&] { return id->hasFocus(); }, 2000));
    EXPECT_EQ(id->selectedText(), "alice");
    EXPECT_EQ(EditorControl<QLineEdit>("passwordEdit")->text(), "Other!pw");
    EXPECT_EQ(EditorControl<QLineEdit>("retypeEdit")->text(), "Other!pw");
    EXPECT_EQ(EditorControl<QPlainTextEdit>("descriptionEdit")->toPlainText(), "second Alice");
    EXPECT_TRUE(EditorControl<QCheckBox>("disabledCheck")->isChecked());
    EXPECT_EQ(ListedUsers(), (Rows{{"Alice", ""}}));

    QTest::keyClick(id, Qt::Key_End);
    QTest::keyClicks(id, "2");
    Click(EditorControl<QPushButton>("okButton"));
    ASSERT_TRUE(PumpUntil([&] { return !setup->UserEditor(); }, 5000));
    EXPECT_EQ(ListedUsers(), (Rows{{"alice2", "second Alice"}, {"Alice", ""}}));
}

TEST_F(SetupUsers, addDoesNothingAtTenUsers)
{
    WriteUsers(10);
    OpenSetup();
    Click(Control<QPushButton>("addButton"));
    PumpFor(50);
    EXPECT_EQ(setup->UserEditor(), nullptr);
    QMenu* menu = ContextMenu(0);
    ASSERT_NE(menu, nullptr);
    ChooseMenuItem(menu, "addItem");
    PumpFor(50);
    EXPECT_EQ(setup->UserEditor(), nullptr);
    EXPECT_EQ(ListedUsers().size(), 10u);

    // With one deleted, one can be added again.
    Select(9);
    Click(Control<QPushButton>("deleteButton"));
    EXPECT_EQ(ListedUsers().size(), 9u);
    AddUser("user10", "pw10");
    EXPECT_EQ(ListedUsers().size(), 10u);
}

TEST_F(SetupUsers, editChangesPasswordDescriptionAndFlagButNeverTheId)
{
    WriteProfile({{"Setting/VEXA 000 User ID", "eve"},
                  {"Setting/VEXA 000 Password", "Old!pw"},
                  {"Setting/VEXA 000 Description", "Before"},
                  {"Setting/VEXA 000 User Disabled", 0}});
    OpenSetup();
    Click(Control<QPushButton>("editButton"));
    PumpFor(50);
    EXPECT_EQ(setup->UserEditor(), nullptr) << "nothing happens without a selection";

    DoubleClickRow(0);
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(Editor()->EditMode(), CSetupUserDlg::Mode::Edit);
    EXPECT_EQ(EditorControl<QLineEdit>("userIdEdit")->text(), "eve");
    EXPECT_FALSE(EditorControl<QLineEdit>("userIdEdit")->isEnabled());
    EXPECT_EQ(EditorControl<QLineEdit>("passwordEdit")->text(), "Old!pw");
    EXPECT_EQ(EditorControl<QLineEdit>("retypeEdit")->text(), "Old!pw");
    EXPECT_EQ(EditorControl<QPlainTextEdit>("descriptionEdit")->toPlainText(), "Before");
    EXPECT_TRUE(EditorControl<QPushButton>("okButton")->isEnabled());
    FillEditor("ignored", "New!pw", "After", true);
    ASSERT_TRUE(PumpUntil([&] { return !setup->UserEditor(); }, 5000));
    EXPECT_EQ(ListedUsers(), (Rows{{"eve", "After"}}));
    EXPECT_TRUE(ShowsDisabledMark(0));

    // The Edit button and Cancel: nothing changes.
    Select(0);
    Click(Control<QPushButton>("editButton"));
    ASSERT_NE(Editor(), nullptr);
    TypeOver(EditorControl<QPlainTextEdit>("descriptionEdit"), "Cancelled");
    Click(EditorControl<QPushButton>("cancelButton"));
    ASSERT_TRUE(PumpUntil([&] { return !setup->UserEditor(); }, 5000));
    EXPECT_EQ(ListedUsers(), (Rows{{"eve", "After"}}));

    PressOk();
    ASSERT_TRUE(PumpUntil([&] { return !setup->isVisible(); }, 5000));
    EXPECT_EQ(StoredUser(0, "User ID").toString(), "eve");
    EXPECT_EQ(StoredUser(0, "Password").toString(), "New!pw");
    EXPECT_EQ(StoredUser(0, "Description").toString(), "After");
    EXPECT_EQ(StoredUser(0, "User Disabled").toInt(), 1);
}

TEST_F(SetupUsers, deletedUsersLeaveTheirSlotsWrittenEmptyAtTheEnd)
{
    WriteUsers(4);
    OpenSetup();
    Select(1);  // user2
    Click(Control<QPushButton>("deleteButton"));
    QMenu* menu = ContextMenu(0);  // user3
    ChooseMenuItem(menu, "deleteItem");
    EXPECT_EQ(ListedUsers(), (Rows{{"user1", "desk 1"}, {"user0", "desk 0"}}));
    EXPECT_TRUE(UserList()->selectionModel()->selectedRows().isEmpty());
    Click(Control<QPushButton>("deleteButton"));  // nothing selected: nothing happens
    EXPECT_EQ(ListedUsers().size(), 2u);
    PressOk();
    ASSERT_TRUE(PumpUntil([&] { return !setup->isVisible(); }, 5000));
    EXPECT_EQ(StoredUser(0, "User ID").toString(), "user1");
    EXPECT_EQ(StoredUser(1, "User ID").toString(), "user0");
    for (int slot : {2, 3}) {
        EXPECT_EQ(StoredUser(slot, "User ID").toString(), "") << slot;
        EXPECT_EQ(StoredUser(slot, "Password").toString(), "") << slot;
        EXPECT_EQ(StoredUser(slot, "Description").toString(), "") << slot;
        EXPECT_EQ(StoredUser(slot, "User Disabled").toInt(), 0) << slot;
    }
}

TEST_F(SetupUsers, enableDisableFromTheMenuInvertsTheFlag)
{
    WriteUsers(2);
    OpenSetup();
    ChooseMenuItem(ContextMenu(1), "enableDisableItem");
    EXPECT_TRUE(ShowsDisabledMark(1));
    EXPECT_FALSE(ShowsDisabledMark(0));
    ChooseMenuItem(ContextMenu(0), "enableDisableItem");
    ChooseMenuItem(ContextMenu(1), "enableDisableItem");
    EXPECT_TRUE(ShowsDisabledMark(0));
    EXPECT_FALSE(ShowsDisabledMark(1));
    ChooseMenuItem(ContextMenu(1), "editItem");  // Edit from the menu shows the flag
    ASSERT_NE(Editor(), nullptr);
    EXPECT_FALSE(EditorControl<QCheckBox>("disabledCheck")->isChecked());
    Click(EditorControl<QPushButton>("cancelButton"));
    ASSERT_TRUE(PumpUntil([&] { return !setup->UserEditor(); }, 5000));
    PressOk();
    ASSERT_TRUE(PumpUntil([&] { return !setup->isVisible(); }, 5000));
    EXPECT_EQ(StoredUser(0, "User Disabled").toInt(), 1);  // user1, on top
    EXPECT_EQ(StoredUser(1, "User Disabled").toInt(), 0);
}

TEST_F(SetupUsers, contextMenuGraysEverythingButAddOnAnEmptyList)
{
    OpenSetup();
    QMenu* menu = ContextMenu(std::nullopt);
    ASSERT_NE(menu, nullptr);
    std::vector<std::pair<QString, bool>> items;
    for (QAction* a : menu->actions())
        items.emplace_back(a->isSeparator() ? QStringLiteral("-") : a->text(), a->isEnabled());
    EXPECT_EQ(items, (std::vector<std::pair<QString, bool>>{{"Add (&A)...", true},
                                                            {"Edit (&E)...", false},
                                                            {"Delete (&D)", false},
                                                            {"-", true},
                                                            {"Enable/Disable (&B)", false}}));
    ChooseMenuItem(menu, "addItem");
    FillEditor("frank", "Pw!frank", "", false);
    ASSERT_TRUE(PumpUntil([&] { return !setup->UserEditor(); }, 5000));
    menu = ContextMenu(0);
    for (QAction* a : menu->actions())
        EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
    menu->close();
}

// ---- The user editor ---------------------------------------------------------------------------

TEST_F(SetupUsers, editorOkNeedsAnIdAndTwoEqualPasswords)
{
    OpenSetup();
    Click(Control<QPushButton>("addButton"));
    ASSERT_NE(Editor(), nullptr);
    QPushButton* ok = EditorControl<QPushButton>("okButton");
    QLineEdit* id = EditorControl<QLineEdit>("userIdEdit");
    QLineEdit* password = EditorControl<QLineEdit>("passwordEdit");
    QLineEdit* retype = EditorControl<QLineEdit>("retypeEdit");
    const struct {
        QLineEdit* edit;
        const char* text;
        bool ok;
    } steps[] = {
        {id, "grace", false},       {password, "Pw!g", false}, {retype, "Pw!G", false},  // letter case counts
        {retype, "Pw!g", true},     {id, "", false},           {id, "gr", true},
        {password, "", false},      {password, "Pw!g", true},
        // While the id holds a blank its changes leave OK as it was; OK's check then refuses it.
        {id, "gr ace", true},       {retype, "x", false},      {id, "gr ac e", false}, {retype, "Pw!g", true},
    };
    for (const auto& step : steps) {
        TypeOver(step.edit, QString::fromLatin1(step.text));
        EXPECT_EQ(ok->isEnabled(), step.ok) << step.edit->objectName().toStdString() << " = " << step.text;
    }
}

struct Refusal {
    const char* name;
    const char* id;
    const char* password;
    const char* box;
    const char* caption;
    const char* text;
    const char* focus;
};
void PrintTo(const Refusal& c, std::ostream* os) { *os << c.name; }

const Refusal kRefusals[] = {
    {"idWithBlank", "two words", "Pw!ok", "userIdCheck", "User ID Check", " There are invalid character(s) in User ID.", "userIdEdit"},
    {"idWithSemicolon", "a;b", "Pw!ok", "userIdCheck", "User ID Check", " There are invalid character(s) in User ID.", "userIdEdit"},
    {"idNonAscii", "Jörg", "Pw!ok", "userIdCheck", "User ID Check", " There are invalid character(s) in User ID.", "userIdEdit"},
    {"passwordWithBlank", "henry", "two words", "passwordCheck", "Password Check",
     " There are invalid character(s) in Password.", "passwordEdit"},
    {"passwordWithSemicolon", "henry", "pw;1", "passwordCheck", "Password Check",
     " There are invalid character(s) in Password.", "passwordEdit"},
    {"passwordNonAscii", "henry", "pässword", "passwordCheck", "Password Check",
     " There are invalid character(s) in Password.", "passwordEdit"},
    {"idCheckedFirst", "bad id", "bad pw", "userIdCheck", "User ID Check", " There are invalid character(s) in User ID.",
     "userIdEdit"},
};

class SetupUserRefusal : public SetupUsers, public ::testing::WithParamInterface<Refusal> {};

TEST_P(SetupUserRefusal, isSaidWithItsCaptionAndTheFieldGetsTheFocus)
{
    const Refusal& c = GetParam();
    OpenSetup();
    Click(Control<QPushButton>("addButton"));
    ASSERT_NE(Editor(), nullptr);
    // Passwords first, so that the id's last change counts for OK.
    TypeOver(EditorControl<QLineEdit>("passwordEdit"), QString::fromUtf8(c.password));
    TypeOver(EditorControl<QLineEdit>("retypeEdit"), QString::fromUtf8(c.password));
    TypeOver(EditorControl<QLineEdit>("userIdEdit"), QStringLiteral("x"));
    TypeOver(EditorControl<QLineEdit>("userIdEdit"), QString::fromUtf8(c.id));
    ASSERT_TRUE(EditorControl<QPushButton>("okButton")->isEnabled());
    Click(EditorControl<QPushButton>("okButton"));
    QMessageBox* box = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (box = OpenMessageBox(c.box)) != nullptr; }, 5000));
    EXPECT_EQ(box->windowTitle(), QString::fromLatin1(c.caption));
    EXPECT_EQ(box->text(), QString::fromLatin1(c.text));
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    EXPECT_TRUE(Dismiss(c.box));
    ASSERT_NE(Editor(), nullptr) << "the editor stays open";
    auto* field = EditorControl<QLineEdit>(c.focus);
    EXPECT_TRUE(PumpUntil([&] { return field->hasFocus(); }, 2000));
    EXPECT_EQ(field->selectedText(), field->text()) << "its whole text selected";
    EXPECT_FALSE(field->text().isEmpty());
    Click(EditorControl<QPushButton>("cancelButton"));
    ASSERT_TRUE(PumpUntil([&] { return !setup->UserEditor(); }, 5000));
    EXPECT_TRUE(ListedUsers().empty());
}

INSTANTIATE_TEST_SUITE_P(Checks, SetupUserRefusal, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SetupUsers, descriptionSwallowsTheKeysThatWouldBreakItsLine)
{
    OpenSetup();
    Click(Control<QPushButton>("addButton"));
    ASSERT_NE(Editor(), nullptr);
    auto* description = EditorControl<QPlainTextEdit>("descriptionEdit");
    description->setFocus();
    QTest::keyClicks(description, "ab");
    QTest::keyClick(description, Qt::Key_Return, Qt::ControlModifier);
    QTest::keyClick(description, Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
    QTest::keyClick(description, Qt::Key_I, Qt::ControlModifier);
    QTest::keyClick(description, Qt::Key_J, Qt::ControlModifier);
    QTest::keyClick(description, Qt::Key_M, Qt::ControlModifier);
    QTest::keyClick(description, Qt::Key_Tab, Qt::ControlModifier);
    QTest::keyClick(description, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(description, "cd");
    EXPECT_EQ(description->toPlainText(), "abcd");
    EXPECT_EQ(Editor()->isVisible(), true);

    // Pasted tabs and line breaks become blanks; the text ends at 128 bytes.
    PasteOver(description, "one\ttwo\nthree\r\nfour\x7f");
    EXPECT_EQ(description->toPlainText(), "one two three four ");
    PasteOver(description, QString(130, QLatin1Char('d')));
    EXPECT_EQ(description->toPlainText(), QString(128, QLatin1Char('d')));
    PasteOver(description, QString(70, QChar(0x00FC)));  // two bytes each
    EXPECT_EQ(description->toPlainText(), QString(64, QChar(0x00FC)));

    // Plain Enter is the dialog's: with OK enabled it closes the editor with OK.
    TypeOver(EditorControl<QLineEdit>("passwordEdit"), "Pw!i");
    TypeOver(EditorControl<QLineEdit>("retypeEdit"), "Pw!i");
    TypeOver(EditorControl<QLineEdit>("userIdEdit"), "ivan");
    TypeOver(description, "Short");
    QTest::keyClick(description, Qt::Key_Return);
    ASSERT_TRUE(PumpUntil([&] { return !setup->UserEditor(); }, 5000));
    EXPECT_EQ(ListedUsers(), (Rows{{"ivan", "Short"}}));
}

}  // namespace
}  // namespace windowtest
