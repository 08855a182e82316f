// The running copy's local socket and the second copy's one request on it.
#include "WindowRaiser.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>

namespace quintar {

namespace {

constexpr char kRequest[] = "raise\n";

}  // namespace

QString WindowRaiser::SocketName(const QString& lockFile)
{
    // Copies on other displays, or on another profile, are not this one's to raise.
    const QString display = QGuiApplication::platformName() + QLatin1Char('|') +
                            qEnvironmentVariable("WAYLAND_DISPLAY") + QLatin1Char('|') + qEnvironmentVariable("DISPLAY");
    const QByteArray key =
        QCryptographicHash::hash((lockFile + QLatin1Char('\n') + display).toUtf8(), QCryptographicHash::Sha256).toHex();
    const QString name = QStringLiteral("quintar-window-") + QString::fromLatin1(key.left(24));
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return QDir(runtime).filePath(name);
    return name;
}

WindowRaiser::WindowRaiser(const QString& name, QObject* parent) : QObject(parent), server_(new QLocalServer(this))
{
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(name);
    server_->listen(name);
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            auto serve = [this, socket] {
                if (!socket->canReadLine())
                    return;
                const bool asked = socket->readLine(64) == kRequest;
                socket->disconnectFromServer();
                if (asked)
                    emit RaiseRequested();
            };
            connect(socket, &QLocalSocket::readyRead, this, serve);
            serve();  // what arrived with the connection
        }
    });
}

bool WindowRaiser::Listening() const
{
    return server_->isListening();
}

QString WindowRaiser::Error() const
{
    return server_->errorString();
}

bool WindowRaiser::AskToRaise(const QString& name, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(kRequest);
    const bool sent = socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return sent;
}

}  // namespace quintar
