// The workbench's clock: milliseconds of the steady clock (never jumps with
// the wall clock, so exchange budgets stay honest) and a real sleep.
#pragma once

#include <chrono>
#include <thread>

#include "core/ScreenInterfaces.h"

namespace travin {

class SystemClock : public Clock {
public:
    std::int64_t nowMs() override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    void sleepMs(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

}  // namespace travin
