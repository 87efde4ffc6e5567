#include "account/FieldTips.h"

#include "account/OrvaEditField.h"
#include "ui/LabelUI.h"

namespace {

constexpr const char* kErrorBorder = "#FFFF0000";

} // namespace

FieldTips::FieldTips(std::initializer_list<std::pair<CLabelUI*, COrvaEditField*>> tips)
    : m_tips(tips)
{
}

void FieldTips::Show(CLabelUI* label, const QString& text) const
{
    if (label == nullptr) {
        return;
    }
    label->SetVisible(true);
    label->SetText(text);
    for (const auto& [tip, field] : m_tips) {
        if (tip == label && field != nullptr) {
            field->SetAttribute(QStringLiteral("bordercolor"), QString::fromLatin1(kErrorBorder));
        }
    }
}

void FieldTips::Clear() const
{
    for (const auto& [tip, field] : m_tips) {
        if (tip != nullptr) {
            tip->SetVisible(false);
            tip->SetText(QString());
        }
        if (field != nullptr) {
            field->SetAttribute(QStringLiteral("bordercolor"),
                                QString::fromLatin1(COrvaEditField::kNormalBorder));
        }
    }
}
