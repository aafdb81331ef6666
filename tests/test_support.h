// Helpers shared by the tests: program files written to a temporary folder,
// and a loader wired to a headless view.
#pragma once

#include <string>

#include "cli_panel.h"
#include "cnc_program.h"
#include "headless_view.h"

// A file that exists for the life of the object.
class CTempFile {
public:
    explicit CTempFile(const std::string& bytes);
    ~CTempFile();
    CTempFile(const CTempFile&) = delete;
    CTempFile& operator=(const CTempFile&) = delete;
    const std::string& GetPath() const { return path; }

private:
    std::string path;
};

std::string MakeTempDirectory();

// A loader with a headless view, a chooser that answers with a path, and
// settings in memory.
struct CLoaderRig {
    explicit CLoaderRig(const std::string& path = std::string()) : chooser(path), loader(&view, chooser, settings) {}
    int LoadBytes(const std::string& bytes);

    CCliPanel panel;
    CHeadlessView view{&panel};
    CFixedFileChooser chooser;
    CMemorySettings settings;
    CCncProgram loader;
};

// "\r\n" between lines and after the last: the line ends most test programs use.
std::string CrLfLines(std::initializer_list<const char*> lines);

// Switches the process to the German locale, where "," is the decimal point,
// for the life of the object. Valid() is false when the locale is missing.
class CGermanLocale {
public:
    explicit CGermanLocale(int category);
    ~CGermanLocale();
    CGermanLocale(const CGermanLocale&) = delete;
    CGermanLocale& operator=(const CGermanLocale&) = delete;
    bool Valid() const { return valid; }

private:
    int category;
    std::string saved;
    bool valid;
};

