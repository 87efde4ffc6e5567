#pragma once

#include <QString>

// One remembered account of the users file.
struct SavedUser
{
    QString section; // the users-file section it was read from, e.g. "User_3"
    QString userName;
    QString userPwd;
    QString userTicket;
    QString appkey;
    QString token;
    QString account;
    bool isRememberPwd = false;
    bool isAutoLogin = false;

    friend bool operator==(const SavedUser&, const SavedUser&) = default;
};
