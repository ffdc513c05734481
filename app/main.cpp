// The workbench's entry point: creates the five windows in their order and
// runs the event loop. It takes no command-line arguments.
#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <exception>
#include <memory>

#include "app/HandlerBarrier.h"
#include "app/TMainForm.h"

namespace {

// The box needs the application object, so it is shown while that still
// exists; without one (its own creation failed) the text goes to stderr.
void showException(const QApplication* application, const char* what) {
    if (application) {
        QMessageBox::critical(nullptr, QCoreApplication::applicationName(), QString::fromLocal8Bit(what));
    } else {
        std::fprintf(stderr, "%s\n", what);
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    // Outlives the try block, so the exception box below has a toolkit.
    std::unique_ptr<QApplication> application;
    try {
        // Its event dispatch stops any exception a handler lets out.
        application = std::make_unique<travin::BarrierApplication>(argc, argv);
        travin::TMainForm mainForm;
        mainForm.showCentred();
        return application->exec();
    } catch (const std::exception& error) {
        // An escaping exception is shown, and the program then ends normally.
        showException(application.get(), error.what());
    } catch (...) {
        showException(application.get(), "Unknown exception");
    }
    return 0;
}
