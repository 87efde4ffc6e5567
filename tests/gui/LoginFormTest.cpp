#include "account/LoginForm.h"
#include "GuiTestSupport.h"
#include "LocalServiceProcess.h"
#include "TestSupport.h"
#include "account/CurrentTicket.h"
#include "account/LognComboxWnd.h"
#include "account/OrvaEditPasswd.h"
#include "account/OrvaEditUserName.h"
#include "diag/Log.h"
#include "environment/Environment.h"
#include "im/SDKInstance.h"
#include "messages/WindowMessages.h"
#include "platform/AppFolder.h"
#include "service/HttpTransport.h"
#include "settings/ConfigService.h"
#include "ui/ButtonUI.h"
#include "ui/EditUI.h"
#include "ui/LabelUI.h"
#include "ui/ListUI.h"
#include "ui/OptionUI.h"

#include <QFile>
#include <QLineEdit>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <future>

using namespace GuiTestSupport;
using namespace std::chrono_literals;
using TestSupport::TempFolder;
using TestSupport::WaitFor;

namespace {

constexpr const char* kDemoMobile = "13800000000";
constexpr const char* kDemoPassword = "examora123";

// The client's whole account stack against the real local service process: its own application
// folder (OrvaLogConf.ini pointing at the service, orva.ini, the log), the real transport and the
// real libnim.so.
class LoginFormTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_folder = new TempFolder;
        s_service = new LocalServiceProcess;
        ASSERT_TRUE(s_service->Start(s_folder->File("service.db"))) << s_service->Output().toStdString();
        const QString base = QString::fromStdString(s_service->BaseUrl());
        s_folder->Write("OrvaLogConf.ini",
                        QStringLiteral("[global]\ndefault_loglevel=6\nenvIndex=0\n"
                                       "[offcieDomain]\nlocal=%1\n[homePageUrl]\nlocal=%1\n"
                                       "[tikuDomain]\nlocal=%1\n[imServer]\nlocal=%2\n")
                            .arg(base, s_service->ImUrl())
                            .toUtf8());
        AppFolder::Override(s_folder->Path());
        ASSERT_TRUE(InitOrvaPLog());
        ASSERT_TRUE(InitHttpTransport());
        const std::string config = R"({"app_key":")" + GetEnvironmentSettings().imAppKey +
                                   R"(","server_address":")" + s_service->ImUrl().toStdString() + R"("})";
        ASSERT_TRUE(nim::SDKInstance::Get().Init(EXAMORA_APP_DIR "/", "Examora", config));
    }
    static void TearDownTestSuite()
    {
        ShutdownHttpTransport();
        delete s_service;
        delete s_folder;
        AppFolder::Override(QStringLiteral(EXAMORA_APP_DIR "/"));
    }
    void SetUp() override { QFile::remove(s_folder->File("orva.ini")); }
    void TearDown() override
    {
        if (m_window != nullptr && m_window->GetHWND().IsWindow()) {
            m_window->Close(1);
            WaitFor([&] { return !m_window->GetHWND().IsWindow(); });
        }
        nim::SDKInstance::Get().Logout(3, {});
    }

    // Opens a login window the way the main window does, owned by a recording window.
    void Open()
    {
        m_owner.Create({}, QStringLiteral("owner"), WS_POPUP, 0);
        m_window = std::make_unique<CLoginForm>();
        m_window->SetOwner(m_owner.GetHWND());
        m_window->Create(m_owner.GetHWND(), QStringLiteral("用户登录"), WS_POPUP, 0);
        m_window->ShowWindow();
    }
    template <typename T = CControlUI>
    T* Find(const char* name)
    {
        return m_window->FindControl<T>(QString::fromLatin1(name));
    }
    void Type(const char* field, const QString& text)
    {
        auto* edit = Find<COrvaEditField>(field)->GetEdit();
        edit->SetFocus();
        static_cast<QLineEdit*>(edit->GetWidget())->clear();
        QTest::keyClicks(edit->GetWidget(), text);
    }
    void SignIn(const QString& number, const QString& password)
    {
        Type("login_edit_user_name", number);
        Type("login_edit_pwd", password);
        Click(Find("login_btn_login"));
    }
    [[nodiscard]] QString Tip(const char* label) { return Find<CLabelUI>(label)->GetText(); }
    [[nodiscard]] bool Closed() const { return !m_window->GetHWND().IsWindow(); }
    // Waits for a sign-in step to end with a message on the label, the button enabled again.
    bool WaitForTip(const char* label)
    {
        return WaitFor([&] { return Find(label)->IsVisible() && Find("login_btn_login")->IsEnabled(); }, 30s);
    }

    static std::string Admin(const std::string& path, const std::string& form)
    {
        auto promise = std::make_shared<std::promise<int>>();
        auto future = promise->get_future();
        HttpRequest request(s_service->BaseUrl() + path, form.data(), form.size(),
                            [promise](bool, int status, const std::string&) { promise->set_value(status); });
        request.SetMethodAsPost();
        request.Post();
        return future.wait_for(10s) == std::future_status::ready ? std::to_string(future.get()) : "none";
    }

    static inline TempFolder* s_folder = nullptr;
    static inline LocalServiceProcess* s_service = nullptr;
    RecordingWindow m_owner{TestLayout(QStringLiteral("Blank.xml"))};
    std::unique_ptr<CLoginForm> m_window;
};

