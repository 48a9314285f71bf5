#include "app/cAppUpdater.h"

#include "core/Class.h"
#include "platform/Platform.h"
#include "platform/SharedLibrary.h"

#include <curl/curl.h>
#include <glib.h>

#include <algorithm>
#include <memory>

namespace quodrix {

namespace {

// The network client's functions, from its library loaded on first use; null when it cannot be loaded.
struct CurlFunctions {
    decltype(&curl_easy_init) init;
    decltype(&curl_easy_setopt) setopt;
    decltype(&curl_easy_perform) perform;
    decltype(&curl_easy_cleanup) cleanup;
};

CurlFunctions const* curlFunctions()
{
    return loadedFunctions<CurlFunctions>("libcurl.so.4", [](SharedLibrary const& library, CurlFunctions& f) {
        return library.bind(f.init, "curl_easy_init") && library.bind(f.setopt, "curl_easy_setopt")
            && library.bind(f.perform, "curl_easy_perform") && library.bind(f.cleanup, "curl_easy_cleanup");
    });
}

struct CurlFree {
    void operator()(CURL* handle) const { curlFunctions()->cleanup(handle); }
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
    auto const* api = curlFunctions();
    if (!api || url.empty())
        return std::nullopt;
    CurlHandle curl(api->init());
    if (!curl)
        return std::nullopt;
    Download download;
    long const millis = std::max<long>(1, long(timeout.count()));
    api->setopt(curl.get(), CURLOPT_URL, url.c_str());
    api->setopt(curl.get(), CURLOPT_PROTOCOLS_STR, "http,https");
    api->setopt(curl.get(), CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    api->setopt(curl.get(), CURLOPT_FOLLOWLOCATION, 1L);
    api->setopt(curl.get(), CURLOPT_MAXREDIRS, 5L);
    api->setopt(curl.get(), CURLOPT_FAILONERROR, 1L);
    api->setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
    api->setopt(curl.get(), CURLOPT_TIMEOUT_MS, millis);
    api->setopt(curl.get(), CURLOPT_CONNECTTIMEOUT_MS, millis);
    api->setopt(curl.get(), CURLOPT_WRITEFUNCTION, collect);
    api->setopt(curl.get(), CURLOPT_WRITEDATA, &download);
    if (api->perform(curl.get()) != CURLE_OK || download.tooLong)
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
