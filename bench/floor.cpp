// The floor of every load: one buffered pass over a file's bytes, counting
// its carriage returns so that the pass cannot be optimised away.
#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    std::FILE* file = std::fopen(argv[1], "rb");
    if (file == nullptr)
        return 1;
    std::vector<unsigned char> buffer(64 * 1024);
    unsigned long long carriageReturns = 0;
    std::size_t count = 0;
    while ((count = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) {
        for (std::size_t index = 0; index < count; ++index)
            carriageReturns += buffer[index] == '\r';
    }
    std::fclose(file);
    std::printf("%llu\n", carriageReturns);
    return 0;
}
