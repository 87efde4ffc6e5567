#include "ui/WindowHandle.h"

#include "ui/MessageEvent.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <QWidget>

#include <vector>

namespace {

// The senders on other threads that wait for the UI thread, and whether they are refused.
struct WaitingSenders
{
    std::mutex mutex;
    int refusals = 0;
    std::vector<std::weak_ptr<MessageEvent::Wait>> waits;

    static WaitingSenders& Get()
    {
        static WaitingSenders senders;
        return senders;
    }
    // False when sends are refused now.
    bool Enter(const std::shared_ptr<MessageEvent::Wait>& wait)
    {
        const std::lock_guard lock(mutex);
        if (refusals > 0) {
            return false;
        }
        waits.push_back(wait);
        return true;
    }
    void Leave(const std::shared_ptr<MessageEvent::Wait>& wait)
    {
        const std::lock_guard lock(mutex);
        std::erase_if(waits, [&](const auto& entry) { return entry.expired() || entry.lock() == wait; });
    }
};

// A call handed to the UI thread, answered like a sent message.
class CallEvent final : public QEvent
{
public:
    static QEvent::Type EventType()
    {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    CallEvent(std::function<LRESULT()> work, std::shared_ptr<MessageEvent::Wait> wait)
        : QEvent(EventType())
        , m_work(std::move(work))
        , m_wait(std::move(wait))
    {
    }
    ~CallEvent() override { m_wait->Finish(false, 0); }
    CallEvent(const CallEvent&) = delete;
    CallEvent& operator=(const CallEvent&) = delete;

    void Run()
    {
        if (!m_wait->Done()) {
            const LRESULT answer = m_work();
            m_wait->Finish(true, answer);
        }
    }

private:
    std::function<LRESULT()> m_work;
    std::shared_ptr<MessageEvent::Wait> m_wait;
};

// Receives the calls on the UI thread.
class UiThreadCalls final : public QObject
{
public:
    static UiThreadCalls* Get()
    {
        // Made on whatever thread asks first, then handed to the UI thread; kept for the process.
        static UiThreadCalls* const calls = [] {
            auto* object = new UiThreadCalls;
            object->moveToThread(QCoreApplication::instance()->thread());
            return object;
        }();
        return calls;
    }

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == CallEvent::EventType()) {
            static_cast<CallEvent*>(event)->Run();
            return true;
        }
        return QObject::event(event);
    }
};

} // namespace

std::optional<LRESULT> CallOnUiThread(std::function<LRESULT()> work)
{
    if (QCoreApplication::instance() == nullptr) {
        return std::nullopt;
    }
    if (QThread::currentThread() == QCoreApplication::instance()->thread()) {
        return work();
    }
    auto wait = std::make_shared<MessageEvent::Wait>();
    if (!WaitingSenders::Get().Enter(wait)) {
        return std::nullopt;
    }
    QCoreApplication::postEvent(UiThreadCalls::Get(), new CallEvent(std::move(work), wait));
    LRESULT answer = 0;
    const bool ran = wait->Await(&answer);
    WaitingSenders::Get().Leave(wait);
    return ran ? std::optional<LRESULT>(answer) : std::nullopt;
}

CrossThreadSendsRefused::CrossThreadSendsRefused()
{
    auto& senders = WaitingSenders::Get();
    const std::lock_guard lock(senders.mutex);
    ++senders.refusals;
    for (const auto& entry : senders.waits) {
        if (const auto wait = entry.lock()) {
            wait->Finish(false, 0);
        }
    }
}

CrossThreadSendsRefused::~CrossThreadSendsRefused()
{
    auto& senders = WaitingSenders::Get();
    const std::lock_guard lock(senders.mutex);
    --senders.refusals;
}

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
        if (!WaitingSenders::Get().Enter(wait)) {
            return false;
        }
        QCoreApplication::postEvent(receiver,
                                    new MessageEvent({message, wParam, lParam, std::move(record)}, wait));
    }
    const bool delivered = wait->Await(result);
    WaitingSenders::Get().Leave(wait);
    return delivered;
}
