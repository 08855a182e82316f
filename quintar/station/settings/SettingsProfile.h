// The application profile on disk: a QSettings INI file that the host and the library share.
// It keeps passwords as plain text, so the file is the owner's alone (mode 0600), and every save
// replaces the file whole (a copy written beside it, synced, renamed), so a crash or a full disk
// never leaves half of it, and a save that failed leaves nothing behind, not even in memory.
// Only a regular file of the user who runs it is used: never a link, never another user's file
// (root may use one of the user whose private folder holds it, as a service user's profile).
#pragma once

#include <QString>

#include <mutex>
#include <string>
#include <variant>
#include <vector>

#include "Platform.h"

namespace quintar {

class SettingsProfile final : public brenlow::Profile {
public:
    struct Entry {
        std::string section;
        std::string key;
        std::variant<int, std::string> value;
    };

    // What is at the profile's path.
    enum class Kind {
        Missing,     // nothing yet: the first save creates it
        Profile,     // a regular, readable file of sections, keys and comments
        NotRegular,  // a folder, a device, ...
        Unreadable,
        NotAProfile,  // some other file; never changed
        Unsafe        // a symbolic link, or a file of another user: never read or written through
    };
    struct Inspection {
        Kind kind;
        QString reason;  // for anything but Profile: why, for a message
    };

    explicit SettingsProfile(QString file);

    // The per-user default: organisation "Talvern", application "Quintar", INI format.
    static QString DefaultFile();
    const QString& File() const { return file_; }

    Inspection Inspect();

    int GetInt(const std::string& section, const std::string& key, int def) override;
    std::string GetString(const std::string& section, const std::string& key, const std::string& def) override;
    bool WriteInt(const std::string& section, const std::string& key, int value) override;
    bool WriteString(const std::string& section, const std::string& key, const std::string& value) override;
    // The keys the file holds in a section.
    std::vector<std::string> Keys(const std::string& section);

    // Writes every entry in one save: afterwards the file holds all of them or, on failure
    // (false, LastError() tells why), none. Creates the file (and its folder) on first use;
    // refuses a path that holds anything but a profile.
    bool Write(const std::vector<Entry>& entries);
    QString LastError();

    // Narrows an existing profile that others may read to mode 0600. False if that failed or if
    // the path holds something that is not a profile (which is left as it is).
    bool Secure();

private:
    Inspection InspectLocked() const;
    bool SaveLocked(const std::vector<Entry>& entries);
    QString file_;
    QString lastError_;
    std::mutex lock_;  // the library's session thread and the host's thread use the file at once
};

}  // namespace quintar
