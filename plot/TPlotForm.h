// The plot window: a live chart of the numbers the running program prints.
//
// A thin view over a PlotRecorder, which the console feeds: the window
// redraws on its own timer (not per sample), only while shown, not paused
// and when the history moved. Its controls: pause and resume (the history
// keeps collecting while paused), clear, the x axis (sample number, arrival
// time, or X-Y: one series against another, chosen in two lists), the
// history length (remembered in "tnplot.ini" beside the port file), and
// export of the history as CSV and of the view as PNG. The legend's entries
// switch their series on and off. The "?" button says how the window reads
// lines and times them.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

#include "plot/TPlotCurves.h"
#include "plot/PlotRecorder.h"

class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QLineSeries;
class QPushButton;
class QSpinBox;
class QTimer;
class QValueAxis;

namespace travin {

class TPlotForm : public QWidget {
    Q_OBJECT
public:
    // `settingsFolder` ends with a separator; the history length is kept
    // there. The window is a tool window of `parent`, never modal.
    TPlotForm(QWidget* parent, Clock& clock, const QString& settingsFolder);
    ~TPlotForm() override;

    PlotRecorder& recorder() { return samples; }

    // Shows the window (placed beside `mainWindow` the first time) and
    // brings it to the front.
    void showBeside(QWidget* mainWindow);

    // Draws the history now if it changed since the last drawing (or
    // `force`); what the timer calls, a dozen or so times a second.
    void refresh(bool force = false);
    int redrawCount() const { return redraws; }

    bool paused() const;
    void setPaused(bool paused);
    void clear();
    void setAxis(PlotAxis axis);
    // One series against another: `xSeries` across, `ySeries` up (indexes
    // in the history); the lists follow.
    void showXy(std::size_t xSeries, std::size_t ySeries);
    bool xyShown() const { return xyMode; }
    // The window's explanation of what it reads and how it times it.
    static QString helpText();
    void setHistoryLength(int samples);

    // Write the history (CSV) or the view (PNG) to `path`; false after an
    // error box when the file cannot be written.
    bool exportCsv(const QString& path);
    bool exportPng(const QString& path);
    // The save dialog the export buttons ask for a path; tests replace it.
    // Returns an empty text when the user cancelled.
    std::function<QString(const QString& caption, const QString& suggested, const QString& filter)> chooseSavePath;

    // Widgets, for tests.
    QPushButton* PauseButton = nullptr;
    QPushButton* ClearButton = nullptr;
    QComboBox* AxisBox = nullptr;
    QSpinBox* HistoryBox = nullptr;
    QPushButton* ExportCsvButton = nullptr;
    QPushButton* ExportPngButton = nullptr;
    QLabel* StatusLabel = nullptr;
    QComboBox* XSeriesBox = nullptr;
    QComboBox* YSeriesBox = nullptr;
    QPushButton* HelpButton = nullptr;
    QChartView* ChartView = nullptr;

    // The chart's series for history series `index` (it carries the legend
    // entry, the name and the pen; the line itself is drawn by `curves()`),
    // or null.
    QLineSeries* chartSeries(std::size_t index) const;
    // Points drawn for history series `index` over time, gaps not counted.
    qsizetype drawnPoints(std::size_t index) const;
    const TPlotCurves& curvesDrawn() const { return *curvesItem; }
    // The X-Y view's points, all its pieces together, in order.
    QList<QPointF> xyDrawn() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // Over time a curve is one empty chart series for its legend entry, and
    // its line is drawn by curvesItem; in X-Y the pieces carry the points.
    struct Curve {
        std::vector<QLineSeries*> pieces;  // pieces[0] carries the legend entry
        bool shown = true;
    };

    void buildWidgets();
    void matchCurves();
    Curve makeCurve(const PlotSeries& series);
    QLineSeries* addPiece(Curve& curve, const PlotSeries& series);
    TPlotCurves::Line curveLine(std::size_t index, const Curve& curve, double& low, double& high);
    void drawPieces(Curve& curve, const PlotSeries& look, const std::vector<PlotPoint>& points, double& low,
                    double& high, double* xLow = nullptr, double* xHigh = nullptr);
    void drawXy();
    void fillSeriesLists();
    void axisChosen(int index);
    void toggleCurve(QLineSeries* legendOwner);
    void updateStatus();
    void exportWithDialog(bool png);
    bool writeFile(const QString& path, const QByteArray& bytes);

    PlotRecorder samples;
    QString settingsPath;
    PlotAxis axis = PlotAxis::SampleNumber;
    QChart* chart = nullptr;
    QValueAxis* xAxis = nullptr;
    QValueAxis* yAxis = nullptr;
    QTimer* redrawTimer = nullptr;
    TPlotCurves* curvesItem = nullptr;
    std::vector<Curve> curves;
    // The X-Y view's line (its colour is the y series').
    Curve xyCurve;
    bool xyMode = false;
    std::size_t listedSeries = 0;
    std::uint64_t drawnRevision = ~std::uint64_t{0};
    int redraws = 0;
    bool placed = false;
};

}  // namespace travin
