// The plot's reader of the console: the board's bytes in, samples into the
// history, each stamped with the time its line arrived. It keeps recording
// whatever a view of it shows (or whether it is paused).
//
// The console hands the bytes over once per monitor tick, so the lines of
// one hand-over arrived over the time since the one before. Each line gets
// a time within that interval by where its LF stands among the bytes (they
// came at an even rate), the last line the time of the hand-over. After a
// quiet spell the interval is not the time since the last hand-over but what
// the bytes take at the line rate (at least a quarter second), so a line
// that ends a pause is not drawn as if it had come slowly.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/ConsoleBytesListener.h"
#include "core/ScreenInterfaces.h"
#include "plot/PlotHistory.h"
#include "plot/PlotLineParser.h"

namespace travin {

class PlotRecorder : public ConsoleBytesListener {
public:
    explicit PlotRecorder(Clock& clock) : clock(clock) {}

    void consoleBytesReceived(std::string_view bytes) override;
    // The same, as if handed over at `nowMs` (the clock's milliseconds).
    void bytesReceivedAt(std::string_view bytes, std::int64_t nowMs);
    // The program was started again: the next sample begins a new line.
    void newRun() { runStarts = true; }

    PlotHistory& history() { return samples; }
    const PlotHistory& history() const { return samples; }
    // Empties the history and forgets the unfinished line.
    void clear();

    // Bytes a second at the line rate (19200 bit/s, ten bits a byte).
    static constexpr double kLineRateBytesPerSecond = 1920;
    // The longest interval a hand-over is spread over after a quiet spell,
    // unless its bytes take longer at the line rate.
    static constexpr std::int64_t kQuietSpreadMs = 250;

private:
    Clock& clock;
    PlotLineParser parser;
    PlotHistory samples;
    std::int64_t lastHandOverMs = 0;
    bool handedOver = false;
    bool runStarts = false;
};

}  // namespace travin
