#include "cli/Commands.h"

#include <map>
#include <memory>
#include <thread>

#include "cli/BoardCommands.h"
#include "cli/BoardSession.h"
#include "cli/Check.h"
#include "cli/Ports.h"
#include "cli/Preparation.h"
#include "link/PortSelection.h"

namespace travin::cli {

namespace {

using Handler = int (*)(BoardSession&, const Options&, const Prepared&);

// Every board command by name; `ports` works without a board.
const std::map<std::string, Handler>& handlers() {
    static const std::map<std::string, Handler> table = {
        {"detect", commands::detect},   {"download", commands::download}, {"run", commands::run},
        {"stop", commands::stop},       {"reset", commands::reset},       {"step", commands::step},
        {"vars", commands::vars},       {"upload", commands::upload},     {"erase", commands::erase},
        {"startup-time", commands::startupTime},                          {"send", commands::send},
        {"aci", commands::aci},         {"console", commands::console},
    };
    return table;
}

}  // namespace

std::string rememberedPort(const Locations& folder) {
    Terminal quiet;
    TerminalScreens screens(quiet, "", false);
    Workbench wb(screens.screens(), folder);
    wb.port.ReadPortFile();
    return PortSelection::portName(wb.state.selectedPort);
}

int runCommand(const Options& o, Terminal& terminal, const Locations& folder) {
    terminal.setQuiet(o.quiet);
    if (o.command == "ports") return listPorts(terminal, folder, o.json);
    if (o.command == "check") return checkFiles(o.args, o.json, terminal);
    Prepared prepared;
    if (const int code = prepare(o, terminal, folder, prepared); code != kDone) return code;
    const auto found = handlers().find(o.command);
    if (found == handlers().end()) return kUsage;

    std::vector<std::string> ports = o.ports;
    if (ports.empty()) ports.push_back(rememberedPort(folder));
    const bool several = ports.size() > 1;

    std::vector<std::unique_ptr<BoardSession>> sessions;
    for (const auto& port : ports) {
        sessions.push_back(std::make_unique<BoardSession>(terminal, port, several, folder));
        // Answers from one stdin would reach the boards in whatever order
        // they ask; and a program read from stdin has taken it.
        if (several || (!o.args.empty() && o.args[0] == "-")) {
            sessions.back()->inputPolicy = InputPolicy::Refuse;
            sessions.back()->inputRefusal = several ? "input is not answered with several boards; see --input" : "the program came on stdin";
        }
        if (const auto given = prepared.answers.find(port); given != prepared.answers.end()) {
            sessions.back()->inputPolicy = InputPolicy::FromList;
            sessions.back()->answers = given->second;
        }
    }
    std::vector<int> results(sessions.size(), kDone);

    auto work = [&](std::size_t i) {
        results[i] = found->second(*sessions[i], o, prepared);
        sessions[i]->screens->finish();
    };
    if (several && (o.command == "download" || o.command == "run")) {
        // Each board on its own thread with its own workbench: they share
        // only the terminal.
        std::vector<std::thread> threads;
        for (std::size_t i = 0; i < sessions.size(); ++i) threads.emplace_back(work, i);
        for (auto& t : threads) t.join();
    } else {
        for (std::size_t i = 0; i < sessions.size(); ++i) work(i);
    }
    int result = kDone;
    for (int r : results) result = worseResult(result, r);
    return result;
}

}  // namespace travin::cli
