// The board's EEPROM, kept in one image file.
//
// Image file layout (little-endian, exactly kImageSize bytes, no header):
//   [0, 29696)        program area: 232 pages of 128 bytes; the program is
//                     the bytes up to the first zero byte
//   [29696, 29720)    start-up block, 24 bytes; byte 0 = start-up time in s
//   [29720, 30720)    250 stored signed 32-bit values
// A fresh image holds zeros everywhere (no program) except start-up byte 0,
// which is 3.
//
// Two ways to write it, both leaving a whole image whenever the board dies:
//   save()    the whole image: a temporary file of a name no other writer
//             picks, fsynced, renamed over the image, then the folder
//             fsynced so that the rename itself lasts. For changes of many
//             pages at once (erase, a stored source, a new image).
//   commit()  only what changed since the file was last read or written,
//             in place: each changed unit (a 128-byte page, the start-up
//             block, one stored value) in one write, then one fdatasync.
//             No unit crosses a 512-byte boundary of the file, so neither a
//             killed process nor a lost sector write can leave half a unit.
//             A download writes its pages this way.
// After a failed write, revert() puts memory back to what the file holds.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vboard {

inline constexpr int kPageSize = 128;
inline constexpr int kPageCount = 232;
inline constexpr int kProgramAreaSize = kPageSize * kPageCount;  // 29696
inline constexpr int kStartupBlockSize = 24;
inline constexpr int kStoredValueCount = 250;
inline constexpr int kImageSize = kProgramAreaSize + kStartupBlockSize + 4 * kStoredValueCount;
inline constexpr std::uint8_t kFreshStartupSeconds = 3;

// The image a board on COM<comNumber> keeps by default: one per COM number,
// so that boards side by side keep their own programs.
std::string defaultImageName(int comNumber);
// The image a board serving an existing device keeps by default, named
// after the device ("/dev/ttyUSB1" -> "board-ttyUSB1.eeprom").
std::string deviceImageName(const std::string& devicePath);

// The one image earlier versions kept for boards on every COM number.
inline constexpr const char* kSharedImageName = "board.eeprom";
// When `imagePath` does not exist yet and `folder` holds the shared image of
// earlier versions, copies it to `imagePath`: the program stored there stays
// with each board that had it. The old file is left as it is. Returns true
// when it copied; false when there was nothing to take (or the old file is
// no image); throws std::runtime_error when the copy failed.
bool adoptSharedImage(const std::string& folder, const std::string& imagePath);

class EepromImage {
public:
    // A fresh image bound to `path` (nothing is read or written yet).
    explicit EepromImage(std::string path);

    // Reads the image at path(); when the file does not exist, keeps the
    // fresh image and writes it. Throws std::runtime_error with a readable
    // message when the file cannot be read or has the wrong size.
    void loadOrCreate();
    // Writes the whole image atomically. Throws std::runtime_error on failure.
    void save();
    // Writes the changed units in place (a missing file or one of another
    // size is written whole by save()). Throws std::runtime_error on failure.
    void commit();
    // Memory back to the image as last read or written.
    void revert();
    // Bytes written to the file so far, whole images included.
    std::uint64_t bytesWritten() const { return bytesWritten_; }

    const std::string& path() const { return path_; }

    std::vector<std::uint8_t>& programArea() { return program_; }
    const std::vector<std::uint8_t>& programArea() const { return program_; }
    // The stored program: the program area up to its first zero byte.
    std::string_view program() const;
    std::array<std::uint8_t, kStartupBlockSize>& startupBlock() { return startup_; }
    const std::array<std::uint8_t, kStartupBlockSize>& startupBlock() const { return startup_; }
    std::int32_t storedValue(int index) const;       // 0 outside 0..249
    void setStoredValue(int index, std::int32_t v);  // ignored outside 0..249; does not save

    // Stores Travin source text as the download does: each line (split at
    // LF, a CR before it dropped) followed by CR LF, then a zero byte; the
    // rest of the area is zeroed. Returns false (area unchanged) when it
    // does not fit.
    bool storeSource(std::string_view source);

    void erase();  // zero the program area

private:
    std::vector<std::uint8_t> serialize() const;
    void deserialize(const std::vector<std::uint8_t>& data);

    std::string path_;
    std::vector<std::uint8_t> onFile_;  // the image as the file holds it
    std::uint64_t bytesWritten_ = 0;
    std::vector<std::uint8_t> program_;
    std::array<std::uint8_t, kStartupBlockSize> startup_{};
    std::array<std::int32_t, kStoredValueCount> values_{};
};

}  // namespace vboard
