// travin-board: the virtual board as a program for people.
//
//   travin-board --com N [--eeprom FILE] [--program FILE] [--trace] [options]
//   travin-board --device PATH [...]  serves an existing serial device instead
//
// Creates a pseudo-terminal, points com<N> at its slave where the workbench
// looks for it (core/Locations.h: next to this executable in a
// self-contained folder, the configuration folder when installed) and
// answers until interrupted (Ctrl-C, SIGTERM, or "quit" on the
// trace console), then removes the link. Lines typed on standard input form
// the trace console: fault injections for trying the workbench by hand.
#include "board/Eeprom.h"
#include "board/VirtualBoard.h"
#include "board/ExecutorFactory.h"
#include "core/Locations.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

const char* kUsage =
    "usage: travin-board --com N [--eeprom FILE] [--program FILE] [--trace] [options]\n"
    "       travin-board --device PATH [same options]\n"
    "  --com N                 serve COM<N>: the link com<N> goes where the workbench looks\n"
    "  --device PATH           serve this serial device (an adapter on a null-modem cable to\n"
    "                          the workbench's, a port ser2net shares, a pty) instead of a new\n"
    "                          pseudo-terminal, setting it to each rate the board agrees to\n"
    "  --eeprom FILE           EEPROM image (default: board-com<N>.eeprom, see below)\n"
    "  --program FILE          store this Travin source in the program area first\n"
    "  --trace                 print every exchange, decoded, one line each\n"
    "  --no-pace               send and take bytes as fast as the pseudo-terminal does; by\n"
    "                          default the line is paced at 10 bits a byte of the current rate\n"
    "  --page-write-ms MS      write time of each DownloadBlock page (default 5); the write\n"
    "                          overlaps the next page crossing the line, and a sync is\n"
    "                          answered busy only while it would still be going\n"
    "  --busy-while-writing    answer busy for the whole write after every page instead\n"
    "  --erase-ms MS           busy time after EraseProgram (default 300)\n"
    "  --startup-ms MS         start-up wait instead of the image's start-up time\n"
    "  --no-autorun            never run the stored program at power-on\n"
    "  --output-queue BYTES    program output the board holds before the program waits\n"
    "                          for the line (default 256, as a small board; 4096 for a\n"
    "                          board with a large buffer)\n"
    "  --version-text TEXT     the version text the board reports\n"
    "  --link-dir DIR          put com<N> into DIR instead\n"
    "  --rig TEXT              module network, e.g. 1=orlen,2=daska,3=membo (the default)\n"
    "fault injections (once each, at start; also typed on the trace console):\n"
    "  --corrupt-checksum      corrupt the next reply's checksum          [corrupt]\n"
    "  --bit6                  set status bit 6 on the next reply         [bit6]\n"
    "  --stall                 do not answer the next sync                [stall, stall reply]\n"
    "  --busy N                answer the next N syncs with busy          [busy N]\n"
    "  --console-before-echo T send T before the next echo                [console T]\n"
    "  --short-reply N         next data reply carries N bytes too few    [short N, cut N]\n"
    "  --hang-up-after MS      hang up the line after MS ...              [hangup [MS]]\n"
    "  --come-back-after MS    ... and come back MS later (default 2000)  [comeback]\n"
    "trace console also: run, stop (the stored program, as RunProgram and StopProgram\n"
    "would), help, status, quit\n";

const char* kVersion = "travin-board " TRAVIN_VERSION "\n";

// Where the defaults of --link-dir and --eeprom lie for this executable.
void printFolders(const travin::Locations& where) {
    std::printf("files:\n  com<N> links           %s\n  EEPROM image           %sboard-com<N>.eeprom\n",
                where.configFolder.c_str(), where.stateFolder.c_str());
}

// The per-user folder a default path lies in is made on first use; the
// installation's own folders are never written.
void prepareFolder(const travin::Locations& where, const std::string& folder) {
    if (!where.installed) return;
    if (const std::string error = travin::ensureFolder(folder); !error.empty()) {
        std::fprintf(stderr, "travin-board: %s\n", error.c_str());
        std::exit(1);
    }
}

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "travin-board: %s\n", message.c_str());
    std::exit(1);
}

int toInt(const std::string& flag, const char* text) {
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    if (errno || end == text || *end) fail(flag + " needs a number, not \"" + text + "\"");
    return static_cast<int>(v);
}

void printStatus(const vboard::VirtualBoard& board) {
    std::printf("line %s%s, %u bit/s, program %s%s, position %u, %zu exchanges, %zu noise bytes, "
                "%zu console bytes sent, %zu waiting\n",
                board.slavePath().c_str(), board.hungUp() ? " (hung up)" : board.attached() ? "" : " (closed)",
                board.baudRate(), board.running() ? "running" : "stopped",
                board.waitingInput() ? " (waiting for input)" : "", board.position(),
                board.record().exchangeCount(), board.record().noiseBytes(), board.record().consoleCount(),
                board.consoleWaiting());
    std::fflush(stdout);
}

