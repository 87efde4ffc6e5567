// The main window on the real toolkit and web engine, offscreen: its menus and where they sit,
// close and the notification area, the IM session's handlers, the openers' rule for a window that
// is still open, and the home button on an exam page.
#include "CapturingSink.h"
#include "GuiTestSupport.h"
#include "LoopbackHttpServer.h"
#include "TestSupport.h"

#include "account/CurrentTicket.h"
#include "account/LoginForm.h"
#include "diag/Log.h"
#include "dialogs/MessageBoxTip.h"
#include "im/NimTypes.h"
#include "im/SDKInstance.h"
#include "mainwnd/MainForm.h"
#include "mainwnd/TrayBackend.h"
#include "mainwnd/TrayIcon.h"
#include "mainwnd/WebPage.h"
#include "mainwnd/WkeWebkitUI.h"
#include "messages/PageRequest.h"
#include "messages/WindowMessages.h"
#include "service/OrvaManager.h"
#include "settings/ConfigService.h"
#include "ui/ButtonUI.h"
#include "ui/ControlFactory.h"
#include "ui/MenuCommand.h"
#include "ui/MenuWnd.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <QWebEngineProfile>

#include <gtest/gtest.h>

#include <thread>

using namespace GuiTestSupport;
using TestSupport::TempFolder;
using TestSupport::WaitFor;
using namespace std::chrono_literals;

namespace {

// The notification area as the tests see it.
class FakeTray final : public TrayBackend
{
public:
    [[nodiscard]] bool IsAvailable() const override { return available; }
    bool Add(const QIcon&, const QString& text) override
    {
        ++adds;
        shown = true;
        tip = text;
        return true;
    }
    void Modify(const QIcon&, const QString& text) override { tip = text; }
    void Remove() override { shown = false; }
    void ShowMessage(const QString& title, const QString& text, const QIcon&) override
    {
        balloons.emplace_back(title, text);
    }

    bool available = true;
    bool shown = false;
    int adds = 0;
    QString tip;
    std::vector<std::pair<QString, QString>> balloons;
};

// Closes any modal box that comes up while it lives, and counts them: a handler that should show
// nothing is caught showing something instead of hanging the test.
class BoxWatch
{
public:
    BoxWatch()
    {
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && modal->isVisible()) {
                ++boxes;
                if (CControlUI* no =
                        CMessageBoxTip::Current()->FindControl(QStringLiteral("msg_box_btn_no"))) {
                    Click(no);
                }
            }
        });
        m_timer.start();
    }
    int boxes = 0;

private:
    QTimer m_timer;
};

const std::string kExamPage =
    "<!DOCTYPE html><html><head><meta charset=utf-8><title>exam</title></head><body>exam</body></html>";

class MainWindowTest : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_home = new TempFolder;
        qputenv("XDG_DATA_HOME", s_home->File("data").toUtf8());
        qputenv("XDG_CACHE_HOME", s_home->File("cache").toUtf8());
        qputenv("XDG_CONFIG_HOME", s_home->File("config").toUtf8());
        CControlFactory::GetInstance()->RegistControl(QStringLiteral("CWkeWebkitUI"), &CreateWkeWebkitUI);
        auto tray = std::make_unique<FakeTray>();
        s_tray = tray.get();
        TrayIcon::Get().SetBackend(std::move(tray));
        s_server = new LoopbackHttpServer([](const LoopbackHttpServer::Request&) {
            LoopbackHttpServer::Response response;
            response.contentType = "text/html; charset=utf-8";
            response.body = kExamPage;
            return response;
        });
    }
    static void TearDownTestSuite()
    {
        delete s_server;
        delete s_home;
    }

    MainWindowTest()
    {
        s_tray->available = true;
        s_tray->balloons.clear();
        static_cast<void>(CConfigService::Instance().SetWinHide(QStringLiteral("OrvaWinHide"), false));
        m_form->Create(WindowHandle(), QStringLiteral("Examora"), 0x100, 0x60000);
        m_form->CenterWindow();
        m_form->ShowWindow(true, true);
    }
    ~MainWindowTest() override
    {
        m_form->GetWidget()->hide();
        // The window's object goes with the test; its native window first.
        delete m_form->GetWidget();
        delete m_form;
    }

    [[nodiscard]] QWidget* Widget() const { return m_form->GetWidget(); }

    static TempFolder* s_home;
    static FakeTray* s_tray;
    static LoopbackHttpServer* s_server;
    CMainForm* m_form = new CMainForm;
};

TempFolder* MainWindowTest::s_home = nullptr;
FakeTray* MainWindowTest::s_tray = nullptr;
LoopbackHttpServer* MainWindowTest::s_server = nullptr;

