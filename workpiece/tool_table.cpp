#include "tool_table.h"

#include <cmath>

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

bool ParseToolSpec(std::string_view text, CTool& tool)
{
    const std::size_t colon = text.find(':');
    CTool read;
    if (colon == std::string_view::npos || !ParseToolShape(text.substr(0, colon), read.shape) ||
        !ParseClassicDecimal(text.substr(colon + 1), read.diameter))
        return false;
    tool = read;
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
