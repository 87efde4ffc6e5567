#include "platform/ProcessList.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <vector>

namespace ProcessList {

pid_t FindProcessIdByName(const QString& baseName, const QString& procRoot)
{
    std::vector<pid_t> ids;
    const QStringList entries = QDir(procRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool isNumber = false;
        const auto id = entry.toInt(&isNumber);
        if (isNumber && id > 0) {
            ids.push_back(id);
        }
    }
    std::sort(ids.begin(), ids.end());

    static const QString kDeleted = QStringLiteral(" (deleted)");
    for (const pid_t id : ids) {
        QString exe =
            QFile::symLinkTarget(procRoot + QLatin1Char('/') + QString::number(id) + QStringLiteral("/exe"));
        if (exe.isEmpty()) {
            continue;
        }
        if (exe.endsWith(kDeleted)) {
            exe.chop(kDeleted.size());
        }
        const QString name = exe.mid(exe.lastIndexOf(QLatin1Char('/')) + 1);
        if (name.compare(baseName, Qt::CaseInsensitive) == 0) {
            return id;
        }
    }
    return 0;
}

} // namespace ProcessList
