#include "workbench/CommandHistory.h"

namespace travin {

void CommandHistory::add(const std::string& command) {
    if (!command.empty() && (entries.empty() || entries.back() != command)) {
        entries.push_back(command);
        if (entries.size() > capacity) entries.erase(entries.begin());
    }
    walk = entries.size();
    draft.clear();
}

bool CommandHistory::older(const std::string& typing, std::string& line) {
    if (walk == 0) return false;
    if (walk == entries.size()) draft = typing;
    line = entries[--walk];
    return true;
}

bool CommandHistory::newer(std::string& line) {
    if (walk >= entries.size()) return false;
    ++walk;
    line = walk == entries.size() ? draft : entries[walk];
    return true;
}

}  // namespace travin
