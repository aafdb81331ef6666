#include "workpiece_layer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <set>
#include <thread>

#include <QLayout>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>

#include "job_failure_text.h"
#include "move_tools.h"
#include "moves_outside_box.h"
#include "program_stock.h"
#include "path_recolour.h"
#include "stock_box_dialog.h"
#include "tool_table_dialog.h"
#include "window_placement.h"
#include "toolpath_canvas.h"
#include "workpiece.h"
#include "workpiece_picture.h"

namespace {

const char* const SHOWN_TEXT = "Werkst\xC3\xBC" "ck";
const char* const SHOWN_TIP = "Das Werkst\xC3\xBC" "ck unter der Bahn zeigen oder verbergen [W]";
const char* const TOOLS_TEXT = "Werkzeuge...";
const char* const TOOLS_TIP = "Form und Durchmesser der Werkzeuge nach T-Nummer";
const char* const BOX_TEXT = "Rohteil...";
const char* const BOX_TIP = "Ma\xC3\x9F" "e des Rohteils: automatisch oder eigene";
const char* const DEPTH_TEXT = "Tiefe bei X %1 Y %2: Z %3";
const char* const RAPID_CUT_TEXT = "Eilgang im Material";
const char* const UNAVAILABLE_TEXT = "Werkst\xC3\xBC" "ck nicht verf\xC3\xBC" "gbar: ";
const char* const OUTSIDE_TEXT = "Bahn au\xC3\x9F" "erhalb des Rohteils";
const char* const UNUSABLE_BOX_TEXT =
    "Rohteil unbrauchbar (zu gro\xC3\x9F oder zu d\xC3\xBCnn f\xC3\xBCr das Raster): Werkst\xC3\xBC" "ck nicht gezeigt";

// A busy sweep sends a picture this often.
constexpr auto PROGRESS_INTERVAL = std::chrono::milliseconds(100);
// How long a new picture waits for the panel's thread to let go of the one
// before the last, whose memory it takes; fresh memory costs more.
constexpr auto SPARE_WAIT = std::chrono::milliseconds(10);
// More rapid cuts than this are a program that is wrong throughout: the
// first ones say enough.
constexpr std::size_t MAX_DRAWN_RAPID_CUTS = 10000;
constexpr qreal RAPID_CUT_WIDTH = 2.5;
constexpr QRgb TOOL_OUTLINE = 0xE0FFFFFF;
constexpr int TOOL_CIRCLE_POINTS = 48;
constexpr double FULL_TURN = 6.283185307179586;
// The legend of depths, at the top right of the canvas.
constexpr int LEGEND_WIDTH = 12;
constexpr int LEGEND_HEIGHT = 100;
constexpr int LEGEND_MARGIN = 14;
constexpr int LEGEND_TOP = LEGEND_MARGIN + 8;
// The legend's panel reaches this far beyond its bar and labels.
constexpr int LEGEND_PANEL_EXTRA = 12;

QPointF ToQt(const CViewPoint& point) { return {point.x, point.y}; }

} // namespace

// One request to the sweep thread: everything it may read.
struct CWorkpieceLayer::CRequest {
    std::uint64_t generation = 0;
    std::shared_ptr<const CMoveTable> path;
    const CWordList* words = nullptr;
    // The program's header, where its own box and tools may stand too.
    std::shared_ptr<const std::string> header;
    CToolTable tools;
    bool automaticBox = true;
    CStockBox box;
    CStepState step;
    // The current block holds a rapid: find out whether it cuts.
    bool currentRapid = false;
    PathProjection projection = PROJECTION_TOP;
    // The view at an angle to draw the block for; an empty size for none.
    CPathView view;
    QSize size;
};

