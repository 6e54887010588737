#pragma once
// Zip archives written at test time with minizip's zip interface, with the damage some tests
// need: stored entries whose bytes can be changed in place, and entries that declare a wrong
// size.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tolbe_test {

struct ZipEntry {
    std::string
        name;  // the bytes stored, in any encoding; a name ending in '/' is a directory entry
    std::string data;
    // st_mode (type and permission bits) of an entry made on Unix, e.g. 0100755; 0 stores no
    // Unix attributes (the entry is marked as made on MS-DOS).
    unsigned unixMode = 0;
    bool stored = false;  // no compression, so that the data's bytes stand as they are
    // Sets the entry's UTF-8 flag (general-purpose bit 11), which tells that the name is UTF-8.
    // Clear, as most zip tools on Windows write it: the name is in the packer's code page.
    bool utf8Flag = false;
    // Declares this uncompressed size in the archive instead of the data's real size: an entry
    // whose data ends early or runs past it (stored, or deflated here and written raw).
    std::optional<uint64_t> declaredSize = std::nullopt;
};

// Writes the archive at the host path; every entry in zip64 form when `forceZip64`. Throws on
// failure.
void WriteZip(const std::string& hostPath, const std::vector<ZipEntry>& entries,
              bool forceZip64 = false);

// Replaces the first occurrence of `from` in the host file with `to` (same length). Throws when
// it is not there.
void PatchHostFile(const std::string& hostPath, const std::string& from, const std::string& to);

}  // namespace tolbe_test
