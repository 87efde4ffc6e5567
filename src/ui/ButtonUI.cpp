#include "ui/ButtonUI.h"

#include "ui/PaintManagerUI.h"

#include <QPushButton>

CButtonUI::CButtonUI()
    : CButtonUI(new QPushButton)
{
    static_cast<QPushButton*>(Button())->setFlat(true);
}

CButtonUI::CButtonUI(QAbstractButton* button)
    : CControlUI(button)
{
    button->setAttribute(Qt::WA_StyledBackground);
    button->setCursor(Qt::PointingHandCursor);
    button->setFocusPolicy(Qt::TabFocus);
    QObject::connect(button, &QAbstractButton::clicked, Context(), [this] {
        if (GetManager() != nullptr) {
            GetManager()->SendNotify(this, QStringLiteral("click"));
        }
    });
}

QAbstractButton* CButtonUI::Button() const
{
    return static_cast<QAbstractButton*>(GetWidget());
}

void CButtonUI::SetText(const QString& text)
{
    CControlUI::SetText(text);
    if (Button() != nullptr) {
        Button()->setText(text);
    }
}
