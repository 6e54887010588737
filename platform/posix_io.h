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

// Writes all bytes to the descriptor, going on after interrupted and partial writes. False when
// a write fails (errno tells why).
bool WriteAll(int fd, std::string_view bytes);

}  // namespace platform
