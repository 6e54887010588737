#pragma once
// Whole-file reading and safe replacement of small files, on Windows-form paths.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The whole content of a regular file, or nullopt when the path maps to no host path, is not a
// regular file, cannot be read, or is larger than maxBytes (errno then tells which).
std::optional<std::string> ReadWholeFile(std::string_view windowsPath, size_t maxBytes);
std::optional<std::string> ReadWholeHostFile(const std::string& hostPath, size_t maxBytes);

// Replaces the file's content with `bytes` so that a crash, a full disk or any other failure
// leaves either the old file or the new one, never a mixture: the bytes go to a temporary file
// in the same directory, are flushed to disk, and the temporary file is renamed over the old
// one. A new file gets the usual permissions (0666 less the umask). False when anything fails;
// the old file is then untouched, no temporary file is left, and errno tells the cause.
bool ReplaceFile(std::string_view windowsPath, std::string_view bytes);
bool ReplaceHostFile(const std::string& hostPath, std::string_view bytes);

}  // namespace platform
