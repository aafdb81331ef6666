// The CLI's explain subcommand, a reading aid for learners and teachers:
// loads one file as check does and prints every loaded word with what it
// means, one per line, in UTF-8; or, for a handout, each program line with
// the explanations of its words beneath it.
#pragma once

#include <cstdio>
#include <string>

enum ExplainLayout {
    EXPLAIN_BY_WORD, // one line per word
    EXPLAIN_BY_LINE, // "Zeile N: ..." and the line's words indented beneath
};

// Exit status 0 when the file loaded, 1 when it did not: then the words read
// before the error are printed, followed by the loader's error text.
int RunExplain(const std::string& file, ExplainLayout layout, std::FILE* out);
