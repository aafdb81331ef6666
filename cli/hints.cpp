#include "hints.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "check.h"
#include "headless_panel.h"
#include "platform.h"
#include "program_hints.h"
#include "trace.h"

namespace {

namespace fs = std::filesystem;

// The endings of CNC programs in a folder; other files there (notes,
// pictures) are skipped and counted.
constexpr std::string_view PROGRAM_ENDINGS[] = {".nc", ".ngc", ".cnc", ".tap", ".gcode", ".gc", ".mpf", ".spf"};

const char* const TEXT_CANT_OPEN_FOLDER = "Can't open folder.";

std::string ReadBytes(const std::string& path)
{
    std::string bytes;
    std::FILE* file = OpenFileForReading(path);
    if (file == nullptr)
        return bytes;
    char buffer[65536];
    for (std::size_t count; (count = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        bytes.append(buffer, count);
    std::fclose(file);
    return bytes;
}

class CHintWriter {
public:
    explicit CHintWriter(std::FILE* out) : out(out) {}

    void HintFile(const std::string& path);
    void HintFolder(const fs::path& folder);
    void WriteCount();
    bool AnyFound() const { return withHints > 0; }

private:
    void Write(const std::string& line) { std::fwrite(line.data(), 1, line.size(), out); }

    std::FILE* out;
    unsigned long long checked = 0;
    unsigned long long withHints = 0;
    unsigned long long skipped = 0;
};

void CHintWriter::HintFile(const std::string& path)
{
    ++checked;
    CHeadlessPanel headless(path);
    const int result = headless.loader.Load(std::string());
    if (result == CCncProgram::RESULT_OPEN_FAILED) {
        ++withHints;
        Write(path + ": " + headless.loader.GetErrorText() + '\n');
        return;
    }
    const std::string bytes = ReadBytes(path);
    const std::string errorText = headless.loader.GetErrorText();
    const std::string header = headless.loader.GetHeader();
    CHintInput input;
    input.loadResult = result;
    input.errorText = errorText;
    input.fileBytes = bytes;
    input.header = header;
    input.words = &headless.loader.GetWordList();
    const std::vector<CProgramHint> hints = FindProgramHints(input);
    if (!hints.empty())
        ++withHints;
    for (const CProgramHint& hint : hints)
        Write(path + ':' + std::to_string(hint.line) + ": " + hint.text + '\n');
}

void CHintWriter::HintFolder(const fs::path& folder)
{
    std::error_code error;
    std::vector<fs::path> files;
    fs::recursive_directory_iterator entry(folder, fs::directory_options::skip_permission_denied, error);
    for (; !error && entry != fs::recursive_directory_iterator(); entry.increment(error)) {
        if (!entry->is_directory(error))
            files.push_back(entry->path());
    }
    if (error) {
        ++checked;
        ++withHints;
        Write(Utf8FromPath(folder) + ": " + TEXT_CANT_OPEN_FOLDER + '\n');
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        if (HasProgramEnding(Utf8FromPath(file.filename())))
            HintFile(Utf8FromPath(file));
        else
            ++skipped;
    }
}

void CHintWriter::WriteCount()
{
    Write(std::to_string(checked) + " Dateien gepr\xC3\xBC" "ft, " + std::to_string(withHints) + " mit Hinweisen, " +
          std::to_string(skipped) + " \xC3\xBC" "bersprungen (keine CNC-Programme)\n");
}

} // namespace

bool HasProgramEnding(std::string_view name)
{
    for (const std::string_view ending : PROGRAM_ENDINGS) {
        if (name.size() <= ending.size())
            continue;
        const std::string_view tail = name.substr(name.size() - ending.size());
        if (std::equal(tail.begin(), tail.end(), ending.begin(), [](char a, char b) {
                return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
            }))
            return true;
    }
    return false;
}

int RunHints(const std::vector<std::string>& paths, std::FILE* out)
{
    CHintWriter writer(out);
    const bool anyFolder =
        VisitFileArguments(paths, [&](const std::string& path) { writer.HintFile(path); },
                           [&](const fs::path& folder) { writer.HintFolder(folder); });
    if (anyFolder)
        writer.WriteCount();
    return writer.AnyFound() ? EXIT_SOME_FAILED : EXIT_ALL_LOADED;
}