// What the sweep thread sends: the material and what is drawn over it.
struct CWorkpieceLayer::CSnapshot {
    std::uint64_t generation = 0;
    CStepState step;
    // False while the sweep is on its way to step.doneCount.
    bool complete = false;
    CHeightGrid grid;
    QImage relief;
    // Only the views from the front and the side draw them: measured with
    // the picture for those views, else on the panel's thread at the first
    // paint that needs them (only that thread touches them once sent).
    mutable CSilhouettes silhouettes;
    mutable bool silhouettesMeasured = false;
    // The block at an angle, drawn for blockView at its size.
    QImage block;
    CPathView blockView;
    std::vector<std::size_t> rapidCuts;
    bool currentRapidCut = false;
    CTool tool;
    // A cutting move leaves the box.
    bool pathOutside = false;
    // The box cannot be made into a grid: nothing else is set.
    bool unusableBox = false;
};

struct CWorkpieceLayer::CSweepState {
    std::uint64_t generation = 0;
    // The tools the workpiece is cut with, the program's own among them.
    CToolTable tools;
    bool pathOutside = false;
    // Kept here so that the table outlives the workpiece reading it.
    std::shared_ptr<const CMoveTable> path;
    std::unique_ptr<CWorkpiece> workpiece;
    // The last picture sent: the next one draws only what changed since.
    std::shared_ptr<CSnapshot> lastSent;
    // The one sent before it: once the panel's thread has let go of it
    // (when the last sent reaches it), it lends its memory to the next
    // picture, where fresh memory would cost more than the copy.
    std::shared_ptr<CSnapshot> spare;
};

CWorkpieceLayer::CWorkpieceLayer(ISettingsStore& settingsStore, CToolpathCanvas* pathCanvas, QWidget* parentWindow)
    : QObject(parentWindow), store(settingsStore), canvas(pathCanvas), window(parentWindow),
      sweepState(std::make_shared<CSweepState>()),
      runner([this](std::exception_ptr error) { ReportFailure(error); })
{
    auto* key = new QShortcut(QKeySequence(Qt::Key_W), window);
    connect(key, &QShortcut::activated, this, &CWorkpieceLayer::Toggle);
    canvas->setMouseTracking(true);
    canvas->installEventFilter(this);
    // The block at an angle is drawn with the material, for the view shown.
    connect(canvas, &CToolpathCanvas::ViewChanged, this, &CWorkpieceLayer::RequestSweep);
}

CWorkpieceLayer::~CWorkpieceLayer() { runner.CancelAndWait(); }

void CWorkpieceLayer::AddButtons(QLayout& row)
{
    shownButton = new QPushButton(QString::fromUtf8(SHOWN_TEXT), window);
    shownButton->setCheckable(true);
    shownButton->setChecked(shown);
    connect(shownButton, &QPushButton::clicked, this, &CWorkpieceLayer::SetShown);
    auto* tools = new QPushButton(QString::fromUtf8(TOOLS_TEXT), window);
    connect(tools, &QPushButton::clicked, this, &CWorkpieceLayer::OpenToolTable);
    auto* box = new QPushButton(QString::fromUtf8(BOX_TEXT), window);
    connect(box, &QPushButton::clicked, this, &CWorkpieceLayer::OpenStockBox);
    const std::pair<QPushButton*, const char*> buttons[] = {{shownButton, SHOWN_TIP}, {tools, TOOLS_TIP}, {box, BOX_TIP}};
    for (const auto& [button, tip] : buttons) {
        button->setToolTip(QString::fromUtf8(tip));
        button->setFocusPolicy(Qt::NoFocus);
        row.addWidget(button);
    }
}

void CWorkpieceLayer::OnProgramChanging()
{
    runner.CancelAndWait();
    // Nothing runs now: the workpiece that reads the old words can go.
    sweepState->workpiece.reset();
    sweepState->path.reset();
    words = nullptr;
    path.reset();
    snapshot.reset();
    StartOver();
}

void CWorkpieceLayer::SetPath(std::shared_ptr<const CMoveTable> newPath, const CWordList* newWords)
{
    path = std::move(newPath);
    words = newWords;
    snapshot.reset();
    StartOver();
    RequestSweep();
    canvas->update();
}

void CWorkpieceLayer::StartOver()
{
    // A new generation also makes the next request differ from the last.
    failure.clear();
    boxUnusable = false;
    ++generation;
}

void CWorkpieceLayer::Follow(const CStepState& newStep)
{
    step = newStep;
    RequestSweep();
}

