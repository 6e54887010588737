#pragma once
// The pure pieces of the install decision: the search for an existing installation on every
// drive and the version compare.

#include <string>
#include <vector>

// Replaces every occurrence of `from` in `text` by `to`, in place, left to right; the inserted
// text is never searched again. An empty `from` matches nothing (the text stays as it is).
void ReplaceAll(std::string& text, const std::string& from, const std::string& to);

// The path whose presence marks an installation on a drive: driveRoot + clientDir + "\" +
// clientExe, e.g. ProbePath("D:\\", "Tolbe", "t.exe") == "D:\\Tolbe\\t.exe".
std::string ProbePath(const std::string& driveRoot, const std::string& clientDir,
                      const std::string& clientExe);

// The narrow root of every drive in the logical drive list, in list order ("C:\\", "D:\\", ...).
// The list is read with a 100-character buffer; when it does not fit there (25 drives or more),
// it is read again with the room it needs, so that no drive is left out.
std::vector<std::string> LogicalDriveRoots();

// Whether X:\DIR\ (clientDir, a Windows-form path ending in a backslash) is one of the launcher's
// installations: a real folder (not a link) that holds the game executable as a regular file and
// the launcher's own config.zorv (see IsConfigFileIn). Anything else that happens to carry the
// names (a system folder holding a file of the executable's name, a folder left half written,
// a link) is not an installation: it is never removed, replaced or written into.
bool IsLauncherInstallation(const std::string& clientDir, const std::string& clientExe);

// The narrow root ("D:\") of the first drive in the logical drive list that holds an
// installation (IsLauncherInstallation of its X:\DIR\); the empty string when none. Every drive
// of LogicalDriveRoots is searched, whatever its type (fixed, removable, optical, network).
std::string FindInstalledDrive(const std::string& clientDir, const std::string& clientExe);

// Whether the installed version equals the server's: byte-for-byte (case-sensitive, no
// trimming, no numeric reading).
bool SameVersion(const std::string& installed, const std::string& server);
