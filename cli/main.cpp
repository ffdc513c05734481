// travin-cli: the workbench's board operations from the command line.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/BoardSession.h"
#include "cli/Commands.h"
#include "cli/StampedOutput.h"
#include "cli/Terminal.h"
#include "cli/TerminalDevice.h"
#include "core/FilePath.h"

namespace {

using namespace travin::cli;

constexpr const char* kUsageText =
    "usage: travin-cli [--port NAME]... COMMAND [ARGS]\n"
    "\n"
    "NAME is COM1 to COM8 (resolved as the workbench resolves them: the link\n"
    "com<N> next to the program, else /dev/ttyS<N-1>) or a device path; without\n"
    "--port the port the workbench remembered, else COM1. Several --port make\n"
    "download and run work on all the boards at once.\n"
    "\n"
    "commands:\n"
    "  ports                       what COM1 to COM8 open, the serial devices found\n"
    "  detect                      finds the board, prints its version text\n"
    "  download FILE               limit check, then download\n"
    "  run [FILE] [--break LINE]... [--timeout SEC] [--detach]\n"
    "                              downloads FILE if given, runs, shows the output\n"
    "                              and answers input requests from stdin until the\n"
    "                              program stops (at a breakpoint it says where)\n"
    "  stop | reset                as the workbench's buttons\n"
    "  step [N]                    N single steps, each printing LINE: TEXT\n"
    "  vars [--json] [NAME=VALUE]...  sets the given variables, prints A to Z\n"
    "  upload [-o FILE]            the stored program to stdout or FILE\n"
    "  erase --yes                 erases the stored program\n"
    "  startup-time [SECONDS]      prints, or sets (1 to 7), the start-up time\n"
    "  send CHAR                   sends a character to the running program\n"
    "  aci TEXT                    sends an ACI command line\n"
    "  console                     shows a running program's output and answers\n"
    "                              its input until Ctrl+C, without stopping it\n"
    "  run and console also take:\n"
    "    --timestamps              each output line behind its arrival time\n"
    "                              (HH:MM:SS.mmm and a blank)\n"
    "    --log FILE                appends the output to FILE, each line behind\n"
    "                              its arrival time\n"
    "\n"
    "detect, console, stop, reset, step, vars and send leave a running program\n"
    "running while they find the board; the others stop and reset it first, as\n"
    "the workbench does when it finds a board.\n"
    "\n"
    "Program output goes to stdout unchanged; messages and progress to stderr.\n"
    "\n"
    "exit codes:\n"
    "  0    done\n"
    "  1    usage error\n"
    "  2    board not found, link failure, or refused by the board's state\n"
    "  3    program refused by the limit check\n"
    "  4    --timeout ran out (the program is stopped first)\n"
    "  130  interrupted by Ctrl+C (the program is stopped first; console leaves\n"
    "       it running)\n"
    "With several boards the exit code is the worst of them.\n";

int usageError(const std::string& problem) {
    std::fprintf(stderr, "travin-cli: %s\n%s", problem.c_str(), kUsageText);
    return kUsage;
}

bool readNumber(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0' && value > 0;
}

bool readCount(const std::string& text, int& value) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < 1 || v > 1000000) return false;
    value = static_cast<int>(v);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> words = device::arguments(argc, argv);
    const std::size_t count = words.size();
    Options o;
    for (std::size_t i = 1; i < count; ++i) {
        const std::string& a = words[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= count) return false;
            out = words[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            std::fputs(kUsageText, stdout);
            return kDone;
        } else if (a == "--port") {
            if (!value(v)) return usageError("--port needs a name");
            o.ports.push_back(v);
        } else if (a == "--break") {
            int line = 0;
            if (!value(v) || !readCount(v, line)) return usageError("--break needs a line number from 1");
            o.breaks.push_back(line);
        } else if (a == "--timeout") {
            if (!value(v) || !readNumber(v, o.timeoutSeconds)) return usageError("--timeout needs seconds");
        } else if (a == "--detach") {
            o.detach = true;
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "--yes") {
            o.yes = true;
        } else if (a == "--timestamps") {
            o.timestamps = true;
        } else if (a == "--log") {
            if (!value(o.logFile) || o.logFile.empty()) return usageError("--log needs a file");
        } else if (a == "-o") {
            if (!value(o.outFile)) return usageError("-o needs a file");
        } else if (a.size() > 1 && a[0] == '-' && o.command != "send") {
            return usageError("unknown option " + a);
        } else if (o.command.empty()) {
            o.command = a;
        } else {
            o.args.push_back(a);
        }
    }

    std::string problem;
    if (!knownCommand(o.command, o.args.size(), problem)) return usageError(problem);
    for (const auto& port : o.ports) {
        const bool com = port.size() == 4 && port.starts_with("COM") && port[3] >= '1' && port[3] <= '8';
        // A device path is absolute: /dev/ttyUSB0 here, \\.\COM10 on Windows.
        if (!com && (port.empty() || !travin::filePath(port).is_absolute())) return usageError("not a port: " + port);
    }
    if (o.ports.size() > 1 && o.command != "download" && o.command != "run")
        return usageError("several --port work with download and run only");
    if (o.command == "erase" && !o.yes) return usageError("erase needs --yes");
    if (!o.breaks.empty() && o.command != "run") return usageError("--break goes with run");
    if (o.timeoutSeconds > 0 && o.command != "run") return usageError("--timeout goes with run");
    if (o.detach && o.command != "run") return usageError("--detach goes with run");
    if (o.json && o.command != "vars") return usageError("--json goes with vars");
    if (!o.outFile.empty() && o.command != "upload") return usageError("-o goes with upload");
    const bool streams = o.command == "run" || o.command == "console";
    if (o.timestamps && !streams) return usageError("--timestamps goes with run and console");
    if (!o.logFile.empty() && !streams) return usageError("--log goes with run and console");
    if (o.command == "step" && !o.args.empty()) {
        int n = 0;
        if (!readCount(o.args[0], n)) return usageError("step needs a count from 1");
    }
    if (o.command == "send" && o.args[0].empty()) return usageError("send needs a character");
    if (o.command == "vars") {
        for (const auto& assignment : o.args) {
            const bool letter = assignment.size() >= 3 && std::isalpha(static_cast<unsigned char>(assignment[0])) &&
                                assignment[1] == '=';
            if (!letter) return usageError("vars takes NAME=VALUE with NAME a letter A to Z: " + assignment);
        }
    }

    Terminal::catchInterrupt();
    Terminal terminal;
    StampedOutput stamped;
    if (o.timestamps || !o.logFile.empty()) {
        std::string why;
        if (!stamped.start(o.timestamps, o.logFile, why)) {
            std::fprintf(stderr, "travin-cli: %s\n", why.c_str());
            return kUsage;
        }
        terminal.setOutputFilter([&stamped](std::string_view bytes) { return stamped.filter(bytes); });
    }
    return runCommand(o, terminal, travin::locateFilesOfThisProgram());
}
