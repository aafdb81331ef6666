// The number fields of the dialogs as a learner types into them: the tool
// table's cells, the default tool's diameter and the box's six numbers take
// a number in the user's spelling and refuse what can never be one.
#include <QtTest>

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include "number_validator.h"
#include "stock_box_dialog.h"
#include "tool_table_dialog.h"
#include "tool_table_model.h"

Q_DECLARE_METATYPE(QValidator::State)

namespace {

const QLocale GERMAN(QLocale::German, QLocale::Germany);

// One flat tool T4 of 6 mm.
CWorkpieceSettings OneTool()
{
    CWorkpieceSettings settings;
    settings.tools.push_back(CWorkpieceToolEntry{4, TOOL_FLAT, 6.0});
    return settings;
}

// Opens the cell's editor in the shown dialog and types into it, the
// editor's first text deleted.
QLineEdit* TypeIntoCell(CToolTableDialog& dialog, int column, const QString& typed)
{
    QTableView& view = *dialog.GetTable();
    const QModelIndex index = dialog.GetModel()->index(0, column);
    view.setCurrentIndex(index);
    view.edit(index);
    auto* field = qobject_cast<QLineEdit*>(view.indexWidget(index));
    if (field == nullptr)
        return nullptr;
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, typed);
    return field;
}

} // namespace

class DialogFieldsTest : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(GERMAN); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }
    void validatorJudgesWhatIsTyped_data();
    void validatorJudgesWhatIsTyped();
    void modelCellsKeepWhatIsTyped_data();
    void modelCellsKeepWhatIsTyped();
    void cellEditorTakesOnlyNumbers_data();
    void cellEditorTakesOnlyNumbers();
    void cellEditorEnds_data();
    void cellEditorEnds();
    void dialogFieldsTakeOnlyNumbers_data();
    void dialogFieldsTakeOnlyNumbers();
};

void DialogFieldsTest::validatorJudgesWhatIsTyped_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QValidator::State>("state");
    const int decimal = CNumberValidator::NUMBER_DECIMAL;
    const int tool = CNumberValidator::NUMBER_TOOL;
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    QTest::newRow("German decimal comma") << decimal << GERMAN << "6,5" << QValidator::Acceptable;
    QTest::newRow("decimal point in German too") << decimal << GERMAN << "6.5" << QValidator::Acceptable;
    QTest::newRow("Arabic decimal separator") << decimal << QLocale(QLocale::Arabic, QLocale::Egypt)
                                              << QString::fromUtf8("6\xD9\xAB" "5") << QValidator::Acceptable;
    QTest::newRow("Swedish minus sign") << decimal << QLocale(QLocale::Swedish, QLocale::Sweden)
                                        << QString::fromUtf8("\xE2\x88\x92" "0,25") << QValidator::Acceptable;
    QTest::newRow("exponent") << decimal << GERMAN << "1e3" << QValidator::Acceptable;
    QTest::newRow("letters refused") << decimal << GERMAN << "abc" << QValidator::Invalid;
    QTest::newRow("second comma refused") << decimal << GERMAN << "6,5," << QValidator::Invalid;
    QTest::newRow("German thousands refused") << decimal << GERMAN << "1.000,5" << QValidator::Invalid;
    QTest::newRow("blank inside refused") << decimal << GERMAN << "6 5" << QValidator::Invalid;
    QTest::newRow("infinity is no number") << decimal << english << "inf" << QValidator::Invalid;
    QTest::newRow("empty may still be typed") << decimal << GERMAN << "" << QValidator::Intermediate;
    QTest::newRow("lone minus") << decimal << GERMAN << " -" << QValidator::Intermediate;
    QTest::newRow("T word") << tool << GERMAN << "T2" << QValidator::Acceptable;
    QTest::newRow("T alone may still be typed") << tool << GERMAN << "T" << QValidator::Intermediate;
    QTest::newRow("beyond 32 bits is no T number") << tool << GERMAN << "T2147483648" << QValidator::Intermediate;
    QTest::newRow("negative T refused") << tool << GERMAN << "T-1" << QValidator::Invalid;
    QTest::newRow("fraction as T refused") << tool << GERMAN << "2,5" << QValidator::Invalid;
}

void DialogFieldsTest::validatorJudgesWhatIsTyped()
{
    QFETCH(int, kind);
    QFETCH(QLocale, locale);
    QFETCH(QString, text);
    QFETCH(QValidator::State, state);
    const CNumberValidator validator(static_cast<CNumberValidator::Kind>(kind), locale, nullptr);
    int position = static_cast<int>(text.size());
    QCOMPARE(validator.validate(text, position), state);
}

