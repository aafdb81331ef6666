// The cutters a program may call by T number: shape and diameter of each,
// and the tool for moves before any T word or for numbers not in the table.
// Editing and storing the table is the settings dialog's; sweeping is the
// workpiece's.
#pragma once

#include <cstdint>
#include <map>
#include <string_view>

enum ToolShape : std::uint8_t { TOOL_FLAT, TOOL_BALL };

// "flat" and "ball": how the command line and the settings store spell a
// shape.
const char* ToolShapeName(ToolShape shape);
bool ParseToolShape(std::string_view name, ToolShape& shape);

struct CTool {
    ToolShape shape = TOOL_FLAT;
    double diameter = 6.0;

    double GetRadius() const { return diameter / 2.0; }
    // A tool cuts only with a finite positive diameter.
    bool IsValid() const;
    bool operator==(const CTool& other) const { return shape == other.shape && diameter == other.diameter; }
    bool operator!=(const CTool& other) const { return !(*this == other); }
};

// "SHAPE:DIAMETER" ("flat:6", "ball:2.5"), as the command line and the
// settings store write a tool; the diameter as ParseClassicDecimal reads it.
// Whether the tool can cut is the caller's question (CTool::IsValid).
bool ParseToolSpec(std::string_view text, CTool& tool);

class CToolTable {
public:
    static constexpr double DEFAULT_DIAMETER = 6.0;

    // Replaces the tool of that number.
    void SetTool(std::int32_t number, const CTool& tool) { tools[number] = tool; }
    void RemoveTool(std::int32_t number) { tools.erase(number); }
    void SetDefaultTool(const CTool& tool) { defaultTool = tool; }
    const CTool& GetDefaultTool() const { return defaultTool; }
    // The tool of a T number; the default tool for a number not in the table.
    const CTool& Find(std::int32_t number) const;
    const std::map<std::int32_t, CTool>& GetTools() const { return tools; }
    // Every tool, the default one included, can cut.
    bool IsValid() const;

private:
    std::map<std::int32_t, CTool> tools;
    CTool defaultTool{TOOL_FLAT, DEFAULT_DIAMETER};
};
