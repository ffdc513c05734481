// The plot window on the real main window, offscreen, while the virtual
// board on COM1 runs the plot example: its series appear, pause freezes the
// view while the history goes on, a legend entry hides its series, clear
// empties, and the exports write their files.
#include <gtest/gtest.h>

#include "tests/support/WindowOnBoard.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/TestFolder.h"

#include <QAction>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPushButton>
#include <QSpinBox>
#include <QValueAxis>
#include <QTest>
#include <cmath>
#include <fstream>
#include <sstream>

#include "app/ConsolePane.h"
#include "app/ListingPane.h"
#include "app/TMainForm.h"
#include "board/VirtualBoard.h"
#include "core/SystemClock.h"
#include "plot/TPlotForm.h"

namespace travin {
namespace {

QString exampleText(const char* file) {
    std::ifstream in(std::string(TRAVIN_EXAMPLES_DIR) + "/" + file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return QString::fromLatin1(s.str()).remove('\r');
}

class PlotWindow : public travin::testing::WindowOnBoard {
protected:
    const char* folderName() const override { return "travin-plot"; }

    TPlotForm& plot() { return *form->PlotForm; }
    const PlotHistory& history() { return plot().recorder().history(); }
    QString path(const char* name) { return QString::fromStdString((folder / name).string()); }

    // Opens the plot, loads the example and runs it until both series show.
    void runExample() {
        ASSERT_TRUE(QTest::qWaitFor([&] { return form->workbench().state.detected; }, 8000));
        form->menuEntry("PlotMenu")->trigger();
        ASSERT_NE(form->PlotForm, nullptr);
        EXPECT_TRUE(plot().isVisible());
        form->RichEdit1->setPlainText(exampleText("plot.tn"));
        form->RunButton->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return plot().drawnPoints(1) >= 5; }, 10000))
            << history().size() << " samples";
    }

};

TEST_F(PlotWindow, SeriesAppearPauseKeepsCollectingAndClearEmpties) {
    runExample();
    ASSERT_EQ(history().seriesCount(), 2u);
    EXPECT_EQ(plot().chartSeries(0)->name(), "pos");
    EXPECT_EQ(plot().chartSeries(1)->name(), "vel");
    EXPECT_EQ(plot().chartSeries(0)->pen().color(), QColor(31, 119, 180));
    // The console pane still shows every line the plot read. (The servo may
    // have moved before the first line, so its numbers are the history's.)
    const QString pane = form->Memo1->toPlainText();
    const PlotSeries& pos = history().series(0);
    const PlotSeries& vel = history().series(1);
    ASSERT_GE(history().size(), 5u);
    for (std::size_t i = 0; i < history().size(); ++i)
        EXPECT_TRUE(pane.contains(QString(" pos:%1 vel:%2\n").arg(pos.values[i]).arg(vel.values[i])))
            << "sample " << i << " is not in the pane:\n" << pane.toStdString();

    plot().PauseButton->click();
    EXPECT_EQ(plot().PauseButton->text(), "Resume");
    const std::size_t samplesAtPause = history().size();
    const qsizetype pointsAtPause = plot().drawnPoints(0);
    const int redrawsAtPause = plot().redrawCount();
    QTest::qWait(600);
    EXPECT_GT(history().size(), samplesAtPause + 3) << "the history goes on while paused";
    EXPECT_EQ(plot().redrawCount(), redrawsAtPause);
    EXPECT_EQ(plot().drawnPoints(0), pointsAtPause);
    EXPECT_TRUE(plot().StatusLabel->text().contains("paused"));
    plot().PauseButton->click();
    EXPECT_GT(plot().drawnPoints(0), pointsAtPause) << "resume shows what came meanwhile";

    // The legend entry of "vel" hides it; the y axis then spans "pos" only.
    const QList<QLegendMarker*> markers = plot().ChartView->chart()->legend()->markers(plot().chartSeries(1));
    ASSERT_EQ(markers.size(), 1);
    emit markers.front()->clicked();
    EXPECT_FALSE(plot().chartSeries(1)->isVisible());
    EXPECT_TRUE(markers.front()->isVisible()) << "the entry stays to bring it back";
    plot().refresh(true);
    auto* y = qobject_cast<QValueAxis*>(plot().ChartView->chart()->axes(Qt::Vertical).front());
    ASSERT_NE(y, nullptr);
    EXPECT_GT(y->min(), -300.0) << "the speed goes down to -3052";
    emit markers.front()->clicked();
    EXPECT_TRUE(plot().chartSeries(1)->isVisible());

    plot().ClearButton->click();
    EXPECT_TRUE(history().empty());
    EXPECT_TRUE(plot().ChartView->chart()->series().isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return plot().drawnPoints(0) > 0; }, 3000)) << "the run goes on";
    EXPECT_EQ(history().firstSampleNumber(), 1u);
    form->StopButton->click();
}

