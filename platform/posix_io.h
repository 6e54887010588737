#pragma once
// Small POSIX helpers shared by the platform layer's host implementations.

#include <string_view>

#include "platform/descriptor.h"

namespace platform {

// Gives the owner write permission on the entry `name` of the folder `dirFd` (AT_FDCWD: a path),
// keeping its other bits: what clearing a file's read-only attribute means on POSIX. A symbolic
// link is left as it is and its target untouched (false), also one swapped in meanwhile.
bool AddOwnerWriteAt(int dirFd, const char* name);

// Writes all bytes to the descriptor, going on after interrupted and partial writes. False when
// a write fails (errno tells why).
bool WriteAll(int fd, std::string_view bytes);

}  // namespace platform
