#pragma once
// Loopback servers for the networking tests: cpp-httplib for well-formed answers, and a raw
// socket server for the answers a well-behaved server never gives (a reset in the middle of a
// body, a body shorter than announced, a request line too long for cpp-httplib).

#include <httplib.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tests/net/loopback_sockets.h"

namespace tolbe_test {

// A cpp-httplib server on 127.0.0.1 (a free port), serving on its own thread while it lives.
class LoopbackHttpServer {
public:
    enum class Transport { Plain, TlsSelfSigned };

    // `routes` registers the handlers before the server starts listening. TlsSelfSigned serves
    // HTTPS with a certificate for `tlsName` that no authority has signed (where the test
    // server has TLS: not on Windows, whose tests leave certificates out).
    explicit LoopbackHttpServer(const std::function<void(httplib::Server&)>& routes,
                                Transport transport = Transport::Plain,
                                const std::string& tlsName = "localhost");
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    int port() const { return m_port; }

private:
    std::unique_ptr<httplib::Server> m_server;
    int m_port = 0;
    std::thread m_thread;
};

// A raw TCP server on 127.0.0.1 (a free port). It serves one connection at a time: it reads
// the request head (up to the blank line) and hands the connection to the script, then closes
// it normally unless the script reset it.
class RawHttpServer {
public:
    class Connection {
    public:
        explicit Connection(loopback::Socket socket, std::string head)
            : m_socket(socket), m_head(std::move(head)) {}
        // The request head as received, request line and headers up to the blank line.
        const std::string& head() const { return m_head; }
        // Sends every byte; false when the peer is gone.
        bool Send(std::string_view bytes);
        // Drops the connection with a TCP reset instead of an orderly close.
        void Reset();
        bool open() const { return m_socket != loopback::kNoSocket; }
        // Ends the connection in order, unless it is closed already.
        void Close();

    private:
        loopback::Socket m_socket;
        std::string m_head;
    };
    using Script = std::function<void(Connection&)>;

    explicit RawHttpServer(Script script);
    ~RawHttpServer();
    RawHttpServer(const RawHttpServer&) = delete;
    RawHttpServer& operator=(const RawHttpServer&) = delete;

    int port() const { return m_port; }
    // How many connections were accepted so far.
    int connections() const { return m_connections; }
    // The request heads received so far, in order.
    std::vector<std::string> heads() const;

private:
    void Serve();

    Script m_script;
    loopback::Socket m_listener = loopback::kNoSocket;
    int m_port = 0;
    std::atomic<int> m_connections{0};
    std::atomic<bool> m_stopping{false};
    mutable std::mutex m_headsLock;
    std::vector<std::string> m_heads;
    std::thread m_thread;
};

// A loopback port with nothing listening on it (bound once, then released).
int UnusedLoopbackPort();

// Answers with `body` in chunked transfer coding, `piece` bytes a chunk. The body is read while
// the answer goes out, so it must outlive the server.
void SetChunkedContent(httplib::Response& response, const std::string& body, size_t piece,
                       const std::string& contentType);

}  // namespace tolbe_test
