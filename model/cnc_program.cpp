#include "cnc_program.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

#include "cnc_bytes.h"
#include "platform.h"

const char* const TEXT_CANT_OPEN_FILE = "Can't open file.";
const char* const TEXT_SYNTAX_ERROR_IN_LINE = "Syntax error in line: ";
const char* const TEXT_ERROR_READING_HEADER = "Error reading CNC header";
const char* const TEXT_FILE_TOO_LARGE = "File too large.";
const char* const TEXT_ERROR_READING_FILE = "Error reading CNC file.";
const char* const TEXT_NOT_ENOUGH_MEMORY = "Not enough memory.";
const char* const SETTING_LAST_LOADED = "lastLoaded";

namespace {

constexpr std::size_t HEADER_LIMIT = 2000;
// The reader's word buffer keeps this much between loads.
constexpr std::size_t WORD_TEXT_KEPT = 64 * 1024;
const char* const LAST_LOADED = SETTING_LAST_LOADED;

constexpr bool IsCommentStart(unsigned char byte) { return byte == '(' || byte == ';'; }
constexpr bool IsWhiteSpace(unsigned char byte) { return byte == '\t' || byte == 11 || byte == 12 || byte == ' ' || IsLineFeed(byte); }
constexpr bool IsTrimmed(unsigned char byte) { return byte == ' ' || (byte >= '\t' && byte <= '\r'); }

constexpr std::array<bool, 256> MakeOrdinaryTable()
{
    std::array<bool, 256> table{};
    for (std::size_t byte = 0; byte < table.size(); ++byte) {
        const auto value = static_cast<unsigned char>(byte);
        table[byte] = !IsCarriageReturn(value) && !IsWhiteSpace(value) && !IsCommentStart(value) &&
                      !IsWordStart(value) && FoldCase(value) != 'O';
    }
    return table;
}

// Bytes that simply join the word being collected.
constexpr std::array<bool, 256> ordinaryBytes = MakeOrdinaryTable();

bool IsOrdinary(unsigned char byte) { return ordinaryBytes[byte]; }
bool IsLineEndByte(unsigned char byte) { return byte == '\r' || byte == '\n' || byte == 0x8D; }

// What a byte does to a word being collected, for the scanner that reads
// whole words straight from the file's buffer. A line feed is a class of
// its own: it is white space after a carriage return and a line end
// anywhere else.
enum ByteClass : std::uint8_t {
    BYTE_ORDINARY,
    BYTE_WHITE_SPACE,
    BYTE_LINE_FEED,
    BYTE_REST_OF_LINE,
    // From here on, the classes that end a word being collected and are
    // held over for the next.
    BYTE_WORD_START,
    BYTE_LINE_END,
    BYTE_COMMENT_START,
};

constexpr std::array<ByteClass, 256> MakeClassTable()
{
    std::array<ByteClass, 256> table{};
    for (std::size_t byte = 0; byte < table.size(); ++byte) {
        const auto value = static_cast<unsigned char>(byte);
        if (value == '\n')
            table[byte] = BYTE_LINE_FEED;
        else if (IsCarriageReturn(value))
            table[byte] = BYTE_LINE_END;
        else if (IsWhiteSpace(value))
            table[byte] = BYTE_WHITE_SPACE;
        else if (IsCommentStart(value))
            table[byte] = BYTE_COMMENT_START;
        else if (IsWordStart(value))
            table[byte] = BYTE_WORD_START;
        else if (FoldCase(value) == 'O')
            table[byte] = BYTE_REST_OF_LINE;
        else
            table[byte] = BYTE_ORDINARY;
    }
    return table;
}

constexpr std::array<ByteClass, 256> byteClasses = MakeClassTable();

// Bytes that end a comment: ")" and the line ends. A line feed inside a
// comment always ends it, as the carriage return before it would have.
constexpr std::array<bool, 256> MakeCommentEndTable()
{
    std::array<bool, 256> table{};
    table[')'] = true;
    table['\r'] = true;
    table['\n'] = true;
    table[0x8D] = true;
    return table;
}

constexpr std::array<bool, 256> commentEnds = MakeCommentEndTable();

// Shows the wait cursor for the life of the object, on every way out.
class CWaitCursor {
public:
    explicit CWaitCursor(IListingView* view) : view(view)
    {
        if (view != nullptr)
            view->BeginWaitCursor();
    }
    ~CWaitCursor()
    {
        if (view != nullptr)
            view->EndWaitCursor();
    }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

private:
    IListingView* view;
};

} // namespace

