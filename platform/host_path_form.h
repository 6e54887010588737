#pragma once
// How the host writes its own paths: the host half of the translation in paths.h. POSIX writes
// /a/b; Windows writes X:\a\b (a sandbox's host folders too, for example Z:\tmp\sb\d).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Whether the character separates the components of a host path ('/'; on Windows '\' too).
bool IsHostSeparator(char c);

// Whether the path is absolute in host form ("/..." on POSIX, "X:\..." on Windows).
bool IsAbsoluteHostPath(std::string_view path);

// Writes components of an absolute host path (as PathComponents gives them) back as one
// normalised path: "/" and "/a/b"; "X:\" and "X:\a\b". nullopt when they begin no absolute path
// (on Windows: the first is not a drive "X:").
std::optional<std::string> JoinHostComponents(const std::vector<std::string_view>& parts);

// Whether two components name the same entry (on Windows, ASCII letters without regard to case).
bool SameHostName(std::string_view a, std::string_view b);

}  // namespace platform
