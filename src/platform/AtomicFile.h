#pragma once

#include <QByteArray>
#include <QString>

// Replaces a file's whole content so that a crash or a kill at any moment leaves either the old
// file or the new one: a temporary file beside the target, flushed, then renamed over it.
namespace AtomicFile {

enum class NewFileAccess
{
    Default,   // the umask's usual rights
    OwnerOnly, // 0600: for files that hold credentials
};

// False when the folder is missing or not writable, or the disk is full; the target is then
// untouched. An existing file keeps its rights.
[[nodiscard]] bool Write(const QString& path, const QByteArray& content,
                         NewFileAccess access = NewFileAccess::Default);

} // namespace AtomicFile
