#pragma once
// The sample client the flow tests install: a game that notes where it was started, and a few
// data files in nested folders.

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#endif

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "config/config_store.h"
#include "config/version_record.h"
#include "platform/processes.h"
#include "tests/app/host_client.h"
#include "tests/support/host_files.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_writer.h"
#ifdef _WIN32
#include "tests/support/small_drive_win.h"
#endif

namespace tolbe_test {

inline constexpr char kMapData[] = "map of the northern valley";

inline zorv_VersionCheck ServerRecord(const std::string& version = "1.0") {
    zorv_VersionCheck record;
    record.set_version(version);
    record.set_download_url("http://cdn.tolbe.example/Client.zip");
    record.set_client_dir("Tolbe");
    record.set_client_exe("tolbe.exe");
    return record;
}

inline std::string ClientArchive() {
    TempDir dir;
    WriteZip(dir.Join("c.zip"), {{"tolbe.exe", GameProgram(), 0100755},
                                 {"data/", "", 040755},
                                 {"data/maps/north.txt", kMapData, 0100644},
                                 {"readme.txt", "Tolbe", 0}});
    return ReadHostFile(dir.Join("c.zip"));
}

// The game runs detached; waits (boundedly) for its note and returns the folder it was started
// in.
inline std::string WaitForGameNote(const std::string& hostDir) {
    const std::string note = hostDir + "/started.txt";
    for (int i = 0; i < 5000; ++i) {
        if (HostPathExists(note)) {
            const std::string text = ReadHostFile(note);
            if (!text.empty() && text.back() == '\n') {
                return text.substr(0, text.size() - 1);
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return "<the game did not start>";
}

// A folder outside every drive ("canary" in the sandbox's temporary folder), with files that
// nothing may touch: together they look like an installation of the sample client.
inline void PlantCanary(const TempDir& sandbox) {
    WriteHostFile(sandbox.Join("canary/keep.txt"), "the player's own file");
    WriteHostFile(sandbox.Join("canary/tolbe.exe"), "not the launcher's");
    WriteHostFile(sandbox.Join("canary/config.zorv"), ConfigFileBytes(ServerRecord("0.1")));
}

// A disk that fills up, for the tests of a full disk: FULL_DISK_TEST(Suite, Name) declares one.
// On Windows it is the small drive of Wine, which only the run of the suites named OnASmallDrive
// has (see tests/app/CMakeLists.txt); on POSIX a limit on the size of the files this process
// writes, with the usual drives.
#ifdef _WIN32
#define FULL_DISK_TEST(suite, name) TEST(OnASmallDrive, name)
#else
#define FULL_DISK_TEST(suite, name) TEST(suite, name)
#endif

// The folder in which the harness of a full-disk test makes its drives: on Windows the small
// drive (nullopt when the test runs without it), on POSIX the host's temporary folder.
inline std::optional<std::string> FullDiskTempParent() {
#ifdef _WIN32
    return SmallDriveRoot();
#else
    return std::filesystem::temp_directory_path().string();
#endif
}

#ifndef _WIN32
// Limits the size of every file this process writes, as a disk that fills up would; restores
// the limit when it goes. Writes past it fail with EFBIG once
// platform::ReportFileSizeLimitAsWriteError has run. (Windows has no such limit.)
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        const rlimit limit{bytes, m_saved.rlim_max};
        m_applied = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &m_saved); }
    bool applied() const { return m_applied; }

private:
    rlimit m_saved{};
    bool m_applied = false;
};
#endif

// While it lives, no more than about `roomBytes` can be written below FullDiskTempParent(): on
// POSIX no file of this process grows past that size, on Windows the small drive is filled up to
// that room.
class FillingDisk {
public:
#ifdef _WIN32
    explicit FillingDisk(uint64_t roomBytes)
        : m_root(FullDiskTempParent().value_or("")),
          m_room(roomBytes),
          m_filler(m_root.substr(0, 2), roomBytes) {}
    // The drive has that room left, give or take a few of its blocks.
    bool applied() const {
        ULARGE_INTEGER free{};
        return ::GetDiskFreeSpaceExW(platform::NarrowToWide(m_root).c_str(), &free, nullptr,
                                     nullptr) &&
               free.QuadPart <= m_room + 64 * 1024;
    }

private:
    std::string m_root;
    uint64_t m_room;
    DriveFiller m_filler;
#else
    explicit FillingDisk(uint64_t roomBytes) : m_limit(static_cast<rlim_t>(roomBytes)) {
        platform::ReportFileSizeLimitAsWriteError();
    }
    bool applied() const {
        return m_limit.applied();
    }

private:
    FileSizeLimit m_limit;
#endif
};

// Everything below a host folder, by relative path ("a/b" on every host): "file <bytes>",
// "dir", "link" (with its target on POSIX) or "other". Links are recorded, never followed.
using TreeSnapshot = std::map<std::string, std::string>;

inline TreeSnapshot SnapshotTree(const std::string& hostRoot) {
    namespace fs = std::filesystem;
    TreeSnapshot tree;
    if (!HostPathExists(hostRoot)) {
        return tree;
    }
    for (auto it = fs::recursive_directory_iterator(hostRoot);
         it != fs::recursive_directory_iterator(); ++it) {
        const fs::directory_entry& entry = *it;
        const std::string relative = fs::relative(entry.path(), hostRoot).generic_string();
        const fs::file_status status = entry.symlink_status();
        if (IsHostLink(entry.path())) {
#ifdef _WIN32
            tree[relative] = "link";
            it.disable_recursion_pending();
#else
            tree[relative] = "link " + fs::read_symlink(entry.path()).string();
#endif
        } else if (fs::is_directory(status)) {
            tree[relative] = "dir";
        } else if (fs::is_regular_file(status)) {
            tree[relative] = "file " + ReadHostFile(entry.path().string());
        } else {
            tree[relative] = "other";
        }
    }
    return tree;
}

// The snapshot without the entries at or below the given relative paths.
inline TreeSnapshot Without(TreeSnapshot tree, const std::vector<std::string>& prefixes) {
    for (auto it = tree.begin(); it != tree.end();) {
        bool dropped = false;
        for (const std::string& prefix : prefixes) {
            dropped = dropped || it->first == prefix || it->first.rfind(prefix + "/", 0) == 0;
        }
        it = dropped ? tree.erase(it) : std::next(it);
    }
    return tree;
}

}  // namespace tolbe_test
