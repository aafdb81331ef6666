// Turns a move-ID image into colours for one cursor: moves done in quiet
// colours, the current block's moves bright, the moves to come by their
// style, empty pixels the background. One pass over the pixels, reading
// nothing but the image, so a step costs the same on any program.
#pragma once

#include <cstddef>
#include <cstdint>

#include "move_id_image.h"
#include "step_state.h"

// Colours are 0xAARRGGBB.
struct CPathPalette {
    std::uint32_t background;
    std::uint32_t coming[STYLE_COUNT];
    std::uint32_t done[STYLE_COUNT];
    std::uint32_t currentBlock;
};

const CPathPalette& DefaultPathPalette();

// pixels holds ids.GetHeight() rows of stride colours each.
void RecolourPath(const CMoveIdImage& ids, const CStepState& state, const CPathPalette& palette, std::uint32_t* pixels,
                  std::size_t stride);
