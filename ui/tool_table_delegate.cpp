#include "tool_table_delegate.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

#include "number_validator.h"
#include "tool_table_model.h"
#include "workpiece_settings.h"

namespace {

const ToolShape SHAPE_ORDER[] = {TOOL_FLAT, TOOL_BALL};
// The field's text when editing began, for Escape.
const char* const TEXT_BEFORE = "textBeforeEditing";

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

CToolTableDelegate::CToolTableDelegate(const QLocale& locale, QObject* parent)
    : QStyledItemDelegate(parent), locale(locale)
{
}

QWidget* CToolTableDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& /*option*/,
                                          const QModelIndex& index) const
{
    if (index.column() == CToolTableModel::COLUMN_SHAPE) {
        QComboBox* chooser = NewShapeChooser(static_cast<ToolShape>(index.data(Qt::EditRole).toInt()), parent);
        connect(chooser, &QComboBox::currentIndexChanged, this, [this, chooser]() {
            emit const_cast<CToolTableDelegate*>(this)->commitData(chooser);
        });
        return chooser;
    }
    auto* field = new QLineEdit(parent);
    const auto kind = index.column() == CToolTableModel::COLUMN_NUMBER ? CNumberValidator::NUMBER_TOOL
                                                                       : CNumberValidator::NUMBER_DECIMAL;
    field->setValidator(new CNumberValidator(kind, locale, field));
    field->setProperty(TEXT_BEFORE, index.data(Qt::EditRole));
    // The view writes a field to the model only when its text is a whole
    // number; an emptied field would silently keep its old value.
    connect(field, &QLineEdit::textEdited, this,
            [this, field]() { emit const_cast<CToolTableDelegate*>(this)->commitData(field); });
    return field;
}

void CToolTableDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    if (auto* chooser = qobject_cast<QComboBox*>(editor)) {
        const int found = chooser->findData(index.data(Qt::EditRole));
        if (found >= 0 && found != chooser->currentIndex())
            chooser->setCurrentIndex(found);
        return;
    }
    auto* field = qobject_cast<QLineEdit*>(editor);
    const QString text = index.data(Qt::EditRole).toString();
    // Written back while typing: setting the same text would move the caret.
    if (field != nullptr && field->text() != text)
        field->setText(text);
}

void CToolTableDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    if (auto* chooser = qobject_cast<QComboBox*>(editor))
        model->setData(index, chooser->currentData(), Qt::EditRole);
    else if (auto* field = qobject_cast<QLineEdit*>(editor))
        model->setData(index, field->text(), Qt::EditRole);
}

bool CToolTableDelegate::eventFilter(QObject* editor, QEvent* event)
{
    auto* field = qobject_cast<QLineEdit*>(editor);
    if (field != nullptr && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        field->setText(field->property(TEXT_BEFORE).toString());
        emit commitData(field);
    }
    return QStyledItemDelegate::eventFilter(editor, event);
}
