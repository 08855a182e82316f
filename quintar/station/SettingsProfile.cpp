// QSettings-backed profile. Each access uses a QSettings object of its own under the lock, so
// no QSettings object is shared between threads and none outlives the call (QSettings re-reads
// the file when another process, such as `quintar setup`, has changed it).
#include "SettingsProfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <QVariant>

#include <cerrno>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quintar {

namespace {

constexpr mode_t kOwnerOnly = S_IRUSR | S_IWUSR;

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

void SettingsProfile::WriteInt(const std::string& section, const std::string& key, int value)
{
    Write({{section, key, value}});
}

void SettingsProfile::WriteString(const std::string& section, const std::string& key, const std::string& value)
{
    Write({{section, key, value}});
}

bool SettingsProfile::Write(const std::vector<Entry>& entries)
{
    std::lock_guard<std::mutex> g(lock_);
    const QByteArray path = QFile::encodeName(file_);
    // QSettings gives a new file the mode 0644 but keeps the mode of an existing one, so the
    // file is made here first, empty and private.
    if (::access(path.constData(), F_OK) != 0) {
        QDir().mkpath(QFileInfo(file_).absolutePath());
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kOwnerOnly);
        if (fd < 0 && errno != EEXIST)
            return false;
        if (fd >= 0)
            ::close(fd);
    }
    bool saved = false;
    {
        QSettings settings(file_, QSettings::IniFormat);
        for (const Entry& e : entries) {
            const QString key = SettingsKey(e.section, e.key);
            if (const int* n = std::get_if<int>(&e.value))
                settings.setValue(key, *n);
            else
                settings.setValue(key, QString::fromStdString(std::get<std::string>(e.value)));
        }
        settings.sync();
        saved = settings.status() == QSettings::NoError;
    }
    return SecureLocked() && saved;
}

bool SettingsProfile::Secure()
{
    std::lock_guard<std::mutex> g(lock_);
    return SecureLocked();
}

bool SettingsProfile::SecureLocked()
{
    const QByteArray path = QFile::encodeName(file_);
    struct stat st {};
    if (::stat(path.constData(), &st) != 0)
        return errno == ENOENT;
    if ((st.st_mode & 07777) == kOwnerOnly)
        return true;
    return ::chmod(path.constData(), kOwnerOnly) == 0;
}

}  // namespace quintar
