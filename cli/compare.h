// The CLI's compare subcommand: cuts a reference program and each learner's
// program in the same box with the same cells and tools, compares the parts
// cell by cell, and writes one JSON record per learner (or a table for a
// spreadsheet), and for one learner the difference as a picture.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "stock.h"
#include "stock_comparison.h"

struct CCompareOptions {
    // Box, cell and tools; its moves, trail and file are unused.
    CStockOptions stock;
    double tolerance = CStockComparison::DEFAULT_TOLERANCE;
    bool csv = false;
    bool hasPicture = false;
    std::string picture;
    std::string reference;
    // As given: a folder stands for the files in it.
    std::vector<std::string> files;
    // Learners compared at once; 0: as many as the machine has cores.
    unsigned threads = 0;
};

// Reads the arguments after "compare". Returns 0, or the exit status with a
// message for standard error: 2 for bad usage, 1 for an option that cannot
// be used.
int ParseCompareOptions(const std::vector<std::string>& arguments, CCompareOptions& options, std::string& message);

// Exit status 0 when the comparison was printed, 1 when the reference does
// not load, the box, cell or picture cannot be used (a message on errors).
int RunCompare(const CCompareOptions& options, std::FILE* out, std::FILE* errors);
