// The Setup dialog and `quintar setup` take and refuse the same inputs: one table of typed values,
// each entered once through the dialog as an operator would and once through the real setup
// program, each on a profile of its own. And a user added in the dialog of the running station's
// window logs in over TCP at once.
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "SetupFixture.h"

namespace windowtest {
namespace {

enum class Field { TcpPort, UserId, Password, Description, Device, Log };

struct Input {
    const char* name;
    Field field;
    QString text;      // as typed; for Log "on" or "on with folder"
    bool accepted;     // what both must do
    const char* kept;  // what an accepted input is stored as, when not the text itself
};
void PrintTo(const Input& c, std::ostream* os) { *os << c.name; }

const Input kInputs[] = {
    {"tcpPortLowest", Field::TcpPort, "1024", true, nullptr},
    {"tcpPortHighest", Field::TcpPort, "65535", true, nullptr},
    {"tcpPortLeadingZero", Field::TcpPort, "01024", true, "1024"},
    {"tcpPortBelow", Field::TcpPort, "1023", false, nullptr},
    {"tcpPortAbove", Field::TcpPort, "65536", false, nullptr},
    {"tcpPortLetters", Field::TcpPort, "80a", false, nullptr},
    {"tcpPortSign", Field::TcpPort, "+2000", false, nullptr},
    {"tcpPortEmpty", Field::TcpPort, "", false, nullptr},
    {"idPlain", Field::UserId, "op1", true, nullptr},
    {"id32", Field::UserId, QString(32, 'u'), true, nullptr},
    {"idTildeAndDel", Field::UserId, "~!\x7f", true, nullptr},
    {"id33", Field::UserId, QString(33, 'u'), false, nullptr},
    {"idEmpty", Field::UserId, "", false, nullptr},
    {"idBlank", Field::UserId, "two words", false, nullptr},
    {"idSemicolon", Field::UserId, "a;b", false, nullptr},
    {"idNonAscii", Field::UserId, QString::fromUtf8("J\xc3\xb6rg"), false, nullptr},
    {"idTab", Field::UserId, "tab\there", false, nullptr},
    {"passwordPlain", Field::Password, "Pw!ok", true, nullptr},
    {"password32", Field::Password, QString(32, 'p'), true, nullptr},
    {"passwordDel", Field::Password, "c3~\x7f", true, nullptr},
    {"password33", Field::Password, QString(33, 'p'), false, nullptr},
    {"passwordEmpty", Field::Password, "", false, nullptr},
    {"passwordBlank", Field::Password, "two words", false, nullptr},
    {"passwordSemicolon", Field::Password, "pw;1", false, nullptr},
    {"passwordNonAscii", Field::Password, QString::fromUtf8("p\xc3\xa4ssword"), false, nullptr},
    {"descriptionPlain", Field::Description, "Night shift, remote", true, nullptr},
    {"descriptionEmpty", Field::Description, "", true, nullptr},
    {"description128", Field::Description, QString(128, 'd'), true, nullptr},
    {"descriptionNonAscii", Field::Description, QString::fromUtf8("Z\xc3\xbcrich desk"), true, nullptr},
    {"description129", Field::Description, QString(129, 'd'), false, nullptr},
    {"descriptionTab", Field::Description, "a\tb", false, nullptr},
    {"descriptionLineBreak", Field::Description, "a\nb", false, nullptr},
    {"deviceAbsolute", Field::Device, "/dev/ttyUSB0", true, nullptr},
    {"deviceById", Field::Device, "/dev/serial/by-id/usb-Adapter_Serial_A1B2C3-if00-port0", true, nullptr},
    {"deviceRelative", Field::Device, "ttyUSB0", false, nullptr},
    {"deviceEmpty", Field::Device, "", false, nullptr},
    {"logOnWithoutFolder", Field::Log, "on", false, "1"},
    {"logOnWithFolder", Field::Log, "on with folder", true, "1"},
};

constexpr char kPassword[] = "Pw!ok";

class SetupAgreement : public SetupTest, public ::testing::WithParamInterface<Input> {
protected:
    // The key the input is stored under and the value it must be stored as.
    static QString KeyOf(Field field)
    {
        switch (field) {
        case Field::TcpPort: return "Setting/VEXA IP Port No";
        case Field::UserId: return "Setting/VEXA 000 User ID";
        case Field::Password: return "Setting/VEXA 000 Password";
        case Field::Description: return "Setting/VEXA 000 Description";
        case Field::Device: return "Ports/COM1";
        case Field::Log: return "Setting/VEXA Log";
        }
        return {};
    }
    static QString Kept(const Input& in) { return in.kept ? QString::fromUtf8(in.kept) : in.text; }
    QString LogFolder() const { return QString::fromStdString((dir.Path() / "logs").string()); }

