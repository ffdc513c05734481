// A FakeBench whose executable folder is a fresh temporary folder, where
// the tests put the com<n> links and the port file, on a real-time clock.
#pragma once

#include <functional>
#include <string>

#include "ScriptedPeer.h"
#include "tests/support/FakeScreens.h"

namespace travin::testing {

struct LinkBench {
    TempFolder folder;
    FakeBench bench{folder.path};

    LinkBench() {
        bench.clock.realTime = true;
        wb().console.DebuggerClearWindowExecute();
    }
    Workbench& wb() { return *bench.wb; }
    WorkbenchState& state() { return bench.wb->state; }

    void ticks(int n) {
        for (int i = 0; i < n; ++i) wb().monitor.BackgroundProcessTimer();
    }
    // Ticks until `done` holds, at most `limit` ticks; the ticks it took, or
    // -1 when it never held.
    int ticksUntil(const std::function<bool()>& done, int limit) {
        for (int i = 1; i <= limit; ++i) {
            wb().monitor.BackgroundProcessTimer();
            if (done()) return i;
        }
        return -1;
    }
    // Opens COM<port> as the monitor's port tick would, past the counters.
    bool openNow(int port = 1) {
        state().selectedPort = port;
        state().portHandle = wb().serial.SioOpen("COM" + std::to_string(port), 19200);
        state().openPort = port;
        state().reopenRequested = false;
        return state().portHandle != kInvalidHandle;
    }
    std::string consoleText() const {
        std::string all;
        for (const auto& line : bench.wb->console.lines()) all += line + "\n";
        return all;
    }
};

}  // namespace travin::testing
