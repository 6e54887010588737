#pragma once
// A new client is extracted beside the client directory, into a staging folder on the same
// drive, and replaces the installation only once it is complete. An update that fails on the way
// (a download that breaks off, a damaged archive, a full disk) leaves the old installation
// exactly as it was: its files, its config.zorv, its launcher copy and so its shortcut.
//
// On drive X, with DIR the client directory's name (paths in Windows form):
//   X:\DIR                the installation
//   X:\DIR.tolbe-new      the staging folder the archive is extracted into
//   X:\DIR.tolbe-old      the old installation's entries while the new ones move in
// Both side folders carry a marker file (kSideFolderMarker) from the moment they are made. The
// launcher removes such a folder only when its marker is in it, so that a folder of somebody
// else's that happens to carry the name is never touched.

#include <string>
#include <string_view>
#include <vector>

inline constexpr char kSideFolderMarker[] = ".tolbe-side-folder";

// What the backup folder's marker holds during a swap, so that the next run can tell how far a
// swap cut short had come: only old entries moving out, or all of them out and new ones moving in.
inline constexpr char kSwapMovingOut[] = "made by the Tolbe launcher: the old client moving out\n";
inline constexpr char kSwapMovingIn[] =
    "made by the Tolbe launcher: the old client, the new one moving in\n";

// The staging and backup folders of a client directory given without a final backslash:
// StagingFolderOf("D:\\Tolbe") == "D:\\Tolbe.tolbe-new", BackupFolderOf: "D:\\Tolbe.tolbe-old".
std::string StagingFolderOf(const std::string& clientDir);
std::string BackupFolderOf(const std::string& clientDir);

// Makes the side folder anew, empty but for its marker: a leftover one of an earlier run (with
// its marker) is removed first. False when the folder cannot be made, or when something without
// the marker (a folder of somebody else's, a file, a link) holds the name; that is left alone.
bool PrepareSideFolder(const std::string& folder);
// The same with the marker holding the given text.
bool PrepareSideFolder(const std::string& folder, std::string_view markerText);

// Removes a side folder (with its marker) and everything in it; anything else at the path is
// left alone. True when no side folder of the launcher's remains there.
bool DiscardSideFolder(const std::string& folder);

// Moves the complete client from the staging folder (StagingFolderOf(clientDir)) into clientDir
// (without a final backslash). The staging folder must hold a config.zorv.
// - Nothing at clientDir: the staging folder becomes clientDir in one rename, then loses its
//   marker.
// - clientDir is one of the launcher's installations (the caller has checked): its entries move
//   into the backup folder, the new ones move in, the new config.zorv replaces the old one last
//   (so that until then the folder still reads as the old version), and the backup folder goes.
// The names in `keepInPlace` (the launcher's own files: its copy and the shortcut's icon picture;
// compared without regard to ASCII case) are neither moved out nor in: the running launcher may
// be that very copy, and the shortcut keeps its target and its icon throughout. Anything else at
// clientDir is refused.
// On any failure every entry moved so far goes back where it was, so that clientDir holds
// exactly what it held before; false. The staging folder is left for the caller to discard.
// Should an entry not go back, the backup folder stays with what it holds, for
// RecoverInterruptedSwap to finish at the next start: no old entry is ever removed then.
bool ReplaceClientWithStaged(const std::string& clientDir, bool clientDirIsInstallation,
                             const std::vector<std::string>& keepInPlace);

// Finishes or undoes a swap into clientDir that an earlier run left cut short (the launcher
// killed or the machine switched off in the middle of the renames), as the backup folder's
// marker tells: with the new client not yet moving in, the old entries go back; once it was
// moving in, the rest of it follows from the staging folder (or, when that cannot be done, the
// old client is put back). Afterwards the side folders go. Nothing happens when there is no
// backup folder of the launcher's beside clientDir, when clientDir holds no config.zorv of the
// launcher's (it never leaves the folder during a swap), or when the new client was moving in
// but the staging folder holding its rest is gone.
void RecoverInterruptedSwap(const std::string& clientDir,
                            const std::vector<std::string>& keepInPlace);
