#include "cli/Check.h"

#include <cstdio>

#include "cli/ExitCodes.h"
#include "cli/Json.h"
#include "core/SourceFileIo.h"
#include "lang/Program.h"

namespace travin::cli {

namespace {

// The lines as the board stores them: each ended by CR LF.
std::vector<lang::Diagnostic> problemsOf(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines) {
        bytes += line;
        bytes += "\r\n";
    }
    return lang::checkProgram(bytes);
}

// The form compilers print and editors and CI systems read.
std::string compilerLine(const std::string& file, const lang::Diagnostic& d, const char* severity) {
    return file + ":" + std::to_string(d.line) + ":" + std::to_string(d.column) + ": " + severity + ": " +
           d.message + "\n";
}

}  // namespace

int checkFiles(const std::vector<std::string>& files, bool json, Terminal& terminal) {
    int result = kDone;
    std::string text = json ? "[" : "";
    bool firstEntry = true;
    for (const std::string& file : files) {
        std::vector<std::string> lines;
        if (!readSourceFile(file, lines)) {
            terminal.writeMessage("cannot read " + file);
            result = worseResult(result, kUsage);
            continue;
        }
        for (const lang::Diagnostic& d : problemsOf(lines)) {
            // A warning's line is taken by the board (it stops there when it
            // runs it): reported, but the program is not refused.
            const char* severity = d.warning ? "warning" : "error";
            if (!d.warning) result = worseResult(result, kRefused);
            if (!json) {
                text += compilerLine(file, d, severity);
                continue;
            }
            text += firstEntry ? "\n  " : ",\n  ";
            firstEntry = false;
            text += "{\"file\": " + jsonSystemString(file) + ", \"line\": " + std::to_string(d.line) +
                    ", \"column\": " + std::to_string(d.column) + ", \"severity\": \"" + severity + "\", \"message\": " +
                    jsonString(d.message) + "}";
        }
    }
    if (json) text += firstEntry ? "]\n" : "\n]\n";
    terminal.writeOutput(text);
    return result;
}

void warnAboutProblems(const std::string& programName, const std::vector<std::string>& lines, Terminal&) {
    // Written before any board is opened, so no progress line is drawn yet;
    // without the client's prefix, so that editors read them as compiler
    // warnings. The board has the last word: a program the workbench cannot
    // parse may still be one it accepts.
    std::string text;
    for (const lang::Diagnostic& d : problemsOf(lines)) text += compilerLine(programName, d, "warning");
    if (!text.empty()) std::fputs(text.c_str(), stderr);
}

}  // namespace travin::cli
