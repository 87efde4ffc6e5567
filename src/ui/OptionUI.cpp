#include "ui/OptionUI.h"

#include "ui/PaintManagerUI.h"

#include <QButtonGroup>
#include <QCheckBox>

namespace {

// An option answers a click anywhere on it, not only on its indicator and text.
class WholeRowCheckBox final : public QCheckBox
{
protected:
    [[nodiscard]] bool hitButton(const QPoint& position) const override { return rect().contains(position); }
};

} // namespace

COptionUI::COptionUI()
    : CButtonUI(new WholeRowCheckBox)
{
    QObject::connect(Button(), &QAbstractButton::clicked, Context(), [this] {
        if (GetManager() != nullptr) {
            GetManager()->SendNotify(this, QStringLiteral("selectchanged"));
        }
    });
}

bool COptionUI::IsSelected() const
{
    return Button() != nullptr && Button()->isChecked();
}

void COptionUI::Selected(bool selected, bool triggerEvent)
{
    if (Button() == nullptr || Button()->isChecked() == selected) {
        return;
    }
    Button()->setChecked(selected);
    if (triggerEvent && GetManager() != nullptr) {
        GetManager()->SendNotify(this, QStringLiteral("selectchanged"));
    }
}

void COptionUI::SetAttribute(const QString& name, const QString& value)
{
    if (name == QLatin1String("selected")) {
        Selected(value == QLatin1String("true"), false);
    } else if (name == QLatin1String("group") && GetManager() != nullptr) {
        GetManager()->GetOptionGroup(value)->addButton(Button());
    }
    CButtonUI::SetAttribute(name, value);
}

void COptionUI::SetManager(CPaintManagerUI* manager, CControlUI* parent)
{
    CButtonUI::SetManager(manager, parent);
    const QString group = GetAttribute(QStringLiteral("group"));
    if (manager != nullptr && !group.isEmpty()) {
        manager->GetOptionGroup(group)->addButton(Button());
    }
}

QString COptionUI::ExtraStyle(const QString& selector) const
{
    auto indicator = [&](const QString& state, const QString& attribute) {
        const QString url = ImageUrl(attribute);
        return url.isEmpty() ? QString()
                             : selector + QStringLiteral("::indicator") + state +
                                   QStringLiteral(" { image: ") + url + QStringLiteral(" }\n");
    };
    QString sheet;
    const int width = GetAttribute(QStringLiteral("indicatorwidth")).toInt();
    const int height = GetAttribute(QStringLiteral("indicatorheight")).toInt();
    if (width > 0 && height > 0) {
        sheet +=
            selector + QStringLiteral("::indicator { width: %1px; height: %2px }\n").arg(width).arg(height);
    }
    sheet += indicator(QString(), QStringLiteral("normalimage"));
    sheet += indicator(QStringLiteral(":hover"), QStringLiteral("hotimage"));
    sheet += indicator(QStringLiteral(":checked"), QStringLiteral("selectedimage"));
    sheet += indicator(QStringLiteral(":checked:hover"), QStringLiteral("selectedhotimage"));
    sheet += indicator(QStringLiteral(":disabled"), QStringLiteral("disabledimage"));
    return sheet;
}
