#include "platform/DefaultHandler.h"

#include <gio/gio.h>

#include <memory>

namespace quodrix {

namespace {

struct ErrorFree {
    void operator()(GError* e) const { g_error_free(e); }
};
using ErrorPtr = std::unique_ptr<GError, ErrorFree>;

bool hasScheme(std::string const& url)
{
    gchar* scheme = g_uri_parse_scheme(url.c_str());
    g_free(scheme);
    return scheme != nullptr;
}

bool launchThroughGio(std::string const& url)
{
    GError* raw = nullptr;
    bool launched = g_app_info_launch_default_for_uri(url.c_str(), nullptr, &raw);
    ErrorPtr error(raw);
    return launched;
}

bool launchXdgOpen(std::string const& url)
{
    // Started detached (GLib reaps it through an intermediate child), with no terminal of ours.
    gchar* argv[] = { const_cast<gchar*>("xdg-open"), const_cast<gchar*>(url.c_str()), nullptr };
    auto flags = GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_STDIN_FROM_DEV_NULL | G_SPAWN_STDOUT_TO_DEV_NULL
        | G_SPAWN_STDERR_TO_DEV_NULL);
    GError* raw = nullptr;
    bool started = g_spawn_async(nullptr, argv, nullptr, flags, nullptr, nullptr, nullptr, &raw);
    ErrorPtr error(raw);
    return started;
}

}

bool openWithDefaultHandler(std::string const& url)
{
    if (url.empty() || !hasScheme(url))
        return false;
    return launchThroughGio(url) || launchXdgOpen(url);
}

}
