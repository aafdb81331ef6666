#include "toolpath_window.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <functional>
#include <iterator>
#include <string>
#include <thread>

#include <QButtonGroup>
#include <QColor>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "classic_number.h"
#include "code_page_1252.h"
#include "comparison_layer.h"
#include "cut_path_layer.h"
#include "flow_layout.h"
#include "job_failure_text.h"
#include "machine_state.h"
#include "panel_interfaces.h"
#include "path_builder.h"
#include "path_raster.h"
#include "path_recolour.h"
#include "platform.h"
#include "program_hints.h"
#include "program_cursor.h"
#include "step_state.h"
#include "stock_comparison.h"
#include "toolpath_canvas.h"
#include "window_placement.h"
#include "word_explanation.h"
#include "workpiece_layer.h"

// The path of one load: the table and the raster's chunk boxes over it.
// The table is the cut path; cut holds the programmed path beside it, or is
// null when the program has nothing to cut otherwise than programmed (the
// table is then the path as programmed, built once). Jobs share it
// read-only; it goes when the last of them lets go.
struct CToolpathWindow::CPathModel {
    CMoveTable table;
    std::unique_ptr<CPathRaster> raster;
    std::unique_ptr<CCutPathModel> cut;
    // What the cut path was cut with.
    CToolTable tools;
};

// What the hints of one load read besides the word list.
struct CToolpathWindow::CHintRequest {
    std::uint64_t generation = 0;
    int loadResult = 0;
    std::string errorText;
    std::string header;
    std::string path;
    CStockChoice choice;
};

