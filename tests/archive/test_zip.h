#pragma once
// Zip archives made at test time with minizip's zip API, with the damage some tests need:
// stored entries whose bytes can be changed in place, and entries that declare a wrong size.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tolbe_test {

struct ZipEntrySpec {
    ZipEntrySpec(std::string name, std::string data, bool stored = false,
                 std::optional<unsigned> unixMode = std::nullopt)
        : name(std::move(name)), data(std::move(data)), stored(stored), unixMode(unixMode) {}

    std::string name;
    std::string data;
    bool stored = false;  // no compression, so that the data's bytes stand as they are
    // st_mode (type and permission bits) of an entry made on Unix; without it the entry is
    // marked as made on MS-DOS, with no mode.
    std::optional<unsigned> unixMode;
    // Declares this uncompressed size in the archive instead of the data's real size (stored
    // entries only): an entry whose data ends early.
    std::optional<uint64_t> declaredSize = std::nullopt;
};

// Writes the archive at the host path; every entry in zip64 form when `zip64`. Throws on failure.
void WriteTestZip(const std::string& hostPath, const std::vector<ZipEntrySpec>& entries,
                  bool zip64 = false);

// Replaces the first occurrence of `from` in the host file with `to` (same length). Throws when
// it is not there.
void PatchHostFile(const std::string& hostPath, const std::string& from, const std::string& to);

}  // namespace tolbe_test
