#include "platform/DefaultHandler.h"

#include "platform/SharedLibrary.h"

#include <gio/gio.h>

#include <memory>

namespace quodrix {

namespace {

// GIO and GLib are loaded when a URL is first opened, not at every start of the application.
struct GioFunctions {
    decltype(&g_uri_parse_scheme) parseScheme = nullptr;
    decltype(&g_free) free = nullptr;
    decltype(&g_error_free) errorFree = nullptr;
    decltype(&g_app_info_launch_default_for_uri) launchDefaultForUri = nullptr;
    decltype(&g_spawn_async) spawnAsync = nullptr;
};

GioFunctions const* gioFunctions()
{
    return loadedFunctions<GioFunctions>("libgio-2.0.so.0", [](SharedLibrary const& library, GioFunctions& f) {
        return library.bind(f.parseScheme, "g_uri_parse_scheme") && library.bind(f.free, "g_free")
            && library.bind(f.errorFree, "g_error_free")
            && library.bind(f.launchDefaultForUri, "g_app_info_launch_default_for_uri")
            && library.bind(f.spawnAsync, "g_spawn_async");
    });
}

struct ErrorFree {
    void operator()(GError* e) const { gioFunctions()->errorFree(e); }
};
using ErrorPtr = std::unique_ptr<GError, ErrorFree>;

bool hasScheme(GioFunctions const& gio, std::string const& url)
{
    gchar* scheme = gio.parseScheme(url.c_str());
    gio.free(scheme);
    return scheme != nullptr;
}

bool launchThroughGio(GioFunctions const& gio, std::string const& url)
{
    GError* raw = nullptr;
    bool launched = gio.launchDefaultForUri(url.c_str(), nullptr, &raw);
    ErrorPtr error(raw);
    return launched;
}

bool launchXdgOpen(GioFunctions const& gio, std::string const& url)
{
    // Started detached (GLib reaps it through an intermediate child), with no terminal of ours.
    gchar* argv[] = { const_cast<gchar*>("xdg-open"), const_cast<gchar*>(url.c_str()), nullptr };
    auto flags = GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_STDIN_FROM_DEV_NULL | G_SPAWN_STDOUT_TO_DEV_NULL
        | G_SPAWN_STDERR_TO_DEV_NULL);
    GError* raw = nullptr;
    bool started = gio.spawnAsync(nullptr, argv, nullptr, flags, nullptr, nullptr, nullptr, &raw);
    ErrorPtr error(raw);
    return started;
}

}

bool openWithDefaultHandler(std::string const& url)
{
    auto const* gio = gioFunctions();
    if (!gio || url.empty() || !hasScheme(*gio, url))
        return false;
    return launchThroughGio(*gio, url) || launchXdgOpen(*gio, url);
}

}
