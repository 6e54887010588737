#pragma once
// Windows-form paths inside, host paths outside.
//
// The launcher builds and compares paths in Windows form (D:\Tolbe\game.exe, D:\Client.zip),
// because stored files, shortcuts and the install layout depend on them. Only the platform layer
// turns them into host paths:
//
//   X:\a\b            <root of drive X>/a/b   ('\' and '/' both separate; repeats count as one)
//   \a\b              on the drive that holds the current directory
//   a\b               relative to the current directory, which must lie on a drive
//   \\?\unix\home\me  /home/me: a host path outside every drive
//
// On Windows the host paths are Windows paths themselves. Without a sandbox profile every drive
// is its own root (D:\a is D:\a); under a profile a drive maps to the host folder the profile
// gives in Windows form (D:\a is Z:\tmp\sb\d\a), and a host path outside every such drive is
// written \\?\host\ followed by it (\\?\host\Z:\work\launcher.exe). A ':' is never part of a
// name there, so that no path reaches an alternate data stream.
//
// "." and ".." are resolved by name and never climb above a drive's root, as on Windows.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/drive_facts.h"

// windows.h, when included before this header, maps GetModuleFileName to the ANSI
// function of Windows; the launcher's own functions keep their names.
#ifdef GetModuleFileName
#undef GetModuleFileName
#endif

namespace platform {

enum class PathForm { Host, Windows };

// The components of a path: split at '/' (a host path) or at '\\' and '/' (a Windows-form path),
// without empty and "." components; ".." removes the component before it and never climbs above
// the top. *climbed, when given, tells whether any ".." was met.
std::vector<std::string_view> PathComponents(std::string_view path, PathForm form,
                                             bool* climbed = nullptr);

// Lexically normalises an absolute host path: repeated slashes become one, "." components and a
// trailing slash go. Returns nullopt for a relative path or one with a ".." component.
std::optional<std::string> NormalizeHostRoot(std::string_view path);

// The prefix of a Windows-form path that names a host path outside every drive.
#ifdef _WIN32
inline constexpr char kHostPathPrefix[] = R"(\\?\host\)";
#else
inline constexpr char kHostPathPrefix[] = R"(\\?\unix\)";
#endif

// The name components below the drive part ("X:" or the kHostPathPrefix) of a Windows-form path;
// for a relative path, all of them.
std::vector<std::string_view> NamesBelowDrive(std::string_view windowsPath);

// Pure translation with an explicit drive table and current directory (an absolute host path).
// Returns nullopt when the path names no drive of the table (an unknown letter, a UNC or device
// path, a drive-less path while the current directory lies on no drive, an embedded NUL).
std::optional<std::string> MapToHostPath(std::string_view windowsPath,
                                         const std::vector<DriveFacts>& drives,
                                         std::string_view hostCwd);

// Pure translation of an absolute host path to Windows form: on the drive whose root holds it
// (the deepest such root), else under kHostPathPrefix.
std::string MapToWindowsPath(std::string_view hostPath, const std::vector<DriveFacts>& drives);

// The drive whose root holds the absolute host path (the deepest one), or nullptr.
const DriveFacts* FindDriveHolding(std::string_view hostPath,
                                   const std::vector<DriveFacts>& drives);

// The same with the host facts in force and the process's current directory.
std::optional<std::string> ToHostPath(std::string_view windowsPath);
std::string ToWindowsPath(std::string_view hostPath);

// The running executable's full path in Windows form (GetModuleFileNameW on Windows).
std::string GetModuleFileName();

}  // namespace platform
