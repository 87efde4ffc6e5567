#include "platform/Autostart.h"

#include "platform/AtomicFile.h"
#include "platform/IniFile.h"
#include "platform/XdgPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace Autostart {

QString EntryPath()
{
    return XdgPaths::ConfigHome() + QStringLiteral("/autostart/orvaExamora.desktop");
}

bool IsEnabled()
{
    const QString exec = IniFile::Load(EntryPath())
                             .Value(QStringLiteral("Desktop Entry"), QStringLiteral("Exec"))
                             .value_or(QString());
    return !exec.isEmpty();
}

QString ExecValue(const QString& executablePath)
{
    // Inside double quotes the desktop entry rules escape ", `, $ and \ with a backslash and
    // write % as %% (field codes); the file format then doubles every backslash once more.
    QString quoted;
    for (const QChar c : executablePath) {
        if (c == QLatin1Char('%')) {
            quoted += QLatin1Char('%');
        } else if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                   c == QLatin1Char('\\')) {
            quoted += QLatin1Char('\\');
        }
        quoted += c;
    }
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    // Control characters as the file format writes them, so that the value stays on its line.
    quoted.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    quoted.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
    quoted.replace(QLatin1Char('\t'), QStringLiteral("\\t"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

bool Enable(const QString& executablePath)
{
    if (executablePath.isEmpty()) {
        return false;
    }
    const QString path = EntryPath();
    if (!QDir().mkpath(QFileInfo(path).path())) {
        return false;
    }
    const QByteArray content = "[Desktop Entry]\n"
                               "Type=Application\n"
                               "Name=Examora\n"
                               "Exec=" +
                               ExecValue(executablePath).toUtf8() +
                               "\n"
                               "Terminal=false\n"
                               "X-GNOME-Autostart-enabled=true\n";
    // What was written must read back as written: anything else is no usable entry.
    QFile written(path);
    if (!AtomicFile::Write(path, content) || !written.open(QIODevice::ReadOnly) ||
        written.readAll() != content) {
        written.close();
        QFile::remove(path);
        return false;
    }
    return true;
}

bool Disable()
{
    return QFile::remove(EntryPath());
}

} // namespace Autostart
