// The workpiece in the toolpath window: the material the path leaves after
// the moves done, drawn under the path, with the rapids that cut drawn red
// over it and the tool's diameter at the tool. It follows the cursor as the
// path's colours do; the sweep runs on a worker thread that brings one
// workpiece forwards and back, and every picture it sends is shown as it
// comes, so stepping never waits; a sweep that fails (out of memory) leaves
// a note for the picture and the next step tries again. Its buttons and key,
// its dialogs and the depth under the pointer are here too; the tool table
// and the box are kept in the settings store.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>

#include <QImage>
#include <QObject>
#include <QPointF>

#include "canvas_layer.h"
#include "height_grid.h"
#include "latest_job_runner.h"
#include "move_table.h"
#include "step_state.h"
#include "tool_table.h"
#include "word_list.h"
#include "workpiece.h"
#include "workpiece_settings.h"

class CToolpathCanvas;
class QLayout;
class QPushButton;
class QWidget;

class CWorkpieceLayer : public QObject, public ICanvasLayer {
    Q_OBJECT

public:
    // window: the parent of the dialogs and of the key W.
    CWorkpieceLayer(ISettingsStore& store, CToolpathCanvas* canvas, QWidget* window);
    ~CWorkpieceLayer() override;

    // "Werkstück", "Werkzeuge..." and "Rohteil..." at the end of a row.
    void AddButtons(QLayout& row);

    // The program a load brings: its own box and tools are read.
    void SetProgramFile(const std::string& program, const std::string& header);
    const std::string& GetProgramFile() const { return programFile; }
    std::shared_ptr<const std::string> GetProgramHeader() const { return header; }
    // Before a load replaces the word list the workpiece reads.
    void OnProgramChanging();
    // The path of a new load and the words it was built from; null for none.
    void SetPath(std::shared_ptr<const CMoveTable> path, const CWordList* words);
    void Follow(const CStepState& step);
    // While held no sweep starts, so the picture stays behind the cursor:
    // the window holds the sweeps while a new path's first picture is drawn.
    void HoldSweeps(bool hold);

    void SetShown(bool shown);
    bool IsShown() const { return shown; }
    void Toggle() { SetShown(!shown); }
    void OpenToolTable();
    void OpenStockBox();
    const CWorkpieceSettings& GetSettings() const { return settings; }
    // The tools of the settings, which also give the cut path its radii.
    CToolTable GetToolTable() const { return MakeToolTable(); }
    // The entries are checked; bad ones change nothing and give false.
    bool ApplySettings(const CWorkpieceSettings& chosen);

    // The depth under the pointer and a rapid in the material, for the info
    // line; empty when there is neither.
    QString GetInfoText() const;
    // For the message on the picture: why the workpiece is not shown, a path
    // that leaves the box, stored settings that were dropped; empty when
    // there is nothing to say.
    QString GetFailureText() const;
    // True when the picture shows the material at the cursor, for tests.
    bool IsUpToDate() const;
    // The material of the last picture, null before the first; for the
    // comparison with a reference, which reads it after each InfoChanged.
    const CHeightGrid* GetShownGrid() const;
    // The tools of the settings, as the sweep uses them.
    CToolTable MakeToolTable() const;

    // The room the legend of depths takes at the canvas's top right corner
    // in a view; empty where there is none.
    QSize GetLegendSize(PathProjection projection) const;

    void PaintUnder(QPainter& painter, const CPathView& view, const QSize& size) override;
    void PaintOver(QPainter& painter, const CPathView& view, const QSize& size) override;
    void ExtendBounds(CMovePoint& min, CMovePoint& max) const override;

signals:
    void InfoChanged();
    // New settings were applied: the tools may differ.
    void ToolsChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct CRequest;
    struct CSnapshot;
    struct CSweepState;

    // Forgets the last failure and starts a new generation of sweeps.
    void StartOver();
    void RequestSweep();
    // The view the sweep thread draws the block for, if it draws one.
    void BlockView(CPathView& view, QSize& size) const;
    // The sweep thread's job: the workpiece brought to the request's step,
    // its picture sent, swept() called, and then the undo log prepared
    // backwards until cancelled or full.
    static void Sweep(const CRequest& request, CSweepState& state, const std::atomic<bool>& cancel,
                      const std::function<void(std::shared_ptr<const CSnapshot>)>& send,
                      const std::function<void()>& swept);
    // A workpiece for the request's generation, false when its box cannot
    // be swept or cancel was set meanwhile (fitting the box and looking for
    // moves outside it walk the whole path).
    static bool MakeWorkpiece(const CRequest& request, CSweepState& state, const std::atomic<bool>& cancel);
    static std::shared_ptr<CSnapshot> MakeSnapshot(const CRequest& request, CSweepState& state, bool complete);
    // The grid and relief of the last picture sent into made, to be brought
    // up to date: copied into the spare's memory once no other thread holds
    // it (waiting a little for the panel's thread), else into new memory;
    // none before the first.
    static void TakeLastPicture(CSweepState& state, CSnapshot& made);
    // Memory for the next picture, taken while the learner looks: fresh
    // memory costs more than the copy into it when a step comes.
    static void PrepareSpare(CSweepState& state, const std::atomic<bool>& cancel);
    // Sweeps the current block to learn whether its rapids cut, false when
    // cancelled.
    static bool SweepCurrentBlock(const CRequest& request, CWorkpiece& workpiece, const std::atomic<bool>& cancel,
                                  const CWorkpiece::ProgressCallback& progress, bool& currentRapidCut);
    void OnSnapshot(std::shared_ptr<const CSnapshot> snapshot);
    void ReportFailure(std::exception_ptr error);
    void OnSweepFailed(std::uint64_t failedGeneration, const QString& reason);
    void UpdateDepthText();
    void DrawToolMarker(QPainter& painter, const CPathView& view) const;
    // The settings with a row for each T number of the program not in them.
    CWorkpieceSettings WithProgramTools() const;

    ISettingsStore& store;
    CToolpathCanvas* canvas;
    QWidget* window;
    QPushButton* shownButton = nullptr;
    CWorkpieceSettings settings;
    std::string programFile;
    std::shared_ptr<const std::string> header;
    // What of the program's stored settings was dropped, until new ones.
    QString settingsNote;
    // This generation's box could not be used: it is not tried again at
    // every step.
    bool boxUnusable = false;
    bool shown = true;
    bool held = false;

    std::shared_ptr<const CMoveTable> path;
    const CWordList* words = nullptr;
    CStepState step;
    // A new load or new settings: a new workpiece.
    std::uint64_t generation = 0;
    // What the last request asked for, so that the same is not asked twice.
    std::uint64_t requestedGeneration = 0;
    CStepState requestedStep;
    bool requested = false;
    std::shared_ptr<const CSnapshot> snapshot;
    // Why the last sweep of this generation failed; empty once one succeeds.
    QString failure;

    // The view at an angle the last request drew for; an empty size for
    // the other views, whose pictures do not depend on it.
    CPathView requestedView;
    QSize requestedSize;

    bool pointerInside = false;
    QPointF pointer;
    QString depthText;

    // Touched by the sweep thread only, and by this thread once the runner
    // has been waited for.
    std::shared_ptr<CSweepState> sweepState;
    // Requests posted, and the last whose sweep has ended (the sweep thread
    // goes on preparing steps back after it).
    std::uint64_t requestSerial = 0;
    std::atomic<std::uint64_t> sweptSerial{0};
    // The generation of the running sweep, for its failure report; only the
    // runner's thread uses it.
    std::uint64_t sweepJobGeneration = 0;
    CLatestJobRunner runner;
};
