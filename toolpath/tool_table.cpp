#include "tool_table.h"

#include <cmath>
#include <string>

#include "classic_number.h"

namespace {

struct ShapeName {
    ToolShape shape;
    const char* name;
};
constexpr ShapeName SHAPE_NAMES[] = {{TOOL_FLAT, "flat"}, {TOOL_BALL, "ball"}};

} // namespace

const char* ToolShapeName(ToolShape shape)
{
    for (const ShapeName& row : SHAPE_NAMES) {
        if (row.shape == shape)
            return row.name;
    }
    return SHAPE_NAMES[0].name;
}

bool ParseToolShape(std::string_view name, ToolShape& shape)
{
    for (const ShapeName& row : SHAPE_NAMES) {
        if (name == row.name) {
            shape = row.shape;
            return true;
        }
    }
    return false;
}

bool ParseToolText(std::string_view text, CTool& tool)
{
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos)
        return false;
    ToolShape shape = TOOL_FLAT;
    if (!ParseToolShape(text.substr(0, colon), shape))
        return false;
    const std::string number(text.substr(colon + 1));
    if (number.empty() || number.find_first_of(" \t\n\r\f\v") != std::string::npos)
        return false;
    const char* end = nullptr;
    const double diameter = ParseClassicReal(number.c_str(), &end);
    if (end != number.c_str() + number.size())
        return false;
    tool.shape = shape;
    tool.diameter = diameter;
    return true;
}

bool CTool::IsValid() const
{
    return std::isfinite(diameter) && diameter > 0.0 && (shape == TOOL_FLAT || shape == TOOL_BALL);
}

const CTool& CToolTable::Find(std::int32_t number) const
{
    const auto found = tools.find(number);
    return found == tools.end() ? defaultTool : found->second;
}

bool CToolTable::IsValid() const
{
    if (!defaultTool.IsValid())
        return false;
    for (const auto& entry : tools) {
        if (!entry.second.IsValid())
            return false;
    }
    return true;
}
