// The CLI's path subcommand: loads one file as check does and writes the
// toolpath of the loaded words as JSON Lines, one record per move, from the
// builder or from the window's move table, as programmed or as cut.
#pragma once

#include <cstdio>
#include <string>

#include "cut_path.h"
#include "tool_table.h"

class CJsonLinesWriter;

enum PathSource {
    PATH_FROM_BUILDER, // the builder's exact values
    PATH_FROM_TABLE,   // read back from the move table the window draws from
    PATH_CUT,          // the cut path, with tools for the compensation radius
};

// Exit status 0: the path is printed whatever the load gave.
int RunPath(const std::string& file, PathSource source, std::FILE* out, const CToolTable& tools = CToolTable());

// {"event":"cut-error",...} of path --cut and stock.
void WriteCutErrorRecord(CJsonLinesWriter& writer, const CCutError& error);
