// A picture of move numbers: each pixel tells which move was drawn over it
// first and how that move is drawn (its style). The raster fills it once per
// view; recolouring for a new cursor reads it alone, never the move table.
// The first move keeps its pixel because the cursor splits the moves into
// done and coming by number: where a done move and one to come meet, the
// earlier is the done one, so progress stays visible under later passes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The colour group of a move. Whether it is dashed (rapids, and moves from an
// assumed start point) is the raster's business: a gap is a pixel left out.
enum PathStyle : std::uint8_t {
    STYLE_FEED,  // straight feed moves, parables and threads
    STYLE_ARC,   // exact arcs
    STYLE_RAPID, // rapid moves
    STYLE_ERROR, // an arc that cannot be made, drawn as its chord
};
constexpr int STYLE_COUNT = 4;

class CMoveIdImage {
public:
    // Pixel layout: the move's index + 1 in the low bits (0 = empty) and
    // the style above it. The gaps of a dashed line are left unwritten, so
    // that what lies below shows through them.
    static constexpr int ID_BITS = 28;
    static constexpr std::uint32_t ID_MASK = (1u << ID_BITS) - 1;
    static constexpr int STYLE_SHIFT = ID_BITS;
    static constexpr std::uint32_t STYLE_MASK = 0xFu << STYLE_SHIFT;
    // Moves from this index on cannot be told apart and are not drawn.
    static constexpr std::size_t MAX_MOVES = ID_MASK - 1;
    static constexpr std::size_t NO_MOVE = static_cast<std::size_t>(-1);

    static std::uint32_t MakePixel(std::size_t move, PathStyle style)
    {
        return static_cast<std::uint32_t>(move + 1) | (static_cast<std::uint32_t>(style) << STYLE_SHIFT);
    }
    // NO_MOVE for an empty pixel.
    static std::size_t MoveOfPixel(std::uint32_t pixel)
    {
        const std::uint32_t id = pixel & ID_MASK;
        return id == 0 ? NO_MOVE : static_cast<std::size_t>(id - 1);
    }
    static PathStyle StyleOfPixel(std::uint32_t pixel)
    {
        return static_cast<PathStyle>((pixel & STYLE_MASK) >> STYLE_SHIFT);
    }

    // The raster's fixed-point stepping needs sides below 2^15 pixels.
    static constexpr int MAX_SIDE = 16384;

    // Empties every pixel; sides are clamped to 0 ... MAX_SIDE.
    void Resize(int newWidth, int newHeight);
    void Clear();
    int GetWidth() const { return width; }
    int GetHeight() const { return height; }
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }

    std::uint32_t GetPixel(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
    // NO_MOVE for an empty pixel or one outside the image.
    std::size_t GetMove(int x, int y) const { return Contains(x, y) ? MoveOfPixel(GetPixel(x, y)) : NO_MOVE; }
    void SetPixel(int x, int y, std::uint32_t pixel) { pixels[static_cast<std::size_t>(y) * width + x] = pixel; }
    // Writes the pixel only where no move was drawn yet.
    void Claim(int x, int y, std::uint32_t pixel)
    {
        std::uint32_t& target = pixels[static_cast<std::size_t>(y) * width + x];
        if (target == 0)
            target = pixel;
    }
    const std::uint32_t* GetData() const { return pixels.data(); }

    // Lays other, of the same size, under this image as if its moves had
    // been drawn here too: each pixel ends with the earlier of the two
    // moves, as one drawing of all of them would leave it.
    void KeepEarlier(const CMoveIdImage& other);

    // The move drawn nearest to (x, y), by Euclidean distance, among the
    // pixels at most radius away in x and in y; at equal distance the
    // earlier move, as in the picture. NO_MOVE when none. It searches
    // square rings outwards, only where they meet the image, and stops once
    // a ring lies farther than the best pixel found, so neither a huge
    // radius nor a point far outside costs more than the image's pixels.
    std::size_t FindNearestMove(int x, int y, int radius) const;

private:
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};
