// orvelle-gallery: every display control in its states in one window, so that anyone can look at
// them without running a station. With --screenshot DIR it draws on the offscreen platform and
// writes DIR/gallery.png and one picture per control class instead of showing the window.
#include <QApplication>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>
#include <cstring>
#include <vector>

#include "Indicators.h"
#include "OwnerDrawButton.h"
#include "StyledControls.h"

namespace {

using orvelle::Rgb;

constexpr char kUsage[] = "usage: orvelle-gallery [--screenshot DIR]\n";

// One box per control class; its picture is named after the class.
struct Section {
    const char* className;
    QGroupBox* box;
};

QGroupBox* NewSection(std::vector<Section>& sections, const char* className, QWidget* parent)
{
    auto* box = new QGroupBox(QString::fromLatin1(className), parent);
    box->setObjectName(QString::fromLatin1(className));
    sections.push_back({className, box});
    return box;
}

// A control with a caption under it naming the state it shows.
QWidget* Captioned(QWidget* control, const QString& caption, QWidget* parent)
{
    auto* cell = new QWidget(parent);
    auto* layout = new QVBoxLayout(cell);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    control->setParent(cell);
    layout->addWidget(control, 0, Qt::AlignHCenter);
    auto* label = new QLabel(caption, cell);
    label->setAlignment(Qt::AlignHCenter);
    layout->addWidget(label);
    return cell;
}

void Buttons(QGroupBox* box)
{
    auto* row = new QHBoxLayout(box);
    auto* plain = new CButtonEx("Default", box);
    auto* bold = new CButtonEx("Bold, coloured", box);
    bold->SetTextBold(1);
    bold->SetForeColor(Rgb(0, 0, 128));
    bold->SetBackColor(Rgb(255, 236, 160));
    auto* large = new CButtonEx("Italic 16", box);
    large->SetTextItalic(1);
    large->SetTextSize(16);
    auto* disabled = new CButtonEx("Disabled", box);
    disabled->setEnabled(false);
    for (QWidget* w : {static_cast<QWidget*>(plain), static_cast<QWidget*>(bold), static_cast<QWidget*>(large),
                       static_cast<QWidget*>(disabled)})
        row->addWidget(w);
}

void Edits(QGroupBox* box)
{
    auto* row = new QHBoxLayout(box);
    auto* plain = new CEditEx(box);
    plain->setText("50000");
    auto* coloured = new CEditEx(box);
    coloured->setText("FA00014074000;");
    coloured->SetForeColor(Rgb(0, 255, 0));
    coloured->SetBackColor(Rgb(0, 0, 0));
    coloured->SetCharType("DejaVu Sans Mono");
    row->addWidget(plain);
    row->addWidget(coloured);
}

void ListBoxes(QGroupBox* box)
{
    auto* row = new QHBoxLayout(box);
    auto* plain = new CListBoxEx(box);
    plain->addItems({"op1    Operator one", "op2    Operator two", "guest  Visitor"});
    auto* coloured = new CListBoxEx(box);
    coloured->addItems({"op1    Operator one", "op2    Operator two", "guest  Visitor"});
    coloured->setCurrentRow(1);
    coloured->SetForeColor(Rgb(128, 0, 0));
    coloured->SetBackColor(Rgb(230, 240, 255));
    coloured->SetTextBold(1);
    for (CListBoxEx* list : {plain, coloured}) {
        list->setFixedHeight(64);
        row->addWidget(list);
    }
}

void Statics(QGroupBox* box)
{
    auto* row = new QHBoxLayout(box);
    auto* plain = new CStaticEx("Model", box);
    auto* onAir = new CStaticEx("ONAIR", box);
    onAir->setAlignment(Qt::AlignCenter);
    onAir->SetTextBold(2);  // any non-zero value gives bold on a static
    onAir->SetForeColor(Rgb(255, 255, 255));
    onAir->SetBackColor(Rgb(200, 0, 0));
    auto* italic = new CStaticEx("Italic, underlined", box);
    italic->SetTextItalic(1);
    italic->SetTextUnderLine(1);
    auto* struck = new CStaticEx("Struck out, 16", box);
    struck->SetStrikeOut(1);
    struck->SetTextSize(16);
    struck->SetForeColor(Rgb(0, 0, 160));
    for (CStaticEx* label : {plain, onAir, italic, struck}) {
        label->setMinimumHeight(22);
        label->setMargin(3);
        row->addWidget(label);
    }
}

void Frames(QGroupBox* box)
{
    auto* row = new QHBoxLayout(box);
    auto* plain = new CStaticFrameEx("Radio Status", box);
    (new QHBoxLayout(plain))->addWidget(new CStaticEx("Model", plain));
    auto* coloured = new CStaticFrameEx("Connection Status", box);
    coloured->SetTextBold(1);
    coloured->SetForeColor(Rgb(0, 0, 160));
    coloured->SetBackColor(Rgb(220, 235, 220));
    (new QHBoxLayout(coloured))->addWidget(new CStaticEx("User Name", coloured));
    row->addWidget(plain);
    row->addWidget(coloured);
}

void OwnerDrawnButtons(QGroupBox* box, CCButtonEx*& focused)
{
    auto* row = new QHBoxLayout(box);
    auto add = [&](CCButtonEx* button, const char* state) {
        button->setFixedSize(84, 28);
        row->addWidget(Captioned(button, state, box));
    };
    auto* released = new CCButtonEx("&Power", box);
    add(released, "released");
    auto* pressed = new CCButtonEx("&Power", box);
    pressed->setDown(true);
    add(pressed, "pressed");
    focused = new CCButtonEx("&Control", box);
    add(focused, "focus");
    auto* coloured = new CCButtonEx("&Setup", box);
    coloured->SetBackColor(Rgb(40, 70, 140));
    coloured->SetForeColor(Rgb(255, 255, 255));
    coloured->SetTextBold(1);
    add(coloured, "coloured");
    auto* disabled = new CCButtonEx("&Setup", box);
    disabled->setEnabled(false);
    add(disabled, "disabled");
    add(new CCButtonEx(box), "no caption");
}

void Lamps(QGroupBox* box, CStaticLEDEx*& live)
{
    auto* row = new QHBoxLayout(box);
    auto add = [&](CStaticLEDEx* lamp, const char* state) {
        lamp->setFixedSize(36, 16);
        lamp->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        lamp->SetTimerCount(0);  // the pictures keep their lamps lit
        row->addWidget(Captioned(lamp, state, box));
    };
    add(new CStaticLEDEx(box), "not yet set");
    auto* off = new CStaticLEDEx(box);
    off->SetLEDON(0);
    add(off, "off");
    auto* on = new CStaticLEDEx(box);
    add(on, "on");
    on->SetLEDON(1);
    auto* red = new CStaticLEDEx(box);
    red->SetOnColor(Rgb(255, 0, 0));
    red->SetOffColor(Rgb(90, 0, 0));
    add(red, "red on");
    red->SetLEDON(1);
    live = new CStaticLEDEx(box);
    add(live, "live: flashes");
    live->SetTimerCount(150);
    live->SetLEDON(0);
}

void Meters(QGroupBox* box, CStaticMeterEx*& live)
{
    auto* grid = new QGridLayout(box);
    int line = 0;
    auto add = [&](CStaticMeterEx* meter, const char* state) {
        meter->SetTimerCount(4999);  // the pictures keep their peak marks
        meter->ResetMeter();
        grid->addWidget(meter, line, 0);
        grid->addWidget(new QLabel(state, box), line++, 1);
    };
    auto* empty = new CStaticMeterEx(box);
    add(empty, "reading 0");
    auto* peak = new CStaticMeterEx(box);
    add(peak, "reading 15 of 30, peak held at 25");
    peak->ViewMeter(25);
    peak->ViewMeter(15);
    auto* full = new CStaticMeterEx(box);
    add(full, "reading 30, squelch mark at 10");
    full->ViewMeter(30);
    full->ViewSMeterSql(1, 10);
    auto* coloured = new CStaticMeterEx(box);
    coloured->SetForeColor(Rgb(0, 220, 0));
    coloured->SetBackColor(Rgb(0, 0, 0));
    coloured->SetSMSColor(Rgb(255, 64, 64));
    coloured->SetTextBold(1);
    add(coloured, "coloured, bold, peak 20, squelch 20");
    coloured->ViewMeter(20);
    coloured->ViewMeter(8);
    coloured->ViewSMeterSql(1, 20);
    live = new CStaticMeterEx(box);
    add(live, "live: follows a sweep");
    live->SetTimerCount(1000);
    live->ViewMeter(20);
}

// Every control class in its own box, all in one window.
QWidget* BuildGallery(std::vector<Section>& sections, CCButtonEx*& focused, CStaticLEDEx*& lamp,
                      CStaticMeterEx*& meter)
{
    auto* window = new QWidget;
    window->setObjectName("gallery");
    window->setWindowTitle("Orvelle controls");
    auto* grid = new QGridLayout(window);
    Buttons(NewSection(sections, "CButtonEx", window));
    Edits(NewSection(sections, "CEditEx", window));
    ListBoxes(NewSection(sections, "CListBoxEx", window));
    Statics(NewSection(sections, "CStaticEx", window));
    Frames(NewSection(sections, "CStaticFrameEx", window));
    OwnerDrawnButtons(NewSection(sections, "CCButtonEx", window), focused);
    Lamps(NewSection(sections, "CStaticLEDEx", window), lamp);
    Meters(NewSection(sections, "CStaticMeterEx", window), meter);
    // Two columns: the text controls on the left, the drawn ones on the right.
    for (std::size_t i = 0; i < sections.size(); ++i)
        grid->addWidget(sections[i].box, int(i % 5), int(i / 5));
    return window;
}

bool Save(const QPixmap& picture, const QString& file)
{
    if (!picture.save(file, "PNG")) {
        std::fprintf(stderr, "orvelle-gallery: cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    QString screenshotDir;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) {
            screenshotDir = QString::fromLocal8Bit(argv[++i]);
        } else {
            std::fputs(kUsage, std::strcmp(argv[i], "--help") == 0 ? stdout : stderr);
            return std::strcmp(argv[i], "--help") == 0 ? 0 : 2;
        }
    }
    const bool screenshots = !screenshotDir.isEmpty();
    if (screenshots && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    if (screenshots) {
        // The same pictures on every machine: one style, one font.
        QApplication::setStyle("Fusion");
        QFont font("DejaVu Sans");
        font.setPixelSize(12);
        QApplication::setFont(font);
    }

    std::vector<Section> sections;
    CCButtonEx* focused = nullptr;
    CStaticLEDEx* lamp = nullptr;
    CStaticMeterEx* meter = nullptr;
    QWidget* window = BuildGallery(sections, focused, lamp, meter);
    window->show();
    window->activateWindow();
    focused->setFocus(Qt::TabFocusReason);

    if (screenshots) {
        // Statics build a changed font at their first paint and then ask for a new layout: draw
        // once and let the layout settle before the pictures are taken.
        QCoreApplication::processEvents();
        window->grab();
        QCoreApplication::processEvents();
        if (!QDir().mkpath(screenshotDir)) {
            std::fprintf(stderr, "orvelle-gallery: cannot create %s\n", qPrintable(screenshotDir));
            return 1;
        }
        const QDir dir(screenshotDir);
        bool saved = Save(window->grab(), dir.filePath("gallery.png"));
        for (const Section& s : sections)
            saved = Save(s.box->grab(), dir.filePath(QString::fromLatin1(s.className) + ".png")) && saved;
        delete window;
        return saved ? 0 : 1;
    }

    // Live: the meter follows a sweeping reading and the lamp flashes at every rise.
    QTimer sweep;
    unsigned step = 0;
    QObject::connect(&sweep, &QTimer::timeout, window, [&] {
        constexpr unsigned kReadings[] = {0, 4, 9, 15, 22, 27, 30, 26, 18, 12, 8, 5, 3, 1};
        const unsigned reading = kReadings[step++ % std::size(kReadings)];
        meter->ViewMeter(reading);
        if (step % 4 == 0)
            lamp->SetLEDON(1);
    });
    sweep.start(250);
    const int status = app.exec();
    delete window;
    return status;
}
