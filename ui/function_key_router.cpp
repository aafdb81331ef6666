#include "function_key_router.h"

#include <algorithm>

#include <QApplication>
#include <QKeyEvent>

CFunctionKeyRouter::CFunctionKeyRouter(QObject* parent) : QObject(parent) { qApp->installEventFilter(this); }

CFunctionKeyRouter::~CFunctionKeyRouter() { qApp->removeEventFilter(this); }

void CFunctionKeyRouter::AddWindow(QWidget* window)
{
    if (window != nullptr && !IsWatched(window))
        windows.emplace_back(window);
}

bool CFunctionKeyRouter::IsWatched(const QWidget* widget) const
{
    const QWidget* window = widget->window();
    return std::any_of(windows.begin(), windows.end(),
                       [window](const QPointer<QWidget>& watched) { return watched == window; });
}

bool CFunctionKeyRouter::eventFilter(QObject* watched, QEvent* event)
{
    // A shortcut of the focused widget (a button's, a line edit's) must not
    // take the key first.
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return QObject::eventFilter(watched, event);
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || !IsWatched(widget))
        return QObject::eventFilter(watched, event);
    const auto* press = static_cast<QKeyEvent*>(event);
    CCncEditBoxCtrl::FunctionKey key = CCncEditBoxCtrl::KEY_F4;
    if (!CCncEditBoxCtrl::FunctionKeyOf(press->key(), press->modifiers(), key))
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::ShortcutOverride) {
        // Claimed as the widget's own key: it comes back as a key press.
        event->accept();
        return true;
    }
    emit FunctionKeyPressed(key);
    return true;
}