void CWorkpieceLayer::HoldSweeps(bool hold)
{
    if (held == hold)
        return;
    held = hold;
    RequestSweep();
}

void CWorkpieceLayer::SetShown(bool show)
{
    shown = show;
    if (shownButton != nullptr)
        shownButton->setChecked(show);
    RequestSweep();
    UpdateDepthText();
    if (canvas->IsFitted())
        canvas->Fit();
    canvas->update();
    emit InfoChanged();
}

CToolTable CWorkpieceLayer::MakeToolTable() const
{
    CToolTable tools;
    for (const CWorkpieceToolEntry& entry : settings.tools)
        tools.SetTool(entry.number, entry.GetTool());
    tools.SetDefaultTool(settings.defaultTool.GetTool());
    return tools;
}

bool CWorkpieceLayer::ApplySettings(const CWorkpieceSettings& chosen)
{
    if (!chosen.Check().isEmpty())
        return false;
    settings = chosen;
    settingsNote.clear();
    settings.Save(store, programFile);
    // Other tools or another box: the workpiece is cut again from the start.
    StartOver();
    RequestSweep();
    emit ToolsChanged();
    return true;
}

CWorkpieceSettings CWorkpieceLayer::WithProgramTools() const
{
    // The T numbers the program uses stand in the table, ready to be given
    // their diameter; until then they cut as the default tool does.
    CWorkpieceSettings listed = settings;
    if (words == nullptr)
        return listed;
    std::set<int> numbers;
    for (const CWorkpieceToolEntry& tool : listed.tools)
        numbers.insert(tool.number);
    const CMoveTools used(*words);
    for (std::size_t index = 0; index < used.GetWordCount(); ++index) {
        if (listed.tools.size() >= static_cast<std::size_t>(CWorkpieceSettings::MAX_TOOLS))
            break;
        const int number = used.GetNumber(index);
        if (number < 0 || !numbers.insert(number).second)
            continue;
        CWorkpieceToolEntry tool = listed.defaultTool;
        tool.number = number;
        listed.tools.push_back(tool);
    }
    return listed;
}

void CWorkpieceLayer::OpenToolTable()
{
    auto* dialog = new CToolTableDialog(WithProgramTools(), window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog]() { ApplySettings(dialog->GetSettings()); });
    dialog->open();
    FitWindowIntoScreen(*dialog);
}

void CWorkpieceLayer::OpenStockBox()
{
    double shownBox[STOCK_BOX_VALUES];
    std::copy(settings.box, settings.box + STOCK_BOX_VALUES, shownBox);
    if (snapshot != nullptr) {
        const CStockBox& box = snapshot->grid.GetBox();
        const double inUse[STOCK_BOX_VALUES] = {box.x0, box.y0, box.z0, box.x1, box.y1, box.z1};
        std::copy(inUse, inUse + STOCK_BOX_VALUES, shownBox);
    }
    auto* dialog = new CStockBoxDialog(settings, shownBox, window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog]() { ApplySettings(dialog->GetSettings()); });
    dialog->open();
    FitWindowIntoScreen(*dialog);
}

