// The CLI's one writer of JSON Lines: each subcommand builds its records
// with the json_text helpers and hands them over one by one. Records are
// gathered in a buffer of about a megabyte before they reach the stream;
// failed writes show on the stream's error flag.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

class CJsonLinesWriter {
public:
    explicit CJsonLinesWriter(std::FILE* out) : out(out) {}
    ~CJsonLinesWriter() { Flush(); }
    CJsonLinesWriter(const CJsonLinesWriter&) = delete;
    CJsonLinesWriter& operator=(const CJsonLinesWriter&) = delete;

    // Opens a record with its "event" key; the rest is appended to Text().
    std::string& BeginRecord(const char* event);
    std::string& Text() { return line; }
    void EndRecord();
    // Appends a byte string as AppendJsonBytes does, written out piece by
    // piece: the listing of a large program would otherwise stand in the
    // buffer whole, as large again as the program.
    void AppendLongBytes(std::string_view bytes);
    void Flush();

private:
    std::FILE* out;
    std::string line;
};

class CCncProgram;

// The "load" record of path and stock: the load's result, the loader's error
// text and its word and line counts.
void WriteLoadRecord(CJsonLinesWriter& writer, int result, const CCncProgram& loader);

class CHeightGrid;

// The keys "min", "max", "cell", "columns" and "rows" of a workpiece grid, as
// the stock and reference records both carry them.
void AppendGridKeys(std::string& line, const CHeightGrid& grid);
