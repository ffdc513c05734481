#include "link/CommandLink.h"

#include "app/Workbench.h"

namespace travin {

// Staged: filled in by its own issue.
void CommandLink::SendCommand(std::uint8_t /*code*/, const std::uint8_t* /*payload*/, int /*length*/) {
}

void CommandLink::ExchangeCommand(std::uint8_t /*code*/, const std::uint8_t* /*payload*/, int /*length*/) {
}

bool CommandLink::ReadReplyByte(std::int64_t /*start*/, std::uint8_t& /*byte*/) {
    return false;
}

void CommandLink::LinkFailure(const std::string& /*reason*/) {
}

void CommandLink::StoreReplyData(std::uint8_t /*code*/, const std::uint8_t* /*data*/, int /*length*/) {
}

void CommandLink::ShowRunning() {
}

void CommandLink::ShowStopped() {
}

}  // namespace travin