CCncProgram::CCncProgram(IListingView* editor, IFileChooser& fileChooser, ISettingsStore& settings)
    : listing(std::make_shared<std::string>()), editor(editor), fileChooser(fileChooser), settings(settings)
{
    words.Bind(listing.get());
}

CCncProgram::~CCncProgram()
{
    // The panel deletes its program view first, so the view is gone by now.
    editor = nullptr;
    Clear();
    CloseFile();
}

int CCncProgram::Load(const std::string& name)
{
    if (name.empty()) {
        const int asked = AskForFile();
        if (asked != RESULT_OK)
            return asked;
    }
    const std::string chosenPath = path;
    // A reload or the next program reuses the list's memory.
    ClearProgram(LIST_KEEP);
    path = chosenPath;
    if (editor != nullptr)
        editor->RepaintOwner();
    const int opened = OpenFile(path);
    if (opened != RESULT_OK) {
        words.RemoveAll();
        return opened;
    }
    int result = RESULT_OK;
    try {
        // The words before a syntax error stay, with their modes.
        result = ReadProgram();
    } catch (const std::bad_alloc&) {
        result = FailForMemory();
    }
    CloseFile();
    if (result == RESULT_OK || result == RESULT_END_OF_FILE) {
        if (editor != nullptr)
            editor->SetFocus();
        return RESULT_OK;
    }
    return result;
}

int CCncProgram::FailForMemory()
{
    // Give back everything this load built, so that the panel goes on with
    // the memory it had; the view shows an empty listing rather than a part
    // whose line index may not have been built.
    const std::string chosenPath = path;
    Clear();
    path = chosenPath;
    errorText = TEXT_NOT_ENOUGH_MEMORY;
    try {
        BuildListing();
    } catch (const std::bad_alloc&) {
        // An empty listing needs next to nothing; if even that fails the
        // view keeps what it showed.
    }
    return RESULT_NO_MEMORY;
}

int CCncProgram::Clear() { return ClearProgram(LIST_GIVE_BACK); }

int CCncProgram::ClearProgram(ListMemory memory)
{
    CWaitCursor wait(editor);
    if (fileOpen) {
        file.Close();
        fileOpen = false;
    }
    if (memory == LIST_KEEP)
        words.Empty();
    else
        words.RemoveAll();
    listing = std::make_shared<std::string>();
    words.Bind(listing.get());
    lookahead = false;
    current = 0;
    previousFileByte = 0;
    fileByteRead = false;
    closingLineEndRead = false;
    path.clear();
    header.clear();
    errorText.clear();
    lineCount = 0;
    charCount = 0;
    wordCount = 0;
    return 1;
}

int CCncProgram::OpenFile(const std::string& filePath)
{
    switch (file.Open(filePath)) {
    case CProgramFile::OPEN_OK:
        break;
    case CProgramFile::OPEN_TOO_LARGE:
        errorText = TEXT_FILE_TOO_LARGE;
        return RESULT_TOO_LARGE;
    case CProgramFile::OPEN_FAILED:
        errorText = TEXT_CANT_OPEN_FILE;
        return RESULT_OPEN_FAILED;
    }
    fileOpen = true;
    previousFileByte = 0;
    fileByteRead = false;
    closingLineEndRead = false;
    return RESULT_OK;
}

int CCncProgram::CloseFile()
{
    file.Close();
    fileOpen = false;
    return 1;
}

int CCncProgram::AskForFile()
{
    std::string initialName;
    settings.ReadSettingString(SETTINGS_KEY, LAST_LOADED, initialName);
    std::string chosenPath;
    if (!fileChooser.ChooseFile(initialName, chosenPath))
        return RESULT_CANCELLED;
    path = chosenPath;
    settings.WriteSettingString(SETTINGS_KEY, LAST_LOADED, path);
    return RESULT_OK;
}

