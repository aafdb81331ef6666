#include "stock_box_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "number_validator.h"

namespace {

const char* const TITLE = "Rohteil";
const char* const AUTOMATIC_TEXT = "Automatisch: die Bahn mit dem gr\xC3\xB6\xC3\x9Ften Werkzeug, oben Z 0";
const char* const OWN_TEXT = "Eigene Ma\xC3\x9F" "e:";
const char* const ROW_TEXTS[2] = {"von", "bis"};
const char* const MESSAGE_STYLE = "color: #B00020;";

} // namespace

CStockBoxDialog::CStockBoxDialog(const CWorkpieceSettings& current, const double (&shownBox)[STOCK_BOX_VALUES],
                                 QWidget* parent)
    : QDialog(parent), settings(current)
{
    setWindowTitle(QString::fromLatin1(TITLE));
    automatic = new QRadioButton(QString::fromUtf8(AUTOMATIC_TEXT), this);
    ownBox = new QRadioButton(QString::fromUtf8(OWN_TEXT), this);
    automatic->setChecked(settings.automaticBox);
    ownBox->setChecked(!settings.automaticBox);
    connect(ownBox, &QRadioButton::toggled, this, &CStockBoxDialog::UpdateFields);

    auto* grid = new QGridLayout();
    for (int index = 0; index < STOCK_BOX_VALUES; ++index) {
        const int row = index / 3;
        const int axis = index % 3;
        if (axis == 0)
            grid->addWidget(new QLabel(QString::fromLatin1(ROW_TEXTS[row]), this), row, 0);
        const double value = settings.automaticBox ? shownBox[index] : settings.box[index];
        fields[index] = new QLineEdit(CWorkpieceSettings::FormatNumber(value), this);
        fields[index]->setToolTip(CWorkpieceSettings::BoxValueName(index));
        fields[index]->setValidator(new CNumberValidator(CNumberValidator::NUMBER_DECIMAL, locale(), fields[index]));
        grid->addWidget(new QLabel(CWorkpieceSettings::BoxValueName(index), this), row, 1 + 2 * axis);
        grid->addWidget(fields[index], row, 2 + 2 * axis);
    }

    message = new QLabel(this);
    message->setStyleSheet(QString::fromLatin1(MESSAGE_STYLE));
    message->setWordWrap(true);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(box, &QDialogButtonBox::accepted, this, &CStockBoxDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &CStockBoxDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(automatic);
    layout->addWidget(ownBox);
    layout->addLayout(grid);
    layout->addWidget(message);
    layout->addWidget(box);
    UpdateFields();
}

QString CStockBoxDialog::GetMessage() const { return message->text(); }

void CStockBoxDialog::UpdateFields()
{
    for (QLineEdit* field : fields)
        field->setEnabled(ownBox->isChecked());
}

void CStockBoxDialog::accept()
{
    CWorkpieceSettings read = settings;
    read.automaticBox = automatic->isChecked();
    if (!read.automaticBox) {
        for (int index = 0; index < STOCK_BOX_VALUES; ++index) {
            if (!ReadTypedDecimal(fields[index]->text(), locale(), read.box[index])) {
                message->setText(BadNumberMessage(CWorkpieceSettings::BoxValueName(index), fields[index]->text()));
                return;
            }
        }
    }
    const QString fault = read.Check();
    message->setText(fault);
    if (!fault.isEmpty())
        return;
    settings = read;
    QDialog::accept();
}