void CWorkpieceLayer::RequestSweep()
{
    // A closed window sweeps nothing; it asks again when it opens.
    if (!shown || held || path == nullptr || words == nullptr || path->IsEmpty() || !canvas->isVisible() ||
        boxUnusable)
        return;
    CPathView view;
    QSize size;
    BlockView(view, size);
    if (requested && requestedGeneration == generation && requestedStep == step && requestedView == view &&
        requestedSize == size)
        return;
    requested = true;
    requestedGeneration = generation;
    requestedStep = step;
    requestedView = view;
    requestedSize = size;
    CRequest request;
    request.generation = generation;
    request.path = path;
    request.words = words;
    request.header = header;
    request.tools = MakeToolTable();
    request.automaticBox = settings.automaticBox;
    request.box = CStockBox{settings.box[0], settings.box[1], settings.box[2],
                            settings.box[3], settings.box[4], settings.box[5]};
    request.step = step;
    request.view = view;
    request.size = size;
    request.projection = canvas->GetView().GetProjection();
    if (step.HasCurrentBlock()) {
        for (std::size_t move = step.blockFirst; move <= step.blockLast && move < path->GetCount(); ++move)
            request.currentRapid = request.currentRapid || path->GetKind(move) == MOVE_RAPID;
    }
    const std::shared_ptr<CSweepState> state = sweepState;
    const std::uint64_t serial = ++requestSerial;
    runner.Post([this, request, state, serial](const std::atomic<bool>& cancel) {
        sweepJobGeneration = request.generation;
        // Whichever way the sweep ends, it no longer counts as running.
        struct CSweptNote {
            std::atomic<std::uint64_t>& swept;
            std::uint64_t serial;
            void Note() { swept = serial; }
            ~CSweptNote() { Note(); }
        } sweptNote{sweptSerial, serial};
        Sweep(
            request, *state, cancel,
            [this](std::shared_ptr<const CSnapshot> made) {
                QMetaObject::invokeMethod(
                    this, [this, made]() { OnSnapshot(made); }, Qt::QueuedConnection);
            },
            [&sweptNote]() { sweptNote.Note(); });
    });
}

void CWorkpieceLayer::BlockView(CPathView& view, QSize& size) const
{
    view = CPathView();
    size = QSize();
    if (canvas->GetView().GetProjection() == PROJECTION_ISOMETRIC) {
        view = canvas->GetView();
        size = canvas->size();
    }
}

bool CWorkpieceLayer::MakeWorkpiece(const CRequest& request, CSweepState& state, const std::atomic<bool>& cancel)
{
    if (state.workpiece != nullptr && state.generation == request.generation)
        return true;
    state.workpiece.reset();
    state.lastSent.reset();
    state.spare.reset();
    const CMoveTable& table = *request.path;
    // The program's own box and tools come before the stored ones.
    const CProgramStock program =
        ReadProgramStock(*request.words, request.header != nullptr ? *request.header : std::string());
    CStockChoice choice;
    choice.hasBox = !request.automaticBox && !program.hasBox;
    choice.box = request.box;
    choice.tools = request.tools;
    state.tools = ChooseStockTools(choice, program);
    CWorkpiece::CSettings options;
    options.box = ChooseStockBox(choice, program, table, *request.words, state.tools, nullptr, &cancel);
    if (cancel.load())
        return false;
    options.cell = CHeightGrid::DefaultCell(options.box);
    std::size_t columns = 0;
    std::size_t rows = 0;
    if (!options.box.IsValid() || !CHeightGrid::CountCells(options.box, options.cell, columns, rows))
        return false;
    state.pathOutside = FindMovesOutsideBox(table, options.box, true, &cancel).count > 0;
    if (cancel.load())
        return false;
    state.path = request.path;
    state.generation = request.generation;
    state.workpiece = std::make_unique<CWorkpiece>(table, *request.words, 0, state.tools, options);
    return true;
}

