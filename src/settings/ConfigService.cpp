#include "settings/ConfigService.h"

#include "diag/Log.h"
#include "environment/Environment.h"
#include "platform/AppFolder.h"
#include "platform/Autostart.h"
#include "platform/IniFile.h"
#include "platform/Keyring.h"
#include "platform/RegistryStore.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <optional>

namespace {

const QString kMain = QStringLiteral("Main");
const QString kCurrentUser = QStringLiteral("CurrentUser");
const QString kUserName = QStringLiteral("userName");
// The keys that hold credentials, in the order they are written; empty when the password is not
// remembered.
constexpr std::pair<const char*, QString SavedUser::*> kCredentials[] = {
    {"userPwd", &SavedUser::userPwd},
    {"userTicket", &SavedUser::userTicket},
    {"appkey", &SavedUser::appkey},
    {"account", &SavedUser::account},
    {"token", &SavedUser::token}};
const QString kRememberPwd = QStringLiteral("isRememberPwd");
const QString kAutoLogin = QStringLiteral("isAutoLogin");

QString UserSection(int index)
{
    return QStringLiteral("User_%1").arg(index);
}

constexpr int kDefaultMaxUser = 30;
// A hand-edited "MaxUser" of two billion would make every call walk two billion sections.
constexpr int kMaxUserLimit = 1000;

// "MaxUser" of section "Main": empty, missing or not a number counts as 30.
int MaxUser(const IniFile& users)
{
    const auto value = IniFile::ParseLeadingInt(users.String(kMain, QStringLiteral("MaxUser"), QString()));
    return std::min(value.value_or(kDefaultMaxUser), kMaxUserLimit);
}

// A flag: true when its leading number is non-zero; empty or not a number ("abc") is false.
bool IsSet(const QString& value)
{
    return IniFile::ParseLeadingInt(value).value_or(0) != 0;
}

bool Flag(const IniFile& users, const QString& section, const QString& key)
{
    return IsSet(users.String(section, key, QString()));
}

// The credentials of a remembered account as its keyring entry: a JSON object of the five keys.
QString CredentialsText(const SavedUser& user)
{
    QJsonObject object;
    for (const auto& [key, field] : kCredentials) {
        object.insert(QLatin1String(key), user.*field);
    }
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

// The account's keyring entry over the file's values, when the keyring holds one; the file's values
// otherwise (written by an older version, or where no keyring answers).
void ReadKeyring(SavedUser& user)
{
    const Keyring::Result kept = Keyring::Read(user.userName);
    if (kept.status != Keyring::Status::Ok) {
        return;
    }
    const QJsonObject object = QJsonDocument::fromJson(kept.secret.toUtf8()).object();
    if (object.isEmpty()) {
        LOG_WARN << "the keyring entry of a remembered account is unreadable; using orva.ini";
        return;
    }
    for (const auto& [key, field] : kCredentials) {
        user.*field = object.value(QLatin1String(key)).toString();
    }
}

// A write that failed leaves the file as it was; the log says which and why (a full disk, a
// folder that is gone or read-only). Values are not named: they may be credentials.
bool Saved(bool ok, const char* what, const QString& error)
{
    if (!ok) {
        LOG_ERROR << what << " not saved: " << error;
    }
    return ok;
}

} // namespace

CConfigService& CConfigService::Instance()
{
    static CConfigService instance(GetExeDir());
    return instance;
}

CConfigService::CConfigService(const QString& folder)
    : m_logConfPath(folder + QStringLiteral("OrvaLogConf.ini"))
    , m_usersIniPath(folder + QStringLiteral("orva.ini"))
{
    if (QFileInfo::exists(m_logConfPath)) {
        m_registryPath = GetLogConfString(QStringLiteral("Registry"), QStringLiteral("RegistryPath"),
                                          QStringLiteral("SOFTWARE\\Orva\\Examora"));
    }
}

int CConfigService::GetLogConfInt(const QString& section, const QString& key, int defaultValue) const
{
    return IniFile::ReadInt(m_logConfPath, section, key, defaultValue);
}

QString CConfigService::GetLogConfString(const QString& section, const QString& key,
                                         const QString& defaultValue) const
{
    return IniFile::ReadString(m_logConfPath, section, key, defaultValue);
}

QString CConfigService::GetUserString(const QString& section, const QString& key,
                                      const QString& defaultValue) const
{
    return IniFile::ReadString(m_usersIniPath, section, key, defaultValue);
}

QList<SavedUser> CConfigService::LoadUsers() const
{
    const IniFile users = IniFile::Load(m_usersIniPath);
    const QString currentUser = users.String(kMain, kCurrentUser, QString());
    const int maxUser = MaxUser(users);

    QList<SavedUser> list;
    std::optional<SavedUser> current;
    for (int i = 0; i < maxUser; ++i) {
        const QString section = UserSection(i);
        SavedUser user;
        user.userName = users.String(section, kUserName, QString());
        if (user.userName.isEmpty()) {
            continue;
        }
        user.section = section;
        for (const auto& [key, field] : kCredentials) {
            user.*field = users.String(section, QLatin1String(key), QString());
        }
        ReadKeyring(user);
        user.isRememberPwd = Flag(users, section, kRememberPwd);
        user.isAutoLogin = Flag(users, section, kAutoLogin);
        if (section == currentUser) {
            current = std::move(user);
        } else {
            list.prepend(std::move(user));
        }
    }
    if (current) {
        list.prepend(std::move(*current));
    }
    return list;
}

void CConfigService::SaveUser(const QString& userName, const QString& userPwd, const QString& userTicket,
                              const QString& appkey, const QString& account, const QString& token,
                              bool rememberPwd, bool autoLogin)
{
    if (userName.isEmpty()) {
        return;
    }
    // One load and one atomic save: a kill in the middle leaves the old file or the new one.
    IniFile users = IniFile::Load(m_usersIniPath);
    const int maxUser = MaxUser(users);
    QString target;
    for (int i = 0; i < maxUser; ++i) {
        const QString section = UserSection(i);
        const QString name = users.String(section, kUserName, QString());
        if (name == userName) {
            target = section;
            break;
        }
        if (name.isEmpty() && target.isEmpty()) {
            target = section;
        }
    }
    if (target.isEmpty()) {
        target = UserSection(0);
    }

    users.SetValue(kMain, kCurrentUser, target);
    users.SetValue(target, kUserName, userName);
    const SavedUser given{target, userName, userPwd,     userTicket, appkey,
                          token,  account,  rememberPwd, autoLogin};
    // Remembered credentials go to the keyring, and the file keeps its keys empty; where no keyring
    // answers they stay in the file, readable by the user alone. Credentials not remembered leave
    // both.
    bool inKeyring = false;
    if (rememberPwd) {
        const Keyring::Result stored = Keyring::Write(userName, CredentialsText(given));
        inKeyring = stored.status == Keyring::Status::Ok;
        if (!inKeyring) {
            LOG_INFO << "no keyring for the remembered account (" << stored.error
                     << "); keeping it in orva.ini";
        }
    } else if (const Keyring::Result removed = Keyring::Remove(userName);
               removed.status == Keyring::Status::Failed) {
        LOG_WARN << "the keyring entry of an account could not be removed: " << removed.error;
    }
    for (const auto& [key, field] : kCredentials) {
        users.SetValue(target, QLatin1String(key), rememberPwd && !inKeyring ? given.*field : QString());
    }
    users.SetValue(target, kRememberPwd, rememberPwd ? QStringLiteral("1") : QStringLiteral("0"));
    users.SetValue(target, kAutoLogin, autoLogin ? QStringLiteral("1") : QStringLiteral("0"));
    QString error;
    (void)Saved(users.Save(&error), "remembered account", error);
}

void CConfigService::DeleteUser(const QString& userName)
{
    IniFile users = IniFile::Load(m_usersIniPath);
    const int maxUser = MaxUser(users);
    for (int i = 0; i < maxUser; ++i) {
        const QString section = UserSection(i);
        const QString name = users.String(section, kUserName, QString());
        if (!name.isEmpty() && name == userName) {
            users.RemoveSection(section);
            QString error;
            // An account the file still lists keeps its credentials.
            if (!Saved(users.Save(&error), "removal of a remembered account", error)) {
                return;
            }
            if (const Keyring::Result removed = Keyring::Remove(userName);
                removed.status == Keyring::Status::Failed) {
                LOG_WARN << "the keyring entry of a deleted account could not be removed: " << removed.error;
            }
            return;
        }
    }
}

bool CConfigService::IsRelogin() const
{
    return IsSet(GetLogConfString(kMain, QStringLiteral("isRelogin"), QString()));
}

void CConfigService::SetRelogin(const QString& value)
{
    QString error;
    (void)Saved(IniFile::WriteString(m_logConfPath, kMain, QStringLiteral("isRelogin"), value, &error),
                "relogin flag", error);
}

std::pair<bool, QString> CConfigService::ReadRegistryString(const QString& subkey,
                                                            const QString& valueName) const
{
    auto value = RegistryStore::ReadString(m_registryPath + QLatin1Char('\\') + subkey, valueName);
    return {value.has_value(), value.value_or(QString())};
}

bool CConfigService::WriteRegistryString(const QString& subkey, const QString& valueName, const QString& text)
{
    QString error;
    return Saved(
        RegistryStore::WriteString(m_registryPath + QLatin1Char('\\') + subkey, valueName, text, &error),
        "registry value", error);
}

bool CConfigService::IsWinHide(const QString& subkey) const
{
    const auto [found, text] = ReadRegistryString(subkey, QStringLiteral("WinHide"));
    return found && !text.isEmpty() && IniFile::ParseInt(text, 0) > 0;
}

bool CConfigService::SetWinHide(const QString& subkey, bool hide)
{
    return WriteRegistryString(subkey, QStringLiteral("WinHide"),
                               hide ? QStringLiteral("1") : QStringLiteral("0"));
}

bool CConfigService::IsAutoStart() const
{
    return Autostart::IsEnabled();
}

bool CConfigService::SetAutoStart(bool enable)
{
    if (!enable) {
        return Autostart::Disable();
    }
    QString error;
    return Saved(Autostart::Enable(AppFolder::ExecutablePath(), &error), "start with the session", error);
}
