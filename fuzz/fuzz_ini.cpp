// The INI reader and the profile lookups on damaged files: the users file and the log
// configuration are files a user or another program may have edited or cut short.
#include "FuzzFiles.h"
#include "platform/IniFile.h"
#include "settings/ConfigService.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QDebug>
#include <QRegularExpression>

#include <cstdlib>

namespace {

QString Name(FuzzedDataProvider& input)
{
    return QString::fromUtf8(input.ConsumeRandomLengthString(24));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const QString section = Name(input);
    const QString key = Name(input);
    const QString value = Name(input);
    const int buffer = input.ConsumeIntegralInRange(0, 300);
    const bool onDisk = input.ConsumeIntegralInRange(0, 63) == 0;
    const auto bytes = input.ConsumeRemainingBytes<char>();
    const QByteArray content(bytes.data(), static_cast<qsizetype>(bytes.size()));

    // The reader, its lookups, and an edit that must read back.
    IniFile ini = IniFile::FromContent(QStringLiteral("/nonexistent/any.ini"), content);
    (void)ini.Value(section, key);
    (void)ini.String(section, key, value, buffer);
    (void)ini.Int(section, key, -1);
    (void)IniFile::ParseInt(value, 7);
    (void)IniFile::CutToUnits(value, buffer);
    static const QRegularExpression kNotPlainName(QStringLiteral("[\\[\\]\\x00-\\x1f\\x7f;=]"));
    static const QRegularExpression kNotPlainValue(QStringLiteral("[\\x00-\\x1f\\x7f\"']"));
    const bool plainName = !section.isEmpty() && !key.isEmpty() && !section.contains(kNotPlainName) &&
                           !key.contains(kNotPlainName) && section.trimmed() == section &&
                           key.trimmed() == key;
    const bool plainValue =
        !value.contains(kNotPlainValue) && value.trimmed() == value && value.size() < IniFile::kDefaultBuffer;
    ini.SetValue(section, key, value);
    IniFile again = IniFile::FromContent(QString(), ini.Content());
    if (plainName && plainValue) {
        const QString read = again.String(section, key, QStringLiteral("?missing?"));
        if (read != value) {
            qWarning() << "an edit that does not read back:" << section << key << value << "read" << read;
            std::abort();
        }
    }
    again.RemoveKey(section, key);
    again.RemoveSection(section);
    (void)again.Content();

    // The same bytes as the users file and as the log configuration, for one input in 64: the
    // store reads its files again at every call, and file operations are slow beside the parsing.
    if (!onDisk) {
        return 0;
    }
    (void)FuzzFiles::Put(QStringLiteral("orva.ini"), content);
    (void)FuzzFiles::Put(QStringLiteral("OrvaLogConf.ini"), content);
    CConfigService config(FuzzFiles::Folder());
    (void)config.LoadUsers();
    (void)config.GetLogConfInt(QStringLiteral("global"), QStringLiteral("default_loglevel"), 3);
    (void)config.GetLogConfString(section, key, value);
    (void)config.IsRelogin();
    // "MaxUser" may hide every section; without it the user just saved is the current one.
    const bool defaultMax =
        config.GetUserString(QStringLiteral("Main"), QStringLiteral("MaxUser"), {}).isEmpty();
    config.SaveUser(QStringLiteral("13800000000"), value, key, section, value, key, true, false);
    const auto users = config.LoadUsers();
    if (defaultMax && (users.isEmpty() || users.first().userName != QStringLiteral("13800000000"))) {
        std::abort(); // the user just saved is not the current one
    }
    config.DeleteUser(QStringLiteral("13800000000"));
    return 0;
}