void CWorkpieceLayer::TakeLastPicture(CSweepState& state, CSnapshot& made)
{
    if (state.lastSent == nullptr)
        return;
    const CSnapshot& last = *state.lastSent;
    // The panel's thread lets go of the spare as soon as it takes the last
    // picture sent, which steps in quick succession may find still queued.
    const auto until = std::chrono::steady_clock::now() + SPARE_WAIT;
    while (state.spare != nullptr && state.spare.use_count() != 1 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    if (state.spare == nullptr || state.spare.use_count() != 1) {
        made.grid = last.grid;
        made.relief = last.relief;
        return;
    }
    // The panel's thread let go of it: what it read there comes before what
    // is written here.
    std::atomic_thread_fence(std::memory_order_acquire);
    made.grid = std::move(state.spare->grid);
    made.relief = std::move(state.spare->relief);
    state.spare.reset();
    // The spare stands a picture or more further back, which a long jump
    // may have left far from the grid now: the last sent, copied into the
    // spare's memory, costs a copy instead of redrawing all between.
    made.grid = last.grid;
    if (made.relief.size() == last.relief.size() && made.relief.format() == last.relief.format())
        std::memcpy(made.relief.bits(), last.relief.constBits(), static_cast<std::size_t>(made.relief.sizeInBytes()));
    else
        made.relief = last.relief;
}

std::shared_ptr<CWorkpieceLayer::CSnapshot> CWorkpieceLayer::MakeSnapshot(const CRequest& request,
                                                                          CSweepState& state, bool complete)
{
    const CWorkpiece& workpiece = *state.workpiece;
    auto made = std::make_shared<CSnapshot>();
    made->generation = request.generation;
    made->step = request.step;
    made->complete = complete;
    made->pathOutside = state.pathOutside;
    TakeLastPicture(state, *made);
    if (made->relief.isNull()) {
        made->grid = workpiece.GetGrid();
        made->relief = WorkpiecePicture::DrawRelief(made->grid);
    } else {
        WorkpiecePicture::UpdateRelief(workpiece.GetGrid(), made->grid, made->relief);
    }
    if (request.projection == PROJECTION_FRONT || request.projection == PROJECTION_SIDE) {
        made->silhouettes = WorkpiecePicture::MeasureSilhouettes(made->grid);
        made->silhouettesMeasured = true;
    }
    if (!request.size.isEmpty()) {
        made->block = WorkpiecePicture::DrawBlock(made->grid, request.view, request.size);
        made->blockView = request.view;
    }
    for (const CRapidCut& cut : workpiece.GetRapidCuts())
        made->rapidCuts.push_back(cut.move);
    // The tool of the current block, or else of the last move done.
    const std::size_t done = workpiece.GetDoneCount();
    if (request.step.HasCurrentBlock())
        made->tool = workpiece.GetToolOfMove(request.step.blockFirst);
    else if (done > 0)
        made->tool = workpiece.GetToolOfMove(done - 1);
    else
        made->tool = state.tools.GetDefaultTool();
    return made;
}

bool CWorkpieceLayer::SweepCurrentBlock(const CRequest& request, CWorkpiece& workpiece,
                                        const std::atomic<bool>& cancel,
                                        const CWorkpiece::ProgressCallback& progress, bool& currentRapidCut)
{
    // The current block is not applied yet: sweep it, read its rapids, and
    // step back (which costs no sweep).
    const std::size_t count = workpiece.GetMoveCount();
    const std::size_t blockEnd = std::min(request.step.blockLast + 1, count);
    if (!workpiece.BringTo(blockEnd, &cancel, progress))
        return false;
    for (std::size_t move = request.step.blockFirst; move < blockEnd; ++move)
        currentRapidCut = currentRapidCut || workpiece.GetRapidCutDepth(move) > 0.0;
    return true;
}

void CWorkpieceLayer::Sweep(const CRequest& request, CSweepState& state, const std::atomic<bool>& cancel,
                            const std::function<void(std::shared_ptr<const CSnapshot>)>& send,
                            const std::function<void()>& swept)
{
    if (!MakeWorkpiece(request, state, cancel)) {
        if (cancel.load())
            return;
        // Said once on the picture rather than fitted again at every step.
        auto unusable = std::make_shared<CSnapshot>();
        unusable->generation = request.generation;
        unusable->unusableBox = true;
        send(std::move(unusable));
        return;
    }
    CWorkpiece& workpiece = *state.workpiece;
    const auto sendSnapshot = [&](std::shared_ptr<CSnapshot> made) {
        state.spare = std::move(state.lastSent);
        state.lastSent = made;
        send(std::move(made));
    };
    auto sentAt = std::chrono::steady_clock::now();
    const auto progress = [&](std::size_t) {
        const auto now = std::chrono::steady_clock::now();
        if (now - sentAt < PROGRESS_INTERVAL)
            return;
        sentAt = now;
        sendSnapshot(MakeSnapshot(request, state, false));
    };
    bool currentRapidCut = false;
    if (request.currentRapid && !SweepCurrentBlock(request, workpiece, cancel, progress, currentRapidCut))
        return;
    if (!workpiece.BringTo(request.step.doneCount, &cancel, progress))
        return;
    std::shared_ptr<CSnapshot> made = MakeSnapshot(request, state, true);
    made->currentRapidCut = currentRapidCut;
    sendSnapshot(std::move(made));
    swept();
    PrepareSpare(state, cancel);
    // While the learner looks, the moves before the undo log are logged
    // too, so that the steps back after a jump stay instant.
    while (workpiece.PrepareBack(&cancel)) {
    }
}

void CWorkpieceLayer::PrepareSpare(CSweepState& state, const std::atomic<bool>& cancel)
{
    if (state.lastSent == nullptr || state.spare != nullptr || cancel.load())
        return;
    state.spare = std::make_shared<CSnapshot>();
    state.spare->grid = state.lastSent->grid;
    state.spare->relief = state.lastSent->relief.copy();
}

void CWorkpieceLayer::OnSnapshot(std::shared_ptr<const CSnapshot> made)
{
    if (made->generation != generation)
        return;
    if (made->unusableBox) {
        // Said once on the picture; the same box is not tried again until
        // the program or the settings change.
        boxUnusable = true;
        snapshot.reset();
        canvas->update();
        emit InfoChanged();
        return;
    }
    const bool newBox = snapshot == nullptr || snapshot->grid.GetBox() != made->grid.GetBox();
    snapshot = std::move(made);
    failure.clear();
    // The first picture of a box shows all of it, unless the learner has
    // zoomed or panned meanwhile.
    if (newBox && canvas->IsFitted())
        canvas->Fit();
    UpdateDepthText();
    canvas->update();
    emit InfoChanged();
}

void CWorkpieceLayer::ReportFailure(std::exception_ptr error)
{
    // On the runner's thread, once the job's captures are freed. The
    // workpiece stays usable (it stands at the untouched box), so the next
    // request sweeps again.
    const std::uint64_t failedGeneration = sweepJobGeneration;
    const QString reason = JobFailureText(error);
    QMetaObject::invokeMethod(
        this, [this, failedGeneration, reason]() { OnSweepFailed(failedGeneration, reason); },
        Qt::QueuedConnection);
}

void CWorkpieceLayer::OnSweepFailed(std::uint64_t failedGeneration, const QString& reason)
{
    if (failedGeneration != generation)
        return;
    // The material shown is of another step; it goes, and its memory.
    snapshot.reset();
    failure = reason;
    // The same step may be asked for again, by W or a new view.
    requested = false;
    UpdateDepthText();
    canvas->update();
    emit InfoChanged();
}

QString CWorkpieceLayer::GetFailureText() const
{
    QStringList lines;
    if (!settingsNote.isEmpty())
        lines << settingsNote;
    if (!shown)
        return lines.join(QLatin1Char('\n'));
    if (!failure.isEmpty())
        lines << QString::fromUtf8(UNAVAILABLE_TEXT) + failure;
    if (boxUnusable)
        lines << QString::fromUtf8(UNUSABLE_BOX_TEXT);
    else if (snapshot != nullptr && snapshot->pathOutside)
        lines << QString::fromUtf8(OUTSIDE_TEXT);
    return lines.join(QLatin1Char('\n'));
}

void CWorkpieceLayer::SetProgramFile(const std::string& program, const std::string& programHeader)
{
    programFile = program;
    header = std::make_shared<const std::string>(programHeader);
    // Each program its own box and tools; one without gets the automatic box.
    settingsNote = settings.Load(store, programFile);
    StartOver();
}

bool CWorkpieceLayer::IsUpToDate() const
{
    CPathView view;
    QSize size;
    BlockView(view, size);
    return !shown || path == nullptr || path->IsEmpty() ||
           (snapshot != nullptr && snapshot->generation == generation && snapshot->complete &&
            snapshot->step == step && (size.isEmpty() || snapshot->blockView == view) &&
            sweptSerial.load() == requestSerial);
}

const CHeightGrid* CWorkpieceLayer::GetShownGrid() const
{
    return snapshot != nullptr ? &snapshot->grid : nullptr;
}

QString CWorkpieceLayer::GetInfoText() const
{
    // The warning first: it matters more than the depth under the pointer.
    QStringList parts;
    if (shown && snapshot != nullptr && snapshot->complete && snapshot->currentRapidCut && snapshot->step == step)
        parts << QString::fromUtf8(RAPID_CUT_TEXT);
    if (!depthText.isEmpty())
        parts << depthText;
    return parts.join(QStringLiteral("   "));
}

void CWorkpieceLayer::UpdateDepthText()
{
    depthText.clear();
    if (!shown || !pointerInside || snapshot == nullptr)
        return;
    const CPathView& view = canvas->GetView();
    if (view.GetProjection() != PROJECTION_TOP)
        return;
    const CViewPoint plane = view.PixelToPlane(pointer.x(), pointer.y());
    std::size_t column = 0;
    std::size_t row = 0;
    if (!snapshot->grid.FindCell(plane.x, plane.y, column, row))
        return;
    // The cell's centre and height, as the command line prints them.
    depthText = QString::fromUtf8(DEPTH_TEXT)
                    .arg(WorkpiecePicture::FormatLength(snapshot->grid.GetCenterX(column)),
                         WorkpiecePicture::FormatLength(snapshot->grid.GetCenterY(row)),
                         WorkpiecePicture::FormatLength(snapshot->grid.GetHeight(column, row)));
}

bool CWorkpieceLayer::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == canvas) {
        const QString before = depthText;
        if (event->type() == QEvent::MouseMove) {
            pointerInside = true;
            pointer = static_cast<QMouseEvent*>(event)->position();
            UpdateDepthText();
        } else if (event->type() == QEvent::Leave) {
            pointerInside = false;
            UpdateDepthText();
        } else if (event->type() == QEvent::Show) {
            RequestSweep();
        }
        if (depthText != before)
            emit InfoChanged();
    }
    return QObject::eventFilter(watched, event);
}

