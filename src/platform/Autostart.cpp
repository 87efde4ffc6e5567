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

bool Enable(const QString& executablePath, QString* error)
{
    const auto fail = [error](const QString& why) {
        if (error != nullptr) {
            *error = why;
        }
        return false;
    };
    if (executablePath.isEmpty()) {
        return fail(QStringLiteral("no executable path"));
    }
    const QString path = EntryPath();
    if (!QDir().mkpath(QFileInfo(path).path())) {
        return fail(QStringLiteral("cannot make the folder of %1").arg(path));
    }
    const QByteArray content = "[Desktop Entry]\n"
                               "Type=Application\n"
                               "Name=Examora\n"
                               "Exec=" +
                               ExecValue(executablePath).toUtf8() +
                               "\n"
                               "Terminal=false\n"
                               "X-GNOME-Autostart-enabled=true\n";
    // A write that fails leaves the entry there was; one that succeeds must read back as written,
    // or it is no usable entry.
    if (!AtomicFile::Write(path, content, AtomicFile::FileAccess::Default, error)) {
        return false;
    }
    QFile written(path);
    if (!written.open(QIODevice::ReadOnly) || written.readAll() != content) {
        written.close();
        QFile::remove(path);
        return fail(QStringLiteral("%1 does not read back as written").arg(path));
    }
    return true;
}

bool Disable()
{
    return QFile::remove(EntryPath());
}

} // namespace Autostart
