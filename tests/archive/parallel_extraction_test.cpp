// What several workers change, run like the rest of the suite with 1, 2 and 8 of them: one huge
// entry among many small ones, a failure while another worker is in the middle of a file, and a
// percentage that never falls back.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "archive/extraction_plan.h"
#include "tests/archive/extraction_workers.h"
#include "tests/archive/wait_for_end.h"
#include "tests/support/host_files.h"
#include "tests/support/random_bytes.h"
#include "tests/support/sandbox.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_writer.h"

namespace {

namespace fs = std::filesystem;
using tolbe_test::FilesBelow;
using tolbe_test::RandomBytes;
using tolbe_test::ZipEntry;
using Files = tolbe_test::HostTree;

constexpr char kArchive[] = R"(D:\Client.zip)";

// Bytes that do not compress, made quickly: one random block repeated (deflate's window is far
// shorter than the block).
std::string IncompressibleBytes(size_t size, unsigned seed) {
    const std::string block = RandomBytes(256 * 1024, seed);
    std::string bytes;
    bytes.reserve(size + block.size());
    while (bytes.size() < size) {
        bytes += block;
    }
    bytes.resize(size);
    return bytes;
}

// Text that deflates well but not to nothing, like a client's data files.
std::string TextBytes(size_t size, unsigned seed) {
    const std::string noise = RandomBytes(size / 8 + 1, seed);
    std::string text;
    text.reserve(size);
    for (size_t i = 0; text.size() < size; ++i) {
        text += "row " + std::to_string(static_cast<unsigned char>(noise[i % noise.size()])) +
                " of the map\n";
    }
    text.resize(size);
    return text;
}

struct ExtractionRun {
    // Extracts D:\Client.zip into D:\Tolbe; the final state, and every percentage seen on the
    // way while the run was in progress.
    int Extract(std::vector<int>* percentages = nullptr) {
        EXPECT_TRUE(zip.StartUnzip(LR"(D:\Client.zip)", LR"(D:\Tolbe)"));
        if (percentages == nullptr) {
            return tolbe_test::WaitForEnd(zip);
        }
        int percent = 0;
        int state = CZipImplement::kInProgress;
        while ((state = zip.GetProgress(&percent)) == CZipImplement::kInProgress) {
            percentages->push_back(percent);
        }
        return state;
    }

