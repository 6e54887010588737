#include "install/staged_client.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "config/config_store.h"
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

// The entries of a folder, "." and ".." left out; nullopt when it cannot be read.
std::optional<std::vector<platform::DirectoryEntry>> EntriesIn(const platform::Folder& folder) {
    auto entries = folder.List();
    if (entries) {
        const auto dots = [](const platform::DirectoryEntry& entry) {
            return entry.name == "." || entry.name == "..";
        };
        entries->erase(std::remove_if(entries->begin(), entries->end(), dots), entries->end());
    }
    return entries;
}

// Moves every entry of `from` into `to` under its own name except the names in `skip`; stops at
// the first that cannot move. Names are the host's own: a name that is no text moves as well.
bool MoveAllBut(const std::string& from, const std::string& to,
                const std::vector<std::string>& skip) {
    const auto source = platform::Folder::Open(from);
    const auto target = platform::Folder::Open(to);
    const auto entries = source ? EntriesIn(*source) : std::nullopt;
    if (!entries || !target) {
        return false;
    }
    for (const platform::DirectoryEntry& entry : *entries) {
        bool skipped = false;
        for (const std::string& other : skip) {
            skipped = skipped || platform::EqualsNoCase(entry.name, other);
        }
        if (!skipped && !source->MoveEntryTo(entry.name, *target)) {
            return false;
        }
    }
    return true;
}

// The three folders of a swap and the names that never move (see ReplaceClientWithStaged). A
// marker left in the client directory (a fresh installation whose marker could not be deleted)
// stays out of the moves too, so that it can never block an update.
struct Swap {
    Swap(const std::string& clientDir, const std::vector<std::string>& keepInPlace)
        : clientDir(clientDir),
          staging(StagingFolderOf(clientDir)),
          backup(BackupFolderOf(clientDir)),
          stay(keepInPlace) {
        stay.push_back(kConfigName);
        stay.push_back(kSideFolderMarker);
    }

    // The new entries, then the new config.zorv over the old one.
    bool MoveNewClientIn() const {
        if (!MoveAllBut(staging, clientDir, stay)) {
            return false;
        }
        const std::string newConfig = Join(staging, kConfigName);
        return platform::EntryKindAt(newConfig) == EntryKind::Missing ||
               platform::RenameOver(newConfig, Join(clientDir, kConfigName));
    }

    // The old client back where it was. Once new entries have moved in, every entry of the client
    // directory but those that stay is a new one: those go back to the staging folder first, and
    // only then, with the phase set back, the old ones return.
    bool PutOldClientBack(bool newEntriesMovedIn) const {
        if (newEntriesMovedIn &&
            (!MoveAllBut(clientDir, staging, stay) ||
             !platform::ReplaceFile(Join(backup, kSideFolderMarker), kSwapMovingOut))) {
            return false;
        }
        return MoveAllBut(backup, clientDir, {kSideFolderMarker});
    }

    const std::string clientDir;
    const std::string staging;
    const std::string backup;
    std::vector<std::string> stay;
};

// A new installation where nothing was: the staging folder itself becomes the client directory
// in one rename, then loses its marker.
bool InstallFresh(const std::string& staging, const std::string& clientDir) {
    if (!platform::MoveEntry(staging, clientDir)) {
        return false;
    }
    platform::DeleteOneFile(Join(clientDir, kSideFolderMarker));
    return true;
}

// The backup folder's marker tells how far the swap has come, so that a swap cut short (the
// launcher killed, the machine switched off) is finished or undone by the next run: while it
// says kSwapMovingOut only old entries have moved, into the backup folder; once it says
// kSwapMovingIn every old entry is there and new ones move in.
bool ReplaceInstallation(const Swap& swap) {
    if (!PrepareSideFolder(swap.backup, kSwapMovingOut)) {
        return false;
    }
    // Should the old client not go back in full, the backup folder stays with its phase, so that
    // no old entry is removed and the next start finishes putting it back.
    if (!MoveAllBut(swap.clientDir, swap.backup, swap.stay)) {
        if (swap.PutOldClientBack(false)) {
            DiscardSideFolder(swap.backup);
        }
        return false;
    }
    if (!platform::ReplaceFile(Join(swap.backup, kSideFolderMarker), kSwapMovingIn) ||
        !swap.MoveNewClientIn()) {
        if (swap.PutOldClientBack(true)) {
            DiscardSideFolder(swap.backup);
        }
        return false;
    }
    DiscardSideFolder(swap.backup);
    platform::DeleteOneFile(Join(swap.clientDir, kSideFolderMarker));
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
    return PrepareSideFolder(folder, kMarkerText);
}

bool PrepareSideFolder(const std::string& folder, std::string_view markerText) {
    const EntryKind kind = platform::EntryKindAt(folder);
    if (kind != EntryKind::Missing && !DiscardSideFolder(folder)) {
        return false;
    }
    if (!platform::MakeDirectoryAt(folder)) {
        return false;
    }
    if (!platform::ReplaceFile(Join(folder, kSideFolderMarker), markerText)) {
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
    // Everything but the marker first: a removal cut short leaves a folder that still carries
    // it, and a later run removes the rest.
    const auto opened = platform::Folder::Open(folder);
    const auto entries = opened ? EntriesIn(*opened) : std::nullopt;
    if (!entries) {
        return false;
    }
    for (const platform::DirectoryEntry& entry : *entries) {
        if (entry.name != kSideFolderMarker) {
            DeleteFolderEntry(*opened, entry);
        }
    }
    opened->DeleteOneFile(kSideFolderMarker);
    return platform::RemoveEmptyDirectory(platform::NarrowToWide(folder));
}

bool ReplaceClientWithStaged(const std::string& clientDir, bool clientDirIsInstallation,
                             const std::vector<std::string>& keepInPlace) {
    const std::string staging = StagingFolderOf(clientDir);
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
    return ReplaceInstallation(Swap(clientDir, keepInPlace));
}

void RecoverInterruptedSwap(const std::string& clientDir,
                            const std::vector<std::string>& keepInPlace) {
    const Swap swap(clientDir, keepInPlace);
    // The installation's config.zorv never leaves the client directory during a swap (the new
    // one replaces it in one step): a folder without it was never being swapped, whatever side
    // folders somebody put beside it, and none of its entries may move.
    if (platform::EntryKindAt(swap.backup) != EntryKind::Directory ||
        !IsConfigFileIn(clientDir + "\\")) {
        return;
    }
    const auto phase = platform::ReadWholeFile(Join(swap.backup, kSideFolderMarker), 4096);
    if (!phase) {
        return;  // not one of the launcher's backup folders
    }
    if (*phase == kSwapMovingIn) {
        // Every old entry is in the backup folder and the complete new client was checked
        // before the swap began: finish it. Should the rest not move in, undo it.
        if (platform::EntryKindAt(swap.staging) != EntryKind::Directory ||
            !HasMarker(swap.staging)) {
            return;  // the rest of the new client is gone: leave everything as it is
        }
        if (swap.MoveNewClientIn()) {
            platform::DeleteOneFile(Join(clientDir, kSideFolderMarker));
        } else if (!swap.PutOldClientBack(true)) {
            return;
        }
    } else if (*phase == kSwapMovingOut) {
        if (!swap.PutOldClientBack(false)) {
            return;
        }
    } else {
        return;  // a side folder of another kind
    }
    DiscardSideFolder(swap.backup);
    DiscardSideFolder(swap.staging);
}
