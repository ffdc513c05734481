// The one place that decides which Executor the board runs programs with.
// Everything in the board that needs an executor calls makeExecutor().
#pragma once

#include "board/Executor.h"

#include <memory>
#include <string>

namespace vboard {

// A new executor holding no program: the Travin interpreter on a module
// network described by `rig` ("1=orlen,2=daska,3=membo"; empty for the
// default rig). Throws std::invalid_argument with the reason for a rig
// description it cannot read.
std::unique_ptr<Executor> makeExecutor(const std::string& rig = {});

}  // namespace vboard
