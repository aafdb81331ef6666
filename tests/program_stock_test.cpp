#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "path_builder.h"
#include "program_stock.h"
#include "test_support.h"

namespace {

struct CommentRow {
    const char* name;
    const char* comment;
    bool read;
    bool hasBox;
    CStockBox box;
    int toolNumber;
    ToolShape shape;
    double diameter;
};

const CStockBox PLATE{0.0, 0.0, -20.0, 100.0, 80.0, 0.0};

TEST(ProgramStock, ReadsTheCommentForms)
{
    const CommentRow rows[] = {
        {"box as written", "(ROHTEIL X0 Y0 Z-20 X100 Y80 Z0)", true, true, PLATE, -1, TOOL_FLAT, 0},
        {"box in lower case", "(rohteil x0 y0 z-20 x100 y80 z0)", true, true, PLATE, -1, TOOL_FLAT, 0},
        {"runs of spaces as one", "(ROHTEIL   X0 Y0  Z-20 X100 Y80 Z0)", true, true, PLATE, -1, TOOL_FLAT, 0},
        {"numbers as strtod reads them", "(ROHTEIL X0.0 Y+0 Z-2e1 X1E2 Y80. Z.0)", true, true, PLATE, -1,
         TOOL_FLAT, 0},
        {"flat tool", "(WERKZEUG T1 SCHAFTFRAESER D10)", true, false, {}, 1, TOOL_FLAT, 10},
        {"ball tool, mixed case", "(Werkzeug t2 KugelFraeser d6.5)", true, false, {}, 2, TOOL_BALL, 6.5},
        {"tool number written as a whole real", "(WERKZEUG T3.0 SCHAFTFRAESER D4)", true, false, {}, 3, TOOL_FLAT,
         4},
    };
    for (const CommentRow& row : rows) {
        SCOPED_TRACE(row.name);
        CProgramStock stock;
        EXPECT_EQ(ReadStockComment(row.comment, stock), row.read);
        EXPECT_EQ(stock.hasBox, row.hasBox);
        if (row.hasBox) {
            EXPECT_EQ(stock.box, row.box);
        }
        if (row.toolNumber < 0) {
            EXPECT_TRUE(stock.tools.empty());
            continue;
        }
        ASSERT_EQ(stock.tools.size(), 1u);
        EXPECT_EQ(stock.tools.begin()->first, row.toolNumber);
        EXPECT_EQ(stock.tools.begin()->second, (CTool{row.shape, row.diameter}));
    }
}

TEST(ProgramStock, IgnoresCommentsThatAreNotTheFormOrCannotBeUsed)
{
    const struct {
        const char* name;
        const char* comment;
    } rows[] = {
        {"inverted box", "(ROHTEIL X100 Y0 Z-20 X0 Y80 Z0)"},
        {"flat box", "(ROHTEIL X0 Y0 Z0 X100 Y80 Z0)"},
        {"overflowing number", "(ROHTEIL X0 Y0 Z-1e999 X100 Y80 Z0)"},
        {"five numbers", "(ROHTEIL X0 Y0 Z-20 X100 Y80)"},
        {"axes out of order", "(ROHTEIL Y0 X0 Z-20 X100 Y80 Z0)"},
        {"number with a comma", "(ROHTEIL X0 Y0 Z-20 X100,5 Y80 Z0)"},
        {"letter without number", "(ROHTEIL X Y0 Z-20 X100 Y80 Z0)"},
        {"space inside the parenthesis", "( ROHTEIL X0 Y0 Z-20 X100 Y80 Z0)"},
        {"space before the closing parenthesis", "(ROHTEIL X0 Y0 Z-20 X100 Y80 Z0 )"},
        {"unclosed comment", "(ROHTEIL X0 Y0 Z-20 X100 Y80 Z0"},
        {"tab between the words", "(ROHTEIL\tX0 Y0 Z-20 X100 Y80 Z0)"},
        {"diameter zero", "(WERKZEUG T1 SCHAFTFRAESER D0)"},
        {"negative diameter", "(WERKZEUG T1 SCHAFTFRAESER D-6)"},
        {"unknown shape", "(WERKZEUG T1 BOHRER D6)"},
        {"umlaut spelling is not the form", "(WERKZEUG T1 SCHAFTFR\xC3\x84SER D6)"},
        {"tool number not whole", "(WERKZEUG T1.5 SCHAFTFRAESER D6)"},
        {"tool number out of range", "(WERKZEUG T3000000000 SCHAFTFRAESER D6)"},
        {"other comment", "(SCHRUPPEN)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CProgramStock stock;
        EXPECT_FALSE(ReadStockComment(row.comment, stock));
        EXPECT_FALSE(stock.hasBox);
        EXPECT_TRUE(stock.tools.empty());
    }
}

struct ProgramRow {
    const char* name;
    const char* bytes;
    bool hasBox;
    CStockBox box;
    std::size_t toolCount;
    double diameterOfT1;
};

TEST(ProgramStock, ReadsHeaderAndWordsLastOneCounting)
{
    const ProgramRow rows[] = {
        {"box in the header", "(ROHTEIL X0 Y0 Z-20 X100 Y80 Z0)\r\n%\r\nG1 X1\r\n", true, PLATE, 0, 0},
        {"box among the words", "%\r\nN10 (ROHTEIL X0 Y0 Z-20 X100 Y80 Z0) G1 X1\r\n", true, PLATE, 0, 0},
        {"words come after the header",
         "(ROHTEIL X0 Y0 Z-5 X5 Y5 Z0)\r\n%\r\n(ROHTEIL X0 Y0 Z-20 X100 Y80 Z0)\r\n", true, PLATE, 0, 0},
        {"an unusable later box keeps the earlier",
         "%\r\n(ROHTEIL X0 Y0 Z-20 X100 Y80 Z0)\r\n(ROHTEIL X9 Y0 Z-20 X1 Y80 Z0)\r\n", true, PLATE, 0, 0},
        {"last tool of a number counts",
         "%\r\n(WERKZEUG T1 SCHAFTFRAESER D10)\r\n(WERKZEUG T1 KUGELFRAESER D4)\r\n(WERKZEUG T2 KUGELFRAESER D6)\r\n",
         false, {}, 2, 4},
        {"two comments in one header line",
         "(WERKZEUG T1 SCHAFTFRAESER D8)(WERKZEUG T2 SCHAFTFRAESER D3)\r\n%\r\n", false, {}, 2, 8},
        {"unclosed header comment does not reach the next line",
         "(WERKZEUG T1 SCHAFTFRAESER D8\r\n(WERKZEUG T2 SCHAFTFRAESER D3)\r\n%\r\n", false, {}, 1, 0},
        {"semicolon comment is no comment of the form", "%\r\n;(ROHTEIL X0 Y0 Z-20 X100 Y80 Z0)\r\n", false, {}, 0,
         0},
    };
    for (const ProgramRow& row : rows) {
        SCOPED_TRACE(row.name);
        CLoaderRig rig;
        ASSERT_EQ(rig.LoadBytes(row.bytes), 1);
        const CProgramStock stock = ReadProgramStock(rig.loader.GetWordList(), rig.loader.GetHeader());
        EXPECT_EQ(stock.hasBox, row.hasBox);
        if (row.hasBox) {
            EXPECT_EQ(stock.box, row.box);
        }
        EXPECT_EQ(stock.tools.size(), row.toolCount);
        if (row.diameterOfT1 > 0) {
            ASSERT_EQ(stock.tools.count(1), 1u);
            EXPECT_EQ(stock.tools.at(1).diameter, row.diameterOfT1);
        }
    }
}

TEST(ProgramStock, ChoiceOverProgramOverAutomatic)
{
    CLoaderRig rig;
    ASSERT_EQ(rig.LoadBytes("%\r\nG1 X10 Y10 Z-1\r\nX20\r\n"), 1);
    CMoveTable table;
    CPathBuilder(rig.loader.GetWordList(), 1).BuildTable(table);
    CProgramStock program;
    program.hasBox = true;
    program.box = PLATE;
    program.tools[1] = CTool{TOOL_BALL, 4};
    program.tools[2] = CTool{TOOL_BALL, 8};
    const CStockBox given{-1, -1, -1, 1, 1, 0};

    const struct {
        const char* name;
        bool choiceHasBox;
        bool programHasBox;
        StockBoxSource source;
    } rows[] = {
        {"given box wins", true, true, STOCK_BOX_GIVEN},
        {"program box over automatic", false, true, STOCK_BOX_PROGRAM},
        {"automatic box without either", false, false, STOCK_BOX_AUTOMATIC},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CStockChoice choice;
        choice.hasBox = row.choiceHasBox;
        choice.box = given;
        CProgramStock stated = program;
        stated.hasBox = row.programHasBox;
        StockBoxSource source = STOCK_BOX_GIVEN;
        const CStockBox box = ChooseStockBox(choice, stated, table, rig.loader.GetWordList(), choice.tools, &source);
        EXPECT_EQ(source, row.source);
        const CStockBox expected = row.source == STOCK_BOX_GIVEN     ? given
                                   : row.source == STOCK_BOX_PROGRAM ? PLATE
                                                                     : CStockBox::FitToPath(table, rig.loader.GetWordList(), choice.tools);
        EXPECT_EQ(box, expected);
    }

    CStockChoice choice;
    choice.tools.SetTool(1, CTool{TOOL_FLAT, 12});
    choice.tools.SetTool(2, CTool{TOOL_FLAT, 12});
    choice.tools.SetTool(3, CTool{TOOL_FLAT, 12});
    choice.fixedTools = {1};
    const CToolTable tools = ChooseStockTools(choice, program);
    EXPECT_EQ(tools.Find(1), (CTool{TOOL_FLAT, 12})) << "a fixed number wins over the program";
    EXPECT_EQ(tools.Find(2), (CTool{TOOL_BALL, 8})) << "the program replaces a stored entry";
    EXPECT_EQ(tools.Find(3), (CTool{TOOL_FLAT, 12})) << "entries the program does not state stay";
    EXPECT_EQ(tools.GetDefaultTool(), choice.tools.GetDefaultTool());
}

} // namespace
