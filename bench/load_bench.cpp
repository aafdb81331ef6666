// Times a load against the floor of every load, one buffered pass over the
// same file's bytes, side by side in one process so that both meet the same
// machine. Each run passes over the file, then loads it with a fresh loader
// (fresh memory, as a panel started for it), then loads it again with the
// same loader (its memory reused, as a reload). The load is the panel's:
// read, classify, listing and its line index, the modes. Wall time and the
// process's processor time are both shown: on a busy machine the processor
// time says more about the work, the wall time about what a user waits.
// Usage: tornavel-load-bench FILE [RUNS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "headless_panel.h"

namespace {

constexpr double TARGET_LOAD_OVER_PASS = 5.0;

struct CTimes {
    std::vector<double> wall;
    std::vector<double> processor;

    double Min(const std::vector<double>& samples) const { return *std::min_element(samples.begin(), samples.end()); }
    double Median(std::vector<double> samples) const
    {
        std::sort(samples.begin(), samples.end());
        return samples[samples.size() / 2];
    }
};

// Wall and processor seconds of one call.
template <class Work>
void Time(CTimes& times, Work work)
{
    const auto wallStart = std::chrono::steady_clock::now();
    const std::clock_t processorStart = std::clock();
    work();
    times.processor.push_back(static_cast<double>(std::clock() - processorStart) / CLOCKS_PER_SEC);
    times.wall.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count());
}

// The same pass as tornavel-floor.
unsigned long long PassOver(const char* path)
{
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        return 0;
    std::vector<unsigned char> buffer(64 * 1024);
    unsigned long long carriageReturns = 0;
    std::size_t count = 0;
    while ((count = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) {
        for (std::size_t index = 0; index < count; ++index)
            carriageReturns += buffer[index] == '\r';
    }
    std::fclose(file);
    return carriageReturns;
}

void PrintRow(const char* name, CTimes& times, CTimes& pass)
{
    std::printf("| %s | %.3f / %.3f s | %.3f / %.3f s | %.1f (%.1f) | %.1f (%.1f) | %.0f |\n", name,
                times.Min(times.wall), times.Median(times.wall), times.Min(times.processor),
                times.Median(times.processor), times.Min(times.wall) / pass.Min(pass.wall),
                times.Median(times.wall) / pass.Median(pass.wall),
                times.Min(times.processor) / pass.Min(pass.processor),
                times.Median(times.processor) / pass.Median(pass.processor), TARGET_LOAD_OVER_PASS);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3) {
        std::fputs("usage: tornavel-load-bench FILE [RUNS]\n", stderr);
        return 2;
    }
    const int runs = argc == 3 ? std::max(1, std::atoi(argv[2])) : 5;
    CTimes pass;
    CTimes fresh;
    CTimes reload;
    unsigned long long lines = 0;
    std::size_t words = 0;
    for (int run = 0; run < runs; ++run) {
        Time(pass, [&]() { lines = PassOver(argv[1]); });
        auto headless = std::make_unique<CHeadlessPanel>(argv[1]);
        int result = 0;
        Time(fresh, [&]() { result = headless->loader.Load(std::string()); });
        if (result != CCncProgram::RESULT_OK) {
            std::fprintf(stderr, "tornavel-load-bench: %s\n", headless->loader.GetErrorText().c_str());
            return 1;
        }
        Time(reload, [&]() { headless->loader.Load(std::string()); });
        words = headless->loader.GetWordList().GetCount();
    }
    std::printf("%zu words, %llu carriage returns, %d runs; min / median\n\n", words, lines, runs);
    std::printf("| measurement | wall | processor | load / pass, wall: min (median) | processor: min (median) | "
                "target |\n|---|---:|---:|---:|---:|---:|\n");
    std::printf("| one buffered pass | %.3f / %.3f s | %.3f / %.3f s | 1 | 1 | |\n", pass.Min(pass.wall),
                pass.Median(pass.wall), pass.Min(pass.processor), pass.Median(pass.processor));
    PrintRow("load, fresh memory", fresh, pass);
    PrintRow("load again, memory reused", reload, pass);
    return 0;
}
