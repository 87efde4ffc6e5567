#pragma once

#include <QByteArray>
#include <QString>

// Replaces a file's whole content so that a crash, a kill or a full disk at any moment leaves either
// the old file or the new one: the content goes to target + ".saving", is synced to the disk, then
// renamed over the target. A write killed half-way leaves that one file, which the next write takes
// over; concurrent writers take turns on it.
namespace AtomicFile {

enum class FileAccess
{
    Default,   // a new file gets the umask's usual rights, an existing one keeps its own
    OwnerOnly, // 0600, also for a file that had wider rights: for files that may hold credentials
};

// False when the folder is missing or not writable, or the disk is full; the target is then
// untouched, and *error (when given) says why.
[[nodiscard]] bool Write(const QString& path, const QByteArray& content,
                         FileAccess access = FileAccess::Default, QString* error = nullptr);

} // namespace AtomicFile
