#include "GuiTestSupport.h"
#include "TestSupport.h"
#include "account/AccountEditFactory.h"
#include "account/OrvaEditPasswd.h"
#include "account/OrvaEditUserName.h"
#include "messages/WindowMessages.h"
#include "ui/ButtonUI.h"
#include "ui/EditUI.h"

#include <QApplication>
#include <QEnterEvent>
#include <QTest>

#include <gtest/gtest.h>

using namespace GuiTestSupport;
using TestSupport::WaitFor;

namespace {

class AccountEditTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_window.createControl = [&](const QString& name) {
            return CreateAccountEdit(name, m_window.GetPaintManager());
        };
        m_window.Create({}, QStringLiteral("fields"), WS_POPUP, 0);
        m_window.ShowWindow();
        QApplication::setActiveWindow(m_window.GetWidget());
        m_pwd = m_window.FindControl<COrvaEditPasswd>(QStringLiteral("pwd"));
        m_user = m_window.FindControl<COrvaEditUserName>(QStringLiteral("user"));
        ASSERT_NE(m_pwd, nullptr);
        ASSERT_NE(m_user, nullptr);
    }

    [[nodiscard]] CControlUI* Child(const char* name) const
    {
        return m_window.FindControl(QString::fromLatin1(name));
    }
    [[nodiscard]] static QString Border(const CControlUI* field)
    {
        return field->GetAttribute(QStringLiteral("bordercolor"));
    }
    void Type(CEditUI* edit, const QString& text)
    {
        edit->SetFocus();
        QTest::keyClicks(edit->GetWidget(), text);
    }
    static void Pointer(CControlUI* control, bool enter)
    {
        if (enter) {
            QEnterEvent event(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
            QApplication::sendEvent(control->GetWidget(), &event);
        } else {
            QEvent event(QEvent::Leave);
            QApplication::sendEvent(control->GetWidget(), &event);
        }
    }

    RecordingWindow m_window{TestLayout(QStringLiteral("EditFields.xml"))};
    COrvaEditPasswd* m_pwd = nullptr;
    COrvaEditUserName* m_user = nullptr;
};

TEST_F(AccountEditTest, FieldsAreMadeByTypeNameWithTheirChildrenAndForwardedAttributes)
{
    EXPECT_EQ(CreateAccountEdit(QStringLiteral("Edit"), m_window.GetPaintManager()), nullptr);
    EXPECT_EQ(m_pwd->GetEditName(), QStringLiteral("login_edit_passwd"));
    EXPECT_EQ(m_user->GetEditName(), QStringLiteral("login_edit_username"));
    EXPECT_EQ(Child("login_label_logo")->GetAttribute(QStringLiteral("bkimage")),
              QStringLiteral("edit_lock.png"));
    EXPECT_EQ(Child("login_label_logo")->GetAttribute(QStringLiteral("width")), QStringLiteral("40"));
    EXPECT_TRUE(m_pwd->GetEdit()->IsPasswordMode());
    EXPECT_EQ(Child("login_btn_clear_passwd")->GetAttribute(QStringLiteral("normalimage")),
              QStringLiteral("clear_normal.png"));
    EXPECT_EQ(Child("login_btn_view_passwd")->GetAttribute(QStringLiteral("bkimage")),
              QStringLiteral("eye_closed.png"));
    EXPECT_EQ(Child("login_btn_com")->GetAttribute(QStringLiteral("hotimage")),
              QStringLiteral("combo_hot.png"));
    EXPECT_EQ(m_user->GetEdit()->GetAttribute(QStringLiteral("numberonly")), QStringLiteral("true"));
    // The field keeps its own layout attributes too.
    EXPECT_EQ(m_pwd->GetFixedHeight(), 40);
    EXPECT_FALSE(Child("login_btn_com")->IsVisible());

    // Digits only, at most 11 of them, in the number field.
    Type(m_user->GetEdit(), QStringLiteral("138abc0013800099"));
    EXPECT_EQ(m_user->GetText(), QStringLiteral("13800138000"));
}

TEST_F(AccountEditTest, TypingShowsTheButtonsAndEmptyingHidesThem)
{
    CControlUI* view = Child("login_btn_view_passwd");
    CControlUI* clear = Child("login_btn_clear_passwd");
    Type(m_pwd->GetEdit(), QStringLiteral("a"));
    EXPECT_TRUE(view->IsVisible());
    EXPECT_TRUE(clear->IsVisible());
    QTest::keyClick(m_pwd->GetEdit()->GetWidget(), Qt::Key_Backspace);
    EXPECT_FALSE(view->IsVisible());
    EXPECT_FALSE(clear->IsVisible());

    m_pwd->SetViewButtonEnabled(false);
    Type(m_pwd->GetEdit(), QStringLiteral("b"));
    EXPECT_FALSE(view->IsVisible());
    EXPECT_TRUE(clear->IsVisible());

    m_pwd->SetViewButtonEnabled(true);
    m_pwd->SetText(QString());
    EXPECT_TRUE(view->IsVisible()) << "SetText shows the buttons even for an empty text";
    EXPECT_TRUE(clear->IsVisible());
    Type(m_pwd->GetEdit(), QStringLiteral("c"));
    QTest::keyClick(m_pwd->GetEdit()->GetWidget(), Qt::Key_Backspace);
    EXPECT_FALSE(clear->IsVisible()) << "the next textchanged puts the buttons right";
}

