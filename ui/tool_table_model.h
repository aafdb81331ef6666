// The rows of the tool table dialog: T number, shape and diameter of each
// tool, as the learner typed them. The texts are kept as typed so that the
// dialog can name a field that is empty or holds no number when OK is
// pressed; reading them into tools of the workpiece settings is this
// model's, showing and editing them the view's and its delegate's.
#pragma once

#include <vector>

#include <QAbstractTableModel>
#include <QLocale>
#include <QString>

#include "workpiece_settings.h"

class CToolTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { COLUMN_NUMBER, COLUMN_SHAPE, COLUMN_DIAMETER, COLUMN_COUNT };

    CToolTableModel(const std::vector<CWorkpieceToolEntry>& tools, QObject* parent);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    // The shape column shows the shape's name and edits its ToolShape; the
    // other columns show and edit the text typed.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // A flat tool of the default diameter under the next free T number;
    // gives its row.
    int AddTool();
    void RemoveTool(int row);
    // The number after the highest, or the lowest free one from 1 when the
    // highest is the largest a T word holds.
    int NextToolNumber() const;
    // False with the fault in German when a row cannot be read; decimal
    // fields in the locale's spelling as well as with point or comma.
    bool ReadTools(const QLocale& locale, std::vector<CWorkpieceToolEntry>& tools, QString& fault) const;

private:
    struct Row {
        QString number;
        ToolShape shape = TOOL_FLAT;
        QString diameter;
    };

    void AppendRow(const CWorkpieceToolEntry& tool);

    std::vector<Row> rows;
};
