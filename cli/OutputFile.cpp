#include "cli/OutputFile.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "cli/TerminalDevice.h"
#include "core/FilePath.h"

namespace travin::cli {

namespace fs = std::filesystem;

namespace {

// More links than this in a chain is a loop.
constexpr int kMostLinks = 40;

std::string reason(const std::string& what, int error) { return what + ": " + std::strerror(error); }

}  // namespace

std::string resolvedOutputPath(const std::string& text) {
    fs::path path = filePath(text);
    std::error_code ec;
    for (int hop = 0; hop < kMostLinks && fs::is_symlink(fs::symlink_status(path, ec)); ++hop) {
        const fs::path target = fs::read_symlink(path, ec);
        if (ec) break;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return pathText(path);
}

std::string outputFileProblem(const std::string& text) {
    const fs::path path = filePath(resolvedOutputPath(text));
    std::error_code ec;
    if (fs::is_directory(path, ec)) return "cannot write " + text + ": it is a folder";
    fs::path folder = path.parent_path();
    if (folder.empty()) folder = ".";
    if (!fs::is_directory(folder, ec)) return "cannot write " + text + ": no folder " + pathText(folder);
    return {};
}

std::string writeOutputFile(const std::string& text, const std::string& bytes) {
    const fs::path target = filePath(resolvedOutputPath(text));
    std::error_code ec;
    const auto old = fs::status(target, ec);
    const bool exists = !ec && fs::exists(old);
    // A fresh name beside the target, so the rename stays on one disk.
    fs::path temporary;
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (int attempt = 0; attempt < 100 && temporary.empty(); ++attempt) {
        fs::path name = target;
        name += ".travin-cli." + std::to_string((stamp + attempt) % 1000000007) + ".tmp";
        if (!fs::exists(fs::symlink_status(name, ec))) temporary = name;
    }
    if (temporary.empty()) return "cannot write " + text + ": no free temporary name";

    std::FILE* file = openFile(pathText(temporary), "wb");
    if (!file) return "cannot write " + text + ": " + std::strerror(errno);
    int error = 0;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) error = errno;
    if (error == 0 && std::fflush(file) != 0) error = errno;
    if (error == 0 && !device::syncFile(file)) error = errno;
    if (std::fclose(file) != 0 && error == 0) error = errno;
    if (error == 0 && exists) fs::permissions(temporary, old.permissions(), ec);
    if (error != 0) {
        fs::remove(temporary, ec);
        return reason("cannot write " + text, error);
    }
    fs::rename(temporary, target, ec);
    if (ec) {
        const std::string why = ec.message();
        fs::remove(temporary, ec);
        return "cannot write " + text + ": " + why;
    }
    return {};
}

}  // namespace travin::cli