    // Through `quintar setup` on a profile of its own: whether it was taken, and stored as it should.
    bool BySetupProgram(const Input& in)
    {
        const std::filesystem::path file = dir.Path() / "by-setup.ini";
        QStringList args{"setup", "--profile", QString::fromStdString(file.string())};
        std::string input;
        switch (in.field) {
        case Field::TcpPort: args << "set" << "tcp-port" << in.text; break;
        case Field::UserId:
            args << "user" << "add" << in.text << "--password-stdin";
            input = std::string(kPassword) + "\n";
            break;
        case Field::Password:
            args << "user" << "add" << "tester" << "--password-stdin";
            input = in.text.toStdString() + "\n";
            break;
        case Field::Description:
            args << "user" << "add" << "tester" << "--description" << in.text << "--password-stdin";
            input = std::string(kPassword) + "\n";
            break;
        case Field::Device: args << "set" << "com-device" << "1" << in.text; break;
        case Field::Log:
            args << "set" << "log" << "on";
            if (in.text.contains("folder"))
                args << "--folder" << LogFolder();
            break;
        }
        stationtest::Program setupProgram(args);
        EXPECT_TRUE(setupProgram.Run(input));
        const QVariant stored = QSettings(QString::fromStdString(file.string()), QSettings::IniFormat).value(KeyOf(in.field));
        if (setupProgram.ExitStatus() == 0) {
            EXPECT_EQ(stored.toString(), Kept(in)) << "taken but stored otherwise";
        }
        return setupProgram.ExitStatus() == 0 && stored.isValid() && stored.toString() == Kept(in);
    }

