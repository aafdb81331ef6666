// The CLI's stock subcommand: loads one file as check does, sweeps the tool
// along its toolpath with the workpiece the toolpath window uses, and writes
// the material left as JSON Lines: the box, the rapid moves that cut and the
// heights row by row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "program_stock.h"
#include "stock_box.h"
#include "tool_table.h"
#include "workpiece.h"

struct CStockOptions {
    bool hasBox = false;
    CStockBox box;
    bool hasCell = false;
    double cell = 0.0;
    CToolTable tools;
    // The numbers given by --tool: they win over the program's comments.
    std::set<std::int32_t> givenTools;
    // All moves when neither is given; the trail's last number otherwise.
    bool hasMoves = false;
    std::size_t moves = 0;
    std::vector<std::size_t> trail;
    std::string file;
    // A few German lines for a person instead of the records.
    bool summary = false;
};

// What the options choose over the program's own comments.
CStockChoice MakeStockChoice(const CStockOptions& options);

// The options stock and compare share: --stock, --cell, --tool and
// --default-tool. OPTION_UNKNOWN when name is none of them; OPTION_BAD with
// message naming the option and its value; a tool that cannot cut sets
// toolCannotCut.
enum OptionRead { OPTION_TAKEN, OPTION_UNKNOWN, OPTION_BAD };
OptionRead ReadStockOption(const std::string& name, const std::string& value, CStockOptions& options,
                           bool& toolCannotCut, std::string& message);
// The options of stock that take a value and draw the same workpiece
// wherever they are given: those of ReadStockOption and --moves.
bool IsStockOption(const std::string& name);
// Checks settings.box and sets the cell the options give; false with a
// message on errors when either cannot be used.
bool ChooseCell(const CStockOptions& options, CWorkpiece::CSettings& settings, std::FILE* errors);

// Reads the arguments after "stock". Returns 0, or the exit status with a
// message for standard error that names the option and its value: 2 for bad
// usage, 1 for a tool that cannot cut.
int ParseStockOptions(const std::vector<std::string>& arguments, CStockOptions& options, std::string& message);

// Exit status 0 when the stock was printed, 1 when the box or cell cannot be
// used or the file cannot be opened (a message on errors).
int RunStock(const CStockOptions& options, std::FILE* out, std::FILE* errors);
