#include "board/ExecutorFactory.h"

#include <stdexcept>

#include "board/interpreter/TravinInterpreter.h"

namespace vboard {

std::unique_ptr<Executor> makeExecutor(const std::string& rig) {
    if (rig.empty()) return std::make_unique<TravinInterpreter>(defaultRig());
    std::string error;
    const auto parsed = parseRig(rig, &error);
    if (!parsed) throw std::invalid_argument(error);
    return std::make_unique<TravinInterpreter>(*parsed);
}

}  // namespace vboard
