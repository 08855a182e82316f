// The single-instance lock of the station host.
#include "InstanceLock.h"

#include <QDir>
#include <QFileInfo>

namespace quintar {

QString InstanceLock::LockFileFor(const QString& profileFile)
{
    const QFileInfo info(profileFile);
    QString path = info.canonicalFilePath();
    if (path.isEmpty()) {
        // Not created yet: resolve the folder, so two spellings of one path still meet.
        const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
        path = (folder.isEmpty() ? info.absolutePath() : folder) + QLatin1Char('/') + info.fileName();
    }
    return path + QStringLiteral(".instance.lock");
}

InstanceLock::InstanceLock(const QString& profileFile) : path_(LockFileFor(profileFile)) {}

bool InstanceLock::TryLock()
{
    if (lock_ && lock_->isLocked())
        return true;
    QDir().mkpath(QFileInfo(path_).absolutePath());
    lock_ = std::make_unique<QLockFile>(path_);
    // Age alone never makes the lock stale; only a holder that no longer runs does.
    lock_->setStaleLockTime(0);
    return lock_->tryLock(0);
}

bool InstanceLock::HeldByAnother() const
{
    return lock_ && lock_->error() == QLockFile::LockFailedError;
}

void InstanceLock::Unlock()
{
    if (lock_)
        lock_->unlock();
}

}  // namespace quintar
