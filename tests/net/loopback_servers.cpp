#include "tests/net/loopback_servers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <stdexcept>

namespace tolbe_test {
namespace {

constexpr size_t kMaxHeadBytes = 1 << 20;

// A listening TCP socket on 127.0.0.1 with a port chosen by the system.
int ListenOnLoopback(int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        throw std::runtime_error("socket failed");
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
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

// Reads up to the blank line that ends a request head; what is read is returned either way.
std::string ReadHead(int fd) {
    std::string head;
    char byte = 0;
    while (head.size() < kMaxHeadBytes && head.find("\r\n\r\n") == std::string::npos) {
        if (::recv(fd, &byte, 1, 0) != 1) {
            break;
        }
        head += byte;
    }
    return head;
}

struct KeyDeleter {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertificateDeleter {
    void operator()(X509* certificate) const { X509_free(certificate); }
};

// A server for HTTPS with a fresh key and a certificate for `name` signed by that key itself.
std::unique_ptr<httplib::Server> SelfSignedTlsServer(const std::string& name) {
    std::unique_ptr<EVP_PKEY, KeyDeleter> key(EVP_EC_gen("P-256"));
    std::unique_ptr<X509, CertificateDeleter> certificate(X509_new());
    if (!key || !certificate) {
        throw std::runtime_error("cannot make a test certificate");
    }
    X509_set_version(certificate.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), 1);
    X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(certificate.get()), 24 * 3600);
    X509_NAME* subject = X509_get_subject_name(certificate.get());
    X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(name.c_str()), -1, -1, 0);
    X509_set_issuer_name(certificate.get(), subject);
    X509_set_pubkey(certificate.get(), key.get());
    if (X509_sign(certificate.get(), key.get(), EVP_sha256()) == 0) {
        throw std::runtime_error("cannot sign the test certificate");
    }
    auto server = std::make_unique<httplib::SSLServer>(certificate.get(), key.get());
    if (!server->is_valid()) {
        throw std::runtime_error("cpp-httplib refuses the test certificate");
    }
    return server;
}

}  // namespace

LoopbackHttpServer::LoopbackHttpServer(const std::function<void(httplib::Server&)>& routes,
                                       Transport transport, const std::string& tlsName) {
    m_server = transport == Transport::Plain ? std::make_unique<httplib::Server>()
                                             : SelfSignedTlsServer(tlsName);
    routes(*m_server);
    m_port = m_server->bind_to_any_port("127.0.0.1");
    if (m_port <= 0) {
        throw std::runtime_error("cpp-httplib cannot listen on loopback");
    }
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    // Connections are accepted by the listening socket from bind on; is_running tells that the
    // serving loop has taken over, so that stop() finds it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!m_server->is_running()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            m_server->stop();
            m_thread.join();
            throw std::runtime_error("cpp-httplib did not start serving");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

LoopbackHttpServer::~LoopbackHttpServer() {
    m_server->stop();
    m_thread.join();
}

bool RawHttpServer::Connection::Send(std::string_view bytes) {
    while (!bytes.empty() && m_fd >= 0) {
        const ssize_t sent = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(sent));
    }
    return m_fd >= 0;
}

void RawHttpServer::Connection::Reset() {
    if (m_fd < 0) {
        return;
    }
    const linger abortive{1, 0};
    ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof(abortive));
    ::close(m_fd);
    m_fd = -1;
}

RawHttpServer::RawHttpServer(Script script) : m_script(std::move(script)) {
    m_listenFd = ListenOnLoopback(m_port);
    m_thread = std::thread([this] { Serve(); });
}

RawHttpServer::~RawHttpServer() {
    m_stopping = true;
    ::shutdown(m_listenFd, SHUT_RDWR);  // wakes the accept
    m_thread.join();
    ::close(m_listenFd);
}

std::vector<std::string> RawHttpServer::heads() const {
    std::lock_guard<std::mutex> hold(m_headsLock);
    return m_heads;
}

void RawHttpServer::Serve() {
    while (!m_stopping) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (m_stopping || errno != EINTR) {
                return;
            }
            continue;
        }
        ++m_connections;
        Connection connection(fd, ReadHead(fd));
        {
            std::lock_guard<std::mutex> hold(m_headsLock);
            m_heads.push_back(connection.head());
        }
        if (m_script) {
            m_script(connection);
        }
        if (connection.open()) {
            ::shutdown(connection.fd(), SHUT_WR);
            ::close(connection.fd());
        }
    }
}

int UnusedLoopbackPort() {
    int port = 0;
    ::close(ListenOnLoopback(port));
    return port;
}

void SetChunkedContent(httplib::Response& response, const std::string& body, size_t piece,
                       const std::string& contentType) {
    response.set_chunked_content_provider(
        contentType, [&body, piece](size_t offset, httplib::DataSink& sink) {
            const size_t count = std::min(piece, body.size() - offset);
            sink.write(body.data() + offset, count);
            if (offset + count == body.size()) {
                sink.done();
            }
            return true;
        });
}

}  // namespace tolbe_test
