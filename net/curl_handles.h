#pragma once
// Owning handles for libcurl objects, and the one place that prepares libcurl for use.

#include <curl/curl.h>

#include <memory>

struct CurlEasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct CurlListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;
using CurlList = std::unique_ptr<curl_slist, CurlListDeleter>;

// A fresh easy handle (one per request or download; handles are never reused), with libcurl's
// process-wide initialisation done first, once, thread-safely. Null when libcurl cannot be
// initialised or the handle cannot be created.
CurlEasy NewCurlEasy();

// Appends a line to the list; false (the list unchanged) when memory runs out.
bool AppendCurlList(CurlList& list, const char* line);
