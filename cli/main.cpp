// tornavel-cli: loads CNC programs and runs the panel's commands without a
// window, on the same loader and controller as the panel.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "check.h"
#include "explain.h"
#include "path.h"
#include "stock.h"
#include "trace.h"

namespace {

int Usage()
{
    std::fputs("usage: tornavel-cli check FILE|FOLDER...\n"
               "       tornavel-cli trace [--script SCRIPT] FILE\n"
               "       tornavel-cli path FILE\n"
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

int RunCommand(int argc, char** argv)
{
    const std::string command = argv[1];
    if (command == "check")
        return RunCheck(std::vector<std::string>(argv + 2, argv + argc), stdout);
    if (command == "explain")
        return argc == 3 ? RunExplain(argv[2], stdout) : Usage();
    if (command == "path") {
        if (argc != 3)
            return Usage();
        return RunPath(argv[2], stdout);
    }
    if (command == "stock") {
        CStockOptions options;
        std::string message;
        const int parsed = ParseStockOptions(std::vector<std::string>(argv + 2, argv + argc), options, message);
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
    int next = 2;
    if (std::strcmp(argv[next], "--script") == 0) {
        if (argc != 5)
            return Usage();
        script = argv[next + 1];
        next += 2;
    }
    if (argc != next + 1 || !IsValidScript(script))
        return Usage();
    return RunTrace(argv[next], script, stdout);
}

} // namespace

int main(int argc, char** argv)
{
#ifdef SIGPIPE
    // A closed pipe is a failed write to report, not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    if (argc < 3)
        return Usage();
    return FinishOutput(RunCommand(argc, argv));
}
