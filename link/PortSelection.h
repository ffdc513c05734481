// Choosing the COM port, and the port file in the configuration folder
// (next to the executable in a self-contained folder).
//
//   SelectPortButtonClick  refused while the program runs ("Select Port");
//                          otherwise the menu's flow with the timer off,
//                          then the listing gets the focus
//   SelectPortMenuClick    the modal dialog preset to selectedPort, then the
//                          port label and a reopen request (the monitor opens
//                          or switches the port on its next port tick)
//   Button1Click           the dialog's OK: selectedPort = item + 1
//   ReadPortFile           "tnport": one digit "1".."8" selects that port
//                          (and counts as the open one); anything else, or
//                          no file, leaves COM1; bytes after the first ignored
//   WritePortFile          writes the digit of openPort, the port last opened
//                          successfully; a file that cannot be written is
//                          skipped silently in a self-contained folder, and
//                          reported once by a notice when installed (the
//                          per-user folder is created first)
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include "link/LinkParts.h"

namespace travin {


class PortSelection {
public:
    explicit PortSelection(LinkParts& parts) : wb(parts) {}

    void SelectPortButtonClick();
    void SelectPortMenuClick();
    void Button1Click(int item);
    void ReadPortFile();
    void WritePortFile();

    // The port file's full path: the configuration folder joined to "tnport".
    std::string portFilePath() const;
    static std::string portName(int port);

private:
    void reportUnwritable(const std::string& reason);

    LinkParts& wb;
    bool unwritableReported = false;
};

}  // namespace travin
