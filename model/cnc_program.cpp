#include "cnc_program.h"

#include <cstdint>
#include <utility>

const char* const TEXT_CANT_OPEN_FILE = "Can't open file.";
const char* const TEXT_SYNTAX_ERROR_IN_LINE = "Syntax error in line: ";
const char* const TEXT_ERROR_READING_HEADER = "Error reading CNC header";
const char* const TEXT_FILE_TOO_LARGE = "File too large.";

namespace {

constexpr std::size_t HEADER_LIMIT = 2000;
const char* const LAST_LOADED = "lastLoaded";

bool IsCarriageReturn(unsigned char byte) { return (byte & 0x7F) == '\r'; }
bool IsLineFeed(unsigned char byte) { return (byte & 0x7F) == '\n'; }
bool IsCommentStart(unsigned char byte) { return byte == '(' || byte == ';'; }
bool IsWhiteSpace(unsigned char byte) { return byte == '\t' || byte == 11 || byte == 12 || byte == ' ' || IsLineFeed(byte); }
bool IsTrimmed(unsigned char byte) { return byte == ' ' || (byte >= '\t' && byte <= '\r'); }

unsigned char FoldCase(unsigned char byte)
{
    return (byte >= 'a' && byte <= 'z') ? static_cast<unsigned char>(byte - 'a' + 'A') : byte;
}

bool IsWordStart(unsigned char byte)
{
    switch (FoldCase(byte)) {
    case '%': case 'F': case 'G': case 'H': case 'I': case 'J': case 'K': case 'M':
    case 'N': case 'P': case 'R': case 'S': case 'T': case 'X': case 'Y': case 'Z':
        return true;
    default:
        return false;
    }
}

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
    : editor(editor), fileChooser(fileChooser), settings(settings)
{
}

CCncProgram::~CCncProgram()
{
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
    Clear();
    path = chosenPath;
    if (editor != nullptr)
        editor->RepaintOwner();
    const int opened = OpenFile(path);
    if (opened != RESULT_OK)
        return opened;
    const int result = ReadProgram();
    CloseFile();
    if (result == RESULT_OK || result == RESULT_END_OF_FILE) {
        if (editor != nullptr)
            editor->SetFocus();
        return RESULT_OK;
    }
    return result;
}

int CCncProgram::Clear()
{
    CWaitCursor wait(editor);
    if (fileOpen) {
        file.Close();
        fileOpen = false;
    }
    words.RemoveAll();
    lookahead = false;
    current = 0;
    previousFileByte = 0;
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
    std::string word;
    CWaitCursor wait(editor);
    lineCount = 0;
    const int headerResult = ReadHeader(header);
    if (headerResult != RESULT_OK && headerResult != RESULT_NO_HEADER) {
        errorText = TEXT_ERROR_READING_HEADER;
        return headerResult;
    }
    charCount = static_cast<std::int32_t>(header.size());
    wordCount = 0;
    int result = ReadWord(word);
    while (result == RESULT_OK) {
        const bool endsLine = !word.empty() && word[0] == '\r';
        const auto length = static_cast<std::int32_t>(word.size());
        CCncWord newWord;
        const int classified = newWord.SetTextAndClassify(std::move(word));
        if (classified != CCncValue::CLASSIFY_ACCEPTED) {
            errorText = TEXT_SYNTAX_ERROR_IN_LINE + std::to_string(static_cast<std::int64_t>(lineCount) + 1);
            BuildListing();
            return classified;
        }
        // The listing needs one blank per word on top of the characters.
        if (static_cast<std::int64_t>(charCount) + wordCount + length + 2 > INT32_MAX) {
            errorText = TEXT_FILE_TOO_LARGE;
            BuildListing();
            return RESULT_TOO_LARGE;
        }
        words.Append(std::move(newWord));
        if (endsLine)
            ++lineCount;
        charCount += length;
        ++wordCount;
        word.clear();
        result = ReadWord(word);
    }
    BuildListing();
    return result;
}

int CCncProgram::BuildListing()
{
    if (editor == nullptr)
        return 1;
    std::string text;
    text.reserve(static_cast<std::size_t>(wordCount) + static_cast<std::size_t>(charCount) + 1);
    text = header;
    for (WordPosition position = words.GetFirst(); position != CWordList::NO_POSITION; position = words.GetNext(position)) {
        CCncWord& word = words.GetAt(position);
        const std::string& wordText = word.GetTextString();
        // A block number starts its line at the left margin.
        if (wordText.empty() || wordText[0] != 'N')
            text += ' ';
        word.SetSpan(static_cast<std::int32_t>(text.size()));
        text += wordText;
    }
    editor->SetListingText(text.data(), text.size());
    return 1;
}

int CCncProgram::ReadChar()
{
    unsigned char byte = 0;
    const int result = file.ReadByte(byte);
    if (result != CProgramFile::READ_BYTE)
        return result;
    // Most programs written on Linux and macOS end their lines with a bare
    // line feed; read as a carriage return it ends the block as CR LF does.
    current = (byte == '\n' && previousFileByte != '\r') ? static_cast<unsigned char>('\r') : byte;
    previousFileByte = byte;
    return RESULT_OK;
}

int CCncProgram::ReadHeader(std::string& headerText)
{
    const auto startOver = [&]() {
        headerText.clear();
        lookahead = false;
        file.SeekToStart();
        previousFileByte = 0;
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

int CCncProgram::FinishWord(std::string& word, int result)
{
    std::size_t length = word.size();
    while (length > 0 && IsTrimmed(static_cast<unsigned char>(word[length - 1])))
        --length;
    word.resize(length);
    return result;
}

int CCncProgram::ReadWord(std::string& word)
{
    int collected = 0;
    for (;;) {
        if (lookahead && IsCommentStart(current)) {
            lookahead = false;
            word += static_cast<char>(current);
            for (;;) {
                const int result = ReadChar();
                if (result != RESULT_OK)
                    return FinishWord(word, result);
                word += static_cast<char>(current);
                if (current == ')' || IsCarriageReturn(current))
                    return FinishWord(word, RESULT_OK);
            }
        }
        if (lookahead) {
            lookahead = false;
        } else {
            const int result = ReadChar();
            if (result != RESULT_OK)
                return FinishWord(word, result);
            if (IsCommentStart(current)) {
                lookahead = true;
                return FinishWord(word, RESULT_OK);
            }
        }

        if (IsCarriageReturn(current)) {
            if (collected > 0) {
                lookahead = true;
                return FinishWord(word, RESULT_OK);
            }
            word.assign(1, static_cast<char>(current));
            return RESULT_OK;
        }
        if (IsWhiteSpace(current))
            continue;
        if (IsWordStart(current)) {
            if (collected > 0) {
                lookahead = true;
                return FinishWord(word, RESULT_OK);
            }
        } else if (FoldCase(current) == 'O' && collected > 0) {
            // O within a word takes the rest of the line, comments included.
            word += static_cast<char>(current);
            for (;;) {
                const int result = ReadChar();
                if (result != RESULT_OK)
                    return FinishWord(word, result);
                if (current == '\r') {
                    lookahead = true;
                    return FinishWord(word, RESULT_OK);
                }
                word += static_cast<char>(current);
            }
        }
        word += static_cast<char>(current);
        ++collected;
    }
}
