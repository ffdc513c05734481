// The monitor's 100 ms timer over a QTimer.
//
// Single-shot: setTimerEnabled(true) (re)starts the 100 ms interval, so the
// next tick comes 100 ms after the previous one switched the timer on at its
// end; a fired timer counts as off until someone switches it on again. The
// timeout calls Monitor::BackgroundProcessTimer, which itself refuses to run
// inside another tick or an exchange (a modal box's nested event loop).
#pragma once

#include <QObject>
#include <QTimer>

#include "core/ScreenInterfaces.h"

namespace travin {

class Workbench;

class MonitorTimerQt : public QObject, public MonitorTimer {
    Q_OBJECT
public:
    explicit MonitorTimerQt(QObject* parent);

    void bind(Workbench& workbench);

    void setTimerEnabled(bool enabled) override;
    bool timerEnabled() const override;

    static constexpr int kIntervalMs = 100;

private:
    void fired();

    QTimer timer;
    Workbench* wb = nullptr;
};

}  // namespace travin
