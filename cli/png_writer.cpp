#include "png_writer.h"

#include <array>
#include <fstream>

#include "platform.h"

namespace {

constexpr std::uint8_t SIGNATURE[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// A stored deflate block holds at most this many bytes.
constexpr std::size_t STORED_BLOCK_BYTES = 65535;
// PNG limits a side to 2^31 - 1; the picture must also fit in memory.
constexpr std::size_t MAX_SIDE = 0x7FFFFFFF;

std::array<std::uint32_t, 256> MakeCrcTable()
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t index = 0; index < 256; ++index) {
        std::uint32_t value = index;
        for (int bit = 0; bit < 8; ++bit)
            value = (value & 1u) != 0 ? 0xEDB88320u ^ (value >> 1) : value >> 1;
        table[index] = value;
    }
    return table;
}

void AppendBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    out.push_back(static_cast<std::uint8_t>(value >> 24));
    out.push_back(static_cast<std::uint8_t>(value >> 16));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

// Length, type, data and the CRC of type and data.
void AppendChunk(std::vector<std::uint8_t>& out, const char (&type)[5], const std::vector<std::uint8_t>& data)
{
    AppendBigEndian(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeStart = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    AppendBigEndian(out, CPngWriter::Crc32(out.data() + typeStart, out.size() - typeStart));
}

} // namespace

std::uint32_t CPngWriter::Crc32(const std::uint8_t* data, std::size_t length, std::uint32_t crc)
{
    static const std::array<std::uint32_t, 256> table = MakeCrcTable();
    crc = ~crc;
    for (std::size_t index = 0; index < length; ++index)
        crc = table[(crc ^ data[index]) & 0xFFu] ^ (crc >> 8);
    return ~crc;
}

std::uint32_t CPngWriter::Adler32(const std::uint8_t* data, std::size_t length)
{
    constexpr std::uint32_t MODULUS = 65521;
    // 5552 bytes is the most that can be summed before the sums overflow.
    constexpr std::size_t RUN = 5552;
    std::uint32_t low = 1;
    std::uint32_t high = 0;
    while (length > 0) {
        const std::size_t run = length < RUN ? length : RUN;
        for (std::size_t index = 0; index < run; ++index) {
            low += data[index];
            high += low;
        }
        low %= MODULUS;
        high %= MODULUS;
        data += run;
        length -= run;
    }
    return (high << 16) | low;
}

std::vector<std::uint8_t> CPngWriter::Encode(std::size_t width, std::size_t height,
                                             const std::vector<std::uint8_t>& rgb)
{
    if (width == 0 || height == 0 || width > MAX_SIDE || height > MAX_SIDE || rgb.size() / 3 / width < height ||
        rgb.size() != width * height * 3)
        return {};
    // Each row starts with its filter type, 0: the bytes as they are.
    const std::size_t rowBytes = width * 3 + 1;
    std::vector<std::uint8_t> raw;
    raw.reserve(rowBytes * height);
    for (std::size_t row = 0; row < height; ++row) {
        raw.push_back(0);
        const auto first = rgb.begin() + static_cast<std::ptrdiff_t>(row * width * 3);
        raw.insert(raw.end(), first, first + static_cast<std::ptrdiff_t>(width * 3));
    }

    std::vector<std::uint8_t> stream;
    stream.reserve(raw.size() + raw.size() / STORED_BLOCK_BYTES * 5 + 16);
    // zlib header: deflate with a 32 KB window, no dictionary, the check
    // bits making the pair a multiple of 31.
    stream.push_back(0x78);
    stream.push_back(0x01);
    std::size_t done = 0;
    do {
        const std::size_t length = raw.size() - done < STORED_BLOCK_BYTES ? raw.size() - done : STORED_BLOCK_BYTES;
        const bool last = done + length == raw.size();
        stream.push_back(last ? 1 : 0);
        stream.push_back(static_cast<std::uint8_t>(length));
        stream.push_back(static_cast<std::uint8_t>(length >> 8));
        stream.push_back(static_cast<std::uint8_t>(~length));
        stream.push_back(static_cast<std::uint8_t>(~length >> 8));
        stream.insert(stream.end(), raw.begin() + static_cast<std::ptrdiff_t>(done),
                      raw.begin() + static_cast<std::ptrdiff_t>(done + length));
        done += length;
    } while (done < raw.size());
    AppendBigEndian(stream, Adler32(raw.data(), raw.size()));

    std::vector<std::uint8_t> header;
    AppendBigEndian(header, static_cast<std::uint32_t>(width));
    AppendBigEndian(header, static_cast<std::uint32_t>(height));
    // 8 bits per channel, RGB, deflate, adaptive filtering, no interlace.
    header.insert(header.end(), {8, 2, 0, 0, 0});

    std::vector<std::uint8_t> file(std::begin(SIGNATURE), std::end(SIGNATURE));
    AppendChunk(file, "IHDR", header);
    AppendChunk(file, "IDAT", stream);
    AppendChunk(file, "IEND", {});
    return file;
}

bool CPngWriter::Write(const std::string& path, std::size_t width, std::size_t height,
                       const std::vector<std::uint8_t>& rgb)
{
    const std::vector<std::uint8_t> file = Encode(width, height, rgb);
    if (file.empty())
        return false;
    std::ofstream out(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    out.close();
    return !out.fail();
}
