#include "platform/proxy.h"

#include <map>
#include <mutex>

#include "platform/debug_output.h"
#include "platform/host_facts.h"

namespace platform {
namespace {

// A run asks for a handful of URLs; a map this large is no longer a memory of them.
constexpr size_t kMaxRemembered = 64;

std::mutex routesLock;
std::map<std::string, ProxyRoute> routes;

}  // namespace

ProxyRoute ProxyRouteFor(const std::string& url) {
    const auto facts = Host();
    if (facts->sandboxed && !facts->hostProxy) {
        return ProxyRoute{};
    }
    {
        std::lock_guard<std::mutex> hold(routesLock);
        const auto known = routes.find(url);
        if (known != routes.end()) {
            return known->second;
        }
    }
    // Resolved outside the lock: a slow script holds up no other URL.
    const ProxyRoute route = HostProxyRoute(url);
    {
        std::lock_guard<std::mutex> hold(routesLock);
        if (routes.size() >= kMaxRemembered) {
            routes.clear();
        }
        routes.emplace(url, route);
    }
    // libcurl's own reading of the environment needs no word; a choice the launcher made does.
    if (route.via != ProxyRoute::Via::Environment) {
        DebugOutput("proxy for " + url + ": " + DescribeRoute(route) + "\r\n");
    }
    return route;
}

}  // namespace platform