    tolbe_test::SandboxDrives drives{"D"};
    tolbe_test::Extractor zip;
};

// The largest entry sits in the middle of the archive and is handed out first; the small ones
// share a few folders, which several workers make at the same moment.
TEST(ParallelExtraction, OneHugeEntryAmongManySmallOnesExtractsWholeWithARisingPercentage) {
    ExtractionRun run;
    std::vector<ZipEntry> entries;
    Files expected;
    for (int i = 0; i < 400; ++i) {
        if (i == 200) {
            entries.push_back({"bin/client.pak", TextBytes(8 << 20, 1)});
        }
        const std::string name = "data/d" + std::to_string(i % 7) + "/f" + std::to_string(i);
        entries.push_back({name, i % 3 == 0 ? RandomBytes(3000 + i, i) : TextBytes(9000, i)});
    }
    entries.push_back({"empty/", ""});
    for (const ZipEntry& entry : entries) {
        if (entry.name.back() != '/') {
            expected[entry.name] = entry.data;
        }
    }
    tolbe_test::WriteZip(run.drives.Host(kArchive), entries);

    std::vector<int> percentages;
    ASSERT_EQ(run.Extract(&percentages), CZipImplement::kDone);
    EXPECT_EQ(FilesBelow(run.drives.Host(R"(D:\Tolbe)")), expected);
    EXPECT_TRUE(fs::is_directory(tolbe_test::HostPathOf(run.drives.Host(R"(D:\Tolbe\empty)"))));

    // Never falling, apart from the glance back to 0 as the run ends (its counters are cleared
    // just before its final state is written).
    ASSERT_FALSE(percentages.empty());
    size_t end = percentages.size();
    while (end > 0 && percentages[end - 1] == 0) {
        --end;
    }
    for (size_t i = 1; i < end; ++i) {
        ASSERT_LE(percentages[i - 1], percentages[i]) << "at sample " << i;
    }
}

// A damaged entry whose checksum fails only after all of it is read, next to a large entry that
// another worker is writing meanwhile. The entry after the failed one in the archive stops and
// leaves nothing; the one before it is still written whole. Nothing outside the target changes.
TEST(ParallelExtraction, AFailedEntryStopsTheEntriesAfterItWhileTheOnesBeforeItFinish) {
    const std::string big = IncompressibleBytes(16 << 20, 2);
    const std::string head = IncompressibleBytes(2 << 20, 3);
    // What is written of the damaged entry before its checksum is compared: all of it.
    const std::string damagedOnDisk = head + "the entry ends here";
    const struct {
        const char* what;
        bool damagedFirst;
        Files target;
    } cases[] = {
        {"the damaged entry first", true, {{"damaged.bin", damagedOnDisk}}},
        {"the damaged entry last", false, {{"big.bin", big}, {"damaged.bin", damagedOnDisk}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ExtractionRun run;
        const ZipEntry bigEntry{"big.bin", big, 0, true};
        const ZipEntry damagedEntry{"damaged.bin", head + "the entry ends HERE", 0, true};
        tolbe_test::WriteZip(run.drives.Host(kArchive),
                             c.damagedFirst ? std::vector<ZipEntry>{damagedEntry, bigEntry}
                                            : std::vector<ZipEntry>{bigEntry, damagedEntry});
        // Stored, so the bytes stand as they are: the data no longer matches its checksum.
        tolbe_test::PatchHostFile(run.drives.Host(kArchive), "ends HERE", "ends here");
        tolbe_test::WriteHostFile(run.drives.base() + "/outside/canary.txt", "canary");
        const Files before = FilesBelow(run.drives.base());

        EXPECT_EQ(run.Extract(), CZipImplement::kFailed);
        EXPECT_EQ(FilesBelow(run.drives.Host(R"(D:\Tolbe)")), c.target);
        Files after = FilesBelow(run.drives.base());
        for (auto it = after.begin(); it != after.end();) {
            it = it->first.rfind("D/Tolbe/", 0) == 0 ? after.erase(it) : std::next(it);
        }
        EXPECT_EQ(after, before);
    }
}

// Entries that take the same place (one file twice, or a file where another entry needs a
// folder) end as they would one by one in the archive's order, whichever worker would come
// first: the later entry wins or fails, the earlier one stands. A large entry is handed out
// before the small ones, so the later entry of each pair would otherwise be written first.
TEST(ParallelExtraction, EntriesWhoseNamesClashEndAsTheyWouldOneByOne) {
    const std::string large = TextBytes(2 << 20, 4);
    const struct {
        const char* what;
        std::vector<ZipEntry> entries;
        int state;
        Files target;
    } cases[] = {
        {"a file, then a folder of its name",
         {{"escape", "a link's target"}, {"escape/evil.bin", large}},
         CZipImplement::kFailed,
         {{"escape", "a link's target"}}},
        {"a folder, then a file of its name",
         {{"data/map.pak", "map"}, {"data", large}},
         CZipImplement::kFailed,
         {{"data/map.pak", "map"}}},
        {"a folder's entry, then a file of its name",
         {{"data/", ""}, {"data", large}},
         CZipImplement::kFailed,
         {}},
        {"one file twice: the later one wins",
         {{"game.exe", "old"}, {"game.exe", large}},
         CZipImplement::kDone,
         {{"game.exe", large}}},
        {"one file twice: the later small one wins over the large one",
         {{"game.exe", large}, {"./game.exe", "new"}},
         CZipImplement::kDone,
         {{"game.exe", "new"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ExtractionRun run;
        tolbe_test::WriteZip(run.drives.Host(kArchive), c.entries);
        EXPECT_EQ(run.Extract(), c.state);
        EXPECT_EQ(FilesBelow(run.drives.Host(R"(D:\Tolbe)")), c.target);
    }
}

// Where two names meet on the disk: Windows finds a name whatever its letter case and without
// trailing dots and blanks, and both hosts skip empty and "." components.
TEST(ParallelExtraction, PlacesOfNamesAsTheFileSystemFindsThem) {
    const struct {
        const char* name;
        const char* place;
    } cases[] = {
        {"Data/Map.PAK", "data/map.pak"},
        {R"(a\b//c/./d)", "a/b/c/d"},
        {"data. /x ", "data/x"},
        {"data/", "data"},
        {"./", ""},
        {"\xE5\x9C\xB0\xE5\x9B\xBE/\xC3\x89t\xC3\xA9",
         "\xE5\x9C\xB0\xE5\x9B\xBE/\xC3\x89t\xC3\xA9"},
        {"..x/.y", "..x/.y"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PlaceOf(c.name), c.place) << c.name;
    }
}

}  // namespace
