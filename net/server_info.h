#pragma once
// Where the launcher finds the notice server's version record, vaskpc.txt, and its signature,
// vaskpc.txt.sig.

#include <cstddef>
#include <memory>
#include <string>

#include "net/web_net_request.h"

// The notice server's address of vaskpc.txt: a plain http:// URL fixed when the launcher is
// built (CMake cache variable TOLBE_NOTICE_URL). The sandbox profile's host lines may redirect
// its connection; the URL itself never changes.
const std::string& ServerInfoUrl();

// vaskpc.txt.sig beside it: ServerInfoUrl() followed by ".sig".
const std::string& ServerInfoSignatureUrl();

// The notice request's limits: vaskpc.txt is a small text file, and the notice server is reached
// over plain HTTP, where anyone on the way can hold the answer back or make it endless.
inline constexpr long kServerInfoDeadlineMs = 30000;
inline constexpr size_t kServerInfoMaxBytes = 1 << 20;

// A Get of ServerInfoUrl() whose completion function is `callback`, limited to `deadlineMs` for
// the whole exchange (tests shorten it) and to kServerInfoMaxBytes of body, ready for
// WebNet::Queue. Null when the request cannot be created (Queue then refuses it, as QueueGet
// would).
std::unique_ptr<WebNetRequest> NewServerInfoRequest(WebNetCallback callback,
                                                    long deadlineMs = kServerInfoDeadlineMs);

// The same for ServerInfoSignatureUrl(), its body limited to the size of a signature file.
std::unique_ptr<WebNetRequest> NewServerInfoSignatureRequest(
    WebNetCallback callback, long deadlineMs = kServerInfoDeadlineMs);
