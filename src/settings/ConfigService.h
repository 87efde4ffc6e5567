#pragma once

#include "settings/SavedUser.h"

#include <QList>
#include <QString>

#include <utility>

// The client's settings store: the remembered accounts of orva.ini, the preferences of
// OrvaLogConf.ini and the per-user registry values (hide on close, start with the session).
// Nothing is cached: every call reads or writes the files at that moment, so hand edits count at
// once. Writes replace a file atomically. Remembered credentials live in the desktop keyring, keyed
// by the account's number, where one answers; "orva.ini" keeps their keys empty then.
class CConfigService
{
public:
    // The process-wide object, on the application folder.
    static CConfigService& Instance();

    // A store on another folder (ending in "/"): the files are folder + "orva.ini" and
    // folder + "OrvaLogConf.ini".
    explicit CConfigService(const QString& folder);

    [[nodiscard]] const QString& RegistryPath() const { return m_registryPath; }

    [[nodiscard]] int GetLogConfInt(const QString& section, const QString& key, int defaultValue) const;
    [[nodiscard]] QString GetLogConfString(const QString& section, const QString& key,
                                           const QString& defaultValue) const;
    [[nodiscard]] QString GetUserString(const QString& section, const QString& key,
                                        const QString& defaultValue) const;

    // The current user first (when "CurrentUser" names a used section), then the others in
    // descending section order.
    [[nodiscard]] QList<SavedUser> LoadUsers() const;
    // Records a sign-in in the user's section (or the first free one, or "User_0") and makes it
    // the current user; without rememberPwd the five credential keys are written empty.
    void SaveUser(const QString& userName, const QString& userPwd, const QString& userTicket,
                  const QString& appkey, const QString& account, const QString& token, bool rememberPwd,
                  bool autoLogin);
    // Removes the first section holding that user name. "CurrentUser" is left as it is.
    void DeleteUser(const QString& userName);

    [[nodiscard]] bool IsRelogin() const;
    void SetRelogin(const QString& value);

    // A registry string below registryPath + "\" + subkey: found flag and text.
    [[nodiscard]] std::pair<bool, QString> ReadRegistryString(const QString& subkey,
                                                              const QString& valueName) const;
    [[nodiscard]] bool WriteRegistryString(const QString& subkey, const QString& valueName,
                                           const QString& text);

    [[nodiscard]] bool IsWinHide(const QString& subkey) const;
    [[nodiscard]] bool SetWinHide(const QString& subkey, bool hide);

    [[nodiscard]] bool IsAutoStart() const;
    [[nodiscard]] bool SetAutoStart(bool enable);

private:
    QString m_registryPath;
    QString m_logConfPath;
    QString m_usersIniPath;
};
