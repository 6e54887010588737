#include "archive/extraction_plan.h"

#include <algorithm>

ExtractionPlan PlanExtraction(unzFile archive, uint64_t claimedEntries) {
    ExtractionPlan plan;
    plan.claimedEntries = claimedEntries;
    for (uint64_t i = 0; i < claimedEntries; ++i) {
        PlannedEntry entry;
        entry.index = i;
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(archive, &info, nullptr, 0, nullptr, 0, nullptr, 0) == UNZ_OK) {
            entry.uncompressedSize = info.uncompressed_size;
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
