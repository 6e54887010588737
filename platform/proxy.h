#pragma once
// The proxy each request of the launcher takes: the one the player's own system settings give
// for its URL. On Windows that is Internet Options (a fixed server with its bypass list, an
// automatic configuration script, automatic detection), else the WinHTTP machine proxy; on
// POSIX, libcurl's environment variables. In a sandbox no proxy is used unless the profile has
// the line "proxy host", so that nothing outside the profile is reached.

#include <string>

#include "platform/proxy_rules.h"

namespace platform {

// The route for the URL, resolved once per URL for the whole run (an automatic configuration
// script may take seconds to fetch and run) and named once on the diagnostic output. Safe from
// any thread.
ProxyRoute ProxyRouteFor(const std::string& url);

// The host's own answer, without the sandbox rule or the memory of earlier answers.
ProxyRoute HostProxyRoute(const std::string& url);

}  // namespace platform
