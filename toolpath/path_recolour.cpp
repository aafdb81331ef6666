#include "path_recolour.h"

namespace {

// Dark ground, so that the bright current block stands out; coming moves by
// kind, done moves greyed but still told apart, errors red either way.
constexpr CPathPalette DEFAULT_PALETTE = {
    0xFF1C2028,
    // STYLE_FEED, STYLE_ARC, STYLE_RAPID, STYLE_ERROR
    {0xFF4FC3F7, 0xFF81C784, 0xFFFFD54F, 0xFFFF3B30},
    {0xFF5E6673, 0xFF56655C, 0xFF6B6450, 0xFF9C2F2A},
    0xFFFFFFFF,
};

} // namespace

const CPathPalette& DefaultPathPalette() { return DEFAULT_PALETTE; }

void RecolourPath(const CMoveIdImage& ids, const CStepState& state, const CPathPalette& palette, std::uint32_t* pixels,
                  std::size_t stride)
{
    const int width = ids.GetWidth();
    const int height = ids.GetHeight();
    // Pixels hold move + 1; compared in that form, no subtraction per pixel.
    const std::uint64_t doneLimit = static_cast<std::uint64_t>(state.doneCount) + 1;
    std::uint64_t blockLow = 1;
    std::uint64_t blockHigh = 0;
    if (state.HasCurrentBlock()) {
        blockLow = static_cast<std::uint64_t>(state.blockFirst) + 1;
        blockHigh = static_cast<std::uint64_t>(state.blockLast) + 1;
    }
    const std::uint32_t* source = ids.GetData();
    for (int row = 0; row < height; ++row) {
        std::uint32_t* target = pixels + static_cast<std::size_t>(row) * stride;
        for (int column = 0; column < width; ++column) {
            const std::uint32_t pixel = *source++;
            const std::uint32_t id = pixel & CMoveIdImage::ID_MASK;
            unsigned style = (pixel & CMoveIdImage::STYLE_MASK) >> CMoveIdImage::STYLE_SHIFT;
            if (style >= STYLE_COUNT)
                style = STYLE_FEED;
            std::uint32_t colour = palette.background;
            if (id == 0)
                colour = palette.background;
            else if (id < doneLimit)
                colour = palette.done[style];
            else if (id >= blockLow && id <= blockHigh)
                colour = palette.currentBlock;
            else
                colour = palette.coming[style];
            target[column] = colour;
        }
    }
}
