#include "picture.h"

#include <algorithm>
#include <charconv>
#include <iterator>

#include "cnc_program.h"
#include "move_id_image.h"
#include "path_builder.h"
#include "path_raster.h"
#include "path_recolour.h"
#include "png_writer.h"
#include "relief_image.h"
#include "step_state.h"
#include "sweep_input.h"
#include "terminal_text.h"
#include "tool_options.h"
#include "trace.h"
#include "workpiece.h"

namespace {

struct ViewRow {
    const char* name;
    PathProjection projection;
};
// The window's names of its views.
constexpr ViewRow VIEWS[] = {
    {"oben", PROJECTION_TOP},
    {"vorne", PROJECTION_FRONT},
    {"seite", PROJECTION_SIDE},
    {"iso", PROJECTION_ISOMETRIC},
};

const char* const NOT_A_VIEW = "%s: '%s' ist keine Ansicht (oben, vorne, seite, iso)";
const char* const NOT_A_SIZE = "%s: '%s' ist keine Größe BREITExHÖHE von 16 bis 8000 Pixeln";
const char* const UNKNOWN_OPTION = "'%s' ist keine Option von picture";
const char* const FILES_WANTED = "picture: FILE und OUT.png erwartet%s";
const char* const WRITE_FAILED = "tornavel-cli: %s: das Bild kann nicht geschrieben werden\n";
const char* const LOAD_ERROR = "tornavel-cli: %s: %s (Bild bis dahin)\n";
const char* const CUT_ERROR = "tornavel-cli: %s: Zeile %lld: %s (Bild bis dahin)\n";

bool ParseSide(const std::string& text, int& side)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), side);
    return result.ec == std::errc() && side >= PICTURE_MIN_SIDE && side <= PICTURE_MAX_SIDE;
}

bool ParseSize(const std::string& text, int& width, int& height)
{
    const std::size_t cross = text.find_first_of("xX");
    return cross != std::string::npos && ParseSide(text.substr(0, cross), width) &&
           ParseSide(text.substr(cross + 1), height);
}

bool ParseView(const std::string& text, PathProjection& projection)
{
    for (const ViewRow& row : VIEWS) {
        if (text == row.name) {
            projection = row.projection;
            return true;
        }
    }
    return false;
}

void Widen(CMovePoint& min, CMovePoint& max, const CMovePoint& low, const CMovePoint& high)
{
    min = CMovePoint{std::min(min.x, low.x), std::min(min.y, low.y), std::min(min.z, low.z)};
    max = CMovePoint{std::max(max.x, high.x), std::max(max.y, high.y), std::max(max.z, high.z)};
}

// Fitted as the window fits its picture: the cut path, the programmed one
// beside it and the box.
CPathView FitView(const CPictureOptions& options, const CMoveTable& cut, const CWordList& words,
                  const CStockBox& box)
{
    CMovePoint min;
    CMovePoint max;
    if (!cut.GetBounds(min, max))
        min = max = CMovePoint{};
    CMoveTable programmed;
    CPathBuilder(words, 0).BuildTable(programmed);
    CMovePoint low;
    CMovePoint high;
    if (programmed.GetBounds(low, high))
        Widen(min, max, low, high);
    Widen(min, max, CMovePoint{box.x0, box.y0, box.z0}, CMovePoint{box.x1, box.y1, box.z1});
    CPathView view(options.projection, 1.0, 0.0, 0.0);
    view.Fit(min, max, options.width, options.height, CPathView::FIT_MARGIN);
    return view;
}

// The path over the picture, coloured for the moves done as the window
// colours it when the cursor stands after them.
void DrawPath(const CMoveTable& table, const CPathView& view, std::size_t done, CPixelImage& picture)
{
    CMoveIdImage ids;
    ids.Resize(picture.GetWidth(), picture.GetHeight());
    CPathRaster(table).Draw(view, ids);
    CPixelImage path(picture.GetWidth(), picture.GetHeight(), 0);
    CPathPalette palette = DefaultPathPalette();
    palette.background = 0;
    CStepState step;
    step.doneCount = done;
    CPixelSpan span = path.GetSpan();
    RecolourPath(ids, step, palette, span.pixels, span.stride);
    picture.DrawOver(path);
}

