#pragma once
// How every HTTP transfer of the launcher is set up, the request service's and the downloader's
// alike.

#include <curl/curl.h>

#include <optional>
#include <string>

#include "net/curl_handles.h"

// Sets the transfer's URL and the launcher's transfer policy on a fresh easy handle:
// - only http:// and https:// URLs; redirects are followed (at most 10), never to another
//   scheme than http or https, and from an https:// URL only to https://;
// - HTTP/1.1; no signals (the transfer runs on a worker thread); libcurl's certificate checks
//   stay on;
// - each host line of the sandbox profile becomes a libcurl connect-to entry: a connection to
//   NAME:PORT goes to ADDRESS:PORT instead, while the URL and its Host header stay as written,
//   the way a hosts file redirects;
// - in a sandbox no proxy is used, so nothing outside the profile is reached; otherwise libcurl
//   takes the proxy from the environment (http_proxy, https_proxy, no_proxy).
// Returns the connect-to list, which must outlive the transfer; nullopt when the policy could
// not be applied, and the transfer must then not be performed.
std::optional<CurlList> ApplyTransferPolicy(CURL* easy, const std::string& url);
