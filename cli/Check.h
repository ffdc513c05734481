// Programs checked without a board, by the same Travin library the board's
// interpreter and the window's listing use.
//
//   checkFiles           travin-cli check FILE...: each problem as
//                        FILE:LINE:COLUMN: error: MESSAGE on stdout (or a
//                        JSON list), a constant argument a built-in refuses
//                        as warning: instead; kDone when no error, kRefused
//                        when one
//   warnAboutProblems    the same problems as warnings on stderr, for
//                        download and run, which go on regardless
#pragma once

#include <string>
#include <vector>

#include "cli/Terminal.h"

namespace travin::cli {

int checkFiles(const std::vector<std::string>& files, bool json, Terminal& terminal);

// `lines` as the program file was read (without line ends).
void warnAboutProblems(const std::string& programName, const std::vector<std::string>& lines, Terminal& terminal);

}  // namespace travin::cli
