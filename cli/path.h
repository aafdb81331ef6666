// The CLI's path subcommand: loads one file as check does and writes the
// toolpath of the loaded words as JSON Lines, one record per move.
#pragma once

#include <cstdio>
#include <string>

// Exit status 0: the path is printed whatever the load gave.
int RunPath(const std::string& file, std::FILE* out);
