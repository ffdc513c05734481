// The table of command codes the workbench sends to the board: one place
// for each code, its name and the fixed payload text it carries.
//
//   command::<Name>    the code as an 8-bit constant (DownloadBlock .. GetVersion)
//   commandInfo(code)  the table row of a code, nullptr for an unknown one
//   commandName(code)  the name, "Unknown" for a code not in the table
//   fixedPayload(code) the fixed payload sent on the wire ("Stop Com", "Stat",
//                      ...): the source text cut to the payload's length;
//                      empty for commands whose payload is data or nothing
//   replyLengthFits(code, hasData, length)
//                      whether a reply of that form and data length is one
//                      the command can have: a command whose reply data has
//                      a fixed size takes exactly that many bytes, and never
//                      a reply without data
//
// The virtual board keeps its own table on purpose, so that a mistake here
// cannot hide in both ends.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace travin {

namespace command {
inline constexpr std::uint8_t DownloadBlock = 1;
inline constexpr std::uint8_t RunProgram = 2;
inline constexpr std::uint8_t StopProgram = 3;
inline constexpr std::uint8_t SetBreakpoints = 4;
inline constexpr std::uint8_t StepProgram = 6;
inline constexpr std::uint8_t ResetProgram = 7;
inline constexpr std::uint8_t GetStatus = 8;
inline constexpr std::uint8_t GetVariables = 9;
inline constexpr std::uint8_t SetVariable = 10;
inline constexpr std::uint8_t GetInputPrompt = 11;
inline constexpr std::uint8_t SendInput = 12;
inline constexpr std::uint8_t UploadBlock = 13;
inline constexpr std::uint8_t EraseProgram = 14;
inline constexpr std::uint8_t GetStartupTime = 15;
inline constexpr std::uint8_t SetStartupTime = 16;
inline constexpr std::uint8_t ChangeBaud = 17;
inline constexpr std::uint8_t SendCharacter = 18;
inline constexpr std::uint8_t SendAci = 19;
inline constexpr std::uint8_t GetVersion = 20;
}  // namespace command

struct CommandInfo {
    std::uint8_t code;
    std::string_view name;
    // The text a fixed payload is cut from ("Stop Command"), empty when the
    // payload is data or nothing.
    std::string_view payloadSource;
    // Bytes of payloadSource sent (8 for "Stop Command" -> "Stop Com").
    int payloadLength;
    // Bytes of reply data the command always gets, kAnyReplyLength when the
    // reply may carry any number of bytes or none (texts, plain replies).
    int replyLength;
};

inline constexpr int kAnyReplyLength = -1;

// Every code in ascending order; code 5 is not used and not listed.
std::span<const CommandInfo> commandTable();
const CommandInfo* commandInfo(std::uint8_t code);
std::string_view commandName(std::uint8_t code);
std::string_view fixedPayload(std::uint8_t code);
bool replyLengthFits(std::uint8_t code, bool hasData, int length);

// Payload bytes of a fixed payload, for SendCommand/ExchangeCommand.
inline const std::uint8_t* payloadBytes(std::string_view text) {
    return reinterpret_cast<const std::uint8_t*>(text.data());
}

}  // namespace travin
