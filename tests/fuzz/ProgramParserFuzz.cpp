// Fuzz target: the language library's reading of a program (as the virtual
// board reads a stored one and the listing checks it), and of one line on its
// own as an ACI command is read.
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "lang/Program.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const travin::lang::Program program = travin::lang::parseProgram(bytes);
    if (program.size > bytes.size()) std::abort();
    // Every problem stands on a line of the program, and the first is the error.
    for (const auto& d : program.diagnostics)
        if (d.line < 1 || static_cast<std::size_t>(d.line) > program.lines.size() || d.column < 1) std::abort();
    if (program.error.has_value() != !program.diagnostics.empty()) std::abort();
    // What the listing and `check` show: the same errors, in line order, and
    // warnings only on lines the board takes.
    const std::vector<travin::lang::Diagnostic> shown = travin::lang::checkProgram(bytes);
    std::size_t errors = 0;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const auto& d = shown[i];
        if (i > 0 && d.line < shown[i - 1].line) std::abort();
        if (d.line < 1 || static_cast<std::size_t>(d.line) > program.lines.size() || d.column < 1) std::abort();
        if (!d.warning && !(errors < program.diagnostics.size() && program.diagnostics[errors++] == d)) std::abort();
    }
    if (errors != program.diagnostics.size()) std::abort();
    const std::string_view first = bytes.substr(0, bytes.find('\r'));
    (void)travin::lang::parseStatementLine(first);
    return 0;
}
