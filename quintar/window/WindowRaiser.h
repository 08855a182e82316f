// A second launch of the windowed host on the same profile and display brings the running copy's
// window to the front before it ends: the running copy listens on a local socket named after its
// instance lock and the display, and the second copy asks it there.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace quintar {

class WindowRaiser final : public QObject {
    Q_OBJECT
public:
    static constexpr int kAskTimeoutMs = 2000;

    // The socket of the copy holding `lockFile` on this application's display: in
    // $XDG_RUNTIME_DIR (private to the user) where there is one, else a user-only socket in the
    // temporary folder.
    static QString SocketName(const QString& lockFile);

    // The running copy: listens on `name`, taking over a socket left by a copy that died (whoever
    // holds the lock is the only one with the right to it).
    explicit WindowRaiser(const QString& name, QObject* parent = nullptr);
    bool Listening() const;
    QString Error() const;

    // The second copy: asks the running one to come to the front; false when none answered.
    static bool AskToRaise(const QString& name, int timeoutMs = kAskTimeoutMs);

signals:
    void RaiseRequested();

private:
    QLocalServer* server_;
};

}  // namespace quintar
