#include "cli/Options.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "cli/OutputFile.h"
#include "core/FilePath.h"
#include "link/NetPortName.h"

namespace travin::cli {

namespace {

// The commands, how many plain arguments each takes and whether it works
// on several boards at once.
struct CommandRule {
    const char* name;
    std::size_t least, most;
    bool severalBoards;
};

constexpr CommandRule kCommands[] = {
    {"ports", 0, 0, false},        {"detect", 0, 0, false}, {"download", 1, 1, true}, {"run", 0, 1, true},
    {"stop", 0, 0, true},          {"reset", 0, 0, true},   {"step", 0, 1, false},    {"vars", 0, 26, false},
    {"upload", 0, 0, false},       {"erase", 0, 0, false},  {"startup-time", 0, 1, false},
    {"send", 1, 1, false},         {"aci", 1, 1, false},    {"console", 0, 0, false},
    {"check", 1, 10000, false},
};

const CommandRule* findCommand(const std::string& name) {
    for (const auto& rule : kCommands)
        if (name == rule.name) return &rule;
    return nullptr;
}

bool readSeconds(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0' && std::isfinite(value) && value > 0 && value < 1e7;
}

bool readCount(const std::string& text, int& value) {
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return false;
    const long v = std::strtol(text.c_str(), nullptr, 10);
    if (v < 1 || v > 1000000 || text.size() > 7) return false;
    value = static_cast<int>(v);
    return true;
}

// One option: its name, whether a value follows, the commands it goes
// with ("" for every command), and what it sets. The setter returns a
// usage problem or nothing.
struct OptionRule {
    const char* name;
    bool takesValue;
    std::vector<std::string> commands;
    std::function<std::string(Options&, const std::string&)> apply;
};

const std::vector<OptionRule>& optionRules() {
    static const std::vector<OptionRule> rules = {
        {"--port", true, {}, [](Options& o, const std::string& v) -> std::string {
             std::string name = v;
             if (!normalPortName(name)) return "not a port: " + v;
             if (std::find(o.ports.begin(), o.ports.end(), name) != o.ports.end()) return "port given twice: " + v;
             o.ports.push_back(name);
             return {};
         }},
        {"--break", true, {"run"}, [](Options& o, const std::string& v) -> std::string {
             int line = 0;
             if (!readCount(v, line)) return "--break needs a line number from 1";
             if (std::find(o.breaks.begin(), o.breaks.end(), line) != o.breaks.end()) return "--break " + v + " given twice";
             if (o.breaks.size() >= 3) return "the board holds at most three breakpoints";
             o.breaks.push_back(line);
             return {};
         }},
        {"--timeout", true, {"run"}, [](Options& o, const std::string& v) -> std::string {
             return readSeconds(v, o.timeoutSeconds) ? std::string() : "--timeout needs seconds";
         }},
        {"--detach", false, {"run"}, [](Options& o, const std::string&) { o.detach = true; return std::string(); }},
        {"--reset", false, {"run"}, [](Options& o, const std::string&) { o.reset = true; return std::string(); }},
        {"--json", false, {"vars", "ports", "detect", "step", "startup-time", "check"},
         [](Options& o, const std::string&) { o.json = true; return std::string(); }},
        {"--yes", false, {"erase"}, [](Options& o, const std::string&) { o.yes = true; return std::string(); }},
        {"--quiet", false, {}, [](Options& o, const std::string&) { o.quiet = true; return std::string(); }},
        {"-q", false, {}, [](Options& o, const std::string&) { o.quiet = true; return std::string(); }},
        {"-o", true, {"upload"}, [](Options& o, const std::string& v) -> std::string {
             if (v.empty()) return "-o needs a file name";
             o.outFileGiven = true;
             o.outFile = v;
             return {};
         }},
        {"--timestamps", false, {"run", "console"},
         [](Options& o, const std::string&) { o.timestamps = true; return std::string(); }},
        {"--log", true, {"run", "console"}, [](Options& o, const std::string& v) -> std::string {
             if (v.empty()) return "--log needs a file name";
             o.logFile = v;
             return {};
         }},
        {"--input", true, {"run", "console"}, [](Options& o, const std::string& v) -> std::string {
             const auto equals = v.find('=');
             if (equals == std::string::npos || equals + 1 == v.size()) return "--input needs PORT=FILE";
             std::string port = v.substr(0, equals);
             if (!normalPortName(port)) return "not a port: " + v.substr(0, equals);
             for (const auto& given : o.inputFiles)
                 if (given.first == port) return "--input given twice for " + port;
             o.inputFiles.emplace_back(port, v.substr(equals + 1));
             return {};
         }},
        {"--source", true, {"step"}, [](Options& o, const std::string& v) -> std::string {
             if (v.empty()) return "--source needs a file name";
             o.sourceFile = v;
             return {};
         }},
    };
    return rules;
}

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& n : names) text += (text.empty() ? "" : ", ") + n;
    return text;
}