TEST_F(LoginFormTest, AManualSignInGoesThroughAllThreeStepsAndRemembersTheAccount)
{
    Open();
    EXPECT_FALSE(Find("login_btn_login")->IsEnabled()) << "nothing typed yet";
    SaveToGallery(m_window->GetWidget(), "login_empty");
    Find<COptionUI>("login_opn_chk_rember")->Selected(true);
    SignIn(QString::fromLatin1(kDemoMobile), QString::fromLatin1(kDemoPassword));
    ASSERT_TRUE(WaitFor([&] { return Closed(); }, 30s)) << Tip("login_lab_tip_err_msg").toStdString();
    EXPECT_GT(m_window->UserId(), 0);
    EXPECT_FALSE(CurrentTicket().empty());
    const QList<SavedUser> users = CConfigService::Instance().LoadUsers();
    ASSERT_EQ(users.size(), 1);
    EXPECT_EQ(users.front().userName, QString::fromLatin1(kDemoMobile));
    EXPECT_EQ(users.front().userPwd, QString::fromLatin1(kDemoPassword));
    EXPECT_EQ(users.front().userTicket, QString::fromStdString(CurrentTicket()));
    EXPECT_TRUE(users.front().isRememberPwd);
    EXPECT_FALSE(users.front().isAutoLogin);
}

TEST_F(LoginFormTest, WrongInputIsRefusedOnItsLabelAndTheServicesRefusalsToo)
{
    Open();
    struct Case
    {
        const char* name;
        QString number;
        QString password;
        const char* label;
        QString text;
        bool sends;
    };
    const Case cases[] = {
        {"10 digits", "1380000000", "x", "login_lab_tip_err_account", "您填写的手机号格式错误", false},
        {"a letter", "1380000000a", "x", "login_lab_tip_err_account", "您填写的手机号格式错误", false},
        {"wrong password (401)", kDemoMobile, "wrong", "login_lab_tip_err_msg", "账号或密码输入错误！", true},
        {"unknown account (301)", "13999999999", "x", "login_lab_tip_err_account",
         "账号不存在，请注册后重试！", true},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        // The number field takes at most 11 digits: the letter is put in as a paste would.
        Find<COrvaEditUserName>("login_edit_user_name")->SetText(row.number);
        Type("login_edit_pwd", row.password);
        Click(Find("login_btn_login"));
        if (row.sends) {
            ASSERT_TRUE(WaitForTip(row.label));
        }
        EXPECT_TRUE(Find(row.label)->IsVisible());
        EXPECT_EQ(Tip(row.label), row.text);
        const char* field =
            row.label == std::string("login_lab_tip_err_account") ? "login_edit_user_name" : "login_edit_pwd";
        EXPECT_EQ(Find(field)->GetAttribute(QStringLiteral("bordercolor")), QStringLiteral("#FFFF0000"));
        EXPECT_TRUE(Find("login_btn_login")->IsEnabled());
        if (row.label == std::string("login_lab_tip_err_account")) {
            SaveToGallery(m_window->GetWidget(), "login_error_account");
        } else {
            SaveToGallery(m_window->GetWidget(), "login_error_password");
        }
    }
    // An empty password: a message of its own, without the server's exclamation mark.
    Type("login_edit_user_name", QString::fromLatin1(kDemoMobile));
    Find<COrvaEditPasswd>("login_edit_pwd")->SetText(QString());
    Click(Find("login_btn_login"));
    EXPECT_EQ(Tip("login_lab_tip_err_msg"), QStringLiteral("账号或密码输入错误"));
    EXPECT_FALSE(Find("login_lab_tip_err_account")->IsVisible()) << "one message at a time";
}

