// tornavel-cli picture: its options and their errors, and the PNG it writes
// read back: its size, and the depth colour where the tool cut and the
// colour of the top where it did not.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "path_recolour.h"
#include "picture.h"
#include "relief_image.h"
#include "test_support.h"
#include "tool_options.h"
#include "trace.h"

namespace {

struct CGoodOptionsRow {
    const char* name;
    std::vector<std::string> arguments;
    PathProjection projection;
    int width;
    int height;
    bool hasMoves;
    std::size_t moves;
};

struct CBadOptionsRow {
    const char* name;
    std::vector<std::string> arguments;
    int status;
    std::string message;
};

std::uint32_t ReadBigEndian(const std::vector<std::uint8_t>& bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(bytes[at]) << 24 | static_cast<std::uint32_t>(bytes[at + 1]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 8 | bytes[at + 3];
}

// A PNG as our writer makes it: RGB, rows unfiltered, stored deflate blocks.
// Empty when the file is not of that form.
bool DecodePng(const std::string& path, int& width, int& height, std::vector<std::uint8_t>& rgb)
{
    std::ifstream file(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (bytes.size() < 33 || bytes[1] != 'P' || bytes[2] != 'N' || bytes[3] != 'G')
        return false;
    width = static_cast<int>(ReadBigEndian(bytes, 16));
    height = static_cast<int>(ReadBigEndian(bytes, 20));
    std::vector<std::uint8_t> deflated;
    for (std::size_t at = 8; at + 12 <= bytes.size();) {
        const std::size_t length = ReadBigEndian(bytes, at);
        if (std::string(bytes.begin() + static_cast<std::ptrdiff_t>(at) + 4, bytes.begin() + static_cast<std::ptrdiff_t>(at) + 8) == "IDAT")
            deflated.insert(deflated.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at + 8),
                            bytes.begin() + static_cast<std::ptrdiff_t>(at + 8 + length));
        at += 12 + length;
    }
    std::vector<std::uint8_t> rows;
    for (std::size_t at = 2; at + 5 <= deflated.size();) {
        const bool last = (deflated[at] & 1) != 0;
        const std::size_t length = deflated[at + 1] | static_cast<std::size_t>(deflated[at + 2]) << 8;
        rows.insert(rows.end(), deflated.begin() + static_cast<std::ptrdiff_t>(at + 5),
                    deflated.begin() + static_cast<std::ptrdiff_t>(at + 5 + length));
        at += 5 + length;
        if (last)
            break;
    }
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3 + 1;
    if (rows.size() != rowBytes * static_cast<std::size_t>(height))
        return false;
    rgb.clear();
    for (std::size_t row = 0; row < static_cast<std::size_t>(height); ++row)
        rgb.insert(rgb.end(), rows.begin() + static_cast<std::ptrdiff_t>(row * rowBytes + 1),
                   rows.begin() + static_cast<std::ptrdiff_t>((row + 1) * rowBytes));
    return true;
}

TEST(PictureOptions, ReadsWhatIsGiven)
{
    const CGoodOptionsRow rows[] = {
        {"without options: from the top, the window's size, every move", {"in.nc", "out.png"}, PROJECTION_TOP,
         PICTURE_DEFAULT_WIDTH, PICTURE_DEFAULT_HEIGHT, false, 0},
        {"each view by its name in the window", {"--view", "vorne", "in.nc", "out.png"}, PROJECTION_FRONT,
         PICTURE_DEFAULT_WIDTH, PICTURE_DEFAULT_HEIGHT, false, 0},
        {"side view and a size", {"--view", "seite", "--size", "320x200", "in.nc", "out.png"}, PROJECTION_SIDE, 320,
         200, false, 0},
        {"a capital X in the size, options after the files", {"in.nc", "out.png", "--size", "16X8000", "--view", "iso"},
         PROJECTION_ISOMETRIC, 16, 8000, false, 0},
        {"the moves as stock reads them", {"--moves", "7", "in.nc", "out.png"}, PROJECTION_TOP, PICTURE_DEFAULT_WIDTH,
         PICTURE_DEFAULT_HEIGHT, true, 7},
    };
    for (const CGoodOptionsRow& row : rows) {
        SCOPED_TRACE(row.name);
        CPictureOptions options;
        std::string message;
        ASSERT_EQ(ParsePictureOptions(row.arguments, options, message), 0) << message;
        EXPECT_EQ(options.projection, row.projection);
        EXPECT_EQ(options.width, row.width);
        EXPECT_EQ(options.height, row.height);
        EXPECT_EQ(options.stock.hasMoves, row.hasMoves);
        EXPECT_EQ(options.stock.moves, row.moves);
        EXPECT_EQ(options.stock.file, "in.nc");
        EXPECT_EQ(options.output, "out.png");
    }
}

TEST(PictureOptions, TheStockOptionsChooseBoxCellAndTools)
{
    CPictureOptions options;
    std::string message;
    ASSERT_EQ(ParsePictureOptions({"--stock", "0,0,-5,10,20,0", "--cell", "0.5", "--tool", "2=ball:4", "--default-tool",
                                   "flat:8", "in.nc", "out.png"},
                                  options, message),
              0)
        << message;
    EXPECT_TRUE(options.stock.hasBox);
    EXPECT_EQ(options.stock.box, (CStockBox{0.0, 0.0, -5.0, 10.0, 20.0, 0.0}));
    EXPECT_EQ(options.stock.cell, 0.5);
    EXPECT_EQ(options.stock.tools.Find(2), (CTool{TOOL_BALL, 4.0}));
    EXPECT_EQ(options.stock.tools.Find(9), (CTool{TOOL_FLAT, 8.0}));
}

TEST(PictureOptions, NamesTheBadOptionAndValue)
{
    const std::string sizeWords = "' ist keine Größe BREITExHÖHE von 16 bis 8000 Pixeln\n";
    const CBadOptionsRow rows[] = {
        {"a view the window does not have", {"--view", "top", "a", "b"}, EXIT_BAD_USAGE,
         "tornavel-cli: --view: 'top' ist keine Ansicht (oben, vorne, seite, iso)\n"},
        {"a size that is no number", {"--size", "abc", "a", "b"}, EXIT_BAD_USAGE,
         "tornavel-cli: --size: 'abc" + sizeWords},
        {"a size without its height", {"--size", "640x", "a", "b"}, EXIT_BAD_USAGE,
         "tornavel-cli: --size: '640x" + sizeWords},
        {"a side below 16 pixels", {"--size", "15x100", "a", "b"}, EXIT_BAD_USAGE,
         "tornavel-cli: --size: '15x100" + sizeWords},
        {"a side above 8000 pixels", {"--size", "100x8001", "a", "b"}, EXIT_BAD_USAGE,
         "tornavel-cli: --size: '100x8001" + sizeWords},
        {"a signed side", {"--size", "+100x100", "a", "b"}, EXIT_BAD_USAGE,
         "tornavel-cli: --size: '+100x100" + sizeWords},
        {"a view twice", {"--view", "iso", "--view", "oben", "a", "b"}, EXIT_BAD_USAGE,
         "tornavel-cli: --view: 'oben' ist schon das zweite Mal angegeben\n"},
        {"an option without its value", {"a", "b", "--size"}, EXIT_BAD_USAGE, "tornavel-cli: --size: der Wert fehlt\n"},
        {"an option of stock that a picture has not", {"--trail", "1,2", "a", "b"}, EXIT_BAD_USAGE,
         "tornavel-cli: '--trail' ist keine Option von picture\n"},
        {"no output file", {"a"}, EXIT_BAD_USAGE, "tornavel-cli: picture: FILE und OUT.png erwartet\n"},
        {"a third file", {"a", "b", "c"}, EXIT_BAD_USAGE,
         "tornavel-cli: picture: FILE und OUT.png erwartet, nicht auch 'c'\n"},
        {"a count of moves that is no count", {"--moves", "-1", "a", "b"}, EXIT_BAD_USAGE,
         "tornavel-cli: --moves: '-1' ist keine Anzahl (0, 1, 2, ...)\n"},
        {"a tool that cannot cut", {"--tool", "1=flat:0", "a", "b"}, EXIT_SOME_FAILED, TOOL_DIAMETER_MESSAGE},
    };
    for (const CBadOptionsRow& row : rows) {
        SCOPED_TRACE(row.name);
        CPictureOptions options;
        std::string message;
        EXPECT_EQ(ParsePictureOptions(row.arguments, options, message), row.status);
        EXPECT_EQ(message, row.message);
    }
}

// A hole plunged at (20, 20) in a 30 x 30 block, 2 of its 3 deep, with the
// default flat 6 mm tool.
const char* const HOLE_PROGRAM = "%\r\nG0 X20 Y20 Z2\r\nG1 Z-2 F100\r\nG0 Z2\r\nM30\r\n";
const char* const HOLE_BOX = "0,0,-3,30,30,0";
constexpr int HOLE_WIDTH = 200;
constexpr int HOLE_HEIGHT = 160;

// Draws the hole program with the options and reads the PNG back.
std::vector<std::uint8_t> DrawHole(std::vector<std::string> arguments, int& width, int& height)
{
    const CTempFile program(HOLE_PROGRAM);
    const std::string output = MakeTempDirectory() + "/hole.png";
    arguments.insert(arguments.end(), {"--stock", HOLE_BOX, "--size", "200x160", program.GetPath(), output});
    CPictureOptions options;
    std::string message;
    std::vector<std::uint8_t> rgb;
    EXPECT_EQ(ParsePictureOptions(arguments, options, message), 0) << message;
    EXPECT_EQ(RunPicture(options, stderr), EXIT_ALL_LOADED);
    EXPECT_TRUE(DecodePng(output, width, height, rgb));
    std::remove(output.c_str());
    return rgb;
}

std::uint32_t PixelAt(const std::vector<std::uint8_t>& rgb, std::size_t pixel)
{
    return 0xFF000000u | static_cast<std::uint32_t>(rgb[pixel * 3]) << 16 |
           static_cast<std::uint32_t>(rgb[pixel * 3 + 1]) << 8 | rgb[pixel * 3 + 2];
}

TEST(Picture, WritesThePngOfTheWorkpiece)
{
    struct CRow {
        const char* name;
        std::vector<std::string> moves;
        double x;
        double y;
        std::uint32_t colour;
    };
    const CRow rows[] = {
        {"in the hole: the colour of its depth", {}, 22.0, 19.0, ReliefImage::DepthColour(2.0 / 3.0)},
        {"beside the hole: the top", {}, 5.0, 25.0, ReliefImage::TOP_COLOUR},
        {"in the hole before it is cut: the top", {"--moves", "0"}, 22.0, 19.0, ReliefImage::TOP_COLOUR},
        {"outside the block: the background", {}, -1.0, 15.0, DefaultPathPalette().background},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.name);
        int width = 0;
        int height = 0;
        const std::vector<std::uint8_t> rgb = DrawHole(row.moves, width, height);
        ASSERT_EQ(width, HOLE_WIDTH);
        ASSERT_EQ(height, HOLE_HEIGHT);
        CPathView view(PROJECTION_TOP, 1.0, 0.0, 0.0);
        view.Fit(CMovePoint{0.0, 0.0, -3.0}, CMovePoint{30.0, 30.0, 2.0}, HOLE_WIDTH, HOLE_HEIGHT, CPathView::FIT_MARGIN);
        const CViewPoint pixel = view.Project(row.x, row.y, 0.0);
        const std::uint32_t colour =
            PixelAt(rgb, static_cast<std::size_t>(pixel.y) * HOLE_WIDTH + static_cast<std::size_t>(pixel.x));
        EXPECT_EQ(colour, row.colour) << std::hex << colour;
    }
}

TEST(Picture, ThePathLiesOverTheWorkpieceDoneOrToCome)
{
    struct CRow {
        const char* name;
        std::vector<std::string> moves;
        std::uint32_t present;
        std::uint32_t absent;
    };
    const CRow rows[] = {
        {"after every move the rapids are done", {}, DefaultPathPalette().done[STYLE_RAPID],
         DefaultPathPalette().coming[STYLE_RAPID]},
        {"before the first they are to come", {"--moves", "0"}, DefaultPathPalette().coming[STYLE_RAPID],
         DefaultPathPalette().done[STYLE_RAPID]},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.name);
        int width = 0;
        int height = 0;
        const std::vector<std::uint8_t> rgb = DrawHole(row.moves, width, height);
        std::size_t present = 0;
        std::size_t absent = 0;
        for (std::size_t pixel = 0; pixel < rgb.size() / 3; ++pixel) {
            present += PixelAt(rgb, pixel) == row.present ? 1 : 0;
            absent += PixelAt(rgb, pixel) == row.absent ? 1 : 0;
        }
        EXPECT_GT(present, 10u);
        EXPECT_EQ(absent, 0u);
    }
}

TEST(Picture, FailsAsTheOtherCommandsDo)
{
    const CTempFile program(HOLE_PROGRAM);
    const std::string folder = MakeTempDirectory();
    struct CRow {
        const char* name;
        std::string file;
        std::string output;
        int status;
        std::string message;
    };
    const CRow rows[] = {
        {"a program that cannot be opened", folder + "/missing.nc", folder + "/a.png", EXIT_SOME_FAILED,
         folder + "/missing.nc"},
        {"a picture that cannot be written", program.GetPath(), folder + "/no/such/folder.png", EXIT_WRITE_FAILED,
         "das Bild kann nicht geschrieben werden"},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.name);
        CPictureOptions options;
        std::string message;
        ASSERT_EQ(ParsePictureOptions({"--size", "64x48", row.file, row.output}, options, message), 0) << message;
        std::FILE* errors = std::tmpfile();
        ASSERT_NE(errors, nullptr);
        EXPECT_EQ(RunPicture(options, errors), row.status);
        std::rewind(errors);
        char text[512] = {};
        const std::size_t read = std::fread(text, 1, sizeof text - 1, errors);
        std::fclose(errors);
        EXPECT_NE(std::string(text, read).find(row.message), std::string::npos) << text;
    }
}

} // namespace
