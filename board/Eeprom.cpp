#include "board/Eeprom.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace vboard {

namespace {

std::runtime_error fileError(const std::string& what, const std::string& path) {
    return std::runtime_error(what + " " + path + ": " + std::strerror(errno));
}

bool writeAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

EepromImage::EepromImage(std::string path) : path_(std::move(path)), program_(kProgramAreaSize, 0) {
    startup_[0] = kFreshStartupSeconds;
}

std::string_view EepromImage::program() const {
    auto end = std::find(program_.begin(), program_.end(), std::uint8_t{0});
    return {reinterpret_cast<const char*>(program_.data()),
            static_cast<std::size_t>(end - program_.begin())};
}

std::int32_t EepromImage::storedValue(int index) const {
    return index >= 0 && index < kStoredValueCount ? values_[static_cast<std::size_t>(index)] : 0;
}

void EepromImage::setStoredValue(int index, std::int32_t v) {
    if (index >= 0 && index < kStoredValueCount) values_[static_cast<std::size_t>(index)] = v;
}

bool EepromImage::storeSource(std::string_view source) {
    std::vector<std::uint8_t> out;
    std::size_t start = 0;
    while (start < source.size()) {
        std::size_t lf = source.find('\n', start);
        std::size_t end = lf == std::string_view::npos ? source.size() : lf;
        std::string_view line = source.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        out.insert(out.end(), line.begin(), line.end());
        out.push_back('\r');
        out.push_back('\n');
        start = lf == std::string_view::npos ? source.size() : lf + 1;
    }
    if (out.size() + 1 > program_.size()) return false;
    std::fill(program_.begin(), program_.end(), std::uint8_t{0});
    std::copy(out.begin(), out.end(), program_.begin());
    return true;
}

void EepromImage::erase() { std::fill(program_.begin(), program_.end(), std::uint8_t{0}); }

std::string defaultImageName(int comNumber) { return "board-com" + std::to_string(comNumber) + ".eeprom"; }

bool adoptSharedImage(const std::string& folder, const std::string& imagePath) {
    namespace fs = std::filesystem;
    const fs::path shared = fs::path(folder) / kSharedImageName;
    std::error_code ec;
    if (fs::exists(imagePath, ec) || !fs::is_regular_file(shared, ec)) return false;
    if (fs::file_size(shared, ec) != static_cast<std::uintmax_t>(kImageSize) || ec) return false;
    // Copied under a name of its own and renamed: a board killed meanwhile
    // leaves no half image under the name the next start reads.
    const std::string partial = imagePath + ".adopting-" + std::to_string(::getpid());
    if (!fs::copy_file(shared, partial, fs::copy_options::overwrite_existing, ec) || ec) {
        fs::remove(partial, ec);
        throw std::runtime_error("cannot copy " + shared.string() + " to " + imagePath + ": " + ec.message());
    }
    fs::rename(partial, imagePath, ec);
    if (ec) {
        const std::string why = ec.message();
        fs::remove(partial, ec);
        throw std::runtime_error("cannot copy " + shared.string() + " to " + imagePath + ": " + why);
    }
    return true;
}

std::string deviceImageName(const std::string& devicePath) {
    std::string name = devicePath.substr(devicePath.find_last_of('/') + 1);
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != '.') c = '_';
    return "board-" + (name.empty() ? std::string("device") : name) + ".eeprom";
}

std::vector<std::uint8_t> EepromImage::serialize() const {
    std::vector<std::uint8_t> data;
    data.reserve(kImageSize);
    data.insert(data.end(), program_.begin(), program_.end());
    data.insert(data.end(), startup_.begin(), startup_.end());
    for (std::int32_t v : values_) {
        auto u = static_cast<std::uint32_t>(v);
        for (int i = 0; i < 4; ++i) data.push_back(static_cast<std::uint8_t>((u >> (8 * i)) & 0xFF));
    }
    return data;
}

