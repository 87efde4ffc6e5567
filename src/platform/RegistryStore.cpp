#include "platform/RegistryStore.h"

#include "platform/IniFile.h"
#include "platform/XdgPaths.h"

#include <QDir>
#include <QFileInfo>

namespace RegistryStore {

QString FilePath()
{
    return XdgPaths::ConfigHome() + QStringLiteral("/Examora/registry.ini");
}

bool IsValidKeyPath(const QString& keyPath)
{
    return !keyPath.isEmpty() && !keyPath.startsWith(QLatin1Char('\\'));
}

std::optional<QString> ReadString(const QString& keyPath, const QString& valueName)
{
    if (!IsValidKeyPath(keyPath)) {
        return std::nullopt;
    }
    auto value = IniFile::Load(FilePath()).Value(keyPath, valueName);
    if (value && value->size() > kMaxValueUnits) {
        return std::nullopt;
    }
    return value;
}

bool WriteString(const QString& keyPath, const QString& valueName, const QString& text, QString* error)
{
    const auto fail = [error](const QString& why) {
        if (error != nullptr) {
            *error = why;
        }
        return false;
    };
    if (!IsValidKeyPath(keyPath)) {
        return fail(QStringLiteral("no valid key path: %1").arg(keyPath));
    }
    const QString path = FilePath();
    if (!QDir().mkpath(QFileInfo(path).path())) {
        return fail(QStringLiteral("cannot make the folder of %1").arg(path));
    }
    return IniFile::WriteString(path, keyPath, valueName, text, error);
}

bool DeleteValue(const QString& keyPath, const QString& valueName)
{
    if (!IsValidKeyPath(keyPath)) {
        return false;
    }
    IniFile ini = IniFile::Load(FilePath());
    if (!ini.Value(keyPath, valueName)) {
        return false;
    }
    ini.RemoveKey(keyPath, valueName);
    return ini.Save();
}

} // namespace RegistryStore
