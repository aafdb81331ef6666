// The CLI's trace subcommand on the same loader and controller as the panel:
// loads one file, runs a script of panel commands, and writes JSON Lines of
// what the panel holds. The exit statuses are those of every subcommand.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

enum CliExit {
    EXIT_ALL_LOADED = 0,
    EXIT_SOME_FAILED = 1,
    EXIT_BAD_USAGE = 2,
    EXIT_WRITE_FAILED = 3,
};

// True when every letter of the script names a command.
bool IsValidScript(const std::string& script);

// The script must be valid.
int RunTrace(const std::string& file, const std::string& script, std::FILE* out);
