#include "net/transfer_policy.h"

#include "platform/host_facts.h"
#include "platform/proxy.h"
#include "platform/text.h"

namespace {

constexpr long kMaxRedirects = 10;
constexpr long kProxyAuthenticationRequired = 407;

bool ApplyProxyRoute(CURL* easy, const platform::ProxyRoute& route) {
    switch (route.via) {
        case platform::ProxyRoute::Via::Environment:
            return true;
        case platform::ProxyRoute::Via::Direct:
            // An empty proxy name turns proxies off, those named by the environment included.
            return curl_easy_setopt(easy, CURLOPT_PROXY, "") == CURLE_OK;
        case platform::ProxyRoute::Via::Proxy:
            break;
    }
    if (curl_easy_setopt(easy, CURLOPT_PROXY, route.proxy.c_str()) != CURLE_OK) {
        return false;
    }
    // An empty user name and password is the logged-on player's own (SSPI), sent only when the
    // proxy asks for them.
    return !route.logonCredentials ||
           (curl_easy_setopt(easy, CURLOPT_PROXYAUTH, CURLAUTH_NEGOTIATE | CURLAUTH_NTLM) ==
                CURLE_OK &&
            curl_easy_setopt(easy, CURLOPT_PROXYUSERPWD, ":") == CURLE_OK);
}

}  // namespace

std::optional<CurlList> ApplyTransferPolicy(CURL* easy, const std::string& url) {
    const bool secure = platform::StartsWithNoCase(url, "https://");
    bool ok = curl_easy_setopt(easy, CURLOPT_URL, url.c_str()) == CURLE_OK &&
              curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
              curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK &&
              curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects) == CURLE_OK &&
              curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR,
                               secure ? "https" : "http,https") == CURLE_OK &&
              curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1) == CURLE_OK &&
              curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
    if (!ok) {
        return std::nullopt;
    }

    const auto facts = platform::Host();
    CurlList connectTo;
    for (const platform::HostRedirect& redirect : facts->hosts) {
        const std::string entry = redirect.fromHost + ":" + std::to_string(redirect.fromPort) +
                                  ":" + redirect.toHost + ":" + std::to_string(redirect.toPort);
        if (!AppendCurlList(connectTo, entry.c_str())) {
            return std::nullopt;
        }
    }
    ok = curl_easy_setopt(easy, CURLOPT_CONNECT_TO, connectTo.get()) == CURLE_OK &&
         ApplyProxyRoute(easy, platform::ProxyRouteFor(url)) &&
         curl_easy_setopt(easy, CURLOPT_SSL_OPTIONS, CURLSSLOPT_REVOKE_BEST_EFFORT) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_PROXY_SSL_OPTIONS, CURLSSLOPT_REVOKE_BEST_EFFORT) ==
             CURLE_OK;
    if (!ok) {
        return std::nullopt;
    }
    return connectTo;
}

bool ProxyRefusedCredentials(CURL* easy, CURLcode result) {
    long status = 0;
    long tunnelStatus = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_getinfo(easy, CURLINFO_HTTP_CONNECTCODE, &tunnelStatus);
    return status == kProxyAuthenticationRequired || tunnelStatus == kProxyAuthenticationRequired ||
           (result == CURLE_AUTH_ERROR && tunnelStatus != 0);
}
