#pragma once

#include <QString>

class CControlUI;
class CPaintManagerUI;

// The creation callback shared by the login, registration and password reset windows: makes the
// composite field for "OrvaEditPasswd" or "OrvaEditUserName" (any case) and registers it as a
// listener of the window's notifications; null for every other type name.
CControlUI* CreateAccountEdit(const QString& className, CPaintManagerUI& manager);