    // Through the dialog on the fixture's profile, typed or pasted as an operator would: whether it
    // was taken (the user is in the list, the device passed OK's check) and stored as typed.
    bool ByDialog(const Input& in)
    {
        OpenSetup();
        bool taken = true;
        switch (in.field) {
        case Field::TcpPort:
            TypeOver(Control<QLineEdit>("tcpPortEdit"), in.text);
            QTest::keyClick(Control<QLineEdit>("tcpPortEdit"), Qt::Key_Tab);
            break;
        case Field::UserId:
        case Field::Password:
        case Field::Description: {
            Click(Control<QPushButton>("addButton"));
            if (!Editor())
                return false;
            const QString id = in.field == Field::UserId ? in.text : QStringLiteral("tester");
            const QString password = in.field == Field::Password ? in.text : QString::fromLatin1(kPassword);
            PasteOver(EditorControl<QLineEdit>("passwordEdit"), password);
            PasteOver(EditorControl<QLineEdit>("retypeEdit"), password);
            PasteOver(EditorControl<QLineEdit>("userIdEdit"), id);
            if (in.field == Field::Description)
                PasteOver(EditorControl<QPlainTextEdit>("descriptionEdit"), in.text);
            if (EditorControl<QPushButton>("okButton")->isEnabled())
                Click(EditorControl<QPushButton>("okButton"));
            PumpFor(20);
            for (const char* box : {"userIdCheck", "passwordCheck"})
                if (OpenMessageBox(box))
                    Dismiss(box);
            if (setup->UserEditor())
                Click(EditorControl<QPushButton>("cancelButton"));
            if (!PumpUntil([&] { return !setup->UserEditor(); }, 5000))
                return false;
            taken = setup->Users().rowCount() == 1;
            break;
        }
        case Field::Device:
            PasteOver(setup->findChild<QComboBox*>(QStringLiteral("comDevice"))->lineEdit(), in.text);
            break;
        case Field::Log:
            if (in.text.contains("folder")) {
                folderAnswer = LogFolder();
                Click(Control<QPushButton>("browseButton"));
            }
            Click(Control<QCheckBox>("logCheck"));
            break;
        }
        PressOk();
        if (OpenMessageBox("deviceMessage")) {
            taken = false;
            Dismiss("deviceMessage");
            Click(Control<QPushButton>("cancelButton"));
        }
        if (!PumpUntil([&] { return !setup->isVisible(); }, 5000))
            return false;
        // A refused port is replaced by the default, a too long text cut by its edit: not taken.
        const QVariant stored = Stored(KeyOf(in.field));
        return taken && stored.isValid() && stored.toString() == Kept(in);
    }
};

TEST_P(SetupAgreement, dialogAndSetupProgramTakeOrRefuseItAlike)
{
    const Input& in = GetParam();
    std::filesystem::create_directories(dir.Path() / "logs");
    EXPECT_EQ(BySetupProgram(in), in.accepted) << "quintar setup";
    EXPECT_EQ(ByDialog(in), in.accepted) << "Setup dialog";
}

INSTANTIATE_TEST_SUITE_P(Inputs, SetupAgreement, ::testing::ValuesIn(kInputs),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- In the station's window ---------------------------------------------------------------------------

TEST_F(WindowTest, userAddedInSetupWhileTheStationRunsLogsInOverTcp)
{
    settings.users = {{"op1", "Pw!op1", "", 0}};
    StartRadio();
    OpenWindow();
    StartFromMenu();

    Action("setupItem")->trigger();
    ASSERT_TRUE(PumpUntil([&] { return window->SetupDialog() && window->SetupDialog()->isVisible(); }, 5000));
    CSetupDlg* setup = window->SetupDialog();
    auto find = [](QWidget* w, const char* name) {
        return w->findChild<QWidget*>(QLatin1String(name), Qt::FindDirectChildrenOnly);
    };
    QTest::mouseClick(find(setup, "addButton"), Qt::LeftButton);
    ASSERT_TRUE(PumpUntil([&] { return setup->UserEditor() && setup->UserEditor()->isVisible(); }, 5000));
    CSetupUserDlg* editor = setup->UserEditor();
    QTest::keyClicks(find(editor, "userIdEdit"), "newop");
    QTest::keyClicks(find(editor, "passwordEdit"), "N3w!pass");
    QTest::keyClicks(find(editor, "retypeEdit"), "N3w!pass");
    QTest::keyClicks(find(editor, "descriptionEdit"), "Added from the window");
    QTest::mouseClick(find(editor, "okButton"), Qt::LeftButton);
    ASSERT_TRUE(PumpUntil([&] { return !setup->UserEditor(); }, 5000));
    QTest::mouseClick(find(setup, "okButton"), Qt::LeftButton);
    ASSERT_TRUE(PumpUntil([&] { return !window->SetupDialog(); }, 5000));
    EXPECT_TRUE(window->Controller().Running()) << "the station runs on";

    stationtest::Client client;
    ASSERT_TRUE(client.Connect(static_cast<unsigned>(settings.tcpPort), 5000));
    EXPECT_TRUE(client.LogIn("newop", "N3w!pass", 5000)) << client.Received();
    ASSERT_TRUE(PumpUntil([&] { return Static("userId")->text() == "newop"; }, 5000));
    EXPECT_EQ(Find<QPlainTextEdit>("description")->toPlainText(), "Added from the window");
    client.Close();

    stationtest::Client old;
    ASSERT_TRUE(old.Connect(static_cast<unsigned>(settings.tcpPort), 5000));
    EXPECT_TRUE(old.LogIn("op1", "Pw!op1", 5000)) << "the user already there still logs in";
}

TEST_F(WindowTest, f1InTheSetupDialogsOpensTheirHelpTopics)
{
    OpenWindow();
    QSignalSpy shown(&window->Help(), &quintar::HostHelp::Shown);
    Action("setupItem")->trigger();
    ASSERT_TRUE(PumpUntil([&] { return window->SetupDialog() && window->SetupDialog()->isVisible(); }, 5000));
    CSetupDlg* setup = window->SetupDialog();
    setup->activateWindow();
    ASSERT_TRUE(PumpUntil([&] { return setup->isActiveWindow(); }, 5000));
    QTest::keyClick(setup, Qt::Key_F1);
    ASSERT_TRUE(PumpUntil([&] { return shown.count() == 1; }, 5000));
    EXPECT_EQ(shown.last().first().toInt(), 30);
    EXPECT_TRUE(shown.last().at(1).toUrl().toString().endsWith("setup.html")) << shown.last().at(1).toUrl().toString().toStdString();

    setup->activateWindow();
    ASSERT_TRUE(PumpUntil([&] { return setup->isActiveWindow(); }, 5000));
    setup->OnAdd();
    ASSERT_TRUE(PumpUntil([&] { return setup->UserEditor() && setup->UserEditor()->isVisible(); }, 5000));
    CSetupUserDlg* editor = setup->UserEditor();
    editor->activateWindow();
    ASSERT_TRUE(PumpUntil([&] { return editor->isActiveWindow(); }, 5000));
    QTest::keyClick(editor, Qt::Key_F1);
    ASSERT_TRUE(PumpUntil([&] { return shown.count() == 2; }, 5000));
    EXPECT_EQ(shown.last().first().toInt(), 32);
    EXPECT_TRUE(shown.last().at(1).toUrl().toString().endsWith("users.html"));
    editor->reject();
    setup->reject();
}

}  // namespace
}  // namespace windowtest
