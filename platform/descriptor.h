#pragma once
// The owner of one file descriptor of the host's C library (on Windows the C runtime's, over a
// Win32 handle), shared by every platform object that holds an open file.

namespace platform {

// Owns a file descriptor: closes it when the object goes (-1: none). Moving hands it over.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor() { Close(); }
    Descriptor(Descriptor&& other) noexcept : m_fd(other.Release()) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            Close();
            m_fd = other.Release();
        }
        return *this;
    }
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

}  // namespace platform
