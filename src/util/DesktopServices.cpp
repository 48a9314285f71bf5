#include "util/DesktopServices.h"

#include "platform/SharedLibrary.h"

#include <gio/gio.h>
#include <memory>

namespace quodrix {

namespace {

// GIO is loaded the first time an item goes to the trash or is asked for its content type: loading it (and
// GObject, libmount, libblkid and SELinux with it) costs a command about a millisecond, and most commands do
// neither. GLib itself is linked.
struct GioFunctions {
    decltype(&g_file_new_for_path) fileForPath = nullptr;
    decltype(&g_file_trash) trash = nullptr;
    decltype(&g_file_query_info) queryInfo = nullptr;
    decltype(&g_file_info_get_content_type) contentType = nullptr;
    decltype(&g_object_unref) unref = nullptr;
};

char const* const kGioLibrary = "libgio-2.0.so.0";

GioFunctions const* gioFunctions()
{
    return loadedFunctions<GioFunctions>(kGioLibrary, [](SharedLibrary const& library, GioFunctions& f) {
        return library.bind(f.fileForPath, "g_file_new_for_path") && library.bind(f.trash, "g_file_trash")
            && library.bind(f.queryInfo, "g_file_query_info")
            && library.bind(f.contentType, "g_file_info_get_content_type")
            && library.bind(f.unref, "g_object_unref");
    });
}

// An object of GIO's, released through the loaded library (which is loaded whenever one exists).
struct ObjectUnref {
    void operator()(gpointer object) const { gioFunctions()->unref(object); }
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
    auto const* gio = gioFunctions();
    if (!gio)
        return Status::refused(
            "move " + path + " to the trash: " + kGioLibrary + " cannot be loaded (the system log says why)");
    GPtr<GFile> file(gio->fileForPath(path.c_str()));
    GError* raw = nullptr;
    bool done = gio->trash(file.get(), nullptr, &raw);
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
    auto const* gio = gioFunctions();
    if (!gio)
        return std::nullopt;
    GPtr<GFile> file(gio->fileForPath(path.c_str()));
    GPtr<GFileInfo> info(gio->queryInfo(
        file.get(), G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE, G_FILE_QUERY_INFO_NONE, nullptr, nullptr));
    if (!info)
        return std::nullopt;
    char const* type = gio->contentType(info.get());
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