void DialogFieldsTest::modelCellsKeepWhatIsTyped_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("role");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("written");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("edited");
    const int number = CToolTableModel::COLUMN_NUMBER;
    const int shape = CToolTableModel::COLUMN_SHAPE;
    const int diameter = CToolTableModel::COLUMN_DIAMETER;
    const int edit = Qt::EditRole;
    const QString flat = CWorkpieceSettings::ShapeName(TOOL_FLAT);
    const QString ball = CWorkpieceSettings::ShapeName(TOOL_BALL);
    const QString flatCode = QString::number(TOOL_FLAT);
    QTest::newRow("first text of a T number") << number << edit << QVariant() << false << "4" << "4";
    QTest::newRow("T word kept as typed") << number << edit << QVariant("T2") << true << "T2" << "T2";
    QTest::newRow("comma kept as typed") << diameter << edit << QVariant("6,5") << true << "6,5" << "6,5";
    QTest::newRow("empty kept to be named") << diameter << edit << QVariant("") << true << "" << "";
    QTest::newRow("shape by its code, shown by name")
        << shape << edit << QVariant(int(TOOL_BALL)) << true << ball << QString::number(TOOL_BALL);
    QTest::newRow("unknown shape refused") << shape << edit << QVariant(7) << false << flat << flatCode;
    QTest::newRow("shape as a word refused") << shape << edit << QVariant("ball") << false << flat << flatCode;
    QTest::newRow("display role not written") << number << int(Qt::DisplayRole) << QVariant("9") << false << "4"
                                              << "4";
}

void DialogFieldsTest::modelCellsKeepWhatIsTyped()
{
    QFETCH(int, column);
    QFETCH(int, role);
    QFETCH(QVariant, value);
    QFETCH(bool, written);
    QFETCH(QString, shown);
    QFETCH(QString, edited);
    CToolTableModel model(OneTool().tools, nullptr);
    const QModelIndex index = model.index(0, column);
    QCOMPARE(model.flags(index), Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
    if (value.isValid())
        QCOMPARE(model.setData(index, value, role), written);
    QCOMPARE(model.data(index, Qt::DisplayRole).toString(), shown);
    QCOMPARE(model.data(index, Qt::EditRole).toString(), edited);
    QCOMPARE(model.flags(model.index(1, column)), Qt::NoItemFlags);
}

void DialogFieldsTest::cellEditorTakesOnlyNumbers_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    const int number = CToolTableModel::COLUMN_NUMBER;
    const int diameter = CToolTableModel::COLUMN_DIAMETER;
    QTest::newRow("decimal comma") << diameter << "6,5" << "6,5";
    QTest::newRow("letters refused") << diameter << "abc" << "";
    QTest::newRow("letters among digits dropped") << diameter << "6a,5" << "6,5";
    QTest::newRow("second comma dropped") << diameter << "6,5,1" << "6,51";
    QTest::newRow("T word") << number << "T2" << "T2";
    QTest::newRow("point in a T number dropped") << number << "2.5" << "25";
}

void DialogFieldsTest::cellEditorTakesOnlyNumbers()
{
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    CToolTableDialog dialog(OneTool(), nullptr);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QLineEdit* field = TypeIntoCell(dialog, column, typed);
    QVERIFY(field != nullptr);
    QCOMPARE(field->text(), kept);
    // What the field shows is what the model holds, before the field closes.
    QCOMPARE(dialog.GetModel()->index(0, column).data().toString(), kept);
}

void DialogFieldsTest::cellEditorEnds_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("escape");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QString>("message");
    QTest::newRow("OK names an emptied cell") << "" << false << "" << QStringLiteral("Feld ist leer");
    QTest::newRow("Escape gives the cell its text back") << "9" << true << "6" << QString();
}

void DialogFieldsTest::cellEditorEnds()
{
    QFETCH(QString, typed);
    QFETCH(bool, escape);
    QFETCH(QString, kept);
    QFETCH(QString, message);
    CToolTableDialog dialog(OneTool(), nullptr);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QLineEdit* field = TypeIntoCell(dialog, CToolTableModel::COLUMN_DIAMETER, typed);
    QVERIFY(field != nullptr);
    if (escape)
        QTest::keyClick(field, Qt::Key_Escape);
    else
        QTest::mouseClick(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    QCOMPARE(dialog.GetModel()->index(0, CToolTableModel::COLUMN_DIAMETER).data().toString(), kept);
    QVERIFY2(dialog.GetMessage().startsWith(message), qPrintable(dialog.GetMessage()));
    QVERIFY(dialog.isVisible());
}

void DialogFieldsTest::dialogFieldsTakeOnlyNumbers_data()
{
    QTest::addColumn<bool>("stockBox");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("box: decimal comma") << true << "-0,25" << "-0,25";
    QTest::newRow("box: letters refused") << true << "vierzig" << "";
    QTest::newRow("default tool: decimal comma") << false << "3,175" << "3,175";
    QTest::newRow("default tool: letters dropped") << false << "6mm" << "6";
}

void DialogFieldsTest::dialogFieldsTakeOnlyNumbers()
{
    QFETCH(bool, stockBox);
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    CWorkpieceSettings settings;
    settings.automaticBox = false;
    const double shownBox[STOCK_BOX_VALUES] = {};
    CStockBoxDialog boxDialog(settings, shownBox, nullptr);
    CToolTableDialog toolDialog(settings, nullptr);
    QLineEdit* field = stockBox ? boxDialog.GetField(0) : toolDialog.GetDefaultDiameter();
    field->clear();
    QTest::keyClicks(field, typed);
    QCOMPARE(field->text(), kept);
}

QTEST_MAIN(DialogFieldsTest)
#include "dialog_fields_test.moc"
