#include "workpiece_settings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <set>
#include <string_view>

#include <QStringList>

#include "classic_number.h"
#include "code_page_1252.h"

namespace {

// Value names under SETTINGS_KEY, beside the panel's and the path window's.
const char* const TOOL_COUNT = "stock_tool_count";
// Followed by 1, 2, ...: one tool each, "T=SHAPE:DIAMETER".
const char* const TOOL_PREFIX = "stock_tool_";
const char* const DEFAULT_TOOL = "stock_default_tool";
// "auto", or the six numbers X0,Y0,Z0,X1,Y1,Z1.
const char* const BOX = "stock_box";
const char* const BOX_AUTOMATIC = "auto";
// A program's own values carry its mark after "stock_".
constexpr std::size_t PROGRAM_PREFIX_AT = 6;

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
    "Im Feld \xE2\x80\x9E%1\xE2\x80\x9C steht keine Zahl: \xE2\x80\x9E%2\xE2\x80\x9C (z. B. 6.5 oder 6,5).";
const char* const EMPTY_FIELD_MESSAGE = "Feld ist leer: \xE2\x80\x9E%1\xE2\x80\x9C.";
const char* const DROPPED_TEXT = "Gespeicherte Werkst\xC3\xBC" "ck-Einstellungen verworfen: ";
const char* const DROPPED_TABLE_TEXT = "Werkzeugtabelle (Anzahl unlesbar)";
const char* const DROPPED_TOOL_TEXT = "Werkzeug \xE2\x80\x9E%1\xE2\x80\x9C";
const char* const DROPPED_DEFAULT_TEXT = "Standardwerkzeug \xE2\x80\x9E%1\xE2\x80\x9C";
const char* const DROPPED_BOX_TEXT = "Rohteil \xE2\x80\x9E%1\xE2\x80\x9C";
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
    // A person types the decimal comma of German as readily as the point;
    // one comma, and no point beside it, is the decimal separator.
    QString number = text.trimmed();
    if (number.count(QLatin1Char(',')) == 1 && !number.contains(QLatin1Char('.')))
        number.replace(QLatin1Char(','), QLatin1Char('.'));
    return ParseClassicDecimal(number.toStdString(), value) && std::isfinite(value);
}

bool CWorkpieceSettings::ParseToolNumber(const QString& text, int& number)
{
    // "T2" as the program writes it, or the number alone.
    QString digits = text.trimmed();
    if (digits.startsWith(QLatin1Char('T'), Qt::CaseInsensitive))
        digits.remove(0, 1);
    int parsed = 0;
    if (digits.isEmpty() || !ParseWholeInt(digits.toStdString(), parsed) || parsed < 0)
        return false;
    number = parsed;
    return true;
}

QString CWorkpieceSettings::FormatNumber(double value) { return QString::fromStdString(FormatShortest(value)); }

QString CWorkpieceSettings::BoxValueName(int index) { return QString::fromLatin1(BOX_NAMES[index]); }

QString CWorkpieceSettings::Load(ISettingsStore& store, const std::string& program)
{
    *this = CWorkpieceSettings();
    const auto name = [&program](const char* base) { return ValueName(program, base); };
    QStringList dropped;
    int count = 0;
    std::string text;
    if (store.ReadSettingString(SETTINGS_KEY, name(TOOL_COUNT), text)) {
        if (!ParseWholeInt(text, count) || count < 0 || count > MAX_TOOLS) {
            dropped << QString::fromUtf8(DROPPED_TABLE_TEXT);
            count = 0;
        }
    }
    std::set<int> numbers;
    for (int index = 1; index <= count; ++index) {
        CWorkpieceToolEntry tool;
        if (!store.ReadSettingString(SETTINGS_KEY, name(TOOL_PREFIX) + std::to_string(index), text))
            continue;
        // One entry that cannot be used goes alone; the others stay.
        const std::size_t equals = text.find('=');
        if (equals == std::string::npos || !ParseWholeInt(text.substr(0, equals), tool.number) || tool.number < 0 ||
            !ParseTool(text.substr(equals + 1), tool) || !tool.GetTool().IsValid() ||
            !numbers.insert(tool.number).second) {
            dropped << QString::fromUtf8(DROPPED_TOOL_TEXT).arg(Cp1252ToQString(text));
            continue;
        }
        tools.push_back(tool);
    }
    CWorkpieceToolEntry fallback;
    if (store.ReadSettingString(SETTINGS_KEY, name(DEFAULT_TOOL), text)) {
        if (ParseTool(text, fallback) && fallback.GetTool().IsValid())
            defaultTool = fallback;
        else
            dropped << QString::fromUtf8(DROPPED_DEFAULT_TEXT).arg(Cp1252ToQString(text));
    }
    if (store.ReadSettingString(SETTINGS_KEY, name(BOX), text)) {
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
        if (!automaticBox && !Check().isEmpty())
            automaticBox = true;
        if (automaticBox && text != BOX_AUTOMATIC)
            dropped << QString::fromUtf8(DROPPED_BOX_TEXT).arg(Cp1252ToQString(text));
    }
    return dropped.isEmpty() ? QString() : QString::fromUtf8(DROPPED_TEXT) + dropped.join(QStringLiteral("; "));
}

bool CWorkpieceSettings::Save(ISettingsStore& store, const std::string& program) const
{
    const auto name = [&program](const char* base) { return ValueName(program, base); };
    bool stored = true;
    stored = WriteSettingInt(store, SETTINGS_KEY, name(TOOL_COUNT), static_cast<int>(tools.size()));
    for (std::size_t index = 0; index < tools.size(); ++index) {
        stored = store.WriteSettingString(SETTINGS_KEY, name(TOOL_PREFIX) + std::to_string(index + 1),
                                          std::to_string(tools[index].number) + '=' + FormatTool(tools[index])) &&
                 stored;
    }
    stored = store.WriteSettingString(SETTINGS_KEY, name(DEFAULT_TOOL), FormatTool(defaultTool)) && stored;
    std::string boxText = BOX_AUTOMATIC;
    if (!automaticBox) {
        boxText.clear();
        for (int index = 0; index < STOCK_BOX_VALUES; ++index)
            boxText += (index == 0 ? "" : ",") + FormatShortest(box[index]);
    }
    return store.WriteSettingString(SETTINGS_KEY, name(BOX), boxText) && stored;
}

std::string CWorkpieceSettings::ValueName(const std::string& program, const char* base)
{
    if (program.empty())
        return base;
    // FNV-1a of the path: a short name that stays within what the store
    // takes as a value name, whatever characters the path holds.
    std::uint64_t hash = 14695981039346656037ull;
    for (const char byte : program) {
        hash ^= static_cast<unsigned char>(byte);
        hash *= 1099511628211ull;
    }
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
    const std::string name = base;
    return name.substr(0, PROGRAM_PREFIX_AT) + digits + '_' + name.substr(PROGRAM_PREFIX_AT);
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
    if (text.trimmed().isEmpty())
        return QString::fromUtf8(EMPTY_FIELD_MESSAGE).arg(field);
    return QString::fromUtf8(BAD_NUMBER_MESSAGE).arg(field, text);
}

QString BadToolNumberMessage(const QString& text)
{
    if (text.trimmed().isEmpty())
        return QString::fromUtf8(EMPTY_FIELD_MESSAGE).arg(QStringLiteral("T"));
    return QString::fromUtf8(BAD_TOOL_NUMBER_MESSAGE).arg(text);
}
