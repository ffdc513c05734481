// One framed exchange with the board and the link failure path.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace travin {

class Workbench;

class CommandLink {
public:
    explicit CommandLink(Workbench& workbench) : wb(workbench) {}

    void SendCommand(std::uint8_t code, const std::uint8_t* payload, int length);
    void ExchangeCommand(std::uint8_t code, const std::uint8_t* payload, int length);
    bool ReadReplyByte(std::int64_t start, std::uint8_t& byte);
    void LinkFailure(const std::string& reason);
    void StoreReplyData(std::uint8_t code, const std::uint8_t* data, int length);
    void ShowRunning();
    void ShowStopped();

private:
    Workbench& wb;
};

}  // namespace travin
