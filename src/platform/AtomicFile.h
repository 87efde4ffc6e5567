#pragma once

#include <QByteArray>
#include <QString>

// Replaces a file's whole content so that a crash or a kill at any moment leaves either the old
// file or the new one: a temporary file beside the target, flushed, then renamed over it.
namespace AtomicFile {

enum class FileAccess
{
    Default,   // a new file gets the umask's usual rights, an existing one keeps its own
    OwnerOnly, // 0600, also for a file that had wider rights: for files that may hold credentials
};

// False when the folder is missing or not writable, or the disk is full; the target is then
// untouched.
[[nodiscard]] bool Write(const QString& path, const QByteArray& content,
                         FileAccess access = FileAccess::Default);

} // namespace AtomicFile
