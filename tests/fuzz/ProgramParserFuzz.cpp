// Fuzz target: the virtual board's reading of a stored program, and of one
// line on its own as an ACI command is read.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "board/interpreter/Program.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const vboard::Program program = vboard::parseProgram(bytes);
    if (program.size > bytes.size()) std::abort();
    const std::string_view first = bytes.substr(0, bytes.find('\r'));
    (void)vboard::parseStatementLine(first);
    return 0;
}
