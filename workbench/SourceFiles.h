// New, Open, Save, Save As, Exit and the close query: the listing tied to a
// file on disk, its name in the status bar and the unsaved-changes flag.
//
// Source files are single-byte text: every byte is kept as it is, lines are
// written with CR LF, and LF, CR LF or CR all end a line when reading
// (core/SourceFileIo.h).
#pragma once

#include <string>
#include <vector>

#include "core/SourceFileIo.h"
#include "debugger/DebuggerParts.h"

namespace travin {


// The name the listing carries while it belongs to no file. The untitled
// test compares with exactly this text, so a real file of that name opened
// from a folder (a full path) is titled.
inline constexpr const char* kUntitledName = "Untitled.txt";

// The file part of a path: what follows the last folder separator (on
// Windows also a drive colon).
std::string fileNamePart(const std::string& path);

class SourceFiles {
public:
    explicit SourceFiles(DebuggerParts& parts) : wb(parts) {}

    void FileNewExecute();
    void FileOpenExecute();
    // Open for a path already known (File > Open Recent): Open's own steps,
    // the running check and the unsaved-changes question included, without
    // its dialog.
    void OpenPathExecute(const std::string& path);
    // Open's steps after its dialog: reads `path` into the listing, or shows
    // Open's error box and leaves the listing as it was.
    void OpenFile(const std::string& path);
    void FileSaveExecute();
    void FileSaveAsExecute();
    // Asks the main window to close unless the program runs.
    void FileExitExecute();
    // The main window's close query: true when the window may close. Writes
    // the port file whatever the answer.
    bool FormCloseQuery();
    // Asks about unsaved changes: true lets the caller go on (nothing to
    // save, declined, or saved), false makes it stop. An edit the monitor
    // tick has not seen yet counts too.
    bool QuerySaveChanges();

private:
    void showFileName();
    // Checks what a file read holds: a binary file is refused with the
    // error box, a UTF-8 one converted when the user wants (`lines` then
    // single-byte text). False when the file is not to be opened.
    bool takeTextOf(const std::string& path, std::vector<std::string>& lines);
    // Writes the listing; the error box when that fails, or when a line
    // holds a character the single-byte set cannot hold.
    bool writeListing(const std::string& path);

    DebuggerParts& wb;
};

}  // namespace travin