// One line of the trace console; false for "quit".
bool consoleCommand(vboard::VirtualBoard& board, const std::string& line) {
    std::istringstream in(line);
    std::string word;
    in >> word;
    std::string rest;
    std::getline(in >> std::ws, rest);
    auto number = [&](int fallback) {
        try {
            return rest.empty() ? fallback : std::stoi(rest);
        } catch (...) {
            return fallback;
        }
    };
    if (word.empty()) return true;
    if (word == "quit" || word == "exit") return false;
    if (word == "help") std::fputs(kUsage, stdout);
    else if (word == "status") printStatus(board);
    else if (word == "run") board.runProgram();
    else if (word == "stop") board.stopProgram();
    else if (word == "corrupt") board.injectCorruptChecksum();
    else if (word == "bit6") board.injectBit6();
    else if (word == "stall") board.injectStall(rest == "reply" ? vboard::StallAt::Reply : vboard::StallAt::Echo);
    else if (word == "busy") board.injectBusy(number(1));
    else if (word == "console") board.injectConsoleBeforeEcho(rest);
    else if (word == "short") board.injectShortReply(number(1), false);
    else if (word == "cut") board.injectShortReply(number(1), true);
    else if (word == "hangup") board.hangUp(number(-1));
    else if (word == "comeback") board.comeBack();
    else {
        std::printf("unknown command \"%s\" (try help)\n", word.c_str());
        std::fflush(stdout);
        return true;
    }
    if (word != "help" && word != "status") {
        std::printf("ok: %s\n", line.c_str());
        std::fflush(stdout);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const travin::Locations where = travin::locateFilesOfThisProgram();
    vboard::BoardOptions options;
    bool eepromGiven = false;
    options.linkDir = where.configFolder;
    options.comNumber = 0;
    options.pace = true;  // people see the line as a real one would run
    std::string programFile;
    bool trace = false;
    bool corrupt = false, bit6 = false, stall = false;
    int busy = 0, shortReply = 0, hangUpAfter = -1, comeBackAfter = 2000;
    std::string consoleBeforeEcho;

    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) fail(a + " needs a value");
            return argv[++i];
        };
        if (a == "--com") options.comNumber = toInt(a, value());
        else if (a == "--device") options.devicePath = value();
        else if (a == "--eeprom") {
            options.eepromPath = value();
            eepromGiven = true;
        }
        else if (a == "--program") programFile = value();
        else if (a == "--trace") trace = true;
        else if (a == "--pace") options.pace = true;  // the default; still accepted
        else if (a == "--no-pace") options.pace = false;
        else if (a == "--busy-while-writing") options.busyWhileWriting = true;
        else if (a == "--page-write-ms") options.pageWriteMs = toInt(a, value());
        else if (a == "--erase-ms") options.eraseMs = toInt(a, value());
        else if (a == "--startup-ms") options.startupMs = toInt(a, value());
        else if (a == "--no-autorun") options.powerOnRun = false;
        else if (a == "--output-queue") {
            const int bytes = toInt(a, value());
            if (bytes < 1 || bytes > 1 << 20) fail("--output-queue takes 1 to 1048576 bytes");
            options.outputQueueBytes = static_cast<std::size_t>(bytes);
        }
        else if (a == "--version-text") options.version = value();
        else if (a == "--link-dir") options.linkDir = value();
        else if (a == "--rig") options.rig = value();
        else if (a == "--corrupt-checksum") corrupt = true;
        else if (a == "--bit6") bit6 = true;
        else if (a == "--stall") stall = true;
        else if (a == "--busy") busy = toInt(a, value());
        else if (a == "--console-before-echo") consoleBeforeEcho = value();
        else if (a == "--short-reply") shortReply = toInt(a, value());
        else if (a == "--hang-up-after") hangUpAfter = toInt(a, value());
        else if (a == "--come-back-after") comeBackAfter = toInt(a, value());
        else if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            printFolders(where);
            return 0;
        } else if (a == "--version") {
            std::fputs(kVersion, stdout);
            return 0;
        } else {
            std::fprintf(stderr, "travin-board: unknown option %s\n%s", a.c_str(), kUsage);
            return 2;
        }
    }
    if (!options.devicePath.empty()) {
        // The workbench reaches a served device over its own cable or
        // server, never through a com<N> link to the board's end.
        if (options.comNumber != 0) {
            std::fprintf(stderr, "travin-board: --device and --com exclude each other\n%s", kUsage);
            return 2;
        }
        options.linkDir.clear();
        options.comNumber = 1;
    } else if (options.comNumber < 1) {
        std::fprintf(stderr, "travin-board: --com N is required (N from 1)\n%s", kUsage);
        return 2;
    }

    // Each COM number (or served device) keeps its own image, so boards
    // side by side keep their own programs.
    if (!eepromGiven)
        options.eepromPath = where.stateFolder + (options.devicePath.empty()
                                                      ? vboard::defaultImageName(options.comNumber)
                                                      : vboard::deviceImageName(options.devicePath));
    if (options.linkDir == where.configFolder) prepareFolder(where, where.configFolder);
    if (!eepromGiven) prepareFolder(where, where.stateFolder);
    // Earlier versions kept one image for every COM number: its program
    // comes along to the first start under the new name, not lost.
    if (!eepromGiven && options.devicePath.empty()) {
        try {
            if (vboard::adoptSharedImage(where.stateFolder, options.eepromPath))
                std::fprintf(stderr, "travin-board: %s now holds the program kept in %s%s by earlier versions\n",
                             options.eepromPath.c_str(), where.stateFolder.c_str(), vboard::kSharedImageName);
        } catch (const std::exception& e) {
            fail(e.what());
        }
    }

    try {
        // A rig the board cannot read is refused before anything starts.
        if (!options.rig.empty()) (void)vboard::makeExecutor(options.rig);
    } catch (const std::exception& e) {
        fail(std::string("--rig: ") + e.what());
    }

    try {
        if (!programFile.empty()) {
            std::ifstream in(programFile, std::ios::binary);
            if (!in) fail("cannot open program file " + programFile + ": " + std::strerror(errno));
            std::ostringstream text;
            text << in.rdbuf();
            vboard::EepromImage image(options.eepromPath);
            image.loadOrCreate();
            if (!image.storeSource(text.str()))
                fail("program file " + programFile + " does not fit into the program area");
            image.save();
        }
    } catch (const std::exception& e) {
        fail(e.what());
    }

    // Heard without --trace too: a command refused because the image could
    // not be written.
    options.onFault = [](const std::string& text) {
        std::fprintf(stderr, "travin-board: %s\n", text.c_str());
        std::fflush(stderr);
    };
    if (trace) {
        options.onExchange = [](const vboard::Exchange& e) {
            std::printf("%8llu  %s\n", static_cast<unsigned long long>(e.replyMs), vboard::formatExchange(e).c_str());
            std::fflush(stdout);
        };
        options.onEvent = [](const std::string& text) {
            std::printf("          (%s)\n", text.c_str());
            std::fflush(stdout);
        };
    }

    // Signals are taken through a signalfd, so they are blocked before the
    // board thread starts and inherits the mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    int sigFd = ::signalfd(-1, &signals, SFD_CLOEXEC);
    std::signal(SIGPIPE, SIG_IGN);
    // Started in the background of an interactive shell, reading the trace
    // console would stop the process; ignored, the read fails instead and
    // the board goes on without the console.
    std::signal(SIGTTIN, SIG_IGN);

    vboard::VirtualBoard board(options);
    try {
        board.start();
    } catch (const std::exception& e) {
        fail(e.what());
    }
    if (!options.devicePath.empty()) {
        std::printf("travin-board: serving %s (EEPROM %s)\n", board.slavePath().c_str(), options.eepromPath.c_str());
    } else {
        std::printf("travin-board: COM%d is %s -> %s (EEPROM %s)\n", options.comNumber, board.linkPath().c_str(),
                    board.slavePath().c_str(), options.eepromPath.c_str());
    }
    std::fflush(stdout);

    if (corrupt) board.injectCorruptChecksum();
    if (bit6) board.injectBit6();
    if (stall) board.injectStall();
    if (busy > 0) board.injectBusy(busy);
    if (!consoleBeforeEcho.empty()) board.injectConsoleBeforeEcho(consoleBeforeEcho);
    if (shortReply > 0) board.injectShortReply(shortReply);
    const std::uint64_t hangUpAt = hangUpAfter >= 0 ? board.nowMs() + static_cast<std::uint64_t>(hangUpAfter) : 0;
    bool hangUpDone = hangUpAfter < 0;

    bool stdinOpen = true;
    std::string pending;
    for (;;) {
        pollfd fds[2] = {{sigFd, POLLIN, 0}, {stdinOpen ? 0 : -1, POLLIN, 0}};
        int timeout = -1;
        if (!hangUpDone) {
            std::uint64_t now = board.nowMs();
            timeout = now >= hangUpAt ? 0 : static_cast<int>(hangUpAt - now);
        }
        if (::poll(fds, 2, timeout) < 0 && errno != EINTR) break;
        if (fds[0].revents & POLLIN) break;
        if (!hangUpDone && board.nowMs() >= hangUpAt) {
            hangUpDone = true;
            board.hangUp(comeBackAfter);
        }
        if (stdinOpen && (fds[1].revents & (POLLIN | POLLHUP))) {
            char buf[512];
            ssize_t n = ::read(0, buf, sizeof buf);
            if (n <= 0) {
                stdinOpen = false;
                continue;
            }
            pending.append(buf, static_cast<std::size_t>(n));
            bool quit = false;
            for (std::size_t lf; !quit && (lf = pending.find('\n')) != std::string::npos;) {
                std::string line = pending.substr(0, lf);
                pending.erase(0, lf + 1);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                quit = !consoleCommand(board, line);
            }
            if (quit) break;
        }
    }
    board.stop();
    std::printf("travin-board: stopped, link removed\n");
    return 0;
}
