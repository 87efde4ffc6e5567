#pragma once

#include <QString>

#include <functional>

class CControlUI;
class CPaintManagerUI;

// Builds a control tree from a layout file of the skin folder. The root element "Window" carries
// the window's size, caption area and fonts (applied to the paint manager); its one child is the
// root control. A file whose root is a control builds just that control (a list row).
class CDialogBuilder
{
public:
    // Asked first for each element name; returns null to let the toolkit's classes apply.
    using ControlCallback = std::function<CControlUI*(const QString& className)>;

    // The new tree (owned by the caller), or null when the file cannot be read or parsed; error
    // then says why.
    CControlUI* Create(const QString& layoutFile, CPaintManagerUI* manager,
                       const ControlCallback& callback = {});
    [[nodiscard]] QString GetError() const { return m_error; }
    // The "size" of the last window element read (0×0 when none).
    [[nodiscard]] int GetWidth() const { return m_width; }
    [[nodiscard]] int GetHeight() const { return m_height; }

private:
    QString m_error;
    int m_width = 0;
    int m_height = 0;
};
