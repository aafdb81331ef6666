#include "comparison_layer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include <QBoxLayout>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

#include "cnc_program.h"
#include "cut_path.h"
#include "job_failure_text.h"
#include "move_chords.h"
#include "path_builder.h"
#include "program_stock.h"
#include "platform.h"
#include "toolpath_canvas.h"
#include "workpiece.h"
#include "workpiece_layer.h"
#include "workpiece_picture.h"

namespace {

const char* const COMPARE_TEXT = "Vergleichen...";
const char* const COMPARE_TIP = "Das Werkst\xC3\xBC" "ck mit dem einer Musterl\xC3\xB6sung vergleichen";
const char* const STOP_TEXT = "Vergleich aus";
const char* const STOP_TIP = "Den Vergleich mit der Musterl\xC3\xB6sung beenden";
const char* const PATH_TEXT = "Musterbahn";
const char* const PATH_TIP = "Die Bahn der Musterl\xC3\xB6sung als d\xC3\xBCnne Linie zeigen [M]";
const char* const SAVE_TEXT = "Bild speichern...";
const char* const SAVE_TIP = "Das Bild dieser Ansicht als PNG-Datei speichern";
const char* const CHOOSE_TITLE = "Musterl\xC3\xB6sung w\xC3\xA4hlen";
const char* const SAVE_TITLE = "Bild speichern";
const char* const PROGRAM_FILTER = "CNC-Programme (*.nc *.cnc *.txt);;Alle Dateien (*)";
const char* const PICTURE_FILTER = "PNG-Bilder (*.png)";
const char* const NOT_SAVED_TEXT = "Das Bild konnte nicht gespeichert werden: %1";
const char* const NO_PROGRAM_TEXT = "Zum Vergleichen zuerst ein Programm laden und sein Werkst\xC3\xBC" "ck zeigen.";
const char* const NOT_LOADED_TEXT = "Die Musterl\xC3\xB6sung %1 l\xC3\xA4sst sich nicht laden: %2";
const char* const OTHER_BOX_TEXT =
    "Das Rohteil der Musterl\xC3\xB6sung %1 (X %2 bis %3, Y %4 bis %5, oben Z %6) weicht vom Rohteil dieses "
    "Programms ab (X %7 bis %8, Y %9 bis %10, oben Z %11). Unter \"Rohteil...\" ein gemeinsames Rohteil "
    "einstellen.";
const char* const CHANGED_BOX_TEXT =
    "Vergleich beendet: Rohteil oder Werkzeuge wurden ge\xC3\xA4ndert. Bitte neu vergleichen.";
const char* const TOO_DEEP_TEXT = "zu tief: %1 bei X %2 Y %3";
const char* const CUT_BY_TEXT = " durch Zeile %1";
const char* const SUMMARY_TEXT =
    "Vergleich mit %1: %2 % innerhalb \xC2\xB1%3; zu tief %4 Zellen (max %5); Rest %6 Zellen (max %7)";
const char* const LEGEND_OVER = "zu tief";
const char* const LEGEND_UNDER = "Rest";
const char* const LEGEND_WITHIN = "innerhalb";
const char* const LEGEND_NO_COLOURS = "Iso zeigt keine Vergleichsfarben";
const char* const CUTTING_TEXT = "Vergleich: Musterl\xC3\xB6sung %1 wird geschnitten...";
const char* const FAILED_TEXT = "Die Musterl\xC3\xB6sung %1 l\xC3\xA4sst sich nicht schneiden: %2";
const char* const REFERENCE_SETTING = "CompareReference";
const char* const PICTURE_DATE_FORMAT = "dd.MM.yyyy hh:mm";

constexpr int MIN_BUTTON_WIDTH = 44;
constexpr QRgb REFERENCE_PATH_COLOUR = 0xC0FFE060;
constexpr QRgb LEGEND_PANEL = 0xB0202020;
constexpr int LEGEND_MARGIN = 10;
constexpr int LEGEND_SWATCH = 10;
constexpr int PICTURE_TEXT_MARGIN = 6;
// Heights this close count as the same box edge.
constexpr double BOX_MATCH = 1e-9;

// The reference's load needs no listing, and must not become the panel's
// last program: a chooser that answers with its file and a store that keeps
// nothing.
class CGivenFile : public IFileChooser {
public:
    explicit CGivenFile(std::string file) : file(std::move(file)) {}
    bool ChooseFile(const std::string& /*initialName*/, std::string& chosenPath) override
    {
        chosenPath = file;
        return true;
    }

private:
    std::string file;
};

class CNoSettings : public ISettingsStore {
public:
    bool WriteSettingString(const std::string&, const std::string&, const std::string&) override { return false; }
    bool ReadSettingString(const std::string&, const std::string&, std::string&) override { return false; }
};

QPointF ToQt(const CViewPoint& point) { return {point.x, point.y}; }

bool SameEdge(double a, double b) { return std::abs(a - b) <= BOX_MATCH * (1.0 + std::abs(a)); }

// The tools a program is cut with in this window: those of the settings,
// with the ones the program states in place of the same numbers. The
// learner's workpiece is cut so, and the reference and the search for the
// first move too deep must meet the very same cells.
CToolTable ToolsOfProgram(const CToolTable& settingsTools, const CProgramStock& stated)
{
    CStockChoice choice;
    choice.tools = settingsTools;
    return ChooseStockTools(choice, stated);
}

} // namespace

