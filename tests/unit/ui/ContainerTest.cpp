#include "GuiTestSupport.h"
#include "account/AccountEditFactory.h"
#include "ui/ContainerUI.h"
#include "ui/PaintManagerUI.h"

#include <gtest/gtest.h>

using GuiTestSupport::RecordingWindow;
using GuiTestSupport::TestLayout;

namespace {

// A composite edit listens to its window's notifications; removed from its container (and so
// deleted), it must stop listening, or the window calls freed memory with the next notification.
TEST(Container, ARemovedListeningControlHearsNothingMore)
{
    RecordingWindow window(TestLayout(QStringLiteral("EditFields.xml")));
    window.createControl = [&](const QString& name) {
        return CreateAccountEdit(name, window.GetPaintManager());
    };
    window.Create({}, QStringLiteral("fields"), WS_POPUP, 0);
    auto* root = dynamic_cast<CContainerUI*>(window.GetPaintManager().GetRoot());
    ASSERT_NE(root, nullptr);
    for (const char* name : {"user", "pwd"}) {
        CControlUI* field = window.FindControl(QString::fromLatin1(name));
        ASSERT_NE(field, nullptr) << name;
        ASSERT_TRUE(root->Remove(field));
        EXPECT_EQ(window.FindControl(QString::fromLatin1(name)), nullptr);
    }
    CControlUI* code = window.FindControl(QStringLiteral("code"));
    ASSERT_NE(code, nullptr);
    for (const char* type : {"setfocus", "killfocus", "textchanged", "click"}) {
        window.GetPaintManager().SendNotify(code, QString::fromLatin1(type));
    }
    EXPECT_EQ(window.notifications.size(), 4U);
}

} // namespace
