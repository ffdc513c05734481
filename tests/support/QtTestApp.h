// The one QApplication a Qt test process needs, created on first use and
// kept until the process ends.
#pragma once

#include <QApplication>

namespace travin::testing {

inline QApplication& ensureQtApplication() {
    static int argc = 1;
    static char name[] = "travin-test";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
    return *qApp;
}

}  // namespace travin::testing
