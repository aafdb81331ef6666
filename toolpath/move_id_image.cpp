#include "move_id_image.h"

#include <algorithm>
#include <cstdlib>

void CMoveIdImage::Resize(int newWidth, int newHeight)
{
    width = std::clamp(newWidth, 0, MAX_SIDE);
    height = std::clamp(newHeight, 0, MAX_SIDE);
    pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u);
}

void CMoveIdImage::Clear() { std::fill(pixels.begin(), pixels.end(), 0u); }

void CMoveIdImage::KeepEarlier(const CMoveIdImage& other)
{
    const std::size_t count = std::min(pixels.size(), other.pixels.size());
    for (std::size_t index = 0; index < count; ++index) {
        const std::uint32_t below = other.pixels[index];
        const std::uint32_t above = pixels[index];
        // Empty is 0, so one less than the ID wraps it past every move.
        if ((below & ID_MASK) - 1u < (above & ID_MASK) - 1u)
            pixels[index] = below;
    }
}

std::size_t CMoveIdImage::FindNearestMove(int x, int y, int radius) const
{
    if (width == 0 || height == 0 || radius < 0)
        return NO_MOVE;
    // In 64 bits: x - radius overflows an int; the squared distances of a
    // point far outside need the unsigned range.
    const std::int64_t pointX = x;
    const std::int64_t pointY = y;
    const std::int64_t lastX = width - 1;
    const std::int64_t lastY = height - 1;
    // The rings that meet the image: from the one through its nearest pixel
    // to the one through its farthest corner.
    const std::int64_t firstRing = std::max({std::int64_t{0}, -pointX, pointX - lastX, -pointY, pointY - lastY});
    const std::int64_t lastRing = std::min<std::int64_t>(
        radius, std::max({std::abs(pointX), std::abs(pointX - lastX), std::abs(pointY), std::abs(pointY - lastY)}));
    std::size_t best = NO_MOVE;
    std::uint64_t bestDistance = 0;
    const auto consider = [&](std::int64_t column, std::int64_t row) {
        const std::size_t move = MoveOfPixel(GetPixel(static_cast<int>(column), static_cast<int>(row)));
        if (move == NO_MOVE)
            return;
        const auto deltaX = static_cast<std::uint64_t>(std::abs(column - pointX));
        const auto deltaY = static_cast<std::uint64_t>(std::abs(row - pointY));
        const std::uint64_t distance = deltaX * deltaX + deltaY * deltaY;
        if (best == NO_MOVE || distance < bestDistance || (distance == bestDistance && move < best)) {
            best = move;
            bestDistance = distance;
        }
    };
    for (std::int64_t ring = firstRing; ring <= lastRing; ++ring) {
        // Every pixel of this ring and beyond is at least ring away.
        if (best != NO_MOVE && static_cast<std::uint64_t>(ring) * static_cast<std::uint64_t>(ring) > bestDistance)
            break;
        const std::int64_t left = std::max<std::int64_t>(pointX - ring, 0);
        const std::int64_t right = std::min(pointX + ring, lastX);
        for (const std::int64_t row : {pointY - ring, pointY + ring}) {
            if (row >= 0 && row <= lastY) {
                for (std::int64_t column = left; column <= right; ++column)
                    consider(column, row);
            }
            if (ring == 0)
                break;
        }
        const std::int64_t top = std::max<std::int64_t>(pointY - ring + 1, 0);
        const std::int64_t bottom = std::min(pointY + ring - 1, lastY);
        for (const std::int64_t column : {pointX - ring, pointX + ring}) {
            if (ring == 0 || column < 0 || column > lastX)
                continue;
            for (std::int64_t row = top; row <= bottom; ++row)
                consider(column, row);
        }
    }
    return best;
}
