// Command codes used by program control. Interim: these move to the link's
// command table once it exists, and this header then only forwards to it.
#pragma once

#include <cstdint>

namespace travin::cmd {

inline constexpr std::uint8_t kDownloadBlock = 1;
inline constexpr std::uint8_t kRunProgram = 2;
inline constexpr std::uint8_t kStopProgram = 3;
inline constexpr std::uint8_t kSetBreakpoints = 4;
inline constexpr std::uint8_t kStepProgram = 6;
inline constexpr std::uint8_t kResetProgram = 7;
inline constexpr std::uint8_t kGetVariables = 9;
inline constexpr std::uint8_t kSetVariable = 10;
inline constexpr std::uint8_t kUploadBlock = 13;
inline constexpr std::uint8_t kEraseProgram = 14;
inline constexpr std::uint8_t kGetStartupTime = 15;
inline constexpr std::uint8_t kSetStartupTime = 16;
inline constexpr std::uint8_t kSendCharacter = 18;
inline constexpr std::uint8_t kSendAci = 19;

}  // namespace travin::cmd
