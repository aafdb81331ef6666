#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "classic_number.h"
#include "platform.h"
#include "test_support.h"
#include "tool_table.h"

namespace {

// The one reading of a number a user types as an option or a setting.
TEST(ClassicDecimal, ReadsTheWholeTextAsOneNumber)
{
    const struct {
        const char* name;
        const char* text;
        double value;
    } rows[] = {
        {"whole number", "6", 6.0},
        {"decimal point", "6.5", 6.5},
        {"leading plus", "+6", 6.0},
        {"minus", "-2.25", -2.25},
        {"exponent", "1e1", 10.0},
        {"point without digits after", "6.", 6.0},
        {"point without digits before", ".5", 0.5},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        double value = -1.0;
        ASSERT_TRUE(ParseClassicDecimal(row.text, value));
        EXPECT_EQ(value, row.value);
    }
    double value = 0.0;
    ASSERT_TRUE(ParseClassicDecimal("inf", value)) << "strtod's infinity is a number; whether it can be used is the caller's";
    EXPECT_TRUE(std::isinf(value));
}

TEST(ClassicDecimal, RejectsAnythingMore)
{
    const struct {
        const char* name;
        const char* text;
    } rows[] = {
        {"empty", ""},
        {"hexadecimal", "0x10"},
        {"signed hexadecimal", "-0X10"},
        {"blank before", " 6"},
        {"blank after", "6 "},
        {"decimal comma", "6,5"},
        {"unit after", "6mm"},
        {"two signs", "+-6"},
        {"text", "sechs"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        double value = 42.0;
        EXPECT_FALSE(ParseClassicDecimal(row.text, value));
        EXPECT_EQ(value, 42.0) << "a rejected text leaves the value alone";
    }
}

TEST(ClassicDecimal, IgnoresTheGermanLocale)
{
    const CGermanLocale german(LC_NUMERIC);
    if (!german.Valid())
        GTEST_SKIP() << "no German locale";
    double value = 0.0;
    EXPECT_TRUE(ParseClassicDecimal("6.5", value));
    EXPECT_EQ(value, 6.5);
    EXPECT_FALSE(ParseClassicDecimal("6,5", value));
}

// "SHAPE:DIAMETER" as the command line and the settings store write a tool.
TEST(ToolText, OneParserForCommandLineAndSettings)
{
    const struct {
        const char* name;
        const char* text;
        bool read;
        ToolShape shape;
        double diameter;
    } rows[] = {
        {"flat", "flat:6", true, TOOL_FLAT, 6.0},
        {"ball with decimals", "ball:2.5", true, TOOL_BALL, 2.5},
        {"plus sign read by both", "flat:+6", true, TOOL_FLAT, 6.0},
        {"zero diameter parses, cannot cut", "flat:0", true, TOOL_FLAT, 0.0},
        {"hexadecimal read by neither", "flat:0x10", false, TOOL_FLAT, 0.0},
        {"no colon", "flat6", false, TOOL_FLAT, 0.0},
        {"unknown shape", "cone:6", false, TOOL_FLAT, 0.0},
        {"shape in capitals", "FLAT:6", false, TOOL_FLAT, 0.0},
        {"empty diameter", "ball:", false, TOOL_FLAT, 0.0},
        {"decimal comma", "flat:6,5", false, TOOL_FLAT, 0.0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CTool tool{TOOL_BALL, 99.0};
        EXPECT_EQ(ParseToolText(row.text, tool), row.read);
        if (row.read) {
            EXPECT_EQ(tool, (CTool{row.shape, row.diameter}));
        } else {
            EXPECT_EQ(tool, (CTool{TOOL_BALL, 99.0})) << "a rejected text leaves the tool alone";
        }
    }
}

// Output and error share the console's code page: either one on a console
// needs UTF-8, so that messages survive redirected output.
TEST(Platform, ConsoleSwitchesToUtf8WhenEitherStreamIsOne)
{
    const struct {
        const char* name;
        bool output;
        bool error;
        bool alreadyUtf8;
        bool switches;
    } rows[] = {
        {"both on a console", true, true, false, true},
        {"output redirected, errors on the console", false, true, false, true},
        {"errors redirected, output on the console", true, false, false, true},
        {"both redirected", false, false, false, false},
        {"console already UTF-8", true, true, true, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(NeedsUtf8Console(row.output, row.error, row.alreadyUtf8), row.switches);
    }
}

} // namespace