int CCncProgram::ReadProgram()
{
    lookahead = false;
    CWaitCursor wait(editor);
    lineCount = 0;
    const int headerResult = ReadHeader(header);
    if (headerResult != RESULT_OK && headerResult != RESULT_NO_HEADER) {
        errorText = TEXT_ERROR_READING_HEADER;
        return headerResult;
    }
    charCount = static_cast<std::int32_t>(header.size());
    wordCount = 0;
    std::string& text = *listing;
    // The listing is the file's bytes less dropped blanks and line feeds, plus
    // one blank for most words; growing it step by step would copy it again
    // and again. Pages reserved but never written cost no memory.
    const std::uint64_t fileSize = file.GetSize();
    text.reserve(static_cast<std::size_t>(fileSize + fileSize / 4 + 16));
    AdviseHugePages(&text[0], text.capacity());
    text = header;
    words.SetSpansVisible(false);
    // A word takes seven bytes in a typical program; a list that had to grow
    // would copy itself and hold both copies for a moment. Capacity never
    // used costs no memory.
    words.Reserve(static_cast<std::size_t>(fileSize / 3 + 16));
    // The listing ends at used; its size is where it has been written up to.
    // Each growth of a string writes zeros over the new part, so the size
    // only grows, and the listing is cut to used on every way out.
    std::size_t used = text.size();
    const auto finishListing = [&]() {
        text.resize(used);
        // Past its end the listing holds zeros that the scanner wrote ahead.
        GiveBackUnusedPages(&text[0], text.size() + 1, text.capacity() + 1);
        words.GiveBackRoom();
    };
    int result = RESULT_OK;
    for (;;) {
        ScanBufferedWords(text, used);
        // The word that the buffer does not hold whole is read on its own,
        // then placed behind its blank unless it begins with "N".
        wordText.clear();
        result = ReadWordAt(wordText, 0);
        if (result != RESULT_OK)
            break;
        const std::size_t length = wordText.size();
        WordKind kind = WK_NONE;
        if (CCncValue::ClassifyKind(wordText.data(), length, kind) != CCncValue::CLASSIFY_ACCEPTED) {
            finishListing();
            errorText = TEXT_SYNTAX_ERROR_IN_LINE + std::to_string(static_cast<std::int64_t>(lineCount) + 1);
            BuildListing();
            return CCncValue::CLASSIFY_SYNTAX_ERROR;
        }
        const char first = length > 0 ? wordText[0] : '\0';
        const bool blankBefore = first != 'N';
        const std::size_t start = used + (blankBefore ? 1 : 0);
        // The listing's spans are signed 32-bit offsets.
        if (start + length > static_cast<std::size_t>(INT32_MAX) - 1) {
            finishListing();
            errorText = TEXT_FILE_TOO_LARGE;
            BuildListing();
            return RESULT_TOO_LARGE;
        }
        if (text.size() < start + length)
            text.resize(start + length);
        if (blankBefore)
            text[used] = ' ';
        wordText.copy(&text[start], length);
        used = start + length;
        words.Append(static_cast<std::uint32_t>(start), kind, blankBefore);
        if (first == '\r')
            ++lineCount;
        charCount += static_cast<std::int32_t>(length);
        ++wordCount;
    }
    finishListing();
    // A word of a long comment may have grown the buffer far: give it back.
    if (wordText.capacity() > WORD_TEXT_KEPT)
        std::string().swap(wordText);
    // A failing disk ends the load like the end of the file, with the words
    // read so far listed, but says so.
    if (result == RESULT_READ_FAILED)
        errorText = TEXT_ERROR_READING_FILE;
    BuildListing();
    return result;
}

