#pragma once

#include <QIcon>
#include <QString>

#include <functional>
#include <memory>

// The desktop's notification area as the tray icon needs it: show, change and remove one icon,
// show a notification, and hear the mouse. The real one is QSystemTrayIcon; tests put their own
// in its place to watch what reaches the desktop.
class TrayBackend
{
public:
    enum class Mouse
    {
        LeftUp,
        LeftDoubleClick,
        RightUp,
        RightDoubleClick
    };

    virtual ~TrayBackend() = default;

    // Whether the desktop has a notification area now.
    [[nodiscard]] virtual bool IsAvailable() const = 0;
    // Puts the icon in the area; false when the desktop refused it.
    virtual bool Add(const QIcon& icon, const QString& tip) = 0;
    virtual void Modify(const QIcon& icon, const QString& tip) = 0;
    virtual void Remove() = 0;
    virtual void ShowMessage(const QString& title, const QString& text, const QIcon& icon) = 0;

    // Set by the tray icon; called on the UI thread.
    std::function<void(Mouse)> onMouse;

    // The desktop's own, on QSystemTrayIcon.
    [[nodiscard]] static std::unique_ptr<TrayBackend> MakeSystem();
};
