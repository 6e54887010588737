#pragma once
// How Windows picks the proxy for one URL, as pure functions of the settings' text, so that the
// rules are tested on every host: a fixed proxy server with its bypass list (Internet Options'
// ProxyServer and ProxyOverride, or the WinHTTP machine proxy), and the answer of an automatic
// configuration script.

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// How one URL's requests reach its server.
struct ProxyRoute {
    enum class Via {
        Direct,       // straight to the server, whatever the environment says
        Proxy,        // through `proxy`
        Environment,  // as libcurl's environment variables say (http_proxy, no_proxy, ...)
    };
    Via via = Via::Direct;
    std::string proxy;  // libcurl's form with its scheme and port: "http://10.0.0.1:8080"
    // A proxy that asks for credentials (407) gets the player's own Windows logon, silently.
    bool logonCredentials = false;

    bool operator==(const ProxyRoute& other) const {
        return via == other.via && proxy == other.proxy &&
               logonCredentials == other.logonCredentials;
    }
};

// What a proxy setting is compared with: the scheme and host of an http:// or https:// URL
// (lower case, an IPv6 host in brackets) and its port (the scheme's own when the URL has none).
struct UrlTarget {
    std::string scheme;
    std::string host;
    int port = 0;
};
std::optional<UrlTarget> TargetOfUrl(std::string_view url);

// The route a fixed setting gives the URL. `servers` is "host:port" for every scheme, or
// per-scheme entries "http=host:port;https=host:port;socks=host:port" (a scheme without an entry
// goes through the socks entry when there is one, else direct); `bypass` is the ProxyOverride
// list. Loopback hosts and URLs the list names go direct, as do URLs that are not http(s).
ProxyRoute FixedProxyRoute(std::string_view servers, std::string_view bypass, std::string_view url);

// True when the bypass list sends the target straight to its server: entries separated by ';',
// each a host pattern with '*' wildcards (optionally with "scheme://" before and ":port" after
// it, which must then match too; a leading '.' means "*."), or <local>: a host name without a dot.
bool BypassesProxy(std::string_view bypass, const UrlTarget& target);

// Hosts that never go through a proxy, as Windows' own clients treat them: localhost and
// names below it, 127.0.0.0/8 and [::1].
bool IsLoopbackTarget(const UrlTarget& target);

// The first usable entry of a proxy list: a script's answer ("PROXY a:1; DIRECT", with HTTP,
// HTTPS, SOCKS, SOCKS4 and SOCKS5 entries) or WinHTTP's list of servers ("a:1;b:2" or "a:1 b:2").
// DIRECT, an empty list, or one with no entry the launcher can use, is the direct route.
ProxyRoute RouteOfProxyList(std::string_view list);

// One line for the diagnostics: "DIRECT", "ENVIRONMENT" or the proxy's address.
std::string DescribeRoute(const ProxyRoute& route);

}  // namespace platform
