#pragma once
// The few TCP calls of the raw loopback server, on POSIX sockets or on Winsock: a listening
// socket on 127.0.0.1, accepting, byte I/O, and the two ways of ending a connection.

#include <cstddef>
#include <cstdint>

namespace tolbe_test::loopback {

// A socket descriptor of either host (Winsock's are pointer-sized).
using Socket = std::intptr_t;
inline constexpr Socket kNoSocket = -1;

// A listening socket on 127.0.0.1 on a port the system chooses, which `port` receives. Throws
// std::runtime_error when none can be had.
Socket Listen(int& port);

// The next connection to the listening socket; kNoSocket when it fails.
Socket Accept(Socket listener);

// Connects to 127.0.0.1:port and hangs up at once: wakes a thread waiting in Accept.
void Knock(int port);

// Up to `size` bytes received; 0 at the end of the stream, negative on an error.
long Receive(Socket socket, char* data, size_t size);

// Up to `size` bytes sent (a vanished peer is an error, never a signal); negative on an error.
long Send(Socket socket, const char* data, size_t size);

// Ends the connection in order: no more bytes from this side, then the socket is closed.
void CloseOrderly(Socket socket);

// Drops the connection with a TCP reset instead of an orderly close.
void CloseWithReset(Socket socket);

// Closes the socket (a listening one included).
void Close(Socket socket);

}  // namespace tolbe_test::loopback
