// The debugger's answer to what the link reports: a stopped board refreshes
// the variables and redraws the listing's marks; an edited listing drops its
// breakpoints.
#pragma once

#include <functional>

#include "core/LinkEvents.h"
#include "debugger/DebuggerParts.h"

namespace travin {

class DebuggerEvents : public LinkEvents {
public:
    explicit DebuggerEvents(DebuggerParts& parts) : wb(parts) {}

    void BoardStopped() override;
    void ListingEdited() override;

    // Runs after every stop is shown (the status bar's note).
    std::function<void()> afterStop;

private:
    DebuggerParts& wb;
};

}  // namespace travin
