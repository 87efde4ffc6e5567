#include "account/AccountEditFactory.h"

#include "account/OrvaEditPasswd.h"
#include "account/OrvaEditUserName.h"
#include "ui/PaintManagerUI.h"

CControlUI* CreateAccountEdit(const QString& className, CPaintManagerUI& manager)
{
    COrvaEditField* field = nullptr;
    if (className.compare(QLatin1String("OrvaEditPasswd"), Qt::CaseInsensitive) == 0) {
        field = new COrvaEditPasswd;
    } else if (className.compare(QLatin1String("OrvaEditUserName"), Qt::CaseInsensitive) == 0) {
        field = new COrvaEditUserName;
    }
    if (field != nullptr) {
        manager.AddNotifier(field);
    }
    return field;
}
