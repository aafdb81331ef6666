// The path table built by the same builder and arc geometry as the
// program's, but with the C library's sine, cosine, arc tangent and
// hypotenuse: what the portable functions cost, measured side by side.
#pragma once

#include <cstdint>

#include "move_table.h"
#include "path_move.h"
#include "word_list.h"

CPathSummary BuildTableWithCLibraryMath(const CWordList& words, std::int64_t headerLines, CMoveTable& table);
