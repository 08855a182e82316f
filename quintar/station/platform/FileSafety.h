// The host's files at the operating system's level, safe from crashes and from other users: what
// lies at a path (never following a link), a file replaced whole (a private copy written beside it,
// synced and renamed over it), a file narrowed to its owner, and whether a folder lies open to other
// users.
#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <string>

namespace quintar {

// What lies at a path itself (a link is not followed).
struct PathStatus {
    enum class Kind { Missing, Unreadable, Link, Folder, Other, File };
    Kind kind;
    int error = 0;          // Unreadable: the system's error number
    unsigned owner = 0;     // the owner's uid
    // The user running this owns it; or root runs this and it lies in its owner's own folder, which
    // nobody else can write (a service user's file).
    bool ours = false;
    long long size = 0;
};
PathStatus ExaminePath(const QString& path);

// Narrows a regular file that others may read to mode 0600, on the file opened, never on what a
// link put at the path meanwhile would point to. False if that failed.
bool KeepToOwner(const QString& file);

// One replacement of `target`: a crash or a full disk never leaves half of it, and a reader sees
// either the old file or the new one. What failed leaves nothing behind.
class FileReplacement {
public:
    explicit FileReplacement(QString target);
    ~FileReplacement();  // removes the new file unless it replaced the target
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Makes the new file beside the target, mode 0600 from the start; with `copyTarget`, holding
    // what the target holds now (read without following a link).
    bool Begin(bool copyTarget);
    // The new file, for the content to be written into.
    const QString& Path() const { return path_; }
    // Runs `check` on the new file under a second name, removed afterwards: a reader of the first
    // name may be served a cache instead of the file.
    bool CheckUnderAnotherName(const std::function<bool(const QString&)>& check);
    // Syncs the new file, keeps it private to its owner (with `keepOwner`, a file of another user
    // that root replaces stays that user's), renames it over the target and syncs the folder.
    bool Commit(bool keepOwner);
    // Why the last step failed.
    const QString& Error() const { return error_; }

private:
    bool Fail(int error);
    QString target_;
    QString path_;
    QString error_;
    bool committed_ = false;
};

// A folder others could put files in: writable by its group or by anyone, or owned by another user
// than this one or root.
struct FolderExposure {
    unsigned mode;      // the permission bits
    QString owner;      // the owner's name, or uid
};
std::optional<FolderExposure> FolderOpenToOthers(const std::string& folder);

}  // namespace quintar
