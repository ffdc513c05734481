// State shared by the whole assistant for the whole run, and the parsing of
// a call selected in the listing.
//
//   FuncAssistState   CallText, CallArgs, BitSyncEnabled
//   StoreCallArg      one trimmed argument into a CallArgs slot
//   ParseCallText     a selected text read as a call of a catalogue entry
//   TrimControls      strips codes 0-32 at both ends
#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace travin {

inline constexpr int kMaxCallArgs = 11;

struct FuncAssistState {
    // The call built by the last OK in the call editor; kept until the next.
    std::string CallText;
    // Arguments read by the parser, one per parameter position. Never
    // cleared between uses: a slot keeps its last value.
    std::array<std::string, kMaxCallArgs> CallArgs;
    // While false, clicks on the mode-bit boxes are ignored (they are being
    // set from the mode field).
    bool BitSyncEnabled = true;
};

std::string TrimControls(const std::string& text);

// Stores `arg`, trimmed of codes 0-32, in CallArgs slot k. Refused (false,
// nothing stored) when k is outside 0..10 or nothing is left after trimming.
bool StoreCallArg(FuncAssistState& state, int k, const std::string& arg);

// Reads `text` as a call of a catalogue entry.
// The text is lower-cased and trimmed; the first catalogue entry whose Name
// begins it is the recognised one (so shared names are the Orlen entry's),
// and `index` becomes its position; it is -1 when no name is recognised.
// Arguments are split at commas inside the outermost parentheses only and
// stored with StoreCallArg. Returns true when every argument was stored and
// their number equals the entry's parameter count.
//
// Parsing stops at the parenthesis that closes the call; text after it is
// not part of the call. `callLength`, when given, receives the length of
// the leading part of `text` that holds the call: all of `text` unless
// such trailing text follows. Empty parentheses fit an entry without
// parameters.
bool ParseCallText(FuncAssistState& state, const std::string& text, int& index,
                   std::size_t* callLength = nullptr);

}  // namespace travin
