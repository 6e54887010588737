#include "net/server_info.h"

#include <new>

const std::string& ServerInfoUrl() {
    static const std::string url = TOLBE_NOTICE_URL;
    return url;
}

std::unique_ptr<WebNetRequest> NewServerInfoRequest(WebNetCallback callback, long deadlineMs) {
    try {
        auto request = std::make_unique<WebNetRequest>();
        request->kind = Get;
        request->url = ServerInfoUrl();
        request->callback = callback;
        request->deadlineMs = deadlineMs;
        request->maxResponseBytes = kServerInfoMaxBytes;
        return request;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
