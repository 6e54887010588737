#include "archive/empty_archive.h"

#include <cstdint>
#include <optional>
#include <string>

#include "platform/files.h"

namespace {

// The end-of-central-directory record: signature, four 16-bit numbers (this disk, the disk of
// the central directory, entries on this disk, entries in all), the directory's size and offset
// (32 bits each), and the comment's length (16 bits), all little-endian.
constexpr char kEndRecordSignature[] = "PK\x05\x06";
constexpr size_t kEndRecordBytes = 22;
constexpr size_t kMaxCommentBytes = 0xffff;
constexpr size_t kCommentLengthOffset = 20;

uint32_t LittleEndian(const std::string& bytes, size_t offset, size_t count) {
    uint32_t value = 0;
    for (size_t i = count; i-- > 0;) {
        value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
    }
    return value;
}

}  // namespace

bool IsEmptyZipArchive(std::string_view windowsPath) {
    const std::optional<std::string> bytes =
        platform::ReadWholeFile(windowsPath, kEndRecordBytes + kMaxCommentBytes);
    if (!bytes || bytes->size() < kEndRecordBytes ||
        bytes->compare(0, 4, kEndRecordSignature) != 0) {
        return false;
    }
    for (size_t offset = 4; offset < kCommentLengthOffset; ++offset) {
        if ((*bytes)[offset] != '\0') {
            return false;  // a disk number, an entry count, or a directory size or offset
        }
    }
    return LittleEndian(*bytes, kCommentLengthOffset, 2) == bytes->size() - kEndRecordBytes;
}
