// Drives the real panel the way a user does, for the benchmark:
//   tornavel-panel-bench load FILE   "&Laden..." answers FILE; waits until the
//                                    first word is highlighted and painted and
//                                    the toolpath window shows the path
//   tornavel-panel-bench run FILE    the same, then "Ende" in the run-to
//                                    selector and F9 in the editor; waits until
//                                    the end of the program is painted
//   tornavel-panel-bench back FILE   the same, then Shift+F10; waits until
//                                    the word before the run is painted again
// Settings stay in memory. Prints its own timings on stderr; exits 1 when a
// check fails, 2 on wrong arguments.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QWindow>

#include "cli_panel.h"
#include "cnc_edit_box_ctrl.h"
#include "code_page_1252.h"
#include "control_ids.h"
#include "controller_dlg.h"
#include "state_texts.h"
#include "toolpath_window.h"

namespace {

constexpr int RESULT_PASSED = 0;
constexpr int RESULT_FAILED = 1;
constexpr int RESULT_USAGE = 2;
constexpr std::chrono::seconds PATIENCE(600);

using Clock = std::chrono::steady_clock;

// Notes each paint of the watched widget; the paint itself has happened by
// the time the event loop returns.
class CPaintWatch : public QObject {
public:
    explicit CPaintWatch(QWidget* widget) { widget->installEventFilter(this); }
    void Reset() { painted = false; }
    bool IsPainted() const { return painted; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return QObject::eventFilter(watched, event);
    }

private:
    bool painted = false;
};

bool WaitUntil(const std::function<bool()>& done)
{
    const auto deadline = Clock::now() + PATIENCE;
    while (!done()) {
        if (Clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

void PressKey(QWidget* target, Qt::Key key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
}

QString LabelText(const CControllerDlg& panel, int controlId)
{
    const auto* label = qobject_cast<QLabel*>(panel.GetDlgItem(controlId));
    return label != nullptr ? label->text() : QString();
}

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool Fail(const char* what)
{
    std::fprintf(stderr, "tornavel-panel-bench: %s\n", what);
    return false;
}

bool Load(CControllerDlg& panel, CPaintWatch& paints)
{
    auto* load = qobject_cast<QAbstractButton*>(panel.GetDlgItem(IDC_LOAD));
    if (load == nullptr)
        return Fail("no load button");
    const Clock::time_point start = Clock::now();
    paints.Reset();
    load->click();
    CCncEditBoxCtrl* editor = panel.GetEditor();
    if (!WaitUntil([&]() { return paints.IsPainted(); }))
        return Fail("the editor was not painted after loading");
    std::fprintf(stderr, "load: %.1f ms\n", MillisecondsSince(start));
    if (LabelText(panel, IDC_MESSAGE_LINE) != Cp1252ToQString(MESSAGE_BLANK_COMMAND))
        return Fail(qPrintable(QStringLiteral("the load failed: ") + LabelText(panel, IDC_MESSAGE_LINE)));
    if (editor->GetSelectionStart() == editor->GetSelectionEnd() || !editor->hasFocus())
        return Fail("no word is highlighted after loading");
    // A load is complete for the user once the toolpath window, open on a
    // first start, shows the new path too.
    CToolpathWindow* window = panel.GetToolpathWindow();
    if (window != nullptr && window->isVisible()) {
        if (!WaitUntil([&]() { return window->IsPictureReady(); }))
            return Fail("the toolpath window never drew the path");
        std::fprintf(stderr, "load and first picture: %.1f ms\n", MillisecondsSince(start));
    }
    return true;
}

bool RunToEnd(CControllerDlg& panel, CPaintWatch& paints)
{
    auto* combo = qobject_cast<QComboBox*>(panel.GetDlgItem(IDC_RUN_TO_COMBO));
    if (combo == nullptr)
        return Fail("no run-to selector");
    const QString end = QStringLiteral("Ende");
    for (int press = 0; press < combo->count() && combo->currentText() != end; ++press)
        PressKey(combo, Qt::Key_Down);
    if (combo->currentText() != end)
        return Fail("\"Ende\" cannot be chosen");
    CCncEditBoxCtrl* editor = panel.GetEditor();
    editor->setFocus();
    QCoreApplication::processEvents();
    const Clock::time_point start = Clock::now();
    paints.Reset();
    PressKey(editor, Qt::Key_F9);
    if (!WaitUntil([&]() { return paints.IsPainted(); }))
        return Fail("the editor was not painted after F9");
    std::fprintf(stderr, "run: %.1f ms\n", MillisecondsSince(start));
    if (LabelText(panel, IDC_MESSAGE_LINE) != Cp1252ToQString(MESSAGE_END_OF_PROGRAM))
        return Fail(qPrintable(QStringLiteral("F9 did not run to the end: ") + LabelText(panel, IDC_MESSAGE_LINE)));
    return true;
}

bool StepBack(CControllerDlg& panel, CPaintWatch& paints)
{
    CCncEditBoxCtrl* editor = panel.GetEditor();
    const Clock::time_point start = Clock::now();
    paints.Reset();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_F10, Qt::ShiftModifier);
    QApplication::sendEvent(editor, &press);
    if (!WaitUntil([&]() { return paints.IsPainted(); }))
        return Fail("the editor was not painted after Shift+F10");
    std::fprintf(stderr, "back: %.1f ms\n", MillisecondsSince(start));
    if (LabelText(panel, IDC_MESSAGE_LINE) != Cp1252ToQString(MESSAGE_BLANK_COMMAND))
        return Fail(qPrintable(QStringLiteral("Shift+F10 did not step back: ") + LabelText(panel, IDC_MESSAGE_LINE)));
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    const bool back = argc == 3 && std::strcmp(argv[1], "back") == 0;
    if (argc != 3 || (std::strcmp(argv[1], "load") != 0 && std::strcmp(argv[1], "run") != 0 && !back)) {
        std::fprintf(stderr, "usage: tornavel-panel-bench load|run|back FILE\n");
        return RESULT_USAGE;
    }
    const bool run = back || std::strcmp(argv[1], "run") == 0;
    const std::string path = argv[2];
    QApplication application(argc, argv);
    CMemorySettings settings;
    CFixedFileChooser chooser(path);
    CControllerDlg panel(&chooser, &settings);
    panel.show();
    panel.activateWindow();
    if (!WaitUntil([&]() { return panel.windowHandle()->isExposed() && panel.isActiveWindow(); })) {
        Fail("the panel was never shown");
        return RESULT_FAILED;
    }
    CPaintWatch paints(panel.GetEditor()->viewport());
    if (!Load(panel, paints))
        return RESULT_FAILED;
    if (run && !RunToEnd(panel, paints))
        return RESULT_FAILED;
    if (back && !StepBack(panel, paints))
        return RESULT_FAILED;
    return RESULT_PASSED;
}
