// Helpers shared by the UI tests: a per-machine settings store redirected to a
// temporary folder, and program files written there.
#pragma once

#include <string>

#include <QString>
#include <QTemporaryDir>

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

// "\r\n" after every line.
std::string CrLfLines(std::initializer_list<const char*> lines);
