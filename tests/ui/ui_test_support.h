// Helpers shared by the UI tests: a per-machine settings store redirected to a
// temporary folder, and program files written there.
#pragma once

#include <memory>
#include <string>

#include <QString>
#include <QTemporaryDir>

#include "cli_panel.h"
#include "test_support.h"

// While it lives, QSettings' system scope (the per-machine store on every
// platform but Windows) is a fresh temporary folder, never the machine's.
class CTemporarySettings {
public:
    CTemporarySettings();
    ~CTemporarySettings();
    CTemporarySettings(const CTemporarySettings&) = delete;
    CTemporarySettings& operator=(const CTemporarySettings&) = delete;

    // The INI file that holds SETTINGS_KEY.
    QString GetKeyFile() const;
    // Points the store at a path under a plain file, where nothing can be stored.
    void MakeUnwritable();

private:
    QTemporaryDir folder;
};

// A folder of program files that lives as long as the object.
class CProgramFolder {
public:
    // Returns the file's path as the loader takes it.
    std::string Write(const QString& name, const std::string& bytes);

private:
    QTemporaryDir folder;
};

class CControllerDlg;
class QPushButton;

// Opens the real panel with a file chooser that answers with programs the
// test writes, and reads what its controls show.
class CPanelDriver {
public:
    std::unique_ptr<CControllerDlg> OpenPanel();
    // Writes the program and loads it through "&Laden...".
    void Load(CControllerDlg& panel, const std::string& bytes);
    static QString Text(CControllerDlg& panel, int controlId);
    static QPushButton* Button(CControllerDlg& panel, int controlId);

protected:
    CProgramFolder programs;
    CFixedFileChooser chooser{std::string()};

private:
    int programCount = 0;
};

