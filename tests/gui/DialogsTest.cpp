#include "GuiTestSupport.h"
#include "TestSupport.h"
#include "dialogs/AboutWnd.h"
#include "dialogs/MessageBoxTip.h"
#include "dialogs/MessageBoxWnd.h"
#include "dialogs/ShowMessageForm.h"
#include "dialogs/SystemSetForm.h"
#include "messages/WindowMessages.h"
#include "settings/ConfigService.h"
#include "ui/LabelUI.h"
#include "ui/OptionUI.h"
#include "ui/RichEditUI.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace GuiTestSupport;
using TestSupport::ScopedEnv;
using TestSupport::TempFolder;
using TestSupport::WaitFor;

namespace {

TEST(MessageBoxTip, AnswersWithTheButtonAndShowsMarkupInColour)
{
    struct Case
    {
        const char* button;
        UINT result;
    };
    for (const Case& row : {Case{"msg_box_btn_no", 0}, Case{"msg_box_btn_yes", 1}}) {
        QString shown;
        ScheduleWhileModal([&] {
            CMessageBoxTip* box = CMessageBoxTip::Current();
            shown = static_cast<QLabel*>(box->FindControl(QStringLiteral("msg_box_content"))->GetWidget())
                        ->text();
            EXPECT_EQ(box->FindControl(QStringLiteral("msg_box_btn_yes"))->GetText(), QStringLiteral("离开"));
            Click(box->FindControl(QString::fromLatin1(row.button)));
        });
        EXPECT_EQ(CMessageBoxTip::Show(
                      {}, QStringLiteral("离开此页面，返回首页?\n<c #FF0000>系统不会保存您所做的答案</c>"),
                      QStringLiteral("离开")),
                  row.result);
        EXPECT_TRUE(
            shown.contains(QStringLiteral("<span style=\"color:#ff0000\">系统不会保存您所做的答案</span>")));
        EXPECT_TRUE(shown.contains(QStringLiteral("<br/>")));
    }
}

bool TipBoxOnScreen(const CMessageBoxTip* other = nullptr)
{
    const CMessageBoxTip* box = CMessageBoxTip::Current();
    return box != nullptr && box != other && box->GetWidget() != nullptr && box->GetWidget()->isVisible();
}

// The IM thread shows its notice through the box: the box is made on the UI thread and the worker
// waits for the answer.
TEST(MessageBoxTip, AWorkerThreadGetsTheAnswerOfABoxOnTheUiThread)
{
    std::atomic<int> answer{-1};
    // The box runs its modal loop inside this thread's wait below; it is answered from a timer.
    ScheduleWhileModal([] {
        EXPECT_EQ(CMessageBoxTip::Current()->GetWidget()->thread(), QApplication::instance()->thread());
        Click(CMessageBoxTip::Current()->FindControl(QStringLiteral("msg_box_btn_yes")));
    });
    std::thread worker([&] {
        answer = static_cast<int>(
            CMessageBoxTip::Show({}, QStringLiteral("您的账号在异地登录,被迫下线!"), QStringLiteral("确定")));
    });
    EXPECT_TRUE(WaitFor([&] { return answer.load() != -1; }));
    worker.join();
    EXPECT_EQ(answer.load(), 1);
}

// A box shown while another waits (a forced logout over a question) answers the first with 0
// before it goes; both callers get their answer and no object goes while its box is shown.
TEST(MessageBoxTip, ASecondBoxAnswersTheFirstBeforeItGoes)
{
    UINT second = 99;
    bool firstOpenUnderSecond = true;
    ScheduleWhileModal([&] {
        const CMessageBoxTip* first = CMessageBoxTip::Current();
        auto* poll = new QTimer;
        QObject::connect(poll, &QTimer::timeout, [poll, first, &firstOpenUnderSecond] {
            if (!TipBoxOnScreen(first)) {
                return;
            }
            poll->deleteLater();
            poll->stop();
            firstOpenUnderSecond = first->GetHWND().IsWindow();
            Click(CMessageBoxTip::Current()->FindControl(QStringLiteral("msg_box_btn_yes")));
        });
        poll->start(10);
        second =
            CMessageBoxTip::Show({}, QStringLiteral("您的账号在异地登录,被迫下线!"), QStringLiteral("确定"));
    });
    EXPECT_EQ(CMessageBoxTip::Show({}, QStringLiteral("离开此页面，返回首页?"), QStringLiteral("离开")), 0U);
    EXPECT_EQ(second, 1U);
    EXPECT_FALSE(firstOpenUnderSecond);
}

TEST(MessageBoxWnd, ResultsFollowTheButtonAndTheDeleteBox)
{
    struct Case
    {
        bool showDelete;
        bool tick;
        const char* button;
        UINT result;
    };
    const Case cases[] = {{true, true, "msg_btn_yes", 2},
                          {true, false, "msg_btn_yes", 1},
                          {false, false, "msg_btn_yes", 1},
                          {true, true, "msg_btn_no", 0},
                          {true, true, "btn_close", 0}};
    for (const Case& row : cases) {
        SCOPED_TRACE(row.button);
        bool deleteVisible = false;
        ScheduleWhileModal([&] {
            CMessageBoxWnd* box = CMessageBoxWnd::Current();
            deleteVisible = box->FindControl(QStringLiteral("chk_del_file"))->IsVisible();
            if (row.tick) {
                Click(box->FindControl(QStringLiteral("chk_del_file")));
            }
            Click(box->FindControl(QString::fromLatin1(row.button)));
        });
        EXPECT_EQ(CMessageBoxWnd::Show({}, QStringLiteral("升级失败，请到官网下载最新版本"), 4,
                                       QStringLiteral("确定"), row.showDelete),
                  row.result);
        EXPECT_EQ(deleteVisible, row.showDelete);
        EXPECT_EQ(CMessageBoxWnd::Current(), nullptr);
    }
}

TEST(MessageBoxWnd, IconByKindAndRedContentInTheDefaultFont)
{
    EXPECT_EQ(CMessageBoxWnd::IconOf(0), QStringLiteral("MessageBox_Wnd_error.png"));
    EXPECT_EQ(CMessageBoxWnd::IconOf(4), CMessageBoxWnd::IconOf(1));
    EXPECT_EQ(CMessageBoxWnd::IconOf(7), QString());
    for (const int kind : {3, 7}) {
        QString icon;
        QColor colour;
        ScheduleWhileModal([&] {
            CMessageBoxWnd* box = CMessageBoxWnd::Current();
            icon = box->FindControl(QStringLiteral("msg_image"))->GetAttribute(QStringLiteral("bkimage"));
            colour = box->FindControl<CRichEditUI>(QStringLiteral("msg_content"))->GetTextColour();
            EXPECT_EQ(box->FindControl(QStringLiteral("msg_content"))->GetText(), QStringLiteral("升级失败"));
            Click(box->FindControl(QStringLiteral("msg_btn_no")));
        });
        CMessageBoxWnd::Show({}, QStringLiteral("升级失败"), kind, QStringLiteral("确定"), false);
        // Kind 7 has no image of its own: the layout's stays.
        EXPECT_EQ(icon, kind == 3 ? QStringLiteral("MessageBox_Wnd_warning.png")
                                  : QStringLiteral("MessageBox_Wnd_infor.png"));
        EXPECT_EQ(colour, QColor(255, 0, 0));
    }
}

// The main window's part in the notice: it receives WM_USER_SHOW_LOGIN.
class NoticeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_owner.Create({}, QStringLiteral("owner"), WS_POPUP, 0);
        m_notice.SetOwner(m_owner.GetHWND());
        m_notice.Create(m_owner.GetHWND(), QStringLiteral("注册成功"), WS_POPUP, WS_EX_TOOLWINDOW);
    }
    [[nodiscard]] bool LoginAsked() const
    {
        return std::find(m_owner.messages.begin(), m_owner.messages.end(), WM_USER_SHOW_LOGIN) !=
               m_owner.messages.end();
    }
    [[nodiscard]] QString Countdown() const
    {
        return m_notice.FindControl(QStringLiteral("show_msg_lab_tip_count_down"))->GetText();
    }
    void Tick() { SendMessage(m_notice.GetHWND(), WM_USER_COUNTDOWN_TICK); }

    RecordingWindow m_owner{TestLayout(QStringLiteral("Blank.xml"))};
    CShowMessageForm m_notice;
};

