#pragma once

#include "ui/NotifyUI.h"
#include "ui/PaintManagerUI.h"
#include "ui/WindowHandle.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <map>
#include <memory>

class QEventLoop;
class QTimer;

// The base of every window: one frameless top-level widget whose content is built from the
// window's layout file, a handle for messages, timers by id, modal showing, and the default
// behaviours every window shares (title-bar buttons by name, system commands, the Enter and
// Escape keys, Tab, caption dragging). A window object is made with new; a modal one is deleted
// by its creator after ShowModal returns, a modeless one usually deletes itself in OnFinalMessage.
class WindowImplBase : public INotifyUI, public IMessageFilterUI, protected MessageTarget
{
public:
    using TimerProc = void (*)(const WindowHandle& window, UINT id);

    WindowImplBase();
    virtual ~WindowImplBase();
    WindowImplBase(const WindowImplBase&) = delete;
    WindowImplBase& operator=(const WindowImplBase&) = delete;

    // Makes the native window and builds the layout, then calls InitWindow. style and exStyle are
    // the Windows style bits: WS_EX_TOOLWINDOW keeps the window off the task bar, WS_EX_TOPMOST
    // keeps it above others. A layout that cannot be loaded ends the process (code 1) after a
    // message box.
    WindowHandle Create(const WindowHandle& parent, const QString& title, uint32_t style, uint32_t exStyle);
    [[nodiscard]] WindowHandle GetHWND() const { return m_handle; }
    [[nodiscard]] QWidget* GetWidget() const { return m_host; }

    void CenterWindow();
    void ShowWindow(bool show = true, bool takeFocus = true);
    // Shows the window with its parent disabled and returns the code given to Close.
    UINT ShowModal();
    // Asks the window to close with a result code (posts WM_CLOSE).
    void Close(UINT code = 1);
    // Starts (or restarts) a timer: WM_TIMER with the id to HandleMessage, or proc when given.
    bool SetTimer(UINT id, UINT elapseMs, TimerProc proc = nullptr);
    bool KillTimer(UINT id);
    void SetIcon(int resourceId);

    [[nodiscard]] CPaintManagerUI& GetPaintManager() const { return *m_PaintManager; }
    [[nodiscard]] CControlUI* FindControl(const QString& name) const;
    template <typename T>
    [[nodiscard]] T* FindControl(const QString& name) const
    {
        return dynamic_cast<T*>(FindControl(name));
    }

    // The toolkit's key rule: Enter goes on, Escape is swallowed.
    LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
    // The shared reactions to the title-bar buttons "closebtn", "minbtn", "maxbtn", "restorebtn".
    void Notify(TNotifyUI& msg) override;

protected:
    [[nodiscard]] virtual QString GetLayoutFile() const = 0;
    [[nodiscard]] virtual QString GetWindowClassName() const = 0;
    virtual void InitWindow() { }
    // Every message of the window; the base closes on WM_CLOSE and carries out system commands.
    // A window handles its own messages and hands everything on to the base.
    virtual LRESULT HandleMessage(WindowMessage& message);
    // After the native window is gone.
    virtual void OnFinalMessage() { }
    // Controls for type names the toolkit does not know; null for every other name.
    virtual CControlUI* CreateControl(const QString& className);

    LRESULT Deliver(WindowMessage& message) override;

private:
    class Host;
    void DestroyNative();
    void OnHostGone();
    void OnWindowState();
    void OnActivation(bool active);

    std::unique_ptr<CPaintManagerUI> m_PaintManager;
    QPointer<QWidget> m_host;
    WindowHandle m_handle;
    std::map<UINT, std::unique_ptr<QTimer>> m_timers;
    QEventLoop* m_modalLoop = nullptr;
    UINT m_closeCode = 0;
    bool m_destroyed = false;
};
