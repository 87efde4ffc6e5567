#include "GuiTestSupport.h"
#include "TestSupport.h"
#include "messages/WindowMessages.h"
#include "ui/ControlFactory.h"
#include "ui/DialogBuilder.h"
#include "ui/EditUI.h"
#include "ui/LabelUI.h"
#include "ui/ListUI.h"
#include "ui/MenuWnd.h"
#include "ui/OptionUI.h"
#include "ui/ProgressUI.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>

using namespace GuiTestSupport;
using TestSupport::WaitFor;

namespace {

bool Has(const std::vector<QString>& list, const QString& item)
{
    return std::find(list.begin(), list.end(), item) != list.end();
}

class ToolkitTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_window.Create({}, QStringLiteral("toolkit"), WS_POPUP, 0);
        m_window.ShowWindow();
        QApplication::setActiveWindow(m_window.GetWidget());
    }

    RecordingWindow m_window{TestLayout(QStringLiteral("Toolkit.xml"))};
};

TEST_F(ToolkitTest, ControlsComeFromTheLayoutWithTheirAttributes)
{
    EXPECT_EQ(m_window.GetWidget()->size(), QSize(420, 320));
    CControlUI* title = m_window.FindControl(QStringLiteral("title"));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->GetText(), QStringLiteral("工具箱"));
    EXPECT_EQ(title->GetClass(), QStringLiteral("LabelUI"));
    EXPECT_FALSE(m_window.FindControl(QStringLiteral("restorebtn"))->IsVisible());
    EXPECT_EQ(m_window.FindControl(QStringLiteral("nothing")), nullptr);

    title->SetAttribute(QStringLiteral("bordercolor"), QStringLiteral("#FFFF0000"));
    EXPECT_EQ(title->GetAttribute(QStringLiteral("bordercolor")), QStringLiteral("#FFFF0000"));
    EXPECT_TRUE(title->GetWidget()->styleSheet().contains(QStringLiteral("rgba(255, 0, 0, 255)")));
    title->SetEnabled(false);
    EXPECT_FALSE(title->IsEnabled());

    auto* progress = m_window.FindControl<CProgressUI>(QStringLiteral("progress"));
    progress->SetValue(42);
    EXPECT_EQ(progress->GetValue(), 42);

    auto* markup = m_window.FindControl<CLabelUI>(QStringLiteral("markup"));
    markup->SetText(QStringLiteral("<c #FF0000>3s</c>后自动关闭 <b>"));
    const QString shown = static_cast<QLabel*>(markup->GetWidget())->text();
    EXPECT_TRUE(shown.contains(QStringLiteral("<span style=\"color:#ff0000\">3s</span>")))
        << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("&lt;b&gt;"))) << "other markup is shown as written";
}

TEST_F(ToolkitTest, OnlyUserActionsRaiseNotifications)
{
    auto* option = m_window.FindControl<COptionUI>(QStringLiteral("option"));
    auto* edit = m_window.FindControl<CEditUI>(QStringLiteral("first"));
    option->Selected(true, false);
    edit->SetText(QStringLiteral("from code"));
    EXPECT_TRUE(option->IsSelected());
    EXPECT_FALSE(Has(m_window.notifications, QStringLiteral("selectchanged:option")));
    EXPECT_FALSE(Has(m_window.notifications, QStringLiteral("textchanged:first")));

    Click(option);
    EXPECT_FALSE(option->IsSelected());
    EXPECT_TRUE(Has(m_window.notifications, QStringLiteral("click:option")));
    EXPECT_TRUE(Has(m_window.notifications, QStringLiteral("selectchanged:option")));
    edit->SetFocus();
    QTest::keyClicks(edit->GetWidget(), QStringLiteral("x"));
    EXPECT_TRUE(Has(m_window.notifications, QStringLiteral("setfocus:first")));
    EXPECT_TRUE(Has(m_window.notifications, QStringLiteral("textchanged:first")));
}

