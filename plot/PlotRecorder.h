// The plot's reader of the console: the board's bytes in, samples into the
// history, each stamped with the time its bytes arrived. It keeps recording
// whatever a view of it shows (or whether it is paused).
#pragma once

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

    PlotHistory& history() { return samples; }
    const PlotHistory& history() const { return samples; }
    // Empties the history and forgets the unfinished line.
    void clear();

private:
    Clock& clock;
    PlotLineParser parser;
    PlotHistory samples;
};

}  // namespace travin
