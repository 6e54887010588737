#pragma once
// One HTTP request of the request service: what to send, and what came back.

#include <cstddef>
#include <map>
#include <string>

struct WebNetRequest;

// What a request or download that a proxy stopped for want of credentials reports.
inline constexpr char kProxyRefusedText[] =
    "the proxy refused the player's Windows credentials (HTTP 407 Proxy Authentication Required)";

// Completion function of a request. Runs on the thread that calls WebNet::DispatchFinished;
// the request (and its response) is destroyed as soon as it returns. Its result is ignored.
using WebNetCallback = bool (*)(WebNetRequest* request);

enum RequestKind : int { Get = 0, PostForm = 1, PostJson = 2 };

// A URL (with its parameters) of this many bytes or more, counting a terminating NUL, is not
// sent: the request ends at once with nothing received.
inline constexpr size_t kMaxUrlBytes = 20480;

struct WebNetRequest {
    WebNetCallback callback = nullptr;
    int kind = Get;  // a RequestKind; any other value sends nothing
    // Get and PostForm: the encoded parameters, rewritten from `params` when the request is
    // performed. PostJson: the JSON text to send, as its creator set it.
    std::string body;
    // The response body, every byte of it as received (also for error statuses, and partial
    // when the exchange broke off).
    std::string response;
    // Absolute http:// or https:// URL. For a Get with parameters, "?" and the encoded
    // parameters are appended to it when the request is performed.
    std::string url;
    std::map<std::string, std::string> params;
    bool completed = false;  // the exchange ran to the end of the body without a transport error
    long status = 0;         // the HTTP status of the answer; 0 when none arrived
    // The longest the whole exchange may take, connecting included, in milliseconds; 0: no limit.
    long deadlineMs = 0;
    // The most body bytes kept; 0: no cap. A body that would pass it ends the exchange at once
    // (and one announced longer is not read at all): `response` then holds at most this many
    // bytes, and memory stays bounded whatever the server sends.
    size_t maxResponseBytes = 0;
    bool responseTooLarge = false;  // set when maxResponseBytes ended the exchange
    bool timedOut = false;          // set when deadlineMs ended the exchange
    bool proxyRefused = false;      // a proxy wanted credentials it did not get or accept

    // Makes the URL and body ready to send: EncodeParams (except for PostJson), then for a Get
    // with a non-empty body appends "?" and the body to `url`. UrlWithinLimit tells afterwards
    // whether the URL may be sent at all.
    void PrepareUrl();

    // Rewrites `body` as key=value pairs over `params` in ascending key order, joined by "&".
    // Nothing is escaped; no parameters give an empty body.
    void EncodeParams();

    // True when `url` with its terminating NUL fits in kMaxUrlBytes bytes.
    bool UrlWithinLimit() const;
};
