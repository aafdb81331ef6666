// What the toolpath window adds for the path as the machine cuts it: the
// programmed contour of compensated moves as a thin dashed line over the
// picture and, after a cut error, the rest of the programmed path faint under
// it; and the texts of the info line and of the error on the picture. The cut
// path itself is the window's path, drawn and coloured like any other, and
// the window decides when it is built; this layer only shows what the
// machine does not cut.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include <QRgb>
#include <QString>

#include "canvas_layer.h"
#include "cut_path.h"
#include "move_table.h"
#include "tool_table.h"
#include "word_list.h"

// The programmed path beside a cut path, and what cutting it said.
struct CCutPathModel {
    CMoveTable programmed;
    CCutNotes notes;
    CCutSummary summary;
    // The programmed moves of the blocks whose cut moves are compensated,
    // ascending: the contour drawn dashed.
    std::vector<std::uint32_t> contourMoves;
    // The first programmed move that was not cut: that of the cut error's
    // block, or the count of programmed moves.
    std::size_t restFirst = 0;
};

class CCutPathLayer : public ICanvasLayer {
public:
    static constexpr QRgb CONTOUR_COLOUR = 0xFFFF66FF;
    static constexpr QRgb REST_COLOUR = 0x50B0BEC5;
    // Beyond this many moves the contour and the rest are left out of the
    // picture: they are drawn at every repaint.
    static constexpr std::size_t MAX_DRAWN_MOVES = 200000;

    // On a worker thread, after table holds the programmed path of words:
    // moves that path into the result and builds the cut path into table.
    // Null when words need no cut path: table is then left as it is.
    static std::unique_ptr<CCutPathModel> Build(const CWordList& words, const CToolTable& tools, CMoveTable& table,
                                                const std::atomic<bool>* cancel, std::size_t maxMoves);

    // The result shown; null for none (a program without these words).
    void SetModel(std::shared_ptr<const CCutPathModel> shown) { model = std::move(shown); }
    const CCutPathModel* GetModel() const { return model.get(); }
    // Hidden with the path, when the learner wants to see the workpiece.
    void SetShown(bool show) { shown = show; }

    // The info line's words on a move's note: "Radiuskorrektur links (G41),
    // r = 3.000", "Bohrzyklus G83: Zustellung 2 von 5".
    static QString NoteText(const CCutNote& note);
    // The cut error as the picture shows it: its message with its line put
    // in after the subject, "Konturverletzung in Zeile 23: ...".
    static QString ErrorText(const std::string& message, std::int64_t line);

    void PaintUnder(QPainter& painter, const CPathView& view, const QSize& size) override;
    void PaintOver(QPainter& painter, const CPathView& view, const QSize& size) override;
    void ExtendBounds(CMovePoint& min, CMovePoint& max) const override;

private:
    std::shared_ptr<const CCutPathModel> model;
    bool shown = true;
};