TEST_F(MainWindowTest, OpensOnTheQuestionBankHomeWithItsIconInTheTray)
{
    CWkeWebkitUI* web = m_form->WebView();
    ASSERT_NE(web, nullptr);
    EXPECT_TRUE(web->GetHomeUrl().endsWith(QLatin1String("/Simulation/Subjects/31")))
        << web->GetHomeUrl().toStdString();
    EXPECT_TRUE(web->GetHomeUrl().startsWith(web->GetBaseUrl()));
    EXPECT_EQ(web->Page()->profile()->httpUserAgent().left(34),
              QStringLiteral("Mozilla/5.0 (iPhone; CPU iPhone OS"));
    EXPECT_TRUE(s_tray->shown);
    EXPECT_EQ(s_tray->tip, QStringLiteral("Examora"));
    EXPECT_GE(Widget()->minimumWidth(), 800);
    for (const char* name : {"main_btn_home", "main_btn_refresh", "main_btn_set", "main_btn_min",
                             "main_btn_max", "main_btn_close"}) {
        ASSERT_NE(m_form->FindControl(QString::fromLatin1(name)), nullptr) << name;
        EXPECT_TRUE(m_form->FindControl(QString::fromLatin1(name))->IsVisible()) << name;
    }
    EXPECT_FALSE(m_form->FindControl(QStringLiteral("main_btn_restore"))->IsVisible());
    SaveToGallery(Widget(), QStringLiteral("main-window"));
}

TEST_F(MainWindowTest, TheSettingsMenuSitsUnderItsButtonAndOffersSignIn)
{
    auto* set = m_form->FindControl<CButtonUI>(QStringLiteral("main_btn_set"));
    Click(set);
    CMenuWnd* menu = m_form->SettingsMenu();
    ASSERT_NE(menu, nullptr);
    const QWidget* button = set->GetWidget();
    EXPECT_EQ(menu->GetWidget()->pos(),
              button->mapToGlobal(QPoint(button->width() / 2 - 58, button->height() - 6)));
    for (const char* name :
         {"lgoin_menu_login", "lgoin_menu_sysset", "lgoin_main_menu_aboutus", "lgoin_main_menu_quit"}) {
        EXPECT_NE(menu->FindControl(QString::fromLatin1(name)), nullptr) << name;
    }
    EXPECT_EQ(menu->FindControl(QStringLiteral("change_main_menu_change")), nullptr);
    SaveToGallery(menu->GetWidget(), QStringLiteral("main-settings-menu"));

    // An entry opens its window modally; the menu is gone by then.
    QString opened;
    ScheduleWhileModal([&] {
        opened = QApplication::activeModalWidget()->windowTitle();
        QApplication::activeModalWidget()->close();
    });
    Click(menu->FindControl(QStringLiteral("lgoin_main_menu_aboutus")));
    ASSERT_TRUE(WaitFor([&] { return !opened.isEmpty(); }));
    EXPECT_EQ(opened, QStringLiteral("关于Examora"));
    EXPECT_TRUE(WaitFor([&] { return m_form->SettingsMenu() == nullptr; }));
}

TEST_F(MainWindowTest, TheTrayMenuOpensAboveThePointAndStaysOnTheDesktop)
{
    const QRect desktop = QGuiApplication::primaryScreen()->geometry();
    m_form->ShowTrayMenu(200, 500);
    CMenuWnd* menu = m_form->TrayMenu();
    ASSERT_NE(menu, nullptr);
    const QRect near = menu->GetWidget()->geometry();
    EXPECT_EQ(near.bottomLeft() + QPoint(0, 1), QPoint(200, 500));
    for (const char* name : {"menu_try_home", "menu_try_syset", "menu_try_out"}) {
        EXPECT_NE(menu->FindControl(QString::fromLatin1(name)), nullptr) << name;
    }
    SaveToGallery(menu->GetWidget(), QStringLiteral("tray-menu"));

    const int x = desktop.right() - 10;
    m_form->ShowTrayMenu(x, 500);
    const QRect edge = m_form->TrayMenu()->GetWidget()->geometry();
    EXPECT_LE(edge.right(), desktop.right());
    EXPECT_EQ(edge.right() + 1, x);
    // Near the top of the desktop (a panel up there) it opens below the point.
    m_form->ShowTrayMenu(200, desktop.top() + 10);
    EXPECT_EQ(m_form->TrayMenu()->GetWidget()->geometry().topLeft(), QPoint(200, desktop.top() + 10));
    // The tray's right click opens it too.
    m_form->TrayMenu()->Close(0);
    s_tray->onMouse(TrayBackend::Mouse::RightUp);
    EXPECT_NE(m_form->TrayMenu(), nullptr);
}

