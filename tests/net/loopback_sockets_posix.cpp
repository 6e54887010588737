#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "tests/net/loopback_sockets.h"

namespace tolbe_test::loopback {
namespace {

sockaddr_in LoopbackAddress(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    return address;
}

}  // namespace

Socket Listen(int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        throw std::runtime_error("socket failed");
    }
    sockaddr_in address = LoopbackAddress(0);
    socklen_t length = sizeof(address);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        throw std::runtime_error("cannot listen on loopback");
    }
    port = ntohs(address.sin_port);
    return fd;
}

Socket Accept(Socket listener) {
    for (;;) {
        const int fd = ::accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0 || errno != EINTR) {
            return fd < 0 ? kNoSocket : fd;
        }
    }
}

void Knock(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = LoopbackAddress(port);
    ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    ::close(fd);
}

long Receive(Socket socket, char* data, size_t size) {
    return ::recv(static_cast<int>(socket), data, size, 0);
}

long Send(Socket socket, const char* data, size_t size) {
    return ::send(static_cast<int>(socket), data, size, MSG_NOSIGNAL);
}

void CloseOrderly(Socket socket) {
    ::shutdown(static_cast<int>(socket), SHUT_WR);
    ::close(static_cast<int>(socket));
}

void CloseWithReset(Socket socket) {
    const linger abortive{1, 0};
    ::setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_LINGER, &abortive, sizeof(abortive));
    ::close(static_cast<int>(socket));
}

void Close(Socket socket) {
    ::close(static_cast<int>(socket));
}

}  // namespace tolbe_test::loopback
