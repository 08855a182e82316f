// The windowed host's start-up and end: the checklist reporting in message boxes, then the window.
#include "HostApp.h"

#include <QStringList>

#include <cstdio>

#include "Artwork.h"
#include "HostDlg.h"
#include "HostHelp.h"
#include "StartChecklist.h"
#include "WindowRaiser.h"
#include "WindowReport.h"

#ifndef QUINTAR_VERSION
#define QUINTAR_VERSION "unknown"
#endif

namespace quintar {

int CHostApp::Main(int& argc, char** argv)
{
    const HostOptions options = ParseHostOptions(JoinCommandLine(argc, argv));
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    bool missing = false;
    const QString profileOption = FindProfileOption(arguments, &missing);
    if (missing) {
        std::fputs("quintar: --profile needs a file (try --help)\n", stderr);
        return kUsage;
    }
    CHostApp app(argc, argv);
    return app.Run(options, profileOption);
}

CHostApp::CHostApp(int& argc, char** argv) : QApplication(argc, argv)
{
    setOrganizationName(QStringLiteral("Talvern"));
    setApplicationName(QStringLiteral("Quintar"));
    setApplicationVersion(QStringLiteral(QUINTAR_VERSION));
    setDesktopFileName(QStringLiteral("quintar"));
    setWindowIcon(window::ApplicationIcon());
    // The host ends when its main window has closed, not when the splash or the help window does.
    setQuitOnLastWindowClosed(false);
}

int CHostApp::Run(const HostOptions& options, const QString& profileOption)
{
    // A missing profile is fine: the operator sets it up. Without stop signals the window still runs.
    WindowReport report;
    StartChecklist checklist(report, {});
    switch (checklist.Run(profileOption, options)) {
    case StartChecklist::Result::Ready:
        break;
    case StartChecklist::Result::AnotherHost:
        return kClosed;
    case StartChecklist::Result::Refused:
        return kUnusable;
    }

    CHostDlg dlg(checklist.Profile(), checklist.Built().Controller(), report, HostHelp::DefaultFile());
    // A stop signal closes the window as its close button does.
    connect(&checklist.Signals(), &StopSignals::StopRequested, &dlg, &CHostDlg::BeginClose);
    WindowRaiser raiser(WindowRaiser::SocketName(checklist.Lock().LockFile()));
    if (!raiser.Listening())
        std::fprintf(stderr, "quintar: a second launch cannot bring this window to the front: %s\n",
                     raiser.Error().toLocal8Bit().constData());
    connect(&raiser, &WindowRaiser::RaiseRequested, &dlg, &CHostDlg::BringToFront);
    connect(&dlg, &CHostDlg::Closed, this, [] { QCoreApplication::exit(kClosed); }, Qt::QueuedConnection);

    dlg.Open();
    return exec();
}

}  // namespace quintar
