#include "platform/XdgPaths.h"

#include <QDir>

namespace {

QString AbsoluteFromEnvironment(const char* name)
{
    const QString value = qEnvironmentVariable(name);
    return value.startsWith(QLatin1Char('/')) ? QDir::cleanPath(value) : QString();
}

} // namespace

namespace XdgPaths {

QString ConfigHome()
{
    const QString fromEnvironment = AbsoluteFromEnvironment("XDG_CONFIG_HOME");
    return fromEnvironment.isEmpty() ? QDir::homePath() + QStringLiteral("/.config") : fromEnvironment;
}

QString RuntimeDir()
{
    return AbsoluteFromEnvironment("XDG_RUNTIME_DIR");
}

} // namespace XdgPaths
