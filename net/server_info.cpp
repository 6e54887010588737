#include "net/server_info.h"

#include <new>

#include "signing/signature.h"

namespace {

std::unique_ptr<WebNetRequest> NewNoticeRequest(const std::string& url, WebNetCallback callback,
                                                long deadlineMs, size_t maxBytes) {
    try {
        auto request = std::make_unique<WebNetRequest>();
        request->kind = Get;
        request->url = url;
        request->callback = callback;
        request->deadlineMs = deadlineMs;
        request->maxResponseBytes = maxBytes;
        return request;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace

const std::string& ServerInfoUrl() {
    static const std::string url = TOLBE_NOTICE_URL;
    return url;
}

const std::string& ServerInfoSignatureUrl() {
    static const std::string url = ServerInfoUrl() + signing::kSignatureSuffix;
    return url;
}

std::unique_ptr<WebNetRequest> NewServerInfoRequest(WebNetCallback callback, long deadlineMs) {
    return NewNoticeRequest(ServerInfoUrl(), callback, deadlineMs, kServerInfoMaxBytes);
}

std::unique_ptr<WebNetRequest> NewServerInfoSignatureRequest(WebNetCallback callback,
                                                             long deadlineMs) {
    return NewNoticeRequest(ServerInfoSignatureUrl(), callback, deadlineMs,
                            signing::kMaxSignatureFileBytes);
}
