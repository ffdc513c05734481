#include "link/CommandTable.h"

#include <array>

namespace travin {

namespace {

constexpr std::array<CommandInfo, 19> kCommands{{
    {command::DownloadBlock, "DownloadBlock", "", 0},
    {command::RunProgram, "RunProgram", "Run Command", 8},
    {command::StopProgram, "StopProgram", "Stop Command", 8},
    {command::SetBreakpoints, "SetBreakpoints", "", 0},
    {command::StepProgram, "StepProgram", "Step Command", 8},
    {command::ResetProgram, "ResetProgram", "Reset Command", 8},
    {command::GetStatus, "GetStatus", "Status Command", 4},
    {command::GetVariables, "GetVariables", "get var", 4},
    {command::SetVariable, "SetVariable", "", 0},
    {command::GetInputPrompt, "GetInputPrompt", "", 0},
    {command::SendInput, "SendInput", "", 0},
    {command::UploadBlock, "UploadBlock", "", 0},
    {command::EraseProgram, "EraseProgram", "", 0},
    {command::GetStartupTime, "GetStartupTime", "", 0},
    {command::SetStartupTime, "SetStartupTime", "", 0},
    {command::ChangeBaud, "ChangeBaud", "", 0},
    {command::SendCharacter, "SendCharacter", "", 0},
    {command::SendAci, "SendAci", "", 0},
    {command::GetVersion, "GetVersion", "", 0},
}};

// Every cut must stay inside its source text.
constexpr bool cutsFit() {
    for (const auto& c : kCommands) {
        if (c.payloadLength > static_cast<int>(c.payloadSource.size())) return false;
    }
    return true;
}
static_assert(cutsFit(), "a fixed payload is longer than the text it is cut from");

}  // namespace

std::span<const CommandInfo> commandTable() { return kCommands; }

const CommandInfo* commandInfo(std::uint8_t code) {
    for (const auto& c : kCommands) {
        if (c.code == code) return &c;
    }
    return nullptr;
}

std::string_view commandName(std::uint8_t code) {
    const CommandInfo* info = commandInfo(code);
    return info ? info->name : std::string_view("Unknown");
}

std::string_view fixedPayload(std::uint8_t code) {
    const CommandInfo* info = commandInfo(code);
    if (!info) return {};
    return info->payloadSource.substr(0, static_cast<std::size_t>(info->payloadLength));
}

}  // namespace travin
