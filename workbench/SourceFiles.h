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
    // Writes the listing; the error box when that fails, or when a line
    // holds a character the single-byte set cannot hold.
    bool writeListing(const std::string& path);

    DebuggerParts& wb;
};

}  // namespace travin
