#include "flow_layout.h"

#include <algorithm>

#include <QWidget>

CFlowLayout::CFlowLayout(int spacing, QWidget* parent) : QLayout(parent)
{
    setSpacing(spacing);
    setContentsMargins(0, 0, 0, 0);
}

CFlowLayout::~CFlowLayout()
{
    for (QLayoutItem* item : items)
        delete item;
}

void CFlowLayout::AddGroupGap(int width) { pendingGap += width; }

void CFlowLayout::addItem(QLayoutItem* item)
{
    items.push_back(item);
    gaps.push_back(pendingGap);
    pendingGap = 0;
    invalidate();
}

int CFlowLayout::count() const { return static_cast<int>(items.size()); }

QLayoutItem* CFlowLayout::itemAt(int index) const
{
    return index >= 0 && index < count() ? items[static_cast<std::size_t>(index)] : nullptr;
}

QLayoutItem* CFlowLayout::takeAt(int index)
{
    if (index < 0 || index >= count())
        return nullptr;
    QLayoutItem* item = items[static_cast<std::size_t>(index)];
    items.erase(items.begin() + index);
    gaps.erase(gaps.begin() + index);
    invalidate();
    return item;
}

Qt::Orientations CFlowLayout::expandingDirections() const { return {}; }

bool CFlowLayout::hasHeightForWidth() const { return true; }

int CFlowLayout::heightForWidth(int width) const { return Arrange(QRect(0, 0, width, 0), false); }

QSize CFlowLayout::minimumSize() const
{
    // As narrow as the widest button: every other one moves to a row below.
    QSize size;
    for (const QLayoutItem* item : items) {
        if (!item->isEmpty())
            size = size.expandedTo(item->sizeHint());
    }
    const QMargins margins = contentsMargins();
    return size + QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
}

QSize CFlowLayout::sizeHint() const
{
    // All on one row.
    int width = 0;
    int height = 0;
    for (std::size_t index = 0; index < items.size(); ++index) {
        if (items[index]->isEmpty())
            continue;
        if (width > 0)
            width += spacing() + gaps[index];
        width += items[index]->sizeHint().width();
        height = std::max(height, items[index]->sizeHint().height());
    }
    const QMargins margins = contentsMargins();
    return {width + margins.left() + margins.right(), height + margins.top() + margins.bottom()};
}

void CFlowLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    Arrange(rect, true);
}

int CFlowLayout::Arrange(const QRect& rect, bool place) const
{
    const QRect area = rect.marginsRemoved(contentsMargins());
    int x = area.x();
    int y = area.y();
    int rowHeight = 0;
    bool rowEmpty = true;
    for (std::size_t index = 0; index < items.size(); ++index) {
        QLayoutItem* item = items[index];
        if (item->isEmpty())
            continue;
        const QSize size = item->sizeHint();
        const int gap = rowEmpty ? 0 : spacing() + gaps[index];
        if (!rowEmpty && x + gap + size.width() > area.right() + 1) {
            x = area.x();
            y += rowHeight + spacing();
            rowHeight = 0;
            rowEmpty = true;
        } else {
            x += gap;
        }
        if (place)
            item->setGeometry(QRect(QPoint(x, y), size));
        x += size.width();
        rowHeight = std::max(rowHeight, size.height());
        rowEmpty = false;
    }
    const QMargins margins = contentsMargins();
    return y + rowHeight - rect.y() + margins.bottom();
}
