#include "GuiTestSupport.h"
#include "LocalServiceProcess.h"
#include "TestSupport.h"
#include "account/CurrentTicket.h"
#include "account/ForgetPwdForm.h"
#include "account/LoginForm.h"
#include "account/LognComboxWnd.h"
#include "account/OrvaEditPasswd.h"
#include "account/OrvaEditUserName.h"
#include "account/RegisterForm.h"
#include "diag/Log.h"
#include "environment/Environment.h"
#include "im/SDKInstance.h"
#include "messages/WindowMessages.h"
#include "platform/AppFolder.h"
#include "platform/JsonReader.h"
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
constexpr int kSmsIntervalSeconds = 5;

// The client's whole account stack against the real local service process: its own application
// folder (OrvaLogConf.ini pointing at the service, orva.ini, the log), the real transport and the
// real libnim.so.
class AccountWindowsTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_folder = new TempFolder;
        s_service = new LocalServiceProcess;
        // A short shortest time between two codes to one number: tests reset the same account
        // twice (waiting it out), and one asks too soon on purpose (well within it, however slow
        // the machine).
        ASSERT_TRUE(s_service->Start(s_folder->File("service.db"),
                                     {"--sms-interval", QString::number(kSmsIntervalSeconds)}))
            << s_service->Output().toStdString();
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
        if (m_reset != nullptr && m_reset->GetHWND().IsWindow()) {
            m_reset->Close(1);
            WaitFor([&] { return !m_reset->GetHWND().IsWindow(); });
        }
        if (m_register != nullptr && m_register->GetHWND().IsWindow()) {
            m_register->Close(1);
            WaitFor([&] { return !m_register->GetHWND().IsWindow(); });
        }
        nim::SDKInstance::Get().Logout(3, {});
    }

    // Opens a login window the way the main window does, owned by a recording window.
    void Open() { OpenOwned(m_window, QStringLiteral("用户登录")); }
    // Makes a window the way the main window does: owned by the recording window, shown.
    template <typename Window>
    void OpenOwned(std::unique_ptr<Window>& window, const QString& title)
    {
        m_owner.Create({}, QStringLiteral("owner"), WS_POPUP, 0);
        window = std::make_unique<Window>();
        window->SetOwner(m_owner.GetHWND());
        window->Create(m_owner.GetHWND(), title, WS_POPUP, 0);
        window->ShowWindow();
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

    // A control call to the service: its HTTP status ("none" without an answer) and body.
    static std::pair<std::string, std::string> Call(const std::string& path, const std::string& form,
                                                    bool post)
    {
        using Answer = std::pair<std::string, std::string>;
        auto promise = std::make_shared<std::promise<Answer>>();
        auto future = promise->get_future();
        HttpRequest request(s_service->BaseUrl() + path, form.data(), form.size(),
                            [promise](bool, int status, const std::string& reply) {
                                promise->set_value({std::to_string(status), reply});
                            });
        if (post) {
            request.SetMethodAsPost();
        }
        request.Post();
        // Windows keep handling their messages meanwhile: the transport's thread may be waiting
        // for one of them to take a reply before it gets to this request.
        const bool answered = WaitFor([&] { return future.wait_for(0s) == std::future_status::ready; },
                                      std::chrono::milliseconds(10000));
        return answered ? future.get() : Answer{"none", ""};
    }
    static std::string Admin(const std::string& path, const std::string& form)
    {
        return Call(path, form, true).first;
    }
    // The tracking records the service stored for an action.
    static Json::Value Tracks(const std::string& action)
    {
        return JsonReader::Parse(Call("admin/tracks?action=" + action, "", false).second)
            .value_or(Json::Value());
    }
    static std::string SmsCode(const std::string& mobile)
    {
        return JsonReader::TextOf(
            JsonReader::Parse(Call("admin/sms?mobile=" + mobile, "", false).second).value_or(Json::Value()),
            "code");
    }

    // Opens a registration window owned by the recording window.
    void OpenRegister() { OpenOwned(m_register, QStringLiteral("注册账号")); }
    template <typename T = CControlUI>
    T* R(const char* name)
    {
        return m_register->FindControl<T>(QString::fromLatin1(name));
    }
    void TypeIn(CControlUI* field, const QString& text)
    {
        auto* edit = static_cast<COrvaEditField*>(field)->GetEdit();
        edit->SetFocus();
        static_cast<QLineEdit*>(edit->GetWidget())->clear();
        QTest::keyClicks(edit->GetWidget(), text);
    }
    // Opens a password reset window owned by the recording window.
    void OpenReset() { OpenOwned(m_reset, QStringLiteral("忘记密码")); }
    template <typename T = CControlUI>
    T* F(const char* name)
    {
        return m_reset->FindControl<T>(QString::fromLatin1(name));
    }
    // A whole reset in a new window: number, the code the service would have sent, the password
    // twice. False (with the message shown) when the window did not close.
    bool ResetPassword(const std::string& mobile, const QString& password)
    {
        OpenReset();
        TypeIn(F("forget_pwd_edit_user_name"), QString::fromStdString(mobile));
        // A code asked for within the service's interval of the last one is refused (416): then
        // once more after the interval.
        const auto codeSent = [&] {
            Click(F("forget_pwd_btn_sms_code"));
            WaitFor(
                [&] {
                    return F("forget_pwd_btn_sms_code")->GetText().endsWith(QLatin1Char('s')) ||
                           F("forget_lab_tip_err_sms_code")->IsVisible();
                },
                30s);
            return F("forget_pwd_btn_sms_code")->GetText().endsWith(QLatin1Char('s'));
        };
        if (!codeSent()) {
            QTest::qWait(kSmsIntervalSeconds * 1000 + 200);
            if (!codeSent()) {
                ADD_FAILURE() << F<CLabelUI>("forget_lab_tip_err_sms_code")->GetText().toStdString();
                return false;
            }
        }
        TypeIn(F("forget_edit_sms_code"), QString::fromStdString(SmsCode(mobile)));
        TypeIn(F("forget_pwd_edit_pwd"), password);
        TypeIn(F("forget_pwd_edit_pwd_confirm"), password);
        Click(F("forget_pwd_btn_reset"));
        const bool closed = WaitFor([&] { return !m_reset->GetHWND().IsWindow(); }, 30s);
        if (!closed) {
            ADD_FAILURE() << F<CLabelUI>("forget_pwd_lab_tip_err_msg_confirm")->GetText().toStdString();
        }
        return closed;
    }
    // A whole registration in a new window; false (with the message shown) when it did not close.
    bool RegisterAccount(const std::string& mobile, const QString& password)
    {
        OpenRegister();
        TypeIn(R("register_edit_user_name"), QString::fromStdString(mobile));
        Click(R("register_btn_sms_code"));
        if (!WaitFor([&] { return !SmsCode(mobile).empty(); }, 30s)) {
            ADD_FAILURE() << R<CLabelUI>("register_lab_tip_err_sms_code")->GetText().toStdString();
            return false;
        }
        TypeIn(R("register_edit_sms_code"), QString::fromStdString(SmsCode(mobile)));
        TypeIn(R("register_edit_pwd"), password);
        Click(R("register_chk_agree"));
        Click(R("register_btn_submit"));
        const bool closed = WaitFor([&] { return !m_register->GetHWND().IsWindow(); }, 30s);
        if (!closed) {
            ADD_FAILURE() << R<CLabelUI>("register_lab_tip_err_msg")->GetText().toStdString();
        }
        return closed;
    }
    [[nodiscard]] bool OwnerGot(UINT message) const
    {
        return std::find(m_owner.messages.begin(), m_owner.messages.end(), message) != m_owner.messages.end();
    }

    static inline TempFolder* s_folder = nullptr;
    static inline LocalServiceProcess* s_service = nullptr;
    RecordingWindow m_owner{TestLayout(QStringLiteral("Blank.xml"))};
    std::unique_ptr<CLoginForm> m_window;
    std::unique_ptr<CRegisterForm> m_register;
    std::unique_ptr<CForgetPwdForm> m_reset;
};

