// Wire framing of the board's side of the link: byte values, the command
// table, the 8-bit checksum and the two reply layouts.
//
// Index:
//   kSync, kBusy                 handshake bytes
//   StatusBit                    bits of the reply status byte
//   Code, commandName()          the twenty command codes and their names
//   checksum()                   8-bit sum of a byte range
//   replyWithoutData()           S S
//   replyWithData()              S M data... checksum
//   Written independently of the workbench's link code on purpose: a framing
//   mistake made in one of them cannot hide in the other.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace vboard {

inline constexpr std::uint8_t kSync = 0xAA;   // offered by the workbench, echoed when ready
inline constexpr std::uint8_t kBusy = 0xAB;   // answered to a sync while the board is busy

namespace StatusBit {
inline constexpr std::uint8_t Data = 0x80;         // reply data follows
inline constexpr std::uint8_t BadChecksum = 0x40;  // command arrived with a bad checksum
inline constexpr std::uint8_t Running = 0x20;      // the user program runs
inline constexpr std::uint8_t WaitingInput = 0x10; // the program waits for an answer
// Bits 3..0 are the board's own. Bit 0 says the board refused the command
// (unknown code, or a payload it cannot use); the workbench ignores it.
inline constexpr std::uint8_t Refused = 0x01;
}  // namespace StatusBit

enum class Code : std::uint8_t {
    DownloadBlock = 1,
    RunProgram = 2,
    StopProgram = 3,
    SetBreakpoints = 4,
    StepProgram = 6,
    ResetProgram = 7,
    GetStatus = 8,
    GetVariables = 9,
    SetVariable = 10,
    GetInputPrompt = 11,
    SendInput = 12,
    UploadBlock = 13,
    EraseProgram = 14,
    GetStartupTime = 15,
    SetStartupTime = 16,
    ChangeBaud = 17,
    SendCharacter = 18,
    SendAci = 19,
    GetVersion = 20,
};

// The name of a command code ("DownloadBlock"), or "Unknown" for a code
// outside the table (0, 5, 21..255).
std::string_view commandName(std::uint8_t code);

// (sum of the bytes) mod 256, starting from `initial`.
std::uint8_t checksum(std::span<const std::uint8_t> bytes, std::uint8_t initial = 0);

// Reply without data: S, then S again as its check byte.
std::vector<std::uint8_t> replyWithoutData(std::uint8_t status);

// Reply with data: S (bit 7 forced on), M, the M data bytes, and the
// checksum S + M + data. Data longer than 255 bytes is cut to 255.
std::vector<std::uint8_t> replyWithData(std::uint8_t status, std::span<const std::uint8_t> data);

// Little-endian helpers for payloads and reply data.
std::uint16_t readU16(std::span<const std::uint8_t> bytes, std::size_t offset);
std::uint32_t readU32(std::span<const std::uint8_t> bytes, std::size_t offset);
void appendU16(std::vector<std::uint8_t>& out, std::uint16_t value);
void appendU32(std::vector<std::uint8_t>& out, std::uint32_t value);

}  // namespace vboard
