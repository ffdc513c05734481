#include "plot/TPlotForm.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QHideEvent>
#include <QShowEvent>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace travin {

namespace {

// About fifteen drawings a second: smooth to the eye, and the cost no
// longer depends on how fast the samples come.
constexpr int kRedrawMs = 66;
const char* const kHistoryKey = "plot/historyLength";
const char* const kAxisKey = "plot/axis";

// Sixteen colours far enough apart to tell the lines apart; series 17 to 32
// take them again with a dashed line.
QColor seriesColour(int index) {
    static const QColor kColours[16] = {
        {31, 119, 180},  {214, 39, 40},  {44, 160, 44},   {255, 127, 14}, {148, 103, 189}, {140, 86, 75},
        {227, 119, 194}, {127, 127, 127}, {188, 189, 34}, {23, 190, 207}, {0, 0, 128},     {128, 0, 0},
        {0, 128, 128},   {204, 153, 0},  {102, 0, 153},   {0, 0, 0},
    };
    return kColours[index % 16];
}

// A tick step of 1, 2 or 5 times a power of ten that cuts `span` into
// about five parts, so the labels read as round numbers.
double niceStep(double span) {
    const double rough = span / 5;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    const double scaled = rough / power;
    return (scaled < 1.5 ? 1 : scaled < 3.5 ? 2 : scaled < 7.5 ? 5 : 10) * power;
}

// Range and step change in the order that never has a wide range with a fine
// step, even for a moment: the axis makes every tick of that pair at once.
void setNiceRange(QValueAxis* axis, double from, double to) {
    const double step = niceStep(to - from);
    axis->setTickAnchor(0);
    if (step > axis->tickInterval()) {
        axis->setTickInterval(step);
        axis->setRange(from, to);
    } else {
        axis->setRange(from, to);
        axis->setTickInterval(step);
    }
}

// The range widened outward to whole fifths of its tick step: as samples
// come, the axes then keep their range (and the chart its layout and labels)
// until the data crosses such a step, instead of moving at every drawing.
void setSettledRange(QValueAxis* axis, double from, double to) {
    const double grain = niceStep(to - from) / 5;
    if (grain > 0 && std::isfinite(grain)) {
        from = std::floor(from / grain) * grain;
        to = std::ceil(to / grain) * grain;
    }
    if (axis->min() != from || axis->max() != to) setNiceRange(axis, from, to);
}

QString fromLatin1(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

TPlotForm::TPlotForm(QWidget* parent, Clock& clock, const QString& settingsFolder)
    : QWidget(parent, Qt::Window), samples(clock), settingsPath(settingsFolder + "tnplot.ini") {
    setWindowTitle("Plot");
    buildWidgets();

    QSettings settings(settingsPath, QSettings::IniFormat);
    const int length = settings.value(kHistoryKey, static_cast<int>(PlotHistory::kDefaultWindow)).toInt();
    samples.history().setWindow(static_cast<std::size_t>(std::max(length, 0)));
    HistoryBox->setValue(static_cast<int>(samples.history().window()));
    const QString savedAxis = settings.value(kAxisKey).toString();
    if (savedAxis == "time") AxisBox->setCurrentIndex(1);

    connect(PauseButton, &QPushButton::toggled, this, [this](bool on) { setPaused(on); });
    connect(ClearButton, &QPushButton::clicked, this, [this] { clear(); });
    connect(AxisBox, &QComboBox::currentIndexChanged, this, [this](int i) { axisChosen(i); });
    for (QComboBox* box : {XSeriesBox, YSeriesBox}) {
        connect(box, &QComboBox::activated, this, [this] {
            if (xyMode) showXy(static_cast<std::size_t>(std::max(0, XSeriesBox->currentIndex())),
                               static_cast<std::size_t>(std::max(0, YSeriesBox->currentIndex())));
        });
    }
    connect(HelpButton, &QPushButton::clicked, this,
            [this] { QMessageBox::information(this, "Plot", helpText()); });
    connect(HistoryBox, &QSpinBox::valueChanged, this, [this](int n) { setHistoryLength(n); });
    connect(ExportCsvButton, &QPushButton::clicked, this, [this] { exportWithDialog(false); });
    connect(ExportPngButton, &QPushButton::clicked, this, [this] { exportWithDialog(true); });

    chooseSavePath = [this](const QString& caption, const QString& suggested, const QString& filter) {
        return QFileDialog::getSaveFileName(this, caption, suggested, filter);
    };

    redrawTimer = new QTimer(this);
    redrawTimer->setInterval(kRedrawMs);
    connect(redrawTimer, &QTimer::timeout, this, [this] { refresh(); });
    setAxis(AxisBox->currentIndex() == 1 ? PlotAxis::ArrivalSeconds : PlotAxis::SampleNumber);
    // The series are not known yet: X-Y shows the first two once they come.
    if (savedAxis == "xy") showXy(0, 1);
}

QString TPlotForm::helpText() {
    return "The plot reads every line the program prints. A line gives numbers as name=value, "
           "name = value, name:value or name: value (\"x=5\", \"temp: 25\"); plain numbers, "
           "separated by blanks, tabs, commas or semicolons, are series 1, 2, 3 ... by their place. "
           "A number with a unit right after it (25C, 3.3V, 50%) counts as the number; a time of "
           "day (12:30:45) is no sample.\n\n"
           "Series keep the order they first came in, up to 32; values of further names are not "
           "kept, and the line below the chart counts them (Clear starts afresh).\n\n"
           "Arrival time: the workbench reads the board about ten times a second. The lines read "
           "together get times spread over the interval since the read before, by where each "
           "line ends among the bytes, so a steady stream draws as a slope, not a staircase. "
           "After a quiet spell a read is spread over at most a quarter second (or what its bytes "
           "take at 19200 bit/s).\n\n"
           "The line breaks where a new run of the program starts, and on the time axis where "
           "the samples pause for more than four of their usual intervals (and at least 0.3 s).\n\n"
           "X-Y: one series across, another up, one point per line that holds both, in the "
           "order they came.";
}

TPlotForm::~TPlotForm() = default;

void TPlotForm::buildWidgets() {
    PauseButton = new QPushButton("Pause", this);
    PauseButton->setObjectName("PauseButton");
    PauseButton->setCheckable(true);
    PauseButton->setToolTip("Freeze the view; samples keep arriving into the history");
    ClearButton = new QPushButton("Clear", this);
    ClearButton->setObjectName("ClearButton");
    ClearButton->setToolTip("Forget every sample and series");
    AxisBox = new QComboBox(this);
    AxisBox->setObjectName("AxisBox");
    AxisBox->addItems({"Sample number", "Arrival time", "X-Y"});
    AxisBox->setToolTip("What the horizontal axis counts, or X-Y: one series against another");
    XSeriesBox = new QComboBox(this);
    XSeriesBox->setObjectName("XSeriesBox");
    XSeriesBox->setToolTip("The series across");
    YSeriesBox = new QComboBox(this);
    YSeriesBox->setObjectName("YSeriesBox");
    YSeriesBox->setToolTip("The series up");
    for (QComboBox* box : {XSeriesBox, YSeriesBox}) {
        box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        box->hide();
    }
    HelpButton = new QPushButton("?", this);
    HelpButton->setObjectName("HelpButton");
    HelpButton->setToolTip("How the plot reads and times the lines");
    HelpButton->setFixedWidth(HelpButton->fontMetrics().horizontalAdvance("??") + 16);
    HistoryBox = new QSpinBox(this);
    HistoryBox->setObjectName("HistoryBox");
    HistoryBox->setRange(static_cast<int>(PlotHistory::kMinWindow), static_cast<int>(PlotHistory::kMaxWindow));
    HistoryBox->setSingleStep(50);
    HistoryBox->setSuffix(" samples");
    HistoryBox->setToolTip("How many of the latest samples the history keeps");
    // A length is taken when typing ends, not per key: typing 100000 would
    // otherwise pass through 100 and drop all but the last 100 samples.
    HistoryBox->setKeyboardTracking(false);
    ExportCsvButton = new QPushButton("Export CSV...", this);
    ExportCsvButton->setObjectName("ExportCsvButton");
    ExportCsvButton->setToolTip("Save the history as comma-separated values");
    ExportPngButton = new QPushButton("Export PNG...", this);
    ExportPngButton->setObjectName("ExportPngButton");
    ExportPngButton->setToolTip("Save the view as a picture");

    auto* bar = new QHBoxLayout;
    bar->addWidget(PauseButton);
    bar->addWidget(ClearButton);
    bar->addSpacing(12);
    auto* axisLabel = new QLabel("X axis:", this);
    axisLabel->setBuddy(AxisBox);
    bar->addWidget(axisLabel);
    bar->addWidget(AxisBox);
    bar->addWidget(XSeriesBox);
    bar->addWidget(YSeriesBox);
    bar->addSpacing(12);
    auto* historyLabel = new QLabel("History:", this);
    historyLabel->setBuddy(HistoryBox);
    bar->addWidget(historyLabel);
    bar->addWidget(HistoryBox);
    bar->addStretch(1);
    bar->addWidget(ExportCsvButton);
    bar->addWidget(ExportPngButton);
    bar->addWidget(HelpButton);

    chart = new QChart;
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setMargins(QMargins(4, 4, 4, 4));
    xAxis = new QValueAxis(chart);
    yAxis = new QValueAxis(chart);
    for (QValueAxis* a : {xAxis, yAxis}) {
        a->setLabelFormat("%g");
        a->setTickType(QValueAxis::TicksDynamic);
    }
    chart->addAxis(xAxis, Qt::AlignBottom);
    chart->addAxis(yAxis, Qt::AlignLeft);
    setNiceRange(xAxis, 0, 1);
    setNiceRange(yAxis, 0, 1);
    curvesItem = new TPlotCurves(chart, xAxis, yAxis);
    ChartView = new QChartView(chart, this);
    ChartView->setObjectName("ChartView");
    // Plain lines: smoothing each of thousands of points costs more than it
    // shows at one point per pixel.
    ChartView->setRenderHint(QPainter::Antialiasing, false);

    StatusLabel = new QLabel(this);
    StatusLabel->setObjectName("StatusLabel");

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(bar);
    layout->addWidget(ChartView, 1);
    layout->addWidget(StatusLabel);
    resize(720, 440);
    updateStatus();
}

void TPlotForm::showBeside(QWidget* mainWindow) {
    if (!placed && mainWindow) {
        placed = true;
        resize(size().expandedTo(minimumSizeHint()));
        // To the right of the main window where the screen has room, else to
        // its left, else over its right edge.
        const QRect main = mainWindow->frameGeometry();
        const QScreen* screen = mainWindow->screen() ? mainWindow->screen() : QGuiApplication::primaryScreen();
        const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1 << 15, 1 << 15);
        int left = main.right() + 1;
        if (left + width() > area.right()) left = main.left() - width() - 1;
        if (left < area.left()) left = std::max(area.left(), area.right() - width());
        move(left, std::clamp(main.top(), area.top(), std::max(area.top(), area.bottom() - height())));
    }
    show();
    raise();
    activateWindow();
    refresh(true);
}

void TPlotForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    redrawTimer->start();
}

