// The panel's controls, the file chooser and the settings store as the CLI
// and the tests stand them in: texts kept by control id, a chooser that
// answers with a given path, and settings kept in memory.
#pragma once

#include <map>
#include <string>

#include "panel_interfaces.h"

class CCliPanel : public IPanelControls {
public:
    CCliPanel();
    bool SetControlText(int controlId, const std::string& text) override;
    int GetRunToSelection() override { return runToSelection; }
    void SetRunToSelection(int index) override { runToSelection = index; }

    std::string GetControlText(int controlId) const;

private:
    std::map<int, std::string> texts;
    int runToSelection = -1;
};

class CFixedFileChooser : public IFileChooser {
public:
    explicit CFixedFileChooser(std::string path) : path(std::move(path)) {}
    bool ChooseFile(const std::string& initialName, std::string& chosenPath) override;

    void SetPath(std::string newPath) { path = std::move(newPath); }
    void SetCancels(bool value) { cancels = value; }
    const std::string& GetLastInitialName() const { return lastInitialName; }

private:
    std::string path;
    bool cancels = false;
    std::string lastInitialName;
};

class CMemorySettings : public ISettingsStore {
public:
    bool WriteSettingString(const std::string& keyPath, const std::string& name, const std::string& text) override;
    bool ReadSettingString(const std::string& keyPath, const std::string& name, std::string& text) override;

private:
    std::map<std::string, std::string> values;
};
