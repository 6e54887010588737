#include "net/transfer_policy.h"

#include "platform/host_facts.h"
#include "platform/text.h"

namespace {

constexpr long kMaxRedirects = 10;

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
    ok = curl_easy_setopt(easy, CURLOPT_CONNECT_TO, connectTo.get()) == CURLE_OK;
    // An empty proxy name turns proxies off, those named by the environment included.
    if (facts->sandboxed) {
        ok = ok && curl_easy_setopt(easy, CURLOPT_PROXY, "") == CURLE_OK;
    }
    if (!ok) {
        return std::nullopt;
    }
    return connectTo;
}
