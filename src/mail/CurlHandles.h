#pragma once

#include <curl/curl.h>

#include <memory>

// The library's handles, each let go by its owner.
namespace mail::curl {

struct EasyFree {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct MimeFree {
    void operator()(curl_mime* m) const { curl_mime_free(m); }
};
struct ListFree {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
using Easy = std::unique_ptr<CURL, EasyFree>;
using Mime = std::unique_ptr<curl_mime, MimeFree>;
using List = std::unique_ptr<curl_slist, ListFree>;

} // namespace mail::curl
