#include "core/SourceFileIo.h"

#include "core/FilePath.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

namespace travin {

namespace {

std::vector<std::string> splitLines(const std::string& bytes) {
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
    return read;
}

std::string joinLines(const std::vector<std::string>& lines) {
    std::string bytes;
    std::size_t size = 0;
    for (const auto& line : lines) size += line.size() + 2;
    bytes.reserve(size);
    for (const auto& line : lines) {
        bytes += line;
        bytes += "\r\n";
    }
    return bytes;
}

}  // namespace

#ifndef _WIN32

namespace {

// Closes a descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Closes now, reporting whether the close (the last chance for a
    // deferred write error) worked.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string folderOf(const std::string& path) {
    const auto cut = path.find_last_of('/');
    if (cut == std::string::npos) return ".";
    return cut == 0 ? "/" : path.substr(0, cut);
}

// Through symbolic links the file they name is written, not the link.
std::string resolveLinks(const std::string& path) {
    char resolved[PATH_MAX];
    struct stat link{};
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode) && ::realpath(path.c_str(), resolved))
        return resolved;
    return path;
}

// Whether the user may change the file. The super-user passes every
// permission check, but a file its owner marked read-only (no write bit at
// all) stays read-only for a careful editor, whoever runs it.
bool userMayWrite(const std::string& path, const struct stat& info) {
    if (::access(path.c_str(), W_OK) != 0) return false;
    return ::geteuid() != 0 || (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

void copyExtendedAttributes(const std::string& from, int to) {
    const ssize_t size = ::listxattr(from.c_str(), nullptr, 0);
    if (size <= 0) return;
    std::string names(static_cast<std::size_t>(size), '\0');
    const ssize_t got = ::listxattr(from.c_str(), names.data(), names.size());
    if (got <= 0) return;
    names.resize(static_cast<std::size_t>(got));
    for (std::size_t at = 0; at < names.size();) {
        const char* name = names.c_str() + at;
        at += std::char_traits<char>::length(name) + 1;
        const ssize_t length = ::getxattr(from.c_str(), name, nullptr, 0);
        if (length < 0) continue;
        std::string value(static_cast<std::size_t>(length), '\0');
        const ssize_t read = ::getxattr(from.c_str(), name, value.data(), value.size());
        // What the user may not set (another user's security labels) stays
        // behind; the text matters more than a label.
        if (read >= 0) ::fsetxattr(to, name, value.data(), static_cast<std::size_t>(read), 0);
    }
}

// A new file beside `target` under a name no file has: created exclusively,
// tried again under another name while one exists. -1 when the folder
// takes no new file; `name` then says nothing.
int createTemporaryBeside(const std::string& target, std::string& name) {
    static std::atomic<unsigned> counter{0};
    const auto slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    const auto stamp = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = folder + "." + base + "." + std::to_string(::getpid()) + "-" +
               std::to_string((stamp + counter++) % 1000000007ull) + ".saving";
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return fd;
        if (errno != EEXIST) return -1;
    }
    return -1;
}

FileOutcome writeInPlace(const std::string& target, const std::string& bytes) {
    Descriptor fd(::open(target.c_str(), O_WRONLY | O_CLOEXEC));
    if (fd.get() < 0) return {};
    // Room first, so a full disk fails before the old text is overwritten.
    if (!bytes.empty() && ::posix_fallocate(fd.get(), 0, static_cast<off_t>(bytes.size())) != 0) return {};
    if (!writeAll(fd.get(), bytes)) return {};
    if (::ftruncate(fd.get(), static_cast<off_t>(bytes.size())) != 0) return {};
    if (::fsync(fd.get()) != 0) return {};
    return {fd.close(), {}};
}

}  // namespace

FileOutcome readSourceLines(const std::string& path, std::vector<std::string>& lines) {
    // Non-blocking, so that opening a named pipe does not wait for a writer.
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) return {};
    struct stat info{};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return {};
    if (info.st_size > kMaxSourceFileBytes) {
        return {false, "It holds " + std::to_string(info.st_size) + " bytes, more than the " +
                           std::to_string(kMaxSourceFileBytes) + " a listing may have."};
    }
    // A file may grow while it is read (or claim no size, as some system
    // files do); the bound holds for what is read, too.
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return {};
        if (n == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(n));
        if (static_cast<std::int64_t>(bytes.size()) > kMaxSourceFileBytes) {
            return {false, "It holds more than the " + std::to_string(kMaxSourceFileBytes) +
                               " bytes a listing may have."};
        }
    }
    lines = splitLines(bytes);
    return {true, {}};
}

