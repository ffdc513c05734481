// Hands a document to the system's opener and learns whether it failed.
//
// On Linux and the BSDs the opener is a program (xdg-open) whose exit
// status tells: with no browser or viewer installed it starts, says "no
// method available" on its error output and exits with a failure, which
// the toolkit's own way of opening never reports. Elsewhere the toolkit's
// answer is all there is.
#pragma once

#include <QString>
#include <functional>
#include <memory>

class QObject;

namespace travin {

class DocumentOpener {
public:
    DocumentOpener();
    ~DocumentOpener();
    DocumentOpener(const DocumentOpener&) = delete;
    DocumentOpener& operator=(const DocumentOpener&) = delete;

    // The opener program; empty where the toolkit opens documents itself.
    // Tests put a fake one here.
    QString program;
    // How long a failure still counts. An opener that waits for its viewer
    // (some do) is then left to run: the viewer is up.
    int patienceMs = 5000;

    // Hands `path` over. False when the opener cannot start (or the toolkit
    // says it failed). `failed` runs later, from the event loop, when the
    // opener ends with a failure within patienceMs; never after this
    // object is gone.
    bool open(const QString& path, std::function<void()> failed);

private:
    // The context of every connection to a running opener, so none outlives
    // this object.
    std::unique_ptr<QObject> guard;
};

}  // namespace travin
