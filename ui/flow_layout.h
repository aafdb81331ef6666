// A row of buttons that wraps onto further rows where the window is too
// narrow for it, so that no button is ever narrower than its label. Items
// keep their size hints and the order they were added in.
#pragma once

#include <vector>

#include <QLayout>

class CFlowLayout : public QLayout {
public:
    explicit CFlowLayout(int spacing, QWidget* parent = nullptr);
    ~CFlowLayout() override;

    // A wider gap before the next item, between groups of buttons; none
    // where the item begins a row.
    void AddGroupGap(int width);

    void addItem(QLayoutItem* item) override;
    int count() const override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect& rect) override;

private:
    // Lays the items out in rect, or only measures when place is false;
    // gives the height used.
    int Arrange(const QRect& rect, bool place) const;

    std::vector<QLayoutItem*> items;
    // The gap before each item.
    std::vector<int> gaps;
    int pendingGap = 0;
};
