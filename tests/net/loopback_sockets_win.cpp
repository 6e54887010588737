#include <winsock2.h>
#include <ws2tcpip.h>

#include <stdexcept>

#include "tests/net/loopback_sockets.h"

namespace tolbe_test::loopback {
namespace {

// Winsock is started once, before the first socket, and stays for the test program's life.
void StartWinsock() {
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started) {
        throw std::runtime_error("WSAStartup failed");
    }
}

sockaddr_in LoopbackAddress(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(port));
    return address;
}

// Winsock counts in int.
int Chunk(size_t size) {
    return size > (1u << 30) ? (1 << 30) : static_cast<int>(size);
}

}  // namespace

Socket Listen(int& port) {
    StartWinsock();
    // Not inherited by the programs a test starts.
    const SOCKET socket = ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                                       WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (socket == INVALID_SOCKET) {
        throw std::runtime_error("socket failed");
    }
    sockaddr_in address = LoopbackAddress(0);
    int length = sizeof(address);
    if (::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(socket, 16) != 0 ||
        ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::closesocket(socket);
        throw std::runtime_error("cannot listen on loopback");
    }
    port = ntohs(address.sin_port);
    return static_cast<Socket>(socket);
}

Socket Accept(Socket listener) {
    const SOCKET socket = ::accept(static_cast<SOCKET>(listener), nullptr, nullptr);
    return socket == INVALID_SOCKET ? kNoSocket : static_cast<Socket>(socket);
}

void Knock(int port) {
    StartWinsock();
    const SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    const sockaddr_in address = LoopbackAddress(port);
    ::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    ::closesocket(socket);
}

long Receive(Socket socket, char* data, size_t size) {
    return ::recv(static_cast<SOCKET>(socket), data, Chunk(size), 0);
}

long Send(Socket socket, const char* data, size_t size) {
    return ::send(static_cast<SOCKET>(socket), data, Chunk(size), 0);
}

void CloseOrderly(Socket socket) {
    ::shutdown(static_cast<SOCKET>(socket), SD_SEND);
    ::closesocket(static_cast<SOCKET>(socket));
}

void CloseWithReset(Socket socket) {
    const linger abortive{1, 0};
    ::setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_LINGER,
                 reinterpret_cast<const char*>(&abortive), sizeof(abortive));
    ::closesocket(static_cast<SOCKET>(socket));
}

void Close(Socket socket) {
    ::closesocket(static_cast<SOCKET>(socket));
}

}  // namespace tolbe_test::loopback
