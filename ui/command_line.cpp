#include "command_line.h"

#include <utility>

#include "display_scale.h"
#include "tornavel_version.h"

namespace {

struct OptionEntry {
    const char* name;
    CommandLineAction action;
};

constexpr OptionEntry OPTIONS[] = {
    {"--help", CL_SHOW_HELP},
    {"-h", CL_SHOW_HELP},
    {"--version", CL_SHOW_VERSION},
};

const OptionEntry* FindOption(const std::string& argument)
{
    for (const OptionEntry& option : OPTIONS) {
        if (argument == option.name)
            return &option;
    }
    return nullptr;
}

const char* const SCALE_OPTION = "--scale";

// A lone "-" is a file name: the panel reads no standard input.
bool LooksLikeOption(const std::string& argument) { return argument.size() > 1 && argument[0] == '-'; }

} // namespace

void CCommandLine::Parse(const std::vector<std::string>& arguments)
{
    action = CL_RUN_PANEL;
    startFile.clear();
    error.clear();
    scalePercent = NO_SCALE;
    bool optionsEnded = false;
    const std::string scaleWithValue = std::string(SCALE_OPTION) + "=";
    for (auto next = arguments.begin(); next != arguments.end(); ++next) {
        const std::string& argument = *next;
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && (argument == SCALE_OPTION || argument.rfind(scaleWithValue, 0) == 0)) {
            std::string percent;
            if (argument != SCALE_OPTION) {
                percent = argument.substr(scaleWithValue.size());
            } else if (++next != arguments.end()) {
                percent = *next;
            } else {
                Fail("option '--scale' needs a PERCENT");
                return;
            }
            if (!DisplayScale::ParsePercent(percent, scalePercent)) {
                Fail("the scale must be a whole PERCENT from 100 to 300, not '" + percent + "'");
                return;
            }
            continue;
        }
        if (!optionsEnded && LooksLikeOption(argument)) {
            if (const OptionEntry* option = FindOption(argument)) {
                action = option->action;
                startFile.clear();
                scalePercent = NO_SCALE;
                return;
            }
            Fail("unknown option '" + argument + "'");
            return;
        }
        if (!startFile.empty()) {
            Fail("only one FILE can be loaded at start, not '" + startFile + "' and '" + argument + "'");
            return;
        }
        if (argument.empty()) {
            Fail("the FILE name is empty");
            return;
        }
        startFile = argument;
    }
}

void CCommandLine::Fail(std::string message)
{
    action = CL_BAD_USAGE;
    startFile.clear();
    scalePercent = NO_SCALE;
    error = std::move(message);
}

int CCommandLine::Report(std::FILE* out, std::FILE* err) const
{
    switch (action) {
    case CL_SHOW_HELP:
        std::fputs(HelpText().c_str(), out);
        return EXIT_OK;
    case CL_SHOW_VERSION:
        std::fputs(VersionText().c_str(), out);
        return EXIT_OK;
    case CL_BAD_USAGE:
        std::fprintf(err, "tornavel: %s\nTry 'tornavel --help' for more information.\n", error.c_str());
        return EXIT_BAD_USAGE;
    case CL_RUN_PANEL:
        break;
    }
    return EXIT_OK;
}

std::string CCommandLine::HelpText()
{
    return "Usage: tornavel [--scale PERCENT] [FILE]\n"
           "Opens the Tornavel controller panel, a training controller for CNC programs.\n"
           "With FILE, the panel starts with that program loaded, as if it had been\n"
           "chosen with \"Laden...\".\n"
           "\n"
           "      --scale PERCENT  draw every window PERCENT (100 to 300) as large, for\n"
           "                       a projector; without it, the stored \"scale\" setting\n"
           "  -h, --help           show this help and exit\n"
           "      --version        show the version and exit\n"
           "\n"
           "Exit status: 0, or 2 when the command line is wrong.\n";
}

std::string CCommandLine::VersionText() { return std::string("tornavel ") + TORNAVEL_VERSION + "\n"; }
