// The windowed host's start-up and end.
#include "HostApp.h"

#include <QMessageBox>
#include <QStringList>

#include <cstdio>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "Artwork.h"
#include "Brenlow.h"
#include "HostDlg.h"
#include "HostHelp.h"
#include "InstanceLock.h"
#include "SettingsProfile.h"
#include "StopSignals.h"
#include "WindowRaiser.h"

#ifndef QUINTAR_VERSION
#define QUINTAR_VERSION "unknown"
#endif

namespace quintar {

namespace {

// Whether a server accepts connections on the local socket `path` ("@..." is Linux's abstract
// namespace).
bool SocketAnswers(const std::string& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return false;
    std::copy(path.begin(), path.end(), address.sun_path);
    socklen_t length = sizeof address;
    if (path[0] == '@') {
        address.sun_path[0] = '\0';
        length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size());
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool answered = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0;
    ::close(fd);
    return answered;
}

bool XDisplayAnswers(const QString& display)
{
    // "host:N.S"; an empty host or "unix" is this machine's local socket.
    const qsizetype colon = display.lastIndexOf(QLatin1Char(':'));
    if (colon < 0)
        return false;
    const QString host = display.left(colon);
    if (!host.isEmpty() && host != QLatin1String("unix"))
        return true;
    const QString number = display.mid(colon + 1).section(QLatin1Char('.'), 0, 0);
    bool ok = false;
    number.toUInt(&ok);
    if (!ok)
        return false;
    const std::string path = "/tmp/.X11-unix/X" + number.toStdString();
    return SocketAnswers(path) || SocketAnswers("@" + path);
}

bool WaylandDisplayAnswers(const QString& display)
{
    QString path = display;
    if (!path.startsWith(QLatin1Char('/'))) {
        const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        if (runtime.isEmpty())
            return false;
        path = runtime + QLatin1Char('/') + display;
    }
    return SocketAnswers(path.toStdString());
}

}  // namespace

bool CHostApp::DisplayAvailable()
{
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    const QString x = qEnvironmentVariable("DISPLAY");
    const QString wayland = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (platform.startsWith(QLatin1String("xcb")))
        return !x.isEmpty() && XDisplayAnswers(x);
    if (platform.startsWith(QLatin1String("wayland")))
        return !wayland.isEmpty() && WaylandDisplayAnswers(wayland);
    if (!platform.isEmpty())
        return true;
    return (!wayland.isEmpty() && WaylandDisplayAnswers(wayland)) || (!x.isEmpty() && XDisplayAnswers(x));
}

int CHostApp::Main(int& argc, char** argv)
{
    if (!DisplayAvailable()) {
        std::fputs("quintar: no display to open the window on; run the station with --headless (see --help)\n", stderr);
        return kNoDisplay;
    }
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
    // ---- Profile and single instance. A missing profile is fine: the operator sets it up.
    const QString profileFile = ResolveProfileFile(profileOption, qEnvironmentVariable("QUINTAR_PROFILE"));
    SettingsProfile profile(profileFile);
    const SettingsProfile::Inspection found = profile.Inspect();
    if (found.kind != SettingsProfile::Kind::Missing && found.kind != SettingsProfile::Kind::Profile) {
        QMessageBox::critical(nullptr, QStringLiteral("Quintar"),
                              QStringLiteral("The profile %1 cannot be used:\n%2").arg(profileFile, found.reason));
        return kUnusable;
    }
    InstanceLock lock(profileFile);
    const QString raiseSocket = WindowRaiser::SocketName(lock.LockFile());
    if (!lock.TryLock()) {
        if (lock.HeldByAnother()) {
            // Another host has this profile: its window comes to the front, and this copy ends
            // without a word.
            WindowRaiser::AskToRaise(raiseSocket);
            return kClosed;
        }
        QMessageBox::critical(nullptr, QStringLiteral("Quintar"),
                              QStringLiteral("The lock file %1 cannot be created. Is the profile's folder writable?")
                                  .arg(lock.LockFile()));
        return kUnusable;
    }
    if (found.kind == SettingsProfile::Kind::Profile && !profile.Secure())
        std::fprintf(stderr, "quintar: cannot make the profile %s private to its owner\n",
                     profileFile.toLocal8Bit().constData());

    // ---- Platform registrations
    const QByteArray listen = qgetenv("QUINTAR_LISTEN_ADDRESS");
    if (!listen.isEmpty())
        CBrenlow::SetListenAddress(listen.constData());

    int status = kClosed;
    {
        CHostDlg dlg(profile, options, HostHelp::DefaultFile());
        StopSignals stopSignals;
        if (!stopSignals.Installed())
            std::fputs("quintar: cannot set up the stop signals; a service manager's stop will not write the END line\n",
                       stderr);
        // A stop signal closes the window as its close button does.
        connect(&stopSignals, &StopSignals::StopRequested, &dlg, &CHostDlg::BeginClose);
        WindowRaiser raiser(raiseSocket);
        if (!raiser.Listening())
            std::fprintf(stderr, "quintar: a second launch cannot bring this window to the front: %s\n",
                         raiser.Error().toLocal8Bit().constData());
        connect(&raiser, &WindowRaiser::RaiseRequested, &dlg, &CHostDlg::BringToFront);
        connect(&dlg, &CHostDlg::Closed, this, [] { QCoreApplication::exit(kClosed); }, Qt::QueuedConnection);

        dlg.Open();
        status = exec();
    }
    return status;
}

}  // namespace quintar
