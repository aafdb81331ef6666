#include "tool_table_dialog.h"

#include <algorithm>
#include <limits>
#include <set>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const char* const TITLE = "Werkzeuge";
const char* const COLUMN_TITLES[CToolTableDialog::COLUMN_COUNT] = {"T", "Form", "Durchmesser"};
const char* const ADD_TEXT = "Hinzuf\xC3\xBCgen";
const char* const REMOVE_TEXT = "Entfernen";
const char* const DEFAULT_TEXT = "Standardwerkzeug:";
const char* const DEFAULT_TIP = "F\xC3\xBCr Bewegungen vor dem ersten T-Wort und T-Nummern, die nicht in der Tabelle stehen";
const char* const DEFAULT_FIELD = "Durchmesser des Standardwerkzeugs";
const ToolShape SHAPE_ORDER[] = {TOOL_FLAT, TOOL_BALL};

// The messages stand out from the labels around them.
const char* const MESSAGE_STYLE = "color: #B00020;";

} // namespace

QComboBox* NewShapeChooser(ToolShape shape, QWidget* parent)
{
    auto* chooser = new QComboBox(parent);
    for (const ToolShape row : SHAPE_ORDER) {
        chooser->addItem(CWorkpieceSettings::ShapeName(row), static_cast<int>(row));
        if (row == shape)
            chooser->setCurrentIndex(chooser->count() - 1);
    }
    return chooser;
}

CToolTableDialog::CToolTableDialog(const CWorkpieceSettings& current, QWidget* parent)
    : QDialog(parent), settings(current)
{
    setWindowTitle(QString::fromLatin1(TITLE));
    table = new QTableWidget(0, COLUMN_COUNT, this);
    QStringList titles;
    for (const char* title : COLUMN_TITLES)
        titles << QString::fromUtf8(title);
    table->setHorizontalHeaderLabels(titles);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    for (const CWorkpieceToolEntry& tool : settings.tools)
        AddRow(tool);

    auto* add = new QPushButton(QString::fromUtf8(ADD_TEXT), this);
    auto* remove = new QPushButton(QString::fromUtf8(REMOVE_TEXT), this);
    connect(add, &QPushButton::clicked, this, &CToolTableDialog::AddTool);
    connect(remove, &QPushButton::clicked, this, &CToolTableDialog::RemoveTool);
    auto* rowButtons = new QHBoxLayout();
    rowButtons->addWidget(add);
    rowButtons->addWidget(remove);
    rowButtons->addStretch(1);

    defaultShape = NewShapeChooser(settings.defaultTool.shape, this);
    defaultDiameter = new QLineEdit(CWorkpieceSettings::FormatNumber(settings.defaultTool.diameter), this);
    auto* defaultRow = new QHBoxLayout();
    auto* defaultLabel = new QLabel(QString::fromUtf8(DEFAULT_TEXT), this);
    defaultLabel->setToolTip(QString::fromUtf8(DEFAULT_TIP));
    defaultRow->addWidget(defaultLabel);
    defaultRow->addWidget(defaultShape);
    defaultRow->addWidget(defaultDiameter);

    message = new QLabel(this);
    message->setStyleSheet(QString::fromLatin1(MESSAGE_STYLE));
    message->setWordWrap(true);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(box, &QDialogButtonBox::accepted, this, &CToolTableDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &CToolTableDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table, 1);
    layout->addLayout(rowButtons);
    layout->addLayout(defaultRow);
    layout->addWidget(message);
    layout->addWidget(box);
    resize(420, 360);
}

QString CToolTableDialog::GetMessage() const { return message->text(); }

void CToolTableDialog::AddRow(const CWorkpieceToolEntry& tool)
{
    const int row = table->rowCount();
    table->insertRow(row);
    table->setItem(row, COLUMN_NUMBER, new QTableWidgetItem(QString::number(tool.number)));
    table->setCellWidget(row, COLUMN_SHAPE, NewShapeChooser(tool.shape, table));
    table->setItem(row, COLUMN_DIAMETER, new QTableWidgetItem(CWorkpieceSettings::FormatNumber(tool.diameter)));
}

void CToolTableDialog::AddTool()
{
    // The next number after the highest, or the lowest free one from 1
    // when the highest is the largest a T word holds.
    std::set<int> taken;
    for (int row = 0; row < table->rowCount(); ++row) {
        int number = 0;
        if (CWorkpieceSettings::ParseToolNumber(table->item(row, COLUMN_NUMBER)->text(), number))
            taken.insert(number);
    }
    CWorkpieceToolEntry tool;
    tool.number = 1;
    if (!taken.empty() && *taken.rbegin() < std::numeric_limits<int>::max()) {
        tool.number = std::max(1, *taken.rbegin() + 1);
    } else {
        while (taken.count(tool.number) != 0)
            ++tool.number;
    }
    AddRow(tool);
    table->setCurrentCell(table->rowCount() - 1, COLUMN_DIAMETER);
}

void CToolTableDialog::RemoveTool()
{
    const int row = table->currentRow();
    if (row >= 0)
        table->removeRow(row);
}

bool CToolTableDialog::ReadEntries(CWorkpieceSettings& read)
{
    read.tools.clear();
    for (int row = 0; row < table->rowCount(); ++row) {
        CWorkpieceToolEntry tool;
        const QString numberText = table->item(row, COLUMN_NUMBER)->text().trimmed();
        if (!CWorkpieceSettings::ParseToolNumber(numberText, tool.number)) {
            message->setText(BadToolNumberMessage(numberText));
            return false;
        }
        const auto* shape = static_cast<const QComboBox*>(table->cellWidget(row, COLUMN_SHAPE));
        tool.shape = static_cast<ToolShape>(shape->currentData().toInt());
        const QString diameterText = table->item(row, COLUMN_DIAMETER)->text();
        if (!CWorkpieceSettings::ParseNumber(diameterText, tool.diameter)) {
            message->setText(BadNumberMessage(QStringLiteral("Durchmesser T%1").arg(tool.number), diameterText));
            return false;
        }
        read.tools.push_back(tool);
    }
    read.defaultTool.shape = static_cast<ToolShape>(defaultShape->currentData().toInt());
    if (!CWorkpieceSettings::ParseNumber(defaultDiameter->text(), read.defaultTool.diameter)) {
        message->setText(BadNumberMessage(QString::fromUtf8(DEFAULT_FIELD), defaultDiameter->text()));
        return false;
    }
    const QString fault = read.Check();
    message->setText(fault);
    return fault.isEmpty();
}

void CToolTableDialog::accept()
{
    CWorkpieceSettings read = settings;
    if (!ReadEntries(read))
        return;
    settings = read;
    QDialog::accept();
}
