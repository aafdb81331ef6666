// The CLI's hints subcommand: the usual mistakes of each program, one German
// line per finding, "FILE:LINE: text", as the window's list shows them. A
// folder stands for the CNC programs below it (by their ending), in sorted
// path order; a closing line counts the files and those skipped.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// Whether a file's name ends like a CNC program (".nc", ".ngc", ...), case
// folded.
bool HasProgramEnding(std::string_view name);

// Exit status 0 when no file has a finding, 1 when any has or cannot be
// opened.
int RunHints(const std::vector<std::string>& paths, std::FILE* out);
