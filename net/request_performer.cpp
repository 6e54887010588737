#include "net/request_performer.h"

#include <string>

#include "net/curl_handles.h"
#include "net/transfer_policy.h"

namespace {

constexpr char kUserAgent[] = "httpRequest/1.0";
constexpr char kFormContentType[] = "Content-type: application/x-www-form-urlencoded";
constexpr char kJsonContentType[] = "Content-type: application/json; charset=utf-8";
// An empty header turns off libcurl's "Expect: 100-continue" for larger bodies: the body goes
// out with the request, as every HTTP client of the launcher sends it.
constexpr char kNoExpect[] = "Expect:";
constexpr long kConnectTimeoutMs = 60000;
// An answer that delivers less than one byte per second for this long has stalled.
constexpr long kStallSeconds = 30;

size_t AppendBody(char* data, size_t size, size_t count, void* user) {
    auto* response = static_cast<std::string*>(user);
    try {
        response->append(data, size * count);
    } catch (...) {
        return 0;  // out of memory: libcurl ends the exchange as failed
    }
    return size * count;
}

bool IsKnownKind(int kind) {
    return kind == Get || kind == PostForm || kind == PostJson;
}

// The verb, the body and the content-type header of the request's kind.
bool SetKindOptions(CURL* easy, const WebNetRequest& request, CurlList& headers) {
    if (request.kind == Get) {
        return curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L) == CURLE_OK;
    }
    const char* contentType = request.kind == PostForm ? kFormContentType : kJsonContentType;
    return AppendCurlList(headers, contentType) && AppendCurlList(headers, kNoExpect) &&
           curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.get()) == CURLE_OK &&
           curl_easy_setopt(easy, CURLOPT_POST, 1L) == CURLE_OK &&
           curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                            static_cast<curl_off_t>(request.body.size())) == CURLE_OK &&
           curl_easy_setopt(easy, CURLOPT_POSTFIELDS, request.body.data()) == CURLE_OK;
}

}  // namespace

void PerformRequest(WebNetRequest& request) {
    request.completed = false;
    request.status = 0;
    request.PrepareUrl();
    if (!request.UrlWithinLimit() || !IsKnownKind(request.kind)) {
        return;
    }
    // The lists outlive the handle that refers to them.
    std::optional<CurlList> connectTo;
    CurlList headers;
    const CurlEasy easy = NewCurlEasy();
    if (!easy) {
        return;
    }
    connectTo = ApplyTransferPolicy(easy.get(), request.url);
    const bool ready =
        connectTo && SetKindOptions(easy.get(), request, headers) &&
        curl_easy_setopt(easy.get(), CURLOPT_USERAGENT, kUserAgent) == CURLE_OK &&
        curl_easy_setopt(easy.get(), CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs) == CURLE_OK &&
        curl_easy_setopt(easy.get(), CURLOPT_LOW_SPEED_LIMIT, 1L) == CURLE_OK &&
        curl_easy_setopt(easy.get(), CURLOPT_LOW_SPEED_TIME, kStallSeconds) == CURLE_OK &&
        curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, &AppendBody) == CURLE_OK &&
        curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &request.response) == CURLE_OK;
    if (!ready) {
        return;
    }
    const CURLcode result = curl_easy_perform(easy.get());
    long status = 0;
    if (curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status) == CURLE_OK) {
        request.status = status;
    }
    request.completed = result == CURLE_OK;
}
