#include "tests/net/loopback_proxy.h"

#include <algorithm>

namespace tolbe_test {
namespace {

// The path (with query) of an absolute http:// target; empty for anything else.
std::string PathOf(const std::string& target) {
    const std::string scheme = "http://";
    if (target.compare(0, scheme.size(), scheme) != 0) {
        return {};
    }
    const size_t slash = target.find('/', scheme.size());
    return slash == std::string::npos ? "/" : target.substr(slash);
}

}  // namespace

LoopbackProxy::LoopbackProxy(int targetPort, Mode mode) : m_targetPort(targetPort), m_mode(mode) {
    m_server = std::make_unique<LoopbackHttpServer>([this](httplib::Server& server) {
        server.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
            const std::string& target = request.target;
            {
                std::lock_guard<std::mutex> hold(m_lock);
                m_requests.push_back(target);
            }
            if (m_mode == Mode::DemandCredentials) {
                response.status = 407;
                response.set_header("Proxy-Authenticate", "Negotiate");
                response.set_header("Proxy-Authenticate", "NTLM");
                response.set_content("proxy authentication required", "text/plain");
                return;
            }
            const std::string path = PathOf(target);
            if (path.empty()) {
                response.status = 400;  // an origin-form request: not for a proxy
                return;
            }
            httplib::Client origin("127.0.0.1", m_targetPort);
            const auto answer = origin.Get(path.c_str());
            if (!answer) {
                response.status = 502;
                return;
            }
            response.status = answer->status;
            response.set_content(answer->body, "application/octet-stream");
        });
    });
}

std::vector<std::string> LoopbackProxy::Requests() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_requests;
}

int LoopbackProxy::RequestsFor(const std::string& url) const {
    std::lock_guard<std::mutex> hold(m_lock);
    return static_cast<int>(std::count(m_requests.begin(), m_requests.end(), url));
}

}  // namespace tolbe_test
