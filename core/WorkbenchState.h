// The shared state of the workbench: one set of variables, read and written
// on the user-interface thread only. Each subsystem gives them meaning; here
// they only get their initial values.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace travin {

inline constexpr int kInvalidHandle = -1;
inline constexpr std::uint16_t kEmptySlot = 0xFFFF;
inline constexpr int kBreakpointSlots = 3;
inline constexpr int kVariableCount = 26;

struct WorkbenchState {
    // Port and target.
    int portHandle = kInvalidHandle;
    bool reopenRequested = true;
    int selectedPort = 1;
    int openPort = 1;
    // The open port was opened by its device path, not a COM name (the
    // command-line client): there is no COM name for it to follow.
    bool openedByPath = false;
    bool detected = false;
    bool running = false;
    bool inputRequested = false;

    // Monitor counters: a step with period p runs on a tick whose counter,
    // before its increment, is a multiple of p. The monitor keeps each
    // within 1..p, so they never overflow.
    int portTickCount = 1;
    int probeTickCount = 1;
    int statusTickCount = 1;

    // What the user sends (input answers, ACI lines) is echoed in the
    // console; a terminal shows what was typed already.
    bool echoSentText = false;

    // Listing and file.
    bool downloadNeeded = true;
    bool unsavedChanges = false;
    std::string fileName = "Untitled.txt";

    // Breakpoints hold zero-based listing line numbers, kEmptySlot when empty.
    std::array<std::uint16_t, kBreakpointSlots> breakpoints{kEmptySlot, kEmptySlot, kEmptySlot};
    int executingPosition = 0;
    std::array<std::int32_t, kVariableCount> variableValues{};

    // Stores filled by the reply handling.
    std::vector<std::uint8_t> uploadStream;
    bool uploadEnd = false;
    std::array<std::uint8_t, 24> startupBlock{};
    std::array<char, 16> versionText{};    // last byte always zero
    std::array<char, 12> inputAnswer{};    // at most 11 characters, zero-padded
};

}  // namespace travin