TEST_F(LoginFormTest, BrokenRepliesAndARefusedImSignInLeaveTheWindowReadyToTryAgain)
{
    Open();
    ASSERT_EQ(Admin("admin/fault", "path=/pc/pc-lg&count=1&body=malformed"), "200");
    SignIn(QString::fromLatin1(kDemoMobile), QString::fromLatin1(kDemoPassword));
    ASSERT_TRUE(WaitForTip("login_lab_tip_err_msg"));
    EXPECT_EQ(Tip("login_lab_tip_err_msg"), QString());

    ASSERT_EQ(Admin("admin/fault", "path=/pc/pc-lg&count=1&body=empty"), "200");
    Click(Find("login_btn_login"));
    ASSERT_TRUE(WaitFor([&] { return Tip("login_lab_tip_err_msg") == QStringLiteral("远程连接异常"); }, 30s));

    ASSERT_EQ(Admin("admin/block", std::string("mobile=") + kDemoMobile + "&blocked=1"), "200");
    Click(Find("login_btn_login"));
    ASSERT_TRUE(WaitFor(
        [&] { return Tip("login_lab_tip_err_msg") == QStringLiteral("登录失败[云信登录失败]"); }, 30s));
    EXPECT_GT(m_window->UserId(), 0) << "the user id stays once read";
    EXPECT_TRUE(Find("login_btn_login")->IsEnabled());

    // The next click starts again from the sign-in request, and now gets through.
    ASSERT_EQ(Admin("admin/block", std::string("mobile=") + kDemoMobile + "&blocked=0"), "200");
    Click(Find("login_btn_login"));
    EXPECT_TRUE(WaitFor([&] { return Closed(); }, 30s));
}

TEST_F(LoginFormTest, TheLastAccountSignsInByItselfUnlessTheUserIsSwitchingAccounts)
{
    CConfigService& config = CConfigService::Instance();
    config.SaveUser(QString::fromLatin1(kDemoMobile), QString::fromLatin1(kDemoPassword), "old-ticket", "k",
                    "a", "t", true, true);
    const QByteArray saved = s_folder->Read("orva.ini");

    config.SetRelogin(QStringLiteral("1"));
    Open();
    EXPECT_EQ(Find("login_edit_user_name")->GetText(), QString::fromLatin1(kDemoMobile));
    EXPECT_EQ(Find("login_edit_pwd")->GetText(), QString::fromLatin1(kDemoPassword));
    EXPECT_TRUE(Find<COptionUI>("login_opn_chk_autologin")->IsSelected());
    EXPECT_FALSE(config.IsRelogin()) << "the switch is used up";
    QTest::qWait(300);
    EXPECT_FALSE(Closed()) << "no sign-in while switching accounts";
    m_window->Close(1);
    ASSERT_TRUE(WaitFor([&] { return Closed(); }));

    Open();
    ASSERT_TRUE(WaitFor([&] { return Closed(); }, 30s)) << Tip("login_lab_tip_err_msg").toStdString();
    EXPECT_GT(m_window->UserId(), 0);
    EXPECT_EQ(s_folder->Read("orva.ini"), saved) << "an automatic sign-in does not rewrite the account";
}

