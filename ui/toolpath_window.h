// The toolpath window "Bahn" beside the panel: the path of the loaded program
// seen from the top, front, side or at an angle, coloured by what the cursor
// has done, with the current block's line, position, unit and move flags
// below. It follows the stepping as an observer: a step only recolours. The
// path is built and drawn on worker threads, so the panel never waits for
// it, and a job that fails (out of memory) leaves a note on the picture
// instead of ending the panel. A click on the path asks for that block's
// line in the program view.
// Its open state and geometry are kept in the panel's settings store.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <string>

#include <QWidget>

#include "latest_job_runner.h"
#include "move_table.h"
#include "path_view.h"
#include "program_host.h"
#include "step_observer.h"
#include "toolpath_canvas.h"
#include "word_list.h"

class CComparisonLayer;
class CCutPathLayer;
class CFlowLayout;
class CMoveIdImage;
class CPathRaster;
class CWorkpieceLayer;
class IProgramView;
class QButtonGroup;
class QLabel;
class QListWidget;
class QPushButton;

class CToolpathWindow : public QWidget, public IStepObserver {
    Q_OBJECT

public:
    static constexpr int DEFAULT_WIDTH = 640;
    static constexpr int DEFAULT_HEIGHT = 480;
    // Between the panel's right edge and the window on first start.
    static constexpr int DEFAULT_GAP = 8;

    // panel: the window's parent, beside which it opens and with which it
    // closes. programView (may be null) turns listing positions into lines.
    CToolpathWindow(ISettingsStore& settings, QWidget* panel, IProgramView* programView);
    ~CToolpathWindow() override;

    void OnProgramChanging() override;
    void OnStepped(StepCommand command, const CProgramCursor& cursor, const CMachineState& state) override;

    // Opens the window where it was, if it was open when the panel last
    // closed; on first start beside the panel.
    void RestoreFromSettings();
    void SaveToSettings();
    void Toggle();

    // True once the path of the last load is built and its picture for the
    // current view is shown; for tests and the benchmark.
    bool IsPictureReady() const;
    bool IsBuilding() const;
    CToolpathCanvas* GetCanvas() const { return canvas; }
    CWorkpieceLayer* GetWorkpiece() const { return workpiece; }
    CComparisonLayer* GetComparison() const { return comparison; }
    // The path shown; null before the first build.
    std::shared_ptr<const CMoveTable> GetPath() const;
    // The info line in full; the line itself cuts a long block short.
    QString GetInfoText() const;
    // The "Hinweise" list: the learner's likely mistakes, "Zeile N: ...".
    QStringList GetHints() const;
    // True from a load until its hints are shown, the wait for the path
    // they share included.
    bool IsFindingHints() const { return shownHintGeneration != hintGeneration; }

signals:
    // A click on the path: the first word of the block that made the move.
    void BlockClicked(qulonglong firstWord);
    // The window's buttons for the panel's commands: Shift+F10, F10 and F9.
    void StepBackRequested();
    void NextWordRequested();
    void RunToRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct CPathModel;
    struct CHintRequest;
    enum JobKind { JOB_BUILD, JOB_PICTURE };

    // The constructor's steps: the window's parts from top to bottom.
    QPushButton* CreateButton(const char* text, const char* tip);
    CFlowLayout* CreateViewButtons();
    QLabel* CreateLegend();
    CFlowLayout* CreateStepButtons();
    QLabel* CreateInfoLine();
    QListWidget* CreateHintList();
    // Looks for the usual mistakes of the program just loaded, off the
    // panel's thread: at once while the window is closed, else once the
    // path they share is built and its first picture drawn.
    void FindHints(const CProgramCursor& cursor);
    // Posts the hints waiting for the path, with the path built, if any.
    void StartPendingHints();
    void ShowHints(std::uint64_t generation, const QStringList& hints);
    void CreateKeys();

