#include "mainwnd/TrayBackend.h"

#include <QSystemTrayIcon>

namespace {

// The notification area through QSystemTrayIcon (StatusNotifierItem or XEmbed, as Qt finds).
class SystemTrayBackend final : public TrayBackend
{
public:
    SystemTrayBackend()
    {
        QObject::connect(&m_icon, &QSystemTrayIcon::activated, &m_icon,
                         [this](QSystemTrayIcon::ActivationReason reason) {
                             if (!onMouse) {
                                 return;
                             }
                             switch (reason) {
                             case QSystemTrayIcon::Trigger:
                                 onMouse(Mouse::LeftUp);
                                 break;
                             case QSystemTrayIcon::DoubleClick:
                                 onMouse(Mouse::LeftDoubleClick);
                                 break;
                             case QSystemTrayIcon::Context:
                                 onMouse(Mouse::RightUp);
                                 break;
                             default:
                                 break;
                             }
                         });
    }

    [[nodiscard]] bool IsAvailable() const override { return QSystemTrayIcon::isSystemTrayAvailable(); }

    bool Add(const QIcon& icon, const QString& tip) override
    {
        Modify(icon, tip);
        m_icon.show();
        return m_icon.isVisible();
    }

    void Modify(const QIcon& icon, const QString& tip) override
    {
        m_icon.setIcon(icon);
        m_icon.setToolTip(tip);
    }

    void Remove() override { m_icon.hide(); }

    void ShowMessage(const QString& title, const QString& text, const QIcon& icon) override
    {
        m_icon.showMessage(title, text, icon);
    }

private:
    QSystemTrayIcon m_icon;
};

} // namespace

std::unique_ptr<TrayBackend> TrayBackend::MakeSystem()
{
    return std::make_unique<SystemTrayBackend>();
}
