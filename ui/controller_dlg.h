// The controller panel: machine-state read-outs, program buttons, the run-to
// selector, the message line and the program editor, laid out by the form
// res/controller_dlg.ui. It owns the program editor, the loader and the
// machine state for its whole life; its buttons and the editor's keys only
// forward to the program cursor, which holds the command logic. It keeps the
// editor's line indicator, and tells the step observers after each command.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QDialog>
#include <QIcon>

#include "cnc_edit_box_ctrl.h"
#include "panel_interfaces.h"
#include "step_observer.h"

class CCncProgram;
class CFunctionKeyRouter;
class CHelpWindow;
class CMachineState;
class CProgramCursor;
class CToolpathWindow;
class QLabel;
class QPushButton;

namespace Ui {
class ControllerDlg;
}

class CControllerDlg : public QDialog, public IPanelControls, private IFileChooser {
    Q_OBJECT

public:
    // Null fileChooser or settings: the panel uses the Qt file dialog and the
    // per-machine store. Given ones must outlive the panel.
    explicit CControllerDlg(IFileChooser* fileChooser = nullptr, ISettingsStore* settings = nullptr);
    ~CControllerDlg() override;

    // While a command runs, only the latest text of each control is kept;
    // the widgets show it once the command returns.
    bool SetControlText(int controlId, const std::string& text) override;
    // Shows the texts kept so far; for a command that waits for the user or
    // the disk in between.
    void FlushControlTexts();
    int GetRunToSelection() override;
    void SetRunToSelection(int index) override;

    // Null when the panel has no control with this id.
    QWidget* GetDlgItem(int controlId) const;
    // What the word at a listing position means; empty where no word is.
    QString GetWordExplanation(int listingPosition) const;
    // Whether the read-out shows the mark of a text the last command changed.
    bool IsReadOutMarked(int controlId) const;
    CCncEditBoxCtrl* GetEditor() const { return editor; }
    const CProgramCursor* GetProgramCursor() const { return cursor; }
    // Null until F1 first opens it.
    CHelpWindow* GetHelpWindow() const { return helpWindow; }
    CToolpathWindow* GetToolpathWindow() const { return toolpathWindow; }

    void OnLoad();
    void OnReset();
    void OnJumpToActual();
    void OnNextWord();
    void OnRunTo();
    void OnStepBack();
    void OnRunToModeChanged();
    void OnHelp();
    // F5 and "&Bahn...": opens or closes the toolpath window.
    void OnTogglePath();

    // Observers must outlive the panel or be removed first; each is told
    // once after every stepping command and every click on a program line.
    void AddStepObserver(IStepObserver* observer) { stepObservers.Add(observer); }
    void RemoveStepObserver(IStepObserver* observer) { stepObservers.Remove(observer); }

protected:
    // Every way of closing ends here: "&Fertig", Escape and the close box.
    void done(int result) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    struct PanelControl {
        QWidget* widget = nullptr;
        // Labels, buttons, group boxes and the selector show texts.
        bool showsText = false;
        bool pending = false;
        std::string pendingText;
    };

    // The file chooser as the loader sees it: what the command wrote so far
    // shows while the dialog waits.
    bool ChooseFile(const std::string& initialName, std::string& chosenPath) override;
    void RunCommand(void (CProgramCursor::*command)());
    // A command that moves through the program, then the observers are told.
    void RunStep(void (CProgramCursor::*command)(), StepCommand step);
    void OnEditorFunctionKey(CCncEditBoxCtrl::FunctionKey key);
    void OnEditorLineClicked();
    // A click on the path selects the block's line as a click on it would.
    void OnPathBlockClicked(qulonglong firstWord);
    void OnEditorToolTip(int listingPosition, const QPoint& globalPosition);
    // Marks the read-outs whose text differs from before, and unmarks the
    // rest: what the last command changed stands out until the next one.
    void MarkChangedReadOuts(const std::vector<QString>& before);
    std::vector<QString> ReadOutTexts() const;
    // The caret's line and the line count, "3/12".
    void UpdateLineIndicator();
    // Shows the texts kept so far and draws the panel at once.
    void RepaintNow();
    void OnInitDialog();
    // The steps of OnInitDialog, in its order.
    // Where the panel was last closed, at its fixed size.
    void RestorePosition();
    // The window icon and the hidden button's bitmap.
    void ShowPictures();
    // The program editor in its place on the panel, and its signals.
    void CreateEditor();
    // The loader bound to the editor, and the program cursor over both.
    void CreateProgram();
    // Hidden until F5 or "&Bahn..."; it follows the stepping.
    void CreateToolpathWindow();
    // Every control with an id, for the texts the commands write, and the
    // tooltips of those that have one.
    void CollectControls();
    void FillRunToCombo();
    // The buttons, the selector and F1 to their commands.
    void ConnectCommands();
    void OnDestroy();
    void ApplyOuterSize();

    QIcon icon;
    // Read-outs drawn marked since the last command; a property tests read.
    static constexpr const char* MARKED_PROPERTY = "readOutMarked";
    std::unique_ptr<Ui::ControllerDlg> form;
    QPushButton* hiddenButton = nullptr;
    QLabel* lineIndicator = nullptr;
    // The indicator's width on the form.
    int indicatorWidth = 0;
    CCncEditBoxCtrl* editor = nullptr;
    CCncProgram* loader = nullptr;
    CMachineState* machineState = nullptr;
    CProgramCursor* cursor = nullptr;
    std::unique_ptr<IFileChooser> ownFileChooser;
    std::unique_ptr<ISettingsStore> ownSettings;
    IFileChooser* fileChooser;
    ISettingsStore* settings;
    std::map<int, PanelControl> controls;
    int commandDepth = 0;
    CStepObservers stepObservers;
    // A child window of the panel: Qt deletes it with the panel.
    CHelpWindow* helpWindow = nullptr;
    CFunctionKeyRouter* keyRouter = nullptr;
    // Owned: it goes before the loader whose words it may still be reading.
    CToolpathWindow* toolpathWindow = nullptr;
    bool toolpathPlaced = false;
};
