// What differs between the systems Tornavel runs on (Linux and Windows) is
// decided here and nowhere else: how a file name reaches the system, how the
// command line reaches the program, what standard output needs before its
// first byte, how a number is read in the classic locale, where the
// per-machine settings live, and how large fresh memory is asked for.
#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

// File names are UTF-8 throughout the program. Windows reads a narrow name in
// its ANSI code page, so every name goes to the system through these two.
std::filesystem::path PathFromUtf8(const std::string& path);
std::string Utf8FromPath(const std::filesystem::path& path);
// std::fopen(path, "rb") for a UTF-8 path; null when it cannot be opened.
std::FILE* OpenFileForReading(const std::string& path);

// The arguments after the program's name, in UTF-8 (argv holds the ANSI code
// page on Windows, where a name outside it would be lost).
std::vector<std::string> GetUtf8Arguments(int argc, char** argv);

// Standard output and error carry exactly the bytes written: "\n" stays one
// byte on Windows too, a console shows them as UTF-8, and a closed pipe is a
// failed write to report rather than a silent death.
void PrepareStandardStreams();
// Whether the console's code page must be switched to UTF-8: when standard
// output or standard error is a console (they share one code page) that
// does not show UTF-8 yet.
bool NeedsUtf8Console(bool outputIsConsole, bool errorIsConsole, bool consoleIsUtf8);

// std::strtod in the classic locale, whatever locale the process has.
double StrtodClassic(const char* text, char** end);

// Asks the system to back the whole huge pages inside [data, data + bytes)
// with huge pages when they are first touched: a load fills hundreds of
// megabytes of fresh memory, and a fault per 4 KiB page costs more than the
// work. Only advice: true when some range was advised, false when none fits
// or the system declines; the memory works the same either way.
bool AdviseHugePages(void* data, std::size_t bytes);
// Gives the system back the whole pages of [data + used, data + bytes), room
// reserved past what a filled index or text uses: a huge page is taken
// whole once touched. The memory stays the caller's; what it later writes
// there takes fresh pages. Only advice, as above.
void GiveBackUnusedPages(void* data, std::size_t used, std::size_t bytes);
// The same for a vector's room past its items, once it is filled.
template <class Item>
void GiveBackRoom(std::vector<Item>& items)
{
    GiveBackUnusedPages(items.data(), items.size() * sizeof(Item), items.capacity() * sizeof(Item));
}
// The huge page size AdviseHugePages aligns to; 0 where there is none.
std::size_t HugePageSize();
// Lets every thread allocate from one shared heap, called before the
// first thread starts. The panel's jobs run on threads of their own; where
// each holds a private heap, memory one job gives back stays out of reach
// of the others, and a large program's panel held tens of megabytes more
// than it used. False where the system decides this itself.
bool ShareHeapAcrossThreads();

// True where the per-machine settings belong in the system registry
// (Windows); elsewhere they go to an INI file.
bool SettingsLiveInRegistry();