// The reference's program, its path and its finished part.
struct CComparisonLayer::CReference {
    explicit CReference(const std::string& file) : chooser(file), loader(nullptr, chooser, noSettings) {}

    CGivenFile chooser;
    CNoSettings noSettings;
    CCncProgram loader;
    CMoveTable table;
    CHeightGrid grid;
};

// What the reference's cut reads of the window, copied when it starts.
struct CComparisonLayer::CCutRequest {
    std::string file;
    CToolTable tools;
    bool automaticBox = true;
    CStockBox settingsBox;
    // The learner's box and cell, which the reference must share.
    CStockBox box;
    double cell = 1.0;
};

CComparisonLayer::CComparisonLayer(ISettingsStore& settingsStore, CToolpathCanvas* pathCanvas,
                                   CWorkpieceLayer* workpieceLayer, QWidget* parentWindow)
    : QObject(parentWindow), store(settingsStore), canvas(pathCanvas), workpiece(workpieceLayer),
      window(parentWindow),
      searchRunner([this](std::exception_ptr) {
          // Without the search the info line names no line; the comparison
          // itself goes on.
          const std::uint64_t serial = searchJobSerial;
          QMetaObject::invokeMethod(
              this,
              [this, serial]() {
                  if (serial == searchSerial) {
                      searching = false;
                      emit InfoChanged();
                  }
              },
              Qt::QueuedConnection);
      }),
      referenceRunner([this](std::exception_ptr error) {
          // On the runner's thread, which set cutJobSerial.
          const QString reason = JobFailureText(error);
          const std::uint64_t serial = cutJobSerial;
          QMetaObject::invokeMethod(
              this,
              [this, serial, reason]() {
                  OnReferenceCut(serial, nullptr,
                                 QString::fromUtf8(FAILED_TEXT).arg(QFileInfo(cuttingFile).fileName(), reason));
              },
              Qt::QueuedConnection);
      })
{
    auto* key = new QShortcut(QKeySequence(Qt::Key_M), window);
    connect(key, &QShortcut::activated, this, [this]() { SetReferencePathShown(!referencePathShown); });
    connect(workpiece, &CWorkpieceLayer::InfoChanged, this, &CComparisonLayer::OnMaterial);
}

CComparisonLayer::~CComparisonLayer()
{
    // Cancelled, and ended before the members their jobs read go.
    referenceRunner.CancelAndWait();
    searchRunner.CancelAndWait();
}

