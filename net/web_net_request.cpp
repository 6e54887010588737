#include "net/web_net_request.h"

void WebNetRequest::EncodeParams() {
    body.clear();
    for (const auto& [key, value] : params) {
        if (!body.empty()) {
            body += '&';
        }
        body += key;
        body += '=';
        body += value;
    }
}

void WebNetRequest::PrepareUrl() {
    if (kind != PostJson) {
        EncodeParams();
    }
    if (kind == Get && !body.empty()) {
        url += '?';
        url += body;
    }
}

bool WebNetRequest::UrlWithinLimit() const {
    return url.size() + 1 <= kMaxUrlBytes;
}
