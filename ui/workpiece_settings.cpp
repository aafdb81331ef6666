#include "workpiece_settings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <set>
#include <string_view>

#include "classic_number.h"

namespace {

// Value names under SETTINGS_KEY, beside the panel's and the path window's.
const char* const TOOL_COUNT = "stock_tool_count";
// Followed by 1, 2, ...: one tool each, "T=SHAPE:DIAMETER".
const char* const TOOL_PREFIX = "stock_tool_";
const char* const DEFAULT_TOOL = "stock_default_tool";
// "auto", or the six numbers X0,Y0,Z0,X1,Y1,Z1.
const char* const BOX = "stock_box";
const char* const BOX_AUTOMATIC = "auto";

struct ShapeRow {
    ToolShape shape;
    const char* shownName;
};
constexpr ShapeRow SHAPES[] = {
    {TOOL_FLAT, "Schaftfr\xC3\xA4ser"},
    {TOOL_BALL, "Kugelfr\xC3\xA4ser"},
};

const char* const BOX_NAMES[STOCK_BOX_VALUES] = {"X0", "Y0", "Z0", "X1", "Y1", "Z1"};

const char* const DIAMETER_MESSAGE = "Der Durchmesser von T%1 muss gr\xC3\xB6\xC3\x9F" "er als 0 sein.";
const char* const DEFAULT_DIAMETER_MESSAGE =
    "Der Durchmesser des Standardwerkzeugs muss gr\xC3\xB6\xC3\x9F" "er als 0 sein.";
const char* const DUPLICATE_MESSAGE = "T%1 steht zweimal in der Werkzeugtabelle.";
const char* const TOO_MANY_MESSAGE = "Die Werkzeugtabelle fasst h\xC3\xB6" "chstens %1 Werkzeuge.";
const char* const UPSIDE_DOWN_MESSAGE = "Das Rohteil steht verkehrt: %1 muss kleiner als %2 sein.";
const char* const BAD_NUMBER_MESSAGE =
    "Im Feld \xE2\x80\x9E%1\xE2\x80\x9C steht keine Zahl: \xE2\x80\x9E%2\xE2\x80\x9C (mit Dezimalpunkt, z. B. 6.5).";
const char* const BAD_TOOL_NUMBER_MESSAGE =
    "Die Werkzeugnummer \xE2\x80\x9E%1\xE2\x80\x9C ist keine ganze Zahl ab 0.";

bool ParseWholeInt(const std::string& text, int& value)
{
    int parsed = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, parsed);
    if (text.empty() || error != std::errc() || stop != end)
        return false;
    value = parsed;
    return true;
}

std::string FormatShortest(double value)
{
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return error == std::errc() ? std::string(buffer, end) : std::string();
}

} // namespace

QString CWorkpieceSettings::ShapeName(ToolShape shape)
{
    for (const ShapeRow& row : SHAPES) {
        if (row.shape == shape)
            return QString::fromUtf8(row.shownName);
    }
    return QString();
}

std::string CWorkpieceSettings::FormatTool(const CWorkpieceToolEntry& tool)
{
    return std::string(ToolShapeName(tool.shape)) + ':' + FormatShortest(tool.diameter);
}

bool CWorkpieceSettings::ParseTool(const std::string& text, CWorkpieceToolEntry& tool)
{
    CTool read;
    if (!ParseToolText(text, read))
        return false;
    tool.shape = read.shape;
    tool.diameter = read.diameter;
    return true;
}

bool CWorkpieceSettings::ParseNumber(const QString& text, double& value)
{
    return ParseClassicDecimal(text.trimmed().toStdString(), value) && std::isfinite(value);
}

QString CWorkpieceSettings::FormatNumber(double value) { return QString::fromStdString(FormatShortest(value)); }

QString CWorkpieceSettings::BoxValueName(int index) { return QString::fromLatin1(BOX_NAMES[index]); }