void CComparisonLayer::AddButtons(QLayout& row)
{
    auto* compare = new QPushButton(QString::fromUtf8(COMPARE_TEXT), window);
    connect(compare, &QPushButton::clicked, this, &CComparisonLayer::ChooseReference);
    stopButton = new QPushButton(QString::fromUtf8(STOP_TEXT), window);
    connect(stopButton, &QPushButton::clicked, this, &CComparisonLayer::Stop);
    pathButton = new QPushButton(QString::fromUtf8(PATH_TEXT), window);
    pathButton->setCheckable(true);
    connect(pathButton, &QPushButton::clicked, this, &CComparisonLayer::SetReferencePathShown);
    auto* save = new QPushButton(QString::fromUtf8(SAVE_TEXT), window);
    connect(save, &QPushButton::clicked, this, &CComparisonLayer::ChoosePictureFile);
    const std::pair<QPushButton*, const char*> buttons[] = {
        {compare, COMPARE_TIP}, {stopButton, STOP_TIP}, {pathButton, PATH_TIP}, {save, SAVE_TIP}};
    for (const auto& [button, tip] : buttons) {
        button->setToolTip(QString::fromUtf8(tip));
        button->setFocusPolicy(Qt::NoFocus);
        button->setMinimumWidth(MIN_BUTTON_WIDTH);
        row.addWidget(button);
    }
    UpdateButtons();
}

void CComparisonLayer::UpdateButtons()
{
    if (stopButton != nullptr)
        stopButton->setEnabled(on || cutting);
    if (pathButton != nullptr) {
        pathButton->setEnabled(on);
        pathButton->setChecked(on && referencePathShown);
    }
}

void CComparisonLayer::OnProgramChanging()
{
    // The search reads the words the load is about to replace; it stops
    // between rows of a move. The reference's cut reads nothing of the
    // learner's and goes on.
    searchRunner.CancelAndWait();
    ++searchSerial;
    searching = false;
    path.reset();
    words = nullptr;
    firstOver = false;
    learnerHeights.clear();
}

void CComparisonLayer::SetPath(std::shared_ptr<const CMoveTable> newPath, const CWordList* newWords)
{
    path = std::move(newPath);
    words = newWords;
    // A new learner's program is compared once its material comes.
    learnerHeights.clear();
    StartFirstOverSearch();
}

void CComparisonLayer::Follow(const CStepState& newStep)
{
    step = newStep;
    if (on && AtEnd() != drawnAtEnd)
        RedrawUnder();
    emit InfoChanged();
}

bool CComparisonLayer::AtEnd() const
{
    return path != nullptr && step.doneCount >= path->GetCount();
}

void CComparisonLayer::ChooseReference()
{
    std::string last;
    store.ReadSettingString(SETTINGS_KEY, REFERENCE_SETTING, last);
    const QString file = QFileDialog::getOpenFileName(window, QString::fromUtf8(CHOOSE_TITLE),
                                                      QString::fromStdString(last), QString::fromUtf8(PROGRAM_FILTER));
    if (file.isEmpty())
        return;
    store.WriteSettingString(SETTINGS_KEY, REFERENCE_SETTING, file.toStdString());
    if (!Start(file))
        QMessageBox::warning(window, QString::fromUtf8(CHOOSE_TITLE), message);
    else
        reportToUser = true;
}

bool CComparisonLayer::Start(const QString& file)
{
    message.clear();
    reportToUser = false;
    const CHeightGrid* learner = workpiece->GetShownGrid();
    if (learner == nullptr || path == nullptr || words == nullptr) {
        message = QString::fromUtf8(NO_PROGRAM_TEXT);
        emit InfoChanged();
        return false;
    }
    CCutRequest request;
    request.file = file.toStdString();
    request.tools = workpiece->MakeToolTable();
    const CWorkpieceSettings& settings = workpiece->GetSettings();
    request.automaticBox = settings.automaticBox;
    request.settingsBox = CStockBox{settings.box[0], settings.box[1], settings.box[2],
                                    settings.box[3], settings.box[4], settings.box[5]};
    request.box = learner->GetBox();
    request.cell = learner->GetCell();
    const std::uint64_t serial = ++cutSerial;
    cutting = true;
    cuttingFile = file;
    // A cut still running is cancelled; the comparison shown stays until
    // the new one is ready.
    referenceRunner.Post([this, request, serial](const std::atomic<bool>& cancel) {
        cutJobSerial = serial;
        QString failure;
        std::shared_ptr<const CReference> made = CutReference(request, cancel, failure);
        if (made == nullptr && failure.isEmpty())
            return;
        QMetaObject::invokeMethod(
            this, [this, serial, made, failure]() { OnReferenceCut(serial, made, failure); }, Qt::QueuedConnection);
    });
    UpdateButtons();
    emit InfoChanged();
    return true;
}