    // Forgets the path of the previous load and what it holds.
    void DropPath();
    void StartBuild();
    void OnJobFailed(JobKind kind, std::uint64_t generation, const QString& reason);
    void ReportFailure(JobKind kind, std::exception_ptr error);
    void OnPathBuilt(std::shared_ptr<const CPathModel> built, std::uint64_t generation);
    // A path, a visible window and room to draw in.
    bool CanDrawPicture() const;
    void RequestPicture();
    void OnPictureDrawn(std::shared_ptr<const CPathModel> drawnModel, std::shared_ptr<const CMoveIdImage> ids,
                        const CPathView& drawnView, std::size_t firstMove);
    void OnMoveClicked(qulonglong move);
    // The tools give the cut path its radii: other tools, another cut path.
    void OnToolsChanged();
    // The note of the move the info line describes, or of the first move
    // after it in its block that has one; empty for none.
    QString CutNoteText(std::size_t first, std::size_t blockLast) const;
    // The cut error with its line, or empty when the path was cut whole.
    QString CutErrorText() const;
    void ChooseProjection(PathProjection projection);
    // All of the path, what is to come, or none: the button and key P.
    void ShowPath(PathShowing showing);
    void ShowNextPathShowing();
    void UpdateStep();
    void UpdateInfo();
    void UpdateMessage();
    // Fits the info line's first line to its width by cutting the block.
    void ShowInfo();
    // The word the info line describes: the one the program view highlights
    // (or the first of a selected line), else the cursor's.
    WordPosition DescribedWord() const;
    QString BlockLine(WordPosition word) const;
    // The file line of a move's block, as the program view counts lines.
    long long LineOfMove(std::size_t move) const;
    QString BlockText(WordPosition first, WordPosition last) const;

    ISettingsStore& settings;
    QWidget* panel;
    IProgramView* programView;
    CToolpathCanvas* canvas = nullptr;
    CWorkpieceLayer* workpiece = nullptr;
    CComparisonLayer* comparison = nullptr;
    std::unique_ptr<CCutPathLayer> cutLayer;
    // The move a click on the picture took, for the info line's note.
    std::size_t clickedMove = static_cast<std::size_t>(-1);
    QButtonGroup* projectionButtons = nullptr;
    QPushButton* pathButton = nullptr;
    // The first move of the picture asked for last.
    std::size_t requestedFirstMove = 0;
    QLabel* infoLine = nullptr;
    QListWidget* hintList = nullptr;
    std::uint64_t hintGeneration = 0;
    // The job's result reaches the list by a queued call after the job
    // has ended: only the list itself says the hints are there.
    std::uint64_t shownHintGeneration = 0;
    std::unique_ptr<CHintRequest> pendingHints;

    // The word list the cursor moves over; null while a load replaces it.
    const CWordList* words = nullptr;
    WordPosition cursorWord = CWordList::NO_POSITION;
    std::int32_t lengthUnit = 0;
    // The read-outs show the values as written while the last block was
    // relative (G91); the info line says so.
    bool relative = false;
    StepCommand lastCommand = STEP_LOAD;
    std::string loadError;
    // Why the path or its picture is not available; empty while it is.
    QString jobFailure;
    // The info line's parts: the block and the kind of its move, the tool's
    // position below, then the word's explanation.
    QString infoBlock;
    QString infoRest;
    QString infoPosition;
    QString infoExplanation;
    // The word list changed while the window was closed: built once shown.
    bool buildPending = false;
    std::uint64_t buildGeneration = 0;
    std::uint64_t pictureGeneration = 0;
    // The generation of the job each runner runs; only its thread uses it.
    std::uint64_t buildJobGeneration = 0;
    std::uint64_t pictureJobGeneration = 0;
    std::shared_ptr<const CPathModel> model;
    // Jobs hold only what they are given; the window waits for both in its
    // destructor, before anything they report to is gone.
    CLatestJobRunner buildRunner;
    CLatestJobRunner rasterRunner;
    // Reads the word list: waited for before a load replaces it.
    CLatestJobRunner hintRunner;
};
