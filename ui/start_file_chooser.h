// The file chooser of a panel started with a program file: the first time the
// loader asks, it answers with that file, as if the user had picked it; from
// then on the real file-open dialog answers.
#pragma once

#include <memory>
#include <string>

#include "program_host.h"

class CStartFileChooser : public IFileChooser {
public:
    // An empty startFile answers every request with the dialog. A relative
    // path is taken from the current folder, since the loader remembers full
    // paths. A null dialog means the Qt file dialog; a given one must outlive
    // this chooser.
    explicit CStartFileChooser(const std::string& startFile, IFileChooser* dialog = nullptr);

    bool ChooseFile(const std::string& initialName, std::string& chosenPath) override;
    // True until the start file has been handed out.
    bool HasStartFile() const { return !startFile.empty(); }

private:
    std::string startFile;
    std::unique_ptr<IFileChooser> ownDialog;
    IFileChooser* dialog;
};
