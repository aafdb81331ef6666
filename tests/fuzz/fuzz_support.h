// Shared by the fuzz targets: the input written to a program file, and the
// checks that every load and every command must pass. A failed check aborts,
// which libFuzzer reports as a finding with the input that caused it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "cnc_program.h"
#include "headless_view.h"

inline void Require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

// One file per fuzzing process, rewritten for every input.
inline const std::string& InputPath()
{
    static const std::string path = "/tmp/tornavel-fuzz-" + std::to_string(::getpid()) + ".nc";
    return path;
}

inline void WriteInput(const std::uint8_t* data, std::size_t size)
{
    std::FILE* file = std::fopen(InputPath().c_str(), "wb");
    Require(file != nullptr, "input file can be written");
    if (size > 0)
        std::fwrite(data, 1, size, file);
    std::fclose(file);
}

// Spans, listing and counters agree with the words.
inline void CheckLoad(const CCncProgram& loader, const CHeadlessView& view, int result)
{
    const std::string& listing = view.GetListing();
    const CWordList& words = loader.GetWordList();
    Require(result == 1 || result == 0, "a file that exists loads or stops at a syntax error");
    Require(static_cast<std::size_t>(loader.GetWordCount()) == words.GetCount(), "wordCount counts the words");
    std::int64_t characters = static_cast<std::int64_t>(loader.GetHeader().size());
    std::int64_t blanks = 0;
    std::int64_t lineEnds = 0;
    for (char byte : loader.GetHeader())
        lineEnds += (static_cast<unsigned char>(byte) & 0x7F) == '\r';
    for (WordPosition p = words.GetFirst(); p != CWordList::NO_POSITION; p = words.GetNext(p)) {
        const CCncWord& word = words.GetAt(p);
        const std::string& text = word.GetTextString();
        characters += static_cast<std::int64_t>(text.size());
        blanks += text.empty() || text[0] != 'N';
        lineEnds += !text.empty() && text[0] == '\r';
        std::int32_t start = 0;
        std::int32_t end = 0;
        word.GetSpan(start, end);
        Require(start >= 0 && start <= end && static_cast<std::size_t>(end) <= listing.size(), "span inside the listing");
        Require(listing.compare(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start), text) == 0,
                "listing bytes at a span are the word's text");
    }
    Require(characters == loader.GetCharCount(), "charCount is the header plus every word");
    Require(static_cast<std::int64_t>(listing.size()) == characters + blanks, "listing is header, blanks and words");
    if (result == 1)
        Require(lineEnds == loader.GetLineCount(), "lineCount counts the line ends read");
}
