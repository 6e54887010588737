#include "platform/proxy.h"

namespace platform {

// libcurl reads http_proxy, https_proxy, all_proxy and no_proxy itself, as every POSIX tool does.
ProxyRoute HostProxyRoute(const std::string&) {
    ProxyRoute route;
    route.via = ProxyRoute::Via::Environment;
    return route;
}

}  // namespace platform
