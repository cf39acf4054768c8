#include "editor/product/ControlValueText.h"

#include "engine/model/ValueText.h"

std::string ControlValueText::text(const ParameterInfo& row, float plain)
{
    if (!ValueText::hasCompactForm(row)) return {};
    return ValueText(row).labelledText(plain, ValueText::Style::Compact);
}
