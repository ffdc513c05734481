// The console's lines, with a note of what changed since they were last
// handed to the pane, so that a tick's worth of bytes reaches the pane as
// one change of its last lines instead of all of its text.
//
// It offers the few list operations the console's byte rules use; every
// mutable access to a line marks it changed, whatever the rule does with it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
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
    // The arrival time of the last line (0: nothing arrived in it yet).
    std::int64_t backTime() const { return times_.back(); }
    void setBackTime(std::int64_t wallMs) {
        kept_ = std::min(kept_, lines_.size() - 1);
        times_.back() = wallMs;
    }
    template <typename... Args>
    void emplace_back(Args&&... args) {
        lines_.emplace_back(std::forward<Args>(args)...);
        times_.push_back(0);
    }
    void pop_front() {
        lines_.pop_front();
        times_.pop_front();
        ++droppedSinceClear_;
        // A line the pane has goes; when the pane's lines are all replaced
        // anyway, what it drops does not matter.
        if (kept_ > 0) {
            --kept_;
            ++dropped_;
        }
    }
    void clear() {
        lines_.clear();
        times_.clear();
        droppedSinceClear_ = 0;
        whole_ = true;
    }
    template <typename Iterator>
    void assign(Iterator first, Iterator last) {
        lines_.assign(first, last);
        times_.assign(lines_.size(), 0);
        whole_ = true;
    }
    // The lines' times anew, one for each line.
    template <typename Times>
    void assignTimes(const Times& times) {
        times_.assign(times.begin(), times.end());
        times_.resize(lines_.size(), 0);
        whole_ = true;
    }
    // Every line with its time, for a pane given all of them.
    ConsoleLinesChange whole() const {
        ConsoleLinesChange all;
        all.tail.assign(lines_.begin(), lines_.end());
        all.tailTimes.assign(times_.begin(), times_.end());
        all.droppedSinceClear = droppedSinceClear_;
        return all;
    }
    std::uint64_t droppedSinceClear() const { return droppedSinceClear_; }

    // True when the pane must be given every line (nothing it has is known).
    bool wholeChanged() const { return whole_; }
    // What changed since the last take; the pane has the lines from now on.
    ConsoleLinesChange takeChange() {
        ConsoleLinesChange change;
        change.dropped = dropped_;
        change.kept = kept_;
        change.tail.assign(lines_.begin() + static_cast<std::ptrdiff_t>(kept_), lines_.end());
        change.tailTimes.assign(times_.begin() + static_cast<std::ptrdiff_t>(kept_), times_.end());
        change.droppedSinceClear = droppedSinceClear_;
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
    std::deque<std::int64_t> times_;  // one per line
    std::uint64_t droppedSinceClear_ = 0;
    std::size_t dropped_ = 0;  // lines the pane has that went from the front
    std::size_t kept_ = 0;     // then lines the pane has unchanged
    bool whole_ = true;
};

}  // namespace travin