void CWorkpieceLayer::PaintUnder(QPainter& painter, const CPathView& view, const QSize& /*size*/)
{
    if (!shown || snapshot == nullptr)
        return;
    const CHeightGrid& grid = snapshot->grid;
    switch (view.GetProjection()) {
    case PROJECTION_TOP:
        painter.drawImage(WorkpiecePicture::ReliefPlacement(grid, view), snapshot->relief);
        break;
    case PROJECTION_ISOMETRIC:
        if (!snapshot->block.isNull() && snapshot->blockView.GetProjection() == PROJECTION_ISOMETRIC) {
            // Drawn for an older view: shifted and scaled to this one until
            // the new one comes, as the path's picture is.
            const CPathView& drawn = snapshot->blockView;
            const double factor = view.GetScale() / drawn.GetScale();
            const QPointF topLeft(view.GetOffsetX() - factor * drawn.GetOffsetX(),
                                  view.GetOffsetY() - factor * drawn.GetOffsetY());
            painter.drawImage(QRectF(topLeft, QSizeF(snapshot->block.size()) * factor), snapshot->block);
        }
        break;
    case PROJECTION_FRONT:
    case PROJECTION_SIDE:
        if (!snapshot->silhouettesMeasured) {
            snapshot->silhouettes = WorkpiecePicture::MeasureSilhouettes(grid);
            snapshot->silhouettesMeasured = true;
        }
        WorkpiecePicture::DrawSilhouette(painter, grid, snapshot->silhouettes, view);
        break;
    }
}

