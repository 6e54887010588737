#pragma once
// Small POSIX helpers shared by the platform layer's host implementations.

#include <string_view>

namespace platform {

// Writes all bytes to the descriptor, going on after interrupted and partial writes. False when
// a write fails (errno tells why).
bool WriteAll(int fd, std::string_view bytes);

}  // namespace platform
