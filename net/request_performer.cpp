#include "net/request_performer.h"

#include <chrono>
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
// A timeout this close to a request's deadline is the deadline's.
constexpr long kDeadlineSlackMs = 100;

// One piece of the body. Returning less than it was given makes libcurl end the exchange.
size_t AppendBody(char* data, size_t size, size_t count, void* user) {
    auto* request = static_cast<WebNetRequest*>(user);
    const size_t bytes = size * count;
    const size_t cap = request->maxResponseBytes;
    if (cap > 0 && (request->response.size() > cap || bytes > cap - request->response.size())) {
        request->responseTooLarge = true;  // nothing of the piece that would pass the cap is kept
        return 0;
    }
    try {
        request->response.append(data, bytes);
    } catch (...) {
        return 0;  // out of memory: libcurl ends the exchange as failed
    }
    return bytes;
}

// The deadline and the cap, where the request sets them. A body announced longer than the cap
// is refused before any of it is read.
bool SetLimitOptions(CURL* easy, const WebNetRequest& request) {
    if (request.deadlineMs > 0 &&
        curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, request.deadlineMs) != CURLE_OK) {
        return false;
    }
    return request.maxResponseBytes == 0 ||
           curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE,
                            static_cast<curl_off_t>(request.maxResponseBytes)) == CURLE_OK;
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
    request.responseTooLarge = false;
    request.timedOut = false;
    request.proxyRefused = false;
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
        SetLimitOptions(easy.get(), request) &&
        curl_easy_setopt(easy.get(), CURLOPT_USERAGENT, kUserAgent) == CURLE_OK &&
        curl_easy_setopt(easy.get(), CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs) == CURLE_OK &&
        curl_easy_setopt(easy.get(), CURLOPT_LOW_SPEED_LIMIT, 1L) == CURLE_OK &&
        curl_easy_setopt(easy.get(), CURLOPT_LOW_SPEED_TIME, kStallSeconds) == CURLE_OK &&
        curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, &AppendBody) == CURLE_OK &&
        curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &request) == CURLE_OK;
    if (!ready) {
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    const CURLcode result = curl_easy_perform(easy.get());
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    long status = 0;
    if (curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status) == CURLE_OK) {
        request.status = status;
    }
    request.proxyRefused = ProxyRefusedCredentials(easy.get(), result);
    request.completed = result == CURLE_OK && !request.proxyRefused;
    if (result == CURLE_FILESIZE_EXCEEDED) {
        request.responseTooLarge = true;
    }
    // The connect timeout and the stall rule end an exchange with the same code; the deadline
    // is what ended it when the deadline had all but passed (libcurl's timer may fire a
    // millisecond before this thread's clock has reached it).
    if (result == CURLE_OPERATION_TIMEDOUT && request.deadlineMs > 0 &&
        elapsed.count() >= request.deadlineMs - kDeadlineSlackMs) {
        request.timedOut = true;
    }
}
