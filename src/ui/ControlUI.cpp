#include "ui/ControlUI.h"

#include "ui/PaintManagerUI.h"
#include "ui/UiColor.h"

#include <QVariant>
#include <QWidget>

namespace {

constexpr const char* kControlProperty = "examoraControl";

// "l,t,r,b" (missing parts are 0).
QMargins ParseMargins(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    auto part = [&](int index) { return index < parts.size() ? parts[index].trimmed().toInt() : 0; };
    return {part(0), part(1), part(2), part(3)};
}

bool ParseBool(const QString& text)
{
    return text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || text == QLatin1String("1");
}

// Attributes that only change how the widget is drawn.
bool IsStyleAttribute(const QString& name)
{
    static const QStringList names = {
        "bkcolor",           "bordercolor",      "bordersize",       "borderround",    "textcolor",
        "disabledtextcolor", "hottextcolor",     "bkimage",          "normalimage",    "hotimage",
        "pushedimage",       "disabledimage",    "focusbordercolor", "hotbkcolor",     "pushedbkcolor",
        "selectedimage",     "selectedhotimage", "forecolor",        "disabledbkcolor"};
    return names.contains(name);
}

} // namespace

CControlUI::CControlUI()
    : CControlUI(new QWidget)
{
    m_widget->setAttribute(Qt::WA_StyledBackground);
}

CControlUI::CControlUI(QWidget* widget)
    : m_widget(widget)
    , m_context(std::make_unique<QObject>())
{
    widget->setProperty(kControlProperty, QVariant::fromValue(static_cast<void*>(this)));
    widget->setObjectName(QStringLiteral("c%1").arg(reinterpret_cast<quintptr>(this), 0, 16));
}

CControlUI::~CControlUI()
{
    if (m_manager != nullptr) {
        m_manager->ForgetControl(this);
    }
    if (m_widget != nullptr) {
        m_widget->setProperty(kControlProperty, QVariant());
        // A control never placed in a window still owns its widget.
        if (m_widget->parent() == nullptr) {
            delete m_widget.data();
        }
    }
}

CControlUI* CControlUI::FromWidget(const QWidget* widget)
{
    for (; widget != nullptr; widget = widget->parentWidget()) {
        const QVariant control = widget->property(kControlProperty);
        if (control.isValid()) {
            return static_cast<CControlUI*>(control.value<void*>());
        }
    }
    return nullptr;
}

void CControlUI::SetName(const QString& name)
{
    const QString old = m_name;
    m_name = name;
    if (m_manager != nullptr) {
        m_manager->RenameControl(this, old);
    }
}

void CControlUI::SetText(const QString& text)
{
    m_text = text;
}

bool CControlUI::IsVisible() const
{
    return m_visible;
}

void CControlUI::SetVisible(bool visible)
{
    m_visible = visible;
    if (m_widget != nullptr) {
        m_widget->setVisible(visible);
    }
}

bool CControlUI::IsEnabled() const
{
    return m_widget != nullptr && m_widget->isEnabled();
}

void CControlUI::SetEnabled(bool enabled)
{
    if (m_widget != nullptr) {
        m_widget->setEnabled(enabled);
    }
}

QString CControlUI::GetToolTip() const
{
    return m_widget != nullptr ? m_widget->toolTip() : QString();
}

void CControlUI::SetToolTip(const QString& text)
{
    if (m_widget != nullptr) {
        m_widget->setToolTip(text);
    }
}

void CControlUI::SetFocus()
{
    if (m_widget != nullptr) {
        m_widget->setFocus(Qt::OtherFocusReason);
    }
}

bool CControlUI::IsFocused() const
{
    return m_widget != nullptr && m_widget->hasFocus();
}

void CControlUI::SetPadding(const QMargins& padding)
{
    m_padding = padding;
    Relayout();
}

void CControlUI::SetFixedWidth(int width)
{
    m_fixedWidth = width;
    Relayout();
}

void CControlUI::SetFixedHeight(int height)
{
    m_fixedHeight = height;
    Relayout();
}

void CControlUI::Relayout()
{
    if (m_widget != nullptr && m_widget->parentWidget() != nullptr) {
        m_widget->parentWidget()->updateGeometry();
    }
}

void CControlUI::SetManager(CPaintManagerUI* manager, CControlUI* parent)
{
    if (m_manager != nullptr && m_manager != manager) {
        m_manager->ForgetControl(this);
    }
    m_parent = parent;
    m_manager = manager;
    if (manager != nullptr) {
        manager->AdoptControl(this);
        const QString font = m_attributes.value(QStringLiteral("font"));
        if (!font.isEmpty() && m_widget != nullptr) {
            m_widget->setFont(manager->GetFont(font.toInt()));
        }
    }
}

