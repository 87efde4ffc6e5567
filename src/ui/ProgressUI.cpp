#include "ui/ProgressUI.h"

#include <QProgressBar>

CProgressUI::CProgressUI()
    : CControlUI(new QProgressBar)
{
    Bar()->setTextVisible(false);
    Bar()->setRange(0, 100);
    Bar()->setValue(0);
}

QProgressBar* CProgressUI::Bar() const
{
    return static_cast<QProgressBar*>(GetWidget());
}

void CProgressUI::SetValue(int value)
{
    Bar()->setValue(value);
}

int CProgressUI::GetValue() const
{
    return Bar()->value();
}

void CProgressUI::SetMinValue(int value)
{
    Bar()->setMinimum(value);
}

void CProgressUI::SetMaxValue(int value)
{
    Bar()->setMaximum(value);
}

void CProgressUI::SetAttribute(const QString& name, const QString& value)
{
    if (name == QLatin1String("min")) {
        SetMinValue(value.toInt());
    } else if (name == QLatin1String("max")) {
        SetMaxValue(value.toInt());
    } else if (name == QLatin1String("value")) {
        SetValue(value.toInt());
    }
    CControlUI::SetAttribute(name, value);
}

QString CProgressUI::ExtraStyle(const QString& selector) const
{
    const QString colour = ColorCss(QStringLiteral("forecolor"));
    if (colour.isEmpty()) {
        return {};
    }
    const QString radius = GetAttribute(QStringLiteral("borderround")).section(',', 0, 0);
    return selector + QStringLiteral("::chunk { background-color: %1; border-radius: %2px }\n")
                          .arg(colour, radius.isEmpty() ? "0" : radius);
}
