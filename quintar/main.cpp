// quintar: the station host program: the window (the default, from the window library where a
// display is there), headless (`--headless`), or the station's configuration (`setup`). It links
// QtCore alone; the window's library brings the GUI libraries when it loads.
#include <QCoreApplication>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <cstring>

#include "DisplayProbe.h"
#include "HeadlessRunner.h"
#include "HostOptions.h"
#include "SetupCommand.h"
#include "WindowLibrary.h"

namespace {

// Exit status of the window without a display or without its library.
constexpr int kNoWindow = 2;

int RunWindow(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (argv[i][0] == '-' && std::strstr(argv[i], "-EDM") == nullptr && std::strstr(argv[i], "-ELM") == nullptr &&
            std::strncmp(argv[i], "--profile", 9) != 0) {
            std::fprintf(stderr, "quintar: unknown option %s (try --help)\n", argv[i]);
            return 2;
        }
    if (!quintar::DisplayAvailable()) {
        std::fputs("quintar: no display to open the window on; run the station with --headless (see --help)\n", stderr);
        return kNoWindow;
    }
    const quintar::WindowLibrary window =
        quintar::LoadWindowLibrary(quintar::WindowLibraryCandidates(quintar::ProgramFolder()));
    if (!window) {
        std::fprintf(stderr, "quintar: the station's window is not installed (%s); run the station with --headless "
                             "(see --help)\n", window.reason.toLocal8Bit().constData());
        return kNoWindow;
    }
    return window.main(&argc, argv);
}

}  // namespace

int main(int argc, char** argv)
{
    // A file that cannot grow (a size limit) is an error to report, not a reason to die.
    std::signal(SIGXFSZ, SIG_IGN);

    if (argc >= 2 && std::strcmp(argv[1], "setup") == 0) {
        QCoreApplication app(argc, argv);
        QStringList arguments;
        for (int i = 2; i < argc; ++i)
            arguments << QString::fromLocal8Bit(argv[i]);
        return quintar::RunSetup(arguments, stdout, stderr);
    }
    bool headless = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--headless") == 0)
            headless = true;
        else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(quintar::HostUsage(), stdout);
            return 0;
        } else if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("quintar %s\n", QUINTAR_VERSION);
            return 0;
        }
    }
    if (!headless)
        return RunWindow(argc, argv);
    QCoreApplication app(argc, argv);
    return quintar::RunHeadless(argc, argv);
}
