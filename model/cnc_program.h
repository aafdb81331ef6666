// The loaded CNC program: asks for a file, reads its header and words,
// classifies each word, and hands the listing text with every word's span to
// the program view. Showing the listing, choosing the file and storing the
// last choice are left to the interfaces in program_host.h.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "program_file.h"
#include "program_host.h"
#include "word_list.h"

class CCncProgram {
public:
    // Results of Load and of the reader.
    static constexpr int RESULT_OK = 1;
    static constexpr int RESULT_SYNTAX_ERROR = 0;
    static constexpr int RESULT_CANCELLED = -1;
    static constexpr int RESULT_OPEN_FAILED = -2;
    static constexpr int RESULT_END_OF_FILE = -3;
    static constexpr int RESULT_NO_HEADER = -4;
    static constexpr int RESULT_TOO_LARGE = -5;
    static constexpr int RESULT_READ_FAILED = CProgramFile::READ_FAILED;
    static constexpr int RESULT_NO_MEMORY = -7;

    // editor may be null: then no listing is built and no spans are set.
    CCncProgram(IListingView* editor, IFileChooser& fileChooser, ISettingsStore& settings);
    CCncProgram(const CCncProgram&) = delete;
    CCncProgram& operator=(const CCncProgram&) = delete;
    ~CCncProgram();

    // An empty name asks the file chooser; a non-empty one reloads the file
    // chosen last. A file over 1 GiB, or one whose listing would not fit the
    // 32-bit spans, gives RESULT_TOO_LARGE; one that does not fit in memory
    // gives RESULT_NO_MEMORY with nothing of it kept.
    int Load(const std::string& name);
    std::string GetErrorText() const { return errorText; }
    const CWordList& GetWordList() const { return words; }
    // The file chosen for the current load; empty before any.
    const std::string& GetPath() const { return path; }

    int Clear();
    int OpenFile(const std::string& filePath);
    int CloseFile();
    int AskForFile();
    int ReadProgram();
    int BuildListing();

    // The reader: one byte, the header up to the first "%", one word.
    int ReadChar();
    int ReadHeader(std::string& headerText);
    int ReadWord(std::string& word);

    const std::string& GetHeader() const { return header; }
    std::int32_t GetLineCount() const { return lineCount; }
    std::int32_t GetCharCount() const { return charCount; }
    std::int32_t GetWordCount() const { return wordCount; }

private:
    // What Clear does with the memory of the word list.
    enum ListMemory { LIST_GIVE_BACK, LIST_KEEP };

    int ClearProgram(ListMemory memory);
    // The tokenizer proper: appends the word to buffer from its end, where
    // base is; the word is buffer[base, end) afterwards.
    int ReadWordAt(std::string& buffer, std::size_t base);
    // Reads as many whole words as the file's buffer holds straight into the
    // listing and the word list, exactly as ReadWordAt and the classifier
    // would. It stops before a word whose end is not buffered or that the
    // classifier rejects, leaving the reader as after the last word taken,
    // so that ReadWordAt goes on from there.
    // text is the listing, written up to used, which moves on.
    void ScanBufferedWords(std::string& text, std::size_t& used);
    int FailForMemory();
    int FinishWord(std::string& buffer, std::size_t base, int result);
    // Appends the buffered bytes that follow while keep(byte) holds, exactly
    // as reading them one by one would; keep must refuse line ends.
    template <class Keep>
    void AppendRun(std::string& buffer, Keep keep);
    // True at the end of a file whose last byte is no line end, until the
    // one line end that closes it has been read.
    bool NeedsClosingLineEnd() const;
    void RewindFile();

    bool fileOpen = false;
    CProgramFile file;
    std::string path;
    bool lookahead = false;
    unsigned char current = 0;
    // The file byte read before current, to tell a bare line feed from the
    // second half of CR LF.
    unsigned char previousFileByte = 0;
    bool fileByteRead = false;
    bool closingLineEndRead = false;
    CWordList words;
    // The listing text, built while the words are read: the header, then each
    // word after a blank unless it begins with "N". The words are spans of it.
    // Each load starts a new one, as the view may still show the old one.
    std::shared_ptr<std::string> listing;
    // A word that the file's buffer did not hold whole, read before it goes
    // to the listing.
    std::string wordText;
    std::string header;
    std::string errorText;
    std::int32_t lineCount = 0;
    std::int32_t charCount = 0;
    std::int32_t wordCount = 0;
    IListingView* editor;
    IFileChooser& fileChooser;
    ISettingsStore& settings;
};

extern const char* const TEXT_CANT_OPEN_FILE;
// The settings value that holds the path of the program loaded last.
extern const char* const SETTING_LAST_LOADED;
extern const char* const TEXT_SYNTAX_ERROR_IN_LINE;
extern const char* const TEXT_ERROR_READING_HEADER;
extern const char* const TEXT_FILE_TOO_LARGE;
extern const char* const TEXT_ERROR_READING_FILE;
extern const char* const TEXT_NOT_ENOUGH_MEMORY;