void CWorkpieceLayer::PaintOver(QPainter& painter, const CPathView& view, const QSize& size)
{
    if (!shown || snapshot == nullptr || path == nullptr)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(QColor::fromRgb(DefaultPathPalette().coming[STYLE_ERROR]), RAPID_CUT_WIDTH);
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    const auto drawRapid = [&](std::size_t move) {
        if (move < path->GetCount())
            painter.drawLine(ToQt(view.Project(path->GetStart(move))), ToQt(view.Project(path->GetEnd(move))));
    };
    const std::size_t drawn = std::min(snapshot->rapidCuts.size(), MAX_DRAWN_RAPID_CUTS);
    for (std::size_t index = 0; index < drawn; ++index)
        drawRapid(snapshot->rapidCuts[index]);
    if (snapshot->currentRapidCut && snapshot->step == step && step.HasCurrentBlock()) {
        for (std::size_t move = step.blockFirst; move <= step.blockLast && move < path->GetCount(); ++move) {
            if (path->GetKind(move) == MOVE_RAPID)
                drawRapid(move);
        }
    }
    painter.restore();
    DrawToolMarker(painter, view);
    if (!GetLegendSize(view.GetProjection()).isEmpty()) {
        const CStockBox& box = snapshot->grid.GetBox();
        WorkpiecePicture::DrawLegend(
            painter, QRect(size.width() - LEGEND_MARGIN - LEGEND_WIDTH, LEGEND_TOP, LEGEND_WIDTH, LEGEND_HEIGHT),
            box.z0, box.z1);
    }
}

