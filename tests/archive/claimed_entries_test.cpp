// An archive whose end records claim more entries than it holds, up to the 2^64 that zip64 form
// allows: the run must end (failed, at the first missing entry) instead of walking through every
// claimed one. Found while writing the extractor's fuzz target, and reproduced with it.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "archive/zip_implement.h"
#include "tests/archive/extraction_workers.h"
#include "tests/archive/wait_for_end.h"
#include "tests/support/sandbox.h"
#include "tests/support/zip_writer.h"

namespace {

using tolbe_test::kNoEnd;
using tolbe_test::WaitForEnd;

constexpr char kArchive[] = R"(D:\Client.zip)";
constexpr char kEndRecord[] = "PK\x05\x06";
constexpr size_t kEndRecordBytes = 22;

void PutLittleEndian(std::string& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xff);
    }
}

uint64_t LittleEndian(const std::string& bytes, size_t at, int count) {
    uint64_t value = 0;
    for (int i = count; i-- > 0;) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

// Rewrites the archive's end as zip64 end records (the zip64 end record, its locator, and an end
// record that defers to them) that claim `entries` entries, the central directory unchanged.
void ClaimEntries(const std::string& hostPath, uint64_t entries) {
    std::string bytes = tolbe_test::ReadHostFile(hostPath);
    const size_t end = bytes.rfind(kEndRecord);
    ASSERT_NE(end, std::string::npos);
    ASSERT_EQ(bytes.size(), end + kEndRecordBytes);
    const uint64_t directorySize = LittleEndian(bytes, end + 12, 4);
    const uint64_t directoryOffset = LittleEndian(bytes, end + 16, 4);
    bytes.resize(end);

    std::string tail = "PK\x06\x06";    // zip64 end of central directory record
    PutLittleEndian(tail, 44, 8);       // size of the rest of this record
    PutLittleEndian(tail, 45, 2);       // made by
    PutLittleEndian(tail, 45, 2);       // needed to extract
    PutLittleEndian(tail, 0, 4);        // this disk
    PutLittleEndian(tail, 0, 4);        // disk of the central directory
    PutLittleEndian(tail, entries, 8);  // entries on this disk
    PutLittleEndian(tail, entries, 8);  // entries in all
    PutLittleEndian(tail, directorySize, 8);
    PutLittleEndian(tail, directoryOffset, 8);
    tail += "PK\x06\x07";  // its locator
    PutLittleEndian(tail, 0, 4);
    PutLittleEndian(tail, end, 8);
    PutLittleEndian(tail, 1, 4);
    tail += kEndRecord;  // the end record, deferring to the zip64 one
    PutLittleEndian(tail, 0, 4);
    PutLittleEndian(tail, 0xffff, 2);
    PutLittleEndian(tail, 0xffff, 2);
    PutLittleEndian(tail, directorySize, 4);
    PutLittleEndian(tail, directoryOffset, 4);
    PutLittleEndian(tail, 0, 2);
    tolbe_test::WriteHostFile(hostPath, bytes + tail);
}

TEST(ClaimedEntries, AnArchiveClaimingMoreEntriesThanItHoldsFailsAtTheFirstMissingOne) {
    const struct {
        uint64_t claimed;
        int state;
    } cases[] = {
        {2, CZipImplement::kDone},  // the true count in zip64 form: the records are sound
        {3, CZipImplement::kFailed},
        {uint64_t{1} << 40, CZipImplement::kFailed},
        {UINT64_MAX, CZipImplement::kFailed},
    };
    for (const auto& c : cases) {
        tolbe_test::SandboxDrives drives("D");
        tolbe_test::WriteZip(drives.Host(kArchive), {{"a.txt", "one"}, {"b.txt", "two"}});
        ClaimEntries(drives.Host(kArchive), c.claimed);
        tolbe_test::Extractor zip;
        ASSERT_TRUE(zip.StartUnzip(LR"(D:\Client.zip)", LR"(D:\Tolbe)"));
        const int state = WaitForEnd(zip);
        ASSERT_NE(state, kNoEnd) << c.claimed << " claimed entries: the run never ended";
        EXPECT_EQ(state, c.state) << c.claimed << " claimed entries";
        // The entries it holds are extracted before the first missing one fails the run.
        EXPECT_EQ(tolbe_test::ReadHostFile(drives.Host(R"(D:\Tolbe\a.txt)")), "one");
        EXPECT_EQ(tolbe_test::ReadHostFile(drives.Host(R"(D:\Tolbe\b.txt)")), "two");
    }
}

}  // namespace
