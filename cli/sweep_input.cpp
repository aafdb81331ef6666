#include "sweep_input.h"

#include <new>
#include <stdexcept>

#include "cnc_program.h"
#include "path_builder.h"
#include "trace.h"

void LoadSweepInput(CSweepInput& input, const CStockChoice& choice)
{
    input.loadResult = input.headless.loader.Load(std::string());
    const CWordList& words = input.headless.loader.GetWordList();
    input.headerLines = CPathBuilder::CountHeaderLines(input.headless.loader.GetHeader());
    input.program = ReadProgramStock(words, input.headless.loader.GetHeader());
    input.tools = ChooseStockTools(choice, input.program);
    input.cut = CCutPathBuilder(words, input.headerLines, input.tools).BuildTable(input.table);
}

int RunWithinMemory(std::FILE* errors, const std::function<int()>& run)
{
    try {
        return run();
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
        // A reserve beyond what a vector can hold fails the same way.
    }
    std::fprintf(errors, "tornavel-cli: %s\n", TEXT_NOT_ENOUGH_MEMORY);
    return EXIT_SOME_FAILED;
}
