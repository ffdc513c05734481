#include "link/Monitor.h"

#include "app/Workbench.h"

namespace travin {

// Staged: filled in by its own issue.
void Monitor::BackgroundProcessTimer() {
}

bool Monitor::ChangeBaudRate(int /*baud*/) {
    return false;
}

}  // namespace travin
