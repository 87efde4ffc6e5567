#include "platform/AtomicFile.h"

#include <QSaveFile>

namespace AtomicFile {

bool Write(const QString& path, const QByteArray& content, FileAccess access)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    // Set on the temporary file, so the renamed result never has wider rights for a moment.
    if (access == FileAccess::OwnerOnly) {
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    if (file.write(content) != content.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace AtomicFile
