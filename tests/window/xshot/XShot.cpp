// quintar-xshot: writes a picture of one X window, as a screenshot tool would, for the tests that
// drive the real program on a virtual display. Usage: quintar-xshot WINDOW-ID FILE.png
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("usage: quintar-xshot WINDOW-ID FILE.png\n", stderr);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    bool ok = false;
    const WId id = QByteArray(argv[1]).toULongLong(&ok, 0);
    if (!ok) {
        std::fprintf(stderr, "quintar-xshot: not a window id: %s\n", argv[1]);
        return 2;
    }
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(id);
    if (shot.isNull() || !shot.save(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "quintar-xshot: cannot take or save the picture of window %s\n", argv[1]);
        return 1;
    }
    std::printf("%dx%d\n", shot.width(), shot.height());
    return 0;
}