std::shared_ptr<const CComparisonLayer::CReference> CComparisonLayer::CutReference(const CCutRequest& request,
                                                                                   const std::atomic<bool>& cancel,
                                                                                   QString& failure)
{
    const QString name = QFileInfo(QString::fromStdString(request.file)).fileName();
    auto made = std::make_shared<CReference>(request.file);
    const int result = made->loader.Load(std::string());
    if (cancel.load())
        return nullptr;
    if (result != CCncProgram::RESULT_OK) {
        failure = QString::fromUtf8(NOT_LOADED_TEXT).arg(name, QString::fromLatin1(made->loader.GetErrorText().c_str()));
        return nullptr;
    }
    const CWordList& referenceWords = made->loader.GetWordList();
    const std::int64_t headerLines = CPathBuilder::CountHeaderLines(made->loader.GetHeader());
    // The box and tools the reference states in its comments count for it as
    // the learner's own count for the learner.
    const CProgramStock stated = ReadProgramStock(referenceWords, made->loader.GetHeader());
    const CToolTable tools = ToolsOfProgram(request.tools, stated);
    // The reference is cut as the machine would cut it, up to a cut error if it has one.
    if (CCutPathBuilder(referenceWords, headerLines, tools).BuildTable(made->table, &cancel).path.cancelled)
        return nullptr;
    CStockChoice choice;
    choice.hasBox = !request.automaticBox && !stated.hasBox;
    choice.box = request.settingsBox;
    const CStockBox own = ChooseStockBox(choice, stated, made->table, referenceWords, tools, nullptr, &cancel);
    if (cancel.load())
        return nullptr;
    const CStockBox& box = request.box;
    if (!SameEdge(own.x0, box.x0) || !SameEdge(own.x1, box.x1) || !SameEdge(own.y0, box.y0) ||
        !SameEdge(own.y1, box.y1) || !SameEdge(own.z1, box.z1)) {
        const auto length = &WorkpiecePicture::FormatLength;
        failure = QString::fromUtf8(OTHER_BOX_TEXT)
                      .arg(name, length(own.x0), length(own.x1), length(own.y0), length(own.y1), length(own.z1),
                           length(box.x0), length(box.x1), length(box.y0))
                      .arg(length(box.y1), length(box.z1));
        return nullptr;
    }
    // Cut in the learner's box and cells, so that cell meets cell.
    CWorkpiece::CSettings cut;
    cut.box = box;
    cut.cell = request.cell;
    CWorkpiece part(made->table, referenceWords, headerLines, tools, cut);
    if (!part.BringTo(made->table.GetCount(), &cancel))
        return nullptr;
    made->grid = part.GetGrid();
    return made;
}

void CComparisonLayer::OnReferenceCut(std::uint64_t serial, std::shared_ptr<const CReference> made,
                                      const QString& failure)
{
    if (serial != cutSerial || !cutting)
        return;
    cutting = false;
    const QString file = cuttingFile;
    const CHeightGrid* learner = workpiece->GetShownGrid();
    if (made != nullptr && (learner == nullptr || !CStockComparison::CanCompare(made->grid, *learner))) {
        // The learner chose another box, tools or program meanwhile.
        made.reset();
        message = QString::fromUtf8(CHANGED_BOX_TEXT);
    } else if (made == nullptr) {
        message = failure;
    }
    if (made == nullptr) {
        // The comparison as it was, if there was one.
        UpdateButtons();
        emit InfoChanged();
        if (reportToUser)
            QMessageBox::warning(window, QString::fromUtf8(CHOOSE_TITLE), message);
        return;
    }
    message.clear();
    // The old comparison reads the old reference: it goes first.
    comparison.reset();
    reference = std::move(made);
    referenceFile = file;
    comparison = std::make_unique<CStockComparison>(reference->grid, CStockComparison::DEFAULT_TOLERANCE);
    on = true;
    learnerHeights.clear();
    searching = true;
    const std::uint64_t pending = ++searchSerial;
    CompareAll(*learner);
    UpdateButtons();
    canvas->update();
    emit InfoChanged();
    // The search starts after the paint just asked for, which is posted
    // first: on two cores it would take one from the window while it paints.
    QTimer::singleShot(0, this, [this, pending]() {
        if (pending == searchSerial)
            StartFirstOverSearch();
    });
}

