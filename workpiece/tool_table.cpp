#include "tool_table.h"

#include <cmath>

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
