#include "core/Controls.h"

#include <array>
#include <cstdio>


namespace travin {

namespace {

struct ControlRule {
    Control control;
    bool notDetected;
    bool running;
    bool stopped;
};

// Not detected / detected and running / detected and stopped.
constexpr std::array<ControlRule, kControlCount> kRules{{
    {Control::RunButton, false, false, true},
    {Control::SingleStepButton, false, false, true},
    {Control::StopButton, false, true, false},
    {Control::ResetButton, false, false, true},
    {Control::BreakButton, false, false, true},
    {Control::EraseButton, false, false, true},
    {Control::SelectPortButton, true, false, true},
    {Control::SendCharacterButton, false, true, false},
    {Control::NewMenu, true, false, true},
    {Control::OpenMenu, true, false, true},
    {Control::ExitMenu, true, false, true},
    {Control::SelectPortMenu, true, false, true},
    {Control::DownloadMenu, false, false, true},
    {Control::RunMenu, false, false, true},
    {Control::SingleStepMenu, false, false, true},
    {Control::StopMenu, false, true, false},
    {Control::SetBreakMenu, false, false, true},
    {Control::ResetMenu, false, false, true},
    {Control::SetVariableMenu, false, false, true},
    {Control::UploadMenu, false, false, true},
    {Control::EraseMemoryMenu, false, false, true},
    {Control::StartupTimeMenu, false, false, true},
    {Control::SendCharacterMenu, false, true, false},
}};

}  // namespace

bool Controls::RequireDetected() {
    if (state.detected) return true;
    screens.notices.ShowNotice("Travin not Detected (command not sent)");
    return false;
}

bool Controls::RequireStopped(const std::string& operation) {
    if (!state.running) return true;
    screens.notices.ShowNotice("Must Stop Travin Before Sending " + operation);
    return false;
}

void Controls::DisableControls() {
    for (const auto& rule : kRules) screens.main.setControlEnabled(rule.control, false);
}

TargetState Controls::targetState() const {
    // While the board is not detected, running does not matter.
    if (!state.detected) return TargetState::NotDetected;
    return state.running ? TargetState::Running : TargetState::Stopped;
}

bool Controls::enabledIn(Control control, TargetState state) {
    for (const auto& rule : kRules) {
        if (rule.control != control) continue;
        switch (state) {
        case TargetState::NotDetected: return rule.notDetected;
        case TargetState::Running: return rule.running;
        case TargetState::Stopped: return rule.stopped;
        }
    }
    return false;
}

void Controls::UpdateControls() {
    const TargetState state = targetState();
    for (const auto& rule : kRules) {
        screens.main.setControlEnabled(rule.control, enabledIn(rule.control, state));
    }
}

}  // namespace travin
