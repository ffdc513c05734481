// The board's program as the board commands handle it: read into the
// listing, written from it, and where the board stands in it. A signal
// ends a transfer between pages, never inside one.
//
//   stoppableTransfer   a download or an upload a signal can end
//   uploadQuietly       the board's program into the listing, silently
//   downloadListing     the listing to the board
//   executingLine       the listing line of the executing position
//   lineText            one line of a listing, empty outside it
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cli/BoardSession.h"

namespace travin::cli {

// Runs `transfer` (a download or an upload) so that a signal ends it
// between pages: the board and the port go back to the normal rate, and
// `leftUndone` says what was left undone. kDone when it ran to its end (its
// own outcome is then in the board's state).
int stoppableTransfer(BoardSession& b, const std::function<void()>& transfer, const std::string& leftUndone);

// The board's program into the listing, without a word on the terminal
// unless it fails; the listing then stands for what the board holds.
int uploadQuietly(BoardSession& b);

// The listing's download, which a signal ends between pages (the board's
// program is then incomplete).
int downloadListing(BoardSession& b);

// The listing line (0-based) that holds the executing position; -1 for none.
int executingLine(BoardSession& b);

std::string lineText(const std::vector<std::string>& lines, int line);

}  // namespace travin::cli
