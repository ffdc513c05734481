#include "cli/BoardProgram.h"

#include <utility>

#include "cli/ProgramLines.h"
#include "debugger/ProgramImage.h"

namespace travin::cli {

namespace {

constexpr int kNormalRate = 19200;

// Thrown from a transfer's progress when a signal came: the transfer ends
// between pages.
struct TransferStopped {};

}  // namespace

std::string lineText(const std::vector<std::string>& lines, int line) {
    if (line < 0 || line >= static_cast<int>(lines.size())) return {};
    return lines[static_cast<std::size_t>(line)];
}

int executingLine(BoardSession& b) {
    return lineAtPosition(lineStarts(b.screens->lines()), b.wb->state.executingPosition);
}

int stoppableTransfer(BoardSession& b, const std::function<void()>& transfer, const std::string& leftUndone) {
    b.screens->onProgressDot = [] {
        if (Terminal::interrupted()) throw TransferStopped{};
    };
    // Between pages, not inside one: the link's own cancelling would end a
    // page's exchange (a board busy writing the last page) as a link
    // failure, leaving the board at the transfer rate. The link's busy wait
    // is bounded, and the next dot is at most four pages away.
    auto cancel = std::exchange(b.wb->link.cancelRequested, nullptr);
    struct Restore {
        BoardSession& session;
        std::function<bool()>& saved;
        ~Restore() { session.wb->link.cancelRequested = std::move(saved); }
    } restore{b, cancel};
    try {
        transfer();
    } catch (const TransferStopped&) {
        b.screens->onProgressDot = nullptr;
        b.screens->capturing = false;
        b.wb->monitor.ChangeBaudRate(kNormalRate);
        b.wb->controls.UpdateControls();
        b.screens->ShowNotice(leftUndone);
        return Terminal::stopExitCode();
    }
    b.screens->onProgressDot = nullptr;
    return kDone;
}

int uploadQuietly(BoardSession& b) {
    b.screens->questionAnswer = Answer::Yes;
    b.screens->capturing = true;
    b.screens->captured.clear();
    const std::size_t before = b.screens->notices.size();
    if (const int code = stoppableTransfer(b, [&b] { b.wb->memory.UploadMenuClick(); },
                                           "upload stopped between pages");
        code != kDone)
        return code;
    b.screens->capturing = false;
    if (!b.wb->state.detected || b.refusedSince(before)) {
        b.screens->workbenchText(b.screens->captured);
        return kNoBoard;
    }
    b.screens->setModified(false);
    b.wb->state.downloadNeeded = false;
    return kDone;
}

int downloadListing(BoardSession& b) {
    const auto pages = buildPages(b.screens->lines());
    int dots = 0;
    for (std::size_t i = 0; i < pages.size(); ++i) dots += dotAfterPage(i, pages.size()) ? 1 : 0;
    b.screens->expectedDots = dots;
    if (const int code = stoppableTransfer(b, [&b] { b.wb->download.DownloadProgram(); },
                                           "download stopped between pages; the board's program is incomplete");
        code != kDone)
        return code;
    if (!b.wb->state.detected || b.wb->state.downloadNeeded) return kNoBoard;
    return kDone;
}

}  // namespace travin::cli
