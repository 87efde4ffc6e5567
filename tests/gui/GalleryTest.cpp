// Renders every window of the toolkit's first users in its main states to PNG files under the
// build folder (gallery/), so their look can be checked by eye.
#include "GuiTestSupport.h"
#include "account/AccountEditFactory.h"
#include "account/OrvaEditPasswd.h"
#include "account/OrvaEditUserName.h"
#include "dialogs/AboutWnd.h"
#include "dialogs/MessageBoxTip.h"
#include "dialogs/MessageBoxWnd.h"
#include "dialogs/ShowMessageForm.h"
#include "dialogs/SystemSetForm.h"
#include "messages/WindowMessages.h"
#include "ui/EditUI.h"
#include "ui/OptionUI.h"

#include <QApplication>
#include <QEnterEvent>
#include <QFileInfo>
#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

using namespace GuiTestSupport;

namespace {

// A picture that is there and is not one flat colour.
void ExpectPainted(const QString& path)
{
    const QImage image(path);
    ASSERT_FALSE(image.isNull()) << path.toStdString();
    int distinct = 0;
    const QRgb first = image.pixel(image.width() / 2, image.height() / 2);
    for (int y = 0; y < image.height(); y += 3) {
        for (int x = 0; x < image.width(); x += 3) {
            distinct += image.pixel(x, y) != first ? 1 : 0;
        }
    }
    EXPECT_GT(distinct, 50) << path.toStdString();
}

void Hover(CControlUI* control)
{
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(control->GetWidget(), &enter);
}

TEST(Gallery, MessageBoxes)
{
    ScheduleWhileModal([] {
        ExpectPainted(SaveToGallery(CMessageBoxTip::Current()->GetWidget(), "tip_box_markup"));
        Click(CMessageBoxTip::Current()->FindControl(QStringLiteral("msg_box_btn_no")));
    });
    CMessageBoxTip::Show({}, QStringLiteral("离开此页面，返回首页?\n系统<c #FF0000>不会保存</c>您所做的答案"),
                         QStringLiteral("离开"));

    ScheduleWhileModal([] {
        ExpectPainted(SaveToGallery(CMessageBoxWnd::Current()->GetWidget(), "full_box_delete"));
        Click(CMessageBoxWnd::Current()->FindControl(QStringLiteral("msg_btn_no")));
    });
    CMessageBoxWnd::Show({}, QStringLiteral("升级失败，请到官网下载最新版本"), 0, QStringLiteral("确定"),
                         true);

    ScheduleWhileModal([] {
        ExpectPainted(SaveToGallery(CMessageBoxWnd::Current()->GetWidget(), "full_box_info"));
        Click(CMessageBoxWnd::Current()->FindControl(QStringLiteral("btn_close")));
    });
    CMessageBoxWnd::Show({}, QStringLiteral("升级失败，请到官网下载最新版本"), 4, QStringLiteral("确定"),
                         false);
}

TEST(Gallery, NoticeAboutAndSettings)
{
    for (const bool success : {true, false}) {
        CShowMessageForm notice;
        notice.Create({}, QStringLiteral("注册成功"), WS_POPUP, WS_EX_TOOLWINDOW);
        notice.SetNotice(success ? QStringLiteral("注册成功") : QStringLiteral("重置失败"),
                         success ? QStringLiteral("注册成功") : QStringLiteral("重置失败"), success);
        notice.ShowWindow();
        ExpectPainted(SaveToGallery(notice.GetWidget(), success ? "notice_success" : "notice_failure"));
        notice.KillTimer(TIMER_ID_COUNTDOWN);
    }

    CAboutWnd about;
    about.Create({}, QStringLiteral("关于Examora"), WS_POPUP, WS_EX_TOOLWINDOW);
    about.SetVersion("1.0.0.0");
    about.ShowWindow();
    ExpectPainted(SaveToGallery(about.GetWidget(), "about"));

    CSystemSetForm settings;
    settings.Create({}, QStringLiteral("系统设置"), WS_POPUP, WS_EX_TOOLWINDOW);
    settings.FindControl<COptionUI>(QStringLiteral("set_opt_close"))->Selected(true, false);
    settings.ShowWindow();
    ExpectPainted(SaveToGallery(settings.GetWidget(), "settings"));
}

TEST(Gallery, AccountFields)
{
    RecordingWindow window(TestLayout(QStringLiteral("EditFields.xml")));
    window.createControl = [&](const QString& name) {
        return CreateAccountEdit(name, window.GetPaintManager());
    };
    window.Create({}, QStringLiteral("fields"), WS_POPUP, 0);
    window.ShowWindow();
    QApplication::setActiveWindow(window.GetWidget());
    auto* user = window.FindControl<COrvaEditUserName>(QStringLiteral("user"));
    auto* pwd = window.FindControl<COrvaEditPasswd>(QStringLiteral("pwd"));
    user->ShowComboButton(true);
    ExpectPainted(SaveToGallery(window.GetWidget(), "fields_normal"));

    Hover(pwd->GetEdit());
    ExpectPainted(SaveToGallery(window.GetWidget(), "fields_hover"));

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(pwd->GetEdit()->GetWidget(), &leave);
    user->GetEdit()->SetFocus();
    QTest::keyClicks(user->GetEdit()->GetWidget(), QStringLiteral("13800138000"));
    ExpectPainted(SaveToGallery(window.GetWidget(), "fields_focus"));

    pwd->GetEdit()->SetFocus();
    QTest::keyClicks(pwd->GetEdit()->GetWidget(), QStringLiteral("secret12"));
    pwd->GetEdit()->GetWidget()->clearFocus();
    pwd->SetAttribute(QStringLiteral("bordercolor"), QStringLiteral("#FFFF0000"));
    window.FindControl(QStringLiteral("pwd_error"))->SetVisible(true);
    ExpectPainted(SaveToGallery(window.GetWidget(), "fields_error"));

    Click(window.FindControl(QStringLiteral("login_btn_view_passwd")));
    ExpectPainted(SaveToGallery(window.GetWidget(), "fields_revealed"));
}

} // namespace
