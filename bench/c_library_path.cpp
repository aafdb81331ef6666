#include "c_library_path.h"

#include "path_builder.h"

CPathSummary BuildTableWithCLibraryMath(const CWordList& words, std::int64_t headerLines, CMoveTable& table)
{
    return CPathBuilder(words, headerLines).BuildTable(table);
}
