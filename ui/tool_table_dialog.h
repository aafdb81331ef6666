// "Werkzeuge": the tool table the workpiece is cut with. One row per T number
// with its shape and diameter, and the default tool for moves before any T
// word and for numbers not in the table. OK keeps the entries only when all
// of them can be used; otherwise the dialog names the fault and stays open.
#pragma once

#include <QDialog>

#include "workpiece_settings.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QTableWidget;

class CToolTableDialog : public QDialog {
    Q_OBJECT

public:
    enum Column { COLUMN_NUMBER, COLUMN_SHAPE, COLUMN_DIAMETER, COLUMN_COUNT };

    CToolTableDialog(const CWorkpieceSettings& settings, QWidget* parent);

    // The entries as accepted; the ones given before acceptance.
    const CWorkpieceSettings& GetSettings() const { return settings; }
    QString GetMessage() const;
    QTableWidget* GetTable() const { return table; }
    QLineEdit* GetDefaultDiameter() const { return defaultDiameter; }
    QComboBox* GetDefaultShape() const { return defaultShape; }

    void AddTool();
    void RemoveTool();
    void accept() override;

private:
    void AddRow(const CWorkpieceToolEntry& tool);
    // False with the message shown when an entry cannot be used.
    bool ReadEntries(CWorkpieceSettings& read);

    CWorkpieceSettings settings;
    QTableWidget* table = nullptr;
    QComboBox* defaultShape = nullptr;
    QLineEdit* defaultDiameter = nullptr;
    QLabel* message = nullptr;
};

// A combo box of the tool shapes, the shape chosen.
QComboBox* NewShapeChooser(ToolShape shape, QWidget* parent);