int DrawAndWrite(const CPictureOptions& options, std::FILE* errors)
{
    const CStockOptions& stock = options.stock;
    CSweepInput input(stock.file);
    const CStockChoice choice = MakeStockChoice(stock);
    LoadSweepInput(input, choice);
    const CCncProgram& loader = input.headless.loader;
    if (input.loadResult == CCncProgram::RESULT_OPEN_FAILED) {
        std::fprintf(errors, "tornavel-cli: %s: %s\n", stock.file.c_str(), loader.GetErrorText().c_str());
        return EXIT_SOME_FAILED;
    }
    const CWordList& words = loader.GetWordList();
    CWorkpiece::CSettings settings;
    settings.box = ChooseStockBox(choice, input.program, input.table, words, input.tools);
    if (!ChooseCell(stock, settings, errors))
        return EXIT_SOME_FAILED;
    CWorkpiece workpiece(input.table, words, input.headerLines, input.tools, settings);
    const std::size_t done = std::min(stock.hasMoves ? stock.moves : input.table.GetCount(), input.table.GetCount());
    workpiece.BringTo(done);

    const CPathView view = FitView(options, input.table, words, settings.box);
    CPixelImage picture(options.width, options.height, DefaultPathPalette().background);
    ReliefImage::DrawWorkpiece(workpiece.GetGrid(), view, picture);
    DrawPath(input.table, view, done, picture);
    if (!CPngWriter::Write(options.output, static_cast<std::size_t>(picture.GetWidth()),
                           static_cast<std::size_t>(picture.GetHeight()), picture.ToRgb())) {
        std::fprintf(errors, WRITE_FAILED, options.output.c_str());
        return EXIT_WRITE_FAILED;
    }
    // The picture stands; what cut it short is said all the same.
    if (input.loadResult != CCncProgram::RESULT_OK) {
        std::fprintf(errors, LOAD_ERROR, stock.file.c_str(), Cp1252ToTerminalUtf8(loader.GetErrorText()).c_str());
    }
    if (input.cut.hasError) {
        std::fprintf(errors, CUT_ERROR, stock.file.c_str(), static_cast<long long>(input.cut.error.line),
                     input.cut.error.message.c_str());
    }
    return EXIT_ALL_LOADED;
}

} // namespace

int ParsePictureOptions(const std::vector<std::string>& arguments, CPictureOptions& options, std::string& message)
{
    options.width = PICTURE_DEFAULT_WIDTH;
    options.height = PICTURE_DEFAULT_HEIGHT;
    bool hasView = false;
    bool hasSize = false;
    std::vector<std::string> stockArguments;
    std::vector<std::string> files;
    for (std::size_t next = 0; next < arguments.size(); ++next) {
        const std::string& name = arguments[next];
        if (name.rfind("--", 0) != 0) {
            files.push_back(name);
            continue;
        }
        if (name != "--view" && name != "--size" && !IsStockOption(name)) {
            message = OptionMessage(UNKNOWN_OPTION, name);
            return EXIT_BAD_USAGE;
        }
        if (next + 1 >= arguments.size()) {
            message = OptionMessage(OPTION_WITHOUT_VALUE, name);
            return EXIT_BAD_USAGE;
        }
        const std::string& value = arguments[++next];
        const char* problem = nullptr;
        if (name == "--view") {
            if (hasView)
                problem = OPTION_GIVEN_TWICE;
            else if (!ParseView(value, options.projection))
                problem = NOT_A_VIEW;
            hasView = true;
        } else if (name == "--size") {
            if (hasSize)
                problem = OPTION_GIVEN_TWICE;
            else if (!ParseSize(value, options.width, options.height))
                problem = NOT_A_SIZE;
            hasSize = true;
        } else {
            stockArguments.push_back(name);
            stockArguments.push_back(value);
        }
        if (problem != nullptr) {
            message = OptionMessage(problem, name, value);
            return EXIT_BAD_USAGE;
        }
    }
    if (files.size() != 2) {
        message = OptionMessage(FILES_WANTED, files.size() > 2 ? ", nicht auch '" + files[2] + "'" : std::string());
        return EXIT_BAD_USAGE;
    }
    options.output = files[1];
    stockArguments.push_back(files[0]);
    return ParseStockOptions(stockArguments, options.stock, message);
}

int RunPicture(const CPictureOptions& options, std::FILE* errors)
{
    return RunWithinMemory(errors, [&]() { return DrawAndWrite(options, errors); });
}