void TPlotForm::hideEvent(QHideEvent* event) {
    // Hidden, the window costs nothing; the recorder goes on recording.
    redrawTimer->stop();
    QWidget::hideEvent(event);
}

bool TPlotForm::paused() const { return PauseButton->isChecked(); }

void TPlotForm::setPaused(bool on) {
    if (PauseButton->isChecked() != on) PauseButton->setChecked(on);  // comes back here through toggled
    PauseButton->setText(on ? "Resume" : "Pause");
    if (!on) refresh(true);
    updateStatus();
}

void TPlotForm::clear() {
    samples.clear();
    refresh(true);
}

void TPlotForm::axisChosen(int index) {
    if (index == 2) {
        if (!xyMode) showXy(0, 1);
        return;
    }
    setAxis(index == 1 ? PlotAxis::ArrivalSeconds : PlotAxis::SampleNumber);
}

void TPlotForm::setAxis(PlotAxis chosen) {
    axis = chosen;
    xyMode = false;
    XSeriesBox->hide();
    YSeriesBox->hide();
    for (QLineSeries* piece : xyCurve.pieces) piece->setVisible(false);
    for (Curve& curve : curves)
        for (QLineSeries* piece : curve.pieces) piece->setVisible(curve.shown);
    curvesItem->setVisible(true);
    const bool time = chosen == PlotAxis::ArrivalSeconds;
    if (AxisBox->currentIndex() != (time ? 1 : 0)) AxisBox->setCurrentIndex(time ? 1 : 0);
    xAxis->setTitleText(time ? "Arrival time (s)" : "Sample number");
    yAxis->setTitleText(QString());
    QSettings(settingsPath, QSettings::IniFormat).setValue(kAxisKey, time ? "time" : "sample");
    refresh(true);
}

