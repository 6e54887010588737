#include "tests/net/loopback_servers.h"

#ifdef CPPHTTPLIB_OPENSSL_SUPPORT
#include <openssl/evp.h>
#include <openssl/x509.h>
#endif

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace tolbe_test {
namespace {

constexpr size_t kMaxHeadBytes = 1 << 20;

// Reads up to the blank line that ends a request head; what is read is returned either way.
std::string ReadHead(loopback::Socket socket) {
    std::string head;
    char byte = 0;
    while (head.size() < kMaxHeadBytes && head.find("\r\n\r\n") == std::string::npos) {
        if (loopback::Receive(socket, &byte, 1) != 1) {
            break;
        }
        head += byte;
    }
    return head;
}

#ifdef CPPHTTPLIB_OPENSSL_SUPPORT
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
#else
std::unique_ptr<httplib::Server> SelfSignedTlsServer(const std::string&) {
    throw std::runtime_error("the test server has no TLS in this build");
}
#endif

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
    while (!bytes.empty() && open()) {
        const long sent = loopback::Send(m_socket, bytes.data(), bytes.size());
        if (sent <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(sent));
    }
    return open();
}

void RawHttpServer::Connection::Reset() {
    if (open()) {
        loopback::CloseWithReset(m_socket);
        m_socket = loopback::kNoSocket;
    }
}

void RawHttpServer::Connection::Close() {
    if (open()) {
        loopback::CloseOrderly(m_socket);
        m_socket = loopback::kNoSocket;
    }
}

RawHttpServer::RawHttpServer(Script script) : m_script(std::move(script)) {
    m_listener = loopback::Listen(m_port);
    m_thread = std::thread([this] { Serve(); });
}

RawHttpServer::~RawHttpServer() {
    m_stopping = true;
    loopback::Knock(m_port);  // wakes the accept
    m_thread.join();
    loopback::Close(m_listener);
}

std::vector<std::string> RawHttpServer::heads() const {
    std::lock_guard<std::mutex> hold(m_headsLock);
    return m_heads;
}

void RawHttpServer::Serve() {
    while (!m_stopping) {
        const loopback::Socket socket = loopback::Accept(m_listener);
        if (socket == loopback::kNoSocket || m_stopping) {
            if (socket != loopback::kNoSocket) {
                loopback::Close(socket);
            }
            return;
        }
        ++m_connections;
        Connection connection(socket, ReadHead(socket));
        {
            std::lock_guard<std::mutex> hold(m_headsLock);
            m_heads.push_back(connection.head());
        }
        if (m_script) {
            m_script(connection);
        }
        connection.Close();
    }
}

int UnusedLoopbackPort() {
    int port = 0;
    loopback::Close(loopback::Listen(port));
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
