#include "app/MonitorTimerQt.h"

#include "app/HandlerBarrier.h"
#include "workbench/Workbench.h"

namespace travin {

MonitorTimerQt::MonitorTimerQt(QObject* parent) : QObject(parent) {
    timer.setSingleShot(true);
    timer.setInterval(kIntervalMs);
    // Precise: the 100 ms period is what the monitor's counters are built on.
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, [this] { fired(); });
}

void MonitorTimerQt::bind(Workbench& workbench) { wb = &workbench; }

void MonitorTimerQt::setTimerEnabled(bool enabled) {
    if (enabled) {
        timer.start();
    } else {
        timer.stop();
    }
}

bool MonitorTimerQt::timerEnabled() const { return timer.isActive(); }

void MonitorTimerQt::fired() {
    if (wb) callHandler([this] { wb->monitor.BackgroundProcessTimer(); });
}

}  // namespace travin
