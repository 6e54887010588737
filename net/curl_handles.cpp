#include "net/curl_handles.h"

#include <mutex>

namespace {

bool InitCurlOnce() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ready;
}

}  // namespace

CurlEasy NewCurlEasy() {
    if (!InitCurlOnce()) {
        return nullptr;
    }
    return CurlEasy(curl_easy_init());
}

bool AppendCurlList(CurlList& list, const char* line) {
    curl_slist* grown = curl_slist_append(list.get(), line);
    if (grown == nullptr) {
        return false;
    }
    list.release();
    list.reset(grown);
    return true;
}
