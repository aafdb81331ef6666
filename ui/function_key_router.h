// The panel's command keys (F4, F5, F8, F9, F10, Shift+F10) in the
// application's other windows: whichever of their widgets has the focus, a
// press becomes the same command the program view would start. The panel
// itself is not watched: there the keys belong to the program view alone.
// A modal dialog over a window keeps its keys to itself.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <vector>

#include "cnc_edit_box_ctrl.h"

class CFunctionKeyRouter : public QObject {
    Q_OBJECT

public:
    explicit CFunctionKeyRouter(QObject* parent = nullptr);
    ~CFunctionKeyRouter() override;

    // The keys pressed anywhere in the window (a top-level widget) count.
    void AddWindow(QWidget* window);

signals:
    void FunctionKeyPressed(CCncEditBoxCtrl::FunctionKey key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool IsWatched(const QWidget* widget) const;

    std::vector<QPointer<QWidget>> windows;
};
