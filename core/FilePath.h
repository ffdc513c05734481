// Paths travel through the programs as UTF-8 text in std::string (the file
// dialogs, the command line, the located folders all hand over UTF-8). These
// turn that text into a std::filesystem::path and back, and open a file by
// it, so that a folder whose name is not ASCII works on every platform: on
// POSIX the bytes are the name as they stand; on Windows a narrow string
// would be read in the ANSI code page, so the text goes through char8_t and
// the wide calls instead.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

namespace travin {

std::filesystem::path filePath(const std::string& utf8);

// The path as UTF-8 text with forward slashes.
std::string pathText(const std::filesystem::path& path);

// std::fopen by a UTF-8 path; nullptr with errno set when it fails.
std::FILE* openFile(const std::string& utf8, const char* mode);

}  // namespace travin