void CComparisonLayer::Stop()
{
    // Whatever runs is cancelled and not waited for; its answer is stale.
    ++cutSerial;
    ++searchSerial;
    referenceRunner.Post([](const std::atomic<bool>&) {});
    searchRunner.Post([](const std::atomic<bool>&) {});
    cutting = false;
    searching = false;
    on = false;
    message.clear();
    comparison.reset();
    reference.reset();
    difference = QImage();
    learnerHeights.clear();
    bandsMeasured = false;
    UpdateButtons();
    canvas->update();
    emit InfoChanged();
}

void CComparisonLayer::StartFirstOverSearch()
{
    firstOver = false;
    firstOverMove = 0;
    const std::uint64_t serial = ++searchSerial;
    searching = on && path != nullptr && words != nullptr;
    if (!searching) {
        searchRunner.Post([](const std::atomic<bool>&) {});
        return;
    }
    // The words stay until OnProgramChanging, which waits for this job; the
    // reference, the path and the header are held by the job itself. The
    // learner's own tools are read there: a long program's words take a
    // while to scan.
    searchRunner.Post([this, serial, held = reference, table = path, list = words,
                       settingsTools = workpiece->MakeToolTable(), header = workpiece->GetProgramHeader(),
                       tolerance = comparison->GetTolerance()](const std::atomic<bool>& cancel) {
        searchJobSerial = serial;
        const CToolTable tools =
            ToolsOfProgram(settingsTools, ReadProgramStock(*list, header != nullptr ? *header : std::string()));
        if (cancel.load())
            return;
        CHeightGrid swept(held->grid.GetBox(), held->grid.GetCell());
        bool found = false;
        std::size_t move = 0;
        if (!CStockComparison::SweepFindingFirstOver(*table, *list, tools, held->grid, tolerance, swept, found, move,
                                                     &cancel))
            return;
        QMetaObject::invokeMethod(
            this, [this, serial, found, move]() { OnFirstOverFound(serial, found, move); }, Qt::QueuedConnection);
    });
}

void CComparisonLayer::OnFirstOverFound(std::uint64_t serial, bool found, std::size_t move)
{
    if (serial != searchSerial)
        return;
    searching = false;
    firstOver = found;
    firstOverMove = move;
    emit InfoChanged();
}

void CComparisonLayer::CompareAll(const CHeightGrid& learner)
{
    learnerHeights = learner.GetHeights();
    comparison->Compare(learner);
    const std::size_t columns = learner.GetColumns();
    const std::size_t rows = learner.GetRows();
    // Premultiplied: the format a paint blends without converting the
    // whole picture first, at every step.
    difference = QImage(static_cast<int>(columns), static_cast<int>(rows), QImage::Format_ARGB32_Premultiplied);
    drawnAtEnd = AtEnd();
    for (std::size_t row = 0; row < rows; ++row)
        DrawRow(row);
}

void CComparisonLayer::DrawRow(std::size_t row)
{
    const CHeightGrid& wanted = reference->grid;
    const std::size_t columns = wanted.GetColumns();
    auto* pixels = reinterpret_cast<QRgb*>(difference.scanLine(static_cast<int>(wanted.GetRows() - 1 - row)));
    const double* learned = learnerHeights.data() + row * columns;
    const double* heights = wanted.GetRow(row);
    bandsMeasured = false;
    const QRgb under = qPremultiply(drawnAtEnd ? UNDER_COLOUR : UNDER_COMING_COLOUR);
    for (std::size_t column = 0; column < columns; ++column) {
        switch (comparison->Judge(learned[column], heights[column])) {
        case CELL_OVER: pixels[column] = OVER_COLOUR; break;
        case CELL_UNDER: pixels[column] = under; break;
        case CELL_WITHIN: pixels[column] = 0; break;
        }
    }
}

