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
    void modelReadsToolsOrNamesTheFault_data();
    void modelReadsToolsOrNamesTheFault();
    void cellEditorTakesOnlyNumbers_data();
    void cellEditorTakesOnlyNumbers();
    void emptiedCellIsNamedOnOk();
    void escapeGivesTheCellItsTextBack();
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
    QTest::newRow("decimal comma in English too") << decimal << english << "6,5" << QValidator::Acceptable;
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
    QTest::newRow("small t with blanks") << tool << GERMAN << " t12 " << QValidator::Acceptable;
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
    QTest::addColumn<QVariant>("edited");
    const int number = CToolTableModel::COLUMN_NUMBER;
    const int shape = CToolTableModel::COLUMN_SHAPE;
    const int diameter = CToolTableModel::COLUMN_DIAMETER;
    const QString flat = CWorkpieceSettings::ShapeName(TOOL_FLAT);
    QTest::newRow("first text of a T number") << number << int(Qt::EditRole) << QVariant() << false << "4"
                                              << QVariant(QStringLiteral("4"));
    QTest::newRow("T word kept as typed") << number << int(Qt::EditRole) << QVariant(QStringLiteral("T2")) << true
                                          << "T2" << QVariant(QStringLiteral("T2"));
    QTest::newRow("comma kept as typed") << diameter << int(Qt::EditRole) << QVariant(QStringLiteral("6,5"))
                                         << true << "6,5" << QVariant(QStringLiteral("6,5"));
    QTest::newRow("empty kept to be named") << diameter << int(Qt::EditRole) << QVariant(QString()) << true << ""
                                            << QVariant(QString());
    QTest::newRow("shape by its code, shown by name")
        << shape << int(Qt::EditRole) << QVariant(int(TOOL_BALL)) << true << CWorkpieceSettings::ShapeName(TOOL_BALL)
        << QVariant(int(TOOL_BALL));
    QTest::newRow("unknown shape refused") << shape << int(Qt::EditRole) << QVariant(7) << false << flat
                                           << QVariant(int(TOOL_FLAT));
    QTest::newRow("shape as a word refused") << shape << int(Qt::EditRole) << QVariant(QStringLiteral("ball"))
                                             << false << flat << QVariant(int(TOOL_FLAT));
    QTest::newRow("display role not written") << number << int(Qt::DisplayRole) << QVariant(QStringLiteral("9"))
                                              << false << "4" << QVariant(QStringLiteral("4"));
}

void DialogFieldsTest::modelCellsKeepWhatIsTyped()
{
    QFETCH(int, column);
    QFETCH(int, role);
    QFETCH(QVariant, value);
    QFETCH(bool, written);
    QFETCH(QString, shown);
    QFETCH(QVariant, edited);
    CToolTableModel model(OneTool().tools, nullptr);
    const QModelIndex index = model.index(0, column);
    QCOMPARE(model.flags(index), Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
    if (value.isValid())
        QCOMPARE(model.setData(index, value, role), written);
    QCOMPARE(model.data(index, Qt::DisplayRole).toString(), shown);
    QCOMPARE(model.data(index, Qt::EditRole), edited);
    QCOMPARE(model.flags(model.index(1, column)), Qt::NoItemFlags);
}

void DialogFieldsTest::modelReadsToolsOrNamesTheFault_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("diameter");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<double>("read");
    QTest::newRow("T word and decimal comma") << "T2" << "6,5" << "" << 6.5;
    QTest::newRow("empty T number named") << " " << "6" << "Feld ist leer: \u201ET" << 0.0;
    QTest::newRow("empty diameter named") << "2" << "" << "Feld ist leer: \u201EDurchmesser T2" << 0.0;
    QTest::newRow("letters named") << "2" << "abc" << "keine Zahl: \u201Eabc" << 0.0;
    QTest::newRow("negative T number named") << "-1" << "6" << "Werkzeugnummer \u201E-1" << 0.0;
}

void DialogFieldsTest::modelReadsToolsOrNamesTheFault()
{
    QFETCH(QString, number);
    QFETCH(QString, diameter);
    QFETCH(QString, fault);
    QFETCH(double, read);
    CToolTableModel model(OneTool().tools, nullptr);
    model.setData(model.index(0, CToolTableModel::COLUMN_NUMBER), number);
    model.setData(model.index(0, CToolTableModel::COLUMN_DIAMETER), diameter);
    std::vector<CWorkpieceToolEntry> tools;
    QString said;
    QCOMPARE(model.ReadTools(GERMAN, tools, said), fault.isEmpty());
    QVERIFY2(said.contains(fault), qPrintable(said));
    if (fault.isEmpty()) {
        QCOMPARE(tools.size(), std::size_t{1});
        QCOMPARE(tools[0].number, 2);
        QCOMPARE(tools[0].diameter, read);
    }
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

void DialogFieldsTest::emptiedCellIsNamedOnOk()
{
    CToolTableDialog dialog(OneTool(), nullptr);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(TypeIntoCell(dialog, CToolTableModel::COLUMN_DIAMETER, QString()) != nullptr);
    QTest::mouseClick(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    QVERIFY2(dialog.GetMessage().startsWith(QStringLiteral("Feld ist leer")), qPrintable(dialog.GetMessage()));
    QVERIFY(dialog.isVisible());
}

void DialogFieldsTest::escapeGivesTheCellItsTextBack()
{
    CToolTableDialog dialog(OneTool(), nullptr);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QLineEdit* field = TypeIntoCell(dialog, CToolTableModel::COLUMN_DIAMETER, QStringLiteral("9"));
    QVERIFY(field != nullptr);
    QTest::keyClick(field, Qt::Key_Escape);
    QCOMPARE(dialog.GetModel()->index(0, CToolTableModel::COLUMN_DIAMETER).data().toString(), QStringLiteral("6"));
    QVERIFY(dialog.isVisible());
}

void DialogFieldsTest::dialogFieldsTakeOnlyNumbers_data()
{
    QTest::addColumn<bool>("stockBox");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("box: decimal comma") << true << "-0,25" << "-0,25";
    QTest::newRow("box: letters refused") << true << "vierzig" << "";
    QTest::newRow("box: exponent") << true << "1e3" << "1e3";
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
