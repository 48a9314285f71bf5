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

Status moveToTrash(std::string const& path)
{
    if (path.empty())
        return Status::refused("move to the trash: no item given");
    GPtr<GFile> file(g_file_new_for_path(path.c_str()));
    GError* raw = nullptr;
    bool done = g_file_trash(file.get(), nullptr, &raw);
    ErrorPtr error(raw);
    if (done)
        return {};
    // GIO's message names the item and gives the system's reason: "Error trashing file /a/x.jpg: No such
    // file or directory".
    return Status::refused(error ? error->message : "move " + path + " to the trash: unknown cause");
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

}
