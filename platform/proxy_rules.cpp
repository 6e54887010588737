#include "platform/proxy_rules.h"

#include <cctype>
#include <vector>

namespace platform {
namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower;
}

std::string_view Trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The non-empty pieces of `text` between any of the separators.
std::vector<std::string_view> Split(std::string_view text, std::string_view separators) {
    std::vector<std::string_view> pieces;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of(separators, start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view piece = Trim(text.substr(start, end - start));
        if (!piece.empty()) {
            pieces.push_back(piece);
        }
        start = end + 1;
    }
    return pieces;
}

std::optional<int> ParsePort(std::string_view text) {
    if (text.empty() || text.size() > 5) {
        return std::nullopt;
    }
    int port = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        port = port * 10 + (c - '0');
    }
    if (port < 1 || port > 65535) {
        return std::nullopt;
    }
    return port;
}

// Where the port of "host:port" or "[v6]:port" begins (after its colon), or npos.
size_t PortStart(std::string_view hostPort) {
    if (!hostPort.empty() && hostPort.front() == '[') {
        const size_t close = hostPort.find(']');
        if (close == std::string_view::npos || close + 1 >= hostPort.size() ||
            hostPort[close + 1] != ':') {
            return std::string_view::npos;
        }
        return close + 2;
    }
    const size_t colon = hostPort.rfind(':');
    return colon == std::string_view::npos ? colon : colon + 1;
}

int DefaultProxyPort(std::string_view scheme) {
    if (scheme == "https") {
        return 443;
    }
    return scheme.substr(0, 5) == "socks" ? 1080 : 80;
}

// A proxy server as libcurl takes it: "scheme://host:port", the port always written (libcurl
// would assume 1080 where Windows assumes 80). nullopt for text that names no server.
std::optional<std::string> ProxyAddress(std::string_view value, std::string scheme) {
    value = Trim(value);
    const size_t separator = value.find("://");
    if (separator != std::string_view::npos) {
        scheme = Lower(value.substr(0, separator));
        value.remove_prefix(separator + 3);
        if (scheme == "socks") {
            scheme = "socks4";
        }
        if (scheme != "http" && scheme != "https" && scheme != "socks4" && scheme != "socks4a" &&
            scheme != "socks5" && scheme != "socks5h") {
            return std::nullopt;
        }
    }
    while (!value.empty() && value.back() == '/') {
        value.remove_suffix(1);
    }
    if (value.empty() || value.front() == ':') {
        return std::nullopt;
    }
    for (const char c : value) {
        if (!std::isalnum(static_cast<unsigned char>(c)) &&
            std::string_view(".-_:[]").find(c) == std::string_view::npos) {
            return std::nullopt;
        }
    }
    const size_t portStart = PortStart(value);
    if (portStart == std::string_view::npos) {
        if (value.front() != '[' && value.find(':') != std::string_view::npos) {
            return std::nullopt;
        }
        return scheme + "://" + std::string(value) + ":" + std::to_string(DefaultProxyPort(scheme));
    }
    if (!ParsePort(value.substr(portStart)) || portStart < 2) {
        return std::nullopt;
    }
    return scheme + "://" + std::string(value);
}

ProxyRoute ThroughProxy(std::string address) {
    ProxyRoute route;
    route.via = ProxyRoute::Via::Proxy;
    route.proxy = std::move(address);
    route.logonCredentials = true;
    return route;
}

// '*' stands for any run of characters; everything else matches itself.
bool WildcardMatch(std::string_view pattern, std::string_view text) {
    size_t p = 0;
    size_t t = 0;
    size_t star = std::string_view::npos;
    size_t resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = t;
        } else if (p < pattern.size() && pattern[p] == text[t]) {
            ++p;
            ++t;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

bool EntryMatches(std::string_view entry, const UrlTarget& target) {
    const std::string lower = Lower(entry);
    std::string_view pattern = lower;
    if (pattern == "<local>") {
        return target.host.find('.') == std::string::npos && target.host.front() != '[';
    }
    const size_t separator = pattern.find("://");
    if (separator != std::string_view::npos) {
        if (pattern.substr(0, separator) != target.scheme) {
            return false;
        }
        pattern.remove_prefix(separator + 3);
    }
    const size_t portStart = PortStart(pattern);
    if (portStart != std::string_view::npos) {
        const std::string_view port = pattern.substr(portStart);
        if (port != "*" && ParsePort(port) != target.port) {
            return false;
        }
        pattern = pattern.substr(0, portStart - 1);
    }
    if (pattern.empty()) {
        return false;
    }
    if (pattern.front() == '.') {
        return WildcardMatch("*" + std::string(pattern), target.host);
    }
    return WildcardMatch(pattern, target.host);
}

}  // namespace