void TPlotForm::showXy(std::size_t xSeries, std::size_t ySeries) {
    xyMode = true;
    if (AxisBox->currentIndex() != 2) AxisBox->setCurrentIndex(2);
    XSeriesBox->show();
    YSeriesBox->show();
    fillSeriesLists();
    const int count = XSeriesBox->count();
    if (count > 0) {
        XSeriesBox->setCurrentIndex(std::min(static_cast<int>(xSeries), count - 1));
        YSeriesBox->setCurrentIndex(std::min(static_cast<int>(ySeries), count - 1));
    }
    QSettings(settingsPath, QSettings::IniFormat).setValue(kAxisKey, "xy");
    refresh(true);
}

void TPlotForm::fillSeriesLists() {
    const PlotHistory& h = samples.history();
    if (listedSeries == h.seriesCount() && XSeriesBox->count() == static_cast<int>(listedSeries)) return;
    // New series join the lists; the choices stand (a cleared history
    // starts the lists again).
    if (h.seriesCount() < listedSeries) {
        XSeriesBox->clear();
        YSeriesBox->clear();
    }
    const bool wasEmpty = XSeriesBox->count() == 0;
    for (std::size_t i = static_cast<std::size_t>(XSeriesBox->count()); i < h.seriesCount(); ++i) {
        XSeriesBox->addItem(fromLatin1(h.series(i).name));
        YSeriesBox->addItem(fromLatin1(h.series(i).name));
    }
    listedSeries = h.seriesCount();
    if (wasEmpty && listedSeries > 1) YSeriesBox->setCurrentIndex(1);
}

