// A picture as plain 32-bit pixels, 0xAARRGGBB words with the colour
// premultiplied by alpha, the layout of Qt's premultiplied ARGB images: the
// Qt-free folders draw into it, the window wraps the same memory in a QImage
// and the command line writes it to a file, so that both show one set of
// pixels. CPixelSpan lends out rows someone else owns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct CPixelSpan {
    std::uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    // Pixels from the start of one row to the start of the next.
    std::size_t stride = 0;

    std::uint32_t* Row(int y) const { return pixels + static_cast<std::size_t>(y) * stride; }
    bool IsEmpty() const { return width <= 0 || height <= 0; }
};

class CPixelImage {
public:
    CPixelImage() = default;
    // Every pixel fill; an empty image for a size not above zero.
    CPixelImage(int width, int height, std::uint32_t fill);

    int GetWidth() const { return width; }
    int GetHeight() const { return height; }
    std::uint32_t GetPixel(int x, int y) const { return pixels[static_cast<std::size_t>(y) * Stride() + x]; }
    CPixelSpan GetSpan() { return {pixels.data(), width, height, Stride()}; }
    const std::vector<std::uint32_t>& GetPixels() const { return pixels; }

    // Paints over with source on top, source's pixels at the same places
    // (the smaller width and height of the two): a clear pixel of source
    // leaves this one, an opaque one replaces it, the rest blend as Qt's
    // source-over does, so that the window and a file agree to the bit.
    void DrawOver(const CPixelImage& source);
    // Red, green and blue, three bytes a pixel, top row first; the colour
    // of a pixel not opaque as it would show over black.
    std::vector<std::uint8_t> ToRgb() const;

private:
    std::size_t Stride() const { return static_cast<std::size_t>(width); }

    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

// One premultiplied pixel over another.
std::uint32_t BlendOver(std::uint32_t source, std::uint32_t destination);
// A colour with straight alpha as a premultiplied pixel.
std::uint32_t Premultiply(std::uint32_t colour);