namespace {

const char* const WINDOW_TITLE = "Bahn";
const char* const FIT_TEXT = "Einpassen";
const char* const FIT_TIP = "Die ganze Bahn einpassen [0, Doppelklick]";

// Settings value names, beside the panel's "start_x" and "start_y".
const char* const PATH_OPEN = "path_open";
const char* const PATH_X = "path_x";
const char* const PATH_Y = "path_y";
const char* const PATH_WIDTH = "path_w";
const char* const PATH_HEIGHT = "path_h";
// A stored geometry outside these limits is taken as broken.
constexpr int POSITION_LIMIT = 100000;
constexpr int MIN_WIDTH = 200;
constexpr int MIN_HEIGHT = 150;
constexpr int MAX_SIDE = 16000;
// The picture of a big program is drawn by two threads where the machine
// has the processors: the first picture after a load waits for it.
constexpr unsigned MAX_RASTER_THREADS = 2;
// Narrower than this beside the panel, the window opens over it instead.
constexpr int BESIDE_MIN_WIDTH = 360;

constexpr int BUTTON_SPACING = 4;
// Between groups of buttons on a row.
constexpr int GROUP_GAP = 12;

struct ProjectionRow {
    PathProjection projection;
    const char* text;
    const char* tip;
    Qt::Key key;
};
constexpr ProjectionRow PROJECTIONS[] = {
    {PROJECTION_TOP, "Oben", "Von oben: X nach rechts, Y nach oben [1]", Qt::Key_1},
    {PROJECTION_FRONT, "Vorne", "Von vorne: X nach rechts, Z nach oben [2]", Qt::Key_2},
    {PROJECTION_SIDE, "Seite", "Von der Seite: Y nach rechts, Z nach oben [3]", Qt::Key_3},
    {PROJECTION_ISOMETRIC, "Iso", "Schr\xC3\xA4g von vorne rechts oben [4]", Qt::Key_4},
};

struct PathShowingRow {
    PathShowing showing;
    const char* text;
};
// In the order the button and key P go through them.
constexpr PathShowingRow PATH_SHOWINGS[] = {
    {SHOW_PATH_ALL, "Bahn"},
    {SHOW_PATH_AHEAD, "Bahn ab hier"},
    {SHOW_PATH_NONE, "Bahn aus"},
};
const char* const PATH_SHOWING_TIP =
    "Die ganze Bahn zeigen, nur den aktuellen Satz und was folgt, oder keine Bahn [P]";

struct KindRow {
    MoveKind kind;
    const char* text;
};
// The motion keywords the panel shows for the same motions.
constexpr KindRow KIND_TEXTS[] = {
    {MOVE_RAPID, "RAPIDE"},   {MOVE_LINEAR, "LINEAR"},   {MOVE_CW, "CLOCKWISE"},
    {MOVE_CCW, "COUNTER CLCKW"}, {MOVE_PARABLE, "PARABLE"}, {MOVE_THREAD, "THREAD"},
};

struct FlagRow {
    MoveFlags flag;
    const char* text;
};
constexpr FlagRow FLAG_TEXTS[] = {
    {MOVE_ASSUMED, "Startpunkt angenommen"},
    {MOVE_APPROXIMATED, "gerade gen\xC3\xA4hert"},
    {MOVE_MISMATCH, "Radien ungleich"},
    {MOVE_ERROR, "Fehler: als Sehne"},
};

enum LegendSource { LEGEND_COMING, LEGEND_DONE, LEGEND_CURRENT, LEGEND_CONTOUR };
struct LegendRow {
    const char* text;
    LegendSource source;
    PathStyle style;
    bool dashed;
};
constexpr LegendRow LEGEND[] = {
    {"Vorschub", LEGEND_COMING, STYLE_FEED, false},
    {"Kreisbogen", LEGEND_COMING, STYLE_ARC, false},
    {"Eilgang", LEGEND_COMING, STYLE_RAPID, true},
    {"Start angenommen", LEGEND_COMING, STYLE_FEED, true},
    {"Fehler", LEGEND_COMING, STYLE_ERROR, false},
    {"erledigt", LEGEND_DONE, STYLE_FEED, false},
    {"aktueller Satz", LEGEND_CURRENT, STYLE_FEED, false},
    {"programmierte Kontur", LEGEND_CONTOUR, STYLE_FEED, true},
};
constexpr double LEGEND_POINT_SIZE = 8.0;
// Box-drawing strokes as swatches: solid, and dashed for the dashed styles.
const char* const SOLID_SWATCH = "\xE2\x94\x81\xE2\x94\x81";
const char* const DASHED_SWATCH = "\xE2\x95\x8D\xE2\x95\x8D";

QRgb LegendColour(const LegendRow& row)
{
    const CPathPalette& palette = DefaultPathPalette();
    switch (row.source) {
    case LEGEND_COMING:
        return palette.coming[row.style];
    case LEGEND_DONE:
        return palette.done[row.style];
    case LEGEND_CONTOUR:
        return CCutPathLayer::CONTOUR_COLOUR;
    case LEGEND_CURRENT:
        break;
    }
    return CToolpathCanvas::CURRENT_BLOCK_COLOUR;
}

QString LegendHtml()
{
    QString html;
    for (const LegendRow& row : LEGEND) {
        const bool dashed = row.dashed;
        html += QStringLiteral("<span style=\"color:%1\">%2</span>&nbsp;%3&nbsp;&nbsp; ")
                    .arg(QColor::fromRgb(LegendColour(row)).name(),
                         QString::fromUtf8(dashed ? DASHED_SWATCH : SOLID_SWATCH), QString::fromUtf8(row.text));
    }
    return html;
}

const char* const LINE_TEXT = "Zeile ";
const char* const END_TEXT = "Programmende";
const char* const NO_PROGRAM_TEXT = "Kein Programm geladen";
const char* const NO_MOVE_TEXT = "keine Bewegung";
const char* const TOOL_TEXT = "Werkzeug bei ";
// The panel's read-outs show a relative block's numbers as written, the
// picture the position they lead to.
const char* const AS_PROGRAMMED_TEXT = "Anzeige: Werte wie programmiert (G91)";
const char* const UNIT_MM = "MM";
const char* const UNIT_INCH = "INCH";
const char* const UNIT_LABEL = "Einheit: ";
const char* const HINTS_TITLE = "Hinweise";
const char* const HINTS_TIP = "H\xC3\xA4ufige Fehler im Programm, mit ihrer Zeile";
// The hint list's height in lines of text, and what its items add.
constexpr int HINT_LIST_MIN_LINES = 3;
constexpr int HINT_LIST_MAX_LINES = 4;
constexpr int HINT_LIST_PADDING = 6;
// A syntax error's line is looked for within this much of the file.
constexpr std::size_t MAX_HINT_FILE_BYTES = 16u << 20;
const char* const ELLIPSIS = "...";
// Between the parts of an info line.
constexpr char PART_SEPARATOR[] = "   ";
// Where an info line may break, from the strongest: what splits it there,
// what stays at the end of a line broken there, and what joins it again.
struct InfoBreakRow {
    const char* split;
    const char* keep;
    const char* join;
};
constexpr InfoBreakRow INFO_BREAKS[] = {
    {PART_SEPARATOR, "", PART_SEPARATOR},
    {"; ", ";", " "},
};
const char* const PATH_TO_ERROR_TEXT = "Bahn bis zur Fehlerstelle";
const char* const NO_MOVES_TEXT = "Programm ohne Bewegungen";
const char* const UNAVAILABLE_TEXT = "Bahn nicht verf\xC3\xBCgbar: ";
const char* const TOO_MANY_BLOCKS_TEXT = "mehr S\xC3\xA4tze, als das Bild zeigen kann";
// A block longer than this is cut short even in the info line's tooltip.
constexpr std::size_t MAX_BLOCK_WORDS = 500;
// How far the info line looks for the ends of the cursor's block.
constexpr std::size_t MAX_BLOCK_SCAN = 10000;

// The file's first bytes, as far as a hint may show a faulty line from.
std::string ReadFileStart(const std::string& path)
{
    std::string bytes;
    std::FILE* file = OpenFileForReading(path);
    if (file == nullptr)
        return bytes;
    char chunk[65536];
    std::size_t read = 0;
    while (bytes.size() < MAX_HINT_FILE_BYTES && (read = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.append(chunk, read);
    std::fclose(file);
    return bytes;
}

const char* KindText(MoveKind kind)
{
    for (const KindRow& row : KIND_TEXTS) {
        if (row.kind == kind)
            return row.text;
    }
    return "";
}

// The whole text must be a decimal number within [low, high].
bool ReadStoredInt(ISettingsStore& settings, const char* name, int low, int high, int& value)
{
    std::string text;
    if (!settings.ReadSettingString(SETTINGS_KEY, name, text))
        return false;
    int parsed = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, parsed);
    if (error != std::errc() || stop != end || text.empty() || parsed < low || parsed > high)
        return false;
    value = parsed;
    return true;
}

// Cuts text to width with "..." at the end.
QString Elide(const QString& text, const QFontMetrics& metrics, int width)
{
    if (metrics.horizontalAdvance(text) <= width)
        return text;
    const QString ellipsis = QString::fromLatin1(ELLIPSIS);
    qsizetype low = 0;
    qsizetype high = text.size();
    while (low < high) {
        const qsizetype middle = (low + high + 1) / 2;
        if (metrics.horizontalAdvance(text.left(middle) + ellipsis) <= width)
            low = middle;
        else
            high = middle - 1;
    }
    return text.left(low) + ellipsis;
}

// The words of a part of the info line grouped into pieces that may each
// begin a line: neither a lone axis name nor a lone unit is left ("X" apart
// from its number, "MM" on its own).
QStringList InfoPieces(const QString& part)
{
    QStringList pieces;
    const QStringList words = part.split(QLatin1Char(' '));
    for (qsizetype index = 0; index < words.size(); ++index) {
        const QString& word = words[index];
        const bool afterAxis = index > 0 && words[index - 1].size() == 1 && words[index - 1][0].isLetter();
        const bool sign = word.size() == 1 && !word[0].isLetterOrNumber();
        if (index > 0 && (afterAxis || sign || index == words.size() - 1))
            pieces.last() += QLatin1Char(' ') + word;
        else
            pieces << word;
    }
    return pieces;
}

// Breaks a line of the info line into lines of at most width: between its
// parts, else between the clauses of a part ("; "), and only where one is
// wider than a line between its words.
QStringList WrapInfoLine(const QString& line, const QFontMetrics& metrics, int width)
{
    QStringList lines;
    QString current;
    const auto add = [&](const QString& text, const QString& join) {
        const QString joined = current.isEmpty() ? text : current + join + text;
        if (current.isEmpty() || metrics.horizontalAdvance(joined) <= width) {
            current = joined;
            return;
        }
        lines << current;
        current = text;
    };
    const std::function<void(const QString&, const QString&, std::size_t)> place =
        [&](const QString& text, const QString& join, std::size_t level) {
            if (metrics.horizontalAdvance(text) <= width) {
                add(text, join);
                return;
            }
            if (level < std::size(INFO_BREAKS)) {
                const InfoBreakRow& row = INFO_BREAKS[level];
                const QStringList pieces = text.split(QString::fromLatin1(row.split));
                for (qsizetype index = 0; index < pieces.size(); ++index) {
                    const bool last = index + 1 == pieces.size();
                    place(pieces[index] + (last ? QString() : QString::fromLatin1(row.keep)),
                          index == 0 ? join : QString::fromLatin1(row.join), level + 1);
                }
                return;
            }
            const QStringList pieces = InfoPieces(text);
            for (qsizetype index = 0; index < pieces.size(); ++index)
                add(pieces[index], index == 0 ? join : QStringLiteral(" "));
        };
    place(line, QString(), 0);
    lines << current;
    for (QString& shown : lines)
        shown = Elide(shown, metrics, width);
    return lines;
}

QString Coordinate(const char* axis, double value)
{
    return QString::fromLatin1(axis) + QLatin1Char(' ') + QString::fromStdString(FormatClassicFixed4(value));
}

// The panel's stepping commands, also at hand beside the picture.
struct StepButtonRow {
    const char* text;
    const char* tip;
    void (CToolpathWindow::*request)();
};

const StepButtonRow STEP_BUTTONS[] = {
    {"Zur\xC3\xBC" "ck", "Den letzten Befehl zur\xC3\xBC" "cknehmen [Umschalt+F10]",
     &CToolpathWindow::StepBackRequested},
    {"Schritt", "N\xC3\xA4" "chstes CNC Wort ausf\xC3\xBC" "hren [F10]", &CToolpathWindow::NextWordRequested},
    {"N\xC3\xA4" "chster", "Bis zum gew\xC3\xA4" "hlten Halt ausf\xC3\xBC" "hren [F9]",
     &CToolpathWindow::RunToRequested},
};

} // namespace

CToolpathWindow::CToolpathWindow(ISettingsStore& settings, QWidget* panel, IProgramView* programView)
    : QWidget(panel, Qt::Window), settings(settings), panel(panel), programView(programView),
      buildRunner([this](std::exception_ptr error) { ReportFailure(JOB_BUILD, error); }),
      rasterRunner([this](std::exception_ptr error) { ReportFailure(JOB_PICTURE, error); })
{
    setWindowTitle(QString::fromLatin1(WINDOW_TITLE));
    // Opening the window leaves the keys with the program view.
    setAttribute(Qt::WA_ShowWithoutActivating);

    canvas = new CToolpathCanvas(this);
    workpiece = new CWorkpieceLayer(settings, canvas, this);
    comparison = new CComparisonLayer(settings, canvas, workpiece, this);
    comparison->SetLineFinder([this](std::size_t move) { return LineOfMove(move); });
    cutLayer = std::make_unique<CCutPathLayer>();
    // The comparison draws the workpiece beneath its colours.
    canvas->AddLayer(comparison);
    canvas->AddLayer(cutLayer.get());
    connect(workpiece, &CWorkpieceLayer::InfoChanged, this, &CToolpathWindow::UpdateInfo);
    connect(workpiece, &CWorkpieceLayer::ToolsChanged, this, &CToolpathWindow::OnToolsChanged);
    connect(comparison, &CComparisonLayer::InfoChanged, this, &CToolpathWindow::UpdateInfo);
    canvas->SetLegendSize([this](PathProjection projection) { return workpiece->GetLegendSize(projection); });
    connect(canvas, &CToolpathCanvas::ViewChanged, this, &CToolpathWindow::RequestPicture);
    connect(canvas, &CToolpathCanvas::MoveClicked, this, &CToolpathWindow::OnMoveClicked);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    layout->addLayout(CreateViewButtons());
    layout->addWidget(canvas, 1);
    layout->addWidget(CreateLegend());
    layout->addLayout(CreateStepButtons());
    layout->addWidget(CreateInfoLine());
    layout->addWidget(CreateHintList());
    CreateKeys();

    resize(DEFAULT_WIDTH, DEFAULT_HEIGHT);
    UpdateInfo();
}

QPushButton* CToolpathWindow::CreateButton(const char* text, const char* tip)
{
    auto* button = new QPushButton(QString::fromUtf8(text), this);
    button->setToolTip(QString::fromUtf8(tip));
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

CFlowLayout* CToolpathWindow::CreateViewButtons()
{
    // The rows wrap rather than squeeze a label, at any width and scale.
    auto* buttons = new CFlowLayout(BUTTON_SPACING);
    projectionButtons = new QButtonGroup(this);
    for (const ProjectionRow& row : PROJECTIONS) {
        QPushButton* button = CreateButton(row.text, row.tip);
        button->setCheckable(true);
        button->setChecked(row.projection == canvas->GetView().GetProjection());
        projectionButtons->addButton(button, row.projection);
        buttons->addWidget(button);
    }
    connect(projectionButtons, &QButtonGroup::idClicked, this,
            [this](int id) { ChooseProjection(static_cast<PathProjection>(id)); });
    QPushButton* fit = CreateButton(FIT_TEXT, FIT_TIP);
    buttons->AddGroupGap(GROUP_GAP);
    buttons->addWidget(fit);
    connect(fit, &QPushButton::clicked, canvas, &CToolpathCanvas::Fit);
    pathButton = CreateButton(PATH_SHOWINGS[0].text, PATH_SHOWING_TIP);
    pathButton->setObjectName(QStringLiteral("pathShowing"));
    buttons->AddGroupGap(GROUP_GAP);
    buttons->addWidget(pathButton);
    connect(pathButton, &QPushButton::clicked, this, &CToolpathWindow::ShowNextPathShowing);
    return buttons;
}

CFlowLayout* CToolpathWindow::CreateStepButtons()
{
    // A row of its own, so that the window stays as narrow as the views' row.
    auto* buttons = new CFlowLayout(BUTTON_SPACING);
    for (const StepButtonRow& row : STEP_BUTTONS) {
        QPushButton* button = CreateButton(row.text, row.tip);
        buttons->addWidget(button);
        connect(button, &QPushButton::clicked, this, row.request);
    }
    buttons->AddGroupGap(GROUP_GAP);
    workpiece->AddButtons(*buttons);
    buttons->AddGroupGap(GROUP_GAP);
    comparison->AddButtons(*buttons);
    return buttons;
}

QListWidget* CToolpathWindow::CreateHintList()
{
    hintList = new QListWidget(this);
    hintList->setObjectName(QStringLiteral("hints"));
    hintList->setToolTip(QString::fromUtf8(HINTS_TIP));
    hintList->setFocusPolicy(Qt::NoFocus);
    hintList->setWordWrap(true);
    // The title and a finding at least, however long the info line grows;
    // a few more before it scrolls, and the picture keeps the rest.
    const int lineHeight = hintList->fontMetrics().lineSpacing();
    const int frame = 2 * hintList->frameWidth() + HINT_LIST_PADDING;
    hintList->setMinimumHeight(HINT_LIST_MIN_LINES * lineHeight + frame);
    hintList->setMaximumHeight(HINT_LIST_MAX_LINES * lineHeight + frame);
    hintList->hide();
    return hintList;
}

void CToolpathWindow::FindHints(const CProgramCursor& cursor)
{
    const std::uint64_t generation = ++hintGeneration;
    pendingHints.reset();
    if (words == nullptr) {
        ShowHints(generation, QStringList());
        return;
    }
    // The old program's hints go now; the new ones come with the job.
    hintList->clear();
    hintList->hide();
    auto request = std::make_unique<CHintRequest>();
    request->generation = generation;
    request->loadResult = cursor.GetLastLoadResult();
    request->errorText = cursor.GetLoadErrorText();
    request->header = cursor.GetProgramHeader();
    request->path = cursor.GetProgramPath();
    const CWorkpieceSettings& chosen = workpiece->GetSettings();
    request->choice.hasBox = !chosen.automaticBox;
    request->choice.box =
        CStockBox{chosen.box[0], chosen.box[1], chosen.box[2], chosen.box[3], chosen.box[4], chosen.box[5]};
    for (const CWorkpieceToolEntry& entry : chosen.tools)
        request->choice.tools.SetTool(entry.number, entry.GetTool());
    request->choice.tools.SetDefaultTool(chosen.defaultTool.GetTool());
    pendingHints = std::move(request);
    // An open window builds the path now: the hints take it rather than
    // build and hold a second one, and leave the processor to the first
    // picture meanwhile.
    if (!isVisible())
        StartPendingHints();
}

void CToolpathWindow::StartPendingHints()
{
    if (pendingHints == nullptr || words == nullptr)
        return;
    const std::shared_ptr<const CHintRequest> request(std::move(pendingHints));
    const CWordList* source = words;
    const std::shared_ptr<const CPathModel> built = model;
    hintRunner.Post([this, source, request, built](const std::atomic<bool>& cancel) {
        // The line a syntax error stopped at is shown from the file itself.
        std::string bytes;
        if (!request->errorText.empty())
            bytes = ReadFileStart(request->path);
        CBuiltCutPath cutPath;
        if (built != nullptr) {
            cutPath.table = std::shared_ptr<const CMoveTable>(built, &built->table);
            cutPath.needsCut = built->cut != nullptr;
            cutPath.tools = built->tools;
            if (built->cut != nullptr)
                cutPath.summary = built->cut->summary;
        }
        CHintInput input;
        input.loadResult = request->loadResult;
        input.errorText = request->errorText;
        input.fileBytes = bytes;
        input.header = request->header;
        input.words = source;
        input.choice = request->choice;
        input.cutPath = built != nullptr ? &cutPath : nullptr;
        // The workpiece's own sweep follows the learner's steps meanwhile.
        input.sweepThreads = 1;
        QStringList hints;
        for (const CProgramHint& hint : FindProgramHints(input, &cancel))
            hints << QString::fromLatin1(LINE_TEXT) + QString::number(hint.line) + QStringLiteral(": ") +
                         QString::fromStdString(hint.text);
        if (cancel.load())
            return;
        const std::uint64_t generation = request->generation;
        QMetaObject::invokeMethod(
            this, [this, generation, hints]() { ShowHints(generation, hints); }, Qt::QueuedConnection);
    });
}

void CToolpathWindow::ShowHints(std::uint64_t generation, const QStringList& hints)
{
    if (generation != hintGeneration)
        return;
    shownHintGeneration = generation;
    hintList->clear();
    if (!hints.isEmpty()) {
        hintList->addItem(QString::fromUtf8(HINTS_TITLE));
        hintList->addItems(hints);
    }
    hintList->setVisible(!hints.isEmpty());
}

QStringList CToolpathWindow::GetHints() const
{
    QStringList hints;
    for (int row = 1; row < hintList->count(); ++row)
        hints << hintList->item(row)->text();
    return hints;
}

void CToolpathWindow::CreateKeys()
{
    for (const ProjectionRow& row : PROJECTIONS) {
        auto* key = new QShortcut(QKeySequence(row.key), this);
        const PathProjection projection = row.projection;
        connect(key, &QShortcut::activated, this, [this, projection]() { ChooseProjection(projection); });
    }
    auto* pathKey = new QShortcut(QKeySequence(Qt::Key_P), this);
    connect(pathKey, &QShortcut::activated, this, &CToolpathWindow::ShowNextPathShowing);
    auto* fitKey = new QShortcut(QKeySequence(Qt::Key_0), this);
    connect(fitKey, &QShortcut::activated, canvas, &CToolpathCanvas::Fit);
}

QLabel* CToolpathWindow::CreateLegend()
{
    // The legend on the canvas's own ground, where its colours are seen.
    auto* legend = new QLabel(LegendHtml(), this);
    legend->setTextFormat(Qt::RichText);
    legend->setWordWrap(true);
    legend->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    legend->setAutoFillBackground(true);
    QPalette legendPalette = legend->palette();
    legendPalette.setColor(QPalette::Window, QColor::fromRgb(DefaultPathPalette().background));
    legendPalette.setColor(QPalette::WindowText, QColor(0xE0, 0xE0, 0xE0));
    legend->setPalette(legendPalette);
    legend->setContentsMargins(6, 2, 6, 2);
    // A narrow window keeps every entry, on a second line.
    legend->setWordWrap(true);
    QFont legendFont = legend->font();
    legendFont.setPointSizeF(LEGEND_POINT_SIZE);
    legend->setFont(legendFont);
    return legend;
}

QLabel* CToolpathWindow::CreateInfoLine()
{
    infoLine = new QLabel(this);
    infoLine->setObjectName(QStringLiteral("infoLine"));
    infoLine->setTextFormat(Qt::PlainText);
    // A long block must not widen the window.
    infoLine->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    infoLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return infoLine;
}

CToolpathWindow::~CToolpathWindow()
{
    // No job may report to a window that is going.
    hintRunner.CancelAndWait();
    buildRunner.CancelAndWait();
    rasterRunner.CancelAndWait();
}

void CToolpathWindow::OnProgramChanging()
{
    hintRunner.CancelAndWait();
    // Nothing to find until the new program's load asks.
    shownHintGeneration = ++hintGeneration;
    pendingHints.reset();
    // The build reads the word list that the load is about to replace; one
    // that finished just now must not be taken for the new program's.
    buildRunner.CancelAndWait();
    ++buildGeneration;
    workpiece->OnProgramChanging();
    comparison->OnProgramChanging();
    words = nullptr;
}

void CToolpathWindow::OnStepped(StepCommand command, const CProgramCursor& cursor, const CMachineState& state)
{
    words = cursor.GetWordList();
    cursorWord = cursor.GetCursor();
    lengthUnit = state.GetLengthUnit();
    relative = state.GetDimensioning() == WK_RELATIVE;
    lastCommand = command;
    canvas->SetUnitName(QString::fromLatin1(lengthUnit == WK_UNIT_INCH ? UNIT_INCH : UNIT_MM));
    // Until a move of the path is done the tool stands where the panel says:
    // F4 and a load rewind the program, not the machine. Relative read-outs
    // hold no position; the path's start stands for it then.
    const CToolPosition& machine = state.GetPosition();
    canvas->SetStartPoint(relative ? CMovePoint{} : CMovePoint{machine.GetX(), machine.GetY(), machine.GetZ()});
    if (command == STEP_LOAD) {
        loadError = cursor.GetLoadErrorText();
        const std::string program = cursor.GetProgramPath();
        workpiece->SetProgramFile(program, cursor.GetProgramHeader());
        // The title names the program, as the learner's other windows do.
        const QString name = QFileInfo(QFile::decodeName(QByteArray::fromStdString(program))).fileName();
        setWindowTitle(name.isEmpty() ? QString::fromLatin1(WINDOW_TITLE)
                                      : QString::fromLatin1(WINDOW_TITLE) + QStringLiteral(" \u2013 ") + name);
        // Open or not: the old path must neither meet the new word list
        // nor hold its memory until the window opens.
        DropPath();
        // After the old path is gone: the hints must not take it for the
        // new program's.
        FindHints(cursor);
        if (isVisible())
            StartBuild();
        else
            buildPending = true;
    }
    UpdateStep();
}

void CToolpathWindow::DropPath()
{
    ++buildGeneration;
    ++pictureGeneration;
    rasterRunner.CancelAndWait();
    model.reset();
    cutLayer->SetModel(nullptr);
    clickedMove = CMoveIdImage::NO_MOVE;
    canvas->SetPath(nullptr);
    jobFailure.clear();
}

void CToolpathWindow::StartBuild()
{
    buildPending = false;
    DropPath();
    const std::uint64_t generation = buildGeneration;
    UpdateInfo();
    if (words == nullptr)
        return;
    const CWordList* source = words;
    const CToolTable tools = workpiece->GetToolTable();
    buildRunner.Post([this, source, tools, generation](const std::atomic<bool>& cancel) {
        buildJobGeneration = generation;
        auto built = std::make_shared<CPathModel>();
        built->tools = tools;
        // The header's lines only number the builder's moves for the CLI;
        // the window takes its lines from the program view. Beyond what the
        // picture can number, the table's reservation is refused before it
        // is tried.
        const CPathSummary summary =
            CPathBuilder(*source, 0).BuildTable(built->table, &cancel, CMoveIdImage::MAX_MOVES);
        if (!summary.tooManyMoves && !cancel.load())
            built->cut = CCutPathLayer::Build(*source, tools, built->table, &cancel, CMoveIdImage::MAX_MOVES);
        if (summary.tooManyMoves || (built->cut != nullptr && built->cut->summary.path.tooManyMoves)) {
            const QString reason = QString::fromUtf8(TOO_MANY_BLOCKS_TEXT);
            QMetaObject::invokeMethod(
                this, [this, generation, reason]() { OnJobFailed(JOB_BUILD, generation, reason); },
                Qt::QueuedConnection);
            return;
        }
        if (cancel.load())
            return;
        built->raster = std::make_unique<CPathRaster>(built->table);
        QMetaObject::invokeMethod(
            this, [this, built, generation]() { OnPathBuilt(built, generation); }, Qt::QueuedConnection);
    });
}

void CToolpathWindow::ReportFailure(JobKind kind, std::exception_ptr error)
{
    // On the runner's thread, after the job's own memory is freed; the job
    // left its generation there.
    const std::uint64_t generation = kind == JOB_BUILD ? buildJobGeneration : pictureJobGeneration;
    const QString reason = JobFailureText(error);
    QMetaObject::invokeMethod(
        this, [this, kind, generation, reason]() { OnJobFailed(kind, generation, reason); }, Qt::QueuedConnection);
}

void CToolpathWindow::OnJobFailed(JobKind kind, std::uint64_t generation, const QString& reason)
{
    // A newer job of the same kind speaks for itself.
    if (generation != (kind == JOB_BUILD ? buildGeneration : pictureGeneration))
        return;
    if (kind == JOB_BUILD) {
        model.reset();
        cutLayer->SetModel(nullptr);
        canvas->SetPath(nullptr);
    } else {
        // The picture shown is of an older view; it goes, and its memory.
        canvas->SetPicture(nullptr, canvas->GetView());
    }
    workpiece->HoldSweeps(false);
    jobFailure = reason;
    UpdateInfo();
    // Without the path the hints build what they need themselves.
    StartPendingHints();
}

void CToolpathWindow::OnPathBuilt(std::shared_ptr<const CPathModel> built, std::uint64_t generation)
{
    if (generation != buildGeneration)
        return;
    model = std::move(built);
    // Before the path: fitting it takes in the programmed path too.
    cutLayer->SetModel(model->cut == nullptr ? nullptr
                                             : std::shared_ptr<const CCutPathModel>(model, model->cut.get()));
    canvas->SetPath(std::shared_ptr<const CMoveTable>(model, &model->table));
    // The workpiece's first sweep fits its box over the whole path: it
    // waits for the path's first picture rather than share the cores with
    // it.
    workpiece->HoldSweeps(CanDrawPicture());
    workpiece->SetPath(GetPath(), words);
    comparison->SetPath(GetPath(), words);
    std::string loaded;
    settings.ReadSettingString(SETTINGS_KEY, SETTING_LAST_LOADED, loaded);
    comparison->SetLearnerName(QString::fromStdString(loaded));
    UpdateStep();
    RequestPicture();
    // Without a picture on its way the hints need not wait for one.
    if (!rasterRunner.IsBusy())
        StartPendingHints();
}

bool CToolpathWindow::CanDrawPicture() const
{
    return model != nullptr && isVisible() && canvas->width() > 0 && canvas->height() > 0;
}

void CToolpathWindow::RequestPicture()
{
    if (!CanDrawPicture())
        return;
    const std::shared_ptr<const CPathModel> drawing = model;
    const CPathView view = canvas->GetDeviceView();
    const int width = canvas->GetDeviceSize().width();
    const int height = canvas->GetDeviceSize().height();
    const std::size_t first = canvas->GetFirstDrawnMove();
    requestedFirstMove = first;
    const std::uint64_t generation = ++pictureGeneration;
    rasterRunner.Post([this, drawing, view, width, height, first, generation](const std::atomic<bool>& cancel) {
        pictureJobGeneration = generation;
        auto ids = std::make_shared<CMoveIdImage>();
        ids->Resize(width, height);
        const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, MAX_RASTER_THREADS);
        if (!drawing->raster->DrawOnThreads(view, *ids, threads, &cancel, first).complete)
            return;
        QMetaObject::invokeMethod(
            this, [this, drawing, ids, view, first]() { OnPictureDrawn(drawing, ids, view, first); },
            Qt::QueuedConnection);
    });
}

void CToolpathWindow::OnPictureDrawn(std::shared_ptr<const CPathModel> drawnModel,
                                     std::shared_ptr<const CMoveIdImage> ids, const CPathView& drawnView,
                                     std::size_t firstMove)
{
    // A picture of an older view still beats the one shown; one of an older
    // program does not.
    if (drawnModel != model)
        return;
    canvas->SetPicture(std::move(ids), drawnView, firstMove);
    workpiece->HoldSweeps(false);
    if (!jobFailure.isEmpty()) {
        jobFailure.clear();
        UpdateMessage();
    }
    StartPendingHints();
}

void CToolpathWindow::OnMoveClicked(qulonglong move)
{
    if (model == nullptr || move >= model->table.GetCount())
        return;
    clickedMove = static_cast<std::size_t>(move);
    emit BlockClicked(model->table.GetBlockFirstWord(static_cast<std::size_t>(move)));
}

void CToolpathWindow::ChooseProjection(PathProjection projection)
{
    if (QAbstractButton* button = projectionButtons->button(projection))
        button->setChecked(true);
    canvas->SetProjection(projection);
}

void CToolpathWindow::ShowPath(PathShowing showing)
{
    canvas->SetPathShowing(showing);
    cutLayer->SetShown(showing != SHOW_PATH_NONE);
    for (const PathShowingRow& row : PATH_SHOWINGS) {
        if (row.showing == showing)
            pathButton->setText(QString::fromUtf8(row.text));
    }
    if (!canvas->HasCurrentPicture())
        RequestPicture();
}

void CToolpathWindow::ShowNextPathShowing()
{
    const PathShowing current = canvas->GetPathShowing();
    constexpr std::size_t count = std::size(PATH_SHOWINGS);
    for (std::size_t index = 0; index < count; ++index) {
        if (PATH_SHOWINGS[index].showing == current) {
            ShowPath(PATH_SHOWINGS[(index + 1) % count].showing);
            return;
        }
    }
}

void CToolpathWindow::UpdateStep()
{
    if (model != nullptr) {
        const CStepState step = StepStateAt(model->table, cursorWord);
        canvas->SetStep(step);
        workpiece->Follow(step);
        comparison->Follow(step);
        // Only what is to come: the moves done leave the picture.
        if (canvas->GetPathShowing() == SHOW_PATH_AHEAD && canvas->GetFirstDrawnMove() != requestedFirstMove)
            RequestPicture();
    }
    UpdateInfo();
}

QString CToolpathWindow::BlockText(WordPosition first, WordPosition last) const
{
    QString text;
    std::size_t shown = 0;
    for (WordPosition position = first; position <= last && position < words->GetCount(); ++position) {
        if (words->GetKind(position) == WK_END_OF_BLOCK)
            continue;
        if (++shown > MAX_BLOCK_WORDS) {
            text += QStringLiteral(" ...");
            break;
        }
        if (!text.isEmpty())
            text += QLatin1Char(' ');
        const std::string_view word = words->GetText(position);
        text += Cp1252ToDisplayString(std::string(word));
    }
    return text;
}

WordPosition CToolpathWindow::DescribedWord() const
{
    if (programView != nullptr) {
        const CProgramViewState view = programView->SaveViewState();
        const int start = std::min(view.anchor, view.caret);
        const int end = std::max(view.anchor, view.caret);
        WordPosition word = words->FindAt(start);
        if (word == CWordList::NO_POSITION) {
            // A selected line begins with a blank: its first word.
            word = words->FindFrom(start);
            std::int32_t wordStart = 0;
            std::int32_t wordEnd = 0;
            if (word != CWordList::NO_POSITION)
                words->GetSpan(word, wordStart, wordEnd);
            if (wordStart >= end)
                word = CWordList::NO_POSITION;
        }
        if (word != CWordList::NO_POSITION)
            return word;
    }
    return cursorWord < words->GetCount() ? cursorWord : CWordList::NO_POSITION;
}

long long CToolpathWindow::LineOfMove(std::size_t move) const
{
    if (model == nullptr || words == nullptr || move >= model->table.GetCount())
        return 0;
    const WordPosition first = model->table.GetBlockFirstWord(move);
    if (programView != nullptr) {
        std::int32_t start = 0;
        std::int32_t end = 0;
        words->GetSpan(first, start, end);
        return programView->LineFromChar(start) + 1;
    }
    return CStockComparison::FindMoveLine(model->table, *words, 0, move);
}

QString CToolpathWindow::BlockLine(WordPosition word) const
{
    // The block around the word, between two line ends.
    WordPosition first = word;
    for (std::size_t scanned = 0; first > 0 && scanned < MAX_BLOCK_SCAN; ++scanned) {
        if (words->GetKind(first - 1) == WK_END_OF_BLOCK)
            break;
        --first;
    }
    WordPosition last = word;
    for (std::size_t scanned = 0; last + 1 < words->GetCount() && scanned < MAX_BLOCK_SCAN; ++scanned) {
        if (words->GetKind(last) == WK_END_OF_BLOCK)
            break;
        ++last;
    }
    QString block = BlockText(first, last);
    if (programView != nullptr) {
        std::int32_t start = 0;
        std::int32_t end = 0;
        words->GetSpan(first, start, end);
        block = QString::fromLatin1(LINE_TEXT) + QString::number(programView->LineFromChar(start) + 1) +
                QStringLiteral(": ") + block;
    }
    return block;
}

void CToolpathWindow::UpdateInfo()
{
    infoRest.clear();
    infoPosition.clear();
    infoExplanation.clear();
    if (words == nullptr) {
        infoBlock = QString::fromLatin1(NO_PROGRAM_TEXT);
        ShowInfo();
        UpdateMessage();
        return;
    }
    // One block throughout: the line, its move and its word. At the end of
    // the program the cursor's block is gone, unless the user browses.
    const WordPosition described = DescribedWord();
    const bool atEnd = described == CWordList::NO_POSITION ||
                       (cursorWord >= words->GetCount() && lastCommand != STEP_LINE_CLICK);
    infoBlock = atEnd ? QString::fromLatin1(END_TEXT) : BlockLine(described);
    // Where the tool stands on the path, and whether the panel's read-outs
    // show the same numbers, on a line of its own.
    const QString unit = QString::fromLatin1(lengthUnit == WK_UNIT_INCH ? UNIT_INCH : UNIT_MM);
    if (model != nullptr && !model->table.IsEmpty()) {
        const CMovePoint tool = canvas->GetToolPoint();
        infoPosition = QString::fromLatin1(TOOL_TEXT) + Coordinate("X", tool.x) + QLatin1Char(' ') +
                       Coordinate("Y", tool.y) + QLatin1Char(' ') + Coordinate("Z", tool.z) + QLatin1Char(' ') + unit;
        if (relative)
            infoPosition += QStringLiteral("   ") + QString::fromLatin1(AS_PROGRAMMED_TEXT);
    } else {
        // Before the path is built, or without moves: the unit, named as one.
        infoPosition = QString::fromUtf8(UNIT_LABEL) + unit;
    }
    if (model != nullptr) {
        const CStepState step = StepStateAt(model->table, atEnd ? cursorWord : described);
        if (step.HasCurrentBlock()) {
            // A block of the cut path may hold many moves (a cycle's pecks):
            // the one clicked on, if it is of this block, else the first.
            const std::size_t shown =
                clickedMove >= step.blockFirst && clickedMove <= step.blockLast ? clickedMove : step.blockFirst;
            QString move = QString::fromLatin1(KindText(model->table.GetKind(shown)));
            const MoveFlags flags = model->table.GetFlags(shown);
            for (const FlagRow& row : FLAG_TEXTS) {
                if ((flags & row.flag) != 0)
                    move += QStringLiteral(", ") + QString::fromUtf8(row.text);
            }
            const QString note = CutNoteText(shown, step.blockLast);
            if (!note.isEmpty())
                move += QStringLiteral(", ") + note;
            infoRest = move;
        } else {
            infoRest = QString::fromLatin1(NO_MOVE_TEXT);
        }
    }
    // What the described word means, on a line of its own.
    if (described != CWordList::NO_POSITION) {
        const WordPosition word = described;
        infoExplanation = Cp1252ToQString(ExplainWordAt(*words, word));
    }
    // The workpiece's word goes beside the tool's position, where a long
    // block does not push it out of sight.
    const QString comparisonText = comparison->GetInfoText();
    if (!comparisonText.isEmpty())
        infoExplanation += (infoExplanation.isEmpty() ? QString() : QStringLiteral("\n")) + comparisonText;
    const QString workpieceText = workpiece->GetInfoText();
    if (!workpieceText.isEmpty())
        infoPosition += (infoPosition.isEmpty() ? QString() : QStringLiteral("   ")) + workpieceText;
    ShowInfo();
    UpdateMessage();
}

void CToolpathWindow::ShowInfo()
{
    const QString separator = QString::fromLatin1(PART_SEPARATOR);
    const QFontMetrics metrics(infoLine->font());
    const int width = std::max(1, infoLine->contentsRect().width());
    QString first = infoBlock;
    if (!infoRest.isEmpty()) {
        // The block gives way first: the kind of its move stays readable.
        const int restWidth = metrics.horizontalAdvance(separator + infoRest);
        first = Elide(infoBlock, metrics, std::max(metrics.horizontalAdvance(QString::fromLatin1(ELLIPSIS)),
                                                   width - restWidth)) +
                separator + infoRest;
    }
    const QString shownFirst = Elide(first, metrics, width);
    // The other lines are never cut: a warning or a summary that does not
    // fit goes on to the next line.
    QStringList lines{shownFirst};
    for (const QString& text : {infoPosition, infoExplanation}) {
        if (text.isEmpty())
            continue;
        for (const QString& line : text.split(QLatin1Char('\n')))
            lines += WrapInfoLine(line, metrics, width);
    }
    infoLine->setText(lines.join(QLatin1Char('\n')));
    const bool blockCut = shownFirst != infoBlock + (infoRest.isEmpty() ? QString() : separator + infoRest);
    infoLine->setToolTip(blockCut ? GetInfoText() : QString());
}

void CToolpathWindow::UpdateMessage()
{
    QString message;
    if (!jobFailure.isEmpty()) {
        message = QString::fromUtf8(UNAVAILABLE_TEXT) + jobFailure;
    } else if (words == nullptr) {
        message = QString::fromLatin1(NO_PROGRAM_TEXT);
    } else if (!loadError.empty()) {
        message = Cp1252ToDisplayString(loadError);
        // Words before the error were loaded, and their path is drawn.
        if (!words->IsEmpty())
            message += QLatin1Char('\n') + QString::fromLatin1(PATH_TO_ERROR_TEXT);
    } else if (model != nullptr && model->table.IsEmpty() && CutErrorText().isEmpty()) {
        message = QString::fromLatin1(NO_MOVES_TEXT);
    }
    // What the machine would refuse ends the cut path, as a load error ends
    // the program.
    const QString cutError = CutErrorText();
    if (!cutError.isEmpty() && jobFailure.isEmpty()) {
        message += (message.isEmpty() ? QString() : QStringLiteral("\n")) + cutError;
        if (loadError.empty())
            message += QLatin1Char('\n') + QString::fromLatin1(PATH_TO_ERROR_TEXT);
    }
    const QString workpieceFailure = workpiece->GetFailureText();
    if (!workpieceFailure.isEmpty())
        message += (message.isEmpty() ? QString() : QStringLiteral("\n")) + workpieceFailure;
    canvas->SetMessage(message);
}

void CToolpathWindow::OnToolsChanged()
{
    // Only a cut path depends on the tools.
    if (model == nullptr || model->cut == nullptr)
        return;
    if (isVisible())
        StartBuild();
    else
        buildPending = true;
}

QString CToolpathWindow::CutNoteText(std::size_t first, std::size_t blockLast) const
{
    if (model == nullptr || model->cut == nullptr)
        return QString();
    const CCutNotes& notes = model->cut->notes;
    const std::size_t last = std::min(blockLast, first + MAX_BLOCK_SCAN);
    for (std::size_t move = first; move <= last; ++move) {
        if (const CCutNote* note = notes.Find(move))
            return CCutPathLayer::NoteText(*note);
    }
    return QString();
}

QString CToolpathWindow::CutErrorText() const
{
    if (model == nullptr || model->cut == nullptr || !model->cut->summary.hasError)
        return QString();
    const CCutError& error = model->cut->summary.error;
    // The program view counts the lines as the user sees them, header
    // included; the builder was given none.
    std::int64_t line = error.line;
    if (programView != nullptr && words != nullptr && error.word < words->GetCount()) {
        std::int32_t start = 0;
        std::int32_t end = 0;
        words->GetSpan(static_cast<WordPosition>(error.word), start, end);
        line = programView->LineFromChar(start) + 1;
    }
    return CCutPathLayer::ErrorText(error.message, line);
}

void CToolpathWindow::RestoreFromSettings()
{
    int open = 1;
    ReadStoredInt(settings, PATH_OPEN, 0, 1, open);
    int x = 0;
    int y = 0;
    int width = DEFAULT_WIDTH;
    int height = DEFAULT_HEIGHT;
    const bool stored = ReadStoredInt(settings, PATH_X, -POSITION_LIMIT, POSITION_LIMIT, x) &&
                        ReadStoredInt(settings, PATH_Y, -POSITION_LIMIT, POSITION_LIMIT, y) &&
                        ReadStoredInt(settings, PATH_WIDTH, MIN_WIDTH, MAX_SIDE, width) &&
                        ReadStoredInt(settings, PATH_HEIGHT, MIN_HEIGHT, MAX_SIDE, height);
    const QMargins frame = FrameMarginsOf(*this);
    const QSize frameExtra(frame.left() + frame.right(), frame.top() + frame.bottom());
    QRect placed;
    if (stored) {
        // Stored on another screen or at another scale: moved into this one.
        const QRect wished(QPoint(x, y), QSize(width, height) + frameExtra);
        placed = FitFrameIntoArea(wished, AvailableAreaAt(wished.center()));
    } else {
        const QRect panelFrame = panel != nullptr ? panel->frameGeometry() : QRect();
        placed = PlaceFrameBeside(panelFrame, QSize(DEFAULT_WIDTH, DEFAULT_HEIGHT) + frameExtra,
                                  QSize(BESIDE_MIN_WIDTH, MIN_HEIGHT) + frameExtra, DEFAULT_GAP,
                                  AvailableAreaAt(panelFrame.center()));
    }
    resize(placed.size() - frameExtra);
    move(placed.topLeft());
    if (open != 0)
        show();
}

void CToolpathWindow::SaveToSettings()
{
    WriteSettingInt(settings, SETTINGS_KEY, PATH_OPEN, isVisible() ? 1 : 0);
    const QPoint topLeft = frameGeometry().topLeft();
    WriteSettingInt(settings, SETTINGS_KEY, PATH_X, topLeft.x());
    WriteSettingInt(settings, SETTINGS_KEY, PATH_Y, topLeft.y());
    WriteSettingInt(settings, SETTINGS_KEY, PATH_WIDTH, width());
    WriteSettingInt(settings, SETTINGS_KEY, PATH_HEIGHT, height());
}

void CToolpathWindow::Toggle()
{
    if (isVisible()) {
        hide();
        return;
    }
    show();
    raise();
}

bool CToolpathWindow::IsBuilding() const { return buildPending || buildRunner.IsBusy(); }

bool CToolpathWindow::IsPictureReady() const
{
    return model != nullptr && !IsBuilding() && !rasterRunner.IsBusy() && canvas->HasCurrentPicture();
}

std::shared_ptr<const CMoveTable> CToolpathWindow::GetPath() const
{
    if (model == nullptr)
        return nullptr;
    return std::shared_ptr<const CMoveTable>(model, &model->table);
}

QString CToolpathWindow::GetInfoText() const
{
    QString text = infoBlock;
    if (!infoRest.isEmpty())
        text += QStringLiteral("   ") + infoRest;
    if (!infoPosition.isEmpty())
        text += QLatin1Char('\n') + infoPosition;
    if (!infoExplanation.isEmpty())
        text += QLatin1Char('\n') + infoExplanation;
    return text;
}

void CToolpathWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    ShowInfo();
}

void CToolpathWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    ShowInfo();
    if (buildPending)
        StartBuild();
    else
        RequestPicture();
}
