#include "sweep_input.h"

#include "path_builder.h"

void LoadSweepInput(CSweepInput& input, const CToolTable& tools)
{
    input.loadResult = input.headless.loader.Load(std::string());
    const CWordList& words = input.headless.loader.GetWordList();
    input.headerLines = CPathBuilder::CountHeaderLines(input.headless.loader.GetHeader());
    input.tools = tools;
    input.cut = CCutPathBuilder(words, input.headerLines, input.tools).BuildTable(input.table);
}
