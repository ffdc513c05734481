#include "app/HandlerBarrier.h"

#include <QMessageBox>
#include <exception>

namespace travin {

namespace {

std::function<void(const QString&)>& faultBox() {
    static std::function<void(const QString&)> box;
    return box;
}

void showFault(const char* what) {
    const QString text = QStringLiteral("The operation stopped: %1\nThe listing is kept as it was.")
                             .arg(QString::fromLocal8Bit(what));
    if (faultBox()) {
        faultBox()(text);
        return;
    }
    QMessageBox::critical(nullptr, QApplication::applicationName(), text);
}

// Runs `body`, turning an exception into the error box.
template <typename Body>
bool withBarrier(Body&& body) {
    try {
        body();
        return true;
    } catch (const std::exception& error) {
        showFault(error.what());
    } catch (...) {
        showFault("unknown exception");
    }
    return false;
}

}  // namespace

bool callHandler(const std::function<void()>& handler) {
    return withBarrier([&] { handler(); });
}

void setHandlerFaultBox(std::function<void(const QString& text)> box) { faultBox() = std::move(box); }

bool BarrierApplication::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    withBarrier([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

}  // namespace travin
