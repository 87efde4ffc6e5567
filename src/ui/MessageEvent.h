#pragma once

#include "ui/WindowMessage.h"

#include <QEvent>

#include <condition_variable>
#include <memory>
#include <mutex>

// A window message on its way through Qt's event queue to a window's native window. A message that
// is sent (rather than posted) carries the sender's wait; whether the event is handled or destroyed
// unhandled (its window went away first), the wait ends exactly once.
class MessageEvent final : public QEvent
{
public:
    class Wait
    {
    public:
        void Finish(bool delivered, LRESULT result)
        {
            {
                const std::lock_guard lock(m_mutex);
                if (m_done) {
                    return;
                }
                m_done = true;
                m_delivered = delivered;
                m_result = result;
            }
            m_finished.notify_all();
        }
        [[nodiscard]] bool Done()
        {
            const std::lock_guard lock(m_mutex);
            return m_done;
        }
        bool Await(LRESULT* result)
        {
            std::unique_lock lock(m_mutex);
            m_finished.wait(lock, [&] { return m_done; });
            if (result != nullptr) {
                *result = m_result;
            }
            return m_delivered;
        }

    private:
        std::mutex m_mutex;
        std::condition_variable m_finished;
        bool m_done = false;
        bool m_delivered = false;
        LRESULT m_result = 0;
    };

    static QEvent::Type EventType()
    {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }

    MessageEvent(WindowMessage message, std::shared_ptr<Wait> wait)
        : QEvent(EventType())
        , m_message(std::move(message))
        , m_wait(std::move(wait))
    {
    }
    ~MessageEvent() override
    {
        if (m_wait != nullptr) {
            m_wait->Finish(false, 0);
        }
    }
    MessageEvent(const MessageEvent&) = delete;
    MessageEvent& operator=(const MessageEvent&) = delete;

    WindowMessage& Message() { return m_message; }
    // A sent message whose sender was already told it was not delivered: it must not be handled.
    [[nodiscard]] bool Abandoned() const { return m_wait != nullptr && m_wait->Done(); }
    void Answer(LRESULT result)
    {
        if (m_wait != nullptr) {
            m_wait->Finish(true, result);
        }
    }

private:
    WindowMessage m_message;
    std::shared_ptr<Wait> m_wait;
};
