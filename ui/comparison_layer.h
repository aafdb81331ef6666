// The comparison with a reference program in the toolpath window: the
// reference is loaded and cut once, off the window's thread, with the
// window's tools in the learner's box, and after every step the learner's
// material as it is now is compared with the reference's finished part (only
// the rows the step changed). From the top the difference lies over the
// relief: too deep red, material left blue (lighter until the program's
// end), within in the relief's own shades; from the front and the side each
// line of sight shows the same colours over the silhouette, between the
// heights where they differ. It draws the reference's path as a thin line,
// names the deepest cut and sums up at the end. It wraps the workpiece
// layer, which stays as it is; the reference is remembered in the settings
// store. Its cuts and the search for the learner's first move too deep are
// cancelled, never waited for, by a new reference, "Vergleich aus" or a
// load.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <QImage>
#include <QObject>
#include <QString>

#include "canvas_layer.h"
#include "height_grid.h"
#include "latest_job_runner.h"
#include "move_table.h"
#include "program_host.h"
#include "step_state.h"
#include "stock_comparison.h"
#include "word_list.h"

class CToolpathCanvas;
class CWorkpieceLayer;
class QLayout;
class QPushButton;
class QWidget;

class CComparisonLayer : public QObject, public ICanvasLayer {
    Q_OBJECT

public:
    // The colours of the difference over the relief.
    static constexpr QRgb OVER_COLOUR = 0xFFE01010;
    static constexpr QRgb UNDER_COLOUR = 0xFF2050F0;
    // Material left before the program's end is still to be cut: lighter.
    static constexpr QRgb UNDER_COMING_COLOUR = 0x603070FF;

    CComparisonLayer(ISettingsStore& store, CToolpathCanvas* canvas, CWorkpieceLayer* workpiece, QWidget* window);
    ~CComparisonLayer() override;

    // "Vergleichen...", "Vergleich aus", "Musterbahn" and "Bild speichern...".
    void AddButtons(QLayout& row);
    // The file line of a move of the learner's path, for the info line.
    void SetLineFinder(std::function<long long(std::size_t move)> finder) { lineOfMove = std::move(finder); }

    void OnProgramChanging();
    void SetPath(std::shared_ptr<const CMoveTable> path, const CWordList* words);
    void Follow(const CStepState& step);

    // Starts cutting the reference off the window's thread; it is compared
    // once cut. False with a German message when there is no learner's
    // workpiece to compare. A reference that cannot be used leaves a German
    // message and the comparison as it was.
    bool Start(const QString& referenceFile);
    // Ends the comparison, and a reference's cut still running.
    void Stop();
    bool IsOn() const { return on; }
    // A reference is being loaded and cut.
    bool IsCutting() const { return cutting; }
    // The learner's first move too deep is still being looked for.
    bool IsSearching() const { return searching; }
    // The learner's first move after which some cell lies too deep, once the
    // search has found it; false while searching and when there is none.
    bool GetFirstOver(std::size_t& move) const
    {
        move = firstOverMove;
        return firstOver;
    }
    void ChooseReference();
    void SetReferencePathShown(bool shown);
    bool IsReferencePathShown() const { return referencePathShown; }
    // The picture of the canvas with the file name, the date and the
    // summary; SavePicture writes it as PNG.
    QImage MakePicture(const QString& learnerName) const;
    bool SavePicture(const QString& file, const QString& learnerName) const;
    void ChoosePictureFile();
    void SetLearnerName(const QString& name) { learnerName = name; }

    // The deepest cut too deep at this step, or the summary at the end;
    // empty while off.
    QString GetInfoText() const;
    // "Vergleich mit muster.nc: ..." of the comparison as it stands.
    QString GetSummary() const;
    // Why the last start failed, empty when it did not.
    const QString& GetMessage() const { return message; }
    const CStockComparison* GetComparison() const { return comparison.get(); }

    void PaintUnder(QPainter& painter, const CPathView& view, const QSize& size) override;
    void PaintOver(QPainter& painter, const CPathView& view, const QSize& size) override;
    void ExtendBounds(CMovePoint& min, CMovePoint& max) const override;

signals:
    void InfoChanged();

private:
    struct CReference;
    struct CCutRequest;
    // The lowest and highest height of each line of sight where the learner
    // is too deep (the learner's lowest to the reference's highest) and where
    // material is left (the reference's lowest to the learner's highest);
    // low above high where there is none.
    struct CSightBands {
        std::vector<double> overLow, overHigh, underLow, underHigh;
    };

    // On the reference runner's thread: null when cancelled or failed (then
    // failure says why).
    static std::shared_ptr<const CReference> CutReference(const CCutRequest& request, const std::atomic<bool>& cancel,
                                                          QString& failure);
    void OnReferenceCut(std::uint64_t serial, std::shared_ptr<const CReference> made, const QString& failure);
    void StartFirstOverSearch();
    void OnFirstOverFound(std::uint64_t serial, bool found, std::size_t move);
    // The deepest cut too deep at this step, or the summary at the end.
    QString GetComparisonText() const;
    void MeasureBands();
    void DrawBands(QPainter& painter, const CPathView& view);

    // The workpiece sent a new picture: compare the rows it changed.
    void OnMaterial();
    void CompareAll(const CHeightGrid& learner);
    void DrawRow(std::size_t row);
    void RedrawUnder();
    bool AtEnd() const;
    void UpdateButtons();

    ISettingsStore& store;
    CToolpathCanvas* canvas;
    CWorkpieceLayer* workpiece;
    QWidget* window;
    QPushButton* stopButton = nullptr;
    QPushButton* pathButton = nullptr;
    std::function<long long(std::size_t)> lineOfMove;

    std::shared_ptr<const CMoveTable> path;
    const CWordList* words = nullptr;
    CStepState step;
    QString learnerName;

    bool on = false;
    bool referencePathShown = true;
    QString referenceFile;
    QString message;
    // Shared with the search for the first move too deep, which may outlive
    // a comparison that ends.
    std::shared_ptr<const CReference> reference;
    std::unique_ptr<CStockComparison> comparison;
    // The learner's heights last compared, and the difference picture
    // (transparent where within), one pixel per cell, top row last in Y.
    std::vector<double> learnerHeights;
    QImage difference;
    bool drawnAtEnd = false;
    // The learner's first move too deep over the whole program.
    bool firstOver = false;
    std::size_t firstOverMove = 0;
    // Along the lines of sight from the front (per column) and the side
    // (per row), measured again when drawn after a change.
    CSightBands frontBands;
    CSightBands sideBands;
    bool bandsMeasured = false;

    // The reference being cut, and the answers still welcome: a new start,
    // a stop or a new program makes older ones stale.
    bool cutting = false;
    QString cuttingFile;
    bool reportToUser = false;
    std::uint64_t cutSerial = 0;
    // The serial of the cut running, for its failure report; only the
    // reference runner's thread uses it.
    std::uint64_t cutJobSerial = 0;
    bool searching = false;
    std::uint64_t searchSerial = 0;
    // The serial of the search running; only the search runner's thread
    // uses it.
    std::uint64_t searchJobSerial = 0;
    // Last, so that they end (cancelled) before anything their jobs report to.
    CLatestJobRunner searchRunner;
    CLatestJobRunner referenceRunner;
};
