// The CLI's check subcommand: loads files as the panel does and says how each
// went. A folder stands for every file below it, in sorted path order, so
// that a teacher can check a whole class's folder; a closing line counts them.
#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// Exit status 0 when every file loaded, 1 when any file did not or a folder
// could not be read.
int RunCheck(const std::vector<std::string>& paths, std::FILE* out);

// Hands each argument that names a folder to onFolder and every other one to
// onFile, in order; true when any was a folder (its closing count is due).
bool VisitFileArguments(const std::vector<std::string>& paths, const std::function<void(const std::string&)>& onFile,
                        const std::function<void(const std::filesystem::path&)>& onFolder);
