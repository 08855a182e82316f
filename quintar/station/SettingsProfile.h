// The application profile on disk: a QSettings INI file that the host and the library share.
// It keeps passwords as plain text, so the file is the owner's alone (mode 0600), and every save
// replaces the file whole (written beside it, synced, renamed), so a crash never leaves half of it.
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

    explicit SettingsProfile(QString file);

    // The per-user default: organisation "Talvern", application "Quintar", INI format.
    static QString DefaultFile();
    const QString& File() const { return file_; }

    int GetInt(const std::string& section, const std::string& key, int def) override;
    std::string GetString(const std::string& section, const std::string& key, const std::string& def) override;
    void WriteInt(const std::string& section, const std::string& key, int value) override;
    void WriteString(const std::string& section, const std::string& key, const std::string& value) override;

    // Writes every entry in one save: afterwards the file holds all of them or, on failure
    // (false), none. Creates the file (and its folder) on first use.
    bool Write(const std::vector<Entry>& entries);

    // Narrows an existing file that others may read to mode 0600. False if that failed.
    bool Secure();

private:
    bool SecureLocked();
    QString file_;
    std::mutex lock_;  // the library's session thread and the host's thread use the file at once
};

}  // namespace quintar