namespace {

// Reads whole words from the file's buffer straight into the listing, by
// the rules of the careful reader: blanks between words go, a line feed
// after a carriage return is white space and any other one a line end, a
// comment runs to its ")" or the line end, O takes the rest of the line,
// and a byte that ends a word is held over to start the next.
class CBufferScanner {
public:
    // The reader's state between two words, to go back to when a word
    // cannot be taken.
    struct CMark {
        const unsigned char* in;
        char* out;
        bool held;
        unsigned char heldByte;
    };

    CBufferScanner(const unsigned char* begin, std::size_t available, char* out, bool held, unsigned char heldByte,
                   unsigned char previousFileByte)
        : begin(begin), end(begin + available), in(begin), out(out), held(held), heldByte(heldByte),
          previousFileByte(previousFileByte)
    {
    }

    CMark Mark() const { return {in, out, held, heldByte}; }
    void Restore(const CMark& mark)
    {
        in = mark.in;
        out = mark.out;
        held = mark.held;
        heldByte = mark.heldByte;
    }
    // Reads one word; false when its end is not in the buffer. word is
    // where its text begins, after the blank if it has one.
    bool ScanWord(char*& word);
    // Takes the words that make up most programs, as ScanWord and the
    // classifier would, while they stand plainly: an address letter and a
    // number run, blanks after it, and the line ends between them. They are
    // gathered in batch, starts counted from listing, and handed on by
    // take(count, lines, characters) with their count, the carriage returns
    // among them and their bytes. Stops between two words at anything else,
    // leaving it to ScanWord.
    template <class Take>
    void ScanNumberWords(const char* listing, CWordBatch& batch, Take take);

    const unsigned char* GetIn() const { return in; }
    char* GetOut() const { return out; }
    bool IsHeld() const { return held; }
    unsigned char GetHeldByte() const { return heldByte; }

private:
    bool ScanComment(char*& word);
    bool NextSignificantByte(unsigned char& byte, ByteClass& byteClass);
    void StartWord(char*& word, unsigned char byte);
    bool ScanWordRest(char* word);
    bool ScanRestOfLine(char* word);
    void HoldOver(unsigned char byte)
    {
        held = true;
        heldByte = byte;
    }
    // The file byte before a buffered one.
    unsigned char PreviousOf(const unsigned char* at) const { return at != begin ? at[-1] : previousFileByte; }
    // Copies the bytes before the first that stops the run and consumes
    // that one too; null, with nothing consumed, when the run reaches the
    // buffer's end.
    template <class Stops>
    const unsigned char* CopyRun(Stops stops);
    void TrimWord(const char* word)
    {
        while (out != word && IsTrimmed(static_cast<unsigned char>(out[-1])))
            --out;
    }