void CWorkpieceSettings::Load(ISettingsStore& store)
{
    int count = 0;
    std::string text;
    if (store.ReadSettingString(SETTINGS_KEY, TOOL_COUNT, text) && ParseWholeInt(text, count) && count >= 0 &&
        count <= MAX_TOOLS) {
        tools.clear();
        for (int index = 1; index <= count; ++index) {
            CWorkpieceToolEntry tool;
            if (!store.ReadSettingString(SETTINGS_KEY, TOOL_PREFIX + std::to_string(index), text))
                continue;
            const std::size_t equals = text.find('=');
            if (equals == std::string::npos || !ParseWholeInt(text.substr(0, equals), tool.number) ||
                !ParseTool(text.substr(equals + 1), tool))
                continue;
            tools.push_back(tool);
        }
    }
    CWorkpieceToolEntry fallback;
    if (store.ReadSettingString(SETTINGS_KEY, DEFAULT_TOOL, text) && ParseTool(text, fallback))
        defaultTool = fallback;
    if (store.ReadSettingString(SETTINGS_KEY, BOX, text)) {
        double values[STOCK_BOX_VALUES];
        int found = 0;
        std::size_t start = 0;
        for (; found < STOCK_BOX_VALUES && start <= text.size(); ++found) {
            const std::size_t comma = std::min(text.find(',', start), text.size());
            if (!ParseClassicDecimal(std::string_view(text).substr(start, comma - start), values[found]) ||
                !std::isfinite(values[found]))
                break;
            start = comma + 1;
        }
        if (text == BOX_AUTOMATIC) {
            automaticBox = true;
        } else if (found == STOCK_BOX_VALUES && start == text.size() + 1) {
            automaticBox = false;
            std::copy(values, values + STOCK_BOX_VALUES, box);
        }
    }
    // Entries that were stored by hand and cannot be used count as missing.
    if (!Check().isEmpty())
        *this = CWorkpieceSettings();
}

void CWorkpieceSettings::Save(ISettingsStore& store) const
{
    WriteSettingInt(store, SETTINGS_KEY, TOOL_COUNT, static_cast<int>(tools.size()));
    for (std::size_t index = 0; index < tools.size(); ++index) {
        store.WriteSettingString(SETTINGS_KEY, TOOL_PREFIX + std::to_string(index + 1),
                                 std::to_string(tools[index].number) + '=' + FormatTool(tools[index]));
    }
    store.WriteSettingString(SETTINGS_KEY, DEFAULT_TOOL, FormatTool(defaultTool));
    std::string boxText = BOX_AUTOMATIC;
    if (!automaticBox) {
        boxText.clear();
        for (int index = 0; index < STOCK_BOX_VALUES; ++index)
            boxText += (index == 0 ? "" : ",") + FormatShortest(box[index]);
    }
    store.WriteSettingString(SETTINGS_KEY, BOX, boxText);
}

QString CWorkpieceSettings::Check() const
{
    if (tools.size() > static_cast<std::size_t>(MAX_TOOLS))
        return QString::fromUtf8(TOO_MANY_MESSAGE).arg(MAX_TOOLS);
    std::set<int> numbers;
    for (const CWorkpieceToolEntry& tool : tools) {
        if (tool.number < 0)
            return BadToolNumberMessage(QString::number(tool.number));
        if (!numbers.insert(tool.number).second)
            return QString::fromUtf8(DUPLICATE_MESSAGE).arg(tool.number);
        if (!tool.GetTool().IsValid())
            return QString::fromUtf8(DIAMETER_MESSAGE).arg(tool.number);
    }
    if (!defaultTool.GetTool().IsValid())
        return QString::fromUtf8(DEFAULT_DIAMETER_MESSAGE);
    if (!automaticBox) {
        for (int axis = 0; axis < 3; ++axis) {
            if (!(box[axis] < box[axis + 3]) || !std::isfinite(box[axis]) || !std::isfinite(box[axis + 3]))
                return QString::fromUtf8(UPSIDE_DOWN_MESSAGE)
                    .arg(QString::fromLatin1(BOX_NAMES[axis]), QString::fromLatin1(BOX_NAMES[axis + 3]));
        }
    }
    return QString();
}

bool CWorkpieceSettings::operator==(const CWorkpieceSettings& other) const
{
    return tools == other.tools && defaultTool.shape == other.defaultTool.shape &&
           defaultTool.diameter == other.defaultTool.diameter && automaticBox == other.automaticBox &&
           std::equal(box, box + STOCK_BOX_VALUES, other.box);
}

QString BadNumberMessage(const QString& field, const QString& text)
{
    return QString::fromUtf8(BAD_NUMBER_MESSAGE).arg(field, text);
}

QString BadToolNumberMessage(const QString& text) { return QString::fromUtf8(BAD_TOOL_NUMBER_MESSAGE).arg(text); }
