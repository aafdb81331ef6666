#include "tool_table_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "number_validator.h"
#include "tool_table_delegate.h"
#include "tool_table_model.h"

namespace {

const char* const TITLE = "Werkzeuge";
const char* const ADD_TEXT = "Hinzuf\xC3\xBCgen";
const char* const REMOVE_TEXT = "Entfernen";
const char* const DEFAULT_TEXT = "Standardwerkzeug:";
const char* const DEFAULT_TIP = "F\xC3\xBCr Bewegungen vor dem ersten T-Wort und T-Nummern, die nicht in der Tabelle stehen";
const char* const DEFAULT_FIELD = "Durchmesser des Standardwerkzeugs";

// The messages stand out from the labels around them.
const char* const MESSAGE_STYLE = "color: #B00020;";

} // namespace

CToolTableDialog::CToolTableDialog(const CWorkpieceSettings& current, QWidget* parent)
    : QDialog(parent), settings(current)
{
    setWindowTitle(QString::fromLatin1(TITLE));
    model = new CToolTableModel(settings.tools, this);
    table = new QTableView(this);
    table->setModel(model);
    table->setItemDelegate(new CToolTableDelegate(locale(), table));
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    ShowShapeChoosers(0, model->rowCount() - 1);
    connect(model, &CToolTableModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { ShowShapeChoosers(first, last); });

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
    defaultDiameter->setValidator(new CNumberValidator(CNumberValidator::NUMBER_DECIMAL, locale(), defaultDiameter));
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

void CToolTableDialog::ShowShapeChoosers(int firstRow, int lastRow)
{
    for (int row = firstRow; row <= lastRow; ++row)
        table->openPersistentEditor(model->index(row, CToolTableModel::COLUMN_SHAPE));
}

void CToolTableDialog::AddTool()
{
    const int row = model->AddTool();
    table->setCurrentIndex(model->index(row, CToolTableModel::COLUMN_DIAMETER));
}

void CToolTableDialog::RemoveTool()
{
    const QModelIndex current = table->currentIndex();
    if (current.isValid())
        model->RemoveTool(current.row());
}

bool CToolTableDialog::ReadEntries(CWorkpieceSettings& read)
{
    QString fault;
    if (!model->ReadTools(locale(), read.tools, fault)) {
        message->setText(fault);
        return false;
    }
    read.defaultTool.shape = static_cast<ToolShape>(defaultShape->currentData().toInt());
    if (!ReadTypedDecimal(defaultDiameter->text(), locale(), read.defaultTool.diameter)) {
        message->setText(BadNumberMessage(QString::fromUtf8(DEFAULT_FIELD), defaultDiameter->text()));
        return false;
    }
    fault = read.Check();
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
