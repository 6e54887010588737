#pragma once
// The first pass over the client archive: where each entry is and how large it is, and the order
// in which the extraction's workers take the entries.

#include <unzip.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One entry as the first pass found it.
struct PlannedEntry {
    uint64_t index = 0;             // its place in the archive, from 0
    unz64_file_pos position{};      // for unzGoToFilePos64 on any handle of the archive
    uint64_t uncompressedSize = 0;  // 0 when its record could not be read
};

struct ExtractionPlan {
    std::vector<PlannedEntry> entries;  // in the archive's order
    uint64_t claimedEntries = 0;        // what the archive's end record says it holds
    uint64_t totalBytes = 0;            // sum of the entries' uncompressed sizes
    // True when two entries name the same file, or one entry's file stands where another needs
    // a folder ("data" and "data/map.pak"), as the file system finds names (see PlaceOf). Which
    // of them fails or wins then depends on which is written first, so such an archive is
    // extracted one entry at a time in its own order, as a run entry by entry would leave it.
    bool namesClash = false;
    // False when the walk stopped early at an entry it could not step to: the archive claims
    // more entries than it holds, so the run fails once the entries before are extracted.
    bool Complete() const { return entries.size() == claimedEntries; }
};

// An entry name's place as the file system finds it, for comparing places: its components
// split at "/" and "\", without empty and "." ones, ASCII letters in lower case and trailing
// dots and blanks cut off (Windows finds "Data", "data" and "data." as one file), joined by "/".
// Names the launcher refuses are never compared; names that differ only in ways one host keeps
// apart (letter case on Linux) count as one place, which only costs such an archive its workers.
std::string PlaceOf(std::string_view name);

// Walks the central directory of the archive from its first entry, recording each entry, and
// leaves the archive on its first entry again. Past a step that fails no entry can be read: an
// archive that claims more entries than it holds (up to 2^64 in zip64 form) ends its walk there
// instead of asking for every missing one.
ExtractionPlan PlanExtraction(unzFile archive, uint64_t claimedEntries);

// Entries at least this large are handed out first, largest first, so that none of them is
// started last and keeps one worker busy while the others have nothing left to do; smaller ones
// follow in the archive's order and fill the end.
inline constexpr uint64_t kLargeEntryBytes = 1024 * 1024;

// The order in which the workers take the entries: the positions in plan.entries of the large
// ones by falling size, then the others in the archive's order.
std::vector<size_t> HandOutOrder(const ExtractionPlan& plan);
