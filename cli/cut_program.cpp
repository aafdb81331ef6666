#include "cut_program.h"

#include "path_builder.h"

int CCutProgram::Load()
{
    result = headless.loader.Load(std::string());
    headerLines = CPathBuilder::CountHeaderLines(headless.loader.GetHeader());
    return result;
}

void CCutProgram::BuildCutPath(const CToolTable& tools)
{
    // The radius the tools give only matters once the path is compensated;
    // until then the path as programmed is the one the tool cuts.
    static_cast<void>(tools);
    cutError.clear();
    CPathBuilder(GetWords(), headerLines).BuildTable(table);
}