TEST_F(ToolkitTest, TitleBarButtonsMaximiseRestoreAndClose)
{
    Click(m_window.FindControl(QStringLiteral("maxbtn")));
    EXPECT_TRUE(m_window.GetWidget()->isMaximized());
    EXPECT_FALSE(m_window.FindControl(QStringLiteral("maxbtn"))->IsVisible());
    EXPECT_TRUE(m_window.FindControl(QStringLiteral("restorebtn"))->IsVisible());
    Click(m_window.FindControl(QStringLiteral("restorebtn")));
    EXPECT_FALSE(m_window.GetWidget()->isMaximized());
    EXPECT_TRUE(m_window.FindControl(QStringLiteral("maxbtn"))->IsVisible());
    EXPECT_FALSE(m_window.FindControl(QStringLiteral("restorebtn"))->IsVisible());
    // The desktop maximises and restores the window by itself (a shortcut, a double click on its
    // title bar): the buttons follow.
    for (const bool maximized : {true, false}) {
        m_window.GetWidget()->setWindowState(maximized ? Qt::WindowMaximized : Qt::WindowNoState);
        EXPECT_EQ(m_window.FindControl(QStringLiteral("maxbtn"))->IsVisible(), !maximized);
        EXPECT_EQ(m_window.FindControl(QStringLiteral("restorebtn"))->IsVisible(), maximized);
    }

    ScheduleWhileModal([&] { Click(m_window.FindControl(QStringLiteral("closebtn"))); });
    EXPECT_EQ(m_window.ShowModal(), 1U);
    EXPECT_FALSE(m_window.GetHWND().IsWindow());
    EXPECT_NE(std::find(m_window.messages.begin(), m_window.messages.end(), WM_DESTROY),
              m_window.messages.end());
}

TEST_F(ToolkitTest, SystemCloseBecomesWmClose)
{
    SendMessage(m_window.GetHWND(), WM_SYSCOMMAND, SC_CLOSE);
    EXPECT_NE(std::find(m_window.messages.begin(), m_window.messages.end(), WM_CLOSE),
              m_window.messages.end());
    EXPECT_FALSE(m_window.GetHWND().IsWindow());
}

