// The display probe: a connect to the display server's local socket, as a GUI library would make.
#include "DisplayProbe.h"

#include <QString>

#include <algorithm>
#include <cstddef>
#include <string>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

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

bool DisplayAvailable()
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

}  // namespace quintar