void CComparisonLayer::RedrawUnder()
{
    drawnAtEnd = AtEnd();
    if (difference.isNull())
        return;
    for (std::size_t row = 0; row < reference->grid.GetRows(); ++row)
        DrawRow(row);
    canvas->update();
}

void CComparisonLayer::OnMaterial()
{
    if (!on)
        return;
    const CHeightGrid* learner = workpiece->GetShownGrid();
    if (learner == nullptr)
        return;
    if (!CStockComparison::CanCompare(reference->grid, *learner)) {
        // The learner chose another box or tools meanwhile: the reference
        // would have to be cut again.
        Stop();
        message = QString::fromUtf8(CHANGED_BOX_TEXT);
        emit InfoChanged();
        return;
    }
    if (learnerHeights.size() != learner->GetCellCount()) {
        CompareAll(*learner);
        emit InfoChanged();
        return;
    }
    // Only the rows the step changed are compared and drawn again.
    const std::size_t columns = learner->GetColumns();
    std::size_t first = learner->GetRows();
    std::size_t last = 0;
    for (std::size_t row = 0; row < learner->GetRows(); ++row) {
        double* kept = learnerHeights.data() + row * columns;
        if (std::memcmp(kept, learner->GetRow(row), columns * sizeof(double)) == 0)
            continue;
        std::memcpy(kept, learner->GetRow(row), columns * sizeof(double));
        first = std::min(first, row);
        last = row;
        DrawRow(row);
    }
    if (first <= last) {
        comparison->UpdateRows(*learner, first, last + 1);
        canvas->update();
    }
    emit InfoChanged();
}

QString CComparisonLayer::GetSummary() const
{
    if (!on)
        return QString();
    const CComparisonTotals& totals = comparison->GetTotals();
    const double share =
        totals.cells == 0 ? 0.0 : 100.0 * static_cast<double>(totals.within) / static_cast<double>(totals.cells);
    const auto length = &WorkpiecePicture::FormatLength;
    return QString::fromUtf8(SUMMARY_TEXT)
        .arg(QFileInfo(referenceFile).fileName(), QString::number(share, 'f', 1),
             QString::number(comparison->GetTolerance()), QString::number(totals.over), length(totals.maxOver),
             QString::number(totals.under), length(totals.maxUnder));
}

QString CComparisonLayer::GetInfoText() const
{
    if (cutting) {
        const QString note = QString::fromUtf8(CUTTING_TEXT).arg(QFileInfo(cuttingFile).fileName());
        const QString shown = on ? GetComparisonText() : QString();
        return shown.isEmpty() ? note : shown + QStringLiteral("   ") + note;
    }
    if (!on)
        return message;
    return GetComparisonText();
}

QString CComparisonLayer::GetComparisonText() const
{
    if (AtEnd())
        return GetSummary();
    const CComparisonTotals& totals = comparison->GetTotals();
    if (totals.over == 0)
        return QString();
    const CHeightGrid& grid = reference->grid;
    const std::size_t column = totals.maxOverCell % grid.GetColumns();
    const std::size_t row = totals.maxOverCell / grid.GetColumns();
    const auto length = &WorkpiecePicture::FormatLength;
    QString text = QString::fromUtf8(TOO_DEEP_TEXT)
                       .arg(length(totals.maxOver), length(grid.GetCenterX(column)), length(grid.GetCenterY(row)));
    if (firstOver && firstOverMove < step.doneCount && lineOfMove)
        text += QString::fromUtf8(CUT_BY_TEXT).arg(lineOfMove(firstOverMove));
    return text;
}

void CComparisonLayer::SetReferencePathShown(bool shown)
{
    referencePathShown = shown;
    UpdateButtons();
    canvas->update();
}