    const unsigned char* const begin;
    const unsigned char* const end;
    const unsigned char* in;
    char* out;
    bool held;
    unsigned char heldByte;
    const unsigned char previousFileByte;
};

template <class Stops>
const unsigned char* CBufferScanner::CopyRun(Stops stops)
{
    const unsigned char* stop = in;
    while (stop != end && !stops(*stop))
        ++stop;
    if (stop == end)
        return nullptr;
    std::memcpy(out, in, static_cast<std::size_t>(stop - in));
    out += stop - in;
    in = stop + 1;
    return stop;
}

bool CBufferScanner::ScanWord(char*& word)
{
    if (held && IsCommentStart(heldByte))
        return ScanComment(word);
    unsigned char byte = 0;
    ByteClass byteClass = BYTE_ORDINARY;
    if (held) {
        held = false;
        byte = heldByte;
        byteClass = byteClasses[byte];
    } else {
        if (!NextSignificantByte(byte, byteClass))
            return false;
        if (byteClass == BYTE_COMMENT_START) {
            // The empty word before a comment.
            HoldOver(byte);
            *out++ = ' ';
            word = out;
            return true;
        }
    }
    StartWord(word, byte);
    if (byteClass == BYTE_LINE_END)
        return true;
    return ScanWordRest(word);
}

template <class Take>
void CBufferScanner::ScanNumberWords(const char* listing, CWordBatch& batch, Take take)
{
    // The held byte must be the one before in, as the buffer has it: not a
    // line feed read as a carriage return, nor a byte of the buffer before.
    if (!held || in == begin || in[-1] != heldByte)
        return;
    // Words are found 64 bytes at a time; a word is copied 16 bytes at a
    // time, which may read and write past its end, and the listing has
    // room for that.
    constexpr std::ptrdiff_t SLACK = 64 + 32;
    const unsigned char* at = in - 1;
    char* to = out;
    // Whether the word before at was a line end, after which white space
    // and a line feed that completes CR LF are skipped rather than held.
    bool afterLineEnd = false;
    std::size_t count = 0;
    std::int32_t lines = 0;
    std::int32_t characters = 0;
    while (end - at >= SLACK) {
        // A block of 64 bytes holds fewer than 64 words.
        if (count > CWordBatch::CAPACITY - 64) {
            take(count, lines, characters);
            count = 0;
            lines = 0;
            characters = 0;
        }
        CByteMarks marks;
        MarkBytes(at, marks);
        const std::uint64_t runs = marks.runs;
        const std::uint64_t blanks = marks.blanks;
        // Every byte that is neither a run byte nor a blank starts a word,
        // or is something the careful scanner has to see.
        const std::uint64_t starts = ~(runs | blanks);
        // A run byte after a blank joins the word before it.
        const std::uint64_t joined = runs & (blanks << 1);
        const std::uint64_t faults = PlainRunFaults(marks);
        std::uint64_t later = starts & (starts - 1);
        unsigned start = 0;
        bool stopped = false;
        while (later != 0) {
            const unsigned next = number_run::LowestBit(later);
            later &= later - 1;
            // The bits after start and before next.
            const std::uint64_t inside = (std::uint64_t(1) << next) - (std::uint64_t(2) << start);
            const unsigned char first = at[start];
            const ByteClass firstClass = byteClasses[first];
            if (firstClass == BYTE_WORD_START) {
                const ByteClass stopClass = byteClasses[at[next]];
                if ((joined & inside) != 0 || (stopClass < BYTE_WORD_START && stopClass != BYTE_LINE_FEED)) {
                    stopped = true;
                    break;
                }
                const std::uint64_t trailing = blanks & inside;
                const unsigned length = (trailing != 0 ? number_run::LowestBit(trailing) : next) - start - 1;
                const unsigned char* const rest = at + start + 1;
                WordKind kind = WK_NONE;
                // Only run bytes and blanks lie between two starts, and no
                // run byte after a blank: the run bytes are the word's number.
                const bool plain = IsPlainRun(marks, faults, inside & runs);
                if (!CCncValue::ClassifyNumberWord(first, rest, length, plain, kind)) {
                    // A rejected word is left to ScanWord, which gives it
                    // to the careful path to report.
                    char text[64];
                    text[0] = static_cast<char>(first);
                    std::memcpy(text + 1, rest, length);
                    if (CCncValue::ClassifyKind(text, length + 1, kind) != CCncValue::CLASSIFY_ACCEPTED) {
                        stopped = true;
                        break;
                    }
                }
                const bool blankBefore = first != 'N';
                to[0] = ' ';
                char* const word = to + (blankBefore ? 1 : 0);
                word[0] = static_cast<char>(first);
                std::memcpy(word + 1, rest, 16);
                if (length > 16)
                    std::memcpy(word + 17, rest + 16, length - 16);
                to = word + 1 + length;
                batch.starts[count] = static_cast<std::uint32_t>(word - listing);
                batch.kinds[count] = static_cast<std::uint8_t>(kind);
                batch.blankBefore[count] = blankBefore;
                ++count;
                characters += static_cast<std::int32_t>(length + 1);
                afterLineEnd = false;
            } else if (firstClass == BYTE_LINE_END || firstClass == BYTE_LINE_FEED) {
                // After a line end a run byte starts a word of its own.
                if ((runs & inside) != 0) {
                    stopped = true;
                    break;
                }
                // A line feed right after a carriage return is white space;
                // any other one ends the line as a carriage return does.
                if (!(firstClass == BYTE_LINE_FEED && afterLineEnd && (at + start)[-1] == '\r')) {
                    to[0] = ' ';
                    to[1] = static_cast<char>(firstClass == BYTE_LINE_FEED ? '\r' : first);
                    batch.starts[count] = static_cast<std::uint32_t>(to + 1 - listing);
                    batch.kinds[count] = WK_END_OF_BLOCK;
                    batch.blankBefore[count] = true;
                    ++count;
                    lines += to[1] == '\r' ? 1 : 0;
                    ++characters;
                    to += 2;
                }
                afterLineEnd = true;
            } else {
                stopped = true;
                break;
            }
            start = next;
        }
        at += start;
        if (stopped || start == 0)
            break;
    }
    take(count, lines, characters);
    out = to;
    // The word at at is not taken yet. After a line end the careful scanner
    // skips to it again; after another word it holds the byte that ended
    // that word, a line feed as a carriage return.
    if (afterLineEnd) {
        held = false;
        in = at;
    } else {
        held = true;
        heldByte = byteClasses[*at] == BYTE_LINE_FEED ? static_cast<unsigned char>('\r') : *at;
        in = at + 1;
    }
}

// A comment runs to its ")" or the line end, which is held over as the
// block's end word.
bool CBufferScanner::ScanComment(char*& word)
{
    held = false;
    *out++ = ' ';
    word = out;
    *out++ = static_cast<char>(heldByte);
    const unsigned char* const stop = CopyRun([](unsigned char next) { return commentEnds[next]; });
    if (stop == nullptr)
        return false;
    if (*stop == ')') {
        *out++ = ')';
        heldByte = ')';
        return true;
    }
    HoldOver(*stop == '\n' ? static_cast<unsigned char>('\r') : *stop);
    TrimWord(word);
    return true;
}

// Skips white space, and a line feed that completes a carriage return;
// another line feed reads as a carriage return.
bool CBufferScanner::NextSignificantByte(unsigned char& byte, ByteClass& byteClass)
{
    for (;;) {
        if (in == end)
            return false;
        byte = *in;
        byteClass = byteClasses[byte];
        if (byteClass == BYTE_LINE_FEED) {
            if (PreviousOf(in) == '\r') {
                ++in;
                continue;
            }
            byte = '\r';
            byteClass = BYTE_LINE_END;
        }
        ++in;
        if (byteClass != BYTE_WHITE_SPACE)
            return true;
    }
}

// Every word but one that begins with "N" stands after a blank.
void CBufferScanner::StartWord(char*& word, unsigned char byte)
{
    heldByte = byte;
    if (byte != 'N')
        *out++ = ' ';
    word = out;
    *out++ = static_cast<char>(byte);
}

// The word's bytes up to the next word's start, blanks dropped.
bool CBufferScanner::ScanWordRest(char* word)
{
    for (;;) {
        if (end - in >= 8) {
            const std::size_t run = NumberRunLength(in);
            std::memcpy(out, in, 8);
            out += run;
            in += run;
            if (run == 8)
                continue;
        }
        if (in == end)
            return false;
        const unsigned char byte = *in++;
        // Tests in the order of how often they hold: a blank, the next
        // word's letter, other bytes of the word.
        const ByteClass byteClass = byteClasses[byte];
        if (byteClass == BYTE_WHITE_SPACE)
            continue;
        if (byteClass >= BYTE_WORD_START) {
            HoldOver(byte);
            return true;
        }
        if (byteClass == BYTE_ORDINARY) {
            *out++ = static_cast<char>(byte);
            continue;
        }
        if (byteClass == BYTE_LINE_FEED) {
            // Inside a word the byte before is never a carriage return.
            HoldOver('\r');
            return true;
        }
        *out++ = static_cast<char>(byte);
        return ScanRestOfLine(word);
    }
}

// O or o within a word: the rest of the line joins it.
bool CBufferScanner::ScanRestOfLine(char* word)
{
    if (CopyRun([](unsigned char next) { return next == '\r' || next == '\n'; }) == nullptr)
        return false;
    HoldOver('\r');
    TrimWord(word);
    return true;
}

} // namespace

