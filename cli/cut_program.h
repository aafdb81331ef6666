// One program as stock and compare cut it: loaded as check loads it, then
// the path its tools cut built into a move table. A failed load keeps the
// words read before the error, and so the path of those. Sweeping the path
// is the workpiece's.
#pragma once

#include <cstdint>
#include <string>

#include "headless_panel.h"
#include "move_table.h"
#include "tool_table.h"

class CCutProgram {
public:
    explicit CCutProgram(const std::string& file) : headless(file) {}
    CCutProgram(const CCutProgram&) = delete;
    CCutProgram& operator=(const CCutProgram&) = delete;

    // Returns the loader's result (CCncProgram::RESULT_OK and the others).
    int Load();
    // Builds the path the tools cut from the words loaded.
    void BuildCutPath(const CToolTable& tools);

    int GetResult() const { return result; }
    const CCncProgram& GetLoader() const { return headless.loader; }
    const CWordList& GetWords() const { return headless.loader.GetWordList(); }
    std::int64_t GetHeaderLines() const { return headerLines; }
    const CMoveTable& GetTable() const { return table; }
    // The message of the error the cut path ends in; empty when none.
    const std::string& GetCutError() const { return cutError; }

private:
    CHeadlessPanel headless;
    int result = 0;
    std::int64_t headerLines = 0;
    CMoveTable table;
    std::string cutError;
};
