#pragma once

#include "ui/WindowMessage.h"

#include <functional>
#include <memory>
#include <optional>

class QObject;
class QWidget;

// What a window handle delivers messages to: the window's own dispatch, on the UI thread.
class MessageTarget
{
public:
    virtual LRESULT Deliver(WindowMessage& message) = 0;

protected:
    ~MessageTarget() = default;
};

// The address of a window, safe to keep, copy and use from any thread after the window is gone:
// posting or sending to a handle whose window has been destroyed does nothing and reports false.
class WindowHandle
{
public:
    WindowHandle() = default;

    // Made by the window when its native window exists; receiver gets the posted events.
    static WindowHandle Make(QObject* receiver, MessageTarget* target, QWidget* widget);
    // Called by the window, on the UI thread, before its native window goes away.
    void Invalidate() const;

    [[nodiscard]] bool IsWindow() const;
    // The native window; on the UI thread only. Null when the window is gone.
    [[nodiscard]] QWidget* Widget() const;

    bool operator==(const WindowHandle& other) const = default;

private:
    friend bool PostMessage(const WindowHandle&, UINT, WPARAM, LPARAM, MessageRecord);
    friend bool SendMessage(const WindowHandle&, UINT, WPARAM, LPARAM, MessageRecord, LRESULT*);
    struct State;
    std::shared_ptr<State> m_state;
};

// Queues the message for the window's thread and returns at once. False when the window is gone
// (the record is then destroyed).
bool PostMessage(const WindowHandle& window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0,
                 MessageRecord record = {});

// Runs the window's handler for the message and returns when it is done: directly on the UI
// thread, and from any other thread by waiting until the UI thread has handled it. False when the
// window is gone before the message is handled (the record is then destroyed); result receives the
// handler's answer.
bool SendMessage(const WindowHandle& window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0,
                 MessageRecord record = {}, LRESULT* result = nullptr);

// Runs the work on the UI thread and returns its answer: at once on the UI thread; from another
// thread by handing it over and waiting until the UI thread has run it (a modal box included).
// Nothing when the work was refused (see CrossThreadSendsRefused) or there is no application. The
// work must own what it uses (capture by value): a refused caller returns while it may still run.
std::optional<LRESULT> CallOnUiThread(std::function<LRESULT()> work);

// Held on the UI thread while it waits for a worker that may be inside SendMessage (stopping the
// HTTP transport, joining a download): while it lives, every message sent from another thread is
// not delivered. Senders already waiting are released with false, new ones get false at once, and
// their records are destroyed. Without it such a wait would never end.
class CrossThreadSendsRefused
{
public:
    CrossThreadSendsRefused();
    ~CrossThreadSendsRefused();
    CrossThreadSendsRefused(const CrossThreadSendsRefused&) = delete;
    CrossThreadSendsRefused& operator=(const CrossThreadSendsRefused&) = delete;
};
