#include "board/ExecutorFactory.h"

#include "board/interpreter/TravinInterpreter.h"

namespace vboard {

std::unique_ptr<Executor> makeExecutor() { return std::make_unique<TravinInterpreter>(defaultRig()); }

}  // namespace vboard
