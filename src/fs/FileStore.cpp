#include "fs/FileStore.h"

#include "fs/FileOps.h"
#include "fs/ItemPlacement.h"

#include <climits>
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

std::string FileStore::parentOf(std::string const& path)
{
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    auto slash = trimmed.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return trimmed.substr(0, slash);
}

std::string FileStore::lastComponent(std::string const& path)
{
    // Looked at in place: only the name is copied out.
    std::string_view trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.remove_suffix(1);
    auto slash = trimmed.rfind('/');
    return std::string(slash == std::string_view::npos ? trimmed : trimmed.substr(slash + 1));
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
