// travin-cli: the workbench's board operations from the command line.
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/Options.h"
#include "cli/StampedOutput.h"
#include "cli/Terminal.h"
#include "cli/TerminalDevice.h"
#include "core/Locations.h"

// The build names the version; a build that does not (the cross-compile
// check) still builds.
#ifndef TRAVIN_VERSION
#define TRAVIN_VERSION "(unnumbered build)"
#endif

namespace {

using namespace travin::cli;

constexpr const char* kUsageText =
    "usage: travin-cli [OPTION]... COMMAND [ARGS]\n"
    "\n"
    "options:\n"
    "  --port NAME, --port=NAME  COM1 to COM8 (any case; resolved as the workbench\n"
    "                        resolves them: the link com<N> in the device folder,\n"
    "                        else /dev/ttyS<N-1>), a device path, or a network\n"
    "                        port: rfc2217://HOST:PORT (a serial server such as\n"
    "                        ser2net) or socket://HOST:PORT (raw TCP; the bridge\n"
    "                        keeps the speed). Without it\n"
    "                        TRAVIN_PORT, else the port the workbench remembered,\n"
    "                        else COM1. Several --port work with download, run,\n"
    "                        stop and reset.\n"
    "  -q, --quiet           no progress and no detection line\n"
    "  --json                ports, detect, step, startup-time, vars and check as JSON\n"
    "  -h, --help            this text;  -V, --version  the version\n"
    "  --                    what follows is no option\n"
    "\n"
    "commands:\n"
    "  ports                       what COM1 to COM8 open, the serial devices found\n"
    "  detect                      finds the board, prints its version text\n"
    "  download FILE               limit check, then download (FILE - : stdin)\n"
    "  run [FILE] [--break LINE]... [--timeout SEC] [--detach] [--reset]\n"
    "                              downloads FILE if given (- : stdin), runs, shows\n"
    "                              the output and answers input requests from stdin\n"
    "                              until the program stops. Without FILE the stored\n"
    "                              program goes on with its variables; --reset starts\n"
    "                              it afresh. At most three --break, on statement lines.\n"
    "  stop | reset                as the workbench's buttons\n"
    "  step [N] [--source FILE]    N single steps, each printing LINE: TEXT; with\n"
    "                              --source the text comes from FILE, which must be\n"
    "                              what the board holds, instead of an upload\n"
    "  vars [NAME=VALUE]...        sets the given variables (all or none; decimal,\n"
    "                              signed 32 bits), prints A to Z\n"
    "  upload [-o FILE]            the stored program to stdout or FILE (- : stdout);\n"
    "                              FILE is replaced only once the upload succeeded\n"
    "  erase --yes                 erases the stored program\n"
    "  startup-time [SECONDS]      prints, or sets (1 to 7), the start-up time\n"
    "  send CHAR                   sends a character to the running program\n"
    "  aci TEXT                    sends an ACI command line (at most 39 characters)\n"
    "  console                     shows a running program's output and answers its\n"
    "                              input until the program ends; Ctrl+C leaves it running\n"
    "  check FILE...               parses without a board; each problem as\n"
    "                              FILE:LINE:COLUMN: error: MESSAGE (--json: a list),\n"
    "                              a constant argument out of range as a warning;\n"
    "                              exit 0 without errors, 3 with. download and run\n"
    "                              print the same problems as warnings and go on\n"
    "  run and console also take:\n"
    "    --timestamps              each output line behind its arrival time\n"
    "                              (HH:MM:SS.mmm and a blank)\n"
    "    --log FILE                appends the output to FILE, each line behind\n"
    "                              its arrival time\n"
    "\n"
    "No command resets the board but download, run FILE, run --reset and reset.\n"
    "detect, console, stop, step, vars and send leave a running program running;\n"
    "run, download, upload, erase, startup-time and aci stop it first.\n"
    "\n"
    "stdout carries the command's result only: run and console the output of the\n"
    "program they started or attached to, the others their result. Board output\n"
    "met otherwise, messages and progress go to stderr. An input request is answered\n"
    "only with a line the user gave: at the end of input, a time-out or a signal the\n"
    "program is stopped and nothing is sent. With several boards, or a program read\n"
    "from stdin, input requests are answered only from --input PORT=FILE (run,\n"
    "console; one answer a line, for that board alone); without it, or with no\n"
    "answer left, the program is stopped.\n"
    "\n"
    "exit codes:\n"
    "  0    done\n"
    "  1    usage error\n"
    "  2    board not found, link failure, or refused by the board's state\n"
    "  3    program or value refused before sending (limits, zero byte, empty);\n"
    "       check: the program has problems\n"
    "  4    --timeout ran out (the program is stopped first)\n"
    "  5    the program stopped before its end: an error, a breakpoint not asked\n"
    "       for, or an input request left without an answer\n"
    "  6    the result could not be written (stdout or the -o file)\n"
    "  128+N  ended by signal N (SIGINT 130, SIGTERM 143, SIGHUP 129, SIGPIPE 141\n"
    "       for a closed output); the program this command started is stopped\n"
    "With several boards the result that means most wins: a signal, then 2, 6, 4,\n"
    "5, 3, 1, 0.\n"
    "\n"
    "environment: TRAVIN_PORT  the port when no --port is given\n"
    "\n"
    "files: the port file tnport the workbench remembers its port in, and the\n"
    "com<N> links that name each port's device: next to the program in a\n"
    "self-contained folder, else in $XDG_CONFIG_HOME/travin (~/.config/travin).\n";

// The folders of this copy, which differ between a self-contained folder
// and an installation.
std::string filesHere(const travin::Locations& here) {
    return std::string("  here: ") + (here.installed ? "installed" : "self-contained") + "; tnport and com<N> in " +
           here.configFolder + "\n\nsee also: travin-cli(1), travin(1), travin-board(1)\n";
}

int usageError(const std::string& problem) {
    std::fprintf(stderr, "travin-cli: %s\ntry 'travin-cli --help'\n", problem.c_str());
    return kUsage;
}

}  // namespace

