#pragma once

#include <QString>

#include <initializer_list>
#include <utility>
#include <vector>

class CLabelUI;
class COrvaEditField;

// The account windows' messages: hidden labels under the fields they concern. Showing one makes it
// visible with its text and turns its field's border red; clearing hides every label, empties it
// and gives every field its normal border again. A missing label or field is skipped.
class FieldTips
{
public:
    FieldTips() = default;
    FieldTips(std::initializer_list<std::pair<CLabelUI*, COrvaEditField*>> tips);

    void Show(CLabelUI* label, const QString& text) const;
    void Clear() const;

private:
    std::vector<std::pair<CLabelUI*, COrvaEditField*>> m_tips;
};
