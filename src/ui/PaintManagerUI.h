#pragma once

#include "ui/NotifyUI.h"

#include <QFont>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>

#include <map>
#include <memory>
#include <vector>

class CControlUI;
class QButtonGroup;
class QKeyEvent;
class QWidget;

// Gets a window's messages before the window itself: key presses arrive here as WM_KEYDOWN.
class IMessageFilterUI
{
public:
    virtual LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) = 0;

protected:
    ~IMessageFilterUI() = default;
};

// A window's control tree and everything around it: finding controls by name, delivering
// notifications, fonts, the caption area, the routing of widget events into notifications and
// messages. The static part holds what is process-wide: the skin folder and the message loop.
class CPaintManagerUI final : public QObject
{
public:
    // Process level.
    static void SetInstance(void* instance);
    [[nodiscard]] static void* GetInstance();
    // The folder of layouts and images ("<exe dir>skin/"); always ends with "/".
    static void SetResourcePath(const QString& path);
    [[nodiscard]] static QString GetResourcePath();
    // Runs the UI thread's message loop until the quit message; returns its exit code.
    static int MessageLoop();

    explicit CPaintManagerUI(QWidget* host);
    ~CPaintManagerUI() override;
    CPaintManagerUI(const CPaintManagerUI&) = delete;
    CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

    [[nodiscard]] QWidget* GetHost() const { return m_host; }
    // Makes root the window's control tree (owned from here on) and puts it in the window.
    void AttachDialog(CControlUI* root);
    [[nodiscard]] CControlUI* GetRoot() const { return m_root.get(); }
    [[nodiscard]] CControlUI* FindControl(const QString& name) const;

    void AddNotifier(INotifyUI* notifier);
    void RemoveNotifier(INotifyUI* notifier);
    // Hands a notification to every listener, in the order they were added.
    void SendNotify(CControlUI* control, const QString& type, WPARAM wParam = 0, LPARAM lParam = 0);
    void AddMessageFilter(IMessageFilterUI* filter);
    void RemoveMessageFilter(IMessageFilterUI* filter);

    void SetDefaultFont(const QString& face, int size, bool bold, bool underline, bool italic);
    [[nodiscard]] QFont GetDefaultFont() const { return m_defaultFont; }
    void AddFont(int id, const QFont& font);
    // The font with that id; the default font for an unknown id.
    [[nodiscard]] QFont GetFont(int id) const;
    // A font for a face name as layouts write it, with CJK fallbacks after it.
    [[nodiscard]] static QFont MakeFont(const QString& face, int pointSize, bool bold, bool underline,
                                        bool italic);

    // The caption area: left, top, right, bottom insets; a right of 0 spans the width.
    void SetCaptionRect(const QRect& caption) { m_caption = caption; }
    [[nodiscard]] QRect GetCaptionRect() const { return m_caption; }

    [[nodiscard]] QButtonGroup* GetOptionGroup(const QString& name);

    // Kept up to date by the controls.
    void AdoptControl(CControlUI* control);
    void ForgetControl(CControlUI* control);
    void RenameControl(CControlUI* control, const QString& oldName);

    // Whether the pointer at a window position is over the caption (the window can be dragged).
    [[nodiscard]] bool IsCaptionAt(const QPoint& position) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool FilterKey(QWidget* watched, QKeyEvent* event);

    QWidget* m_host;
    std::unique_ptr<CControlUI> m_root;
    QHash<QString, CControlUI*> m_names;
    std::vector<INotifyUI*> m_notifiers;
    std::vector<IMessageFilterUI*> m_filters;
    QFont m_defaultFont;
    std::map<int, QFont> m_fonts;
    QRect m_caption;
    std::map<QString, QButtonGroup*> m_groups;
    // The key event last acted on and the widget it was first seen at, to tell its way up
    // through the parents (the same event, seen again) from a new press.
    struct
    {
        const QEvent* event = nullptr;
        quint64 timestamp = 0;
        QPointer<QWidget> receiver;
    } m_lastKey;
};
