// The path's examination with lstat, the file replacement with mkstemp, fsync and rename, the
// folder test with stat.
#include "FileSafety.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quintar {

namespace {

constexpr mode_t kOwnerOnly = S_IRUSR | S_IWUSR;

// Root may use a file of another user that lies in that user's own folder, which nobody else can
// write: a service user's profile, as a station service keeps it.
bool ServiceFileOfRoot(const QString& path, const struct stat& file)
{
    if (::geteuid() != 0)
        return false;
    struct stat folder {};
    const QByteArray parent = QFile::encodeName(QFileInfo(path).absolutePath());
    return ::stat(parent.constData(), &folder) == 0 && folder.st_uid == file.st_uid &&
           (folder.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace

PathStatus ExaminePath(const QString& path)
{
    using Kind = PathStatus::Kind;
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return {errno == ENOENT ? Kind::Missing : Kind::Unreadable, errno};
    const Kind kind = S_ISLNK(st.st_mode) ? Kind::Link
                      : S_ISDIR(st.st_mode) ? Kind::Folder
                      : S_ISREG(st.st_mode) ? Kind::File
                                            : Kind::Other;
    return {kind, 0, static_cast<unsigned>(st.st_uid), st.st_uid == ::geteuid() || ServiceFileOfRoot(path, st),
            static_cast<long long>(st.st_size)};
}

bool KeepToOwner(const QString& file)
{
    const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    const bool kept = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                      ((st.st_mode & 07777) == kOwnerOnly || ::fchmod(fd, kOwnerOnly) == 0);
    ::close(fd);
    return kept;
}

FileReplacement::FileReplacement(QString target) : target_(std::move(target)) {}

FileReplacement::~FileReplacement()
{
    if (!path_.isEmpty() && !committed_)
        ::unlink(QFile::encodeName(path_).constData());
}

bool FileReplacement::Fail(int error)
{
    error_ = QString::fromLocal8Bit(std::strerror(error));
    return false;
}

bool FileReplacement::Begin(bool copyTarget)
{
    QByteArray temp = QFile::encodeName(target_) + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return Fail(errno);
    path_ = QFile::decodeName(temp);
    bool copied = true;
    if (copyTarget) {
        const int oldFd = ::open(QFile::encodeName(target_).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        QFile old;
        QFile out;
        copied = oldFd >= 0 && old.open(oldFd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle) &&
                 out.open(fd, QIODevice::WriteOnly, QFileDevice::DontCloseHandle) && out.write(old.readAll()) >= 0 &&
                 out.flush();
        if (oldFd >= 0 && !old.isOpen())
            ::close(oldFd);
    }
    const int copyErrno = errno;
    ::close(fd);
    return copied || Fail(copyErrno);
}

bool FileReplacement::CheckUnderAnotherName(const std::function<bool(const QString&)>& check)
{
    const QByteArray written = QFile::encodeName(path_);
    const QByteArray second = written + ".check";
    if (::link(written.constData(), second.constData()) != 0 &&
        !QFile::copy(path_, QFile::decodeName(second)))
        return false;
    const bool passed = check(QFile::decodeName(second));
    ::unlink(second.constData());
    return passed;
}

bool FileReplacement::Commit(bool keepOwner)
{
    const QByteArray temp = QFile::encodeName(path_);
    const QByteArray target = QFile::encodeName(target_);
    struct stat old {};
    keepOwner = keepOwner && ::geteuid() == 0 && ::lstat(target.constData(), &old) == 0 && old.st_uid != 0;
    const int syncFd = ::open(temp.constData(), O_RDONLY | O_CLOEXEC);
    const bool synced = syncFd >= 0 && ::fsync(syncFd) == 0 && ::fchmod(syncFd, kOwnerOnly) == 0 &&
                        (!keepOwner || ::fchown(syncFd, old.st_uid, old.st_gid) == 0);
    const int syncErrno = errno;
    if (syncFd >= 0)
        ::close(syncFd);
    if (!synced)
        return Fail(syncErrno);
    // The path itself is replaced: rename never writes through a link put there meanwhile.
    if (::rename(temp.constData(), target.constData()) != 0)
        return Fail(errno);
    committed_ = true;
    const QByteArray folder = QFile::encodeName(QFileInfo(target_).absolutePath());
    const int dirFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

std::optional<FolderExposure> FolderOpenToOthers(const std::string& folder)
{
    struct stat st {};
    if (folder.empty() || ::stat(folder.c_str(), &st) != 0)
        return std::nullopt;
    const bool othersWrite = (st.st_mode & (S_IWGRP | S_IWOTH)) != 0 || (st.st_uid != ::geteuid() && st.st_uid != 0);
    if (!othersWrite)
        return std::nullopt;
    const passwd* owner = ::getpwuid(st.st_uid);
    return FolderExposure{static_cast<unsigned>(st.st_mode & 07777),
                          owner ? QString::fromLocal8Bit(owner->pw_name) : QString::number(st.st_uid)};
}

}  // namespace quintar
