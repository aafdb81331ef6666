// What the learner chose for the workpiece: the tool table (T number, shape,
// diameter), the default tool and the box (automatic or six numbers). Kept in
// the panel's settings store, one value per entry so that no value outgrows
// the store's read buffer. Checking entries gives a German message a learner
// can act on; sweeping with them is the workpiece library's.
#pragma once

#include <string>
#include <vector>

#include <QString>

#include "program_host.h"
#include "tool_table.h"

struct CWorkpieceToolEntry {
    int number = 0;
    ToolShape shape = TOOL_FLAT;
    double diameter = CToolTable::DEFAULT_DIAMETER;

    CTool GetTool() const { return CTool{shape, diameter}; }
    bool operator==(const CWorkpieceToolEntry& other) const
    {
        return number == other.number && shape == other.shape && diameter == other.diameter;
    }
};

// X0, Y0, Z0, X1, Y1, Z1 in the program's units.
constexpr int STOCK_BOX_VALUES = 6;

class CWorkpieceSettings {
public:
    // The most tools the table keeps; more is no table a learner types in.
    static constexpr int MAX_TOOLS = 99;

    std::vector<CWorkpieceToolEntry> tools;
    // Its number is not used.
    CWorkpieceToolEntry defaultTool;
    bool automaticBox = true;
    double box[STOCK_BOX_VALUES] = {0.0, 0.0, -10.0, 100.0, 100.0, 0.0};

    // A stored value that does not read back whole, or cannot be used,
    // keeps its default; the other values stay. Gives what was dropped, in
    // German, or an empty text. Each program has values of its own, by its
    // path; an empty path names the values of no program.
    QString Load(ISettingsStore& store, const std::string& program = std::string());
    // False when a value could not be stored.
    bool Save(ISettingsStore& store, const std::string& program = std::string()) const;
    // The store's value name of a base name ("stock_box") for the program.
    static std::string ValueName(const std::string& program, const char* base);
    // Empty when the entries can be used, else what is wrong with them.
    QString Check() const;

    // The shape's name in the dialogs.
    static QString ShapeName(ToolShape shape);
    // "flat:6" or "ball:3.175", the command line's spelling; numbers in
    // the classic locale and exact to the last bit.
    static std::string FormatTool(const CWorkpieceToolEntry& tool);
    static bool ParseTool(const std::string& text, CWorkpieceToolEntry& tool);
    // A number field's text: leading and trailing blanks allowed, a decimal
    // point or comma, nothing else besides the number.
    static bool ParseNumber(const QString& text, double& value);
    // A T number field's text: "2" or "T2", a whole number from 0.
    static bool ParseToolNumber(const QString& text, int& number);
    static QString FormatNumber(double value);
    // "X0" ... "Z1", as the box dialog names its fields.
    static QString BoxValueName(int index);

    bool operator==(const CWorkpieceSettings& other) const;
};

// Messages for entries that cannot be used; an empty field says so.
QString BadNumberMessage(const QString& field, const QString& text);
QString BadToolNumberMessage(const QString& text);
