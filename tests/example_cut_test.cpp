// The examples we ship load, and the machine would cut them as their
// comments say: the contour at the tool's radius outside the part, the
// holes at their depths, no cut error in any of them.
#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cut_path.h"
#include "test_support.h"

namespace {

struct CMoveSink : IPathSink {
    void AddMove(const CPathMove& move) override { moves.push_back(move); }
    std::vector<CPathMove> moves;
};

std::string ExamplePath(const char* name) { return std::string(TORNAVEL_EXAMPLES_DIR) + "/" + name; }

TEST(ExampleCut, EveryExampleCutsWithoutError)
{
    std::vector<std::filesystem::path> programs;
    for (const auto& entry : std::filesystem::directory_iterator(TORNAVEL_EXAMPLES_DIR))
        programs.push_back(entry.path());
    std::sort(programs.begin(), programs.end());
    ASSERT_GE(programs.size(), 6u);
    for (const auto& program : programs) {
        SCOPED_TRACE(program.string());
        CLoaderRig rig(program.string());
        const int result = rig.loader.Load(std::string());
        // syntax_error.nc fails on purpose; the words before it still cut.
        EXPECT_EQ(result != CCncProgram::RESULT_OK, program.filename() == "syntax_error.nc");
        CMoveSink sink;
        const CCutSummary summary =
            CCutPathBuilder(rig.loader.GetWordList(), 0, CToolTable()).Build(sink);
        EXPECT_FALSE(summary.hasError) << summary.error.message;
    }
}

// The contour 60 x 40 with its rounding R10, milled with a 6 mm tool: the
// compensated moves between approach and departure run 3 mm outside it.
TEST(ExampleCut, ContourRunsAtTheRadiusOutsideThePart)
{
    CLoaderRig rig(ExamplePath("contour_g41.nc"));
    ASSERT_EQ(rig.loader.Load(std::string()), CCncProgram::RESULT_OK);
    CMoveSink sink;
    ASSERT_FALSE(CCutPathBuilder(rig.loader.GetWordList(), 0, CToolTable()).Build(sink).hasError);
    std::vector<CPathMove> compensated;
    for (const CPathMove& move : sink.moves) {
        if ((move.flags & MOVE_COMPENSATED) != 0)
            compensated.push_back(move);
    }
    ASSERT_GE(compensated.size(), 4u);
    const struct {
        const char* name;
        int axis;
        double low;
        double high;
    } rows[] = {{"X from the left side to the right one", 0, -3.0, 63.0},
                {"Y from the bottom to the top", 1, -3.0, 43.0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        double low = compensated[1].from[row.axis];
        double high = low;
        // Approach and departure run to the start point outside.
        for (std::size_t index = 1; index + 1 < compensated.size(); ++index) {
            low = std::min({low, compensated[index].from[row.axis], compensated[index].to[row.axis]});
            high = std::max({high, compensated[index].from[row.axis], compensated[index].to[row.axis]});
        }
        EXPECT_NEAR(low, row.low, 1e-9);
        EXPECT_NEAR(high, row.high, 1e-9);
    }
    const std::size_t corners = static_cast<std::size_t>(std::count_if(
        sink.moves.begin(), sink.moves.end(), [](const CPathMove& move) { return (move.flags & MOVE_CORNER) != 0; }));
    // The corners at (0, 40) and (60, 0); the rounding meets its lines tangent.
    EXPECT_EQ(corners, 2u);
}

// Four holes 5 deep with G81 and two 15 deep with G83: each hole's bottom is
// reached by one feed of the cycle.
TEST(ExampleCut, DrillingReachesEveryHoleBottom)
{
    CLoaderRig rig(ExamplePath("drilling.nc"));
    ASSERT_EQ(rig.loader.Load(std::string()), CCncProgram::RESULT_OK);
    CMoveSink sink;
    ASSERT_FALSE(CCutPathBuilder(rig.loader.GetWordList(), 0, CToolTable()).Build(sink).hasError);
    std::map<double, int> bottoms;
    for (const CPathMove& move : sink.moves) {
        if ((move.flags & MOVE_CYCLE) != 0 && move.kind == MOVE_LINEAR && move.to[2] < move.from[2] &&
            (move.to[2] == -5.0 || move.to[2] == -15.0))
            ++bottoms[move.to[2]];
    }
    const std::map<double, int> expected = {{-15.0, 2}, {-5.0, 4}};
    EXPECT_EQ(bottoms, expected);
}

} // namespace