TEST_F(PlotWindow, ExportsWriteTheHistoryAndTheViewAndTheLengthIsRemembered) {
    runExample();
    plot().HistoryBox->setValue(50);
    EXPECT_EQ(history().window(), 50u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return history().firstSampleNumber() > 1; }, 8000)) << "trimmed to 50";

    QStringList captions;
    plot().chooseSavePath = [&](const QString& caption, const QString&, const QString&) {
        captions << caption;
        return path(captions.size() == 1 ? "run.csv" : "run.png");
    };
    plot().ExportCsvButton->click();
    plot().ExportPngButton->click();
    form->StopButton->click();
    EXPECT_EQ(captions, (QStringList{"Export CSV", "Export PNG"}));

    QFile csv(path("run.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = csv.readAll().split('\n');
    ASSERT_EQ(rows.size(), 52) << "the header, 50 samples and the end of the last row";
    EXPECT_EQ(rows.front(), "sample,time,pos,vel\r");
    const QList<QByteArray> cells = rows.at(1).trimmed().split(',');
    ASSERT_EQ(cells.size(), 4);
    EXPECT_GT(cells[0].toInt(), 1);
    EXPECT_EQ(rows.at(50).trimmed().split(',')[0].toInt(), cells[0].toInt() + 49);
    const QImage png(path("run.png"));
    EXPECT_FALSE(png.isNull());
    EXPECT_EQ(png.size(), plot().ChartView->size() * plot().devicePixelRatio());

    // A fresh window over the same folder starts with the chosen length.
    QWidget parent;
    SystemClock clock;
    TPlotForm again(&parent, clock, QString::fromStdString(folder.string() + "/"));
    EXPECT_EQ(again.HistoryBox->value(), 50);
    EXPECT_EQ(again.recorder().history().window(), 50u);
}

TEST_F(PlotWindow, XyViewPlotsVelAgainstPosFromTheSameHistory) {
    runExample();
    ASSERT_TRUE(QTest::qWaitFor([&] { return history().size() >= 20; }, 10000));
    plot().AxisBox->setCurrentIndex(2);
    ASSERT_TRUE(plot().xyShown());
    EXPECT_TRUE(plot().XSeriesBox->isVisible());
    EXPECT_EQ(plot().XSeriesBox->currentText(), "pos");
    EXPECT_EQ(plot().YSeriesBox->currentText(), "vel");
    plot().PauseButton->click();  // the history stands still while it is compared
    plot().refresh(true);
    const QList<QPointF> drawn = plot().xyDrawn();
    ASSERT_GE(drawn.size(), 10);
    // Every point is one sample's (pos, vel), in the order they came.
    const PlotSeries& pos = history().series(0);
    const PlotSeries& vel = history().series(1);
    std::size_t at = 0;
    for (const QPointF& p : drawn) {
        while (at < history().size() && !(pos.values[at] == p.x() && vel.values[at] == p.y())) ++at;
        ASSERT_LT(at, history().size()) << "(" << p.x() << ", " << p.y() << ") is no sample, or out of order";
    }
    auto* x = qobject_cast<QValueAxis*>(plot().ChartView->chart()->axes(Qt::Horizontal).front());
    auto* y = qobject_cast<QValueAxis*>(plot().ChartView->chart()->axes(Qt::Vertical).front());
    EXPECT_EQ(x->titleText(), "pos");
    EXPECT_EQ(y->titleText(), "vel");
    EXPECT_FALSE(plot().chartSeries(0)->isVisible()) << "the series over time are not drawn in X-Y";

    // Swapped through the lists: pos against vel.
    plot().XSeriesBox->setCurrentIndex(1);
    emit plot().XSeriesBox->activated(1);
    plot().YSeriesBox->setCurrentIndex(0);
    emit plot().YSeriesBox->activated(0);
    const QList<QPointF> swapped = plot().xyDrawn();
    ASSERT_FALSE(swapped.isEmpty());
    EXPECT_EQ(swapped.front(), QPointF(drawn.front().y(), drawn.front().x()));

    // The same export as the other views: the whole history.
    ASSERT_TRUE(plot().exportCsv(path("xy.csv")));
    QFile csv(path("xy.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_TRUE(csv.readAll().startsWith("sample,time,pos,vel\r\n"));
    EXPECT_TRUE(plot().exportPng(path("xy.png")));

    plot().AxisBox->setCurrentIndex(0);
    EXPECT_FALSE(plot().xyShown());
    EXPECT_TRUE(plot().chartSeries(0)->isVisible());
    form->StopButton->click();
}

// The window keeps a picture of the lines' settled parts between drawings.
// A window that drew every step of a stream must show exactly what a fresh
// window shows that drew the same history once: after the stream, after a
// legend entry hid a series, and after Clear brought other series.
TEST(PlotDrawing, AKeptPictureShowsWhatAFreshWindowShows) {
    travin::testing::ensureQtApplication();
    const auto folder = travin::testing::freshTestFolder("travin-plot-picture");
    const QString settings = QString::fromStdString(folder.string() + "/");
    SystemClock clock;
    auto open = [&](TPlotForm& f) {
        f.setHistoryLength(2000);
        f.resize(700, 420);
        f.show();
    };
    auto hide = [](TPlotForm& f, std::size_t series) {
        const QList<QLegendMarker*> markers = f.ChartView->chart()->legend()->markers(f.chartSeries(series));
        ASSERT_FALSE(markers.isEmpty());
        emit markers.front()->clicked();
    };
    TPlotForm watched(nullptr, clock, settings);
    open(watched);
    std::string history;  // what the watched window was fed since its last Clear
    // Compares the watched window with one that draws `history` at once.
    auto same = [&](const char* when, int hidden = -1) {
        TPlotForm fresh(nullptr, clock, settings);
        open(fresh);
        fresh.recorder().consoleBytesReceived(history);
        fresh.refresh(true);
        if (hidden >= 0) hide(fresh, static_cast<std::size_t>(hidden));
        watched.refresh(true);
        QCoreApplication::processEvents();
        const QImage a = watched.ChartView->grab().toImage(), b = fresh.ChartView->grab().toImage();
        EXPECT_EQ(a.size(), b.size()) << when;
        EXPECT_TRUE(a == b) << when << ": the watched window shows other pixels than a fresh one";
    };
    auto lines = [](int from, int to, int seriesCount) {
        std::string text;
        for (int i = from; i < to; ++i) {
            for (int s = 0; s < seriesCount; ++s)
                text += std::to_string(static_cast<int>(1000 * std::sin(i / (20.0 + 7 * s))) + (i % 13) * s) + " ";
            text += "\n";
        }
        return text;
    };
    auto watch = [&](std::string text) {
        history += text;
        watched.recorder().consoleBytesReceived(text);
        watched.refresh();
        watched.ChartView->grab();
    };
    // 5000 samples of 18 series (two of them dashed), drawn in steps of 50,
    // then 80 more two at a time, as a board printing slowly sends them.
    for (int from = 0; from < 5000; from += 50) watch(lines(from, from + 50, 18));
    const int picturesBefore = watched.curvesDrawn().pictureDrawings();
    for (int from = 5000; from < 5080; from += 2) watch(lines(from, from + 2, 18));
    // Columns of 16 samples: one fills (and one is trimmed) every 8 steps.
    EXPECT_LE(watched.curvesDrawn().pictureDrawings() - picturesBefore, 12)
        << "the picture is kept between most of 40 drawings";
    same("after the stream");

    hide(watched, 2);
    same("after a series was hidden", 2);

    watched.clear();
    history.clear();
    watch("a=1 b=2\n");
    watch(lines(0, 3000, 1));
    same("after Clear and other series");
    std::filesystem::remove_all(folder);
}

// Ticks at round steps, also when the range jumps from 0..1 to a billion
// (the axis must never hold the wide range with the old fine step).
TEST(PlotAxes, RoundTicksForAnyRange) {
    travin::testing::ensureQtApplication();
    const auto folder = travin::testing::freshTestFolder("travin-plot-axes");
    SystemClock clock;
    TPlotForm form(nullptr, clock, QString::fromStdString(folder.string() + "/"));
    form.recorder().consoleBytesReceived("0\n1000000000\n");
    form.refresh(true);
    auto* y = qobject_cast<QValueAxis*>(form.ChartView->chart()->axes(Qt::Vertical).front());
    ASSERT_NE(y, nullptr);
    EXPECT_EQ(y->tickInterval(), 2e8);
    EXPECT_LE(y->min(), 0.0);
    EXPECT_GE(y->max(), 1e9);
    form.clear();
    form.recorder().consoleBytesReceived("0.25\n0.5\n");
    form.refresh(true);
    EXPECT_DOUBLE_EQ(y->tickInterval(), 0.05);
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace travin
