// The file of `-o`: written only when the whole result is there, to a
// temporary beside the target that replaces it in one rename, so that a
// failure leaves the old file as it was and never an empty or partial one.
// A symbolic link is written through to the file it names (also when that
// file does not exist yet), as the workbench's Save does.
#pragma once

#include <string>

namespace travin::cli {

// The file a path finally names, following symbolic links (relative ones
// from their own folder); the path itself when it is no link.
std::string resolvedOutputPath(const std::string& path);

// Why `path` cannot be written, checked before any board is asked: its
// folder does not exist, or it is a folder. Empty when it looks writable.
std::string outputFileProblem(const std::string& path);

// Writes `bytes` as the file's whole content; empty on success, else the
// reason (strerror's words) with the step that failed.
std::string writeOutputFile(const std::string& path, const std::string& bytes);

}  // namespace travin::cli