void CCncProgram::ScanBufferedWords(std::string& text, std::size_t& used)
{
    std::size_t available = 0;
    const unsigned char* const begin = file.GetBufferedBytes(available);
    // The listing is reserved for the file with a little to spare; the room
    // asked for below stays within it for all but the smallest files when
    // no more than this is scanned at once.
    available = std::min(available, CProgramFile::READ_SIZE);
    // A byte read gives at most three listing bytes (the blank of the empty
    // word before a comment, the comment's blank and its "("), and a byte
    // held over from the word before two more; eight more let number runs
    // be copied eight bytes at a time, and ScanNumberWords, which copies
    // sixteen, keeps 32 bytes past its words clear of the buffer's end.
    // Near the limit of the 32-bit spans the careful path checks every
    // word.
    const std::size_t base = used;
    const std::size_t room = 3 * available + 16;
    if (available == 0 || base + room > static_cast<std::size_t>(INT32_MAX) - 1)
        return;
    if (text.size() < base + room)
        text.resize(base + room);
    char* const listingText = &text[0];
    CBufferScanner scanner(begin, available, listingText + base, lookahead, current, previousFileByte);
    // Counted here rather than in the members, which every listing byte
    // written might alias.
    std::int32_t lines = 0;
    std::int32_t characters = 0;
    std::int32_t taken = 0;
    const auto take = [&](const char* word, std::size_t length, WordKind kind, bool blankBefore) {
        words.Append(static_cast<std::uint32_t>(word - listingText), kind, blankBefore);
        lines += length > 0 && *word == '\r' ? 1 : 0;
        characters += static_cast<std::int32_t>(length);
        ++taken;
    };
    CWordBatch batch;
    const auto takeBatch = [&](std::size_t count, std::int32_t batchLines, std::int32_t batchCharacters) {
        words.Append(batch, count);
        lines += batchLines;
        characters += batchCharacters;
        taken += static_cast<std::int32_t>(count);
    };
    for (;;) {
        scanner.ScanNumberWords(listingText, batch, takeBatch);
        const CBufferScanner::CMark mark = scanner.Mark();
        char* word = nullptr;
        bool scanned = scanner.ScanWord(word);
        const std::size_t length = static_cast<std::size_t>(scanner.GetOut() - word);
        WordKind kind = WK_NONE;
        // A rejected word is left to the careful path, which reports it.
        if (scanned)
            scanned = CCncValue::ClassifyKind(word, length, kind) == CCncValue::CLASSIFY_ACCEPTED;
        if (!scanned) {
            scanner.Restore(mark);
            break;
        }
        take(word, length, kind, word != mark.out);
    }
    lineCount += lines;
    charCount += characters;
    wordCount += taken;
    const unsigned char* const in = scanner.GetIn();
    used = static_cast<std::size_t>(scanner.GetOut() - listingText);
    file.Skip(static_cast<std::size_t>(in - begin));
    lookahead = scanner.IsHeld();
    current = scanner.GetHeldByte();
    if (in != begin) {
        previousFileByte = in[-1];
        fileByteRead = true;
    }
}

