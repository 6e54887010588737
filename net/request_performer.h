#pragma once
// One HTTP exchange of the request service, performed synchronously on the calling thread.

#include "net/web_net_request.h"

// Prepares the request (PrepareUrl) and performs it with a libcurl handle of its own, then
// records the outcome on the request: `response` holds every body byte received, `status` the
// HTTP status of the answer (0 when none arrived), and `completed` whether the exchange ran to
// the end of the body without a transport error. HTTP error statuses are answers like any other,
// but for a proxy's 407: `proxyRefused` is then set and `completed` is false, since the server
// itself was never reached.
// Nothing is sent for a URL beyond kMaxUrlBytes or a kind outside RequestKind.
//
// Limits the request may set: `deadlineMs` bounds the whole exchange (connecting, waiting and
// reading); when it ends the exchange, `timedOut` is set. `maxResponseBytes` caps the body: a
// Content-Length above the cap is refused before the body is read, and a body that grows past it
// ends the exchange at the piece that would pass it, which is not kept; `responseTooLarge` is
// then set and `response` holds at most the cap. Either way `completed` is false.
//
// Per kind: Get sends "GET" without a body; PostForm sends "POST" with `body` and the header
// "Content-type: application/x-www-form-urlencoded"; PostJson sends "POST" with `body` and the
// header "Content-type: application/json; charset=utf-8". All use HTTP/1.1 and the user agent
// "httpRequest/1.0"; certificates are always checked. A connection attempt is given 60 s and an
// answer that stalls for 30 s ends the exchange (the request's own client defaults).
void PerformRequest(WebNetRequest& request);
