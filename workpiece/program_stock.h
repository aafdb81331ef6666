// The box and tools a program states for itself in comments, so that an
// exercise file is complete on its own:
//     (ROHTEIL X0 Y0 Z-20 X100 Y80 Z0)
//     (WERKZEUG T1 SCHAFTFRAESER D10)   (WERKZEUG T2 KUGELFRAESER D6)
// Also the one place that decides which box and tools a cut uses when the
// command line or the settings give some too; the stock, the comparison and
// the window all ask here.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string_view>

#include "move_table.h"
#include "stock_box.h"
#include "tool_table.h"
#include "word_list.h"

struct CProgramStock {
    bool hasBox = false;
    CStockBox box;
    std::map<std::int32_t, CTool> tools;
};

// A comment that, with a to z folded to upper case and runs of spaces read as
// one, has exactly the form above. The header's comments come before the
// words'; the last usable box counts, and for each number the last usable
// tool. An inverted box or a diameter not above 0 is ignored.
CProgramStock ReadProgramStock(const CWordList& words, std::string_view header);

// One comment's text, "(" and ")" included; false when it is not one of the
// forms or cannot be used. Only the members it states are changed.
bool ReadStockComment(std::string_view comment, CProgramStock& stock);

// Where the box of a cut came from.
enum StockBoxSource : std::uint8_t { STOCK_BOX_GIVEN, STOCK_BOX_PROGRAM, STOCK_BOX_AUTOMATIC };

// What the user chose over the program: the command line's options, or the
// window's settings. A given box wins over the program's; of the tools, the
// numbers in fixedTools win, the program's tools replace the other entries.
struct CStockChoice {
    bool hasBox = false;
    CStockBox box;
    CToolTable tools;
    std::set<std::int32_t> fixedTools;
};

// The tools a cut uses: choice.tools with the program's tools in place of
// every entry whose number is not fixed. The default tool stays the choice's.
CToolTable ChooseStockTools(const CStockChoice& choice, const CProgramStock& program);

// The box a cut uses: the given one, else the program's, else the one fitted
// to the path (table) with the chosen tools (of no use when cancel is set
// meanwhile).
CStockBox ChooseStockBox(const CStockChoice& choice, const CProgramStock& program, const CMoveTable& table,
                         const CWordList& words, const CToolTable& tools, StockBoxSource* source = nullptr,
                         const std::atomic<bool>* cancel = nullptr);
