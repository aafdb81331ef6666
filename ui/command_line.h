// The panel binary's command line: at most one program file to load at start,
// the drawing scale, --help and --version. It is read before Qt starts, so that asking for help
// or the version needs no display; what the panel does with the file is
// CControllerApp's.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

enum CommandLineAction {
    CL_RUN_PANEL,
    CL_SHOW_HELP,
    CL_SHOW_VERSION,
    CL_BAD_USAGE,
};

class CCommandLine {
public:
    static constexpr int EXIT_OK = 0;
    static constexpr int EXIT_BAD_USAGE = 2;
    static constexpr int NO_SCALE = 0;

    // The arguments after the program name. Read left to right: the first
    // --help, --version or mistake decides; "--" ends the options.
    void Parse(const std::vector<std::string>& arguments);

    CommandLineAction GetAction() const { return action; }
    // As given; empty when the panel starts without a program.
    const std::string& GetStartFile() const { return startFile; }
    // The --scale given, or NO_SCALE when the stored setting decides.
    int GetScalePercent() const { return scalePercent; }
    // The mistake in one line, for CL_BAD_USAGE.
    const std::string& GetError() const { return error; }

    // For every action but CL_RUN_PANEL: prints the help or the version to
    // out, or the mistake to err, and gives the exit status.
    int Report(std::FILE* out, std::FILE* err) const;

    static std::string HelpText();
    static std::string VersionText();

private:
    void Fail(std::string message);

    CommandLineAction action = CL_RUN_PANEL;
    std::string startFile;
    int scalePercent = NO_SCALE;
    std::string error;
};
