#include "pixel_image.h"

#include <algorithm>

namespace {

// channel * alpha / 255, rounded the way Qt's blending rounds it.
std::uint32_t MultiplyChannel(std::uint32_t channel, std::uint32_t alpha)
{
    const std::uint32_t product = channel * alpha;
    return (product + (product >> 8) + 0x80) >> 8;
}

std::uint32_t MultiplyPixel(std::uint32_t pixel, std::uint32_t alpha)
{
    std::uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8)
        result |= MultiplyChannel((pixel >> shift) & 0xFF, alpha) << shift;
    return result;
}

} // namespace

CPixelImage::CPixelImage(int width, int height, std::uint32_t fill)
{
    if (width <= 0 || height <= 0)
        return;
    this->width = width;
    this->height = height;
    pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill);
}

void CPixelImage::DrawOver(const CPixelImage& source)
{
    const int commonWidth = std::min(width, source.width);
    const int commonHeight = std::min(height, source.height);
    for (int y = 0; y < commonHeight; ++y) {
        std::uint32_t* into = pixels.data() + static_cast<std::size_t>(y) * Stride();
        const std::uint32_t* from = source.pixels.data() + static_cast<std::size_t>(y) * source.Stride();
        for (int x = 0; x < commonWidth; ++x)
            into[x] = BlendOver(from[x], into[x]);
    }
}

std::vector<std::uint8_t> CPixelImage::ToRgb() const
{
    std::vector<std::uint8_t> rgb;
    rgb.reserve(pixels.size() * 3);
    for (const std::uint32_t pixel : pixels) {
        rgb.push_back(static_cast<std::uint8_t>(pixel >> 16));
        rgb.push_back(static_cast<std::uint8_t>(pixel >> 8));
        rgb.push_back(static_cast<std::uint8_t>(pixel));
    }
    return rgb;
}

std::uint32_t BlendOver(std::uint32_t source, std::uint32_t destination)
{
    const std::uint32_t alpha = source >> 24;
    if (alpha == 0xFF)
        return source;
    if (alpha == 0)
        return destination;
    return source + MultiplyPixel(destination, 0xFF - alpha);
}

std::uint32_t Premultiply(std::uint32_t colour)
{
    const std::uint32_t alpha = colour >> 24;
    return (MultiplyPixel(colour, alpha) & 0x00FFFFFF) | (alpha << 24);
}
