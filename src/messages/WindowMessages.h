#pragma once

#include "ui/MenuCommand.h"
#include "ui/WindowHandle.h"

#include <memory>
#include <type_traits>

// The client's own window messages and timer ids, with the record each message carries. The
// typed helpers below are the only way to post, send or take a message with a record, so a record
// of the wrong type does not compile, and a record always belongs to exactly one owner: the
// sender until the call, the message after it, the receiver once taken (a message that reaches no
// window, or whose record is not taken, destroys it).

struct PageRequest; // the page bridge's request of a page (sign in and open a paper, open a link)
struct HttpReply;   // an HTTP transport reply for the window that made the request

// Sent by the update download thread to the update window.
constexpr UINT WM_UPDATE_PROGRESS = 1010; // wParam: percent downloaded
constexpr UINT WM_UPDATE_FAILED = 1011;
constexpr UINT WM_UPDATE_DONE = 1012;

constexpr UINT WM_USER_TRAY_CALLBACK = WM_USER + 1;     // wParam: icon id 1; lParam: the mouse message
constexpr UINT WM_MENU_COMMAND = WM_USER + 3;           // record: MenuCommand
constexpr UINT WM_USER_SHOW_USER_LIST = WM_USER + 100;  // user-name edit's list button → login window
constexpr UINT WM_USER_HTTP_REPLY = WM_USER + 101;      // record: HttpReply
constexpr UINT WM_USER_LOGIN = WM_USER + 102;           // record: PageRequest
constexpr UINT WM_USER_IM_LOGIN_OK = WM_USER + 103;     // sent by the IM login completion
constexpr UINT WM_USER_IM_LOGIN_FAILED = WM_USER + 104; // posted by the IM login completion
constexpr UINT TIMER_ID_COUNTDOWN = WM_USER + 105;      // timer id, 1000 ms
constexpr UINT WM_USER_COUNTDOWN_TICK = WM_USER + 106;  // posted for TIMER_ID_COUNTDOWN only
constexpr UINT WM_USER_REGISTER_OK = WM_USER + 108;
constexpr UINT WM_USER_RESET_PWD_OK = WM_USER + 110;
constexpr UINT WM_USER_SHOW_LOGIN = WM_USER + 112;
constexpr UINT WM_USER_SHOW_REGISTER = WM_USER + 113;
constexpr UINT WM_USER_SHOW_RESET_PWD = WM_USER + 114;
constexpr UINT WM_USER_OPEN_HOMEPAGE = WM_USER + 115;
constexpr UINT WM_USER_OPEN_URL = WM_USER + 116; // record: PageRequest
constexpr UINT TIMER_ID_WEBVIEW = WM_USER + 117; // timer id, 200 ms
constexpr UINT WM_USER_WEBVIEW_REPAINT = WM_USER + 118;
constexpr UINT TIMER_ID_IM_LOGIN = WM_USER + 119; // timer id: the login window's limit for the IM sign-in

constexpr UINT kCountdownPeriodMs = 1000;
constexpr UINT kWebViewPeriodMs = 200;

// The record type of each message; void for a message without one.
template <UINT Message>
struct MessageRecordOf
{
    using type = void;
};
template <>
struct MessageRecordOf<WM_MENU_COMMAND>
{
    using type = MenuCommand;
};
template <>
struct MessageRecordOf<WM_USER_HTTP_REPLY>
{
    using type = HttpReply;
};
template <>
struct MessageRecordOf<WM_USER_LOGIN>
{
    using type = PageRequest;
};
template <>
struct MessageRecordOf<WM_USER_OPEN_URL>
{
    using type = PageRequest;
};
template <UINT Message>
using MessageRecord_t = typename MessageRecordOf<Message>::type;

// A message without a record.
template <UINT Message>
requires std::is_void_v<MessageRecord_t<Message>>
bool PostUserMessage(const WindowHandle& window, WPARAM wParam = 0, LPARAM lParam = 0)
{
    return PostMessage(window, Message, wParam, lParam);
}
template <UINT Message>
requires std::is_void_v<MessageRecord_t<Message>>
bool SendUserMessage(const WindowHandle& window, WPARAM wParam = 0, LPARAM lParam = 0)
{
    return SendMessage(window, Message, wParam, lParam);
}

// A message with its record.
template <UINT Message>
requires(!std::is_void_v<MessageRecord_t<Message>>) bool PostUserMessage(
    const WindowHandle& window, std::unique_ptr<MessageRecord_t<Message>> record)
{
    return PostMessage(window, Message, 0, 0, std::move(record));
}
template <UINT Message>
requires(!std::is_void_v<MessageRecord_t<Message>>) bool SendUserMessage(
    const WindowHandle& window, std::unique_ptr<MessageRecord_t<Message>> record)
{
    return SendMessage(window, Message, 0, 0, std::move(record));
}

// The receiver's side: the record of a message of that kind, now the caller's; null for another
// message or a missing record.
template <UINT Message>
requires(!std::is_void_v<MessageRecord_t<Message>>) std::unique_ptr<MessageRecord_t<Message>> TakeRecord(
    WindowMessage& message)
{
    return message.message == Message ? message.record.Take<MessageRecord_t<Message>>() : nullptr;
}

// The timer procedure shared by the countdowns: WM_USER_COUNTDOWN_TICK for TIMER_ID_COUNTDOWN,
// nothing for any other timer.
inline void CountdownTimerProc(const WindowHandle& window, UINT id)
{
    if (id == TIMER_ID_COUNTDOWN) {
        PostUserMessage<WM_USER_COUNTDOWN_TICK>(window);
    }
}