TEST_F(MainWindowTest, CloseHidesInTheTrayWhenAskedAndMinimisesWhenThereIsNoTray)
{
    // Without the preference a close would end the client: that is the end-to-end tests' part.
    ASSERT_TRUE(CConfigService::Instance().SetWinHide(QStringLiteral("OrvaWinHide"), true));
    SendMessage(m_form->GetHWND(), WM_CLOSE);
    EXPECT_FALSE(Widget()->isVisible());
    EXPECT_TRUE(s_tray->shown);
    s_tray->onMouse(TrayBackend::Mouse::LeftDoubleClick);
    EXPECT_TRUE(Widget()->isVisible());

    SendMessage(m_form->GetHWND(), WM_CLOSE);
    ASSERT_FALSE(Widget()->isVisible());
    PostMessage(m_form->GetHWND(), WM_MENU_COMMAND, 0, 0,
                std::make_unique<MenuCommand>(MenuCommand{"menu_try_home"}));
    EXPECT_TRUE(WaitFor([&] { return Widget()->isVisible(); }));

    // No notification area: hiding would leave the window out of reach.
    s_tray->available = false;
    SendMessage(m_form->GetHWND(), WM_CLOSE);
    EXPECT_TRUE(Widget()->isVisible());
    EXPECT_TRUE(WaitFor([&] { return Widget()->isMinimized(); }));
    m_form->ShowFromTray();
    EXPECT_FALSE(Widget()->isMinimized());
}

TEST_F(MainWindowTest, TheTrayComesBackWithTheNotificationArea)
{
    const int adds = s_tray->adds;
    s_tray->available = false;
    // One look at the notification area finds it gone...
    static_cast<void>(
        WaitFor([] { return false; }, std::chrono::milliseconds(TrayIcon::kWatchPeriodMs + 500)));
    // ...the next one finds it back, and the icon is added anew.
    s_tray->available = true;
    ASSERT_TRUE(WaitFor([&] { return s_tray->adds > adds; },
                        std::chrono::milliseconds(TrayIcon::kWatchPeriodMs * 3)));
    EXPECT_EQ(s_tray->tip, QStringLiteral("Examora"));
}

TEST_F(MainWindowTest, ImEventsFromTheLibrarysThreadBecomeBalloonsInOrder)
{
    const nim::SDKInstance::Registered handlers = nim::SDKInstance::Get().Callbacks();
    ASSERT_TRUE(handlers.disconnect && handlers.relogin && handlers.kickout && handlers.receiveMany);
    std::thread library([&] {
        handlers.disconnect();
        handlers.relogin(nim::LoginRes{200, 3, true, false});
        handlers.relogin(nim::LoginRes{200, 3, false, false}); // a first sign-in, not a restored one
        handlers.relogin(nim::LoginRes{408, 3, true, false});
        handlers.disconnect();
    });
    library.join();
    ASSERT_TRUE(WaitFor([&] { return s_tray->balloons.size() == 3; }));
    EXPECT_EQ(s_tray->balloons[0], std::make_pair(QStringLiteral("Examora"), QStringLiteral("您已断线")));
    EXPECT_EQ(s_tray->balloons[1], std::make_pair(QStringLiteral("Examora"), QStringLiteral("恢复通讯")));
    EXPECT_EQ(s_tray->balloons[2], std::make_pair(QStringLiteral("Examora"), QStringLiteral("您已断线")));

    // Texts are cut to what a balloon holds, never inside a character.
    const QString emoji = QStringLiteral("\U0001F600");
    EXPECT_EQ(TrayIcon::Cut(QString(254, QLatin1Char('a')) + emoji, TrayIcon::kBalloonTextLength).size(),
              254);
    EXPECT_EQ(TrayIcon::Cut(QString(300, QLatin1Char('a')), TrayIcon::kBalloonTextLength).size(), 255);
    EXPECT_EQ(TrayIcon::Cut(QStringLiteral("短"), TrayIcon::kTipLength), QStringLiteral("短"));
}