TEST_F(ToolkitTest, EscapeIsSwallowedEnterGoesOnAndTabMovesTheFocus)
{
    auto* first = m_window.FindControl<CEditUI>(QStringLiteral("first"));
    auto* second = m_window.FindControl<CEditUI>(QStringLiteral("second"));
    auto* line = static_cast<QLineEdit*>(first->GetWidget());
    QSignalSpy returns(line, &QLineEdit::returnPressed);
    // Every press reaches the window's key filters once, however far it travels up the parents.
    struct KeyLog final : IMessageFilterUI
    {
        std::vector<WPARAM> keys;
        LRESULT MessageHandler(UINT message, WPARAM wParam, LPARAM, bool&) override
        {
            if (message == WM_KEYDOWN) {
                keys.push_back(wParam);
            }
            return 0;
        }
    } seen;
    m_window.GetPaintManager().AddMessageFilter(&seen);
    first->SetFocus();
    QTest::keyClick(line, Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_window.GetHWND().IsWindow());
    QTest::keyClick(line, Qt::Key_Return);
    EXPECT_EQ(returns.count(), 1);

    QTest::keyClick(line, Qt::Key_Tab);
    EXPECT_TRUE(second->IsFocused());
    QTest::keyClick(second->GetWidget(), Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_TRUE(first->IsFocused());
    // The window's own filter takes Escape first. Return goes on up through the parents and is
    // still seen once; the 0 is the Shift key that QTest presses before Shift+Tab.
    EXPECT_EQ(seen.keys, (std::vector<WPARAM>{VK_RETURN, VK_TAB, 0, VK_TAB}));
    m_window.GetPaintManager().RemoveMessageFilter(&seen);
}

TEST_F(ToolkitTest, TheCaptionIsWhereTheLayoutSaysAndNotOverButtons)
{
    CPaintManagerUI& manager = m_window.GetPaintManager();
    const QWidget* title = m_window.FindControl(QStringLiteral("title"))->GetWidget();
    const QWidget* close = m_window.FindControl(QStringLiteral("closebtn"))->GetWidget();
    EXPECT_TRUE(manager.IsCaptionAt(title->geometry().center()));
    EXPECT_FALSE(manager.IsCaptionAt(close->mapTo(m_window.GetWidget(), close->rect().center())));
    EXPECT_FALSE(manager.IsCaptionAt(QPoint(10, 200)));
}

TEST_F(ToolkitTest, ListRowsAreBuiltFromTheirOwnLayoutAndReportClicks)
{
    auto* list = m_window.FindControl<CListUI>(QStringLiteral("list"));
    for (const QString text : {"13800138000", "13900139000"}) {
        CDialogBuilder builder;
        CControlUI* row =
            builder.Create(TestLayout(QStringLiteral("ListRow.xml")), &m_window.GetPaintManager());
        ASSERT_NE(row, nullptr) << builder.GetError().toStdString();
        ASSERT_TRUE(list->AddItem(row));
        static_cast<CContainerUI*>(row)->GetItemAt(0)->SetText(text);
        row->SetName(QStringLiteral("row_") + text);
    }
    EXPECT_EQ(list->GetCount(), 2);
    QCoreApplication::processEvents();
    QTest::mouseClick(list->GetItemAt(1)->GetWidget(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(Has(m_window.notifications, QStringLiteral("itemclick:row_13900139000")));
    EXPECT_TRUE(list->RemoveItem(list->GetItemAt(0)));
    EXPECT_EQ(list->GetCount(), 1);
    EXPECT_EQ(m_window.FindControl(QStringLiteral("row_13800138000")), nullptr);
}

TEST_F(ToolkitTest, MenuChoicePostsTheEntryAndClicksInTheOwner)
{
    std::unique_ptr<MenuCommand> chosen;
    m_window.onMessage = [&](WindowMessage& message) {
        if (auto command = TakeRecord<WM_MENU_COMMAND>(message)) {
            chosen = std::move(command);
        }
    };
    // The owner may open a modal window from the click: by then the menu is gone from the screen
    // and holds no grab.
    bool menuShownAtClick = true;
    QWidget* popupAtClick = nullptr;
    CMenuWnd* menu = CMenuWnd::Show(&m_window, TestLayout(QStringLiteral("Menu.xml")), QPoint(40, 40));
    ASSERT_EQ(QApplication::activePopupWidget(), menu->GetWidget());
    m_window.onNotify = [&](TNotifyUI& msg) {
        if (msg.sType == QLatin1String("click")) {
            menuShownAtClick = menu->GetWidget()->isVisible();
            popupAtClick = QApplication::activePopupWidget();
        }
    };
    Click(menu->FindControl(QStringLiteral("menu_settings")));
    EXPECT_FALSE(menuShownAtClick);
    EXPECT_EQ(popupAtClick, nullptr);
    ASSERT_TRUE(WaitFor([&] { return chosen != nullptr; }));
    EXPECT_EQ(chosen->name, QStringLiteral("menu_settings"));
    EXPECT_TRUE(Has(m_window.notifications, QStringLiteral("click:menu_settings")));
}

// A stand-in for the web view: a control whose class name marks it as one, with a widget that
// takes the Tab key for itself as a page does.
class TabTakingWidget final : public QWidget
{
public:
    int tabs = 0;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Tab) {
            ++tabs;
            return true;
        }
        return QWidget::event(event);
    }
};

class FakeWebView final : public CControlUI
{
public:
    FakeWebView()
        : CControlUI(new TabTakingWidget)
    {
        GetWidget()->setFocusPolicy(Qt::StrongFocus);
    }
    [[nodiscard]] QString GetClass() const override { return QStringLiteral("FakeWkeWebkitUI"); }
    [[nodiscard]] int Tabs() const { return static_cast<TabTakingWidget*>(GetWidget())->tabs; }
};

TEST(ToolkitKeys, TabGoesOnToTheWebView)
{
    CControlFactory::GetInstance()->RegistControl(QStringLiteral("FakeWkeWebkitUI"),
                                                  [] { return static_cast<CControlUI*>(new FakeWebView); });
    RecordingWindow window(TestLayout(QStringLiteral("WebLike.xml")));
    window.Create({}, QStringLiteral("web"), WS_POPUP, 0);
    window.ShowWindow();
    QApplication::setActiveWindow(window.GetWidget());
    CControlUI* web = window.FindControl(QStringLiteral("web"));
    ASSERT_NE(web, nullptr);
    web->SetFocus();
    QTest::keyClick(web->GetWidget(), Qt::Key_Tab);
    EXPECT_TRUE(web->IsFocused());
    EXPECT_EQ(static_cast<FakeWebView*>(web)->Tabs(), 1) << "the page gets the Tab key";
    web->SetEnabled(false);
    window.FindControl(QStringLiteral("before"))->SetFocus();
    QTest::keyClick(window.FindControl(QStringLiteral("before"))->GetWidget(), Qt::Key_Tab);
    EXPECT_TRUE(window.FindControl(QStringLiteral("after"))->IsFocused()) << "a disabled view is skipped";
}

TEST(ToolkitLayout, AMissingOrBrokenLayoutEndsTheProcessAfterSayingSo)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const QString layout : {"Broken.xml", "NoSuchLayout.xml"}) {
        EXPECT_EXIT(
            {
                ScheduleWhileModal([] {
                    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                    std::cerr << box->windowTitle().toStdString() << ": " << box->text().toStdString()
                              << std::endl;
                    box->accept();
                });
                RecordingWindow window(TestLayout(layout));
                window.Create({}, QStringLiteral("broken"), WS_POPUP, 0);
            },
            ::testing::ExitedWithCode(1), "Duilib: 加载资源文件失败：.*" + layout.toStdString());
    }
}

} // namespace
