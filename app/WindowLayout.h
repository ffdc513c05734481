// The main window's size rule: always 800 wide, never below 662 high, and
// extra height given to the listing and the variables list while everything
// below them moves down by the same amount.
#pragma once

namespace travin {

inline constexpr int kDesignWidth = 800;
inline constexpr int kDesignHeight = 662;

// Heights and tops captured once the window has its design size.
struct SavedLayout {
    int listingHeight = 0;
    int inputOutputLabelTop = 0;
    int clearButtonTop = 0;
    int memoTop = 0;
    int variablesHeight = 0;
    int aciEditTop = 0;
    int sendAciButtonTop = 0;
    int statusBarTop = 0;
};

class WindowLayout {
public:
    void capture(const SavedLayout& layout) {
        saved = layout;
        ready = true;
    }
    bool isReady() const { return ready; }

    // Writes the limits (the maximum height is left as it is) and, once the
    // layout was captured and the window is at least its design height,
    // returns true with `out` holding the layout for `currentHeight`.
    bool FormConstrainedResize(int& minWidth, int& minHeight, int& maxWidth, int& maxHeight,
                               int currentHeight, SavedLayout& out) const {
        (void)maxHeight;
        minWidth = kDesignWidth;
        maxWidth = kDesignWidth;
        minHeight = kDesignHeight;
        if (!ready || currentHeight < kDesignHeight) return false;
        const int delta = currentHeight - kDesignHeight;
        out.listingHeight = saved.listingHeight + delta;
        out.variablesHeight = saved.variablesHeight + delta;
        out.inputOutputLabelTop = saved.inputOutputLabelTop + delta;
        out.clearButtonTop = saved.clearButtonTop + delta;
        out.memoTop = saved.memoTop + delta;
        out.aciEditTop = saved.aciEditTop + delta;
        out.sendAciButtonTop = saved.sendAciButtonTop + delta;
        out.statusBarTop = saved.statusBarTop + delta;
        return true;
    }

private:
    SavedLayout saved;
    bool ready = false;
};

}  // namespace travin
