#include "platform.h"

#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <locale.h>

namespace {

std::string Utf8FromWide(const wchar_t* text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return std::string();
    std::string result(static_cast<std::size_t>(size - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), size, nullptr, nullptr);
    return result;
}

UINT previousConsoleCodePage = 0;

void RestoreConsoleCodePage() { SetConsoleOutputCP(previousConsoleCodePage); }

} // namespace

std::FILE* OpenFileForReading(const std::string& path)
{
    return _wfopen(PathFromUtf8(path).c_str(), L"rb");
}

std::vector<std::string> GetUtf8Arguments(int argc, char** argv)
{
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr)
        return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
    std::vector<std::string> arguments;
    for (int index = 1; index < count; ++index)
        arguments.push_back(Utf8FromWide(wide[index]));
    LocalFree(wide);
    return arguments;
}

void PrepareStandardStreams()
{
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    // Only a console has a code page to set, and output and error share it:
    // with output redirected, the messages on a console still need UTF-8.
    // The user's console gets its own back.
    DWORD mode = 0;
    const bool outputIsConsole = GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
    const bool errorIsConsole = GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
    if (NeedsUtf8Console(outputIsConsole, errorIsConsole, GetConsoleOutputCP() == CP_UTF8)) {
        previousConsoleCodePage = GetConsoleOutputCP();
        SetConsoleOutputCP(CP_UTF8);
        std::atexit(RestoreConsoleCodePage);
    }
}

double StrtodClassic(const char* text, char** end)
{
    // Created once and never changed; it lives as long as the process.
    static const _locale_t classic = _create_locale(LC_NUMERIC, "C");
    return _strtod_l(text, end, classic);
}

bool SettingsLiveInRegistry() { return true; }

// Large pages need a privilege that a learner's account does not hold.
bool AdviseHugePages(void*, std::size_t) { return false; }

// Without huge pages, room never touched costs nothing already.
void GiveBackUnusedPages(void*, std::size_t, std::size_t) {}

std::size_t HugePageSize() { return 0; }

// The process heap is shared by every thread already.
bool ShareHeapAcrossThreads() { return false; }

#else

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <locale.h>
#include <sys/mman.h>
#include <unistd.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

std::FILE* OpenFileForReading(const std::string& path) { return std::fopen(path.c_str(), "rb"); }

std::vector<std::string> GetUtf8Arguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void PrepareStandardStreams() { std::signal(SIGPIPE, SIG_IGN); }

double StrtodClassic(const char* text, char** end)
{
    // Created once and never changed; it lives as long as the process.
    static const locale_t classic = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
    return strtod_l(text, end, classic);
}

bool SettingsLiveInRegistry() { return false; }

// The transparent huge pages of x86-64 and most other Linux systems; a
// kernel without them declines the advice.
std::size_t HugePageSize() { return std::size_t(2) << 20; }

void GiveBackUnusedPages(void* data, std::size_t used, std::size_t bytes)
{
    const auto pageSize = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    if (data == nullptr || used >= bytes || begin > UINTPTR_MAX - bytes)
        return;
    const std::uintptr_t first = (begin + used + pageSize - 1) & ~(pageSize - 1);
    const std::uintptr_t last = (begin + bytes) & ~(pageSize - 1);
    if (first < last)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
}

bool AdviseHugePages(void* data, std::size_t bytes)
{
    const std::uintptr_t pageSize = HugePageSize();
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    if (data == nullptr || bytes < pageSize || begin > UINTPTR_MAX - bytes)
        return false;
    const std::uintptr_t first = (begin + pageSize - 1) & ~(pageSize - 1);
    const std::uintptr_t last = (begin + bytes) & ~(pageSize - 1);
    if (first >= last)
        return false;
#ifdef MADV_HUGEPAGE
    return madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE) == 0;
#else
    return false;
#endif
}

bool ShareHeapAcrossThreads()
{
#if defined(__GLIBC__) && defined(M_ARENA_MAX)
    // The panel's threads allocate large blocks rather than many small ones,
    // so they seldom wait for each other on the one heap.
    return mallopt(M_ARENA_MAX, 1) == 1;
#else
    return false;
#endif
}

#endif

bool NeedsUtf8Console(bool outputIsConsole, bool errorIsConsole, bool consoleIsUtf8)
{
    return (outputIsConsole || errorIsConsole) && !consoleIsUtf8;
}

// On Windows these convert between UTF-8 and the system's UTF-16; elsewhere
// a name is its bytes, passed on unchanged.
std::filesystem::path PathFromUtf8(const std::string& path) { return std::filesystem::u8path(path); }

std::string Utf8FromPath(const std::filesystem::path& path) { return path.u8string(); }