QSize CWorkpieceLayer::GetLegendSize(PathProjection projection) const
{
    if (!shown || snapshot == nullptr || (projection != PROJECTION_TOP && projection != PROJECTION_ISOMETRIC))
        return QSize();
    // The legend's labels to the left of its bar, on a panel a little larger.
    const CStockBox& box = snapshot->grid.GetBox();
    const QFontMetrics metrics(canvas->font());
    int textWidth = 0;
    for (const double value : {box.z1, (box.z0 + box.z1) / 2.0, box.z0})
        textWidth = std::max(textWidth, metrics.horizontalAdvance(WorkpiecePicture::FormatLength(value)));
    return QSize(LEGEND_MARGIN + LEGEND_WIDTH + textWidth + LEGEND_PANEL_EXTRA,
                 LEGEND_TOP + LEGEND_HEIGHT + metrics.height() / 2 + LEGEND_PANEL_EXTRA);
}

void CWorkpieceLayer::ExtendBounds(CMovePoint& min, CMovePoint& max) const
{
    if (!shown || snapshot == nullptr)
        return;
    const CStockBox& box = snapshot->grid.GetBox();
    min = CMovePoint{std::min(min.x, box.x0), std::min(min.y, box.y0), std::min(min.z, box.z0)};
    max = CMovePoint{std::max(max.x, box.x1), std::max(max.y, box.y1), std::max(max.z, box.z1)};
}

void CWorkpieceLayer::DrawToolMarker(QPainter& painter, const CPathView& view) const
{
    const CMovePoint tip = canvas->GetToolPoint();
    const double radius = snapshot->tool.GetRadius();
    // The cutting edge: the rim of a flat tool at the tip, the widest circle
    // of a ball one radius above it; a shank as high as the tool is wide.
    const double edge = tip.z + (snapshot->tool.shape == TOOL_BALL ? radius : 0.0);
    const double shankTop = edge + 2.0 * radius;
    QPolygonF rim;
    QPolygonF top;
    for (int index = 0; index <= TOOL_CIRCLE_POINTS; ++index) {
        const double angle = FULL_TURN * index / TOOL_CIRCLE_POINTS;
        const double x = tip.x + radius * std::cos(angle);
        const double y = tip.y + radius * std::sin(angle);
        rim << ToQt(view.Project(x, y, edge));
        top << ToQt(view.Project(x, y, shankTop));
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor::fromRgba(TOOL_OUTLINE), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(rim);
    if (view.GetProjection() != PROJECTION_TOP) {
        painter.drawPolyline(top);
        // The shank's sides where the circles reach farthest left and right.
        const auto byX = [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); };
        const auto left = std::min_element(rim.begin(), rim.end(), byX) - rim.begin();
        const auto right = std::max_element(rim.begin(), rim.end(), byX) - rim.begin();
        painter.drawLine(rim[left], top[left]);
        painter.drawLine(rim[right], top[right]);
        if (snapshot->tool.shape == TOOL_BALL) {
            const QPointF lowest = ToQt(view.Project(tip.x, tip.y, tip.z));
            painter.drawLine(rim[left], lowest);
            painter.drawLine(lowest, rim[right]);
        }
    }
    painter.restore();
}
