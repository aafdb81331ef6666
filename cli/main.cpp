// tornavel-cli: loads CNC programs and runs the panel's commands without a
// window, on the same loader and controller as the panel.
#include <cstdio>
#include <string>
#include <vector>

#include "check.h"
#include "compare.h"
#include "explain.h"
#include "hints.h"
#include "path.h"
#include "picture.h"
#include "platform.h"
#include "stock.h"
#include "tool_options.h"
#include "trace.h"

namespace {

const char* const USAGE =
    "usage: tornavel-cli check FILE|FOLDER...\n"
    "       tornavel-cli trace [--script SCRIPT] FILE\n"
    "       tornavel-cli path [--table] FILE\n"
    "       tornavel-cli path --cut [--tool T=flat|ball:D]... [--default-tool SHAPE:D] FILE\n"
    "       tornavel-cli stock [--stock X0,Y0,Z0,X1,Y1,Z1] [--cell C] [--tool T=flat|ball:D]...\n"
    "                          [--default-tool SHAPE:D] [--moves N] [--trail N1,N2,...] [--summary] FILE\n"
    "       tornavel-cli compare [--stock X0,Y0,Z0,X1,Y1,Z1] [--cell C] [--tool T=flat|ball:D]...\n"
    "                            [--default-tool SHAPE:D] [--tolerance T] [--csv] [--png FILE]\n"
    "                            REFERENCE FILE|FOLDER...\n"
    "       tornavel-cli picture [--view oben|vorne|seite|iso] [--size WxH] [--moves N] [--stock ...]\n"
    "                            [--cell C] [--tool T=flat|ball:D]... [--default-tool SHAPE:D] FILE OUT.png\n"
    "                            (the toolpath window's workpiece and path as a PNG; without its\n"
    "                            legend, axes, scale bar, tool and current block)\n"
    "       tornavel-cli explain [--lines] FILE   (each word and what it means, in UTF-8)\n"
    "       tornavel-cli hints FILE|FOLDER...   (usual mistakes, one line each, in German)\n"
    "       tornavel-cli --help | --version\n"
    "script letters: n N r R a x l b 0 1 2 3\n"
    "A program may state its box and tools in comments: (ROHTEIL X0 Y0 Z-20 X100 Y80 Z0),\n"
    "(WERKZEUG T1 SCHAFTFRAESER D10), (WERKZEUG T2 KUGELFRAESER D6); --stock and --tool win.\n";

const char* const HELP_HINT = " (tornavel-cli --help zeigt alle Befehle)";

// One line naming what was wrong, instead of the whole usage.
int BadUsage(const std::string& what)
{
    std::fprintf(stderr, "tornavel-cli: %s\n", what.c_str());
    return EXIT_BAD_USAGE;
}

// What the subcommand printed is only worth its exit status once it has all
// reached standard output.
int FinishOutput(int exitCode)
{
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::fputs("tornavel-cli: cannot write to standard output\n", stderr);
        return EXIT_WRITE_FAILED;
    }
    return exitCode;
}

// The one FILE a command takes after its options; a message otherwise.
bool TakeFile(const std::string& command, const std::vector<std::string>& rest, std::string& file, int& exitCode)
{
    if (rest.size() == 1 && rest[0].rfind("--", 0) != 0) {
        file = rest[0];
        return true;
    }
    if (rest.empty())
        exitCode = BadUsage(command + ": keine Datei angegeben");
    else if (rest[0].rfind("--", 0) == 0)
        exitCode = BadUsage("'" + rest[0] + "' ist keine Option von " + command);
    else
        exitCode = BadUsage(command + ": nur eine Datei, nicht auch '" + rest[1] + "'");
    return false;
}

int RunStockCommand(const std::vector<std::string>& rest)
{
    CStockOptions options;
    std::string message;
    const int parsed = ParseStockOptions(rest, options, message);
    if (parsed != 0) {
        std::fputs(message.c_str(), stderr);
        return parsed;
    }
    return RunStock(options, stdout, stderr);
}

int RunCompareCommand(const std::vector<std::string>& rest)
{
    CCompareOptions options;
    std::string message;
    const int parsed = ParseCompareOptions(rest, options, message);
    if (parsed == EXIT_BAD_USAGE)
        return BadUsage(message.empty() ? std::string("compare: REFERENCE FILE... erwartet") : message);
    if (parsed != 0) {
        std::fputs(message.c_str(), stderr);
        return parsed;
    }
    return RunCompare(options, stdout, stderr);
}

