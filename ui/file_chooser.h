// The loader's file-open dialog on QFileDialog. Paths travel as UTF-8 on every
// system (model/platform.h), so the loader opens what was chosen.
#pragma once

#include "program_host.h"

class CFileChooser : public IFileChooser {
public:
    bool ChooseFile(const std::string& initialName, std::string& chosenPath) override;
};