void CComparisonLayer::PaintUnder(QPainter& painter, const CPathView& view, const QSize& size)
{
    workpiece->PaintUnder(painter, view, size);
    if (!on || difference.isNull() || !workpiece->IsShown())
        return;
    switch (view.GetProjection()) {
    case PROJECTION_TOP:
        painter.drawImage(WorkpiecePicture::ReliefPlacement(reference->grid, view), difference);
        break;
    case PROJECTION_FRONT:
    case PROJECTION_SIDE:
        DrawBands(painter, view);
        break;
    case PROJECTION_ISOMETRIC:
        // The block at an angle hides what lies behind its walls: a colour
        // on it could not say which cell it belongs to. The legend says so.
        break;
    }
}

void CComparisonLayer::MeasureBands()
{
    const CHeightGrid& wanted = reference->grid;
    const std::size_t columns = wanted.GetColumns();
    const std::size_t rows = wanted.GetRows();
    constexpr double NONE_LOW = std::numeric_limits<double>::infinity();
    constexpr double NONE_HIGH = -std::numeric_limits<double>::infinity();
    for (auto [bands, count] : {std::pair{&frontBands, columns}, std::pair{&sideBands, rows}}) {
        bands->overLow.assign(count, NONE_LOW);
        bands->overHigh.assign(count, NONE_HIGH);
        bands->underLow.assign(count, NONE_LOW);
        bands->underHigh.assign(count, NONE_HIGH);
    }
    const auto widen = [](std::vector<double>& lows, std::vector<double>& highs, std::size_t index, double low,
                          double high) {
        lows[index] = std::min(lows[index], low);
        highs[index] = std::max(highs[index], high);
    };
    for (std::size_t row = 0; row < rows && learnerHeights.size() == wanted.GetCellCount(); ++row) {
        const double* learned = learnerHeights.data() + row * columns;
        const double* heights = wanted.GetRow(row);
        for (std::size_t column = 0; column < columns; ++column) {
            const double h = learned[column];
            const double g = heights[column];
            switch (comparison->Judge(h, g)) {
            case CELL_OVER:
                widen(frontBands.overLow, frontBands.overHigh, column, h, g);
                widen(sideBands.overLow, sideBands.overHigh, row, h, g);
                break;
            case CELL_UNDER:
                widen(frontBands.underLow, frontBands.underHigh, column, g, h);
                widen(sideBands.underLow, sideBands.underHigh, row, g, h);
                break;
            case CELL_WITHIN: break;
            }
        }
    }
    bandsMeasured = true;
}

void CComparisonLayer::DrawBands(QPainter& painter, const CPathView& view)
{
    if (!bandsMeasured)
        MeasureBands();
    const bool fromFront = view.GetProjection() == PROJECTION_FRONT;
    const CSightBands& bands = fromFront ? frontBands : sideBands;
    const CStockBox& box = reference->grid.GetBox();
    const double cell = reference->grid.GetCell();
    const double start = fromFront ? box.x0 : box.y0;
    const auto place = [&](double along, double z) {
        const CViewPoint projected = fromFront ? view.Project(along, box.y0, z) : view.Project(box.x0, along, z);
        return QPointF(projected.x, projected.y);
    };
    const auto fill = [&](const std::vector<double>& lows, const std::vector<double>& highs, QRgb colour) {
        const QColor brush = QColor::fromRgba(colour);
        for (std::size_t index = 0; index < lows.size(); ++index) {
            if (!(lows[index] <= highs[index]))
                continue;
            const double from = start + static_cast<double>(index) * cell;
            painter.fillRect(QRectF(place(from, highs[index]), place(from + cell, lows[index])).normalized(), brush);
        }
    };
    // Too deep over material left, where one line of sight holds both.
    fill(bands.underLow, bands.underHigh, drawnAtEnd ? UNDER_COLOUR : UNDER_COMING_COLOUR);
    fill(bands.overLow, bands.overHigh, OVER_COLOUR);
}