TEST_F(AccountEditTest, ClearEmptiesTheFieldKeepsTheFocusAndTellsTheWindow)
{
    Type(m_pwd->GetEdit(), QStringLiteral("secret"));
    m_window.notifications.clear();
    Click(Child("login_btn_clear_passwd"));
    EXPECT_TRUE(m_pwd->GetText().isEmpty());
    EXPECT_FALSE(Child("login_btn_clear_passwd")->IsVisible());
    EXPECT_FALSE(Child("login_btn_view_passwd")->IsVisible());
    EXPECT_TRUE(m_pwd->GetEdit()->IsFocused());
    EXPECT_NE(std::find(m_window.notifications.begin(), m_window.notifications.end(),
                        QStringLiteral("textchanged:login_edit_passwd")),
              m_window.notifications.end());
}

TEST_F(AccountEditTest, TheViewButtonTogglesMaskingAndItsImage)
{
    Type(m_pwd->GetEdit(), QStringLiteral("secret"));
    CControlUI* view = Child("login_btn_view_passwd");
    Click(view);
    EXPECT_FALSE(m_pwd->GetEdit()->IsPasswordMode());
    EXPECT_EQ(view->GetAttribute(QStringLiteral("bkimage")), QStringLiteral("eye_open.png"));
    Click(view);
    EXPECT_TRUE(m_pwd->GetEdit()->IsPasswordMode());
    EXPECT_EQ(view->GetAttribute(QStringLiteral("bkimage")), QStringLiteral("eye_closed.png"));
}

TEST_F(AccountEditTest, TheBorderFollowsPointerAndFocus)
{
    // Pointer over and out of an unfocused field; then focus, and out keeps the highlight.
    Pointer(m_pwd->GetEdit(), true);
    EXPECT_EQ(Border(m_pwd), QStringLiteral("#FFA5CAEE"));
    Pointer(m_pwd->GetEdit(), false);
    EXPECT_EQ(Border(m_pwd), QStringLiteral("#FFCCCCCC"));
    m_pwd->GetEdit()->SetFocus();
    EXPECT_EQ(Border(m_pwd), QStringLiteral("#FFA5CAEE"));
    Pointer(m_pwd->GetEdit(), true);
    Pointer(m_pwd->GetEdit(), false);
    EXPECT_EQ(Border(m_pwd), QStringLiteral("#FFA5CAEE"));
    // Focus moves away: the field goes back to normal, the other field lights up.
    m_user->GetEdit()->SetFocus();
    EXPECT_EQ(Border(m_pwd), QStringLiteral("#FFCCCCCC"));
    EXPECT_EQ(Border(m_user), QStringLiteral("#FFA5CAEE"));
    // The logo lights on hover but focus events from it do not count.
    Pointer(Child("login_label_logo"), true);
    EXPECT_EQ(Border(m_pwd), QStringLiteral("#FFA5CAEE"));
}

TEST_F(AccountEditTest, PrefixedFieldsStillKnowTheirChildren)
{
    m_pwd->SetChildNamePrefix(QStringLiteral("reg_pwd"));
    EXPECT_EQ(m_pwd->GetEditName(), QStringLiteral("reg_pwdlogin_edit_passwd"));
    ASSERT_NE(Child("reg_pwdlogin_btn_clear_passwd"), nullptr);
    Type(m_pwd->GetEdit(), QStringLiteral("x"));
    EXPECT_TRUE(Child("reg_pwdlogin_btn_clear_passwd")->IsVisible());
    Click(Child("reg_pwdlogin_btn_clear_passwd"));
    EXPECT_TRUE(m_pwd->GetText().isEmpty());
}

TEST_F(AccountEditTest, TheListButtonAsksTheOwnerForTheAccountList)
{
    RecordingWindow owner(TestLayout(QStringLiteral("Blank.xml")));
    owner.Create({}, QStringLiteral("owner"), WS_POPUP, 0);
    m_user->SetOwnerWindow(owner.GetHWND());
    m_user->ShowComboButton(true);
    m_user->SetText(QStringLiteral("13800138000"));
    EXPECT_FALSE(Child("login_btn_com")->GetWidget()->isHidden());
    Click(Child("login_btn_com"));
    EXPECT_TRUE(WaitFor([&] {
        return std::find(owner.messages.begin(), owner.messages.end(), WM_USER_SHOW_USER_LIST) !=
               owner.messages.end();
    }));
}

} // namespace