TEST_F(NoticeTest, ASuccessCountsDownClosesAndAsksForTheLogin)
{
    m_notice.SetNotice(QStringLiteral("注册成功"), QStringLiteral("注册成功"), true);
    EXPECT_EQ(m_notice.FindControl(QStringLiteral("show_msg_image"))->GetAttribute(QStringLiteral("bkimage")),
              QStringLiteral("show_msg_succeed.png"));
    EXPECT_EQ(
        m_notice.FindControl(QStringLiteral("show_msg_lab_tip"))->GetAttribute(QStringLiteral("textcolor")),
        QStringLiteral("#FF4285F4"));
    EXPECT_EQ(Countdown(), QStringLiteral("<c #FF0000>3s</c>后自动关闭页面"));
    // The real one-second timer drives it to the end.
    ScheduleWhileModal([] {});
    EXPECT_EQ(m_notice.ShowModal(), 1U);
    EXPECT_TRUE(WaitFor([&] { return LoginAsked(); }));
    EXPECT_EQ(CShowMessageForm::RemainingSeconds(), 3);
}

TEST_F(NoticeTest, AFailureShowsRedAndAsksNothing)
{
    m_notice.SetNotice(QStringLiteral("重置失败"), QStringLiteral("重置失败"), false);
    m_notice.KillTimer(TIMER_ID_COUNTDOWN);
    EXPECT_EQ(m_notice.FindControl(QStringLiteral("show_msg_image"))->GetAttribute(QStringLiteral("bkimage")),
              QStringLiteral("show_msg_failed.png"));
    EXPECT_EQ(
        m_notice.FindControl(QStringLiteral("show_msg_lab_tip"))->GetAttribute(QStringLiteral("textcolor")),
        QStringLiteral("#FFFF0000"));
    Tick();
    EXPECT_EQ(Countdown(), QStringLiteral("<c #FF0000>2s</c>后自动关闭页面"));
    Tick();
    Tick();
    QCoreApplication::processEvents();
    EXPECT_FALSE(m_notice.GetHWND().IsWindow());
    QCoreApplication::processEvents();
    EXPECT_FALSE(LoginAsked());
}