void CComparisonLayer::PaintOver(QPainter& painter, const CPathView& view, const QSize& size)
{
    workpiece->PaintOver(painter, view, size);
    if (!on)
        return;
    painter.save();
    if (referencePathShown) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor::fromRgba(REFERENCE_PATH_COLOUR), 1.0));
        std::vector<SweepPoint> points;
        QPolygonF line;
        const double tolerance = MoveChords::ToleranceForCell(reference->grid.GetCell());
        for (std::size_t move = 0; move < reference->table.GetCount(); ++move) {
            MoveChords::Build(reference->table, move, tolerance, points);
            line.clear();
            for (const SweepPoint& point : points)
                line << ToQt(view.Project(point[0], point[1], point[2]));
            painter.drawPolyline(line);
        }
    }
    // The legend of the difference, at the bottom left, clear of the axes.
    const QFontMetrics metrics = painter.fontMetrics();
    const bool noColours = view.GetProjection() == PROJECTION_ISOMETRIC;
    std::vector<std::pair<QRgb, const char*>> entries = {
        {OVER_COLOUR, LEGEND_OVER}, {UNDER_COLOUR, LEGEND_UNDER}, {WorkpiecePicture::TOP_COLOUR, LEGEND_WITHIN}};
    if (noColours)
        entries.push_back({0, LEGEND_NO_COLOURS});
    int width = 0;
    for (const auto& entry : entries)
        width = std::max(width, metrics.horizontalAdvance(QString::fromUtf8(entry.second)));
    const int lineHeight = metrics.height();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const int panelHeight = lineHeight * static_cast<int>(entries.size()) + 8;
    const int top = size.height() - LEGEND_MARGIN - panelHeight;
    painter.fillRect(QRect(LEGEND_MARGIN - 4, top, width + LEGEND_SWATCH + 14, panelHeight),
                     QColor::fromRgba(LEGEND_PANEL));
    int y = top + 4;
    for (const auto& [colour, text] : entries) {
        if (colour != 0)
            painter.fillRect(QRect(LEGEND_MARGIN, y + (lineHeight - LEGEND_SWATCH) / 2, LEGEND_SWATCH, LEGEND_SWATCH),
                             QColor::fromRgba(colour));
        painter.setPen(QColor(0xE0, 0xE0, 0xE0));
        painter.drawText(QPoint(LEGEND_MARGIN + LEGEND_SWATCH + 6, y + metrics.ascent()), QString::fromUtf8(text));
        y += lineHeight;
    }
    painter.restore();
}

void CComparisonLayer::ExtendBounds(CMovePoint& min, CMovePoint& max) const
{
    workpiece->ExtendBounds(min, max);
}

QImage CComparisonLayer::MakePicture(const QString& name) const
{
    const QImage shot = canvas->grab().toImage();
    QStringList lines;
    lines << name + QStringLiteral("   ") + QDateTime::currentDateTime().toString(QString::fromLatin1(PICTURE_DATE_FORMAT));
    if (on)
        lines << GetSummary();
    const QFontMetrics metrics(canvas->font());
    const int strip = PICTURE_TEXT_MARGIN * 2 + metrics.height() * static_cast<int>(lines.size());
    QImage picture(shot.width(), shot.height() + strip, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.drawImage(0, 0, shot);
    painter.setFont(canvas->font());
    painter.setPen(Qt::black);
    int y = shot.height() + PICTURE_TEXT_MARGIN + metrics.ascent();
    for (const QString& line : lines) {
        painter.drawText(PICTURE_TEXT_MARGIN, y, line);
        y += metrics.height();
    }
    return picture;
}

bool CComparisonLayer::SavePicture(const QString& file, const QString& name) const
{
    return MakePicture(name).save(file, "PNG");
}

void CComparisonLayer::ChoosePictureFile()
{
    const QString file = QFileDialog::getSaveFileName(window, QString::fromUtf8(SAVE_TITLE), QString(),
                                                      QString::fromUtf8(PICTURE_FILTER));
    if (file.isEmpty())
        return;
    if (!SavePicture(file, learnerName))
        QMessageBox::warning(window, QString::fromUtf8(SAVE_TITLE), QString::fromUtf8(NOT_SAVED_TEXT).arg(file));
}