int RunPictureCommand(const std::vector<std::string>& rest)
{
    CPictureOptions options;
    std::string message;
    const int parsed = ParsePictureOptions(rest, options, message);
    if (parsed != 0) {
        std::fputs(message.c_str(), stderr);
        return parsed;
    }
    return RunPicture(options, stderr);
}

int RunTraceCommand(std::vector<std::string> rest)
{
    std::string script = "N";
    if (!rest.empty() && rest[0] == "--script") {
        if (rest.size() < 2)
            return BadUsage("--script: der Wert fehlt");
        script = rest[1];
        if (!IsValidScript(script))
            return BadUsage("--script: '" + script + "' hat Buchstaben, die kein Befehl sind (n N r R a x l b 0 1 2 3)");
        rest.erase(rest.begin(), rest.begin() + 2);
    }
    std::string file;
    int exitCode = EXIT_BAD_USAGE;
    return TakeFile("trace", rest, file, exitCode) ? RunTrace(file, script, stdout) : exitCode;
}

// path --cut [--tool T=SHAPE:D]... [--default-tool SHAPE:D] FILE
int RunCutPathCommand(const std::vector<std::string>& rest)
{
    CStockChoice choice;
    int status = 0;
    std::size_t next = 0;
    for (; next < rest.size() && rest[next].rfind("--", 0) == 0; next += 2) {
        std::string message;
        if (next + 1 >= rest.size())
            return BadUsage(rest[next] + ": der Wert fehlt");
        if (!ParseToolOption(rest[next], rest[next + 1], choice.tools, status, &choice.fixedTools, &message))
            return BadUsage("'" + rest[next] + "' ist keine Option von path --cut");
        if (status == EXIT_BAD_USAGE) {
            std::fputs(message.c_str(), stderr);
            return status;
        }
    }
    std::string file;
    int exitCode = EXIT_BAD_USAGE;
    if (!TakeFile("path --cut", std::vector<std::string>(rest.begin() + static_cast<std::ptrdiff_t>(next), rest.end()),
                  file, exitCode))
        return exitCode;
    if (status != 0) {
        std::fputs(TOOL_DIAMETER_MESSAGE, stderr);
        return status;
    }
    return RunPath(file, PATH_CUT, stdout, stderr, choice);
}

int RunCommand(const std::vector<std::string>& arguments)
{
    const std::string& command = arguments[0];
    std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
    if (command == "--help" || command == "-h") {
        std::fputs(USAGE, stdout);
        return EXIT_ALL_LOADED;
    }
    if (command == "--version") {
        std::fputs("tornavel-cli " TORNAVEL_CLI_VERSION "\n", stdout);
        return EXIT_ALL_LOADED;
    }
    if (command == "check" || command == "hints") {
        if (rest.empty())
            return BadUsage(command + ": keine Datei angegeben");
        return command == "check" ? RunCheck(rest, stdout) : RunHints(rest, stdout);
    }
    if (command == "stock")
        return RunStockCommand(rest);
    if (command == "compare")
        return RunCompareCommand(rest);
    if (command == "picture")
        return RunPictureCommand(rest);
    if (command == "trace")
        return RunTraceCommand(rest);
    std::string file;
    int exitCode = EXIT_BAD_USAGE;
    if (command == "explain") {
        const bool byLine = !rest.empty() && rest[0] == "--lines";
        if (byLine)
            rest.erase(rest.begin());
        if (!TakeFile(command, rest, file, exitCode))
            return exitCode;
        return RunExplain(file, byLine ? EXPLAIN_BY_LINE : EXPLAIN_BY_WORD, stdout);
    }
    if (command == "path" && !rest.empty() && rest[0] == "--cut")
        return RunCutPathCommand(std::vector<std::string>(rest.begin() + 1, rest.end()));
    if (command == "path") {
        const bool fromTable = !rest.empty() && rest[0] == "--table";
        if (fromTable)
            rest.erase(rest.begin());
        if (!TakeFile(command, rest, file, exitCode))
            return exitCode;
        return RunPath(file, fromTable ? PATH_FROM_TABLE : PATH_FROM_BUILDER, stdout, stderr);
    }
    return BadUsage("'" + command + "' ist kein Befehl" + HELP_HINT);
}

} // namespace

int main(int argc, char** argv)
{
    PrepareStandardStreams();
    const std::vector<std::string> arguments = GetUtf8Arguments(argc, argv);
    if (arguments.empty()) {
        std::fputs(USAGE, stderr);
        return EXIT_BAD_USAGE;
    }
    return FinishOutput(RunCommand(arguments));
}
