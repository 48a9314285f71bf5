#include "util/DesktopServices.h"

#include "platform/SystemLog.h"

#include <gio/gio.h>
#include <memory>

namespace quodrix {

namespace {

struct ObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
struct ErrorFree {
    void operator()(GError* error) const { g_error_free(error); }
};
struct CharFree {
    void operator()(gchar* text) const { g_free(text); }
};
template<typename T>
using GPtr = std::unique_ptr<T, ObjectUnref>;
using ErrorPtr = std::unique_ptr<GError, ErrorFree>;
using TextPtr = std::unique_ptr<gchar, CharFree>;

}

bool moveToTrash(std::string const& path)
{
    if (path.empty())
        return false;
    GPtr<GFile> file(g_file_new_for_path(path.c_str()));
    GError* raw = nullptr;
    bool done = g_file_trash(file.get(), nullptr, &raw);
    ErrorPtr error(raw);
    return done;
}

std::optional<std::string> contentTypeOf(std::string const& path)
{
    if (path.empty())
        return std::nullopt;
    GPtr<GFile> file(g_file_new_for_path(path.c_str()));
    GPtr<GFileInfo> info(
        g_file_query_info(file.get(), G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE, G_FILE_QUERY_INFO_NONE, nullptr, nullptr));
    if (!info)
        return std::nullopt;
    char const* type = g_file_info_get_content_type(info.get());
    if (!type)
        return std::nullopt;
    return std::string(type);
}

std::string formatByteCount(std::uint64_t bytes)
{
    TextPtr text(g_format_size(bytes));
    return text.get();
}

void openWithDefaultHandler(std::string const& path)
{
    if (path.empty())
        return;
    GPtr<GFile> file(g_file_new_for_path(path.c_str()));
    TextPtr uri(g_file_get_uri(file.get()));
    GError* raw = nullptr;
    if (g_app_info_launch_default_for_uri(uri.get(), nullptr, &raw))
        return;
    ErrorPtr error(raw);
    gchar* argv[] = { const_cast<gchar*>("xdg-open"), uri.get(), nullptr };
    GError* spawnRaw = nullptr;
    auto flags = GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL);
    if (!g_spawn_async(nullptr, argv, nullptr, flags, nullptr, nullptr, nullptr, &spawnRaw)) {
        ErrorPtr spawnError(spawnRaw);
        systemLog(std::string("Could not open ") + path + ": " + (error ? error->message : "no handler"));
    }
}

}
