#include "platform/AtomicFile.h"

#include <QFileInfo>
#include <QSaveFile>

namespace AtomicFile {

bool Write(const QString& path, const QByteArray& content, NewFileAccess access)
{
    const bool isNew = !QFileInfo::exists(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    if (isNew && access == NewFileAccess::OwnerOnly) {
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    if (file.write(content) != content.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace AtomicFile
