// The background monitor: port, detection, console bytes, status poll.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace travin {

class Workbench;

class Monitor {
public:
    explicit Monitor(Workbench& workbench) : wb(workbench) {}

    void BackgroundProcessTimer();
    bool ChangeBaudRate(int baud);

private:
    Workbench& wb;
};

}  // namespace travin
