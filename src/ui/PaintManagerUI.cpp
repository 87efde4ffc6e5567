#include "ui/PaintManagerUI.h"

#include "ui/BoxLayout.h"
#include "ui/ControlUI.h"
#include "ui/RichEditUI.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDateTime>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace {

void* g_instance = nullptr;
QString g_resourcePath;

// The virtual-key code of a key, for WM_KEYDOWN: letters and digits are their upper-case ASCII.
WPARAM VirtualKey(const QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return VK_RETURN;
    case Qt::Key_Escape:
        return VK_ESCAPE;
    default:
        break;
    }
    const int key = event->key();
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z) ||
        key == Qt::Key_Space) {
        return static_cast<WPARAM>(key);
    }
    return 0;
}

bool IsCaptionClass(const QString& className)
{
    static const QStringList classes = {
        "controlui",        "textui",      "labelui",       "containerui",    "horizontallayoutui",
        "verticallayoutui", "tablayoutui", "childlayoutui", "dialoglayoutui", "progresscontainerui"};
    return classes.contains(className.toLower());
}

} // namespace

void CPaintManagerUI::SetInstance(void* instance)
{
    g_instance = instance;
}

void* CPaintManagerUI::GetInstance()
{
    return g_instance;
}

void CPaintManagerUI::SetResourcePath(const QString& path)
{
    g_resourcePath = path;
    if (!g_resourcePath.isEmpty() && !g_resourcePath.endsWith(QLatin1Char('/'))) {
        g_resourcePath += QLatin1Char('/');
    }
}

QString CPaintManagerUI::GetResourcePath()
{
    return g_resourcePath;
}

int CPaintManagerUI::MessageLoop()
{
    return QApplication::exec();
}

CPaintManagerUI::CPaintManagerUI(QWidget* host)
    : m_host(host)
{
    m_defaultFont = MakeFont(QStringLiteral("微软雅黑"), 12, false, false, false);
    m_host->setFont(m_defaultFont);
    m_host->installEventFilter(this);
    m_host->setLayout(new BoxLayout(BoxLayout::Direction::Overlay));
}

CPaintManagerUI::~CPaintManagerUI()
{
    // The controls go first, while their widgets still exist; the widgets go with the host.
    m_root.reset();
}

void CPaintManagerUI::AttachDialog(CControlUI* root)
{
    m_root.reset(root);
    root->GetWidget()->setParent(m_host);
    m_host->layout()->addWidget(root->GetWidget());
    root->GetWidget()->setVisible(root->IsVisible());
    root->SetManager(this, nullptr);
}

CControlUI* CPaintManagerUI::FindControl(const QString& name) const
{
    return m_names.value(name, nullptr);
}

void CPaintManagerUI::AddNotifier(INotifyUI* notifier)
{
    if (std::find(m_notifiers.begin(), m_notifiers.end(), notifier) == m_notifiers.end()) {
        m_notifiers.push_back(notifier);
    }
}

void CPaintManagerUI::RemoveNotifier(INotifyUI* notifier)
{
    m_notifiers.erase(std::remove(m_notifiers.begin(), m_notifiers.end(), notifier), m_notifiers.end());
}

void CPaintManagerUI::SendNotify(CControlUI* control, const QString& type, WPARAM wParam, LPARAM lParam)
{
    TNotifyUI message{type, control, QDateTime::currentMSecsSinceEpoch(), wParam, lParam};
    // A listener may close the window or remove listeners: walk a copy.
    const std::vector<INotifyUI*> notifiers = m_notifiers;
    for (INotifyUI* notifier : notifiers) {
        if (std::find(m_notifiers.begin(), m_notifiers.end(), notifier) != m_notifiers.end()) {
            notifier->Notify(message);
        }
    }
}

void CPaintManagerUI::AddMessageFilter(IMessageFilterUI* filter)
{
    m_filters.push_back(filter);
}

void CPaintManagerUI::RemoveMessageFilter(IMessageFilterUI* filter)
{
    std::erase(m_filters, filter);
}

