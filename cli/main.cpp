// tornavel-cli: loads CNC programs and runs the panel's commands without a
// window, on the same loader and controller as the panel.
#include <cstdio>
#include <string>
#include <vector>

#include "check.h"
#include "explain.h"
#include "path.h"
#include "platform.h"
#include "stock.h"
#include "tool_options.h"
#include "trace.h"

namespace {

int Usage()
{
    std::fputs("usage: tornavel-cli check FILE|FOLDER...\n"
               "       tornavel-cli trace [--script SCRIPT] FILE\n"
               "       tornavel-cli path [--table] FILE\n"
               "       tornavel-cli path --cut [--tool T=flat|ball:D]... [--default-tool SHAPE:D] FILE\n"
               "       tornavel-cli stock [--stock X0,Y0,Z0,X1,Y1,Z1] [--cell C] [--tool T=flat|ball:D]...\n"
               "                          [--default-tool SHAPE:D] [--moves N] [--trail N1,N2,...] FILE\n"
               "       tornavel-cli explain FILE   (each word and what it means, in UTF-8)\n"
               "script letters: n N r R a x l b 0 1 2 3\n",
               stderr);
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

// path --cut [--tool T=SHAPE:D]... [--default-tool SHAPE:D] FILE
int RunCutPathCommand(const std::vector<std::string>& arguments)
{
    CToolTable tools;
    int status = 0;
    std::size_t next = 2;
    for (; next + 1 < arguments.size(); next += 2) {
        if (!ParseToolOption(arguments[next], arguments[next + 1], tools, status) || status == EXIT_BAD_USAGE)
            return Usage();
    }
    if (next + 1 != arguments.size() || arguments[next].rfind("--", 0) == 0)
        return Usage();
    if (status != 0) {
        std::fputs(TOOL_DIAMETER_MESSAGE, stderr);
        return status;
    }
    return RunPath(arguments[next], PATH_CUT, stdout, tools);
}

int RunCommand(const std::vector<std::string>& arguments)
{
    const std::string& command = arguments[0];
    if (command == "check")
        return RunCheck(std::vector<std::string>(arguments.begin() + 1, arguments.end()), stdout);
    if (command == "explain")
        return arguments.size() == 2 ? RunExplain(arguments[1], stdout) : Usage();
    if (command == "path") {
        if (arguments.size() >= 3 && arguments[1] == "--cut")
            return RunCutPathCommand(arguments);
        if (arguments.size() == 3 && arguments[1] == "--table")
            return RunPath(arguments[2], PATH_FROM_TABLE, stdout);
        if (arguments.size() != 2)
            return Usage();
        return RunPath(arguments[1], PATH_FROM_BUILDER, stdout);
    }
    if (command == "stock") {
        CStockOptions options;
        std::string message;
        const int parsed =
            ParseStockOptions(std::vector<std::string>(arguments.begin() + 1, arguments.end()), options, message);
        if (parsed == EXIT_BAD_USAGE)
            return Usage();
        if (parsed != 0) {
            std::fputs(message.c_str(), stderr);
            return parsed;
        }
        return RunStock(options, stdout, stderr);
    }
    if (command != "trace")
        return Usage();
    std::string script = "N";
    std::size_t next = 1;
    if (arguments[next] == "--script") {
        if (arguments.size() != 4)
            return Usage();
        script = arguments[next + 1];
        next += 2;
    }
    if (arguments.size() != next + 1 || !IsValidScript(script))
        return Usage();
    return RunTrace(arguments[next], script, stdout);
}

} // namespace

int main(int argc, char** argv)
{
    PrepareStandardStreams();
    const std::vector<std::string> arguments = GetUtf8Arguments(argc, argv);
    if (arguments.size() < 2)
        return Usage();
    return FinishOutput(RunCommand(arguments));
}
