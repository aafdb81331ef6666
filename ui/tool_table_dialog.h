// "Werkzeuge": the tool table the workpiece is cut with. One row per T number
// with its shape and diameter, and the default tool for moves before any T
// word and for numbers not in the table. OK keeps the entries only when all
// of them can be used; otherwise the dialog names the fault and stays open.
#pragma once

#include <QDialog>

#include "workpiece_settings.h"

class CToolTableModel;
class QComboBox;
class QLabel;
class QLineEdit;
class QTableView;

class CToolTableDialog : public QDialog {
    Q_OBJECT

public:
    CToolTableDialog(const CWorkpieceSettings& settings, QWidget* parent);

    // The entries as accepted; the ones given before acceptance.
    const CWorkpieceSettings& GetSettings() const { return settings; }
    QString GetMessage() const;
    QTableView* GetTable() const { return table; }
    CToolTableModel* GetModel() const { return model; }
    QLineEdit* GetDefaultDiameter() const { return defaultDiameter; }
    QComboBox* GetDefaultShape() const { return defaultShape; }

    void AddTool();
    void RemoveTool();
    void accept() override;

private:
    // The shape of every row is chosen in a combo box that is always shown.
    void ShowShapeChoosers(int firstRow, int lastRow);
    // False with the message shown when an entry cannot be used.
    bool ReadEntries(CWorkpieceSettings& read);

    CWorkpieceSettings settings;
    CToolTableModel* model = nullptr;
    QTableView* table = nullptr;
    QComboBox* defaultShape = nullptr;
    QLineEdit* defaultDiameter = nullptr;
    QLabel* message = nullptr;
};
