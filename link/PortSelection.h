// Choosing the COM port, and the port file next to the executable.
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
//                          skipped silently
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

    // The port file's full path: the executable's folder joined to "tnport".
    std::string portFilePath() const;
    static std::string portName(int port);

private:
    LinkParts& wb;
};

}  // namespace travin
