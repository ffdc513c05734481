#include "plot/TPlotCurves.h"

#include <QChart>
#include <QPainter>
#include <QPaintDevice>
#include <QPolygonF>
#include <QValueAxis>
#include <cmath>

namespace travin {

namespace {

// Calls take(begin, end) for each longest run of points [begin, end) joined
// by segments of one kind: settled (both ends settled) or live (the rest).
// A lone point, with a gap or the end on both sides, is a live run of one.
template <class Take>
void forEachRun(const std::vector<PlotPoint>& points, bool settled, Take take) {
    const std::size_t n = points.size();
    constexpr std::size_t kNone = ~std::size_t{0};
    std::size_t begin = kNone;
    for (std::size_t i = 0; i + 1 < n; ++i) {
        const bool joined = !std::isnan(points[i].y) && !std::isnan(points[i + 1].y);
        if (joined && (points[i].settled && points[i + 1].settled) == settled) {
            if (begin == kNone) begin = i;
        } else if (begin != kNone) {
            take(begin, i + 1);
            begin = kNone;
        }
    }
    if (begin != kNone) take(begin, n);
    if (settled) return;
    for (std::size_t i = 0; i < n; ++i) {
        if (std::isnan(points[i].y)) continue;
        const bool before = i > 0 && !std::isnan(points[i - 1].y);
        const bool after = i + 1 < n && !std::isnan(points[i + 1].y);
        if (!before && !after) take(i, i + 1);
    }
}

}  // namespace

QPointF TPlotCurves::Scale::map(const PlotPoint& p) const {
    return {area.left() + (p.x - xMin) / (xMax - xMin) * area.width(),
            area.bottom() - (p.y - yMin) / (yMax - yMin) * area.height()};
}

TPlotCurves::TPlotCurves(QChart* chart, const QValueAxis* xAxis, const QValueAxis* yAxis)
    : QGraphicsItem(chart), xAxis(xAxis), yAxis(yAxis), area(chart->plotArea()) {
    // Above the grid and the axes, below the legend.
    setZValue(7);
    QObject::connect(chart, &QChart::plotAreaChanged, chart, [this](const QRectF& plotArea) {
        prepareGeometryChange();
        area = plotArea;
        update();
    });
}

void TPlotCurves::setLines(std::vector<Line> lines) {
    shownLines = std::move(lines);
    update();
}

std::size_t TPlotCurves::drawnPoints(std::size_t index) const {
    if (index >= shownLines.size()) return 0;
    std::size_t n = 0;
    for (const PlotPoint& p : shownLines[index].points) n += std::isnan(p.y) ? 0 : 1;
    return n;
}

TPlotCurves::PictureKey TPlotCurves::currentKey(const Scale& scale, qreal pixelRatio) const {
    PictureKey key;
    key.scale = scale;
    key.pixelRatio = pixelRatio;
    for (const Line& line : shownLines) {
        if (!line.shown) continue;
        key.pens.push_back(line.pen);
        forEachRun(line.points, true, [&](std::size_t begin, std::size_t end) {
            for (std::size_t i = begin; i < end; ++i) {
                key.coordinates.push_back(line.points[i].x);
                key.coordinates.push_back(line.points[i].y);
            }
            key.runLengths.push_back(end - begin);
        });
        key.runLengths.push_back(0);  // the next line's runs start here
    }
    return key;
}

void TPlotCurves::drawSettled(const Scale& scale, qreal pixelRatio) {
    // Whole pixels: the picture then lands on the same pixels the lines
    // would have been drawn on.
    const QRect pixels = area.toAlignedRect();
    picture = QImage(pixels.size() * pixelRatio, QImage::Format_ARGB32_Premultiplied);
    picture.setDevicePixelRatio(pixelRatio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.translate(-QPointF(pixels.topLeft()));
    QPolygonF run;
    for (const Line& line : shownLines) {
        if (!line.shown) continue;
        painter.setPen(line.pen);
        forEachRun(line.points, true, [&](std::size_t begin, std::size_t end) {
            run.clear();
            for (std::size_t i = begin; i < end; ++i) run.append(scale.map(line.points[i]));
            painter.drawPolyline(run);
        });
    }
    ++settledDrawings;
}

void TPlotCurves::drawLive(QPainter* painter, const Scale& scale) const {
    QPolygonF run;
    for (const Line& line : shownLines) {
        if (!line.shown) continue;
        painter->setPen(line.pen);
        forEachRun(line.points, false, [&](std::size_t begin, std::size_t end) {
            if (end - begin == 1) {
                painter->drawPoint(scale.map(line.points[begin]));
                return;
            }
            run.clear();
            for (std::size_t i = begin; i < end; ++i) run.append(scale.map(line.points[i]));
            painter->drawPolyline(run);
        });
    }
}

void TPlotCurves::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) {
    Scale scale{area, xAxis->min(), xAxis->max(), yAxis->min(), yAxis->max()};
    if (area.isEmpty() || !(scale.xMax > scale.xMin) || !(scale.yMax > scale.yMin)) return;
    const qreal pixelRatio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    PictureKey key = currentKey(scale, pixelRatio);
    if (!pictureValid || !(key == pictureKey)) {
        drawSettled(scale, pixelRatio);
        pictureKey = std::move(key);
        pictureValid = true;
    }
    painter->save();
    painter->setClipRect(area);
    if (!pictureKey.coordinates.empty()) painter->drawImage(QPointF(area.toAlignedRect().topLeft()), picture);
    drawLive(painter, scale);
    painter->restore();
}

}  // namespace travin
