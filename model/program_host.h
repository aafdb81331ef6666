// What the loader needs from its surroundings, so that the program model
// needs no toolkit: the program view that shows the listing, the file
// chooser, and the settings store. The panel, the CLI and the tests each
// supply their own.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

class IListingView {
public:
    virtual ~IListingView() = default;
    // Replaces the whole content. The text may hold NUL bytes. The loader
    // never changes a text once handed over, so the view shares it instead
    // of copying a listing that may run to hundreds of megabytes.
    virtual void SetListingText(std::shared_ptr<const std::string> text) = 0;
    void SetListingText(const char* text, std::size_t length)
    {
        SetListingText(std::make_shared<const std::string>(text, length));
    }
    // Draws the panel that owns the view at once, before a long read.
    virtual void RepaintOwner() = 0;
    virtual void SetFocus() = 0;
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;
};

class IFileChooser {
public:
    virtual ~IFileChooser() = default;
    // Shows a file-open dialog pre-filled with initialName; true with the full
    // path when the user confirmed a file.
    virtual bool ChooseFile(const std::string& initialName, std::string& chosenPath) = 0;
};

// The per-machine settings store, by key path and value name. Every failure is
// a false result and nothing else.
class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;
    virtual bool WriteSettingString(const std::string& keyPath, const std::string& name, const std::string& text) = 0;
    // Changes text only on success.
    virtual bool ReadSettingString(const std::string& keyPath, const std::string& name, std::string& text) = 0;
};

extern const char* const SETTINGS_KEY;

// Integers are stored as their decimal text and read the way atoi reads them;
// an empty or missing value leaves value unchanged and gives false.
bool WriteSettingInt(ISettingsStore& store, const std::string& keyPath, const std::string& name, int value);
bool ReadSettingInt(ISettingsStore& store, const std::string& keyPath, const std::string& name, int& value);
