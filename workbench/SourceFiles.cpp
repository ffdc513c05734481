#include "workbench/SourceFiles.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "debugger/Breakpoints.h"
#include "core/Controls.h"
#include "link/PortSelection.h"

namespace travin {

std::string fileNamePart(const std::string& path) {
#ifdef _WIN32
    const auto cut = path.find_last_of("\\/:");
#else
    const auto cut = path.find_last_of('/');
#endif
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool readSourceFile(const std::string& path, std::vector<std::string>& lines) {
    // A folder opens as a stream but reads as nothing; it is no file.
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) return false;

    std::vector<std::string> read;
    std::string line;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
            read.push_back(std::move(line));
            line.clear();
        } else {
            line.push_back(c);
        }
    }
    // A file ending in a line end gives an empty last line, so the listing's
    // text ends in a line break as the file does and saves back the same.
    if (!bytes.empty()) read.push_back(std::move(line));
    lines = std::move(read);
    return true;
}

bool writeSourceFile(const std::string& path, const std::vector<std::string>& lines) {
    namespace fs = std::filesystem;
    std::error_code ec;
    // Through a symbolic link the file it names is replaced, not the link.
    std::string target = path;
    if (fs::is_symlink(path, ec)) {
        const auto resolved = fs::canonical(path, ec);
        if (!ec) target = resolved.string();
    }
    // Written beside the target, so the rename stays on one file system and
    // replaces the old file in one step: a failed write leaves it whole.
    const std::string temporary = target + ".saving~";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        for (const auto& line : lines) {
            out.write(line.data(), static_cast<std::streamsize>(line.size()));
            out.write("\r\n", 2);
        }
        out.flush();
        if (!out) {
            out.close();
            std::remove(temporary.c_str());
            return false;
        }
        out.close();
        if (!out) {
            std::remove(temporary.c_str());
            return false;
        }
    }
    // Keep the replaced file's permissions.
    const auto old = fs::status(target, ec);
    if (!ec && fs::exists(old)) fs::permissions(temporary, old.permissions(), ec);
    ec.clear();
    fs::rename(temporary, target, ec);
    if (ec) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

void SourceFiles::showFileName() {
    wb.screens.main.setStatusText(fileNamePart(wb.state.fileName));
}

bool SourceFiles::writeListing(const std::string& path) {
    if (writeSourceFile(path, wb.screens.listing.lines())) return true;
    wb.screens.notices.showErrorBox("Cannot create file " + path + ".");
    return false;
}

void SourceFiles::FileNewExecute() {
    if (!wb.controls.RequireStopped("New")) return;
    if (!QuerySaveChanges()) return;
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

    // The whole file is read before the listing changes, so a file that
    // cannot be read leaves the old listing and its name together.
    std::vector<std::string> lines;
    if (!readSourceFile(path, lines)) {
        wb.screens.notices.showErrorBox("Cannot open file " + path + ".");
        return;
    }
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
