#include "install/staged_client.h"

#include <optional>
#include <utility>
#include <vector>

#include "install/directory_removal.h"
#include "platform/archive_files.h"
#include "platform/directories.h"
#include "platform/files.h"
#include "platform/text.h"

namespace {

using platform::EntryKind;

constexpr char kStagingSuffix[] = ".tolbe-new";
constexpr char kBackupSuffix[] = ".tolbe-old";
constexpr char kConfigName[] = "config.zorv";
constexpr char kMarkerText[] = "made by the Tolbe launcher; removed with its folder\n";

std::string Join(const std::string& folder, const std::string& name) {
    return folder + "\\" + name;
}

bool HasMarker(const std::string& folder) {
    return platform::EntryKindAt(Join(folder, kSideFolderMarker)) == EntryKind::RegularFile;
}

// The names in a folder, "." and ".." left out; nullopt when it cannot be read.
std::optional<std::vector<std::string>> NamesIn(const std::string& folder) {
    const auto entries = platform::ListDirectory(platform::NarrowToWide(folder));
    if (!entries) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    for (const platform::DirectoryEntry& entry : *entries) {
        if (entry.name != L"." && entry.name != L"..") {
            names.push_back(platform::WideToNarrow(entry.name));
        }
    }
    return names;
}

// Entry moves between two folders that can be taken back in reverse order.
class MoveJournal {
public:
    bool Move(const std::string& fromFolder, const std::string& toFolder, const std::string& name) {
        if (!platform::MoveEntry(Join(fromFolder, name), Join(toFolder, name))) {
            return false;
        }
        m_moves.push_back({fromFolder, toFolder, name});
        return true;
    }

    // Puts every entry back where it was, the last move first.
    void Undo() {
        for (auto move = m_moves.rbegin(); move != m_moves.rend(); ++move) {
            platform::MoveEntry(Join(move->to, move->name), Join(move->from, move->name));
        }
        m_moves.clear();
    }

private:
    struct Moved {
        std::string from;
        std::string to;
        std::string name;
    };
    std::vector<Moved> m_moves;
};

// Moves every entry of `from` into `to` except the names in `skip`.
bool MoveAllBut(MoveJournal& journal, const std::string& from, const std::string& to,
                const std::vector<std::string>& skip) {
    const auto names = NamesIn(from);
    if (!names) {
        return false;
    }
    for (const std::string& name : *names) {
        bool skipped = false;
        for (const std::string& other : skip) {
            skipped = skipped || platform::EqualsNoCase(name, other);
        }
        if (!skipped && !journal.Move(from, to, name)) {
            return false;
        }
    }
    return true;
}

// A new installation where nothing was: the staging folder itself becomes the client directory
// in one rename, then loses its marker.
bool InstallFresh(const std::string& staging, const std::string& clientDir) {
    if (!platform::MoveEntry(staging, clientDir)) {
        return false;
    }
    platform::DeleteOneFile(Join(clientDir, kSideFolderMarker));
    return true;
}

bool ReplaceInstallation(const std::string& staging, const std::string& clientDir,
                         const std::string& keepInPlace) {
    const std::string backup = BackupFolderOf(clientDir);
    if (!PrepareSideFolder(backup)) {
        return false;
    }
    MoveJournal journal;
    const std::string newConfig = Join(staging, kConfigName);
    // A marker left in the client directory (a fresh installation whose marker could not be
    // deleted) stays out of the moves, so that it can never block an update.
    const std::vector<std::string> stay = {keepInPlace, kConfigName, kSideFolderMarker};
    const bool swapped = MoveAllBut(journal, clientDir, backup, stay) &&
                         MoveAllBut(journal, staging, clientDir, stay) &&
                         platform::RenameOver(newConfig, Join(clientDir, kConfigName));
    if (!swapped) {
        journal.Undo();
        DiscardSideFolder(backup);
        return false;
    }
    DiscardSideFolder(backup);
    platform::DeleteOneFile(Join(clientDir, kSideFolderMarker));
    return true;
}

}  // namespace

std::string StagingFolderOf(const std::string& clientDir) {
    return clientDir + kStagingSuffix;
}

std::string BackupFolderOf(const std::string& clientDir) {
    return clientDir + kBackupSuffix;
}

bool PrepareSideFolder(const std::string& folder) {
    const EntryKind kind = platform::EntryKindAt(folder);
    if (kind != EntryKind::Missing && !DiscardSideFolder(folder)) {
        return false;
    }
    if (!platform::MakeDirectoryAt(folder)) {
        return false;
    }
    if (!platform::ReplaceFile(Join(folder, kSideFolderMarker), kMarkerText)) {
        platform::RemoveEmptyDirectory(platform::NarrowToWide(folder));
        return false;
    }
    return true;
}

bool DiscardSideFolder(const std::string& folder) {
    const EntryKind kind = platform::EntryKindAt(folder);
    if (kind == EntryKind::Missing) {
        return true;
    }
    if (kind != EntryKind::Directory || !HasMarker(folder)) {
        return false;
    }
    return DeleteDirectoryTree(platform::NarrowToWide(folder));
}

bool ReplaceClientWithStaged(const std::string& staging, const std::string& clientDir,
                             bool clientDirIsInstallation, const std::string& keepInPlace) {
    if (platform::EntryKindAt(staging) != EntryKind::Directory || !HasMarker(staging) ||
        platform::EntryKindAt(Join(staging, kConfigName)) != EntryKind::RegularFile) {
        return false;
    }
    const EntryKind target = platform::EntryKindAt(clientDir);
    if (target == EntryKind::Missing) {
        return InstallFresh(staging, clientDir);
    }
    if (target != EntryKind::Directory || !clientDirIsInstallation) {
        return false;
    }
    return ReplaceInstallation(staging, clientDir, keepInPlace);
}
