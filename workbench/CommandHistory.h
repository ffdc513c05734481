// The ACI line's history: the last commands sent, walked with Up and Down
// as a shell does. Walking down past the newest gives back the line the
// user was typing.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace travin {

class CommandHistory {
public:
    explicit CommandHistory(std::size_t capacity = 20) : capacity(capacity) {}

    // A command sent: it becomes the newest (a repeat of the newest is kept
    // once), and the walk starts again below it.
    void add(const std::string& command);
    // One step back (older) or forward (newer) from where the walk is;
    // `typing` is the line as it stands, kept when the walk starts. False
    // when there is nothing further that way (the line stays).
    bool older(const std::string& typing, std::string& line);
    bool newer(std::string& line);

    const std::vector<std::string>& commands() const { return entries; }

private:
    std::size_t capacity;
    std::vector<std::string> entries;   // oldest first
    std::size_t walk = 0;               // == entries.size(): not walking
    std::string draft;
};

}  // namespace travin
