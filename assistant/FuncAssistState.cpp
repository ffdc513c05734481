#include "assistant/FuncAssistState.h"

#include "assistant/FuncAssistCatalogue.h"
#include "core/SingleByteText.h"

#include <cstring>

namespace travin {
namespace {

bool IsControlOrBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

}  // namespace

std::string TrimControls(const std::string& text)
{
    std::size_t first = 0, last = text.size();
    while (first < last && IsControlOrBlank(text[first])) ++first;
    while (last > first && IsControlOrBlank(text[last - 1])) --last;
    return text.substr(first, last - first);
}

bool StoreCallArg(FuncAssistState& state, int k, const std::string& arg)
{
    if (k < 0 || k >= kMaxCallArgs)
        return false;
    std::string trimmed = TrimControls(arg);
    if (trimmed.empty())
        return false;
    state.CallArgs[static_cast<std::size_t>(k)] = std::move(trimmed);
    return true;
}

bool ParseCallText(FuncAssistState& state, const std::string& text, int& index,
                   std::size_t* callLength)
{
    index = -1;
    if (callLength) *callLength = text.size();
    if (text.empty())
        return false;

    const std::string lowered = lowerSingleByte(text);
    std::size_t lead = 0;
    while (lead < lowered.size() && IsControlOrBlank(lowered[lead])) ++lead;
    const std::string t = TrimControls(lowered);

    const FuncAssistEntry* entry = nullptr;
    for (int i = 0; FuncAssistCatalogue[i].Name[0] != '\0'; ++i) {
        // A prefix match: the name need not be followed by a separator.
        if (t.compare(0, std::strlen(FuncAssistCatalogue[i].Name), FuncAssistCatalogue[i].Name) == 0) {
            entry = &FuncAssistCatalogue[i];
            index = i;
            break;
        }
    }
    if (!entry)
        return false;

    // p is the last separator: normally the opening parenthesis, though
    // nothing requires it to be; each argument starts after it.
    std::size_t c = std::strlen(entry->Name);
    while (c < t.size() && (t[c] == ' ' || t[c] == '\t')) ++c;
    std::size_t p = c;

    int opened = 0, closed = 0, k = 0;
    bool refused = false;
    std::size_t end = t.size();   // one past the call's last character
    for (; c < t.size(); ++c) {
        if (t[c] == '(') {
            ++opened;
        } else if (t[c] == ')') {
            ++closed;
            if (opened > 0 && opened == closed) {
                // The call is closed; anything after it is the user's own
                // text, which the replacement keeps.
                end = c + 1;
                break;
            }
        } else if (t[c] == ',' && opened == closed + 1 && !refused) {
            // A refused argument fails the parse, but the scan goes on to
            // the closing parenthesis so that text after the call is known
            // and kept on the mismatch path as well.
            if (!StoreCallArg(state, k, t.substr(p + 1, c - p - 1)))
                refused = true;
            ++k;
            p = c;
        }
    }
    if (callLength && end < t.size())
        *callLength = lead + end;
    if (refused || opened != closed)
        return false;

    const int needed = ParamCount(entry->Params);
    // The last character of the call is taken as its closing parenthesis.
    const std::size_t lastFrom = p + 1;
    const std::size_t lastTo = end - 1;
    const std::string last = lastFrom < lastTo ? t.substr(lastFrom, lastTo - lastFrom) : std::string();
    if (needed == 0 && k == 0 && opened == 1 && t[p] == '(' && TrimControls(last).empty())
        return true;   // name() for an entry without parameters
    if (!StoreCallArg(state, k, last))
        return false;
    ++k;
    return k == needed;
}

}  // namespace travin
