#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <sys/stat.h>
#include <vector>

#include <gtest/gtest.h>

#include "packed_starts.h"
#include "platform.h"
#include "program_file.h"
#include "test_support.h"

namespace {

std::vector<std::pair<std::int32_t, std::int32_t>> Spans(const CCncProgram& loader)
{
    std::vector<std::pair<std::int32_t, std::int32_t>> spans;
    const CWordList& words = loader.GetWordList();
    for (WordPosition p = words.GetFirst(); p != CWordList::NO_POSITION; p = words.GetNext(p)) {
        std::int32_t start = 0;
        std::int32_t end = 0;
        words.GetAt(p).GetSpan(start, end);
        spans.emplace_back(start, end);
    }
    return spans;
}

const std::string demoPart =
    CrLfLines({"Demo part", "%", "N10 G00 X0 Y0", "G01 X10 F100 (cut)", "N20 GOTO 10 ; loop", "M30"});

TEST(Loader, DemoPart)
{
    CLoaderRig rig;
    ASSERT_EQ(rig.LoadBytes(demoPart), 1);
    EXPECT_EQ(rig.loader.GetWordCount(), 17);
    EXPECT_EQ(rig.loader.GetCharCount(), 62);
    EXPECT_EQ(rig.loader.GetLineCount(), 6);
    EXPECT_EQ(rig.loader.GetErrorText(), "");
    const std::string listing = "Demo part\r\n % \rN10 G00 X0 Y0 \r G01 X10 F100 (cut) \rN20 GOTO 10 ; loop \r M30 \r";
    EXPECT_EQ(rig.view.GetListing(), listing);
    EXPECT_EQ(listing.size(), 77u);
    const std::vector<std::pair<std::int32_t, std::int32_t>> expected = {
        {12, 13}, {14, 15}, {15, 18}, {19, 22}, {23, 25}, {26, 28}, {29, 30}, {31, 34}, {35, 38},
        {39, 43}, {44, 49}, {50, 51}, {51, 54}, {55, 69}, {70, 71}, {72, 75}, {76, 77}};
    EXPECT_EQ(Spans(rig.loader), expected);
    // Every span addresses its word's own bytes in the listing.
    const CWordList& words = rig.loader.GetWordList();
    std::size_t index = 0;
    for (WordPosition p = words.GetFirst(); p != CWordList::NO_POSITION; p = words.GetNext(p), ++index)
        EXPECT_EQ(listing.substr(expected[index].first, expected[index].second - expected[index].first),
                  words.GetAt(p).GetTextString());
    // A load ends with the first line selected.
    EXPECT_EQ(rig.view.GetSelectionStart(), 0);
    EXPECT_EQ(rig.view.GetSelectionEnd(), 9);
}

TEST(Loader, Failures)
{
    const struct {
        const char* name;
        std::string bytes;
        int result;
        std::string error;
        std::size_t wordsKept;
        std::string listing;
    } cases[] = {
        {"empty file", "", 1, "", 0, ""},
        {"syntax error without header reports line 1", "X\r\n", 0, "Syntax error in line: 1", 0, ""},
        {"syntax error after a two-line header and the mark line",
         CrLfLines({"one", "two", "%", "X10L5"}), 0, "Syntax error in line: 4", 2, "one\r\ntwo\r\n % \r"},
        {"line after a comment is counted",
         CrLfLines({"G1", "; note", "M"}), 0, "Syntax error in line: 3", 5, " G1 \r  ; note \r"},
        {"syntax error on a last line without line end", "G1\r\nX", 0, "Syntax error in line: 2", 2, " G1 \r"},
        {"lower-case n gets a blank, upper-case N none", "n10 N20\r", 1, "", 3, " n10N20 \r"},
        {"empty word adds one blank", "(c)\r", 1, "", 3, "  (c) \r"},
        {"NUL kept in the listing", std::string("(\0)\rX1\r", 7), 1, "", 5,
         std::string("  (\0) \r X1 \r", 12)},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        CLoaderRig rig;
        EXPECT_EQ(rig.LoadBytes(row.bytes), row.result);
        EXPECT_EQ(rig.loader.GetErrorText(), row.error);
        EXPECT_EQ(rig.loader.GetWordList().GetCount(), row.wordsKept);
        EXPECT_EQ(rig.view.GetListing(), row.listing);
    }
}

TEST(Loader, OpenFailuresKeepTheOldListing)
{
    CLoaderRig rig;
    ASSERT_EQ(rig.LoadBytes("G1\r"), 1);
    const std::string directory = MakeTempDirectory();
    for (const std::string& path : {directory, directory + "/missing.nc"}) {
        SCOPED_TRACE(path);
        rig.chooser.SetPath(path);
        EXPECT_EQ(rig.loader.Load(std::string()), -2);
        EXPECT_EQ(rig.loader.GetErrorText(), "Can't open file.");
        EXPECT_TRUE(rig.loader.GetWordList().IsEmpty());
        EXPECT_EQ(rig.view.GetListing(), " G1 \r");
    }
}

TEST(Loader, CancelLeavesEverythingAsItWas)
{
    CLoaderRig rig;
    ASSERT_EQ(rig.LoadBytes("X\r"), 0);
    rig.chooser.SetCancels(true);
    EXPECT_EQ(rig.loader.Load(std::string()), -1);
    EXPECT_EQ(rig.loader.GetErrorText(), "Syntax error in line: 1");
}

TEST(Loader, RemembersTheChosenFileBeforeReadingIt)
{
    CLoaderRig rig("/no/such/file.nc");
    EXPECT_EQ(rig.loader.Load(std::string()), -2);
    std::string stored;
    ASSERT_TRUE(rig.settings.ReadSettingString(SETTINGS_KEY, "lastLoaded", stored));
    EXPECT_EQ(stored, "/no/such/file.nc");
    rig.loader.Load(std::string());
    EXPECT_EQ(rig.chooser.GetLastInitialName(), "/no/such/file.nc");
}

TEST(Loader, LoadingTwiceGivesTheSameProgram)
{
    CTempFile file(demoPart);
    CLoaderRig rig(file.GetPath());
    ASSERT_EQ(rig.loader.Load(std::string()), 1);
    const auto firstSpans = Spans(rig.loader);
    const std::string firstListing = rig.view.GetListing();
    ASSERT_EQ(rig.loader.Load(std::string()), 1);
    EXPECT_EQ(Spans(rig.loader), firstSpans);
    EXPECT_EQ(rig.view.GetListing(), firstListing);
    EXPECT_EQ(rig.loader.GetWordCount(), 17);
    EXPECT_EQ(rig.loader.GetCharCount(), 62);
}

TEST(Loader, NullViewBuildsNoSpans)
{
    CTempFile file("X5\r");
    CFixedFileChooser chooser(file.GetPath());
    CMemorySettings settings;
    CCncProgram loader(nullptr, chooser, settings);
    ASSERT_EQ(loader.Load(std::string()), 1);
    std::int32_t start = -1;
    std::int32_t end = -1;
    loader.GetWordList().GetAt(0).GetSpan(start, end);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 0);
}

} // namespace

