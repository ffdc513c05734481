// Fuzz target: what a network serial server sends, read by the Telnet
// decoder. Besides not crashing: the data never holds more bytes than came,
// the reading does not depend on where the reads were cut, each command's
// place lies within the data, every negotiation gets at most one answer of
// three bytes, and the board's bytes escaped and read back are themselves.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "link/TelnetCodec.h"

using namespace travin::telnet;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte says where the second read starts.
    const std::size_t cut = size > 1 ? data[0] % size : 0;
    const std::uint8_t* wire = data + 1;
    const std::size_t length = size - 1;

    TelnetDecoder whole;
    Bytes wholeData;
    std::vector<Command> wholeCommands;
    whole.feed(wire, length, wholeData, wholeCommands);
    if (wholeData.size() > length) std::abort();

    TelnetDecoder split;
    Bytes splitData;
    std::vector<Command> splitCommands;
    const std::size_t first = cut < length ? cut : length;
    split.feed(wire, first, splitData, splitCommands);
    split.feed(wire + first, length - first, splitData, splitCommands);
    if (splitData != wholeData || splitCommands != wholeCommands) std::abort();

    TelnetOptions options;
    (void)options.opening();
    for (const Command& c : wholeCommands) {
        if (c.at > wholeData.size()) std::abort();
        if (c.body.size() > TelnetDecoder::kMaxBody) std::abort();
        if (c.kind != Command::Kind::Negotiation) continue;
        const Bytes answer = options.answer(c.verb, c.option);
        if (!answer.empty() && (answer.size() != 3 || answer[0] != IAC || answer[2] != c.option)) std::abort();
    }

    const Bytes escaped = escapeData(wire, length);
    TelnetDecoder back;
    Bytes backData;
    std::vector<Command> backCommands;
    back.feed(escaped.data(), escaped.size(), backData, backCommands);
    if (!backCommands.empty() || backData != Bytes(wire, wire + length)) std::abort();
    return 0;
}