QList<QPointF> TPlotForm::xyDrawn() const {
    QList<QPointF> all;
    for (const QLineSeries* piece : xyCurve.pieces) all += piece->points();
    return all;
}

void TPlotForm::setHistoryLength(int length) {
    samples.history().setWindow(static_cast<std::size_t>(std::max(length, 0)));
    const int kept = static_cast<int>(samples.history().window());
    if (HistoryBox->value() != kept) HistoryBox->setValue(kept);
    QSettings(settingsPath, QSettings::IniFormat).setValue(kHistoryKey, kept);
    refresh(true);
}

QLineSeries* TPlotForm::chartSeries(std::size_t index) const {
    return index < curves.size() ? curves[index].pieces.front() : nullptr;
}

qsizetype TPlotForm::drawnPoints(std::size_t index) const {
    return static_cast<qsizetype>(curvesItem->drawnPoints(index));
}

QLineSeries* TPlotForm::addPiece(Curve& curve, const PlotSeries& series) {
    auto* piece = new QLineSeries;
    piece->setName(fromLatin1(series.name));
    // A one-pixel cosmetic pen: the painter draws it as plain line segments,
    // where a wider pen is stroked into a path, join by join, at every drawing.
    QPen pen(seriesColour(series.colourIndex));
    pen.setWidth(1);
    pen.setCosmetic(true);
    if (series.colourIndex >= 16) pen.setStyle(Qt::DashLine);
    piece->setPen(pen);
    chart->addSeries(piece);
    piece->attachAxis(xAxis);
    piece->attachAxis(yAxis);
    piece->setVisible(curve.shown);
    const QList<QLegendMarker*> markers = chart->legend()->markers(piece);
    if (curve.pieces.empty()) {
        for (QLegendMarker* m : markers) {
            connect(m, &QLegendMarker::clicked, this, [this, piece] { toggleCurve(piece); });
        }
    } else {
        // Only the first piece stands for the series in the legend.
        for (QLegendMarker* m : markers) m->setVisible(false);
    }
    curve.pieces.push_back(piece);
    return piece;
}

TPlotForm::Curve TPlotForm::makeCurve(const PlotSeries& series) {
    Curve curve;
    addPiece(curve, series);
    return curve;
}

void TPlotForm::matchCurves() {
    const PlotHistory& h = samples.history();
    // A cleared history starts its series again, perhaps under other names.
    bool same = curves.size() <= h.seriesCount();
    for (std::size_t i = 0; same && i < curves.size(); ++i) {
        same = curves[i].pieces.front()->name() == fromLatin1(h.series(i).name);
    }
    if (!same) {
        chart->removeAllSeries();
        curves.clear();
        xyCurve.pieces.clear();
    }
    while (curves.size() < h.seriesCount()) curves.push_back(makeCurve(h.series(curves.size())));
}