int CCncProgram::BuildListing()
{
    if (editor == nullptr)
        return 1;
    words.SetSpansVisible(true);
    editor->SetListingText(std::shared_ptr<const std::string>(listing));
    return 1;
}

int CCncProgram::ReadChar()
{
    unsigned char byte = 0;
    const int result = file.ReadByte(byte);
    if (result == CProgramFile::READ_END && NeedsClosingLineEnd()) {
        // A last line without a line end is still a line: its last word and
        // its block are delivered like those of every other line.
        closingLineEndRead = true;
        current = '\r';
        return RESULT_OK;
    }
    if (result != CProgramFile::READ_BYTE)
        return result;
    fileByteRead = true;
    // Most programs written on Linux and macOS end their lines with a bare
    // line feed; read as a carriage return it ends the block as CR LF does.
    current = (byte == '\n' && previousFileByte != '\r') ? static_cast<unsigned char>('\r') : byte;
    previousFileByte = byte;
    return RESULT_OK;
}

bool CCncProgram::NeedsClosingLineEnd() const
{
    if (!fileByteRead || closingLineEndRead)
        return false;
    const unsigned char low = previousFileByte & 0x7F;
    return low != '\r' && low != '\n';
}

void CCncProgram::RewindFile()
{
    file.SeekToStart();
    previousFileByte = 0;
    fileByteRead = false;
    closingLineEndRead = false;
}