TEST_F(AccountWindowsTest, AManualSignInGoesThroughAllThreeStepsAndRemembersTheAccount)
{
    Open();
    EXPECT_FALSE(Find("login_btn_login")->IsEnabled()) << "nothing typed yet";
    SaveToGallery(m_window->GetWidget(), "login_empty");
    Find<COptionUI>("login_opn_chk_rember")->Selected(true);
    Type("login_edit_user_name", QString::fromLatin1(kDemoMobile));
    Type("login_edit_pwd", QString::fromLatin1(kDemoPassword));
    EXPECT_TRUE(Find("login_btn_login")->IsEnabled());
    SaveToGallery(m_window->GetWidget(), "login_filled");
    Click(Find("login_btn_login"));
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

TEST_F(AccountWindowsTest, WrongInputIsRefusedOnItsLabelAndTheServicesRefusalsToo)
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
        // Out of the fields: a field with the focus lights its border again whenever the window is
        // activated, over the red of its message.
        Find("login_btn_login")->SetFocus();
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
    // Enter in a field does not sign in, Escape does not close the window.
    Type("login_edit_user_name", QStringLiteral("1380000000"));
    for (const char* field : {"login_edit_user_name", "login_edit_pwd"}) {
        auto* edit = Find<COrvaEditField>(field)->GetEdit();
        edit->SetFocus();
        QTest::keyClick(edit->GetWidget(), Qt::Key_Return);
        QTest::keyClick(edit->GetWidget(), Qt::Key_Escape);
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(Closed());
    EXPECT_NE(Tip("login_lab_tip_err_account"), QStringLiteral("您填写的手机号格式错误"))
        << "Enter signed in";

    // An empty password: a message of its own, without the server's exclamation mark.
    Type("login_edit_user_name", QString::fromLatin1(kDemoMobile));
    Find<COrvaEditPasswd>("login_edit_pwd")->SetText(QString());
    Click(Find("login_btn_login"));
    EXPECT_EQ(Tip("login_lab_tip_err_msg"), QStringLiteral("账号或密码输入错误"));
    EXPECT_FALSE(Find("login_lab_tip_err_account")->IsVisible()) << "one message at a time";
}

TEST_F(AccountWindowsTest, BrokenRepliesAndARefusedImSignInLeaveTheWindowReadyToTryAgain)
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

// An IM service that never answers does not leave the window waiting: at the time limit (its
// timer message sent here instead of waiting 20 s) the sign-in counts as refused, and a late
// result changes nothing.
TEST_F(AccountWindowsTest, ASilentImServiceEndsInARefusalAtTheTimeLimit)
{
    Open();
    ASSERT_EQ(Admin("admin/silent", std::string("mobile=") + kDemoMobile), "200");
    SignIn(QString::fromLatin1(kDemoMobile), QString::fromLatin1(kDemoPassword));
    ASSERT_TRUE(WaitFor([&] { return m_window->UserId() > 0; }, 30s));
    QTest::qWait(200);
    EXPECT_FALSE(Find("login_btn_login")->IsEnabled()) << "waiting for the IM sign-in";
    SendMessage(m_window->GetHWND(), WM_TIMER, TIMER_ID_IM_LOGIN);
    EXPECT_EQ(Tip("login_lab_tip_err_msg"), QStringLiteral("登录失败[云信登录失败]"));
    EXPECT_TRUE(Find("login_btn_login")->IsEnabled());
    SendUserMessage<WM_USER_IM_LOGIN_OK>(m_window->GetHWND(), 1);
    EXPECT_FALSE(Closed()) << "a result after the time limit is not this sign-in's";
}

TEST_F(AccountWindowsTest, TheLastAccountSignsInByItselfUnlessTheUserIsSwitchingAccounts)
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
TEST_F(AccountWindowsTest, TheAccountListFillsForgetsAndCloses)
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
TEST_F(AccountWindowsTest, ALateReplyForAClosedWindowChangesNothing)
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

// The whole log at its most detailed level holds none of the secrets of a sign-in, a registration
// and a reset.
TEST_F(AccountWindowsTest, TheLogHoldsNoPasswordTicketOrToken)
{
    Open();
    Find<COptionUI>("login_opn_chk_rember")->Selected(true);
    SignIn(QString::fromLatin1(kDemoMobile), QString::fromLatin1(kDemoPassword));
    ASSERT_TRUE(WaitFor([&] { return Closed(); }, 30s));
    const SavedUser user = CConfigService::Instance().LoadUsers().front();
    // A registration sends a password and a ticket; a reset the new password twice and a ticket.
    ASSERT_TRUE(RegisterAccount("13700000077", QStringLiteral("regpass7")));
    ASSERT_TRUE(ResetPassword(kDemoMobile, QStringLiteral("logtest9")));
    ASSERT_TRUE(ResetPassword(kDemoMobile, QString::fromLatin1(kDemoPassword)));
    const QByteArray log = s_folder->Read("Log/Servdesk.log");
    for (const char* line : {"CLoginForm::OnPostLoginCallback", "CLoginForm::OnPostGetUserConfigCallback",
                             "CRegisterForm::OnPostValidateSmsCodeAndSetPwdCallback",
                             "CForgetPwdForm::OnPostReSetPasswdCallback"}) {
        EXPECT_TRUE(log.contains(line)) << line << ": the reply lines are written";
    }
    for (const QString& secret : {user.userPwd, user.userTicket, user.token, QStringLiteral("regpass7"),
                                  QStringLiteral("logtest9")}) {
        ASSERT_FALSE(secret.isEmpty());
        EXPECT_FALSE(log.contains(secret.toUtf8())) << secret.toStdString();
    }
}

// A new account from number, SMS code and password, then a sign-in with it; the service stores a
// tracking record for the opening and the "rfinish" record that rode inside the final request.
TEST_F(AccountWindowsTest, ARegistrationCreatesAnAccountThatSignsIn)
{
    const std::string mobile = "13512345678";
    const Json::Value::ArrayIndex openedBefore = Tracks("register").size();
    OpenRegister();
    ASSERT_TRUE(WaitFor([&] { return Tracks("register").size() == openedBefore + 1; }));
    EXPECT_EQ(JsonReader::MemberOf(Tracks("register")[openedBefore], "mobile").asInt64(), -1);
    EXPECT_FALSE(R("register_btn_sms_code")->IsEnabled());
    EXPECT_FALSE(R("register_btn_submit")->IsEnabled());
    SaveToGallery(m_register->GetWidget(), "register_empty");

    TypeIn(R("register_edit_user_name"), QString::fromStdString(mobile));
    ASSERT_TRUE(R("register_btn_sms_code")->IsEnabled());
    Click(R("register_btn_sms_code"));
    ASSERT_TRUE(WaitFor([&] { return !SmsCode(mobile).empty(); }, 30s));
    ASSERT_TRUE(WaitFor([&] { return R("register_btn_sms_code")->GetText() == QStringLiteral("59s"); }, 5s));
    EXPECT_FALSE(R("register_btn_sms_code")->IsEnabled());

    TypeIn(R("register_edit_sms_code"), QString::fromStdString(SmsCode(mobile)));
    TypeIn(R("register_edit_pwd"), QStringLiteral("abc123"));
    EXPECT_FALSE(R("register_btn_submit")->IsEnabled()) << "the agreement is not ticked";
    Click(R("register_chk_agree"));
    ASSERT_TRUE(R("register_btn_submit")->IsEnabled());
    SaveToGallery(m_register->GetWidget(), "register_countdown");
    // A changed number after the code was sent does not change the number registered.
    TypeIn(R("register_edit_user_name"), QStringLiteral("13900000000"));
    Click(R("register_btn_submit"));
    ASSERT_TRUE(WaitFor([&] { return !m_register->GetHWND().IsWindow(); }, 30s))
        << R<CLabelUI>("register_lab_tip_err_msg")->GetText().toStdString();
    EXPECT_TRUE(WaitFor([&] { return OwnerGot(WM_USER_REGISTER_OK); }));
    const Json::Value finished = Tracks("rfinish");
    ASSERT_GE(finished.size(), 1U);
    EXPECT_EQ(JsonReader::MemberOf(finished[finished.size() - 1], "mobile").asInt64(), 13512345678);

    m_owner.messages.clear();
    Open();
    SignIn(QString::fromStdString(mobile), QStringLiteral("abc123"));
    EXPECT_TRUE(WaitFor([&] { return Closed(); }, 30s)) << Tip("login_lab_tip_err_msg").toStdString();
    EXPECT_GT(m_window->UserId(), 0);
}

TEST_F(AccountWindowsTest, RegistrationRefusalsAreShownWhereTheyBelong)
{
    OpenRegister();
    struct Case
    {
        const char* name;
        QString number;
        const char* label;
        QString text;
        bool sends;
    };
    const Case numbers[] = {
        {"inner space", "138 0000000", "register_lab_tip_err_account", "您填写的手机号格式错误", false},
        {"already registered (305)", kDemoMobile, "register_lab_tip_err_account", "此手机号已经注册过了",
         true},
        {"a fraction the service refuses (201)", "1.381234567", "register_lab_tip_err_account",
         "您填写的手机号格式错误", true},
    };
    for (const Case& row : numbers) {
        SCOPED_TRACE(row.name);
        static_cast<COrvaEditPasswd*>(R("register_edit_user_name"))->SetText(row.number);
        R("register_btn_sms_code")->SetEnabled(true);
        R("register_btn_sms_code")->SetFocus();
        Click(R("register_btn_sms_code"));
        if (row.sends) {
            ASSERT_TRUE(WaitFor([&] { return R(row.label)->IsVisible(); }, 30s));
        }
        EXPECT_EQ(R<CLabelUI>(row.label)->GetText(), row.text);
        EXPECT_EQ(R("register_edit_user_name")->GetAttribute(QStringLiteral("bordercolor")),
                  QStringLiteral("#FFFF0000"));
    }

    // A code asked for again too soon (416), then a wrong code (209): both under the code.
    const std::string mobile = "13600000001";
    TypeIn(R("register_edit_user_name"), QString::fromStdString(mobile));
    Click(R("register_btn_sms_code"));
    ASSERT_TRUE(WaitFor([&] { return !SmsCode(mobile).empty(); }, 30s));
    R("register_btn_sms_code")->SetEnabled(true);
    Click(R("register_btn_sms_code"));
    ASSERT_TRUE(WaitFor([&] { return R("register_lab_tip_err_sms_code")->IsVisible(); }, 30s));
    EXPECT_EQ(R<CLabelUI>("register_lab_tip_err_sms_code")->GetText(), QStringLiteral("发送验证码频率过高"));
    TypeIn(R("register_edit_sms_code"), QStringLiteral("000000"));
    TypeIn(R("register_edit_pwd"), QStringLiteral("abc123"));
    Click(R("register_chk_agree"));
    Click(R("register_btn_submit"));
    ASSERT_TRUE(WaitFor([&] { return R("register_lab_tip_err_sms_code")->IsVisible(); }, 30s));
    EXPECT_EQ(R<CLabelUI>("register_lab_tip_err_sms_code")->GetText(), QStringLiteral("验证码错误"));
    EXPECT_TRUE(R("register_btn_submit")->IsEnabled());
    SaveToGallery(m_register->GetWidget(), "register_error_code");

    // The submit checks, in their order: code before password, length before characters.
    struct Submit
    {
        const char* name;
        QString code;
        QString password;
        const char* label;
        QString text;
    };
    const Submit submits[] = {
        {"code of letters", "abcdef", "abc123", "register_lab_tip_err_sms_code", "验证码为6位数字"},
        {"short password", "123456", "abc12", "register_lab_tip_err_msg", "请填写一个6位以上的密码"},
        {"other characters", "123456", "abc_123456", "register_lab_tip_err_msg", "密码只能由数字和字母构成"},
    };
    for (const Submit& row : submits) {
        SCOPED_TRACE(row.name);
        static_cast<COrvaEditPasswd*>(R("register_edit_sms_code"))->SetText(row.code);
        static_cast<COrvaEditPasswd*>(R("register_edit_pwd"))->SetText(row.password);
        R("register_btn_submit")->SetEnabled(true);
        Click(R("register_btn_submit"));
        EXPECT_EQ(R<CLabelUI>(row.label)->GetText(), row.text);
        EXPECT_TRUE(R(row.label)->IsVisible());
    }
    SaveToGallery(m_register->GetWidget(), "register_error");
}

// The resend countdown, driven by posting its ticks: a second less per tick down to 1s, then
// "重新发送" and the count back at 60. The count is one for the process: a window closed during a
// countdown leaves it where it was for the next window.
TEST_F(AccountWindowsTest, TheResendCountdownCountsDownAndEnablesTheButtonAgain)
{
    OpenRegister();
    const int start = CRegisterForm::RemainingSeconds();
    ASSERT_GT(start, 1);
    const WindowHandle window = m_register->GetHWND();
    SendUserMessage<WM_USER_COUNTDOWN_TICK>(window);
    EXPECT_EQ(R("register_btn_sms_code")->GetText(), QString::number(start - 1) + QLatin1Char('s'));
    EXPECT_FALSE(R("register_btn_sms_code")->IsEnabled());
    for (int left = start - 1; left > 1; --left) {
        SendUserMessage<WM_USER_COUNTDOWN_TICK>(window);
    }
    EXPECT_EQ(R("register_btn_sms_code")->GetText(), QStringLiteral("1s"));
    SendUserMessage<WM_USER_COUNTDOWN_TICK>(window);
    EXPECT_EQ(R("register_btn_sms_code")->GetText(), QStringLiteral("重新发送"));
    EXPECT_TRUE(R("register_btn_sms_code")->IsEnabled());
    EXPECT_EQ(CRegisterForm::RemainingSeconds(), CRegisterForm::kCountdownSeconds);
}

// A reset with the code the service sent: the old password is refused afterwards and the new one
// signs in. (The demo account gets its password back at the end.)
TEST_F(AccountWindowsTest, AResetReplacesThePassword)
{
    ASSERT_TRUE(ResetPassword(kDemoMobile, QStringLiteral("newpass1")));
    EXPECT_TRUE(OwnerGot(WM_USER_RESET_PWD_OK));

    Open();
    SignIn(QString::fromLatin1(kDemoMobile), QString::fromLatin1(kDemoPassword));
    ASSERT_TRUE(WaitForTip("login_lab_tip_err_msg"));
    EXPECT_EQ(Tip("login_lab_tip_err_msg"), QStringLiteral("账号或密码输入错误！"));
    SignIn(QString::fromLatin1(kDemoMobile), QStringLiteral("newpass1"));
    EXPECT_TRUE(WaitFor([&] { return Closed(); }, 30s));

    EXPECT_TRUE(ResetPassword(kDemoMobile, QString::fromLatin1(kDemoPassword)));
}

TEST_F(AccountWindowsTest, ResetRefusalsAreShownWhereTheyBelong)
{
    OpenReset();
    EXPECT_FALSE(F("forget_pwd_btn_reset")->IsEnabled());
    SaveToGallery(m_reset->GetWidget(), "reset_empty");
    // An unknown number is refused by the service (402), under the number.
    TypeIn(F("forget_pwd_edit_user_name"), QStringLiteral("13999999999"));
    Click(F("forget_pwd_btn_sms_code"));
    ASSERT_TRUE(WaitFor([&] { return F("forget_pwd_lab_tip_err_account")->IsVisible(); }, 30s));
    EXPECT_EQ(F<CLabelUI>("forget_pwd_lab_tip_err_account")->GetText(),
              QStringLiteral("账号不存在，请注册后重试"));
    EXPECT_TRUE(F("forget_pwd_btn_sms_code")->IsEnabled());

    struct Case
    {
        const char* name;
        QString code;
        QString password;
        QString confirm;
        const char* label;
        QString text;
    };
    const Case cases[] = {
        {"short code", "12345", "abc123", "abc123", "forget_lab_tip_err_sms_code", "验证码为6位数字"},
        {"short password", "abcdef", "abc12", "abc12", "forget_pwd_lab_tip_err_msg",
         "请填写一个6位以上的密码"},
        {"other characters", "abcdef", "abc_123", "abc_124", "forget_pwd_lab_tip_err_msg_confirm",
         "密码只能由数字和字母构成"},
        {"case differs", "abcdef", "abc123", "ABC123", "forget_pwd_lab_tip_err_msg_confirm",
         "请输入相同的密码"},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        TypeIn(F("forget_edit_sms_code"), row.code);
        TypeIn(F("forget_pwd_edit_pwd"), row.password);
        TypeIn(F("forget_pwd_edit_pwd_confirm"), row.confirm);
        ASSERT_TRUE(F("forget_pwd_btn_reset")->IsEnabled()) << "all four fields are filled";
        Click(F("forget_pwd_btn_reset"));
        EXPECT_TRUE(F(row.label)->IsVisible());
        EXPECT_EQ(F<CLabelUI>(row.label)->GetText(), row.text);
    }
    SaveToGallery(m_reset->GetWidget(), "reset_error");
}

} // namespace