void TPlotForm::toggleCurve(QLineSeries* legendOwner) {
    for (Curve& curve : curves) {
        if (curve.pieces.front() != legendOwner) continue;
        curve.shown = !curve.shown;
        for (QLineSeries* piece : curve.pieces) piece->setVisible(curve.shown);
        // A hidden series keeps its legend entry, greyed, so it can come back.
        for (QLegendMarker* m : chart->legend()->markers(legendOwner)) {
            m->setVisible(true);
            QColor label = chart->legend()->labelColor();
            label.setAlphaF(curve.shown ? 1.0 : 0.35);
            m->setLabelBrush(label);
            QColor swatch = legendOwner->pen().color();
            swatch.setAlphaF(curve.shown ? 1.0 : 0.25);
            m->setBrush(swatch);
            m->setPen(QPen(swatch));
        }
    }
    refresh(true);
}

TPlotCurves::Line TPlotForm::curveLine(std::size_t index, const Curve& curve, double& low, double& high) {
    // One column per three pixels, two points each: peaks and troughs all
    // survive, and a third fewer segments are stroked at every drawing.
    const auto columns = static_cast<std::size_t>(std::max(100.0, chart->plotArea().width() / 3));
    TPlotCurves::Line line{curve.pieces.front()->pen(), curve.shown,
                              samples.history().points(index, axis, columns)};
    if (curve.shown) {
        for (const PlotPoint& p : line.points) {
            if (std::isnan(p.y)) continue;
            low = std::min(low, p.y);
            high = std::max(high, p.y);
        }
    }
    return line;
}

void TPlotForm::drawPieces(Curve& curve, const PlotSeries& look, const std::vector<PlotPoint>& points, double& low,
                           double& high, double* xLow, double* xHigh) {
    // Qt's lines cannot break, so each run of points between gaps is a
    // piece of its own, all in the series' colour.
    std::size_t used = 0;
    QList<QPointF> run;
    auto flush = [&] {
        if (run.isEmpty()) return;
        if (used == curve.pieces.size()) addPiece(curve, look);
        curve.pieces[used++]->replace(run);
        run.clear();
    };
    run.reserve(static_cast<qsizetype>(points.size()));
    for (const PlotPoint& p : points) {
        if (std::isnan(p.y)) {
            flush();
            continue;
        }
        run.append(QPointF(p.x, p.y));
        if (curve.shown) {
            low = std::min(low, p.y);
            high = std::max(high, p.y);
            if (xLow) *xLow = std::min(*xLow, p.x);
            if (xHigh) *xHigh = std::max(*xHigh, p.x);
        }
    }
    flush();
    for (std::size_t i = used; i < curve.pieces.size(); ++i) {
        if (curve.pieces[i]->count() > 0) curve.pieces[i]->clear();
    }
}

void TPlotForm::drawXy() {
    const PlotHistory& h = samples.history();
    for (Curve& curve : curves)
        for (QLineSeries* piece : curve.pieces) piece->setVisible(false);
    curvesItem->setVisible(false);
    fillSeriesLists();
    const int xi = XSeriesBox->currentIndex(), yi = YSeriesBox->currentIndex();
    double low = INFINITY, high = -INFINITY, left = INFINITY, right = -INFINITY;
    if (xi >= 0 && yi >= 0 && static_cast<std::size_t>(std::max(xi, yi)) < h.seriesCount()) {
        const PlotSeries& ys = h.series(static_cast<std::size_t>(yi));
        PlotSeries look;
        look.name = ys.name + " against " + h.series(static_cast<std::size_t>(xi)).name;
        look.colourIndex = ys.colourIndex;
        // The pieces are the colour and name of the pair first drawn; a new
        // pair makes them anew.
        if (!xyCurve.pieces.empty() && xyCurve.pieces.front()->name() != fromLatin1(look.name)) {
            for (QLineSeries* piece : xyCurve.pieces) {
                chart->removeSeries(piece);
                delete piece;
            }
            xyCurve.pieces.clear();
        }
        // About one point per pixel of the larger side.
        const auto cells = static_cast<std::size_t>(std::max(100.0, std::max(chart->plotArea().width(),
                                                                             chart->plotArea().height())));
        drawPieces(xyCurve, look, h.xyPoints(static_cast<std::size_t>(xi), static_cast<std::size_t>(yi), cells), low,
                   high, &left, &right);
        for (QLineSeries* piece : xyCurve.pieces) piece->setVisible(true);
        xAxis->setTitleText(fromLatin1(h.series(static_cast<std::size_t>(xi)).name));
        yAxis->setTitleText(fromLatin1(ys.name));
    } else {
        for (QLineSeries* piece : xyCurve.pieces) piece->setVisible(false);
        xAxis->setTitleText("X-Y: two series are needed");
        yAxis->setTitleText(QString());
    }
    auto pad = [](double& from, double& to) {
        if (from > to) {
            from = 0, to = 1;
            return;
        }
        const double room = to > from ? (to - from) * 0.05 : std::max(1.0, std::fabs(to) * 0.05);
        from -= room, to += room;
    };
    pad(left, right);
    pad(low, high);
    setNiceRange(xAxis, left, right);
    setNiceRange(yAxis, low, high);
}