int CCncProgram::ReadHeader(std::string& headerText)
{
    const auto startOver = [&]() {
        headerText.clear();
        lookahead = false;
        RewindFile();
        lineCount = 0;
    };
    std::size_t stored = 0;
    for (;;) {
        const int result = ReadChar();
        if (result == RESULT_END_OF_FILE) {
            startOver();
            return RESULT_NO_HEADER;
        }
        if (result != RESULT_OK)
            return result;
        if (IsCarriageReturn(current))
            ++lineCount;
        if (current == '%') {
            lookahead = true;
            return RESULT_OK;
        }
        headerText += static_cast<char>(current);
        if (++stored >= HEADER_LIMIT) {
            startOver();
            return RESULT_OK;
        }
    }
}

template <class Keep>
void CCncProgram::AppendRun(std::string& buffer, Keep keep)
{
    std::size_t available = 0;
    const unsigned char* bytes = file.GetBufferedBytes(available);
    std::size_t run = 0;
    while (run < available && keep(bytes[run]))
        ++run;
    if (run == 0)
        return;
    buffer.append(reinterpret_cast<const char*>(bytes), run);
    current = bytes[run - 1];
    previousFileByte = current;
    file.Skip(run);
}

int CCncProgram::FinishWord(std::string& buffer, std::size_t base, int result)
{
    std::size_t length = buffer.size();
    while (length > base && IsTrimmed(static_cast<unsigned char>(buffer[length - 1])))
        --length;
    buffer.resize(length);
    return result;
}

int CCncProgram::ReadWord(std::string& word) { return ReadWordAt(word, word.size()); }

int CCncProgram::ReadWordAt(std::string& buffer, std::size_t base)
{
    const auto finish = [&](int result) { return FinishWord(buffer, base, result); };
    int collected = 0;
    for (;;) {
        if (lookahead && IsCommentStart(current)) {
            lookahead = false;
            buffer += static_cast<char>(current);
            for (;;) {
                AppendRun(buffer, [](unsigned char byte) { return byte != ')' && !IsLineEndByte(byte); });
                const int result = ReadChar();
                if (result != RESULT_OK)
                    return finish(result);
                // The line end is the block's, not the comment's: it follows
                // as the end-of-block word, as on a line without a comment.
                if (IsCarriageReturn(current)) {
                    lookahead = true;
                    return finish(RESULT_OK);
                }
                buffer += static_cast<char>(current);
                if (current == ')')
                    return finish(RESULT_OK);
            }
        }
        if (lookahead) {
            lookahead = false;
        } else {
            const int result = ReadChar();
            if (result != RESULT_OK)
                return finish(result);
            if (IsCommentStart(current)) {
                lookahead = true;
                return finish(RESULT_OK);
            }
        }

        if (IsCarriageReturn(current)) {
            if (collected > 0) {
                lookahead = true;
                return finish(RESULT_OK);
            }
            buffer += static_cast<char>(current);
            return RESULT_OK;
        }
        if (IsWhiteSpace(current))
            continue;
        if (IsWordStart(current)) {
            if (collected > 0) {
                lookahead = true;
                return finish(RESULT_OK);
            }
        } else if (FoldCase(current) == 'O' && collected > 0) {
            // O within a word takes the rest of the line, comments included.
            buffer += static_cast<char>(current);
            for (;;) {
                AppendRun(buffer, [](unsigned char byte) { return !IsLineEndByte(byte); });
                const int result = ReadChar();
                if (result != RESULT_OK)
                    return finish(result);
                if (current == '\r') {
                    lookahead = true;
                    return finish(RESULT_OK);
                }
                buffer += static_cast<char>(current);
            }
        }
        buffer += static_cast<char>(current);
        ++collected;
        AppendRun(buffer, IsOrdinary);
    }
}