FileOutcome writeSourceLines(const std::string& path, const std::vector<std::string>& lines) {
    const std::string target = resolveLinks(path);
    const std::string bytes = joinLines(lines);

    struct stat old{};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists) {
        if (!S_ISREG(old.st_mode)) return {};
        if (!userMayWrite(target, old)) return {};
        // A rename would leave the other names with the old text.
        if (old.st_nlink > 1) return writeInPlace(target, bytes);
    }

    std::string temporary;
    Descriptor fd(createTemporaryBeside(target, temporary));
    if (fd.get() < 0) {
        // The folder takes no new file, but the file itself may be written.
        if (exists && (errno == EACCES || errno == EPERM || errno == EROFS)) return writeInPlace(target, bytes);
        return {};
    }
    const auto fail = [&] {
        ::unlink(temporary.c_str());
        return FileOutcome{};
    };
    if (!writeAll(fd.get(), bytes)) return fail();
    if (exists) {
        // The owner only where the user may give it; the group and the
        // permissions then follow as far as they may.
        if (::fchown(fd.get(), old.st_uid, old.st_gid) != 0) (void)!::fchown(fd.get(), static_cast<uid_t>(-1), old.st_gid);
        if (::fchmod(fd.get(), old.st_mode & 07777) != 0) return fail();
        copyExtendedAttributes(target, fd.get());
    }
    // The text is on the disk before it takes the old file's place, so a
    // crash leaves one or the other, never an empty file.
    if (::fsync(fd.get()) != 0) return fail();
    if (!fd.close()) return fail();
    if (::rename(temporary.c_str(), target.c_str()) != 0) return fail();
    Descriptor folder(::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0) ::fsync(folder.get());
    return {true, {}};
}

#else  // _WIN32

// The same rules with the standard library alone, where the POSIX calls
// are missing: only regular files up to the bound are read; a file without
// write permission is refused; the text goes to a fresh temporary beside
// the target and replaces it, or into the file itself where no temporary
// can be made.
namespace {

std::string readBounded(std::ifstream& in, bool& tooLarge) {
    std::string bytes;
    char buffer[65536];
    tooLarge = false;
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (static_cast<std::int64_t>(bytes.size()) > kMaxSourceFileBytes) {
            tooLarge = true;
            break;
        }
    }
    return bytes;
}

bool writeFile(const std::filesystem::path& path, const std::string& bytes, std::ios::openmode mode) {
    std::ofstream out(path, mode);
    if (!out) return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    const bool written = static_cast<bool>(out);
    out.close();
    return written && static_cast<bool>(out);
}

}  // namespace

FileOutcome readSourceLines(const std::string& text, std::vector<std::string>& lines) {
    namespace fs = std::filesystem;
    const fs::path path = filePath(text);
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return {};
    const auto size = fs::file_size(path, ec);
    if (ec) return {};
    if (static_cast<std::int64_t>(size) > kMaxSourceFileBytes) {
        return {false, "It holds " + std::to_string(size) + " bytes, more than the " +
                           std::to_string(kMaxSourceFileBytes) + " a listing may have."};
    }
    try {
        std::ifstream in(path, std::ios::binary);
        if (!in) return {};
        bool tooLarge = false;
        const std::string bytes = readBounded(in, tooLarge);
        if (in.bad()) return {};
        if (tooLarge) {
            return {false, "It holds more than the " + std::to_string(kMaxSourceFileBytes) +
                               " bytes a listing may have."};
        }
        lines = splitLines(bytes);
        return {true, {}};
    } catch (const std::exception&) {
        return {};
    }
}

FileOutcome writeSourceLines(const std::string& text, const std::vector<std::string>& lines) {
    namespace fs = std::filesystem;
    const fs::path path = filePath(text);
    std::error_code ec;
    const std::string bytes = joinLines(lines);
    const fs::path target = fs::is_symlink(path, ec) ? fs::canonical(path, ec) : path;
    const auto old = fs::status(target, ec);
    const bool exists = !ec && fs::exists(old);
    if (exists) {
        if (!fs::is_regular_file(old)) return {};
        if ((old.permissions() & fs::perms::owner_write) == fs::perms::none) return {};
    }
    static std::atomic<unsigned> counter{0};
    const auto stamp = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    fs::path temporary;
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path name = target;
        name += "." + std::to_string((stamp + counter++) % 1000000007ull) + ".saving";
        if (!fs::exists(name, ec)) {
            temporary = name;
            break;
        }
    }
    if (temporary.empty() || !writeFile(temporary, bytes, std::ios::binary | std::ios::trunc)) {
        fs::remove(temporary, ec);
        if (exists && writeFile(target, bytes, std::ios::binary | std::ios::trunc)) return {true, {}};
        return {};
    }
    if (exists) fs::permissions(temporary, old.permissions(), ec);
    fs::rename(temporary, target, ec);
    if (ec) {
        fs::remove(temporary, ec);
        return {};
    }
    return {true, {}};
}

#endif  // _WIN32

bool readSourceFile(const std::string& path, std::vector<std::string>& lines) {
    return readSourceLines(path, lines).ok;
}

bool writeSourceFile(const std::string& path, const std::vector<std::string>& lines) {
    return writeSourceLines(path, lines).ok;
}

}  // namespace travin
