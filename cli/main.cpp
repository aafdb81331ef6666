// tornavel-cli: loads CNC programs and runs the panel's commands without a
// window, on the same loader and controller as the panel.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "path.h"
#include "trace.h"

namespace {

int Usage()
{
    std::fputs("usage: tornavel-cli check FILE...\n"
               "       tornavel-cli trace [--script SCRIPT] FILE\n"
               "       tornavel-cli path FILE\n"
               "script letters: n N r R a x l 0 1 2 3\n",
               stderr);
    return EXIT_BAD_USAGE;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return Usage();
    const std::string command = argv[1];
    if (command == "check")
        return RunCheck(std::vector<std::string>(argv + 2, argv + argc), stdout);
    if (command == "path") {
        if (argc != 3)
            return Usage();
        return RunPath(argv[2], stdout);
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
