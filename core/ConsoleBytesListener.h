// Someone besides the Input-Output pane who reads what the board prints.
//
// The console hands each listener the bytes the board sent since the last
// hand-over, once per monitor tick (and before anything that lets the screen
// repaint), in the order they came. The workbench's own console lines
// ("Downloading....Done") are not among them. A listener only reads: it
// cannot change the pane nor talk to the board.
#pragma once

#include <cstdint>
#include <string_view>

namespace travin {

class ConsoleBytesListener {
public:
    virtual ~ConsoleBytesListener() = default;
    // `bytes` is never empty; it is valid only during the call.
    virtual void consoleBytesReceived(std::string_view bytes) = 0;
    // The same with the wall-clock time (milliseconds since the epoch) the
    // first of these bytes was read: the time the pane shows for the lines
    // they begin. By default the time is not wanted.
    virtual void consoleBytesReceivedAt(std::string_view bytes, std::int64_t wallMs) {
        (void)wallMs;
        consoleBytesReceived(bytes);
    }
};

}  // namespace travin
