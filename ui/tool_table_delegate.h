// The editors of the tool table's cells: a shape chooser, and number fields
// that refuse what can never be a number in the user's locale. What a field
// holds is written to the model as it is typed, so that a field left empty
// or half typed is still what OK reads and names.
#pragma once

#include <QLocale>
#include <QStyledItemDelegate>

#include "tool_table.h"

class QComboBox;

class CToolTableDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    CToolTableDelegate(const QLocale& locale, QObject* parent);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

protected:
    // Escape gives the field back the text it had when editing began.
    bool eventFilter(QObject* editor, QEvent* event) override;

private:
    QLocale locale;
};

// A combo box of the tool shapes, the shape chosen.
QComboBox* NewShapeChooser(ToolShape shape, QWidget* parent);