// The list of remembered accounts: placed under the number field (above it near the bottom of
// the work area), a 30 px row per account + 6, and each choice closes it.
TEST_F(LoginFormTest, TheAccountListFillsForgetsAndCloses)
{
    CConfigService& config = CConfigService::Instance();
    config.SaveUser("13700000001", "one", "", "", "", "", true, false);
    config.SaveUser("13700000002", "", "", "", "", "", false, false);
    config.SaveUser("13700000003", "three", "", "", "", "", true, true);
    config.SetRelogin(QStringLiteral("1"));
    Open();
    auto* field = Find<COrvaEditUserName>("login_edit_user_name");
    const auto openList = [&] {
        SendUserMessage<WM_USER_SHOW_USER_LIST>(m_window->GetHWND());
        CLognComboxWnd* list = CLognComboxWnd::Current();
        EXPECT_NE(list, nullptr);
        return list;
    };
    const auto waitClosed = [] { return WaitFor([] { return CLognComboxWnd::Current() == nullptr; }); };

    CLognComboxWnd* list = openList();
    ASSERT_NE(list, nullptr);
    const QRect fieldRect(field->GetWidget()->mapToGlobal(QPoint(0, 0)), field->GetWidget()->size());
    EXPECT_EQ(list->GetWidget()->geometry(),
              QRect(fieldRect.left(), fieldRect.bottom() + 1, fieldRect.width(), 96));
    auto* rows = list->FindControl<CListUI>(QStringLiteral("list_user"));
    ASSERT_EQ(rows->GetCount(), 3);
    SaveToGallery(list->GetWidget(), "login_account_list");

    // Closes when it loses activation, changing nothing.
    SendMessage(list->GetHWND(), WM_ACTIVATE, WA_INACTIVE);
    ASSERT_TRUE(waitClosed());

    // A row without a remembered password empties the password field and sets both boxes.
    list = openList();
    ASSERT_NE(list, nullptr);
    rows = list->FindControl<CListUI>(QStringLiteral("list_user"));
    CControlUI* second = rows->GetItemAt(1);
    EXPECT_EQ(static_cast<CContainerUI*>(second)->GetItemAt(0)->GetText(), QStringLiteral("13700000002"));
    Click(second);
    ASSERT_TRUE(waitClosed());
    EXPECT_EQ(field->GetText(), QStringLiteral("13700000002"));
    EXPECT_EQ(Find("login_edit_pwd")->GetText(), QString());
    EXPECT_FALSE(Find<COptionUI>("login_opn_chk_rember")->IsSelected());

    // Delete forgets the account; the fields keep what they hold.
    list = openList();
    ASSERT_NE(list, nullptr);
    rows = list->FindControl<CListUI>(QStringLiteral("list_user"));
    Click(static_cast<CContainerUI*>(rows->GetItemAt(0))->GetItemAt(1));
    ASSERT_TRUE(waitClosed());
    EXPECT_EQ(field->GetText(), QStringLiteral("13700000002"));
    QStringList left;
    for (const SavedUser& user : config.LoadUsers()) {
        left << user.userName;
    }
    EXPECT_EQ(left, (QStringList{"13700000002", "13700000001"}));

    // Near the bottom of the work area the list opens above the field.
    const QRect area = m_window->GetWidget()->screen()->availableGeometry();
    m_window->GetWidget()->move(m_window->GetWidget()->x(),
                                area.bottom() -
                                    field->GetWidget()->mapTo(m_window->GetWidget(), QPoint(0, 0)).y() -
                                    field->GetWidget()->height() - 20);
    list = openList();
    ASSERT_NE(list, nullptr);
    const QPoint fieldTop = field->GetWidget()->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(list->GetWidget()->geometry().bottom(), fieldTop.y() - 1);
    EXPECT_EQ(list->GetWidget()->height(), 66);
    list->Close(1);
    ASSERT_TRUE(waitClosed());
}

// A reply that arrives after the window closed reaches nothing and changes nothing.
TEST_F(LoginFormTest, ALateReplyForAClosedWindowChangesNothing)
{
    SetCurrentTicket("before");
    Open();
    ASSERT_EQ(Admin("admin/fault", "path=/pc/pc-lg&count=1&delay_ms=800"), "200");
    SignIn(QString::fromLatin1(kDemoMobile), QString::fromLatin1(kDemoPassword));
    m_window->Close(1);
    ASSERT_TRUE(WaitFor([&] { return Closed(); }));
    QTest::qWait(2000);
    EXPECT_EQ(m_window->UserId(), 0);
    EXPECT_EQ(CurrentTicket(), "before");
    EXPECT_FALSE(QFile::exists(s_folder->File("orva.ini")));
}

// The whole log at its most detailed level holds none of the secrets of a sign-in.
TEST_F(LoginFormTest, TheLogHoldsNoPasswordTicketOrToken)
{
    Open();
    Find<COptionUI>("login_opn_chk_rember")->Selected(true);
    SignIn(QString::fromLatin1(kDemoMobile), QString::fromLatin1(kDemoPassword));
    ASSERT_TRUE(WaitFor([&] { return Closed(); }, 30s));
    const SavedUser user = CConfigService::Instance().LoadUsers().front();
    const QByteArray log = s_folder->Read("Log/Servdesk.log");
    EXPECT_TRUE(log.contains("CLoginForm::OnPostLoginCallback")) << "the reply lines are written";
    for (const QString& secret : {user.userPwd, user.userTicket, user.token}) {
        ASSERT_FALSE(secret.isEmpty());
        EXPECT_FALSE(log.contains(secret.toUtf8())) << secret.toStdString();
    }
}

} // namespace