QFont CPaintManagerUI::MakeFont(const QString& face, int pixelSize, bool bold, bool underline, bool italic)
{
    QFont font;
    font.setFamilies({face, QStringLiteral("Microsoft YaHei"), QStringLiteral("WenQuanYi Micro Hei"),
                      QStringLiteral("Noto Sans CJK SC"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(pixelSize > 0 ? pixelSize : 12);
    font.setBold(bold);
    font.setUnderline(underline);
    font.setItalic(italic);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

void CPaintManagerUI::SetDefaultFont(const QString& face, int size, bool bold, bool underline, bool italic)
{
    m_defaultFont = MakeFont(face, size, bold, underline, italic);
    m_host->setFont(m_defaultFont);
}

void CPaintManagerUI::AddFont(int id, const QFont& font)
{
    m_fonts[id] = font;
}

QFont CPaintManagerUI::GetFont(int id) const
{
    const auto found = m_fonts.find(id);
    return found != m_fonts.end() ? found->second : m_defaultFont;
}

QButtonGroup* CPaintManagerUI::GetOptionGroup(const QString& name)
{
    QButtonGroup*& group = m_groups[name];
    if (group == nullptr) {
        group = new QButtonGroup(this);
        group->setExclusive(true);
    }
    return group;
}

void CPaintManagerUI::AdoptControl(CControlUI* control)
{
    if (!control->GetName().isEmpty() && !m_names.contains(control->GetName())) {
        m_names.insert(control->GetName(), control);
    }
    if (control->GetWidget() != nullptr) {
        control->GetWidget()->installEventFilter(this);
    }
}

void CPaintManagerUI::ForgetControl(CControlUI* control)
{
    // A control that listens (a composite edit) stops listening when it leaves the window.
    if (auto* listener = dynamic_cast<INotifyUI*>(control)) {
        RemoveNotifier(listener);
    }
    for (auto it = m_names.begin(); it != m_names.end();) {
        it = it.value() == control ? m_names.erase(it) : std::next(it);
    }
    if (control->GetWidget() != nullptr) {
        control->GetWidget()->removeEventFilter(this);
    }
}

void CPaintManagerUI::RenameControl(CControlUI* control, const QString& oldName)
{
    if (m_names.value(oldName) == control) {
        m_names.remove(oldName);
    }
    if (!control->GetName().isEmpty() && !m_names.contains(control->GetName())) {
        m_names.insert(control->GetName(), control);
    }
}

bool CPaintManagerUI::IsCaptionAt(const QPoint& position) const
{
    if (m_caption.bottom() <= 0) {
        return false;
    }
    const bool inside = position.x() >= m_caption.left() &&
                        position.x() < m_host->width() - m_caption.right() &&
                        position.y() >= m_caption.top() && position.y() < m_caption.bottom();
    if (!inside) {
        return false;
    }
    const QWidget* under = m_host->childAt(position);
    const CControlUI* control = CControlUI::FromWidget(under);
    return control == nullptr || IsCaptionClass(control->GetClass());
}

bool CPaintManagerUI::eventFilter(QObject* watched, QEvent* event)
{
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr) {
        return false;
    }
    CControlUI* control = widget == m_host ? nullptr : CControlUI::FromWidget(widget);
    if (control != nullptr && control->GetWidget() != widget) {
        control = nullptr;
    }
    switch (event->type()) {
    case QEvent::Enter:
        if (control != nullptr) {
            SendNotify(control, QStringLiteral("mouseenter"));
        }
        break;
    case QEvent::Leave:
        if (control != nullptr) {
            SendNotify(control, QStringLiteral("mouseleave"));
        }
        break;
    case QEvent::FocusIn:
        if (control != nullptr) {
            SendNotify(control, QStringLiteral("setfocus"));
        }
        break;
    case QEvent::FocusOut:
        if (control != nullptr) {
            SendNotify(control, QStringLiteral("killfocus"));
        }
        break;
    case QEvent::KeyPress:
        return FilterKey(widget, static_cast<QKeyEvent*>(event));
    case QEvent::MouseButtonPress: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            IsCaptionAt(m_host->mapFromGlobal(mouse->globalPosition().toPoint())) &&
            m_host->windowHandle() != nullptr) {
            m_host->windowHandle()->startSystemMove();
            return true;
        }
        break;
    }
    default:
        break;
    }
    return false;
}

bool CPaintManagerUI::FilterKey(QWidget* watched, QKeyEvent* event)
{
    // An unhandled key event goes on to the parents, some of which we watch too: act on it once.
    // Only a parent of the widget where it was first seen is on that way; the same address and
    // time stamp alone are no proof (synthetic events share both), and a new press must not be
    // lost.
    if (event == m_lastKey.event && event->timestamp() == m_lastKey.timestamp &&
        m_lastKey.receiver != nullptr && watched != m_lastKey.receiver &&
        watched->isAncestorOf(m_lastKey.receiver)) {
        return false;
    }
    m_lastKey = {event, event->timestamp(), watched};
    const WPARAM key = VirtualKey(event);
    for (IMessageFilterUI* filter : m_filters) {
        bool handled = false;
        filter->MessageHandler(WM_KEYDOWN, key, 0, handled);
        if (handled) {
            return true;
        }
    }
    if (key != VK_TAB) {
        return false;
    }
    const CControlUI* focused = CControlUI::FromWidget(QApplication::focusWidget());
    if (focused != nullptr && focused->IsVisible() && focused->IsEnabled()) {
        const auto* rich = dynamic_cast<const CRichEditUI*>(focused);
        if ((rich != nullptr && rich->IsWantTab()) ||
            focused->GetClass().contains(QLatin1String("WkeWebkitUI"))) {
            return false;
        }
    }
    const bool forward = event->key() == Qt::Key_Tab && !(event->modifiers() & Qt::ShiftModifier);
    QWidget* start = QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : m_host;
    QWidget* next = start;
    do {
        next = forward ? next->nextInFocusChain() : next->previousInFocusChain();
    } while (next != start && !(next->window() == m_host && next->isVisible() && next->isEnabled() &&
                                (next->focusPolicy() & Qt::TabFocus) != 0));
    if (next != start) {
        next->setFocus(Qt::TabFocusReason);
    }
    return true;
}
