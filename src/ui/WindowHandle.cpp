#include "ui/WindowHandle.h"

#include "ui/MessageEvent.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <QWidget>

struct WindowHandle::State
{
    std::mutex mutex;
    QObject* receiver = nullptr;
    MessageTarget* target = nullptr;
    QPointer<QWidget> widget;
};

WindowHandle WindowHandle::Make(QObject* receiver, MessageTarget* target, QWidget* widget)
{
    WindowHandle handle;
    handle.m_state = std::make_shared<State>();
    handle.m_state->receiver = receiver;
    handle.m_state->target = target;
    handle.m_state->widget = widget;
    return handle;
}

void WindowHandle::Invalidate() const
{
    if (m_state != nullptr) {
        const std::lock_guard lock(m_state->mutex);
        m_state->receiver = nullptr;
        m_state->target = nullptr;
    }
}

bool WindowHandle::IsWindow() const
{
    if (m_state == nullptr) {
        return false;
    }
    const std::lock_guard lock(m_state->mutex);
    return m_state->receiver != nullptr;
}

QWidget* WindowHandle::Widget() const
{
    return IsWindow() ? m_state->widget.data() : nullptr;
}

bool PostMessage(const WindowHandle& window, UINT message, WPARAM wParam, LPARAM lParam, MessageRecord record)
{
    if (window.m_state == nullptr) {
        return false;
    }
    // Under the lock the receiver cannot be destroyed: a window invalidates its handle first.
    const std::lock_guard lock(window.m_state->mutex);
    if (window.m_state->receiver == nullptr) {
        return false;
    }
    QCoreApplication::postEvent(window.m_state->receiver,
                                new MessageEvent({message, wParam, lParam, std::move(record)}, nullptr));
    return true;
}

bool SendMessage(const WindowHandle& window, UINT message, WPARAM wParam, LPARAM lParam, MessageRecord record,
                 LRESULT* result)
{
    if (window.m_state == nullptr) {
        return false;
    }
    auto wait = std::make_shared<MessageEvent::Wait>();
    {
        std::unique_lock lock(window.m_state->mutex);
        QObject* receiver = window.m_state->receiver;
        if (receiver == nullptr) {
            return false;
        }
        if (receiver->thread() == QThread::currentThread()) {
            MessageTarget* target = window.m_state->target;
            lock.unlock();
            WindowMessage direct{message, wParam, lParam, std::move(record)};
            const LRESULT answer = target->Deliver(direct);
            if (result != nullptr) {
                *result = answer;
            }
            return true;
        }
        QCoreApplication::postEvent(receiver,
                                    new MessageEvent({message, wParam, lParam, std::move(record)}, wait));
    }
    return wait->Await(result);
}
