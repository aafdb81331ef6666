#include "start_file_chooser.h"

#include <filesystem>
#include <system_error>

#include "file_chooser.h"
#include "platform.h"

namespace {

std::string FullPath(const std::string& path)
{
    if (path.empty())
        return path;
    std::error_code failed;
    const std::filesystem::path full = std::filesystem::absolute(PathFromUtf8(path), failed);
    // Without a current folder the path goes on as given; the load then
    // says whether it can be opened.
    return failed ? path : Utf8FromPath(full);
}

} // namespace

CStartFileChooser::CStartFileChooser(const std::string& startFile, IFileChooser* dialog)
    : startFile(FullPath(startFile)), dialog(dialog)
{
    if (this->dialog == nullptr) {
        ownDialog = std::make_unique<CFileChooser>();
        this->dialog = ownDialog.get();
    }
}

bool CStartFileChooser::ChooseFile(const std::string& initialName, std::string& chosenPath)
{
    if (startFile.empty())
        return dialog->ChooseFile(initialName, chosenPath);
    chosenPath = startFile;
    startFile.clear();
    return true;
}
