// The console's lines, with a note of what changed since they were last
// handed to the pane, so that a tick's worth of bytes reaches the pane as
// one change of its last lines instead of all of its text.
//
// It offers the few list operations the console's byte rules use; every
// mutable access to a line marks it changed, whatever the rule does with it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <deque>
#include <string>
#include <utility>

#include "core/ScreenInterfaces.h"

namespace travin {

class ConsoleLines {
public:
    bool empty() const { return lines_.empty(); }
    std::size_t size() const { return lines_.size(); }
    const std::deque<std::string>& all() const { return lines_; }

    std::string& back() {
        kept_ = std::min(kept_, lines_.size() - 1);
        return lines_.back();
    }
    template <typename... Args>
    void emplace_back(Args&&... args) {
        lines_.emplace_back(std::forward<Args>(args)...);
    }
    void pop_front() {
        lines_.pop_front();
        // A line the pane has goes; when the pane's lines are all replaced
        // anyway, what it drops does not matter.
        if (kept_ > 0) {
            --kept_;
            ++dropped_;
        }
    }
    void clear() {
        lines_.clear();
        whole_ = true;
    }
    template <typename Iterator>
    void assign(Iterator first, Iterator last) {
        lines_.assign(first, last);
        whole_ = true;
    }

    // True when the pane must be given every line (nothing it has is known).
    bool wholeChanged() const { return whole_; }
    // What changed since the last take; the pane has the lines from now on.
    ConsoleLinesChange takeChange() {
        ConsoleLinesChange change;
        change.dropped = dropped_;
        change.kept = kept_;
        change.tail.assign(lines_.begin() + static_cast<std::ptrdiff_t>(kept_), lines_.end());
        handedOver();
        return change;
    }
    void handedOver() {
        dropped_ = 0;
        kept_ = lines_.size();
        whole_ = false;
    }

private:
    std::deque<std::string> lines_;
    std::size_t dropped_ = 0;  // lines the pane has that went from the front
    std::size_t kept_ = 0;     // then lines the pane has unchanged
    bool whole_ = true;
};

}  // namespace travin
