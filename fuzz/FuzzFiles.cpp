#include "FuzzFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

namespace FuzzFiles {

namespace {

QTemporaryDir& Scratch()
{
    static QTemporaryDir scratch(QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm/examora-fuzz-XXXXXX")
                                                           : QDir::tempPath() + "/examora-fuzz-XXXXXX");
    if (!scratch.isValid()) {
        std::abort();
    }
    return scratch;
}

} // namespace

const QString& Folder()
{
    static const QString folder = Scratch().path() + QLatin1Char('/');
    return folder;
}

QString Put(const QString& name, const QByteArray& bytes)
{
    const QString path = Folder() + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        std::abort();
    }
    return path;
}

} // namespace FuzzFiles
