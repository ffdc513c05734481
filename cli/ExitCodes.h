// The client's exit codes and which of two results matters more when
// several boards (or several steps of one command) each have one.
#pragma once

namespace travin::cli {

enum ExitCode {
    kDone = 0,
    kUsage = 1,
    // Board not found, link failure, or refused by the board's state.
    kNoBoard = 2,
    // Program file or value refused before anything was sent.
    kRefused = 3,
    kTimedOut = 4,
    // The program stopped before its end: an error, a breakpoint nobody
    // asked for, or an input request left without an answer.
    kProgramStopped = 5,
    // Writing the result failed (stdout or the -o file).
    kWriteFailed = 6,
    // 128 + the signal's number: interrupted, program stopped.
    kSignalBase = 128,
    kInterrupted = 130,
};

// Which code a script must see when two results meet: a signal first, then
// a lost board or link, a failed write, a time-out, a program that stopped
// early, a refused program, a usage error, and done last.
inline int exitRank(int code) {
    if (code > kSignalBase) return 8;
    switch (code) {
    case kNoBoard: return 7;
    case kWriteFailed: return 6;
    case kTimedOut: return 5;
    case kProgramStopped: return 4;
    case kRefused: return 3;
    case kUsage: return 2;
    case kDone: return 0;
    default: return 1;
    }
}

inline int worseResult(int a, int b) { return exitRank(b) > exitRank(a) ? b : a; }

}  // namespace travin::cli
