// Fuzz target: the text under the caret read as a call of a catalogue entry.
// Besides not crashing, a reading must stay inside the text and the
// catalogue.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "assistant/FuncAssistCatalogue.h"
#include "assistant/FuncAssistState.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    travin::FuncAssistState state;
    int index = -2;
    std::size_t length = 0;
    const bool fits = travin::ParseCallText(state, text, index, &length);
    if (length > text.size()) std::abort();
    if (index < -1 || index >= static_cast<int>(travin::FuncAssistEntryCount)) std::abort();
    if (fits && index < 0) std::abort();
    return 0;
}
