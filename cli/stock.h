// The CLI's stock subcommand: loads one file as check does, sweeps the tool
// along its toolpath with the workpiece the toolpath window uses, and writes
// the material left as JSON Lines: the box, the rapid moves that cut and the
// heights row by row.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "stock_box.h"
#include "tool_table.h"
#include "workpiece.h"

struct CStockOptions {
    bool hasBox = false;
    CStockBox box;
    bool hasCell = false;
    double cell = 0.0;
    CToolTable tools;
    // All moves when neither is given; the trail's last number otherwise.
    bool hasMoves = false;
    std::size_t moves = 0;
    std::vector<std::size_t> trail;
    std::string file;
};

// The options stock and compare share: --stock, --cell, --tool and
// --default-tool. OPTION_UNKNOWN leaves the options untouched; a tool that
// cannot cut sets toolResult to 1 (the first such finding stays).
enum OptionRead { OPTION_TAKEN, OPTION_UNKNOWN, OPTION_BAD };
OptionRead ReadStockOption(const std::string& name, const std::string& value, CStockOptions& options,
                           int& toolResult);
// A whole argument as one number in the classic locale.
bool ParseOptionReal(const std::string& text, double& value);
// The box (the option's, else defaultBox) and cell the options give, or
// false with a message on errors when they cannot be used.
bool ChooseGrid(const CStockOptions& options, const CStockBox& defaultBox, CWorkpiece::CSettings& settings,
                std::FILE* errors);

// Reads the arguments after "stock". Returns 0, or the exit status with a
// message for standard error: 2 for bad usage, 1 for a tool that cannot cut.
int ParseStockOptions(const std::vector<std::string>& arguments, CStockOptions& options, std::string& message);

// Exit status 0 when the stock was printed, 1 when the box or cell cannot be
// used (a message on errors).
int RunStock(const CStockOptions& options, std::FILE* out, std::FILE* errors);
