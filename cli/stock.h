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

// Reads the arguments after "stock". Returns 0, or the exit status with a
// message for standard error: 2 for bad usage, 1 for a tool that cannot cut.
int ParseStockOptions(const std::vector<std::string>& arguments, CStockOptions& options, std::string& message);

// Exit status 0 when the stock was printed, 1 when the box or cell cannot be
// used (a message on errors).
int RunStock(const CStockOptions& options, std::FILE* out, std::FILE* errors);