namespace {

// A chooser that lets the chosen file vanish or shrink before the read.
class CChangingChooser : public IFileChooser {
public:
    CChangingChooser(std::string path, bool deletes) : path(std::move(path)), deletes(deletes) {}
    bool ChooseFile(const std::string&, std::string& chosenPath) override
    {
        chosenPath = path;
        if (deletes)
            std::filesystem::remove(path);
        else
            std::filesystem::resize_file(path, 3);
        return true;
    }

private:
    std::string path;
    bool deletes;
};

TEST(Loader, FilesThatAreNoProgramFiles)
{
    const std::string directory = MakeTempDirectory();
    const std::string fifo = directory + "/fifo.nc";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string huge = directory + "/huge.nc";
    {
        std::ofstream out(huge, std::ios::binary);
    }
    // Sparse: takes no disk space.
    std::filesystem::resize_file(huge, (std::uint64_t(1) << 30) + 1);

    const struct {
        const char* name;
        std::string path;
        int result;
        const char* error;
    } cases[] = {
        {"a FIFO is refused without blocking", fifo, -2, "Can't open file."},
        {"a directory", directory, -2, "Can't open file."},
        {"a file over 1 GiB", huge, -5, "File too large."},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        CLoaderRig rig(row.path);
        EXPECT_EQ(rig.loader.Load(std::string()), row.result);
        EXPECT_EQ(rig.loader.GetErrorText(), row.error);
        EXPECT_TRUE(rig.loader.GetWordList().IsEmpty());
    }
    std::filesystem::remove_all(directory);
}

TEST(Loader, FileChangedBetweenTheDialogAndTheRead)
{
    const std::string directory = MakeTempDirectory();
    const std::string path = directory + "/program.nc";
    for (bool deletes : {true, false}) {
        SCOPED_TRACE(deletes ? "deleted" : "truncated");
        {
            std::ofstream out(path, std::ios::binary);
            out << "G1\rX5\rY6\r";
        }
        CChangingChooser chooser(path, deletes);
        CMemorySettings settings;
        CHeadlessView view;
        CCncProgram loader(&view, chooser, settings);
        if (deletes) {
            EXPECT_EQ(loader.Load(std::string()), -2);
            EXPECT_EQ(loader.GetErrorText(), "Can't open file.");
        } else {
            EXPECT_EQ(loader.Load(std::string()), 1);
            EXPECT_EQ(loader.GetWordCount(), 2);
            EXPECT_EQ(view.GetListing(), " G1 \r");
        }
    }
    std::filesystem::remove_all(directory);
}

} // namespace

