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
// - the proxy the host's settings give for the URL (platform::ProxyRouteFor): on Windows the
//   player's Internet Options or the machine's WinHTTP proxy, answered with the player's own
//   logon (Negotiate or NTLM) when it asks for credentials; on POSIX libcurl's environment
//   variables (http_proxy, https_proxy, no_proxy); in a sandbox none unless the profile says so;
// - a certificate's revocation is checked where its status can be learned: one that is revoked
//   fails, one whose revocation list cannot be reached does not (Schannel; OpenSSL checks none).
// Returns the connect-to list, which must outlive the transfer; nullopt when the policy could
// not be applied, and the transfer must then not be performed.
std::optional<CurlList> ApplyTransferPolicy(CURL* easy, const std::string& url);

// True when the exchange that ended with `result` stopped at a proxy that wanted credentials it
// did not get or did not accept (407 to the request itself or to the tunnel through it, or no
// credentials that libcurl could offer).
bool ProxyRefusedCredentials(CURL* easy, CURLcode result);
