// Failures the system cannot be made to meet on demand: a disk that stops
// reading half way through a file, and memory that runs out during a load.
// This test program alone links with fread and ferror wrapped and with its
// own operator new, so that each failure strikes exactly where a row says.
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include <gtest/gtest.h>

#include "headless_panel.h"
#include "test_support.h"

namespace {

// fread calls still to succeed before the next fails; negative: never fail.
int readsBeforeFailure = -1;
std::FILE* failedStream = nullptr;

// Allocations larger than this fail; 0: none fail.
std::size_t allocationLimit = 0;
// Allocations of just this size fail; 0: none.
std::size_t failingSize = 0;

class CReadFailure {
public:
    explicit CReadFailure(int readsFirst) { readsBeforeFailure = readsFirst; }
    ~CReadFailure()
    {
        readsBeforeFailure = -1;
        failedStream = nullptr;
    }
    CReadFailure(const CReadFailure&) = delete;
    CReadFailure& operator=(const CReadFailure&) = delete;
};

// Sets allocationLimit or failingSize for its lifetime.
class CAllocationFailure {
public:
    CAllocationFailure(std::size_t& setting, std::size_t size) : setting(setting) { setting = size; }
    ~CAllocationFailure() { setting = 0; }
    CAllocationFailure(const CAllocationFailure&) = delete;
    CAllocationFailure& operator=(const CAllocationFailure&) = delete;

private:
    std::size_t& setting;
};

std::string ProgramOfSize(std::size_t bytes)
{
    std::string program = "Kopf\r\n%\r\n";
    while (program.size() < bytes)
        program += "G1 X1.5 Y-2\r\n";
    return program;
}

} // namespace

extern "C" {
std::size_t __real_fread(void* buffer, std::size_t size, std::size_t count, std::FILE* stream);
int __real_ferror(std::FILE* stream);

std::size_t __wrap_fread(void* buffer, std::size_t size, std::size_t count, std::FILE* stream)
{
    if (readsBeforeFailure == 0) {
        failedStream = stream;
        return 0;
    }
    if (readsBeforeFailure > 0)
        --readsBeforeFailure;
    return __real_fread(buffer, size, count, stream);
}

int __wrap_ferror(std::FILE* stream) { return stream == failedStream ? 1 : __real_ferror(stream); }
}

void* operator new(std::size_t size)
{
    if ((allocationLimit != 0 && size > allocationLimit) || (failingSize != 0 && size == failingSize))
        throw std::bad_alloc();
    if (void* memory = std::malloc(size == 0 ? 1 : size))
        return memory;
    throw std::bad_alloc();
}

