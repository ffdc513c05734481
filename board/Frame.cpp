#include "board/Frame.h"

#include <array>

namespace vboard {

std::string_view commandName(std::uint8_t code) {
    static constexpr std::array<std::string_view, 21> names = {
        "Unknown",        "DownloadBlock",  "RunProgram",     "StopProgram",
        "SetBreakpoints", "Unknown",        "StepProgram",    "ResetProgram",
        "GetStatus",      "GetVariables",   "SetVariable",    "GetInputPrompt",
        "SendInput",      "UploadBlock",    "EraseProgram",   "GetStartupTime",
        "SetStartupTime", "ChangeBaud",     "SendCharacter",  "SendAci",
        "GetVersion",
    };
    return code < names.size() ? names[code] : "Unknown";
}

std::uint8_t checksum(std::span<const std::uint8_t> bytes, std::uint8_t initial) {
    unsigned sum = initial;
    for (std::uint8_t b : bytes) sum += b;
    return static_cast<std::uint8_t>(sum & 0xFF);
}

std::vector<std::uint8_t> replyWithoutData(std::uint8_t status) {
    status = static_cast<std::uint8_t>(status & ~StatusBit::Data);
    return {status, status};
}

std::vector<std::uint8_t> replyWithData(std::uint8_t status, std::span<const std::uint8_t> data) {
    if (data.size() > 255) data = data.first(255);
    status |= StatusBit::Data;
    const auto m = static_cast<std::uint8_t>(data.size());
    std::vector<std::uint8_t> out;
    out.reserve(data.size() + 3);
    out.push_back(status);
    out.push_back(m);
    out.insert(out.end(), data.begin(), data.end());
    out.push_back(checksum(data, static_cast<std::uint8_t>(status + m)));
    return out;
}

std::uint16_t readU16(std::span<const std::uint8_t> b, std::size_t o) {
    return static_cast<std::uint16_t>(b[o] | (b[o + 1] << 8));
}

std::uint32_t readU32(std::span<const std::uint8_t> b, std::size_t o) {
    return static_cast<std::uint32_t>(b[o]) | (static_cast<std::uint32_t>(b[o + 1]) << 8) |
           (static_cast<std::uint32_t>(b[o + 2]) << 16) | (static_cast<std::uint32_t>(b[o + 3]) << 24);
}

void appendU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void appendU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
}

}  // namespace vboard
