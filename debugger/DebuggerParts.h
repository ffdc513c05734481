// The collaborators of the debugger's objects: everything the link's objects
// reach, and the debugger's own objects, which use each other.
#pragma once

#include "link/LinkParts.h"

namespace travin {

class Download;
class Execution;
class Breakpoints;
class Variables;
class MemoryOps;
class ConsoleInput;

struct DebuggerParts : LinkParts {
    Download& download;
    Execution& execution;
    Breakpoints& breakpoints;
    Variables& variables;
    MemoryOps& memory;
    ConsoleInput& input;
};

}  // namespace travin
