#pragma once
// A loopback HTTP site on a free port standing in for the notice server and the archive server:
// each path answers with the status and body last given for it (404 for any other path), and
// the requests of each path are counted.

#include <httplib.h>

#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>

#include "tests/support/wait_until.h"

namespace tolbe_test {

class LoopbackSite {
public:
    LoopbackSite() {
        m_server.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
            std::lock_guard<std::mutex> hold(m_lock);
            ++m_requests[request.path];
            const auto page = m_pages.find(request.path);
            if (page == m_pages.end()) {
                response.status = 404;
                return;
            }
            response.status = page->second.first;
            response.set_content(page->second.second, "application/octet-stream");
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        if (m_port <= 0) {
            throw std::runtime_error("no loopback port for the site");
        }
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        // The socket listens from the bind on; connections wait until the loop accepts them.
        WaitUntil([this] { return m_server.is_running(); }, std::chrono::seconds(10));
    }
    ~LoopbackSite() {
        m_server.stop();
        m_thread.join();
    }
    LoopbackSite(const LoopbackSite&) = delete;
    LoopbackSite& operator=(const LoopbackSite&) = delete;

    int port() const { return m_port; }

    // From now on `path` answers with this status and body.
    void Serve(const std::string& path, int status, std::string body) {
        std::lock_guard<std::mutex> hold(m_lock);
        m_pages[path] = {status, std::move(body)};
    }

    // How many GET requests for `path` have arrived so far.
    int Requests(const std::string& path) const {
        std::lock_guard<std::mutex> hold(m_lock);
        const auto count = m_requests.find(path);
        return count == m_requests.end() ? 0 : count->second;
    }

private:
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
    mutable std::mutex m_lock;
    std::map<std::string, std::pair<int, std::string>> m_pages;
    std::map<std::string, int> m_requests;
};

}  // namespace tolbe_test
