#include "board/ExecutorFactory.h"

#include "board/SimpleExecutor.h"

namespace vboard {

std::unique_ptr<Executor> makeExecutor() { return std::make_unique<SimpleExecutor>(); }

}  // namespace vboard
