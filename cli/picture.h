// The CLI's picture subcommand: the toolpath window's picture of a program,
// the workpiece with the path over it, as a PNG file made without a display.
// The workpiece, its box and the options that choose them are those of
// stock; the pixels are those the window draws. What the window paints with
// text or smoothed lines (legend, axes, scale bar, tool, current block, the
// rapids that cut, the programmed contour beside the cut one) stays out.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "path_view.h"
#include "pixel_image.h"
#include "stock.h"

struct CPictureOptions {
    CStockOptions stock;
    PathProjection projection = PROJECTION_TOP;
    int width = 0;
    int height = 0;
    std::string output;
};

// The toolpath window's canvas at its first opening (640 x 480, no list
// of hints), in pixels.
constexpr int PICTURE_DEFAULT_WIDTH = 632;
constexpr int PICTURE_DEFAULT_HEIGHT = 314;
// The sides a picture may have.
constexpr int PICTURE_MIN_SIDE = 16;
constexpr int PICTURE_MAX_SIDE = 8000;

// Reads the arguments after "picture". Returns 0, or the exit status with a
// message for standard error that names the option and its value: 2 for bad
// usage, 1 for a tool that cannot cut.
int ParsePictureOptions(const std::vector<std::string>& arguments, CPictureOptions& options, std::string& message);

// Exit status 0 when the file was written, 1 when the program cannot be
// opened or its box or cell cannot be used, 3 when the file cannot be
// written; a message on errors for each.
int RunPicture(const CPictureOptions& options, std::FILE* errors);
