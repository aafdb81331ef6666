#include "test_support.h"

#include <atomic>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {
std::atomic<int> fileNumber{0};
}

std::string MakeTempDirectory()
{
    const auto base = std::filesystem::temp_directory_path() /
                      ("tornavel-test-" + std::to_string(::getpid()) + "-" + std::to_string(fileNumber++));
    std::filesystem::create_directories(base);
    return base.string();
}

CTempFile::CTempFile(const std::string& bytes)
{
    path = (std::filesystem::temp_directory_path() /
            ("tornavel-" + std::to_string(::getpid()) + "-" + std::to_string(fileNumber++) + ".nc"))
               .string();
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

CTempFile::~CTempFile() { std::remove(path.c_str()); }

int CLoaderRig::LoadBytes(const std::string& bytes)
{
    CTempFile file(bytes);
    chooser.SetPath(file.GetPath());
    return loader.Load(std::string());
}

std::string CrLfLines(std::initializer_list<const char*> lines)
{
    std::string text;
    for (const char* line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

CGermanLocale::CGermanLocale(int category) : category(category)
{
    const char* previous = std::setlocale(category, nullptr);
    saved = previous != nullptr ? previous : "C";
    valid = std::setlocale(category, "de_DE.UTF-8") != nullptr;
}

CGermanLocale::~CGermanLocale() { std::setlocale(category, saved.c_str()); }

