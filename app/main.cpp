// The workbench's entry point: creates the five windows in their order and
// runs the event loop. It takes no command-line arguments.
#include <QApplication>
#include <QMessageBox>
#include <exception>

#include "app/TMainForm.h"

int main(int argc, char* argv[]) {
    try {
        QApplication application(argc, argv);
        travin::TMainForm mainForm;
        mainForm.showCentred();
        return application.exec();
    } catch (const std::exception& error) {
        // An escaping exception is shown, and the program then ends normally.
        QMessageBox::critical(nullptr, QString(), QString::fromLocal8Bit(error.what()));
    }
    return 0;
}
