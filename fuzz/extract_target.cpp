// Fuzz target: the client archive extractor on arbitrary archive bytes. The input is written as
// D:\Client.zip on a sandbox drive and extracted, the way the launcher does it, into the fresh
// folder D:\p\t inside the fresh parent D:\p; a second drive C: stands by untouched. The target
// polls GetProgress until the run ends, then checks that nothing was written outside D:\p\t:
//   - the sandbox holds only the two drive folders, C: is empty, the root of D: holds only the
//     archive (byte for byte as written) and D:\p, and D:\p holds only the folder t;
//   - below D:\p\t there are only regular files and folders, never a link or anything else;
//   - while the run is in progress the percentage stays within 0..100, and it is 0 once the run
//     has ended in state failed or done.
// Only then is D:\p removed, for the next input.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <thread>

#include "archive/zip_implement.h"
#include "fuzz_check.h"
#include "tests/support/sandbox.h"

namespace {

namespace fs = std::filesystem;
using tolbe_fuzz::Require;

constexpr char kArchive[] = R"(D:\Client.zip)";
constexpr wchar_t kArchiveWide[] = LR"(D:\Client.zip)";
constexpr char kParent[] = R"(D:\p)";
constexpr wchar_t kTargetWide[] = LR"(D:\p\t)";
constexpr auto kPollInterval = std::chrono::microseconds(50);

// The names directly inside a host folder.
std::set<std::string> Names(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// Everything below the folder is a real folder or a regular file.
bool HoldsOnlyFilesAndFolders(const fs::path& folder) {
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const fs::file_status status = entry.symlink_status();
        if (!fs::is_regular_file(status) && !fs::is_directory(status)) {
            return false;
        }
    }
    return true;
}

// Polls the extractor until its run ends and returns the final state.
int WaitForEnd(CZipImplement& zip) {
    for (;;) {
        int percent = -1;
        const int state = zip.GetProgress(&percent);
        if (state != CZipImplement::kInProgress) {
            Require(percent == 0, "the percentage is 0 once a run has ended");
            return state;
        }
        Require(percent >= 0 && percent <= 100, "the percentage stays within 0..100");
        std::this_thread::sleep_for(kPollInterval);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static tolbe_test::SandboxDrives drives("CD");
    static CZipImplement zip;  // as in the launcher: one extractor that outlives every run

    const std::string archive(reinterpret_cast<const char*>(data), size);
    const fs::path archiveFile = drives.Host(kArchive);
    const fs::path parent = drives.Host(kParent);
    tolbe_test::WriteHostFile(archiveFile, archive);
    fs::create_directory(parent);

    Require(zip.StartUnzip(kArchiveWide, kTargetWide), "an idle extractor starts on a file");
    const int state = WaitForEnd(zip);
    Require(state == CZipImplement::kFailed || state == CZipImplement::kDone,
            "a run ends as failed or done");

    Require(Names(drives.base()) == std::set<std::string>{"C", "D"},
            "nothing appears beside the drives");
    Require(Names(drives.Root('C')).empty(), "nothing appears on the other drive");
    Require(Names(drives.Root('D')) == std::set<std::string>{"Client.zip", "p"},
            "nothing appears beside the archive and the parent folder");
    Require(fs::is_regular_file(fs::symlink_status(archiveFile)) &&
                tolbe_test::ReadHostFile(archiveFile) == archive,
            "the archive stays as it was");
    Require(Names(parent) == std::set<std::string>{"t"}, "nothing appears beside the target");
    Require(fs::is_directory(fs::symlink_status(parent / "t")), "the target is a real folder");
    Require(HoldsOnlyFilesAndFolders(parent / "t"), "the target holds only files and folders");

    fs::remove_all(parent);
    return 0;
}
