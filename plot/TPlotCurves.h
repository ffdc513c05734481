// The plot's lines over time, drawn over the chart's plot area.
//
// The chart's own line series restroke every point and rebuild an outline of
// the whole line for the mouse at every drawing, which for a full history
// costs more than everything else the window does. This item draws the
// lines itself, one polyline per unbroken run, and keeps a picture of the
// settled runs (points the history marks settled: full columns that no
// sample can change): a drawing blits that picture and strokes only the
// newest and the oldest column of each line. The picture is drawn anew when
// the settled points, the axes' ranges, the area, a pen or a line's
// visibility change: as a column fills or is trimmed, or the axes move on.
#pragma once

#include <QGraphicsItem>
#include <QImage>
#include <QPen>
#include <QRectF>
#include <vector>

#include "plot/PlotHistory.h"

class QChart;
class QValueAxis;

namespace travin {

class TPlotCurves : public QGraphicsItem {
public:
    struct Line {
        QPen pen;
        bool shown = true;
        std::vector<PlotPoint> points;  // x rising; NaN y breaks the line
    };

    // Drawn over `chart`'s plot area, scaled by its two axes.
    TPlotCurves(QChart* chart, const QValueAxis* xAxis, const QValueAxis* yAxis);

    // The lines to draw from now on; the view is updated.
    void setLines(std::vector<Line> lines);
    const std::vector<Line>& lines() const { return shownLines; }
    // The points of line `index` that are drawn (gaps not counted).
    std::size_t drawnPoints(std::size_t index) const;
    // How often the kept picture of the settled runs was drawn anew.
    int pictureDrawings() const { return settledDrawings; }

    QRectF boundingRect() const override { return area; }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    // Data coordinates to the item's (the chart's) coordinates.
    struct Scale {
        QRectF area;
        double xMin = 0, xMax = 1, yMin = 0, yMax = 1;
        bool operator==(const Scale&) const = default;
        QPointF map(const PlotPoint& p) const;
    };
    // What the kept picture shows, to tell when it is out of date: per
    // shown line its pen and its settled runs, their points' x and y one
    // after another and each run's length.
    struct PictureKey {
        Scale scale;
        qreal pixelRatio = 1;
        std::vector<QPen> pens;
        std::vector<double> coordinates;
        std::vector<std::size_t> runLengths;
        bool operator==(const PictureKey&) const = default;
    };

    PictureKey currentKey(const Scale& scale, qreal pixelRatio) const;
    void drawSettled(const Scale& scale, qreal pixelRatio);
    void drawLive(QPainter* painter, const Scale& scale) const;

    const QValueAxis* xAxis;
    const QValueAxis* yAxis;
    QRectF area;
    std::vector<Line> shownLines;
    QImage picture;
    PictureKey pictureKey;
    bool pictureValid = false;
    int settledDrawings = 0;
};

}  // namespace travin
