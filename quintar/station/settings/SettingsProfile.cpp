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
#include <cstring>
#include <optional>

#include "FileSafety.h"

namespace quintar {

namespace {

constexpr long long kLargestProfile = 1024 * 1024;  // ten users and the settings take a few kilobytes

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

// Whether the file `written` holds every key and value of `intended`. QSettings reports success
// for a file its last write cut short (a full disk, a file-size limit).
bool HoldsAllOf(const QSettings& intended, const QString& written)
{
    QSettings reread(written, QSettings::IniFormat);
    const QStringList keys = intended.allKeys();
    return reread.status() == QSettings::NoError && reread.allKeys() == keys &&
           std::all_of(keys.begin(), keys.end(), [&](const QString& key) {
               return Comparable(reread.value(key)) == Comparable(intended.value(key));
           });
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
    using PathKind = PathStatus::Kind;
    const PathStatus st = ExaminePath(file_);
    switch (st.kind) {
    case PathKind::Missing:
        return {Kind::Missing, QStringLiteral("does not exist")};
    case PathKind::Unreadable:
        return {Kind::Unreadable, QString::fromLocal8Bit(std::strerror(st.error))};
    case PathKind::Link:
        // Whoever can write the folder could point a link at a file of the user running this,
        // which a save would then rewrite.
        return {Kind::Unsafe, QStringLiteral("is a symbolic link; give the path of the profile file itself")};
    case PathKind::Folder:
        return {Kind::NotRegular, QStringLiteral("is a folder, not a profile file")};
    case PathKind::Other:
        return {Kind::NotRegular, QStringLiteral("is not a regular file")};
    case PathKind::File:
        break;
    }
    if (!st.ours)
        return {Kind::Unsafe, QStringLiteral("belongs to another user (uid %1); a profile must be the file of the "
                                             "user who runs the station")
                                  .arg(st.owner)};
    if (st.size > kLargestProfile)
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
    const QString folder = QFileInfo(file_).absolutePath();
    if (!QDir().mkpath(folder)) {
        lastError_ = QStringLiteral("cannot create the folder %1").arg(folder);
        return false;
    }
    // The new file is made beside the old one, private from the start, from the old content.
    FileReplacement replacement(file_);
    if (!replacement.Begin(found.kind == Kind::Profile)) {
        lastError_ = replacement.Error();
        return false;
    }
    {
        QSettings settings(replacement.Path(), QSettings::IniFormat);
        for (const Entry& e : entries) {
            const QString key = SettingsKey(e.section, e.key);
            if (const int* n = std::get_if<int>(&e.value))
                settings.setValue(key, *n);
            else
                settings.setValue(key, QString::fromStdString(std::get<std::string>(e.value)));
        }
        settings.sync();
        if (settings.status() != QSettings::NoError ||
            !replacement.CheckUnderAnotherName([&](const QString& name) { return HoldsAllOf(settings, name); })) {
            lastError_ = QStringLiteral("cannot write %1 (disk full or not writable?)").arg(folder);
            return false;
        }
    }
    // Root saving a service user's profile leaves it that user's, so the running station reads it.
    if (!replacement.Commit(found.kind == Kind::Profile)) {
        lastError_ = replacement.Error();
        return false;
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
    return KeepToOwner(file_);
}

}  // namespace quintar