int main(int argc, char** argv) {
    // Before anything opens a file: a closed fd 0 would become the port.
    Terminal::catchInterrupt();
    const std::vector<std::string> words = device::arguments(argc, argv);
    const char* environmentPort = std::getenv("TRAVIN_PORT");
    const ParsedCommandLine parsed = parseCommandLine(
        std::vector<std::string>(words.begin() + (words.empty() ? 0 : 1), words.end()),
        environmentPort ? std::optional<std::string>(environmentPort) : std::nullopt);

    Terminal terminal;
    StampedOutput stamped;
    std::string logProblem;
    int result = kDone;
    if (parsed.showHelp) {
        terminal.writeOutput(std::string("travin-cli " TRAVIN_VERSION "\n\n") + kUsageText +
                             filesHere(travin::locateFilesOfThisProgram()));
    } else if (parsed.showVersion) {
        terminal.writeOutput("travin-cli " TRAVIN_VERSION "\n");
    } else if (!parsed.usageProblem.empty()) {
        return usageError(parsed.usageProblem);
    } else if (!stamped.start(parsed.options.timestamps, parsed.options.logFile, logProblem)) {
        terminal.writeMessage(logProblem);
        return kUsage;
    } else {
        if (parsed.options.timestamps || !parsed.options.logFile.empty())
            terminal.setOutputFilter([&stamped](std::string_view bytes) { return stamped.filter(bytes); });
        result = runCommand(parsed.options, terminal, travin::locateFilesOfThisProgram());
        stamped.finish();
    }
    if (!terminal.closeOutput() && !Terminal::interrupted()) result = worseResult(result, kWriteFailed);
    if (Terminal::interrupted()) {
        // The signal that came names the code, whatever a board reported.
        const int stopped = Terminal::stopExitCode();
        if (result > kSignalBase || exitRank(stopped) >= exitRank(result)) result = stopped;
        const std::string failure = terminal.writeFailure();
        terminal.writeMessage(failure.empty() ? Terminal::stopReason() : "cannot write the output: " + failure);
    } else if (const std::string failure = terminal.writeFailure(); !failure.empty()) {
        terminal.writeMessage("cannot write the output: " + failure);
    }
    return result;
}
