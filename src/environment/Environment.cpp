#include "environment/Environment.h"

#include "environment/Deployment.h"
#include "platform/AppFolder.h"
#include "platform/IniFile.h"

namespace {

EnvironmentSettings& MutableSettings()
{
    static EnvironmentSettings settings = CompiledInEnvironmentSettings();
    return settings;
}

} // namespace

const EnvironmentSettings& GetEnvironmentSettings()
{
    return MutableSettings();
}

EnvironmentSettings CompiledInEnvironmentSettings()
{
    return {Deployment::kSignOnApi, Deployment::kQuestionBank, Deployment::kAnalyticsApi, {},
            Deployment::kImServer,  Deployment::kImAppKey,     Deployment::kSignSecret};
}

QString ProfileName(int envIndex)
{
    switch (envIndex) {
    case 0:
        return QStringLiteral("local");
    case 1:
        return QStringLiteral("test");
    case 2:
        return QStringLiteral("rd");
    case 3:
        return QStringLiteral("pro");
    default:
        return {};
    }
}

void LoadEnvironmentSettings()
{
    EnvironmentSettings& settings = MutableSettings();
    settings = CompiledInEnvironmentSettings();

    const IniFile conf = IniFile::Load(GetLogConfPath());
    const QString profile = ProfileName(conf.Int(QStringLiteral("global"), QStringLiteral("envIndex"), -1));
    if (profile.isEmpty()) {
        return;
    }
    const std::pair<const char*, std::string*> fields[] = {
        {"offcieDomain", &settings.offcieDomain}, {"updateUrl", &settings.updateUrl},
        {"homePageUrl", &settings.homePageUrl},   {"tikuDomain", &settings.tikuDomain},
        {"imServer", &settings.imServer},
    };
    for (const auto& [section, field] : fields) {
        const QString value = conf.String(QLatin1String(section), profile, QString());
        if (!value.isEmpty()) {
            *field = value.toStdString();
        }
    }
}

QString GetExeDir()
{
    return AppFolder::Path();
}

QString GetLogConfPath()
{
    return GetExeDir() + QStringLiteral("OrvaLogConf.ini");
}

int GetLogConfInt(const QString& section, const QString& key, int defaultValue)
{
    return IniFile::ReadInt(GetLogConfPath(), section, key, defaultValue);
}

QString GetLogConfString(const QString& section, const QString& key, const QString& defaultValue)
{
    return IniFile::ReadString(GetLogConfPath(), section, key, defaultValue);
}

std::string GetFileVersionString()
{
    return EXAMORA_VERSION;
}

std::string GetProductVersionString()
{
    return EXAMORA_VERSION;
}
