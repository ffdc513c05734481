#include "link/CommandTable.h"

#include <array>

namespace travin {

namespace {

constexpr std::array<CommandInfo, 19> kCommands{{
    {command::DownloadBlock, "DownloadBlock", "", 0, kAnyReplyLength},
    {command::RunProgram, "RunProgram", "Run Command", 8, kAnyReplyLength},
    {command::StopProgram, "StopProgram", "Stop Command", 8, kAnyReplyLength},
    {command::SetBreakpoints, "SetBreakpoints", "", 0, kAnyReplyLength},
    {command::StepProgram, "StepProgram", "Step Command", 8, kAnyReplyLength},
    {command::ResetProgram, "ResetProgram", "Reset Command", 8, kAnyReplyLength},
    {command::GetStatus, "GetStatus", "Status Command", 4, kAnyReplyLength},
    {command::GetVariables, "GetVariables", "get var", 4, 106},
    {command::SetVariable, "SetVariable", "", 0, kAnyReplyLength},
    {command::GetInputPrompt, "GetInputPrompt", "", 0, kAnyReplyLength},
    {command::SendInput, "SendInput", "", 0, kAnyReplyLength},
    {command::UploadBlock, "UploadBlock", "", 0, 130},
    {command::EraseProgram, "EraseProgram", "", 0, kAnyReplyLength},
    {command::GetStartupTime, "GetStartupTime", "", 0, 24},
    {command::SetStartupTime, "SetStartupTime", "", 0, kAnyReplyLength},
    {command::ChangeBaud, "ChangeBaud", "", 0, kAnyReplyLength},
    {command::SendCharacter, "SendCharacter", "", 0, kAnyReplyLength},
    {command::SendAci, "SendAci", "", 0, kAnyReplyLength},
    {command::GetVersion, "GetVersion", "", 0, kAnyReplyLength},
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

bool replyLengthFits(std::uint8_t code, bool hasData, int length) {
    const CommandInfo* info = commandInfo(code);
    if (!info || info->replyLength == kAnyReplyLength) return true;
    return hasData && length == info->replyLength;
}

std::string_view fixedPayload(std::uint8_t code) {
    const CommandInfo* info = commandInfo(code);
    if (!info) return {};
    return info->payloadSource.substr(0, static_cast<std::size_t>(info->payloadLength));
}

}  // namespace travin
