// Programs as a learner meets them, generated for the workpiece's tests and
// its benchmark: a rectangular pocket cut in rows at several depths, a round
// pocket of rings, a face milled at many depths and a helix of many turns.
// CR LF lines after a "%" line, with the default tool in mind that each
// names.
#pragma once

#include <string>

// 40 x 20 for a flat 6 mm tool at 6 depths: rows, then the walls; 91 moves.
inline std::string RectangularPocketProgram()
{
    std::string text = "%\r\nG0 X3 Y3 Z2\r\n";
    for (int depth = 1; depth <= 6; ++depth) {
        text += "G1 Z-" + std::to_string(depth * 0.5) + " F100\r\n";
        for (int row = 0; row < 6; ++row) {
            text += row % 2 == 0 ? "X37\r\n" : "X3\r\n";
            if (row < 5)
                text += "Y" + std::to_string(3.0 + 2.8 * (row + 1)) + "\r\n";
        }
        text += "Y3\r\nX37\r\nY17\r\n";
    }
    return text;
}

// Rings of 4 to 16 mm about (30, 30) at 8 depths, for a flat 10 mm tool;
// 81 moves.
inline std::string RoundPocketProgram()
{
    std::string text = "%\r\nG0 X30 Y30 Z2\r\n";
    for (int depth = 1; depth <= 8; ++depth) {
        text += "G1 X30 Y30 Z-" + std::to_string(depth * 0.75) + " F100\r\n";
        for (int ring = 1; ring <= 4; ++ring) {
            const std::string radius = std::to_string(4 * ring);
            text += "G1 X" + std::to_string(30 + 4 * ring) + " Y30\r\n";
            text += "G3 X" + std::to_string(30 + 4 * ring) + " Y30 I-" + radius + " J0\r\n";
        }
        text += "G0 Z2\r\n";
    }
    return text;
}

// 102 passes 1 mm apart over 100 mm for a flat 6 mm tool, at 30 depths of
// 0.2 mm; 6151 moves.
inline std::string FacingProgram()
{
    std::string text = "%\r\nG0 X0 Y0 Z2\r\n";
    for (int depth = 1; depth <= 30; ++depth) {
        text += "G1 X0 Y0 Z-" + std::to_string(depth * 0.2) + " F500\r\n";
        for (int pass = 0; pass < 102; ++pass) {
            text += pass % 2 == 0 ? "X100\r\n" : "X0\r\n";
            text += "Y" + std::to_string(pass + 1) + "\r\n";
        }
    }
    return text;
}

// Full turns of radius 40 about the origin, each 0.01 deeper, for a flat
// 20 mm tool: one move a turn.
inline std::string HelixProgram(int turns)
{
    std::string text = "%\r\nG0 X40 Y0 Z1\r\nG1 Z0 F500\r\n";
    for (int turn = 1; turn <= turns; ++turn)
        text += "G2 X40 Y0 Z-" + std::to_string(turn * 0.01) + " I-40 J0\r\n";
    return text;
}
