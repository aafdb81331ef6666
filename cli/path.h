// The CLI's path subcommand: loads one file as check does and writes the
// toolpath of the loaded words as JSON Lines, one record per move, from the
// builder or from the window's move table.
#pragma once

#include <cstdio>
#include <string>

enum PathSource {
    PATH_FROM_BUILDER, // the builder's exact values
    PATH_FROM_TABLE,   // read back from the move table the window draws from
};

// Exit status 0: the path is printed whatever the load gave; 1 when the file
// cannot be opened (its load record, and the message on errors).
int RunPath(const std::string& file, PathSource source, std::FILE* out, std::FILE* errors);