namespace {

// Spans, listing and counters agree with the words, whatever the file held.
void ExpectConsistent(const CLoaderRig& rig)
{
    const std::string& listing = rig.view.GetListing();
    const CWordList& words = rig.loader.GetWordList();
    ASSERT_EQ(static_cast<std::size_t>(rig.loader.GetWordCount()), words.GetCount());
    std::int64_t characters = static_cast<std::int64_t>(rig.loader.GetHeader().size());
    std::int64_t blanks = 0;
    for (WordPosition p = words.GetFirst(); p != CWordList::NO_POSITION; p = words.GetNext(p)) {
        const CCncWord word = words.GetAt(p);
        const std::string& text = word.GetTextString();
        characters += static_cast<std::int64_t>(text.size());
        blanks += text.empty() || text[0] != 'N';
        std::int32_t start = 0;
        std::int32_t end = 0;
        word.GetSpan(start, end);
        ASSERT_TRUE(start >= 0 && start <= end && static_cast<std::size_t>(end) <= listing.size());
        ASSERT_EQ(listing.compare(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start), text), 0);
    }
    EXPECT_EQ(characters, rig.loader.GetCharCount());
    EXPECT_EQ(static_cast<std::int64_t>(listing.size()), characters + blanks);
}

std::string RandomBytes(std::size_t count, unsigned seed)
{
    std::mt19937 generator(seed);
    std::string bytes(count, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(generator() & 0xFF);
    return bytes;
}

TEST(Loader, HostileFiles)
{
    std::string everyByte;
    for (int round = 0; round < 4; ++round)
        for (int byte = 0; byte < 256; ++byte)
            everyByte += static_cast<char>(byte);
    // Random bytes may load or stop at a syntax error; either way spans and
    // counters must agree.
    for (const auto& [name, bytes] : {std::pair<const char*, std::string>{"random bytes", RandomBytes(1 << 16, 7)},
                                      {"every byte value", everyByte}}) {
        SCOPED_TRACE(name);
        CLoaderRig rig;
        const int result = rig.LoadBytes(bytes);
        EXPECT_TRUE(result == 1 || result == 0) << result;
        ExpectConsistent(rig);
    }
    const struct {
        const char* name;
        std::string bytes;
        std::size_t words;
        std::int32_t lines;
    } cases[] = {
        {"NUL bytes only, closed by the end of the file", std::string(4096, '\0'), 2, 1},
        {"bytes 138 and 141 everywhere", std::string(1000, '\x8a') + std::string(1000, '\x8d'), 1000, 0},
        {"a 50 MB comment closed by the end of the file", "(" + std::string(50u << 20, 'c'), 3, 1},
        {"a 20 MB line without line end", std::string(20u << 20, '5'), 2, 1},
        {"a 20 MB line of words", [] {
             std::string line;
             while (line.size() < (20u << 20))
                 line += "G1 X1.5 Y-2 ";
             return line + "\r\n";
         }(), ((20u << 20) + 11) / 12 * 3 + 1, 1},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        CLoaderRig rig;
        EXPECT_EQ(rig.LoadBytes(row.bytes), 1);
        EXPECT_EQ(rig.loader.GetWordList().GetCount(), row.words);
        EXPECT_EQ(rig.loader.GetLineCount(), row.lines);
        ExpectConsistent(rig);
    }
}

} // namespace

