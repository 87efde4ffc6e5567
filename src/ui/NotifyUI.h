#pragma once

#include "ui/WindowMessage.h"

#include <QString>

#include <cstdint>

class CControlUI;

// One notification of a control to its window: "click", "textchanged", "selectchanged",
// "itemclick", "setfocus", "killfocus", "mouseenter" or "mouseleave".
struct TNotifyUI
{
    QString sType;
    CControlUI* pSender = nullptr;
    int64_t dwTimestamp = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// Receives every notification of the window it is registered with.
class INotifyUI
{
public:
    virtual void Notify(TNotifyUI& msg) = 0;

protected:
    ~INotifyUI() = default;
};
