#pragma once
// Small helpers on files, the launcher's own location and text conversion. Paths are narrow
// Windows-form strings (see platform/paths.h).

#include <string>

// Configuration and server texts are small; a file beyond this size counts as unreadable.
inline constexpr size_t kMaxTextFileBytes = 64u << 20;

// The whole content of a text file, with each CR LF read as LF (as a text-mode read does) and
// cut at the first NUL byte; the empty string when the file cannot be read.
std::string ReadFileText(const std::string& path);

// The directory of the running executable, ending in a backslash (D:\Games\ for
// D:\Games\setup.exe); empty when the executable's path cannot be read.
std::string GetModuleDir();

// Narrow to wide, with one and the same code page for sizing and converting: any valid narrow
// path or URL, ASCII or not, comes out unchanged.
std::wstring ToWide(const std::string& narrow);
