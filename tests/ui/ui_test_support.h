// Helpers shared by the UI tests: a per-machine settings store redirected to a
// temporary folder, and program files written there.
#pragma once

#include <memory>
#include <string>

#include <QString>
#include <QTemporaryDir>

#include "cli_panel.h"
#include "test_support.h"

// While it lives, QSettings' system and user scopes (the machine's and the
// account's stores on every platform but Windows) are fresh temporary
// folders, never the real ones.
class CTemporarySettings {
public:
    CTemporarySettings();
    ~CTemporarySettings();
    CTemporarySettings(const CTemporarySettings&) = delete;
    CTemporarySettings& operator=(const CTemporarySettings&) = delete;

    // The INI file that holds SETTINGS_KEY in the machine's store.
    QString GetKeyFile() const;
    // The same in the user's store.
    QString GetUserKeyFile() const;
    // Points the machine's store at a path under a plain file, where nothing
    // can be stored, not even by root: a learner without administrator rights.
    void MakeUnwritable();
    void MakeUserUnwritable();
    // Leaves the machine's store as it is but closes it to writing, the way
    // it is closed to a learner's account: read-only folders and files, and
    // while a CLearnerAccount lives, the test runs as such an account even
    // when started by root.
    void MakeReadOnlyForLearners();

private:
    QTemporaryDir folder;
    QTemporaryDir userFolder;
};

// While it lives, files are opened with the rights of an ordinary account
// ("nobody") when the test runs as root; otherwise it changes nothing.
class CLearnerAccount {
public:
    CLearnerAccount();
    ~CLearnerAccount();
    CLearnerAccount(const CLearnerAccount&) = delete;
    CLearnerAccount& operator=(const CLearnerAccount&) = delete;

private:
    bool switched = false;
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

