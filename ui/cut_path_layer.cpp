#include "cut_path_layer.h"

#include <algorithm>

#include <QPainter>
#include <QPen>
#include <QPolygonF>

#include "path_raster.h"

namespace {

constexpr qreal CONTOUR_WIDTH = 1.0;
constexpr qreal CONTOUR_EDGE_WIDTH = 3.0;
constexpr QRgb CONTOUR_EDGE_COLOUR = 0xA0000000;
constexpr qreal REST_WIDTH = 1.0;

const char* const COMPENSATION_TEXT = "Radiuskorrektur %1 (G%2), r = %3";
const char* const LEFT_TEXT = "links";
const char* const RIGHT_TEXT = "rechts";
const char* const CYCLE_TEXT = "Bohrzyklus G%1";
const char* const PECK_TEXT = ": Zustellung %1 von %2";
const char* const LINE_TEXT = " in Zeile %1";
constexpr int LEFT_SIDE = 41;
constexpr int RADIUS_DECIMALS = 3;

// The cycles that feed in pecks; the others drill in one feed.
bool IsPeckCycle(int gNumber) { return gNumber == 83 || gNumber == 73; }

void DrawMoves(QPainter& painter, const CMoveTable& table, const CPathView& view, std::size_t first, std::size_t last,
               const std::vector<std::uint32_t>* only)
{
    std::vector<CViewPoint> points;
    QPolygonF polygon;
    const auto draw = [&](std::size_t move) {
        CPathRaster::TraceMove(table, move, view, points);
        polygon.clear();
        for (const CViewPoint& point : points)
            polygon.append(QPointF(point.x, point.y));
        // A move of no length in this view leaves nothing to see.
        if (polygon.size() > 2 || (polygon.size() == 2 && polygon.first() != polygon.last()))
            painter.drawPolyline(polygon);
    };
    std::size_t drawn = 0;
    if (only != nullptr) {
        for (const std::uint32_t move : *only) {
            if (move >= table.GetCount() || ++drawn > CCutPathLayer::MAX_DRAWN_MOVES)
                break;
            draw(move);
        }
        return;
    }
    for (std::size_t move = first; move < last && ++drawn <= CCutPathLayer::MAX_DRAWN_MOVES; ++move)
        draw(move);
}

} // namespace

std::unique_ptr<CCutPathModel> CCutPathLayer::Build(const CWordList& words, const CToolTable& tools,
                                                    CMoveTable& table, const std::atomic<bool>* cancel,
                                                    std::size_t maxMoves)
{
    if (!CCutPathBuilder::NeedsCut(words))
        return nullptr;
    auto cut = std::make_unique<CCutPathModel>();
    cut->programmed = std::move(table);
    table.Clear();
    // Lines come from the program view, as for the path.
    cut->summary = CCutPathBuilder(words, 0, tools).BuildTable(table, cancel, maxMoves, &cut->notes);

    // Both tables are in program order, and a cut move carries the end word
    // of the block it belongs to: one walk finds the compensated blocks.
    const CMoveTable& programmed = cut->programmed;
    std::size_t programmedMove = 0;
    for (std::size_t move = 0; move < table.GetCount(); ++move) {
        if ((table.GetFlags(move) & MOVE_COMPENSATED) == 0)
            continue;
        const std::uint32_t word = table.GetEndWord(move);
        while (programmedMove < programmed.GetCount() && programmed.GetEndWord(programmedMove) < word)
            ++programmedMove;
        while (programmedMove < programmed.GetCount() && programmed.GetEndWord(programmedMove) == word)
            cut->contourMoves.push_back(static_cast<std::uint32_t>(programmedMove++));
    }
    cut->restFirst = programmed.GetCount();
    if (cut->summary.hasError) {
        std::size_t low = 0;
        std::size_t high = programmed.GetCount();
        while (low < high) {
            const std::size_t middle = low + (high - low) / 2;
            if (programmed.GetEndWord(middle) < cut->summary.error.word)
                low = middle + 1;
            else
                high = middle;
        }
        cut->restFirst = low;
    }
    return cut;
}

QString CCutPathLayer::NoteText(const CCutNote& note)
{
    if (note.kind == CCutNote::CUT_NOTE_COMPENSATION) {
        return QString::fromLatin1(COMPENSATION_TEXT)
            .arg(QString::fromLatin1(note.gNumber == LEFT_SIDE ? LEFT_TEXT : RIGHT_TEXT))
            .arg(note.gNumber)
            .arg(QString::number(note.radius, 'f', RADIUS_DECIMALS));
    }
    QString text = QString::fromLatin1(CYCLE_TEXT).arg(note.gNumber);
    if (IsPeckCycle(note.gNumber) && note.peck > 0 && note.peckCount > 0)
        text += QString::fromLatin1(PECK_TEXT).arg(note.peck).arg(note.peckCount);
    return text;
}

QString CCutPathLayer::ErrorText(const std::string& message, std::int64_t line)
{
    const QString text = QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size()));
    const QString where = QString::fromLatin1(LINE_TEXT).arg(line);
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return text + where;
    return text.left(colon) + where + text.mid(colon);
}

void CCutPathLayer::PaintUnder(QPainter& painter, const CPathView& view, const QSize&)
{
    if (!shown || model == nullptr || model->restFirst >= model->programmed.GetCount())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor::fromRgba(REST_COLOUR), REST_WIDTH));
    DrawMoves(painter, model->programmed, view, model->restFirst, model->programmed.GetCount(), nullptr);
    painter.restore();
}

void CCutPathLayer::PaintOver(QPainter& painter, const CPathView& view, const QSize&)
{
    if (!shown || model == nullptr || model->contourMoves.empty())
        return;
    painter.save();
    // Without smoothing: a thin dashed line stays crisp, in its own colour.
    painter.setRenderHint(QPainter::Antialiasing, false);
    // The raster puts a point on the pixel nearest to it; unsmoothed Qt
    // lines take the pixel below and to the right of it.
    painter.translate(0.5, 0.5);
    // A dark edge under the dashes keeps them apart from the workpiece's
    // colours, light and dark alike.
    QPen edge(QColor::fromRgba(CONTOUR_EDGE_COLOUR), CONTOUR_EDGE_WIDTH);
    edge.setCosmetic(true);
    painter.setPen(edge);
    DrawMoves(painter, model->programmed, view, 0, 0, &model->contourMoves);
    QPen pen(QColor::fromRgba(CONTOUR_COLOUR), CONTOUR_WIDTH, Qt::DashLine);
    pen.setCosmetic(true);
    painter.setPen(pen);
    DrawMoves(painter, model->programmed, view, 0, 0, &model->contourMoves);
    painter.restore();
}

void CCutPathLayer::ExtendBounds(CMovePoint& min, CMovePoint& max) const
{
    CMovePoint programmedMin;
    CMovePoint programmedMax;
    if (model == nullptr || !model->programmed.GetBounds(programmedMin, programmedMax))
        return;
    min = {std::min(min.x, programmedMin.x), std::min(min.y, programmedMin.y), std::min(min.z, programmedMin.z)};
    max = {std::max(max.x, programmedMax.x), std::max(max.y, programmedMax.y), std::max(max.z, programmedMax.z)};
}
