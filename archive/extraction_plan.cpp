#include "archive/extraction_plan.h"

#include <algorithm>
#include <functional>
#include <unordered_set>

#include "archive/archive_reader.h"

namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

// The places the entries take: the folders along their names (and directory entries) and their
// files, as hashes of PlaceOf. Two names with the same hash count as one place: a clash found
// where there is none only costs the archive its workers.
class Places {
public:
    // Records the entry named `name`; false once it clashes with one recorded before.
    bool Take(std::string_view name) {
        const std::string place = PlaceOf(name);
        const bool isFolder = IsSeparator(name.back());
        bool clear = true;
        for (size_t end = place.find('/'); end != std::string::npos;
             end = place.find('/', end + 1)) {
            clear = TakeFolder(Hash(std::string_view(place).substr(0, end))) && clear;
        }
        if (place.empty()) {
            return clear;  // "./": the target itself
        }
        const size_t hash = Hash(place);
        if (isFolder) {
            return TakeFolder(hash) && clear;
        }
        const bool fresh = m_folders.count(hash) == 0 && m_files.insert(hash).second;
        return fresh && clear;
    }

private:
    static size_t Hash(std::string_view place) { return std::hash<std::string_view>{}(place); }

    bool TakeFolder(size_t hash) {
        m_folders.insert(hash);
        return m_files.count(hash) == 0;
    }

    std::unordered_set<size_t> m_folders;
    std::unordered_set<size_t> m_files;
};

}  // namespace

std::string PlaceOf(std::string_view name) {
    std::string place;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = start;
        while (end < name.size() && !IsSeparator(name[end])) {
            ++end;
        }
        std::string_view component = name.substr(start, end - start);
        while (!component.empty() && (component.back() == '.' || component.back() == ' ')) {
            component.remove_suffix(1);
        }
        if (!component.empty()) {
            if (!place.empty()) {
                place += '/';
            }
            for (const char c : component) {
                place += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
            }
        }
        start = end + 1;
    }
    return place;
}

ExtractionPlan PlanExtraction(unzFile archive, uint64_t claimedEntries) {
    ExtractionPlan plan;
    plan.claimedEntries = claimedEntries;
    Places places;
    for (uint64_t i = 0; i < claimedEntries; ++i) {
        PlannedEntry entry;
        entry.index = i;
        unz_file_info64 info{};
        if (const std::optional<std::string> name = ReadCurrentEntryName(archive, info)) {
            entry.uncompressedSize = info.uncompressed_size;
            plan.totalBytes += info.uncompressed_size;
            plan.namesClash = !places.Take(*name) || plan.namesClash;
        } else if (unzGetCurrentFileInfo64(archive, &info, nullptr, 0, nullptr, 0, nullptr, 0) ==
                   UNZ_OK) {
            entry.uncompressedSize = info.uncompressed_size;  // refused when it comes to it
            plan.totalBytes += info.uncompressed_size;
        }
        // An entry whose record cannot be read keeps its place: extracting it fails there.
        unzGetFilePos64(archive, &entry.position);
        plan.entries.push_back(entry);
        if (i + 1 < claimedEntries && unzGoToNextFile(archive) != UNZ_OK) {
            break;
        }
    }
    unzGoToFirstFile(archive);
    return plan;
}

std::vector<size_t> HandOutOrder(const ExtractionPlan& plan) {
    std::vector<size_t> large;
    std::vector<size_t> order;
    order.reserve(plan.entries.size());
    for (size_t i = 0; i < plan.entries.size(); ++i) {
        (plan.entries[i].uncompressedSize >= kLargeEntryBytes ? large : order).push_back(i);
    }
    std::stable_sort(large.begin(), large.end(), [&plan](size_t a, size_t b) {
        return plan.entries[a].uncompressedSize > plan.entries[b].uncompressedSize;
    });
    order.insert(order.begin(), large.begin(), large.end());
    return order;
}
