// What the link reports upward without knowing who listens: the layer above
// (the debugger's marks and variables) implements it, so the link never
// calls into the code built on it.
#pragma once

namespace travin {

class LinkEvents {
public:
    virtual ~LinkEvents() = default;
    // The board has stopped: refresh the variables, reset the listing's
    // colours, paint the breakpoints and mark the executing line.
    virtual void BoardStopped() = 0;
    // The listing was edited since the last tick: its breakpoints no longer
    // name the lines they were set on.
    virtual void ListingEdited() = 0;
};

}  // namespace travin
