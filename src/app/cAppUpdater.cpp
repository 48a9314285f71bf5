#include "app/cAppUpdater.h"

#include "app/Class.h"
#include "platform/Platform.h"

#include <curl/curl.h>
#include <glib.h>

#include <algorithm>
#include <memory>

namespace quodrix {

namespace {

struct CurlFree {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlHandle = std::unique_ptr<CURL, CurlFree>;

struct Download {
    std::string body;
    bool tooLong = false;
};

std::size_t collect(char* bytes, std::size_t size, std::size_t count, void* context)
{
    auto& download = *static_cast<Download*>(context);
    std::size_t n = size * count;
    if (download.body.size() + n > cAppUpdater::kMaxVersionText) {
        download.tooLong = true;
        return 0;  // stops the transfer
    }
    download.body.append(bytes, n);
    return n;
}

}

std::optional<std::string> cAppUpdater::readText(std::string const& url, std::chrono::milliseconds timeout)
{
    CurlHandle curl(curl_easy_init());
    if (!curl || url.empty())
        return std::nullopt;
    Download download;
    long const millis = std::max<long>(1, long(timeout.count()));
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl.get(), CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl.get(), CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl.get(), CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT_MS, millis);
    curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT_MS, millis);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &download);
    if (curl_easy_perform(curl.get()) != CURLE_OK || download.tooLong)
        return std::nullopt;
    // The text is UTF-8 as it is (a NUL byte counts as not text).
    if (!g_utf8_validate_len(download.body.data(), download.body.size(), nullptr))
        return std::nullopt;
    return std::move(download.body);
}

std::optional<std::string> cAppUpdater::getAppVersion(Platform const& platform)
{
    return readText(platform.versionUrl(), platform.versionTimeout());
}

void cAppUpdater::registerClass(Runtime& runtime)
{
    ClassBuilder<cAppUpdater>(runtime, "cAppUpdater")
        .classMethod("getAppVersion", [](Call const& c) { return Value(getAppVersion(c.runtime.platform())); });
}

}