TEST_F(MainWindowTest, NoticesAndKickOutsForAnotherSessionLeaveTheClientRunning)
{
    auto sink = std::make_shared<CapturingSink>();
    Log::Install(sink, 6);
    SetCurrentTicket("TICKET-1");
    const auto notice = [](const std::string& json) {
        return nim::IMMessage{COrvaManager::UrlEncode(json), "", ""};
    };
    const nim::SDKInstance::Registered handlers = nim::SDKInstance::Get().Callbacks();
    BoxWatch watch;
    std::thread library([&] {
        handlers.receiveMany({
            nim::IMMessage{"a=1&b=2", "", ""},
            notice("[1,2]"),
            notice(R"({"res":"notice","msg":"hi","logoutTicket":"TICKET-1"})"),
            notice(R"({"res":"logout","msg":"bye","logoutTicket":"TICKET-2"})"),
            notice(R"({"res":"uppwd","msg":"bye","logoutTicket":""})"),
        });
        handlers.kickout(nim::KickoutRes{1, 2});
        handlers.kickout(nim::KickoutRes{1, 3});
    });
    library.join();
    ASSERT_TRUE(WaitFor([&] {
        const auto messages = sink->Messages();
        return std::count(messages.begin(), messages.end(), "Nim 被踢.") == 2;
    }));
    WaitFor([] { return false; }, 200ms);
    EXPECT_EQ(watch.boxes, 0);
    EXPECT_TRUE(Widget()->isVisible());
    std::vector<std::string> decoded;
    for (const std::string& message : sink->Messages()) {
        if (message.starts_with("IM receive Message")) {
            decoded.push_back(message);
        }
    }
    EXPECT_EQ(decoded.front(), "IM receive Messages: size:[5]");
    EXPECT_EQ(decoded.at(1), "IM receive Message: szMsgDecode[a=1&b=2]");
    // Each of the three well-formed notices had its text read; none named this session.
    EXPECT_EQ(std::count(decoded.begin(), decoded.end(), "IM receive Message: msgDecode[bye]"), 2);
    SetCurrentTicket("");
}

TEST_F(MainWindowTest, ASecondSignInRequestBringsTheOpenLoginWindowForward)
{
    CLoginForm* first = nullptr;
    CLoginForm* during = nullptr;
    bool visible = false;
    ScheduleWhileModal([&] {
        first = m_form->LoginForm();
        auto request = std::make_unique<PageRequest>();
        request->subjectId = 1;
        PostUserMessage<WM_USER_LOGIN>(m_form->GetHWND(), std::move(request));
        PostUserMessage<WM_USER_SHOW_LOGIN>(m_form->GetHWND());
        WaitFor([] { return false; }, 300ms);
        during = m_form->LoginForm();
        visible = first != nullptr && first->GetWidget() != nullptr && first->GetWidget()->isVisible();
        first->Close(0);
    });
    PostUserMessage<WM_USER_SHOW_LOGIN>(m_form->GetHWND());
    ASSERT_TRUE(WaitFor([&] { return first != nullptr && !m_form->LoginForm()->GetHWND().IsWindow(); }));
    EXPECT_EQ(during, first);
    EXPECT_TRUE(visible);
    EXPECT_EQ(m_form->UserId(), 0);
    EXPECT_EQ(m_form->WebView()->GetUserId(), 0);
}

TEST_F(MainWindowTest, HomeAsksBeforeLeavingAnExamPageAndNotElsewhere)
{
    auto sink = std::make_shared<CapturingSink>();
    Log::Install(sink, 6);
    PostMessage(m_form->GetHWND(), WM_USER_LOGIN);
    ASSERT_TRUE(WaitFor([&] {
        const auto entries = sink->Messages();
        return std::find(entries.begin(), entries.end(), "WM_USER_LOGIN Failed. param is NULL") !=
               entries.end();
    }));

    CWkeWebkitUI* web = m_form->WebView();
    const QString exam = QString::fromStdString(s_server->Url("Simulation/Client/Exam/1"));
    web->LoadUrl(exam);
    ASSERT_TRUE(WaitFor([&] { return web->GetCurrentUrl() == exam; }, 20s));
    CControlUI* home = m_form->FindControl(QStringLiteral("main_btn_home"));

    QString asked;
    ScheduleWhileModal([&] {
        asked = CMessageBoxTip::Current()->FindControl(QStringLiteral("msg_box_content"))->GetText();
        Click(CMessageBoxTip::Current()->FindControl(QStringLiteral("msg_box_btn_no")));
    });
    Click(home);
    ASSERT_TRUE(WaitFor([&] { return !asked.isEmpty(); }));
    EXPECT_TRUE(asked.startsWith(QStringLiteral("离开此页面，返回首页?"))) << asked.toStdString();
    WaitFor([] { return false; }, 300ms);
    EXPECT_EQ(web->Page()->url().toString(), exam);

    ScheduleWhileModal(
        [&] { Click(CMessageBoxTip::Current()->FindControl(QStringLiteral("msg_box_btn_yes"))); });
    Click(home);
    ASSERT_TRUE(WaitFor([&] { return web->Page()->url().toString() != exam; }, 20s));

    // Elsewhere the button goes home at once.
    const QString papers = QString::fromStdString(s_server->Url("Simulation/Exampaper/31"));
    web->LoadUrl(papers);
    ASSERT_TRUE(WaitFor([&] { return web->GetCurrentUrl() == papers; }, 20s));
    BoxWatch watch;
    Click(home);
    ASSERT_TRUE(WaitFor([&] { return web->Page()->url().toString() != papers; }, 20s));
    EXPECT_EQ(watch.boxes, 0);
}

} // namespace
