#pragma once
// Small POSIX helpers shared by the platform layer's host implementations.

#include <string_view>

namespace platform {

// Owns a file descriptor: closes it when the object goes (-1: none).
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor() { Close(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    // Closes now and reports whether the close succeeded (it can report a failed write). True
    // when there was nothing to close.
    bool Close();
    // Hands the descriptor over to the caller, who closes it from now on.
    int Release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

// Gives the owner write permission on the entry `name` of the folder `dirFd` (AT_FDCWD: a path),
// keeping its other bits: what clearing a file's read-only attribute means on POSIX. A symbolic
// link is left as it is and its target untouched (false), also one swapped in meanwhile.
bool AddOwnerWriteAt(int dirFd, const char* name);

// Writes all bytes to the descriptor, going on after interrupted and partial writes. False when
// a write fails (errno tells why).
bool WriteAll(int fd, std::string_view bytes);

}  // namespace platform
