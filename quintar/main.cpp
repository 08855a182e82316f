// quintar: the station host program. For now it runs headless (`--headless`) or configures the
// station (`setup`); the window comes later.
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <cstring>

#include "HeadlessRunner.h"
#include "SetupCommand.h"

namespace {

constexpr char kUsage[] =
    "usage: quintar --headless [--profile FILE] [-EDM] [-ELM] [--verbose]\n"
    "       quintar setup [--profile FILE] COMMAND   (quintar setup --help)\n";

}  // namespace

int main(int argc, char** argv)
{
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
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    if (!headless) {
        std::fputs("quintar: the window is not built yet; run the station with --headless (see --help)\n", stderr);
        return 2;
    }
    QCoreApplication app(argc, argv);
    return quintar::RunHeadless(argc, argv);
}
