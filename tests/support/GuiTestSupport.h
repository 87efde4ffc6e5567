#pragma once

#include "ui/WindowImplBase.h"

#include <QString>

#include <functional>
#include <vector>

class CControlUI;

// Helpers for the tests that build windows from their layouts.
namespace GuiTestSupport {

// A layout file of the tests (tests/gui/layouts/), as an absolute path.
[[nodiscard]] QString TestLayout(const QString& name);

// Runs action once the window on top (shown modally by the call that follows) is up. Use before
// a Show call that blocks: ScheduleWhileModal([&] { ...; click a button; }); Box::Show(...).
void ScheduleWhileModal(std::function<void()> action);

// Clicks a control's widget with the left button.
void Click(CControlUI* control);

// Every visible control lies inside the window and has at least the width and height its layout
// fixes (a squeezed control is drawn clipped).
void ExpectNothingSqueezed(QWidget* window);

// Checks that nothing is squeezed, then saves a picture of the window under the build's gallery
// folder; returns its path.
QString SaveToGallery(QWidget* window, const QString& name);

// A window with a layout of the tests that records the messages and notifications it gets.
class RecordingWindow : public WindowImplBase
{
public:
    explicit RecordingWindow(QString layout)
        : m_layout(std::move(layout))
    {
    }
    std::vector<UINT> messages;
    std::vector<QString> notifications; // "type:sender"
    std::function<CControlUI*(const QString&)> createControl;
    std::function<void(WindowMessage&)> onMessage;
    std::function<void(TNotifyUI&)> onNotify;

    void Notify(TNotifyUI& msg) override;

protected:
    [[nodiscard]] QString GetLayoutFile() const override { return m_layout; }
    [[nodiscard]] QString GetWindowClassName() const override { return QStringLiteral("RecordingWindow"); }
    LRESULT HandleMessage(WindowMessage& message) override;
    CControlUI* CreateControl(const QString& className) override
    {
        return createControl ? createControl(className) : nullptr;
    }

private:
    QString m_layout;
};

} // namespace GuiTestSupport
