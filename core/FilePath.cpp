#include "core/FilePath.h"

#if defined(_WIN32)
#include <cwchar>
#endif

namespace travin {

namespace fs = std::filesystem;

#if defined(_WIN32)

fs::path filePath(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string pathText(const fs::path& path) {
    const std::u8string text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}

std::FILE* openFile(const std::string& utf8, const char* mode) {
    // The mode is ASCII, so widening it byte by byte is exact.
    std::wstring wideMode;
    for (const char* c = mode; *c; ++c) wideMode.push_back(static_cast<wchar_t>(*c));
    return ::_wfopen(filePath(utf8).c_str(), wideMode.c_str());
}

#else

fs::path filePath(const std::string& utf8) { return fs::path(utf8); }

std::string pathText(const fs::path& path) { return path.generic_string(); }

std::FILE* openFile(const std::string& utf8, const char* mode) { return std::fopen(utf8.c_str(), mode); }

#endif

}  // namespace travin
