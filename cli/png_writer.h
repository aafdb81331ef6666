// Writes an RGB picture as a PNG file: 8 bits per channel, no filtering,
// the image data in stored (uncompressed) deflate blocks. Larger than a
// compressed file, but every reader takes it and it needs no library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CPngWriter {
public:
    // rgb holds width * height pixels of three bytes, top row first.
    // Returns false when the size is empty or too large, or the file cannot
    // be written.
    static bool Write(const std::string& path, std::size_t width, std::size_t height,
                      const std::vector<std::uint8_t>& rgb);
    // The whole file in memory, for the tests; empty when the size cannot be
    // written.
    static std::vector<std::uint8_t> Encode(std::size_t width, std::size_t height,
                                            const std::vector<std::uint8_t>& rgb);

    static std::uint32_t Crc32(const std::uint8_t* data, std::size_t length, std::uint32_t crc = 0);
    static std::uint32_t Adler32(const std::uint8_t* data, std::size_t length);
};