TEST_F(NoticeTest, ClosingEarlyAsksNothingAndKeepsTheSharedCount)
{
    m_notice.SetNotice(QStringLiteral("注册成功"), QStringLiteral("注册成功"), true);
    m_notice.KillTimer(TIMER_ID_COUNTDOWN);
    Tick();
    EXPECT_EQ(CShowMessageForm::RemainingSeconds(), 2);
    ScheduleWhileModal([&] { Click(m_notice.FindControl(QStringLiteral("show_msg_btn_close"))); });
    EXPECT_EQ(m_notice.ShowModal(), 0U);
    QCoreApplication::processEvents();
    EXPECT_FALSE(LoginAsked());

    // The next notice starts at the line "3s" but closes after the seconds that were left.
    CShowMessageForm next;
    next.SetOwner(m_owner.GetHWND());
    next.Create({}, QStringLiteral("重置成功"), WS_POPUP, WS_EX_TOOLWINDOW);
    next.SetNotice(QStringLiteral("重置成功"), QStringLiteral("重置成功"), true);
    next.KillTimer(TIMER_ID_COUNTDOWN);
    EXPECT_EQ(next.FindControl(QStringLiteral("show_msg_lab_tip_count_down"))->GetText(),
              QStringLiteral("<c #FF0000>3s</c>后自动关闭页面"));
    SendMessage(next.GetHWND(), WM_USER_COUNTDOWN_TICK);
    SendMessage(next.GetHWND(), WM_USER_COUNTDOWN_TICK);
    EXPECT_TRUE(WaitFor([&] { return !next.GetHWND().IsWindow(); }));
    EXPECT_TRUE(WaitFor([&] { return LoginAsked(); }));
    EXPECT_EQ(CShowMessageForm::RemainingSeconds(), 3);
}

