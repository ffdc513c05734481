// The operating system's half of the client's terminal: the three standard
// streams, Ctrl+C and a plain pause. Two files, chosen by the build:
// TerminalDevicePosix.cpp (poll() on stdin, sigaction) and
// TerminalDeviceWin32.cpp (a reader thread on the input handle, a console
// control handler). Terminal holds everything both share.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace travin::cli::device {

enum class Stream { Output, Messages };

// The command line's words as UTF-8, the program's name first. On POSIX
// these are argv's bytes; on Windows argv is in the ANSI code page, so the
// words are read again from the wide command line.
std::vector<std::string> arguments(int argc, char** argv);

// Writes every byte unchanged (no line-end translation); 0 when all went,
// else the error (errno's value; EPIPE when the reader went away).
int writeAll(Stream stream, std::string_view bytes);
// Closes stdout: 0, or the error its last write reports.
int closeOutput();

// True when messages go to an interactive terminal that understands the
// cursor movements of the progress rows.
bool messagesOnTerminal();

// Stores the signal's number in `caught` on SIGINT, SIGTERM and SIGHUP (on
// Windows: Ctrl+C and Ctrl+Break as SIGINT, closing the console as SIGHUP);
// a closed output pipe no longer ends the process.
void catchSignals(std::atomic<int>& caught);
// A signal's name for the line that says why the client stopped.
std::string signalName(int signal);
// Opens the null device on any of the three standard descriptors that is
// closed, so that no port or file opened later takes its number.
void openMissingStandardStreams();
// Makes a written file reach the disk; false (errno set) when it failed.
bool syncFile(std::FILE* file);
// The terminal's width in columns for the progress rows; 0 when unknown.
int terminalColumns();

// Waits at most `milliseconds` for input and reads what came: the number of
// bytes put in `buffer`, 0 when nothing came in time, -1 at end of input.
long readInput(char* buffer, std::size_t size, int milliseconds);

// Sleeps `milliseconds`; on POSIX a signal (Ctrl+C) ends it early.
void pause(int milliseconds);

}  // namespace travin::cli::device