namespace {

struct CReadWordByWord {
    std::vector<std::string> words;
    std::vector<WordKind> kinds;
    int result = 1;
    std::int32_t lineCount = 0;
};

// What a load must give, read the plain way: ReadWord one word at a time,
// each word classified on its own, up to the first rejected word.
CReadWordByWord ReadWordByWord(const std::string& path)
{
    CFixedFileChooser chooser(path);
    CMemorySettings settings;
    CCncProgram reader(nullptr, chooser, settings);
    CReadWordByWord read;
    EXPECT_EQ(reader.OpenFile(path), 1);
    std::string header;
    reader.ReadHeader(header);
    std::string word;
    while (reader.ReadWord(word) == 1) {
        CCncWord classified;
        if (classified.SetTextAndClassify(word) != 1) {
            read.result = 0;
            break;
        }
        read.words.push_back(word);
        read.kinds.push_back(classified.GetKind());
        if (!word.empty() && word[0] == '\r')
            ++read.lineCount;
        word.clear();
    }
    read.lineCount += reader.GetLineCount();
    reader.CloseFile();
    return read;
}

// The load reads most words straight from the file's 64 KiB buffer and
// leaves the rest, a word cut by the buffer's end above all, to ReadWord:
// both ways must give the same words, whatever stands at the cut.
TEST(Loader, BufferedWordsAreTheWordsReadOneByOne)
{
    // Words that never join the word before them into a rejected one; the
    // ones that begin with an ordinary byte stand first on their line.
    const char* const words[] = {"N10", "G01", "X-12.5", "Y.5", "Z3", "F800", "x1e2", "X 1 0", "(cut)", "(open",
                                 ";note", ";a)b", "GOTO 1 ; x", "%", "G-1", "G.5", "R", "X1E2", "T0101", "M30",
                                 "((", "g2\x8dX1", "n5",
                                 // Around the 64-byte scanner: long runs, runs that are no
                                 // plain number, blanks inside and after a word.
                                 "X-1234567.89012345", "Y123456789012345678901234567890.5", "G001", "G0", "F1,2",
                                 "N1/2", "Z5.", "x+.5", "I-.5", "H1", "P5", "X1 2", "Y2 ", "Z3  ", "T+1.2.", "%5"};
    const char* const lineStarts[] = {"L5", "A7", "o5", "))", "\xff", "7", ""};
    const char* const blanks[] = {" ", "\t", "\x0b", "\x8a", "  "};
    const char* const lineEnds[] = {"\r\n", "\r", "\n", "\n\r", "\x8d", "\r\n\n", "\x8d\n"};
    const auto pick = [](std::mt19937& generator, const auto& table) {
        return std::string(table[generator() % (sizeof table / sizeof table[0])]);
    };
    std::mt19937 generator(64);
    std::vector<std::string> programs;
    for (int program = 0; program < 40; ++program) {
        std::string bytes = program % 2 == 0 ? "Kopf\r\n%\r\n" : "";
        // Past the first buffer, so that every word meets the cut somewhere.
        const std::size_t size = (64u << 10) + generator() % (64u << 10);
        // Every fourth program has a rejected word halfway, well before
        // the buffer's end: a letter that joins a number, or a run of
        // number bytes that is no number.
        const char* const rejectedWords[] = {"X12A", "X1-2", "Y1,5", "Z1/2", "I1.2.3", "J--1"};
        bool rejectedWritten = program % 4 != 3;
        while (bytes.size() < size) {
            if (!rejectedWritten && bytes.size() > size / 2) {
                bytes += "X1 " + std::string(rejectedWords[program / 4 % 6]) + " Y2\r\n";
                rejectedWritten = true;
            }
            bytes += pick(generator, lineStarts) + std::string(1, '\0');
            for (unsigned word = generator() % 8; word > 0; --word)
                bytes += pick(generator, blanks) + pick(generator, words);
            bytes += pick(generator, lineEnds);
        }

        programs.push_back(bytes);
    }
    // A long word in every position around the cut.
    for (std::size_t shift = 0; shift < 12; ++shift)
        programs.push_back(std::string((64u << 10) - 6 + shift, 'B') + " X123.456 (abc)\r\nGOTO 1\r\n\nZ1");
    std::size_t rejected = 0;
    for (std::size_t index = 0; index < programs.size(); ++index) {
        SCOPED_TRACE("program " + std::to_string(index));
        CTempFile file(programs[index]);
        const CReadWordByWord expected = ReadWordByWord(file.GetPath());
        CLoaderRig rig(file.GetPath());
        const int result = rig.loader.Load(std::string());
        EXPECT_EQ(result, expected.result);
        rejected += result == 0;
        const CWordList& words = rig.loader.GetWordList();
        ASSERT_EQ(words.GetCount(), expected.words.size());
        for (WordPosition p = words.GetFirst(); p != CWordList::NO_POSITION; p = words.GetNext(p)) {
            ASSERT_EQ(words.GetText(p), expected.words[p]) << "word " << p;
            ASSERT_EQ(words.GetKind(p), expected.kinds[p]) << "word " << p;
        }
        if (result == 1) {
            EXPECT_EQ(rig.loader.GetLineCount(), expected.lineCount);
        }
        ExpectConsistent(rig);
    }
    // Both outcomes must have been met, or the pieces need mending.
    EXPECT_GT(rejected, 0u);
    EXPECT_LT(rejected, programs.size());
}

// The word list keeps most starts as one-byte distances within groups of
// sixteen words; a group that comments or long words spread over more than
// 255 bytes keeps whole starts. Every word must keep its text and span, and
// be found at them.
TEST(Loader, WordsKeepTheirSpansAroundLongComments)
{
    const auto words = [](int count) {
        std::string text;
        for (int word = 0; word < count; ++word)
            text += word % 3 == 2 ? "\r\n" : "X" + std::to_string(word) + " ";
        return text;
    };
    const auto comment = [](std::size_t length) { return "(" + std::string(length, 'c') + ")"; };
    // "N1", then count words of width bytes each with its blank: the last
    // of them ends at 2 + count * width.
    const auto wideWords = [](int count, std::size_t width) {
        std::string text = "N1";
        for (int word = 0; word < count; ++word)
            text += " X" + std::string(width - 2, '1');
        return text;
    };
    const struct {
        const char* name;
        std::string bytes;
    } rows[] = {
        {"a long comment as a group's second word", "N1 " + comment(70000) + words(600)},
        {"a long comment last in its group", words(254) + comment(70000) + words(300)},
        // "N1" starts the listing; "X1" starts at the comment's length plus 6.
        {"a word 65535 bytes after its group's first", "N1 " + comment(65529) + " X1" + words(300)},
        {"a word 65536 bytes after its group's first", "N1 " + comment(65530) + " X1" + words(300)},
        {"two long comments in one group, then narrow groups", words(100) + comment(70000) + words(50) +
                                                                   comment(90000) + words(700)},
        {"long comments in groups one after another", comment(70000) + words(300) + comment(70000) + words(300)},
        // "X1" starts at the comment's length plus 6, in the group of "N1".
        {"a word 255 bytes after its group's first", "N1 " + comment(249) + " X1" + words(40)},
        {"a word 256 bytes after its group's first", "N1 " + comment(250) + " X1" + words(40)},
        // "X1" is the sixteenth word, the last of the group of "N1".
        {"the last word of a group 255 bytes on", wideWords(14, 18) + " X1" + words(40)},
        {"the last word of a group 269 bytes on", wideWords(14, 19) + " X1" + words(40)},
        {"words of many digits: every group wide", wideWords(100, 24) + "\r\n" + words(10)},
        {"wide and narrow groups in turn",
         wideWords(30, 24) + "\r\n" + words(40) + wideWords(30, 24) + "\r\n" + words(40)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CTempFile file(row.bytes + "\r\nM30\r\n");
        const CReadWordByWord expected = ReadWordByWord(file.GetPath());
        CLoaderRig rig(file.GetPath());
        ASSERT_EQ(rig.loader.Load(std::string()), 1);
        const CWordList& list = rig.loader.GetWordList();
        ASSERT_EQ(list.GetCount(), expected.words.size());
        for (WordPosition p = list.GetFirst(); p != CWordList::NO_POSITION; p = list.GetNext(p)) {
            ASSERT_EQ(list.GetText(p), expected.words[p]) << "word " << p;
            std::int32_t start = 0;
            std::int32_t end = 0;
            list.GetSpan(p, start, end);
            // The empty word before a comment holds no position.
            if (end > start) {
                ASSERT_EQ(list.FindAt(start), p) << "word " << p;
                ASSERT_EQ(list.FindAt(end - 1), p) << "word " << p;
            }
        }
        ExpectConsistent(rig);
    }
}

// A file larger than one buffer is read ahead on a second thread: every byte
// comes once and in order, taken one by one and in runs of up to 1000, across
// reads, chunks and the end, after going back to the start a third of the way.
TEST(Loader, TheFileHandsOutEveryByteOnceAndInOrder)
{
    constexpr std::size_t READ = 64 * 1024;
    for (const std::size_t size : {std::size_t(1), READ, READ + 1, 4 * READ, 4 * 4 * READ + 5, 20 * READ + 3}) {
        SCOPED_TRACE(size);
        std::string bytes(size, '\0');
        for (std::size_t index = 0; index < size; ++index)
            bytes[index] = static_cast<char>(index * 131 + index / 251);
        const CTempFile file(bytes);
        CProgramFile programFile;
        ASSERT_EQ(programFile.Open(file.GetPath()), CProgramFile::OPEN_OK);
        std::string read;
        bool rewound = false;
        unsigned char byte = 0;
        while (programFile.ReadByte(byte) == CProgramFile::READ_BYTE) {
            read += static_cast<char>(byte);
            std::size_t available = 0;
            const unsigned char* const run = programFile.GetBufferedBytes(available);
            read.append(reinterpret_cast<const char*>(run), std::min<std::size_t>(available, 1000));
            programFile.Skip(std::min<std::size_t>(available, 1000));
            if (!rewound && read.size() >= size / 3) {
                ASSERT_TRUE(programFile.SeekToStart());
                read.clear();
                rewound = true;
            }
        }
        EXPECT_TRUE(read == bytes);
        EXPECT_EQ(programFile.ReadByte(byte), CProgramFile::READ_END);
    }
}

// Batches of any size keep every start, whichever way their groups fall:
// wholly within a batch or across two, narrow to the last byte or wide.
TEST(Loader, PackedStartsKeepEveryStartInBatchesOfAnySize)
{
    // Groups of sixteen, by turns: spread over 255 bytes, over 256, with a
    // gap of 70000 after their fourth start, or plain.
    std::vector<std::uint32_t> starts{0};
    for (std::size_t index = 1; index < 16 * 40 + 5; ++index) {
        const std::size_t group = index / 16;
        std::uint32_t gap = 7;
        if (index % 16 == 15 && group % 4 < 2)
            gap = 255 - 14 * 7 + static_cast<std::uint32_t>(group % 4);
        else if (index % 16 == 4 && group % 4 == 2)
            gap = 70000;
        starts.push_back(starts.back() + gap);
    }
    for (const std::size_t batchSize : {std::size_t(1), std::size_t(15), std::size_t(16), std::size_t(17),
                                        std::size_t(256)}) {
        SCOPED_TRACE(batchSize);
        CWordStarts packed;
        for (std::size_t first = 0; first < starts.size(); first += batchSize)
            packed.Append(starts.data() + first, std::min(batchSize, starts.size() - first));
        ASSERT_EQ(packed.GetCount(), starts.size());
        for (std::size_t index = 0; index < starts.size(); ++index) {
            ASSERT_EQ(packed.GetAt(index), starts[index]) << "start " << index;
            ASSERT_EQ(packed.CountUpTo(starts[index]), index + 1) << "start " << index;
        }
    }
}

} // namespace

namespace {

// What a load leaves for the panel: the listing, every word with its kind
// and span, the counters and the error.
struct CLoadedProgram {
    int result = 0;
    std::string listing;
    std::vector<std::string> texts;
    std::vector<WordKind> kinds;
    std::vector<std::pair<std::int32_t, std::int32_t>> spans;
    std::int32_t wordCount = 0;
    std::int32_t charCount = 0;
    std::int32_t lineCount = 0;
    std::string error;

