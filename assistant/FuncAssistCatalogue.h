// The board's built-in functions and subroutines, as one constant table.
//
// FuncAssistCatalogue holds the 44 entries in a fixed order followed by a
// sentinel whose Name is "". An entry's position (0 to 43) is its identity:
// the menu window's labels carry it and the call parser reports it.
//   0- 8 General Purpose functions    9-12 General Purpose subroutines
//  13-18 Orlen functions             19-25 Orlen subroutines
//  26-29 Daska functions             30-36 Daska subroutines
//  37-39 Membo functions             40-43 Membo subroutines
// Seven names occur under Orlen and Daska; the Orlen entry comes first, and
// the parser's first-match rule relies on that.
//
// Flags: bit 7 (0x80) function, bit 6 (0x40) subroutine; bits 0-3 the group
// (0x01 General Purpose, 0x02 Orlen, 0x04 Daska, 0x08 Membo).
// Bits: nullptr, or the eight texts of the second parameter's bits (the mode
// byte), bit 0 first, followed by nullptr.
// Params: never nullptr; the list ends with a pair whose Default is "", and
// nobody reads past the eleventh pair.
// ReturnText: "" for every subroutine.
#pragma once

namespace travin {
struct FuncAssistParam { const char* Default; const char* Description; };
struct FuncAssistEntry {
    const char* Name; int Flags; const char* const* Bits;   // Bits: nullptr or 8 texts then nullptr
    const FuncAssistParam* Params;                         // ends with a pair whose Default is "" (not needed after 11)
    const char* Description; const char* ReturnText;
};
inline constexpr int FuncAssistEntryCount = 44;
extern const FuncAssistEntry FuncAssistCatalogue[FuncAssistEntryCount + 1];  // + sentinel with Name ""

// "General Purpose", "Orlen", "Daska" or "Membo" for the group bits 0-3 of
// the low byte of flags; "Unknown" when none or more than one is set.
const char* GroupCaption(int flags);

// Pairs from the start whose Default is non-empty, at most 11.
int ParamCount(const FuncAssistParam* params);
}