void CControlUI::SetAttribute(const QString& name, const QString& value)
{
    m_attributes.insert(name, value);
    if (name == QLatin1String("name")) {
        SetName(value);
    } else if (name == QLatin1String("text")) {
        SetText(value);
    } else if (name == QLatin1String("tooltip")) {
        SetToolTip(value);
    } else if (name == QLatin1String("visible")) {
        SetVisible(ParseBool(value));
    } else if (name == QLatin1String("enabled")) {
        SetEnabled(ParseBool(value));
    } else if (name == QLatin1String("width")) {
        SetFixedWidth(value.toInt());
    } else if (name == QLatin1String("height")) {
        SetFixedHeight(value.toInt());
    } else if (name == QLatin1String("padding")) {
        SetPadding(ParseMargins(value));
    } else if (name == QLatin1String("font")) {
        if (m_manager != nullptr && m_widget != nullptr) {
            m_widget->setFont(m_manager->GetFont(value.toInt()));
        }
    } else if (IsStyleAttribute(name)) {
        UpdateStyle();
    }
}

QString CControlUI::ImageUrl(const QString& attribute) const
{
    const QString file = m_attributes.value(attribute);
    if (file.isEmpty()) {
        return {};
    }
    return QStringLiteral("url(\"%1\")").arg(CPaintManagerUI::GetResourcePath() + file);
}

QString CControlUI::ColorCss(const QString& attribute) const
{
    const auto color = UiColor::Parse(m_attributes.value(attribute));
    return color ? UiColor::Css(*color) : QString();
}

QString CControlUI::ExtraStyle(const QString&) const
{
    return {};
}

void CControlUI::UpdateStyle()
{
    if (m_widget == nullptr) {
        return;
    }
    const QString selector = QLatin1Char('#') + m_widget->objectName();
    auto rule = [](const QString& state, const QStringList& declarations) {
        QStringList present;
        for (const QString& declaration : declarations) {
            // A declaration whose value is empty was not asked for.
            if (!declaration.endsWith(QLatin1String(": "))) {
                present << declaration;
            }
        }
        return present.isEmpty()
                   ? QString()
                   : state + QStringLiteral(" { ") + present.join("; ") + QStringLiteral(" }\n");
    };
    auto image = [&](const QString& attribute) {
        const QString url = ImagesOnWidget() ? ImageUrl(attribute) : QString();
        return QStringLiteral("border-image: ") +
               (url.isEmpty() ? QString() : url + QStringLiteral(" 0 0 0 0 stretch"));
    };
    QString borderSize = m_attributes.value(QStringLiteral("bordersize"));
    if (borderSize.isEmpty() && m_attributes.contains(QStringLiteral("bordercolor"))) {
        borderSize = QStringLiteral("1");
    }
    QStringList base = {
        QStringLiteral("background-color: ") + ColorCss(QStringLiteral("bkcolor")),
        QStringLiteral("color: ") + ColorCss(QStringLiteral("textcolor")),
        QStringLiteral("border-radius: ") +
            (m_attributes.contains(QStringLiteral("borderround"))
                 ? QString::number(
                       m_attributes.value(QStringLiteral("borderround")).section(',', 0, 0).toInt()) +
                       "px"
                 : QString()),
        image(m_attributes.contains(QStringLiteral("bkimage")) ? QStringLiteral("bkimage")
                                                               : QStringLiteral("normalimage"))};
    if (!borderSize.isEmpty()) {
        const QString color = ColorCss(QStringLiteral("bordercolor"));
        base << QStringLiteral("border: %1px solid %2")
                    .arg(borderSize.toInt())
                    .arg(color.isEmpty() ? "transparent" : color);
    }
    QString sheet = rule(selector, base);
    sheet += rule(selector + QStringLiteral(":hover"),
                  {image(QStringLiteral("hotimage")),
                   QStringLiteral("background-color: ") + ColorCss(QStringLiteral("hotbkcolor")),
                   QStringLiteral("color: ") + ColorCss(QStringLiteral("hottextcolor"))});
    sheet += rule(selector + QStringLiteral(":pressed"),
                  {image(QStringLiteral("pushedimage")),
                   QStringLiteral("background-color: ") + ColorCss(QStringLiteral("pushedbkcolor"))});
    sheet += rule(selector + QStringLiteral(":focus"),
                  {QStringLiteral("border-color: ") + ColorCss(QStringLiteral("focusbordercolor"))});
    sheet += rule(selector + QStringLiteral(":disabled"),
                  {image(QStringLiteral("disabledimage")),
                   QStringLiteral("color: ") + ColorCss(QStringLiteral("disabledtextcolor")),
                   QStringLiteral("background-color: ") + ColorCss(QStringLiteral("disabledbkcolor"))});
    sheet += ExtraStyle(selector);
    m_widget->setStyleSheet(sheet);
}
