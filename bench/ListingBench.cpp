// Listing benchmark: the listing pane with its gutter, colours, problems and
// completion, offscreen, holding a full-size program (29 696 bytes, about 400
// lines). It measures the user-interface thread's time for one keystroke in
// the middle of the program (the colouring of the changed line included),
// the time one parse of the whole program takes (on the parser's own
// thread), and how late a 100 ms timer standing in for the monitor's tick
// fires while the user types briskly and the listing is parsed after every
// pause.
//
// Usage: bench_listing [--keys N] [--seconds N]
// It ends with "result <name> <figure>" lines for bench/run.
#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "app/ListingAids.h"
#include "app/ListingPane.h"
#include "app/ListingProblems.h"
#include "lang/Program.h"

namespace {

double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// A program of the largest size the board stores, made of the statements a
// motion program uses, every line padded with a comment to the same length.
std::vector<std::string> fullSizeProgram() {
    const char* const body[] = {
        "  svtraj(1, 151, P, 100000, 1000, 0)", "  waitmove(1)", "  P = getpos(1) + 10",
        "  if testbit(getstat(1), 1) then", "    print \"done at \"; P", "  endif",
        "  for I = 1 to 3", "    iooutput(3, I, 1)", "  next I", "  gosub report",
    };
    std::vector<std::string> lines{"start:"};
    std::size_t bytes = 8;
    for (int i = 0; bytes < 29696 - 200; ++i) {
        std::string line = body[i % 10];
        line += " ' step " + std::to_string(i);
        line.resize(72, ' ');
        lines.push_back(line);
        bytes += line.size() + 2;
    }
    for (const char* tail : {"goto start", "report:", "  print \"pos \"; getpos(1)", "  return"}) {
        lines.push_back(tail);
        bytes += std::strlen(tail) + 2;
    }
    lines.back().resize(lines.back().size() + (29696 - bytes), ' ');
    return lines;
}

}  // namespace

int main(int argc, char** argv) {
    int keys = 400;
    double seconds = 10;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--keys")) keys = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--seconds")) seconds = std::atof(argv[i + 1]);
    }
    QApplication app(argc, argv);
    QWidget window;
    window.resize(800, 600);
    auto* pane = new travin::ListingPane(&window);
    pane->setGeometry(3, 48, 665, 353);
    auto* status = new QStatusBar(&window);
    status->setGeometry(3, 583, 787, 22);
    travin::ListingAids aids(pane, status);
    const std::vector<std::string> program = fullSizeProgram();
    pane->setLines(program);
    window.show();
    QApplication::processEvents();

    std::size_t size = 0;
    for (const auto& l : program) size += l.size() + 2;
    std::printf("program: %zu bytes, %zu lines\n", size, program.size());

    // One parse, as the parser thread does it.
    std::string bytes;
    for (const auto& l : program) bytes += l + "\r\n";
    const double p0 = threadCpuMs();
    const int runs = 20;
    for (int i = 0; i < runs; ++i) (void)travin::lang::checkProgram(bytes);
    const double parseMs = (threadCpuMs() - p0) / runs;

    // Keystrokes in the middle of the program, typed and taken back.
    QTextCursor middle(pane->document()->findBlockByNumber(static_cast<int>(program.size() / 2)));
    middle.movePosition(QTextCursor::EndOfBlock);
    pane->setTextCursor(middle);
    pane->setFocus();
    std::vector<double> costs;
    for (int i = 0; i < keys; ++i) {
        const double t0 = threadCpuMs();
        QTest::keyClick(pane, i % 2 ? Qt::Key_Backspace : Qt::Key_X);
        costs.push_back(threadCpuMs() - t0);
    }
    std::sort(costs.begin(), costs.end());
    double sum = 0;
    for (double c : costs) sum += c;

    // A 100 ms tick, first with nobody typing (how late this machine alone
    // makes it), then while the user types a key every 60 ms for a while and
    // pauses long enough for a parse, again and again.
    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = -1;
    double worstLate = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        if (lastTick >= 0) worstLate = std::max(worstLate, static_cast<double>(now - lastTick - 100));
        lastTick = now;
    });
    tick.start(100);
    QTimer::singleShot(static_cast<int>(seconds * 500), &app, &QApplication::quit);
    app.exec();
    const double idleLate = worstLate;
    worstLate = 0;
    lastTick = -1;
    QSignalSpy parsed(aids.problems, &travin::ListingProblems::problemsShown);
    int typed = 0;
    QTimer typist;
    QObject::connect(&typist, &QTimer::timeout, [&] {
        // Eight keys, then a pause of a second.
        if (typed++ % 24 < 8) QTest::keyClick(pane, typed % 2 ? Qt::Key_X : Qt::Key_Backspace);
    });
    typist.start(60);
    const double uiBefore = threadCpuMs();
    QTimer::singleShot(static_cast<int>(seconds * 1000), &app, &QApplication::quit);
    app.exec();
    const double uiShare = (threadCpuMs() - uiBefore) / (seconds * 1000);

    std::printf("result parse_ms %.3f\n", parseMs);
    std::printf("result key_mean_ms %.3f\n", sum / static_cast<double>(costs.size()));
    std::printf("result key_p99_ms %.3f\n", costs[costs.size() * 99 / 100]);
    std::printf("result key_max_ms %.3f\n", costs.back());
    std::printf("result tick_late_max_ms %.1f\n", worstLate);
    std::printf("result tick_late_idle_max_ms %.1f\n", idleLate);
    std::printf("result parses %d\n", static_cast<int>(parsed.count()));
    std::printf("result ui_share %.4f\n", uiShare);
    std::printf("result lines %zu\n", program.size());
    return 0;
}
