#include "dialogs/AboutWnd.h"

#include "environment/Deployment.h"
#include "service/OrvaManager.h"
#include "ui/LabelUI.h"

void CAboutWnd::InitWindow()
{
    SetIcon(101);
    m_version = FindControl<CLabelUI>(QStringLiteral("about_lab_version"));
}

void CAboutWnd::SetVersion(const std::string& version)
{
    if (m_version != nullptr) {
        m_version->SetText(QString::fromUtf8(kVersionPrefix) + QString::fromStdString(version));
    }
}

void CAboutWnd::Notify(TNotifyUI& msg)
{
    if (msg.sType == QLatin1String("click") && msg.pSender != nullptr) {
        const QString name = msg.pSender->GetName();
        if (name == QLatin1String("about_btn_close")) {
            Close(1);
        } else if (name == QLatin1String("about_btn_logo") || name == QLatin1String("about_btn_orva_url")) {
            COrvaManager::SafeOpenUrl(QString::fromLatin1(Deployment::kHomePage), 0);
        } else if (name == QLatin1String("about_btn_user_protocol")) {
            COrvaManager::SafeOpenUrl(QString::fromLatin1(Deployment::kUserAgreementPage), 0);
        }
    }
    WindowImplBase::Notify(msg);
}
