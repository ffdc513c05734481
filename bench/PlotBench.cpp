// Plot benchmark: the plot window, offscreen, fed at the link's line rate
// with lines of eight numbers, its history window at 100 000 samples and
// already full, so every drawing reduces the whole window.
//
// Bytes arrive as the monitor hands them over: every 100 ms, the 192 bytes
// that 19200 bit/s carries in that time. It prints the process's CPU time
// over the wall time (the share of one core the parsing, the history and the
// drawing take) and the drawings per second. On a busy machine the process
// gets less than the line rate's share of ticks, so it also prints the CPU
// time of one drawing and of the parsing per byte, and from them the share
// that 10 drawings a second at the full line rate would take. The feeds
// come ten a second, so the drawings cannot outnumber them; the count of
// both shows whether every feed was drawn.
//
// Usage: bench_plot [--seconds N] [--window N] [--png FILE]
// --png saves the view as it stands at the end, to look at.
// It ends with "result <name> <figure>" lines for bench/run.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "core/SystemClock.h"
#include "plot/TPlotForm.h"

namespace {

constexpr int kBytesPerSecond = 1920;  // 19200 bit/s, ten bits a byte
constexpr int kTickMs = 100;

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Eight values that change as a program's readings would, about 45 bytes.
std::string line(long n) {
    char text[160];
    const double t = static_cast<double>(n) / 40.0;
    std::snprintf(text, sizeof text, "%.0f %.0f %.1f %ld %d %.2f %.0f %.1f\r\n", 4000 * std::sin(t),
                  3052 * std::cos(t), std::fmod(t, 7.0) - 3.5, n % 1000, static_cast<int>(n % 17) - 8,
                  std::sin(3 * t) * std::exp(-std::fmod(t, 5.0)), 100 * std::sin(t / 7), -20 + std::fmod(t, 40.0));
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 10;
    int window = 100000;
    const char* png = nullptr;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--seconds")) seconds = std::atof(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--window")) window = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--png")) png = argv[i + 1];
    }
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);

    travin::SystemClock clock;
    travin::TPlotForm form(nullptr, clock, QDir::tempPath() + "/travin-bench-plot-");
    form.setHistoryLength(window);
    long n = 0;
    std::string fill;
    while (form.recorder().history().size() < static_cast<std::size_t>(form.recorder().history().window())) {
        fill.clear();
        for (int k = 0; k < 1000; ++k) fill += line(n++);
        form.recorder().consoleBytesReceived(fill);
    }
    form.showBeside(nullptr);
    app.processEvents();

    std::string pending;
    double feedCpu = 0;
    std::size_t fedBytes = 0;
    int feeds = 0;
    QTimer feed;
    feed.setInterval(kTickMs);
    QObject::connect(&feed, &QTimer::timeout, [&] {
        while (pending.size() < kBytesPerSecond * kTickMs / 1000) pending += line(n++);
        const std::size_t chunk = kBytesPerSecond * kTickMs / 1000;
        const double before = cpuSeconds();
        form.recorder().consoleBytesReceived(std::string_view(pending).substr(0, chunk));
        feedCpu += cpuSeconds() - before;
        fedBytes += chunk;
        ++feeds;
        pending.erase(0, chunk);
    });

    const int redrawsBefore = form.redrawCount();
    const std::size_t samplesBefore = static_cast<std::size_t>(n);
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    feed.start();
    QTimer::singleShot(static_cast<int>(seconds * 1000), &app, &QApplication::quit);
    app.exec();
    const double elapsed = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    const double cpu = cpuSeconds() - cpuBefore;
    const double redraws = (form.redrawCount() - redrawsBefore) / elapsed;

    std::printf("plot window: %zu-sample history, %zu series, %.1f s at %d bytes/s (%.0f lines/s)\n",
                form.recorder().history().size(), form.recorder().history().seriesCount(), elapsed,
                kBytesPerSecond, static_cast<double>(static_cast<std::size_t>(n) - samplesBefore) / elapsed);
    std::printf("CPU: %.1f %% of one core (target at most 5 %%)\n", 100.0 * cpu / elapsed);
    // Samples come with the monitor's ticks, ten a second; a drawing
    // between two ticks would show nothing new, so the redraw rate is
    // bounded by the feed rate and judged against it.
    std::printf("redraws: %.1f per second (target at least 10), %d drawings for %d feeds of samples\n", redraws,
                form.redrawCount() - redrawsBefore, feeds);
    const int drawn = form.redrawCount() - redrawsBefore;
    if (drawn > 0 && fedBytes > 0) {
        const double perRedraw = (cpu - feedCpu) / drawn;
        const double perByte = feedCpu / static_cast<double>(fedBytes);
        std::printf("per drawing %.2f ms CPU, parsing %.2f us per byte; at 10 drawings/s and %d bytes/s: "
                    "%.1f %% of one core\n",
                    perRedraw * 1e3, perByte * 1e6, kBytesPerSecond, 100.0 * (10 * perRedraw + kBytesPerSecond * perByte));
    }
    std::printf("result cpu_share %.5f\nresult redraws_per_s %.3f\nresult drawings %d\nresult feeds %d\n",
                cpu / elapsed, redraws, drawn, feeds);
    std::fflush(stdout);
    if (png && !form.exportPng(QString::fromLocal8Bit(png))) return 1;
    return 0;
}
