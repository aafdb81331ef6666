#include "move_id_image.h"

#include <algorithm>

void CMoveIdImage::Resize(int newWidth, int newHeight)
{
    width = std::clamp(newWidth, 0, MAX_SIDE);
    height = std::clamp(newHeight, 0, MAX_SIDE);
    pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u);
}

void CMoveIdImage::Clear() { std::fill(pixels.begin(), pixels.end(), 0u); }

std::size_t CMoveIdImage::FindNearestMove(int x, int y, int radius) const
{
    std::size_t best = NO_MOVE;
    long bestDistance = 0;
    for (int row = y - radius; row <= y + radius; ++row) {
        for (int column = x - radius; column <= x + radius; ++column) {
            const std::size_t move = GetMove(column, row);
            if (move == NO_MOVE)
                continue;
            const long distance = static_cast<long>(column - x) * (column - x) + static_cast<long>(row - y) * (row - y);
            // At equal distance the later move wins, as it does in the picture.
            if (best == NO_MOVE || distance < bestDistance || (distance == bestDistance && move > best)) {
                best = move;
                bestDistance = distance;
            }
        }
    }
    return best;
}
