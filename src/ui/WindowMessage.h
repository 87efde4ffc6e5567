#pragma once

#include <cstdint>
#include <memory>
#include <typeinfo>
#include <utility>

// Window messages as the windows of the client speak them: the Windows message numbers and
// parameter types, so the message table of the client holds as written, and a record that belongs
// to the message. A record is handed over as a std::unique_ptr, taken by the receiver with its
// exact type, and destroyed with the message when nobody took it (a window that is gone, a
// receiver that did not expect it), so no path leaks it.

using UINT = unsigned int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_USER = 0x0400;

constexpr WPARAM WA_INACTIVE = 0;
constexpr WPARAM WA_ACTIVE = 1;

constexpr WPARAM SC_MINIMIZE = 0xF020;
constexpr WPARAM SC_MAXIMIZE = 0xF030;
constexpr WPARAM SC_CLOSE = 0xF060;
constexpr WPARAM SC_RESTORE = 0xF120;

constexpr WPARAM VK_TAB = 0x09;
constexpr WPARAM VK_RETURN = 0x0D;
constexpr WPARAM VK_ESCAPE = 0x1B;

// Window styles the windows ask for, and what they become (see WindowImplBase::Create).
constexpr uint32_t WS_POPUP = 0x80000000U;
constexpr uint32_t WS_VISIBLE = 0x10000000U;
constexpr uint32_t WS_CLIPSIBLINGS = 0x04000000U;
constexpr uint32_t WS_CLIPCHILDREN = 0x02000000U;
constexpr uint32_t WS_OVERLAPPEDWINDOW = 0x00CF0000U;
constexpr uint32_t WS_EX_TOOLWINDOW = 0x00000080U;
constexpr uint32_t WS_EX_TOPMOST = 0x00000008U;

// The heap record a message may carry: owns one object of any type and knows that type.
class MessageRecord
{
public:
    MessageRecord() = default;
    template <typename T>
    MessageRecord(std::unique_ptr<T> record) // NOLINT(google-explicit-constructor): a record is a record
        : m_object(record.release(), [](void* object) { delete static_cast<T*>(object); })
        , m_type(&typeid(T))
    {
    }

    [[nodiscard]] bool Empty() const { return m_object == nullptr; }

    // The record, when it is a T; it then belongs to the caller. Null (and the record stays with
    // the message) when there is none or it has another type.
    template <typename T>
    [[nodiscard]] std::unique_ptr<T> Take()
    {
        if (m_object == nullptr || *m_type != typeid(T)) {
            return nullptr;
        }
        m_type = nullptr;
        return std::unique_ptr<T>(static_cast<T*>(m_object.release()));
    }

private:
    std::unique_ptr<void, void (*)(void*)> m_object{nullptr, [](void*) {}};
    const std::type_info* m_type = nullptr;
};

struct WindowMessage
{
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    MessageRecord record;
};