TEST(AboutWnd, ShowsTheVersionAndOpensTheLinksInTheBrowser)
{
    TempFolder bin;
    TestSupport::WriteScript(
        bin.File("xdg-open"),
        QStringLiteral("printf '%s\\n' \"$1\" >> '%1'\n").arg(bin.File("opened")).toUtf8());
    ScopedEnv path("PATH", bin.Path().chopped(1) + ":/usr/bin:/bin");
    CAboutWnd about;
    about.Create({}, QStringLiteral("关于Examora"), WS_POPUP, WS_EX_TOOLWINDOW);
    about.SetVersion("1.2.3.4");
    EXPECT_EQ(about.FindControl(QStringLiteral("about_lab_version"))->GetText(),
              QStringLiteral("软件版本：V1.2.3.4"));
    about.SetVersion("");
    EXPECT_EQ(about.FindControl(QStringLiteral("about_lab_version"))->GetText(),
              QStringLiteral("软件版本：V"));
    about.ShowWindow();
    for (const char* name : {"about_btn_logo", "about_btn_orva_url", "about_btn_user_protocol"}) {
        Click(about.FindControl(QString::fromLatin1(name)));
    }
    ASSERT_TRUE(WaitFor([&] { return bin.Read("opened").count('\n') == 3; }));
    // The browser starts in the background, so the lines may come in any order.
    QList<QByteArray> opened = bin.Read("opened").trimmed().split('\n');
    std::sort(opened.begin(), opened.end());
    EXPECT_EQ(opened, (QList<QByteArray>{"https://www.orva.example/", "https://www.orva.example/",
                                         "https://www.orva.example/agreement"}));
    EXPECT_TRUE(about.GetHWND().IsWindow()) << "opening a link leaves the window open";
    Click(about.FindControl(QStringLiteral("about_btn_close")));
    EXPECT_TRUE(WaitFor([&] { return !about.GetHWND().IsWindow(); }));
}

class SystemSetTest : public ::testing::Test
{
protected:
    void Open()
    {
        m_form = std::make_unique<CSystemSetForm>();
        m_form->Create({}, QStringLiteral("系统设置"), WS_POPUP, WS_EX_TOOLWINDOW);
        m_form->ShowWindow();
    }
    [[nodiscard]] COptionUI* Option(const char* name) const
    {
        return m_form->FindControl<COptionUI>(QString::fromLatin1(name));
    }

    TempFolder m_home;
    ScopedEnv m_config{"XDG_CONFIG_HOME", m_home.Path() + "config"};
    std::unique_ptr<CSystemSetForm> m_form;
};

TEST_F(SystemSetTest, ShowsTheStoredStateWithoutWritingAndWritesEachChangeAtOnce)
{
    CConfigService& config = CConfigService::Instance();
    ASSERT_TRUE(config.SetAutoStart(true));
    ASSERT_TRUE(config.SetWinHide(QStringLiteral("OrvaWinHide"), true));
    const QByteArray registry = m_home.Read("config/Examora/registry.ini");
    Open();
    EXPECT_TRUE(Option("set_opt_open_startup")->IsSelected());
    EXPECT_TRUE(Option("set_opt_close")->IsSelected());
    EXPECT_EQ(m_home.Read("config/Examora/registry.ini"), registry) << "opening writes nothing";

    Click(Option("set_opt_open_startup"));
    EXPECT_FALSE(config.IsAutoStart());
    Click(Option("set_opt_close"));
    EXPECT_FALSE(config.IsWinHide(QStringLiteral("OrvaWinHide")));
    Click(Option("set_opt_close"));
    EXPECT_TRUE(config.IsWinHide(QStringLiteral("OrvaWinHide")));
    Click(Option("set_opt_open_startup"));
    EXPECT_TRUE(config.IsAutoStart());
    Click(m_form->FindControl(QStringLiteral("set_close_btn")));
    EXPECT_TRUE(WaitFor([&] { return !m_form->GetHWND().IsWindow(); }));
    EXPECT_TRUE(config.IsAutoStart()) << "closing keeps every change";
}

TEST_F(SystemSetTest, AFailedAutostartWriteSpringsTheOptionBack)
{
    // A file where the autostart folder should be: the entry cannot be written.
    m_home.Write("config/autostart", "not a folder");
    Open();
    ASSERT_FALSE(Option("set_opt_open_startup")->IsSelected());
    Click(Option("set_opt_open_startup"));
    EXPECT_FALSE(Option("set_opt_open_startup")->IsSelected());
    EXPECT_FALSE(CConfigService::Instance().IsAutoStart());
}

} // namespace
