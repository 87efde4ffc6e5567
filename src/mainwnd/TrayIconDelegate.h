#pragma once

// What the tray icon reports of the mouse; each does nothing unless the owner overrides it.
class TrayIconDelegate
{
public:
    virtual void OnLeftButtonUp() { }
    virtual void OnLeftDoubleClick() { }
    virtual void OnRightButtonUp() { }
    virtual void OnRightDoubleClick() { }

protected:
    ~TrayIconDelegate() = default;
};
