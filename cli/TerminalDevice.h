// The operating system's half of the client's terminal: the three standard
// streams, Ctrl+C and a plain pause. Two files, chosen by the build:
// TerminalDevicePosix.cpp (poll() on stdin, sigaction) and
// TerminalDeviceWin32.cpp (a reader thread on the input handle, a console
// control handler). Terminal holds everything both share.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace travin::cli::device {

enum class Stream { Output, Messages };

// The command line's words as UTF-8, the program's name first. On POSIX
// these are argv's bytes; on Windows argv is in the ANSI code page, so the
// words are read again from the wide command line.
std::vector<std::string> arguments(int argc, char** argv);

// Writes every byte unchanged (no line-end translation); a stream whose
// reader went away just drops them.
void writeAll(Stream stream, std::string_view bytes);

// True when messages go to an interactive terminal that understands the
// cursor movements of the progress rows.
bool messagesOnTerminal();

// Sets `flag` on Ctrl+C from now on; a closed output pipe no longer ends
// the process.
void catchInterrupt(std::atomic<bool>& flag);

// Waits at most `milliseconds` for input and reads what came: the number of
// bytes put in `buffer`, 0 when nothing came in time, -1 at end of input.
long readInput(char* buffer, std::size_t size, int milliseconds);

// Sleeps `milliseconds`; on POSIX a signal (Ctrl+C) ends it early.
void pause(int milliseconds);

}  // namespace travin::cli::device