void TPlotForm::refresh(bool force) {
    updateStatus();
    const PlotHistory& h = samples.history();
    if (!force && (paused() || h.revision() == drawnRevision)) return;
    drawnRevision = h.revision();
    ++redraws;

    matchCurves();
    if (xyMode) {
        drawXy();
        return;
    }
    double low = INFINITY, high = -INFINITY;
    std::vector<TPlotCurves::Line> lines;
    lines.reserve(curves.size());
    for (std::size_t i = 0; i < curves.size(); ++i) lines.push_back(curveLine(i, curves[i], low, high));
    curvesItem->setLines(std::move(lines));

    if (!h.empty()) {
        const std::size_t last = h.size() - 1;
        double from = axis == PlotAxis::SampleNumber ? static_cast<double>(h.firstSampleNumber()) : h.arrivalSeconds(0);
        double to = axis == PlotAxis::SampleNumber ? static_cast<double>(h.firstSampleNumber() + last)
                                                   : h.arrivalSeconds(last);
        if (to <= from) to = from + 1;
        setSettledRange(xAxis, from, to);
    } else {
        setNiceRange(xAxis, 0, 1);
    }
    if (low <= high) {
        // A little room above and below, so a line is not drawn on the frame.
        const double pad = high > low ? (high - low) * 0.05 : std::max(1.0, std::fabs(high) * 0.05);
        setSettledRange(yAxis, low - pad, high + pad);
    } else {
        setNiceRange(yAxis, 0, 1);
    }
}

void TPlotForm::updateStatus() {
    const PlotHistory& h = samples.history();
    QString text = QString("%1 of %2 samples, %3 series").arg(h.size()).arg(h.window()).arg(h.seriesCount());
    if (h.droppedValues() > 0)
        text += QString("; %1 values of names beyond the first %2 series not kept (Clear starts afresh)")
                    .arg(h.droppedValues())
                    .arg(PlotHistory::kMaxSeries);
    if (paused()) text += "; paused, still recording";
    if (StatusLabel->text() != text) StatusLabel->setText(text);
}

bool TPlotForm::writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size() ||
        !file.flush()) {
        QMessageBox::critical(this, QString(), "Cannot create file " + QDir::toNativeSeparators(path));
        return false;
    }
    return true;
}

bool TPlotForm::exportCsv(const QString& path) {
    const std::string text = samples.history().csv();
    return writeFile(path, QByteArray(text.data(), static_cast<qsizetype>(text.size())));
}

bool TPlotForm::exportPng(const QString& path) {
    // The picture is the view as it stands, paused or not.
    if (redraws == 0) refresh(true);
    const QPixmap picture = ChartView->grab();
    if (picture.isNull() || !picture.save(path, "PNG")) {
        QMessageBox::critical(this, QString(), "Cannot create file " + QDir::toNativeSeparators(path));
        return false;
    }
    return true;
}

void TPlotForm::exportWithDialog(bool png) {
    const QString path = chooseSavePath(png ? "Export PNG" : "Export CSV", png ? "plot.png" : "plot.csv",
                                        png ? "PNG pictures (*.png);;All files (*)"
                                            : "CSV files (*.csv);;All files (*)");
    if (path.isEmpty()) return;
    if (png) exportPng(path);
    else exportCsv(path);
}

}  // namespace travin
