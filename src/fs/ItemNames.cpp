#include "fs/ItemNames.h"

#include "fs/FileStore.h"

#include <array>
#include <strings.h>

namespace quodrix {

bool isPackageName(std::string_view name)
{
    static constexpr std::array<std::string_view, 8> extensions { "app", "bundle", "framework", "plugin", "kext",
        "pkg", "rtfd", "photoslibrary" };
    auto dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return false;
    std::string_view extension = name.substr(dot + 1);
    for (auto candidate : extensions) {
        if (candidate.size() == extension.size()
            && strncasecmp(candidate.data(), extension.data(), extension.size()) == 0)
            return true;
    }
    return false;
}

std::string_view extensionOf(std::string_view name)
{
    auto dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

std::string trimTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

bool isCleanPath(std::string_view path)
{
    std::size_t i = !path.empty() && path[0] == '/' ? 1 : 0;
    if (path.empty() || i == path.size() || path == ".")
        return !path.empty();
    for (;;) {
        std::size_t const slash = path.find('/', i);
        std::string_view const part = path.substr(i, slash == std::string_view::npos ? slash : slash - i);
        if (part.empty() || part == ".")
            return false;
        if (slash == std::string_view::npos)
            return true;
        i = slash + 1;
    }
}

std::string cleanedPath(std::string const& path)
{
    // Most paths are clean already: they are then taken as they are, without being put together anew.
    if (isCleanPath(path))
        return path;
    std::string out;
    out.reserve(path.size());
    bool const absolute = !path.empty() && path[0] == '/';
    std::size_t i = 0;
    while (i <= path.size()) {
        std::size_t slash = path.find('/', i);
        if (slash == std::string::npos)
            slash = path.size();
        std::string_view part(path.data() + i, slash - i);
        if (!part.empty() && part != ".") {
            if (!out.empty() || absolute)
                out += '/';
            out += part;
        }
        i = slash + 1;
    }
    if (out.empty())
        return absolute ? "/" : ".";
    return out;
}

bool isCycleTemporaryPath(std::string const& path)
{
    return isCycleTemporaryName(FileStore::lastComponent(path));
}

}
