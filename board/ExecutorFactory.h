// The one place that decides which Executor the board runs programs with.
// Everything in the board that needs an executor calls makeExecutor().
#pragma once

#include "board/Executor.h"

#include <memory>

namespace vboard {

// A new executor holding no program. For now the interim SimpleExecutor.
std::unique_ptr<Executor> makeExecutor();

}  // namespace vboard