std::optional<UrlTarget> TargetOfUrl(std::string_view url) {
    const size_t separator = url.find("://");
    if (separator == std::string_view::npos) {
        return std::nullopt;
    }
    UrlTarget target;
    target.scheme = Lower(url.substr(0, separator));
    if (target.scheme != "http" && target.scheme != "https") {
        return std::nullopt;
    }
    std::string_view authority = url.substr(separator + 3);
    authority = authority.substr(0, authority.find_first_of("/?#"));
    const size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
        authority.remove_prefix(at + 1);
    }
    target.port = target.scheme == "https" ? 443 : 80;
    const size_t portStart = PortStart(authority);
    std::string_view host = authority;
    if (portStart != std::string_view::npos) {
        const auto port = ParsePort(authority.substr(portStart));
        if (!port) {
            return std::nullopt;
        }
        target.port = *port;
        host = authority.substr(0, portStart - 1);
    }
    if (host.empty()) {
        return std::nullopt;
    }
    target.host = Lower(host);
    return target;
}

bool IsLoopbackTarget(const UrlTarget& target) {
    const std::string& host = target.host;
    constexpr std::string_view kLocalhost = "localhost";
    if (host == kLocalhost || host == "[::1]" ||
        (host.size() > kLocalhost.size() + 1 &&
         host.compare(host.size() - kLocalhost.size() - 1, std::string::npos, ".localhost") == 0)) {
        return true;
    }
    return host.compare(0, 4, "127.") == 0 &&
           host.find_first_not_of("0123456789.") == std::string::npos;
}

bool BypassesProxy(std::string_view bypass, const UrlTarget& target) {
    for (const std::string_view entry : Split(bypass, "; \t\r\n")) {
        if (EntryMatches(entry, target)) {
            return true;
        }
    }
    return false;
}

ProxyRoute FixedProxyRoute(std::string_view servers, std::string_view bypass,
                           std::string_view url) {
    const auto target = TargetOfUrl(url);
    if (!target || IsLoopbackTarget(*target) || BypassesProxy(bypass, *target)) {
        return ProxyRoute{};
    }
    std::optional<std::string> forScheme;
    std::optional<std::string> forAll;
    std::optional<std::string> socks;
    for (const std::string_view entry : Split(servers, "; \t\r\n")) {
        const size_t equals = entry.find('=');
        const size_t separator = entry.find("://");
        if (equals == std::string_view::npos ||
            (separator != std::string_view::npos && separator < equals)) {
            if (!forAll) {
                forAll = ProxyAddress(entry, "http");
            }
            continue;
        }
        const std::string scheme = Lower(Trim(entry.substr(0, equals)));
        const std::string_view value = entry.substr(equals + 1);
        if (scheme == target->scheme && !forScheme) {
            forScheme = ProxyAddress(value, "http");
        } else if (scheme == "socks" && !socks) {
            socks = ProxyAddress(value, "socks4");
        }
    }
    for (const auto* address : {&forScheme, &forAll, &socks}) {
        if (*address) {
            return ThroughProxy(**address);
        }
    }
    return ProxyRoute{};
}

ProxyRoute RouteOfProxyList(std::string_view list) {
    for (const std::string_view entry : Split(list, ";")) {
        const std::vector<std::string_view> words = Split(entry, " \t\r\n");
        const std::string keyword = Lower(words.front());
        std::optional<std::string> address;
        if (keyword == "direct") {
            return ProxyRoute{};
        } else if (keyword == "proxy" || keyword == "http") {
            address = words.size() == 2 ? ProxyAddress(words[1], "http") : std::nullopt;
        } else if (keyword == "https") {
            address = words.size() == 2 ? ProxyAddress(words[1], "https") : std::nullopt;
        } else if (keyword == "socks" || keyword == "socks4") {
            address = words.size() == 2 ? ProxyAddress(words[1], "socks4") : std::nullopt;
        } else if (keyword == "socks5") {
            address = words.size() == 2 ? ProxyAddress(words[1], "socks5") : std::nullopt;
        } else if (words.size() > 1 && words[0].find_first_of(":.") == std::string_view::npos) {
            continue;  // a kind of entry the launcher does not know
        } else {
            // WinHTTP's own list: servers only, separated by blanks as well.
            for (const std::string_view server : words) {
                if ((address = ProxyAddress(server, "http"))) {
                    break;
                }
            }
        }
        if (address) {
            return ThroughProxy(*address);
        }
    }
    return ProxyRoute{};
}

std::string DescribeRoute(const ProxyRoute& route) {
    switch (route.via) {
        case ProxyRoute::Via::Proxy:
            return route.proxy;
        case ProxyRoute::Via::Environment:
            return "ENVIRONMENT";
        case ProxyRoute::Via::Direct:
            break;
    }
    return "DIRECT";
}

}  // namespace platform