// The checks that need the whole command line.
std::string checkWhole(const Options& o, const std::vector<std::string>& givenOptions) {
    const CommandRule* rule = findCommand(o.command);
    if (!rule) return o.command.empty() ? "no command given" : "unknown command " + o.command;
    if (o.args.size() < rule->least || o.args.size() > rule->most) return "wrong number of arguments for " + o.command;
    for (const auto& given : givenOptions) {
        for (const auto& option : optionRules()) {
            if (given != option.name || option.commands.empty()) continue;
            if (std::find(option.commands.begin(), option.commands.end(), o.command) == option.commands.end())
                return given + " goes with " + joined(option.commands);
        }
    }
    if (o.ports.size() > 1 && !rule->severalBoards) return "several --port work with download, run, stop and reset only";
    if (o.command == "erase" && !o.yes) return "erase needs --yes";
    if (o.detach && o.timeoutSeconds > 0) return "--timeout cannot go with --detach: nobody would be there to stop the program";
    if (o.command == "step" && !o.args.empty()) {
        int n = 0;
        if (!readCount(o.args[0], n)) return "step needs a count from 1";
    }
    if (o.command == "send" && o.args[0].empty()) return "send needs a character";
    if (o.command == "startup-time" && !o.args.empty()) {
        const std::string& v = o.args[0];
        if (v.size() != 1 || v[0] < '1' || v[0] > '7') return "startup-time takes seconds from 1 to 7";
    }
    if (o.writesToFile()) {
        if (const std::string problem = outputFileProblem(o.outFile); !problem.empty()) return problem;
    }
    for (const auto& [port, file] : o.inputFiles) {
        if (std::find(o.ports.begin(), o.ports.end(), port) == o.ports.end())
            return "--input names " + port + ", which no --port gives";
    }
    if (o.command == "run" && !o.args.empty() && o.args[0] == "-" && o.ports.size() > 1)
        return "a program from stdin goes to one board";
    return {};
}

}  // namespace

bool normalPortName(std::string& name) {
    if (name.size() == 4) {
        std::string upper = name;
        for (auto& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (upper.starts_with("COM") && upper[3] >= '1' && upper[3] <= '8') {
            name = upper;
            return true;
        }
    }
    if (parseNetPortName(name)) return true;
    // A device path is absolute: /dev/ttyUSB0 here, \\.\COM10 on Windows.
    return !name.empty() && filePath(name).is_absolute();
}

ParsedCommandLine parseCommandLine(const std::vector<std::string>& words,
                                   const std::optional<std::string>& environmentPort) {
    ParsedCommandLine parsed;
    Options& o = parsed.options;
    std::vector<std::string> givenOptions;
    bool plainOnly = false;
    auto fail = [&parsed](const std::string& problem) {
        parsed.usageProblem = problem;
        return parsed;
    };
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        const bool looksLikeOption = !plainOnly && word.size() > 1 && word[0] == '-';
        if (!looksLikeOption) {
            if (o.command.empty()) o.command = word;
            else o.args.push_back(word);
            continue;
        }
        if (word == "--") {
            plainOnly = true;
            continue;
        }
        if (word == "--help" || word == "-h") {
            parsed.showHelp = true;
            return parsed;
        }
        if (word == "--version" || word == "-V") {
            parsed.showVersion = true;
            return parsed;
        }
        // --name=value as well as --name value.
        std::string name = word, value;
        bool valueInWord = false;
        if (const auto equals = word.find('='); word.starts_with("--") && equals != std::string::npos) {
            name = word.substr(0, equals);
            value = word.substr(equals + 1);
            valueInWord = true;
        }
        const auto& rules = optionRules();
        const auto rule = std::find_if(rules.begin(), rules.end(), [&name](const OptionRule& r) { return name == r.name; });
        if (rule == rules.end()) {
            // `send -` sends a minus sign.
            if (o.command == "send" && o.args.empty() && word.size() == 2) {
                o.args.push_back(word);
                continue;
            }
            return fail("unknown option " + word);
        }
        if (rule->takesValue && !valueInWord) {
            if (i + 1 >= words.size()) return fail(name + " needs a value");
            value = words[++i];
        } else if (!rule->takesValue && valueInWord) {
            return fail(name + " takes no value");
        }
        if (const std::string problem = rule->apply(o, value); !problem.empty()) return fail(problem);
        givenOptions.push_back(name);
    }
    if (o.ports.empty() && environmentPort && !environmentPort->empty()) {
        std::string name = *environmentPort;
        if (!normalPortName(name)) return fail("TRAVIN_PORT is not a port: " + *environmentPort);
        o.ports.push_back(name);
    }
    if (const std::string problem = checkWhole(o, givenOptions); !problem.empty()) return fail(problem);
    return parsed;
}

}  // namespace travin::cli
