#include "workbench/SourceFiles.h"

#include "debugger/Breakpoints.h"
#include "core/Controls.h"
#include "link/Monitor.h"
#include "link/PortSelection.h"
#include "workbench/SourceEncoding.h"

namespace travin {

std::string fileNamePart(const std::string& path) {
#ifdef _WIN32
    const auto cut = path.find_last_of("\\/:");
#else
    const auto cut = path.find_last_of('/');
#endif
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

void SourceFiles::showFileName() {
    wb.screens.main.setStatusText(fileNamePart(wb.state.fileName));
}

bool SourceFiles::writeListing(const std::string& path) {
    const int outside = wb.screens.listing.firstLineOutsideCharacterSet();
    if (outside >= 0) {
        wb.screens.notices.showErrorBox("Cannot create file " + path + ". Line " + std::to_string(outside + 1) +
                                        " holds a character the board's single-byte text cannot hold.");
        return false;
    }
    if (writeSourceLines(path, wb.screens.listing.lines()).ok) return true;
    wb.screens.notices.showErrorBox("Cannot create file " + path + ".");
    return false;
}

void SourceFiles::FileNewExecute() {
    if (!wb.controls.RequireStopped("New")) return;
    if (!QuerySaveChanges()) return;
    // The monitor ticks inside the question box: the board may run now.
    if (!wb.controls.RequireStopped("New")) return;
    wb.screens.listing.clear();
    wb.state.fileName = kUntitledName;
    showFileName();
    wb.breakpoints.ClearBreakpoints();
    wb.screens.listing.setModified(false);
    wb.state.downloadNeeded = false;
    wb.state.unsavedChanges = false;
}

void SourceFiles::FileOpenExecute() {
    if (!wb.controls.RequireStopped("Open")) return;
    if (!QuerySaveChanges()) return;
    // The open dialog remembers its own last choice; nothing is preset.
    std::string path;
    if (!wb.screens.desktop.runOpenDialog(path)) return;
    // The monitor ticks inside the question box and the dialog.
    if (!wb.controls.RequireStopped("Open")) return;
    OpenFile(path);
}

void SourceFiles::OpenPathExecute(const std::string& path) {
    if (!wb.controls.RequireStopped("Open")) return;
    if (!QuerySaveChanges()) return;
    if (!wb.controls.RequireStopped("Open")) return;
    OpenFile(path);
}

void SourceFiles::OpenFile(const std::string& path) {
    // The whole file is read before the listing changes, so a file that
    // cannot be read leaves the old listing and its name together.
    std::vector<std::string> lines;
    const FileOutcome read = readSourceLines(path, lines);
    if (!read.ok) {
        wb.screens.notices.showErrorBox("Cannot open file " + path + "." +
                                        (read.detail.empty() ? "" : " " + read.detail));
        return;
    }
    if (!takeTextOf(path, lines)) return;
    ListingView& listing = wb.screens.listing;
    listing.setLines(lines);
    wb.state.fileName = path;
    showFileName();
    wb.breakpoints.ClearBreakpoints();
    listing.setModified(false);
    wb.state.downloadNeeded = true;
    wb.state.unsavedChanges = false;
    listing.setSelection(0, 0);
    listing.focus();
}

bool SourceFiles::takeTextOf(const std::string& path, std::vector<std::string>& lines) {
    const SourceCheck check = checkSource(lines);
    if (check.kind == SourceKind::Binary) {
        wb.screens.notices.showErrorBox("Cannot open file " + path + ". " + check.reason);
        return false;
    }
    if (check.kind == SourceKind::SingleByte) return true;
    const std::string question = "\"" + fileNamePart(path) + "\" holds UTF-8 text (" + check.example + " on line " +
                                 std::to_string(check.exampleLine) +
                                 ").\nRead it as UTF-8 and convert it to the board's single-byte text?\n"
                                 "No reads its bytes as they are.";
    switch (wb.screens.notices.askYesNoCancel("", question)) {
    case Answer::No:
        return true;
    case Answer::Cancel:
        return false;
    case Answer::Yes:
        break;
    }
    Utf8Conversion converted = convertFromUtf8(lines);
    if (!converted.outside.empty()) {
        // Never changed silently: the file stays unopened and the user
        // learns which characters stand in the way.
        constexpr std::size_t kNamed = 8;
        std::string named;
        for (std::size_t i = 0; i < converted.outside.size() && i < kNamed; ++i) {
            const auto& o = converted.outside[i];
            named += "\nLine " + std::to_string(o.line) + ": " + describeCharacter(o.character);
        }
        if (converted.outside.size() > kNamed)
            named += "\n(and " + std::to_string(converted.outside.size() - kNamed) + " more)";
        wb.screens.notices.showErrorBox("Cannot open file " + path +
                                        ". These characters are not characters of the board's text:" + named);
        return false;
    }
    lines = std::move(converted.lines);
    return true;
}

void SourceFiles::FileSaveExecute() {
    if (wb.state.fileName == kUntitledName) {
        FileSaveAsExecute();
        return;
    }
    if (!writeListing(wb.state.fileName)) return;
    wb.state.unsavedChanges = false;
}

void SourceFiles::FileSaveAsExecute() {
    // The dialog takes its starting folder from the preset path; for the
    // untitled name there is none and the system chooses.
    std::string path = wb.state.fileName;
    if (!wb.screens.desktop.runSaveDialog(path)) return;
    if (!writeListing(path)) return;
    wb.state.fileName = path;
    showFileName();
    wb.state.unsavedChanges = false;
}

void SourceFiles::FileExitExecute() {
    if (!wb.controls.RequireStopped("Exit")) return;
    wb.screens.desktop.closeMainWindow();
}

bool SourceFiles::FormCloseQuery() {
    const bool mayClose = QuerySaveChanges();
    wb.port.WritePortFile();
    return mayClose;
}

bool SourceFiles::QuerySaveChanges() {
    const std::string question =
        "Do you want to save the changes you made to \"" + fileNamePart(wb.state.fileName) + "\"";
    // An edit made since the last tick is taken in as the tick would.
    wb.monitor.noticeListingEdits();
    if (!wb.state.unsavedChanges) return true;
    switch (wb.screens.notices.askYesNoCancel("", question)) {
    case Answer::Yes:
        FileSaveExecute();
        return !wb.state.unsavedChanges;
    case Answer::No:
        return true;
    case Answer::Cancel:
        break;
    }
    return false;
}

}  // namespace travin
