#include "dialogs/SystemSetForm.h"

#include "settings/ConfigService.h"
#include "ui/OptionUI.h"

namespace {

const QString kWinHideKey = QStringLiteral("OrvaWinHide");

} // namespace

void CSystemSetForm::InitWindow()
{
    SetIcon(101);
    m_startup = FindControl<COptionUI>(QStringLiteral("set_opt_open_startup"));
    m_hideOnClose = FindControl<COptionUI>(QStringLiteral("set_opt_close"));
    if (m_startup == nullptr || m_hideOnClose == nullptr) {
        return;
    }
    const CConfigService& config = CConfigService::Instance();
    m_startup->Selected(config.IsAutoStart(), false);
    m_hideOnClose->Selected(config.IsWinHide(kWinHideKey), false);
}

void CSystemSetForm::Notify(TNotifyUI& msg)
{
    if (msg.pSender != nullptr) {
        const QString name = msg.pSender->GetName();
        CConfigService& config = CConfigService::Instance();
        if (msg.sType == QLatin1String("click") && name == QLatin1String("set_close_btn")) {
            Close(1);
        } else if (msg.sType == QLatin1String("selectchanged") && msg.pSender == m_startup) {
            if (m_startup->IsSelected()) {
                if (!config.SetAutoStart(true)) {
                    m_startup->Selected(false, false);
                }
            } else {
                static_cast<void>(config.SetAutoStart(false));
            }
        } else if (msg.sType == QLatin1String("selectchanged") && msg.pSender == m_hideOnClose) {
            static_cast<void>(config.SetWinHide(kWinHideKey, m_hideOnClose->IsSelected()));
        }
    }
    WindowImplBase::Notify(msg);
}
