// Which buttons and menu entries are usable, by target state, and the two
// checks a command handler makes before it talks to the board.
#pragma once

#include <string>

#include "core/ScreenInterfaces.h"
#include "core/WorkbenchState.h"

namespace travin {

enum class TargetState { NotDetected, Running, Stopped };

class Controls {
public:
    Controls(WorkbenchState& sharedState, Screens& screenSet) : state(sharedState), screens(screenSet) {}

    // True when the board is detected; otherwise the "not detected" notice.
    bool RequireDetected();
    // True when the program is not running; otherwise the must-stop notice.
    bool RequireStopped(const std::string& operation);
    // Every managed control off, while a long operation runs.
    void DisableControls();
    // Managed controls by target state.
    void UpdateControls();

    // The enabled state of a managed control in a target state.
    static bool enabledIn(Control control, TargetState state);
    TargetState targetState() const;

private:
    WorkbenchState& state;
    Screens& screens;
};

}  // namespace travin
