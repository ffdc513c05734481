// The exception barrier of the Qt layer.
//
// An exception that leaves a handler must not reach the toolkit's event
// loop, which would end the program without its close query and lose the
// listing. Every call from the windows into the core goes through
// callHandler, which stops the exception there and shows it in an error
// box; the window and its text stay as they are. The application's own
// event dispatch (BarrierApplication) catches what escapes elsewhere, the
// same way, so no future fault of this kind loses work.
#pragma once

#include <QApplication>
#include <functional>

namespace travin {

// Runs `handler`; an exception ends it with the error box instead of
// leaving. True when the handler ran to its end.
bool callHandler(const std::function<void()>& handler);

// Wraps a handler so that each call goes through callHandler.
inline std::function<void()> guarded(std::function<void()> handler) {
    return [handler = std::move(handler)] { callHandler(handler); };
}

// Shows what stopped a handler. Tests replace it to read the text.
void setHandlerFaultBox(std::function<void(const QString& text)> box);

class BarrierApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace travin
