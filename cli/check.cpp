#include "check.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "headless_panel.h"
#include "platform.h"
#include "trace.h"

namespace {

namespace fs = std::filesystem;

// In the loader's words, for a folder.
const char* const TEXT_CANT_OPEN_FOLDER = "Can't open folder.";

class CChecker {
public:
    explicit CChecker(std::FILE* out) : out(out) {}

    // Anything but a folder goes to the loader, which opens regular files
    // only and reports everything else (a FIFO, a dangling link) at once.
    void CheckFile(const std::string& path);
    void CheckFolder(const fs::path& folder);
    void WriteCount();
    bool AnyFailed() const { return failed > 0; }

private:
    void WalkFolder(const fs::path& folder);
    void Report(const std::string& path, const std::string& outcome);

    std::FILE* out;
    // The real paths of the folders being walked: a linked folder that leads
    // back to one of them is already being checked and is not entered again.
    std::vector<fs::path> openFolders;
    unsigned long long loaded = 0;
    unsigned long long failed = 0;
};

void CChecker::Report(const std::string& path, const std::string& outcome)
{
    const std::string line = path + ": " + outcome + '\n';
    std::fwrite(line.data(), 1, line.size(), out);
}

void CChecker::CheckFile(const std::string& path)
{
    CHeadlessPanel headless(path);
    if (headless.loader.Load(std::string()) == CCncProgram::RESULT_OK) {
        ++loaded;
        Report(path, "OK (" + std::to_string(headless.loader.GetWordCount()) + " words, " +
                         std::to_string(headless.loader.GetLineCount()) + " lines)");
    } else {
        ++failed;
        Report(path, headless.loader.GetErrorText());
    }
}

void CChecker::CheckFolder(const fs::path& folder)
{
    std::error_code error;
    const fs::path real = fs::canonical(folder, error);
    if (error) {
        ++failed;
        Report(Utf8FromPath(folder), TEXT_CANT_OPEN_FOLDER);
        return;
    }
    if (std::find(openFolders.begin(), openFolders.end(), real) != openFolders.end())
        return;
    openFolders.push_back(real);
    WalkFolder(folder);
    openFolders.pop_back();
}

void CChecker::WalkFolder(const fs::path& folder)
{
    std::error_code error;
    std::vector<fs::path> entries;
    for (fs::directory_iterator entry(folder, error); !error && entry != fs::directory_iterator();
         entry.increment(error))
        entries.push_back(entry->path());
    if (error) {
        ++failed;
        Report(Utf8FromPath(folder), TEXT_CANT_OPEN_FOLDER);
        return;
    }
    // Sorting each folder's entries and walking them in turn gives the
    // files in the order of their whole paths, compared name by name.
    std::sort(entries.begin(), entries.end());
    for (const fs::path& entry : entries) {
        if (fs::is_directory(entry, error))
            CheckFolder(entry);
        else
            CheckFile(Utf8FromPath(entry));
    }
}

void CChecker::WriteCount()
{
    const std::string line = std::to_string(loaded + failed) + " files: " + std::to_string(loaded) + " loaded, " +
                             std::to_string(failed) + " failed\n";
    std::fwrite(line.data(), 1, line.size(), out);
}

} // namespace

bool VisitFileArguments(const std::vector<std::string>& paths, const std::function<void(const std::string&)>& onFile,
                        const std::function<void(const fs::path&)>& onFolder)
{
    bool anyFolder = false;
    for (const std::string& path : paths) {
        std::error_code error;
        const fs::path systemPath = PathFromUtf8(path);
        if (fs::is_directory(systemPath, error)) {
            anyFolder = true;
            onFolder(systemPath);
        } else {
            onFile(path);
        }
    }
    return anyFolder;
}

int RunCheck(const std::vector<std::string>& paths, std::FILE* out)
{
    CChecker checker(out);
    const bool anyFolder =
        VisitFileArguments(paths, [&](const std::string& path) { checker.CheckFile(path); },
                           [&](const fs::path& folder) { checker.CheckFolder(folder); });
    if (anyFolder)
        checker.WriteCount();
    return checker.AnyFailed() ? EXIT_SOME_FAILED : EXIT_ALL_LOADED;
}
