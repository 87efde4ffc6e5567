#include "account/LognComboxWnd.h"

#include "account/LoginForm.h"
#include "account/OrvaEditUserName.h"
#include "settings/ConfigService.h"
#include "ui/DialogBuilder.h"
#include "ui/ListUI.h"

#include <QScreen>
#include <QWidget>

namespace {

CLognComboxWnd* g_current = nullptr;

constexpr const char* kNormalText = "#FF333333";
constexpr const char* kHotText = "#FFFEFEFE";

} // namespace

CLognComboxWnd::CLognComboxWnd()
{
    g_current = this;
}

CLognComboxWnd::~CLognComboxWnd()
{
    if (g_current == this) {
        g_current = nullptr;
    }
}

CLognComboxWnd* CLognComboxWnd::Current()
{
    return g_current;
}

void CLognComboxWnd::ShowUnder(const WindowHandle& loginWindow, COrvaEditUserName* field)
{
    const qsizetype accounts = CConfigService::Instance().LoadUsers().size();
    const int height = kRowHeight * static_cast<int>(accounts > 0 ? accounts : 5) + 6;
    const QWidget* under = field->GetWidget();
    const QPoint topLeft = under->mapToGlobal(QPoint(0, 0));
    QRect place(topLeft.x(), topLeft.y() + under->height(), under->width(), height);
    // Above the field when it would leave the work area at the bottom (no further clamping).
    const QScreen* screen = under->screen();
    if (screen != nullptr && place.bottom() > screen->availableGeometry().bottom()) {
        place.moveBottom(topLeft.y() - 1);
    }
    Create(loginWindow, QString(), WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
           WS_EX_TOOLWINDOW);
    QWidget* popup = GetWidget();
    // A popup closes itself when the user clicks elsewhere; that close is the popup's WM_CLOSE.
    popup->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
    popup->setAttribute(Qt::WA_TranslucentBackground);
    popup->setGeometry(place);
    ShowWindow(true, true);
}

void CLognComboxWnd::InitWindow()
{
    auto* list = FindControl<CListUI>(QStringLiteral("list_user"));
    if (list == nullptr) {
        return;
    }
    const QList<SavedUser> users = CConfigService::Instance().LoadUsers();
    m_records.reserve(static_cast<std::size_t>(users.size()));
    for (const SavedUser& user : users) {
        CDialogBuilder builder;
        auto* row = dynamic_cast<CContainerUI*>(
            builder.Create(QStringLiteral("LoginUsersItem.xml"), &GetPaintManager()));
        if (row == nullptr || !list->AddItem(row)) {
            delete row;
            continue;
        }
        SavedUser record;
        record.section = user.section;
        record.userName = user.userName;
        record.userPwd = user.userPwd;
        record.isRememberPwd = user.isRememberPwd;
        record.isAutoLogin = user.isAutoLogin;
        m_records.push_back(record);
        const auto tag = static_cast<uintptr_t>(m_records.size());
        row->SetTag(tag);
        for (int i = 0; i < row->GetCount(); ++i) {
            CControlUI* child = row->GetItemAt(i);
            if (child->GetName() == QLatin1String("user_name")) {
                child->SetText(user.userName);
            } else if (child->GetName() == QLatin1String("user_del")) {
                child->SetTag(tag);
            }
        }
    }
}

const SavedUser* CLognComboxWnd::RecordOf(const CControlUI* control) const
{
    const uintptr_t tag = control != nullptr ? control->GetTag() : 0;
    return tag > 0 && tag <= m_records.size() ? &m_records[tag - 1] : nullptr;
}

void CLognComboxWnd::Notify(TNotifyUI& msg)
{
    if (msg.pSender == nullptr) {
        return;
    }
    if (msg.sType == QLatin1String("itemclick")) {
        if (const SavedUser* record = RecordOf(msg.pSender);
            record != nullptr && CLoginForm::CurrentLoginForm()) {
            CLoginForm::CurrentLoginForm()->FillAccount(*record);
        }
        Close(1);
    } else if (msg.sType == QLatin1String("click")) {
        if (msg.pSender->GetName() == QLatin1String("user_del")) {
            if (const SavedUser* record = RecordOf(msg.pSender)) {
                CConfigService::Instance().DeleteUser(record->userName);
            }
        }
        Close(1);
    } else if (msg.sType == QLatin1String("mouseenter") || msg.sType == QLatin1String("mouseleave")) {
        if (auto* row = dynamic_cast<CListContainerElementUI*>(msg.pSender)) {
            for (int i = 0; i < row->GetCount(); ++i) {
                if (row->GetItemAt(i)->GetName() == QLatin1String("user_name")) {
                    row->GetItemAt(i)->SetAttribute(
                        QStringLiteral("textcolor"),
                        QString::fromLatin1(msg.sType == QLatin1String("mouseenter") ? kHotText
                                                                                     : kNormalText));
                }
            }
        }
    }
    WindowImplBase::Notify(msg);
}

LRESULT CLognComboxWnd::HandleMessage(WindowMessage& message)
{
    if (message.message == WM_ACTIVATE && (message.wParam & 0xFFFF) == WA_INACTIVE) {
        Close(1);
    }
    return WindowImplBase::HandleMessage(message);
}
