// QSettings-backed profile. Each access uses a QSettings object of its own under the lock, so
// no QSettings object is shared between threads and none outlives the call (QSettings re-reads
// the file when another process, such as `quintar setup`, has changed it). Saves never go through
// a QSettings object of the profile's own path: one whose save failed would keep the unsaved
// values and serve them to later readers in this process, and write them over the file later.
#include "SettingsProfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quintar {

namespace {

constexpr mode_t kOwnerOnly = S_IRUSR | S_IWUSR;
constexpr off_t kLargestProfile = 1024 * 1024;  // ten users and the settings take a few kilobytes

QString SettingsKey(const std::string& section, const std::string& key)
{
    return QString::fromStdString(section) + QLatin1Char('/') + QString::fromStdString(key);
}

// A value the file holds as text; an unquoted comma makes QSettings read a list.
std::optional<QString> ReadText(const QString& file, const QString& key)
{
    QSettings settings(file, QSettings::IniFormat);
    const QVariant value = settings.value(key);
    if (!value.isValid())
        return std::nullopt;
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

QString Comparable(const QVariant& value)
{
    return value.typeId() == QMetaType::QStringList ? value.toStringList().join(QLatin1Char(',')) : value.toString();
}

// Whether the file `written` holds every key and value of `intended`, read back under another
// name. QSettings reports success for a file its last write cut short (a full disk, a file-size
// limit), and a reader of the same name would be served its own cache, not the file.
bool HoldsAllOf(const QSettings& intended, const QByteArray& written)
{
    const QByteArray check = written + ".check";
    if (::link(written.constData(), check.constData()) != 0 &&
        !QFile::copy(QFile::decodeName(written), QFile::decodeName(check)))
        return false;
    bool same = false;
    {
        QSettings reread(QFile::decodeName(check), QSettings::IniFormat);
        const QStringList keys = intended.allKeys();
        same = reread.status() == QSettings::NoError && reread.allKeys() == keys &&
               std::all_of(keys.begin(), keys.end(), [&](const QString& key) {
                   return Comparable(reread.value(key)) == Comparable(intended.value(key));
               });
    }
    ::unlink(check.constData());
    return same;
}

// Root may use a profile of another user that lies in that user's own folder, which nobody else can
// write: a service user's profile, as a station service keeps it.
bool ServiceProfileOfRoot(const QByteArray& path, const struct stat& file)
{
    if (::geteuid() != 0)
        return false;
    struct stat folder {};
    const QByteArray parent = QFile::encodeName(QFileInfo(QFile::decodeName(path)).absolutePath());
    return ::stat(parent.constData(), &folder) == 0 && folder.st_uid == file.st_uid &&
           (folder.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace

SettingsProfile::SettingsProfile(QString file) : file_(std::move(file)) {}

QString SettingsProfile::DefaultFile()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Talvern"), QStringLiteral("Quintar"))
        .fileName();
}

int SettingsProfile::GetInt(const std::string& section, const std::string& key, int def)
{
    std::lock_guard<std::mutex> g(lock_);
    const std::optional<QString> text = ReadText(file_, SettingsKey(section, key));
    if (!text)
        return def;
    bool ok = false;
    const int value = text->trimmed().toInt(&ok);
    return ok ? value : def;
}

std::string SettingsProfile::GetString(const std::string& section, const std::string& key, const std::string& def)
{
    std::lock_guard<std::mutex> g(lock_);
    const std::optional<QString> text = ReadText(file_, SettingsKey(section, key));
    return text ? text->toStdString() : def;
}

std::vector<std::string> SettingsProfile::Keys(const std::string& section)
{
    std::lock_guard<std::mutex> g(lock_);
    QSettings settings(file_, QSettings::IniFormat);
    settings.beginGroup(QString::fromStdString(section));
    std::vector<std::string> keys;
    for (const QString& key : settings.childKeys())
        keys.push_back(key.toStdString());
    return keys;
}

bool SettingsProfile::WriteInt(const std::string& section, const std::string& key, int value)
{
    return Write({{section, key, value}});
}

bool SettingsProfile::WriteString(const std::string& section, const std::string& key, const std::string& value)
{
    return Write({{section, key, value}});
}

SettingsProfile::Inspection SettingsProfile::InspectLocked() const
{
    const QByteArray path = QFile::encodeName(file_);
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0) {
        if (errno == ENOENT)
            return {Kind::Missing, QStringLiteral("does not exist")};
        return {Kind::Unreadable, QString::fromLocal8Bit(std::strerror(errno))};
    }
    // Whoever can write the folder could point a link at a file of the user running this, which
    // a save would then rewrite.
    if (S_ISLNK(st.st_mode))
        return {Kind::Unsafe, QStringLiteral("is a symbolic link; give the path of the profile file itself")};
    if (!S_ISREG(st.st_mode))
        return {Kind::NotRegular, S_ISDIR(st.st_mode) ? QStringLiteral("is a folder, not a profile file")
                                                       : QStringLiteral("is not a regular file")};
    if (st.st_uid != ::geteuid() && !ServiceProfileOfRoot(path, st))
        return {Kind::Unsafe, QStringLiteral("belongs to another user (uid %1); a profile must be the file of the "
                                             "user who runs the station")
                                  .arg(st.st_uid)};
    if (st.st_size > kLargestProfile)
        return {Kind::NotAProfile, QStringLiteral("is far larger than a profile; not a profile")};
    QFile file(file_);
    if (!file.open(QIODevice::ReadOnly))
        return {Kind::Unreadable, file.errorString()};
    // Only what QSettings itself writes: blank lines, comments, "[section]" and "key=value".
    int lineNumber = 0;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        ++lineNumber;
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#') || line.contains('='))
            continue;
        if (line.startsWith('[') && line.endsWith(']'))
            continue;
        return {Kind::NotAProfile, QStringLiteral("is not a profile (line %1 is neither a section nor a setting)")
                                       .arg(lineNumber)};
    }
    return {Kind::Profile, {}};
}

SettingsProfile::Inspection SettingsProfile::Inspect()
{
    std::lock_guard<std::mutex> g(lock_);
    return InspectLocked();
}

QString SettingsProfile::LastError()
{
    std::lock_guard<std::mutex> g(lock_);
    return lastError_;
}

bool SettingsProfile::Write(const std::vector<Entry>& entries)
{
    std::lock_guard<std::mutex> g(lock_);
    lastError_.clear();
    return SaveLocked(entries);
}

bool SettingsProfile::SaveLocked(const std::vector<Entry>& entries)
{
    const Inspection found = InspectLocked();
    if (found.kind != Kind::Missing && found.kind != Kind::Profile) {
        lastError_ = found.reason;
        return false;
    }
    // The path itself is replaced (rename never writes through a link put there meanwhile).
    const QString target = file_;
    const QString folder = QFileInfo(target).absolutePath();
    if (!QDir().mkpath(folder)) {
        lastError_ = QStringLiteral("cannot create the folder %1").arg(folder);
        return false;
    }

    // The new file is made beside the old one, private from the start, from the old content.
    QByteArray temp = QFile::encodeName(target) + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        lastError_ = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    const QString tempName = QFile::decodeName(temp);
    auto fail = [&](const QString& why) {
        lastError_ = why;
        ::unlink(temp.constData());
        return false;
    };
    bool copied = true;
    if (found.kind == Kind::Profile) {
        const int oldFd = ::open(QFile::encodeName(target).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
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
    if (!copied)
        return fail(QString::fromLocal8Bit(std::strerror(copyErrno)));

    {
        QSettings settings(tempName, QSettings::IniFormat);
        for (const Entry& e : entries) {
            const QString key = SettingsKey(e.section, e.key);
            if (const int* n = std::get_if<int>(&e.value))
                settings.setValue(key, *n);
            else
                settings.setValue(key, QString::fromStdString(std::get<std::string>(e.value)));
        }
        settings.sync();
        if (settings.status() != QSettings::NoError || !HoldsAllOf(settings, temp))
            return fail(QStringLiteral("cannot write %1 (disk full or not writable?)").arg(folder));
    }
    // Root saving a service user's profile leaves it that user's, so the running station reads it.
    struct stat old {};
    const bool keepOwner = found.kind == Kind::Profile && ::geteuid() == 0 &&
                           ::lstat(QFile::encodeName(target).constData(), &old) == 0 && old.st_uid != 0;
    const int syncFd = ::open(temp.constData(), O_RDONLY | O_CLOEXEC);
    const bool synced = syncFd >= 0 && ::fsync(syncFd) == 0 && ::fchmod(syncFd, kOwnerOnly) == 0 &&
                        (!keepOwner || ::fchown(syncFd, old.st_uid, old.st_gid) == 0);
    const int syncErrno = errno;
    if (syncFd >= 0)
        ::close(syncFd);
    if (!synced)
        return fail(QString::fromLocal8Bit(std::strerror(syncErrno)));
    if (::rename(temp.constData(), QFile::encodeName(target).constData()) != 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    const int dirFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

bool SettingsProfile::Secure()
{
    std::lock_guard<std::mutex> g(lock_);
    const Inspection found = InspectLocked();
    if (found.kind == Kind::Missing)
        return true;
    if (found.kind != Kind::Profile) {
        lastError_ = found.reason;
        return false;
    }
    // On the file opened, never on what a link put at the path meanwhile would point to.
    const int fd = ::open(QFile::encodeName(file_).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    const bool secure = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                        ((st.st_mode & 07777) == kOwnerOnly || ::fchmod(fd, kOwnerOnly) == 0);
    ::close(fd);
    return secure;
}

}  // namespace quintar
