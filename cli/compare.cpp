#include "compare.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <filesystem>
#include <new>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "classic_number.h"
#include "json_lines.h"
#include "json_text.h"
#include "platform.h"
#include "png_writer.h"
#include "sweep_input.h"
#include "tool_options.h"
#include "trace.h"

namespace {

namespace fs = std::filesystem;

const char* const CSV_HEADER = "Datei;Ladefehler;innerhalb %;zu tief (Zellen);zu viel stehen (Zellen);"
                               "max. zu tief;max. zu viel;zu tief ab Zeile";
// Spreadsheets take a file that starts with it for UTF-8.
const char* const BYTE_ORDER_MARK = "\xEF\xBB\xBF";
const char* const CSV_LINE_END = "\r\n";
// In the loader's words, for a folder that cannot be listed.
const char* const TEXT_CANT_OPEN_FOLDER = "Can't open folder.";
constexpr unsigned MAX_THREADS = 8;

struct CLearnerResult {
    std::string file;
    int result = 0;
    // The loader's text, in its bytes.
    std::string error;
    // The cut path's message in UTF-8, empty when it ends without one.
    std::string cutError;
    CComparisonTotals totals;
    bool firstOver = false;
    std::size_t firstOverMove = 0;
    std::int64_t firstOverLine = 0;
    // The difference picture, top row first, when one is wanted.
    std::vector<std::uint8_t> picture;
};

// What every learner is compared against, read by all threads at once.
struct CReferencePart {
    // The box and tools chosen over a learner's own comments.
    CStockChoice choice;
    const CHeightGrid* grid = nullptr;
    const CStockComparison::CTooDeepLimits* limits = nullptr;
    double tolerance = 0.0;
    bool wantPicture = false;
};

// One thread's grid and stamps, used again for each learner it takes, so
// that memory stays at one learner's grids per thread.
struct CLearnerScratch {
    CHeightGrid grid;
    CStockComparison::CSearchStamps stamps;
};

// The files a FILE argument stands for: itself, or the files of a folder
// sorted by name, each named FOLDER/NAME.
void ExpandFile(const std::string& given, std::vector<std::string>& files, std::vector<std::string>& unreadable)
{
    std::error_code error;
    const fs::path folder = PathFromUtf8(given);
    if (!fs::is_directory(folder, error)) {
        files.push_back(given);
        return;
    }
    std::vector<std::string> names;
    for (fs::directory_iterator entry(folder, error); !error && entry != fs::directory_iterator();
         entry.increment(error)) {
        std::error_code kindError;
        if (!entry->is_directory(kindError))
            names.push_back(Utf8FromPath(entry->path().filename()));
    }
    if (error) {
        unreadable.push_back(given);
        files.push_back(given);
        return;
    }
    std::sort(names.begin(), names.end());
    const bool separated = !given.empty() && (given.back() == '/' || given.back() == '\\');
    for (const std::string& name : names)
        files.push_back(separated ? given + name : given + '/' + name);
}

void CompareLearner(const CReferencePart& reference, const std::string& file, bool folderUnreadable,
                    CLearnerScratch& scratch, CLearnerResult& out)
{
    out.file = file;
    const CHeightGrid& wanted = *reference.grid;
    CHeightGrid& grid = scratch.grid;
    if (grid.GetCellCount() == 0)
        grid = CHeightGrid(wanted.GetBox(), wanted.GetCell());
    else
        grid.Reset();
    if (folderUnreadable) {
        out.result = CCncProgram::RESULT_OPEN_FAILED;
        out.error = TEXT_CANT_OPEN_FOLDER;
    } else {
        CSweepInput input(file);
        LoadSweepInput(input, reference.choice);
        out.result = input.loadResult;
        out.error = input.headless.loader.GetErrorText();
        if (input.cut.hasError)
            out.cutError = input.cut.error.message;
        if (out.result != CCncProgram::RESULT_OPEN_FAILED) {
            const CWordList& words = input.headless.loader.GetWordList();
            CStockComparison::SweepFindingFirstOver(input.table, words, input.tools, *reference.limits,
                                                    scratch.stamps, grid, out.firstOver, out.firstOverMove);
            if (out.firstOver)
                out.firstOverLine =
                    CStockComparison::FindMoveLine(input.table, words, input.headerLines, out.firstOverMove);
        }
    }
    CStockComparison comparison(wanted, reference.tolerance);
    comparison.Compare(grid);
    out.totals = comparison.GetTotals();
    if (!reference.wantPicture)
        return;
    out.picture.reserve(grid.GetCellCount() * 3);
    for (std::size_t row = grid.GetRows(); row-- > 0;) {
        for (std::size_t column = 0; column < grid.GetColumns(); ++column) {
            const CComparisonColour colour =
                comparison.GetCellColour(grid.GetHeight(column, row), wanted.GetHeight(column, row));
            out.picture.insert(out.picture.end(), {colour.red, colour.green, colour.blue});
        }
    }
}

// The learners spread over threads that each take the next one in turn.
void CompareLearners(const CReferencePart& reference, const std::vector<std::string>& files,
                     const std::vector<std::string>& unreadable, unsigned threads,
                     std::vector<CLearnerResult>& results)
{
    results.resize(files.size());
    std::atomic<std::size_t> next(0);
    std::vector<std::exception_ptr> failures(files.size());
    std::atomic<bool> failed(false);
    const auto work = [&]() noexcept {
        CLearnerScratch scratch;
        for (std::size_t index = next++; index < files.size() && !failed; index = next++) {
            try {
                const bool folderUnreadable =
                    std::find(unreadable.begin(), unreadable.end(), files[index]) != unreadable.end();
                CompareLearner(reference, files[index], folderUnreadable, scratch, results[index]);
            } catch (...) {
                failures[index] = std::current_exception();
                failed = true;
            }
        }
    };
    if (threads == 0)
        threads = std::thread::hardware_concurrency();
    threads = static_cast<unsigned>(std::clamp<std::size_t>(std::min<std::size_t>(threads, files.size()), 1,
                                                            MAX_THREADS));
    std::vector<std::thread> workers;
    for (unsigned thread = 1; thread < threads; ++thread) {
        try {
            workers.emplace_back(work);
        } catch (...) {
            // No thread to be had: the calling thread does the rest.
            break;
        }
    }
    work();
    for (std::thread& worker : workers)
        worker.join();
    for (const std::exception_ptr& failure : failures) {
        if (failure != nullptr)
            std::rethrow_exception(failure);
    }
}

void WriteReferenceRecord(CJsonLinesWriter& writer, const std::string& file, const CHeightGrid& grid,
                          double tolerance)
{
    std::string& line = writer.BeginRecord("reference");
    AppendKey(line, "file");
    AppendJsonText(line, file);
    AppendGridKeys(line, grid);
    AppendKey(line, "tolerance");
    AppendReal(line, tolerance);
    writer.EndRecord();
}

void WriteCompareRecord(CJsonLinesWriter& writer, const CLearnerResult& learner)
{
    const CComparisonTotals& totals = learner.totals;
    std::string& line = writer.BeginRecord("compare");
    AppendKey(line, "file");
    AppendJsonText(line, learner.file);
    AppendKey(line, "result");
    AppendNumber(line, learner.result);
    AppendKey(line, "error");
    AppendJsonBytes(line, learner.error);
    AppendKey(line, "cutError");
    if (learner.cutError.empty())
        line += "null";
    else
        AppendJsonText(line, learner.cutError);
    AppendKey(line, "cells");
    AppendNumber(line, static_cast<long long>(totals.cells));
    AppendKey(line, "within");
    AppendNumber(line, static_cast<long long>(totals.within));
    AppendKey(line, "over");
    AppendNumber(line, static_cast<long long>(totals.over));
    AppendKey(line, "under");
    AppendNumber(line, static_cast<long long>(totals.under));
    AppendKey(line, "maxOver");
    AppendReal(line, totals.maxOver);
    AppendKey(line, "maxUnder");
    AppendReal(line, totals.maxUnder);
    AppendKey(line, "overVolume");
    AppendReal(line, totals.overVolume);
    AppendKey(line, "underVolume");
    AppendReal(line, totals.underVolume);
    AppendKey(line, "firstOver");
    if (learner.firstOver) {
        line += "{\"move\":";
        AppendNumber(line, static_cast<long long>(learner.firstOverMove));
        line += ",\"line\":";
        AppendNumber(line, learner.firstOverLine);
        line += '}';
    } else {
        line += "null";
    }
    writer.EndRecord();
}

// A number as the JSON has it, with a decimal comma.
std::string CsvReal(double value)
{
    std::string text;
    AppendReal(text, value);
    std::replace(text.begin(), text.end(), '.', ',');
    return text;
}

// Quoted when it holds a separator, a quote or a line end; quotes doubled.
std::string CsvText(const std::string& text)
{
    if (text.find_first_of(";\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char character : text) {
        if (character == '"')
            quoted += '"';
        quoted += character;
    }
    return quoted + '"';
}

// The loader's byte text as UTF-8: byte b is the code point U+00bb.
std::string Latin1ToUtf8(const std::string& bytes)
{
    std::string text;
    for (const char character : bytes) {
        const auto byte = static_cast<unsigned char>(character);
        if (byte < 0x80) {
            text += character;
        } else {
            text += static_cast<char>(0xC0 | (byte >> 6));
            text += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

void WriteCsv(std::FILE* out, const std::vector<CLearnerResult>& learners)
{
    std::string table = BYTE_ORDER_MARK;
    table += CSV_HEADER;
    table += CSV_LINE_END;
    for (const CLearnerResult& learner : learners) {
        const CComparisonTotals& totals = learner.totals;
        // A failed load names its error; a load that went well, the cut
        // path's error if it has one.
        const std::string problem =
            learner.result != CCncProgram::RESULT_OK ? Latin1ToUtf8(learner.error) : learner.cutError;
        const double withinShare =
            totals.cells == 0 ? 0.0 : 100.0 * static_cast<double>(totals.within) / static_cast<double>(totals.cells);
        table += CsvText(learner.file) + ';' + CsvText(problem) + ';' + CsvReal(withinShare) + ';' +
                 std::to_string(totals.over) + ';' + std::to_string(totals.under) + ';' + CsvReal(totals.maxOver) +
                 ';' + CsvReal(totals.maxUnder) + ';' +
                 (learner.firstOver ? std::to_string(learner.firstOverLine) : std::string()) + CSV_LINE_END;
    }
    std::fwrite(table.data(), 1, table.size(), out);
}

int CompareAndWrite(const CCompareOptions& options, std::FILE* out, std::FILE* errors)
{
    CSweepInput reference(options.reference);
    const CStockChoice choice = MakeStockChoice(options.stock);
    LoadSweepInput(reference, choice);
    if (reference.loadResult != CCncProgram::RESULT_OK) {
        const std::string message = "tornavel-cli: " + options.reference + ": " +
                                    Latin1ToUtf8(reference.headless.loader.GetErrorText()) + '\n';
        std::fputs(message.c_str(), errors);
        return EXIT_SOME_FAILED;
    }
    const CWordList& referenceWords = reference.headless.loader.GetWordList();
    // A learner's tools: the given ones, then the reference's own, and the
    // learner's own only for the numbers neither names.
    CReferencePart part;
    part.choice = choice;
    part.choice.tools = reference.tools;
    for (const auto& entry : reference.program.tools)
        part.choice.fixedTools.insert(entry.first);
    part.tolerance = options.tolerance;

    CWorkpiece::CSettings settings;
    settings.box = ChooseStockBox(choice, reference.program, reference.table, referenceWords, reference.tools);
    if (!ChooseCell(options.stock, settings, errors))
        return EXIT_SOME_FAILED;

    std::vector<std::string> files;
    std::vector<std::string> unreadable;
    for (const std::string& given : options.files)
        ExpandFile(given, files, unreadable);
    if (options.hasPicture && files.size() != 1) {
        std::fputs("tornavel-cli: --png needs exactly one file to compare\n", errors);
        return EXIT_SOME_FAILED;
    }

    // The reference is cut as stock cuts it, but only once and forwards: it
    // needs neither snapshots nor an undo log, which cost grid copies.
    settings.historyBytes = 0;
    CWorkpiece referencePart(reference.table, referenceWords, reference.headerLines, reference.tools, settings);
    referencePart.BringTo(reference.table.GetCount());
    part.grid = &referencePart.GetGrid();
    const CStockComparison::CTooDeepLimits limits(*part.grid, options.tolerance);
    part.limits = &limits;
    part.wantPicture = options.hasPicture;

    std::vector<CLearnerResult> learners;
    CompareLearners(part, files, unreadable, options.threads, learners);

    if (options.hasPicture) {
        const CHeightGrid& grid = referencePart.GetGrid();
        if (!CPngWriter::Write(options.picture, grid.GetColumns(), grid.GetRows(), learners.front().picture)) {
            const std::string message = "tornavel-cli: cannot write the picture " + options.picture + '\n';
            std::fputs(message.c_str(), errors);
            return EXIT_SOME_FAILED;
        }
    }
    if (options.csv) {
        WriteCsv(out, learners);
        return EXIT_ALL_LOADED;
    }
    CJsonLinesWriter writer(out);
    WriteReferenceRecord(writer, options.reference, referencePart.GetGrid(), options.tolerance);
    for (const CLearnerResult& learner : learners)
        WriteCompareRecord(writer, learner);
    return EXIT_ALL_LOADED;
}

} // namespace

int ParseCompareOptions(const std::vector<std::string>& arguments, CCompareOptions& options, std::string& message)
{
    std::size_t next = 0;
    bool toolCannotCut = false;
    bool hasTolerance = false;
    while (next < arguments.size() && arguments[next].rfind("--", 0) == 0) {
        const std::string& name = arguments[next];
        if (name == "--csv" && !options.csv) {
            options.csv = true;
            ++next;
            continue;
        }
        if (next + 1 >= arguments.size())
            return EXIT_BAD_USAGE;
        const std::string& value = arguments[next + 1];
        next += 2;
        const OptionRead read = ReadStockOption(name, value, options.stock, toolCannotCut, message);
        if (read == OPTION_BAD)
            return EXIT_BAD_USAGE;
        if (read == OPTION_TAKEN)
            continue;
        if (name == "--tolerance" && !hasTolerance) {
            if (!ParseClassicDecimal(value, options.tolerance))
                return EXIT_BAD_USAGE;
            hasTolerance = true;
        } else if (name == "--png" && !options.hasPicture && !value.empty()) {
            options.picture = value;
            options.hasPicture = true;
        } else {
            return EXIT_BAD_USAGE;
        }
    }
    if (arguments.size() < next + 2)
        return EXIT_BAD_USAGE;
    options.reference = arguments[next];
    options.files.assign(arguments.begin() + static_cast<std::ptrdiff_t>(next + 1), arguments.end());
    for (const std::string& file : options.files) {
        if (file.rfind("--", 0) == 0)
            return EXIT_BAD_USAGE;
    }
    if (options.hasPicture && options.files.size() != 1)
        return EXIT_BAD_USAGE;
    if (toolCannotCut) {
        message = TOOL_DIAMETER_MESSAGE;
        return EXIT_SOME_FAILED;
    }
    if (!std::isfinite(options.tolerance) || options.tolerance < 0.0) {
        message = "tornavel-cli: the tolerance must be a number not below 0\n";
        return EXIT_SOME_FAILED;
    }
    return 0;
}

int RunCompare(const CCompareOptions& options, std::FILE* out, std::FILE* errors)
{
    return RunWithinMemory(errors, [&]() { return CompareAndWrite(options, out, errors); });
}
