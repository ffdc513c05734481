// The workbench's entry point: creates the five windows in their order and
// runs the event loop.
//
//   travin [FILE]     FILE is opened at start-up as Open opens it
//   travin --help     the usage and where the files are; exit 0
//   travin --version  exit 0
//
// An unknown option prints the usage on stderr and exits with 2. The
// toolkit's own options (-platform, -style ...) are taken by the toolkit
// before the rest is read. SIGTERM, SIGINT and SIGHUP close the main window
// as its close box does, so the port file is written at a logout too.
// With TRAVIN_REPORT_SHOWN set, "travin: window shown" goes to stderr once
// the main window has been shown and the loop has turned, so that a bench
// can time the start.
#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

#include "app/HandlerBarrier.h"
#include "app/TMainForm.h"
#include "core/Locations.h"

namespace {

const char* const kUsage =
    "usage: travin [FILE]\n"
    "  FILE        open this Travin source file at start-up\n"
    "  --help      show this text and exit\n"
    "  --version   show the version and exit\n";

void printHelp() {
    const travin::Locations where = travin::locateFilesOfThisProgram();
    std::printf("%sfiles:\n  help documents        %s\n  port file, com<N>     %s\n", kUsage,
                where.helpFolder.c_str(), where.configFolder.c_str());
}

// The box needs the application object, so it is shown while that still
// exists; without one (its own creation failed) the text goes to stderr.
void showException(const QApplication* application, const char* what) {
    if (application) {
        QMessageBox::critical(nullptr, QCoreApplication::applicationName(), QString::fromLocal8Bit(what));
    } else {
        std::fprintf(stderr, "%s\n", what);
    }
}

// A signal writes one byte into this pair; the event loop reads it and
// closes the window, since nothing else may be done inside the handler.
int signalPair[2] = {-1, -1};

extern "C" void onTerminationSignal(int) {
    const char byte = 1;
    (void)!::write(signalPair[0], &byte, 1);
}

void closeOnTerminationSignals(QWidget& window) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPair) != 0) return;
    auto* notifier = new QSocketNotifier(signalPair[1], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        char byte;
        (void)!::read(signalPair[1], &byte, 1);
        window.close();
    });
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

}  // namespace

int main(int argc, char* argv[]) {
    // Answered before the toolkit starts, so they work without a display.
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            printHelp();
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("travin %s\n", TRAVIN_VERSION);
            return 0;
        }
    }

    // Outlives the try block, so the exception box below has a toolkit.
    std::unique_ptr<QApplication> application;
    try {
        // Its event dispatch stops any exception a handler lets out.
        application = std::make_unique<travin::BarrierApplication>(argc, argv);
        // What the toolkit left: at most one file, no options of ours.
        std::string file;
        bool optionsEnd = false;
        int files = 0;
        for (int i = 1; i < argc; ++i) {
            const std::string argument = argv[i];
            if (!optionsEnd && argument == "--") {
                optionsEnd = true;
            } else if (!optionsEnd && argument.size() > 1 && argument[0] == '-') {
                std::fprintf(stderr, "travin: unknown option %s\n%s", argument.c_str(), kUsage);
                return 2;
            } else {
                file = argument;
                ++files;
            }
        }
        if (files > 1) {
            std::fprintf(stderr, "travin: one file at most\n%s", kUsage);
            return 2;
        }

        travin::TMainForm mainForm;
        mainForm.showCentred();
        closeOnTerminationSignals(mainForm);
        if (qEnvironmentVariableIsSet("TRAVIN_REPORT_SHOWN")) {
            QTimer::singleShot(0, [] {
                std::fputs("travin: window shown\n", stderr);
                std::fflush(stderr);
            });
        }
        // Once the loop runs, so the window stands behind Open's error box.
        if (!file.empty())
            QTimer::singleShot(0, &mainForm, [&mainForm, file] { mainForm.workbench().files.OpenFile(file); });
        return application->exec();
    } catch (const std::exception& error) {
        // An escaping exception is shown, and the program then ends normally.
        showException(application.get(), error.what());
    } catch (...) {
        showException(application.get(), "Unknown exception");
    }
    return 0;
}
