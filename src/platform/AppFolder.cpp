#include "platform/AppFolder.h"

#include <QFile>
#include <QMutex>
#include <QMutexLocker>

namespace {

QMutex g_overrideMutex;
QString g_override;

} // namespace

namespace AppFolder {

QString ExecutablePath()
{
    static const QString path = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    return path;
}

QString Path()
{
    {
        QMutexLocker lock(&g_overrideMutex);
        if (!g_override.isEmpty()) {
            return g_override;
        }
    }
    const QString exe = ExecutablePath();
    const auto slash = exe.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : exe.left(slash + 1);
}

void Override(const QString& folder)
{
    QMutexLocker lock(&g_overrideMutex);
    g_override = folder;
    if (!g_override.isEmpty() && !g_override.endsWith(QLatin1Char('/'))) {
        g_override += QLatin1Char('/');
    }
}

} // namespace AppFolder
