// One running station host per profile file: a lock file beside the profile, held while the
// host runs. A lock left by a process that has died is taken over.
#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

namespace quintar {

class InstanceLock {
public:
    explicit InstanceLock(const QString& profileFile);
    // True when this process now holds the lock; never waits.
    bool TryLock();
    // After a failed TryLock: whether another host holds the lock, as opposed to the lock file
    // not being creatable (a folder that cannot be written).
    bool HeldByAnother() const;
    void Unlock();
    const QString& LockFile() const { return path_; }

    // The lock file of a profile: its absolute path (links resolved) with ".instance.lock" added.
    // QSettings itself uses "<file>.lock" while it saves, so that name is left to it.
    static QString LockFileFor(const QString& profileFile);

private:
    QString path_;
    std::unique_ptr<QLockFile> lock_;
};

}  // namespace quintar
