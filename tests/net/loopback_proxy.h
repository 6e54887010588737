#pragma once
// A loopback forward proxy for plain HTTP: it takes requests in absolute form
// ("GET http://notice.tolbe.example/vaskpc.txt"), notes each one, and fetches the path from one
// loopback server whatever host the request names, so that names no resolver knows are reached
// through it alone. It can instead refuse every request for want of credentials, as a proxy
// that asks for a Windows logon and accepts none does.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tests/net/loopback_servers.h"

namespace tolbe_test {

class LoopbackProxy {
public:
    enum class Mode { Forward, DemandCredentials };

    explicit LoopbackProxy(int targetPort, Mode mode = Mode::Forward);

    int port() const { return m_server->port(); }
    // "http://127.0.0.1:PORT", as http_proxy names it.
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port()); }

    // The request targets received so far, in order ("http://cdn.tolbe.example/Client.zip").
    std::vector<std::string> Requests() const;
    // How many of them asked for `url`.
    int RequestsFor(const std::string& url) const;

private:
    int m_targetPort;
    Mode m_mode;
    mutable std::mutex m_lock;
    std::vector<std::string> m_requests;
    std::unique_ptr<LoopbackHttpServer> m_server;  // last: it serves while the rest is there
};

}  // namespace tolbe_test
