#include "fs/FileStore.h"

#include "fs/FileOps.h"
#include "fs/ItemPlacement.h"

#include <climits>
#include <cstring>
#include <string_view>

namespace quodrix {

bool FileStore::exists(std::string const& path)
{
    return isUsablePath(path) && itemStatus(path).has_value();
}

bool FileStore::isUsablePath(std::string const& path)
{
    return !path.empty() && path.size() < PATH_MAX && path.find('\0') == std::string::npos;
}

bool FileStore::isSingleComponent(std::string const& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos
        && name.find('\0') == std::string::npos;
}

std::pair<std::string_view, std::string_view> FileStore::splitPath(std::string_view path)
{
    // The C library's search from the end looks at many bytes at a time; a plan splits every path a few
    // times.
    auto const* found = path.empty() ? nullptr : static_cast<char const*>(memrchr(path.data(), '/', path.size()));
    if (!found)
        return { ".", path };
    std::size_t const slash = std::size_t(found - path.data());
    return { slash == 0 ? std::string_view("/") : path.substr(0, slash), path.substr(slash + 1) };
}

std::pair<std::string_view, std::string_view> FileStore::splitItemPath(std::string_view path)
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    return splitPath(path);
}

std::string FileStore::parentOf(std::string const& path)
{
    return std::string(splitItemPath(path).first);
}

std::string FileStore::lastComponent(std::string const& path)
{
    return std::string(splitItemPath(path).second);
}

Status FileStore::removeTree(std::string const& path)
{
    if (!isUsablePath(path))
        return Status::refused("not a usable path: \"" + path + "\"");
    return quodrix::removeTree(path);
}

Status FileStore::copyItem(std::string const& source, std::string const& destination)
{
    return placeItem(Placement::Copy, Existing::Kept, source, destination);
}

Status FileStore::moveItem(std::string const& source, std::string const& destination)
{
    return placeItem(Placement::Move, Existing::Kept, source, destination);
}

}