// Kept out of line: inlined into a new expression's clean-up, GCC takes the
// free for one of a pointer that operator new did not get from malloc.
__attribute__((noinline)) void operator delete(void* memory) noexcept { std::free(memory); }
__attribute__((noinline)) void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace {

struct CFaultRig : CHeadlessPanel {
    explicit CFaultRig(const CTempFile& file) : CHeadlessPanel(file.GetPath()) {}
    std::string Message() const { return panel.GetControlText(IDC_MESSAGE_LINE); }
};

TEST(Faults, ReadErrors)
{
    // The reader takes 64 KiB a read: a 200 KiB program needs four reads.
    const CTempFile file(ProgramOfSize(200 * 1024));
    const struct {
        const char* name;
        int readsFirst;
        int result;
        const char* error;
        bool wordsKept;
    } cases[] = {
        {"in the header", 0, CCncProgram::RESULT_READ_FAILED, "Error reading CNC header", false},
        {"after the header", 1, CCncProgram::RESULT_READ_FAILED, "Error reading CNC file.", true},
        {"near the end", 3, CCncProgram::RESULT_READ_FAILED, "Error reading CNC file.", true},
        {"no failure", -1, CCncProgram::RESULT_OK, "", true},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        CFaultRig rig(file);
        {
            const CReadFailure failure(row.readsFirst);
            rig.cursor.OnLoad();
        }
        EXPECT_EQ(rig.cursor.GetLastLoadResult(), row.result);
        EXPECT_EQ(rig.loader.GetErrorText(), row.error);
        EXPECT_EQ(rig.Message(), row.result == CCncProgram::RESULT_OK ? std::string(59, ' ') : row.error);
        EXPECT_EQ(!rig.loader.GetWordList().IsEmpty(), row.wordsKept);
        // The words kept are listed: the view shows each at its span.
        const CWordList& words = rig.loader.GetWordList();
        for (WordPosition position = words.GetFirst(); position != CWordList::NO_POSITION;
             position = words.GetNext(position)) {
            std::int32_t start = 0;
            std::int32_t end = 0;
            words.GetSpan(position, start, end);
            ASSERT_LE(static_cast<std::size_t>(end), rig.view.GetListing().size());
            ASSERT_EQ(rig.view.GetListing().substr(start, end - start), words.GetText(position));
        }
    }
}

// A file larger than one read is read ahead in chunks of four reads of 64
// KiB; without the memory for them the load reads the file itself, to the
// same words.
TEST(Faults, ALoadWithoutMemoryToReadAheadReadsTheFileItself)
{
    const CTempFile file(ProgramOfSize(200 * 1024));
    CFaultRig rig(file);
    rig.cursor.OnLoad();
    ASSERT_EQ(rig.cursor.GetLastLoadResult(), CCncProgram::RESULT_OK);
    const std::string listing = rig.view.GetListing();
    const std::size_t words = rig.loader.GetWordList().GetCount();
    {
        const CAllocationFailure failing(failingSize, 4 * 64 * 1024);
        rig.cursor.OnLoad();
    }
    EXPECT_EQ(rig.cursor.GetLastLoadResult(), CCncProgram::RESULT_OK);
    EXPECT_EQ(rig.loader.GetWordList().GetCount(), words);
    EXPECT_TRUE(rig.view.GetListing() == listing);
}

TEST(Faults, OutOfMemoryFailsTheLoadAndKeepsThePanelWorking)
{
    const CTempFile good(CrLfLines({"N10 G0 X5 Y6", "N20 G1 Z-1", "N30 X7"}));
    const CTempFile large(ProgramOfSize(4 * 1024 * 1024));
    CFaultRig rig(good);
    rig.cursor.OnLoad();
    ASSERT_EQ(rig.cursor.GetLastLoadResult(), CCncProgram::RESULT_OK);
    rig.cursor.OnNextWord();
    rig.cursor.OnNextWord();
    rig.cursor.OnNextWord();
    ASSERT_EQ(rig.panel.GetControlText(IDC_POSITION_X), "0.0000");
    rig.cursor.OnNextWord();
    ASSERT_EQ(rig.panel.GetControlText(IDC_POSITION_X), "5.0000");

    rig.chooser.SetPath(large.GetPath());
    {
        // The listing of a 4 MiB file is reserved in one piece of 5 MiB.
        const CAllocationFailure limit(allocationLimit, 1024 * 1024);
        rig.cursor.OnLoad();
    }
    EXPECT_EQ(rig.cursor.GetLastLoadResult(), CCncProgram::RESULT_NO_MEMORY);
    EXPECT_EQ(rig.loader.GetErrorText(), "Not enough memory.");
    EXPECT_EQ(rig.Message(), "Not enough memory.");
    EXPECT_TRUE(rig.loader.GetWordList().IsEmpty());
    EXPECT_EQ(rig.view.GetListing(), "");
    // The machine state is kept, as after any failed load.
    EXPECT_EQ(rig.panel.GetControlText(IDC_POSITION_X), "5.0000");
    EXPECT_EQ(rig.panel.GetControlText(IDC_POSITION_Y), "6.0000");

    // The keys go on acting on what the list holds: nothing.
    rig.cursor.OnNextWord();
    rig.cursor.OnRunTo();
    rig.cursor.OnJumpToActual();
    rig.cursor.OnReset();
    EXPECT_EQ(rig.cursor.GetCursor(), CWordList::NO_POSITION);
    EXPECT_EQ(rig.Message(), std::string(59, ' '));

    // With the memory back, the same file loads.
    rig.cursor.OnLoad();
    EXPECT_EQ(rig.cursor.GetLastLoadResult(), CCncProgram::RESULT_OK);
    EXPECT_FALSE(rig.loader.GetWordList().IsEmpty());
}

} // namespace
