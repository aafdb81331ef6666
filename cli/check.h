// The CLI's check subcommand: loads files as the panel does and says how each
// went. A folder stands for every file below it, in sorted path order, so
// that a teacher can check a whole class's folder; a closing line counts them.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// Exit status 0 when every file loaded, 1 when any file did not or a folder
// could not be read.
int RunCheck(const std::vector<std::string>& paths, std::FILE* out);