void EepromImage::deserialize(const std::vector<std::uint8_t>& data) {
    std::copy_n(data.begin(), kProgramAreaSize, program_.begin());
    std::copy_n(data.begin() + kProgramAreaSize, kStartupBlockSize, startup_.begin());
    for (int i = 0; i < kStoredValueCount; ++i) {
        const auto* p = data.data() + kProgramAreaSize + kStartupBlockSize + 4 * i;
        values_[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(
            static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
            static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
    }
}

void EepromImage::revert() {
    if (onFile_.size() == static_cast<std::size_t>(kImageSize)) deserialize(onFile_);
}

void EepromImage::loadOrCreate() {
    int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT) throw fileError("cannot open EEPROM image", path_);
        save();
        return;
    }
    std::vector<std::uint8_t> data(kImageSize + 1);
    std::size_t got = 0;
    while (got < data.size()) {
        ssize_t n = ::read(fd, data.data() + got, data.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            throw fileError("cannot read EEPROM image", path_);
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (got != static_cast<std::size_t>(kImageSize))
        throw std::runtime_error("EEPROM image " + path_ + " has " + std::to_string(got) +
                                 " bytes, expected " + std::to_string(kImageSize));
    data.resize(kImageSize);
    deserialize(data);
    onFile_ = std::move(data);
}

void EepromImage::save() {
    std::vector<std::uint8_t> data = serialize();
    // A name of this process and this save alone: boards started together
    // on one folder, or two images saved at once, never share a temporary
    // file. O_EXCL passes over one a crashed board left behind.
    static std::atomic<unsigned> saves{0};
    std::string tmp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        tmp = path_ + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(saves++);
        fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) throw fileError("cannot create EEPROM image", tmp);
    // fsync before rename: otherwise a power loss could leave the new name
    // pointing at a file whose data never reached the disk.
    if (!writeAll(fd, data.data(), data.size()) || ::fsync(fd) != 0) {
        auto err = fileError("cannot write EEPROM image", tmp);
        ::close(fd);
        ::unlink(tmp.c_str());
        throw err;
    }
    ::close(fd);
    if (::rename(tmp.c_str(), path_.c_str()) != 0) {
        auto err = fileError("cannot replace EEPROM image", path_);
        ::unlink(tmp.c_str());
        throw err;
    }
    bytesWritten_ += data.size();
    onFile_ = std::move(data);
    // The rename lives in the folder; until the folder reaches the disk a
    // power loss could bring the old image back.
    const std::size_t slash = path_.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path_.substr(0, slash);
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0 || ::fsync(dirFd) != 0) {
        auto err = fileError("cannot sync the folder of EEPROM image", path_);
        if (dirFd >= 0) ::close(dirFd);
        throw err;
    }
    ::close(dirFd);
}

void EepromImage::commit() {
    if (onFile_.size() != static_cast<std::size_t>(kImageSize)) return save();
    const std::vector<std::uint8_t> data = serialize();
    // The units a change is written in; none crosses a 512-byte boundary.
    struct Unit {
        std::size_t offset, size;
    };
    std::vector<Unit> changed;
    auto look = [&](std::size_t offset, std::size_t size) {
        if (!std::equal(data.begin() + static_cast<std::ptrdiff_t>(offset),
                        data.begin() + static_cast<std::ptrdiff_t>(offset + size),
                        onFile_.begin() + static_cast<std::ptrdiff_t>(offset)))
            changed.push_back({offset, size});
    };
    for (int page = 0; page < kPageCount; ++page) look(static_cast<std::size_t>(page) * kPageSize, kPageSize);
    look(kProgramAreaSize, kStartupBlockSize);
    for (int i = 0; i < kStoredValueCount; ++i) look(kProgramAreaSize + kStartupBlockSize + 4 * static_cast<std::size_t>(i), 4);
    if (changed.empty()) return;

    int fd = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) return save();
    if (fd < 0) throw fileError("cannot open EEPROM image", path_);
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != kImageSize) {
        // Not the file last written: it is made whole again.
        ::close(fd);
        return save();
    }
    for (const Unit& u : changed) {
        ssize_t n;
        do {
            n = ::pwrite(fd, data.data() + u.offset, u.size, static_cast<off_t>(u.offset));
        } while (n < 0 && errno == EINTR);
        if (n != static_cast<ssize_t>(u.size)) {
            if (n >= 0) errno = EIO;
            auto err = fileError("cannot write EEPROM image", path_);
            ::close(fd);
            throw err;
        }
        bytesWritten_ += u.size;
        // What the file shows now, so that a later failure reverts to it.
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(u.offset), u.size,
                    onFile_.begin() + static_cast<std::ptrdiff_t>(u.offset));
    }
    if (::fdatasync(fd) != 0) {
        auto err = fileError("cannot write EEPROM image", path_);
        ::close(fd);
        throw err;
    }
    ::close(fd);
}

}  // namespace vboard
