#include "tool_table_model.h"

#include <algorithm>
#include <limits>
#include <set>
#include <type_traits>

#include "number_validator.h"

namespace {

const char* const COLUMN_TITLES[CToolTableModel::COLUMN_COUNT] = {"T", "Form", "Durchmesser"};
const char* const DIAMETER_FIELD = "Durchmesser T%1";

bool IsShape(int value)
{
    return value >= 0 && value <= std::numeric_limits<std::underlying_type_t<ToolShape>>::max() &&
           !CWorkpieceSettings::ShapeName(static_cast<ToolShape>(value)).isEmpty();
}

} // namespace

CToolTableModel::CToolTableModel(const std::vector<CWorkpieceToolEntry>& tools, QObject* parent)
    : QAbstractTableModel(parent)
{
    for (const CWorkpieceToolEntry& tool : tools)
        AppendRow(tool);
}

void CToolTableModel::AppendRow(const CWorkpieceToolEntry& tool)
{
    rows.push_back(Row{QString::number(tool.number), tool.shape, CWorkpieceSettings::FormatNumber(tool.diameter)});
}

int CToolTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows.size());
}

int CToolTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : COLUMN_COUNT; }

QVariant CToolTableModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || (role != Qt::DisplayRole && role != Qt::EditRole))
        return QVariant();
    const Row& row = rows[static_cast<std::size_t>(index.row())];
    switch (index.column()) {
    case COLUMN_NUMBER:
        return row.number;
    case COLUMN_SHAPE:
        if (role == Qt::EditRole)
            return static_cast<int>(row.shape);
        return CWorkpieceSettings::ShapeName(row.shape);
    case COLUMN_DIAMETER:
        return row.diameter;
    default:
        return QVariant();
    }
}

bool CToolTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || role != Qt::EditRole)
        return false;
    Row& row = rows[static_cast<std::size_t>(index.row())];
    switch (index.column()) {
    case COLUMN_NUMBER:
        row.number = value.toString();
        break;
    case COLUMN_SHAPE: {
        bool isNumber = false;
        const int shape = value.toInt(&isNumber);
        if (!isNumber || !IsShape(shape))
            return false;
        row.shape = static_cast<ToolShape>(shape);
        break;
    }
    case COLUMN_DIAMETER:
        row.diameter = value.toString();
        break;
    default:
        return false;
    }
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

Qt::ItemFlags CToolTableModel::flags(const QModelIndex& index) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

QVariant CToolTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= COLUMN_COUNT)
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromUtf8(COLUMN_TITLES[section]);
}

int CToolTableModel::NextToolNumber() const
{
    std::set<int> taken;
    for (const Row& row : rows) {
        int number = 0;
        if (CWorkpieceSettings::ParseToolNumber(row.number, number))
            taken.insert(number);
    }
    // The largest number has no next one: adding 1 would overflow.
    if (!taken.empty() && *taken.rbegin() < std::numeric_limits<int>::max())
        return std::max(1, *taken.rbegin() + 1);
    int number = 1;
    while (taken.count(number) != 0)
        ++number;
    return number;
}

int CToolTableModel::AddTool()
{
    CWorkpieceToolEntry tool;
    tool.number = NextToolNumber();
    const int row = rowCount();
    beginInsertRows(QModelIndex(), row, row);
    AppendRow(tool);
    endInsertRows();
    return row;
}

void CToolTableModel::RemoveTool(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    beginRemoveRows(QModelIndex(), row, row);
    rows.erase(rows.begin() + row);
    endRemoveRows();
}

bool CToolTableModel::ReadTools(const QLocale& locale, std::vector<CWorkpieceToolEntry>& tools, QString& fault) const
{
    tools.clear();
    for (const Row& row : rows) {
        CWorkpieceToolEntry tool;
        const QString number = row.number.trimmed();
        if (!CWorkpieceSettings::ParseToolNumber(number, tool.number)) {
            fault = BadToolNumberMessage(number);
            return false;
        }
        tool.shape = row.shape;
        if (!ReadTypedDecimal(row.diameter, locale, tool.diameter)) {
            fault = BadNumberMessage(QString::fromLatin1(DIAMETER_FIELD).arg(tool.number), row.diameter);
            return false;
        }
        tools.push_back(tool);
    }
    return true;
}
