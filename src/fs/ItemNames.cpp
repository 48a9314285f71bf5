#include "fs/ItemNames.h"

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

}