    bool operator==(const CLoadedProgram& other) const
    {
        return result == other.result && listing == other.listing && texts == other.texts && kinds == other.kinds &&
               spans == other.spans && wordCount == other.wordCount && charCount == other.charCount &&
               lineCount == other.lineCount && error == other.error;
    }
};

CLoadedProgram LoadInto(CLoaderRig& rig, const std::string& path)
{
    rig.chooser.SetPath(path);
    CLoadedProgram loaded;
    loaded.result = rig.loader.Load(std::string());
    loaded.listing = rig.view.GetListing();
    const CWordList& words = rig.loader.GetWordList();
    for (WordPosition p = words.GetFirst(); p != CWordList::NO_POSITION; p = words.GetNext(p)) {
        loaded.texts.emplace_back(words.GetText(p));
        loaded.kinds.push_back(words.GetKind(p));
    }
    loaded.spans = Spans(rig.loader);
    loaded.wordCount = rig.loader.GetWordCount();
    loaded.charCount = rig.loader.GetCharCount();
    loaded.lineCount = rig.loader.GetLineCount();
    loaded.error = rig.loader.GetErrorText();
    return loaded;
}

// A program of about size bytes, of lines such as a CAM system writes.
std::string CamProgram(std::size_t size, unsigned seed)
{
    std::mt19937 generator(seed);
    std::string bytes = "(generated)\r\n%\r\n";
    for (int block = 10; bytes.size() < size; block += 10) {
        bytes += "N" + std::to_string(block) + " G0" + std::to_string(generator() % 4) + " X" +
                 std::to_string(generator() % 100000) + "." + std::to_string(generator() % 1000) + " Y-" +
                 std::to_string(generator() % 1000) + (generator() % 8 == 0 ? " (pass)" : "") + "\r\n";
    }
    return bytes;
}

// One loader loading program after program keeps the memory of its word
// list between loads; each load gives exactly what a fresh loader gives.
TEST(Loader, ReloadsGiveWhatAFreshLoaderGives)
{
    const std::map<char, std::string> programs = {
        {'B', CamProgram(300u << 10, 1)},
        {'C', CamProgram(290u << 10, 2)},
        {'s', demoPart},
        {'e', std::string()},
        {'x', CamProgram(200u << 10, 3) + "X12A\r\n"},
        {'h', CamProgram(1u << 20, 4)},
    };
    const struct {
        const char* name;
        const char* sequence;
    } cases[] = {
        {"the same program twice", "BB"},
        {"a program of about the same size", "BC"},
        {"a small program after a large one", "Bs"},
        {"a large program after a small one", "sB"},
        {"a larger program than the memory kept", "Bh"},
        {"after a syntax error", "xB"},
        {"after an empty file", "eBe"},
        {"a syntax error after a longer program", "hx"},
        {"round and round", "BCsBhBx"},
    };
    std::map<char, std::unique_ptr<CTempFile>> files;
    std::map<char, CLoadedProgram> expected;
    for (const auto& [letter, bytes] : programs) {
        files[letter] = std::make_unique<CTempFile>(bytes);
        CLoaderRig fresh;
        expected[letter] = LoadInto(fresh, files[letter]->GetPath());
    }
    EXPECT_EQ(expected['x'].result, 0);
    EXPECT_EQ(expected['h'].result, 1);
    for (const auto& row : cases) {
        CLoaderRig rig;
        for (const char* letter = row.sequence; *letter != '\0'; ++letter) {
            SCOPED_TRACE(std::string(row.name) + ", load " + std::to_string(letter - row.sequence + 1));
            EXPECT_TRUE(LoadInto(rig, files[*letter]->GetPath()) == expected[*letter]);
            ExpectConsistent(rig);
        }
    }
}

// Huge pages are asked for only where whole ones fit; the memory reads and
// writes the same whether the system took the advice or not.
TEST(Platform, HugePageAdviceOnlyForWholePages)
{
    const std::size_t page = HugePageSize();
    if (page == 0) {
        std::vector<char> memory(1u << 22, 'a');
        EXPECT_FALSE(AdviseHugePages(memory.data(), memory.size()));
        return;
    }
    // Where the system has no transparent huge pages it declines.
    const bool systemTakes = std::filesystem::exists("/sys/kernel/mm/transparent_hugepage");
    std::vector<char> memory(4 * page + 4096);
    const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(memory.data());
    char* const aligned = memory.data() + ((page - address % page) % page);
    const struct {
        const char* name;
        char* data;
        std::size_t bytes;
        bool advised;
    } cases[] = {
        {"no memory", nullptr, 2 * page, false},
        {"nothing of it", aligned, 0, false},
        {"less than a page", aligned, page - 1, false},
        {"one page long across a page boundary", aligned + 1, page, false},
        {"exactly one page", aligned, page, systemTakes},
        {"two pages and a part", aligned, 2 * page + 100, systemTakes},
        {"a whole page inside an unaligned range", aligned + 4000, 2 * page, systemTakes},
        {"a range that would wrap around the address space", aligned, SIZE_MAX, false},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        for (std::size_t index = 0; index < memory.size(); index += 4096)
            memory[index] = static_cast<char>(index / 4096);
        EXPECT_EQ(AdviseHugePages(row.data, row.bytes), row.advised);
        bool same = true;
        for (std::size_t index = 0; index < memory.size(); index += 4096)
            same = same && memory[index] == static_cast<char>(index / 4096);
        EXPECT_TRUE(same);
    }
}

// The room past a filled vector's items goes back, never an item: every byte
// up to the last item's reads as written, and the room takes new items.
TEST(Platform, GivingBackRoomKeepsEveryItem)
{
    const struct {
        const char* name;
        std::size_t items;
        std::size_t room;
    } cases[] = {
        {"no items", 0, 20000},
        {"one item", 1, 20000},
        {"items ending one byte short of a page", 4095, 20000},
        {"items ending on a page", 4096, 20000},
        {"items ending one byte into a page", 4097, 20000},
        {"room ending inside the last items' page", 9000, 9100},
        {"no room past the items", 12288, 12288},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        std::vector<std::uint8_t> items;
        items.reserve(row.room);
        for (std::size_t index = 0; index < row.items; ++index)
            items.push_back(static_cast<std::uint8_t>(index % 251 + 1));
        // Written room past the items: the scanner's zeros ahead.
        std::fill(items.data() + items.size(), items.data() + items.capacity(), std::uint8_t{0xAA});
        GiveBackRoom(items);
        bool kept = true;
        for (std::size_t index = 0; index < row.items; ++index)
            kept = kept && items[index] == index % 251 + 1;
        EXPECT_TRUE(kept);
        while (items.size() < items.capacity())
            items.push_back(7);
        EXPECT_EQ(std::count(items.begin() + static_cast<std::ptrdiff_t>(row.items), items.end(), 7),
                  static_cast<std::ptrdiff_t>(items.capacity() - row.items));
    }
}

} // namespace
