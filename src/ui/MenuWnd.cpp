#include "ui/MenuWnd.h"

#include "ui/ControlUI.h"
#include "ui/MenuCommand.h"

#include <QWidget>

#include <memory>

// WM_MENU_COMMAND of the client's message table; the toolkit knows the number, not the table.
constexpr UINT kMenuCommand = WM_USER + 3;

CMenuWnd::CMenuWnd(WindowImplBase* owner, QString layoutFile)
    : m_owner(owner)
    , m_layoutFile(std::move(layoutFile))
{
}

CMenuWnd* CMenuWnd::Show(WindowImplBase* owner, const QString& layoutFile, const QPoint& screenPoint)
{
    auto* menu = new CMenuWnd(owner, layoutFile);
    menu->Create(owner != nullptr ? owner->GetHWND() : WindowHandle(), QString(), WS_POPUP, WS_EX_TOOLWINDOW);
    QWidget* widget = menu->GetWidget();
    // A popup closes itself when the user clicks elsewhere; that close is the menu's WM_CLOSE.
    widget->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
    widget->setAttribute(Qt::WA_TranslucentBackground);
    widget->move(screenPoint);
    menu->ShowWindow(true, true);
    return menu;
}

void CMenuWnd::Notify(TNotifyUI& msg)
{
    if (msg.sType == QLatin1String("click") && msg.pSender != nullptr && !msg.pSender->GetName().isEmpty()) {
        // Off the screen and out of the input grab before the owner hears of the choice, which may
        // open a modal window; the object itself (and so the sender) stays until the close.
        ShowWindow(false);
        if (m_owner != nullptr) {
            PostMessage(m_owner->GetHWND(), kMenuCommand, 0, 0,
                        std::make_unique<MenuCommand>(MenuCommand{msg.pSender->GetName()}));
            TNotifyUI click = msg;
            m_owner->Notify(click);
        }
        Close(0);
    }
}
