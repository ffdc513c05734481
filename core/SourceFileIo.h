// Reading and writing a source file as lines of single-byte text.
//
// Reading never blocks and never throws: only a regular file up to
// kMaxSourceFileBytes is read; a pipe, a device, a folder or a read error
// is a failure at once. Writing is careful with the user's file: a file the
// user may not write is refused and left alone; otherwise the text goes to a
// fresh temporary beside it (a name no other file has), reaches the disk
// and replaces the old file in one rename, carrying its permissions, owner
// and extended attributes. Where no new file can be made beside it (the
// folder is not writable) or the file has further hard links that a rename
// would cut off, the file is written in place instead.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace travin {

// No listing is near this size; a larger file is refused before it is read.
inline constexpr std::int64_t kMaxSourceFileBytes = 64ll * 1024 * 1024;

struct FileOutcome {
    bool ok = false;
    // Why it failed, as a sentence for the error box; empty when the plain
    // error says enough.
    std::string detail;
};

// Reads the whole file into lines, as ListingView::setLines takes them: a
// file that ends in a line end has an empty last line; LF, CR LF or CR end a
// line. On failure `lines` is untouched.
FileOutcome readSourceLines(const std::string& path, std::vector<std::string>& lines);

// Writes the lines, each ended by CR LF. On failure the file that was at
// `path` is as it was (written in place, as whole as the disk allowed).
FileOutcome writeSourceLines(const std::string& path, const std::vector<std::string>& lines);

// The same, answering only whether it worked.
bool readSourceFile(const std::string& path, std::vector<std::string>& lines);
bool writeSourceFile(const std::string& path, const std::vector<std::string>& lines);

}  // namespace travin
