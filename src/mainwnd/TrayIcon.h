#pragma once

#include <QIcon>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class TrayBackend;
class TrayIconDelegate;

// The client's one icon in the notification area: mouse events go to a delegate (the main
// window), balloons carry the title "Examora", and the icon comes back by itself when the
// desktop's notification area does (a panel restart). Made on first use, never freed. Everything
// runs on the UI thread; ShowBalloon may be called from any thread and is carried there.
class TrayIcon
{
public:
    static constexpr int kTipLength = 127;
    static constexpr int kBalloonTextLength = 255;
    static constexpr int kBalloonTitleLength = 63;
    // How often the notification area is looked for after it went away.
    static constexpr int kWatchPeriodMs = 3000;

    static TrayIcon& Get();

    // Replaces the desktop's backend (tests); before CreateTrayWindow.
    void SetBackend(std::unique_ptr<TrayBackend> backend);
    void CreateTrayWindow(TrayIconDelegate* delegate);
    // The delegate goes (the mouse then reaches nobody) when it is this one.
    void ForgetDelegate(const TrayIconDelegate* delegate);
    void SetIconAndTip(const QIcon& icon, const QString& tip);
    void ShowBalloon(const QString& text);
    void RemoveIcon();
    // Adds the icon anew (after the notification area came back).
    void ReAddIcon();
    [[nodiscard]] TrayBackend* Backend() const { return m_backend.get(); }

    // text cut to at most length UTF-16 units, never inside a surrogate pair.
    [[nodiscard]] static QString Cut(const QString& text, int length);

private:
    TrayIcon();
    void ShowIcon();
    void Watch();

    QObject m_context;
    std::unique_ptr<TrayBackend> m_backend;
    TrayIconDelegate* m_delegate = nullptr;
    QIcon m_icon;
    QString m_tip;
    QTimer m_watch;
    bool m_added = false;
    bool m_created = false;
    bool m_wasAvailable = false;
};
