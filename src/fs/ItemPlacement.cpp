#include "fs/ItemPlacement.h"

#include "fs/FileStore.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quodrix {

namespace {

struct Identity {
    dev_t device;
    ino_t inode;
    bool operator==(Identity const&) const = default;
};

std::optional<struct stat> linkStatus(std::string const& path)
{
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0)
        return std::nullopt;
    return info;
}

bool isFolder(std::string const& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::optional<std::string> resolved(std::string const& path)
{
    std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
    if (!real)
        return std::nullopt;
    return std::string(real.get());
}

// The path with its folders resolved but its last component kept as it is, so that a link at the end
// stays the link itself.
std::optional<std::string> canonicalKeepingName(std::string const& path)
{
    auto folder = resolved(FileStore::parentOf(path));
    if (!folder)
        return std::nullopt;
    return (*folder == "/" ? "" : *folder) + "/" + FileStore::lastComponent(path);
}

bool inside(std::string const& path, std::string const& folder)
{
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0
        && (folder == "/" || path[folder.size()] == '/');
}

// Moves `staged` onto `destination`, which exists: one rename, or for folders one exchange followed by
// removing the old item (which then sits under the staged name).
bool replaceWith(std::string const& staged, std::string const& destination, struct stat const& old,
    bool stagedIsFolder)
{
    if (!S_ISDIR(old.st_mode) && !stagedIsFolder)
        return std::rename(staged.c_str(), destination.c_str()) == 0;
    if (renameat2(AT_FDCWD, staged.c_str(), AT_FDCWD, destination.c_str(), RENAME_EXCHANGE) != 0)
        return false;
    // The old item is now under the staged name; should its removal fail it stays there, hidden, and the
    // placement itself has succeeded.
    FileStore::removeTree(staged);
    return true;
}

bool commit(std::string const& staged, std::string const& destination)
{
    auto stagedInfo = linkStatus(staged);
    if (!stagedInfo)
        return false;
    bool stagedIsFolder = S_ISDIR(stagedInfo->st_mode);
    if (auto old = linkStatus(destination)) {
        // A link at the destination is replaced as the link itself; its target is never touched.
        return replaceWith(staged, destination, *old, stagedIsFolder);
    }
    if (renameat2(AT_FDCWD, staged.c_str(), AT_FDCWD, destination.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    if (linkStatus(destination))
        return false;
    return std::rename(staged.c_str(), destination.c_str()) == 0;
}

bool allowed(Placement how, std::string const& source, std::string const& destination)
{
    std::string name = FileStore::lastComponent(destination);
    if (source.empty() || destination.empty() || !FileStore::isSingleComponent(name))
        return false;
    auto sourceInfo = linkStatus(source);
    if (!sourceInfo && how != Placement::Link)
        return false;
    auto destinationInfo = linkStatus(destination);
    // A dangling link: absent as an item, yet its name is taken.
    if (destinationInfo && !itemExists(destination))
        return false;
    if (!sourceInfo)
        return true;
    if (destinationInfo) {
        // The same item, also when the source is a link that leads to the destination: replacing the
        // destination would destroy what the source stands for.
        Identity destinationItem { destinationInfo->st_dev, destinationInfo->st_ino };
        if (Identity { sourceInfo->st_dev, sourceInfo->st_ino } == destinationItem)
            return false;
        struct stat target {};
        if (S_ISLNK(sourceInfo->st_mode) && stat(source.c_str(), &target) == 0
            && Identity { target.st_dev, target.st_ino } == destinationItem)
            return false;
    }
    auto sourcePath = canonicalKeepingName(source);
    auto destinationPath = canonicalKeepingName(destination);
    if (!sourcePath || !destinationPath || *sourcePath == *destinationPath)
        return false;
    if (S_ISDIR(sourceInfo->st_mode) && how != Placement::Link && inside(*destinationPath, *sourcePath))
        return false;
    if (destinationInfo && S_ISDIR(destinationInfo->st_mode) && inside(*sourcePath, *destinationPath))
        return false;
    return true;
}

}

bool itemExists(std::string const& path)
{
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0;
}

bool createFolderTree(std::string const& path)
{
    if (!FileStore::isUsablePath(path))
        return false;
    // The missing folders, deepest first, then made from the top down.
    std::vector<std::string> missing;
    for (std::string current = path; !isFolder(current);) {
        missing.push_back(current);
        std::string parent = FileStore::parentOf(current);
        if (parent == current)
            break;
        current = std::move(parent);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (mkdir(it->c_str(), 0777) != 0 && !isFolder(*it))
            return false;
    }
    return isFolder(path);
}

bool placeItem(Placement how, std::string const& source, std::string const& destination)
{
    if (!FileStore::isUsablePath(source) || !FileStore::isUsablePath(destination))
        return false;
    createFolderTree(FileStore::parentOf(destination));
    if (!isFolder(FileStore::parentOf(destination)) || !allowed(how, source, destination))
        return false;

    std::string staged = FileStore::temporaryNameBeside(destination);
    bool movedAside = false;
    bool built = false;
    switch (how) {
    case Placement::Move:
        movedAside = std::rename(source.c_str(), staged.c_str()) == 0;
        built = movedAside || (errno == EXDEV && FileStore::copyTree(source, staged));
        break;
    case Placement::Copy:
        built = FileStore::copyTree(source, staged);
        break;
    case Placement::Link:
        built = symlink(source.c_str(), staged.c_str()) == 0;
        break;
    }
    if (built && commit(staged, destination)) {
        // Across file systems the source goes only once its copy is in place; should that fail, both stay
        // and the move counts as failed.
        if (how == Placement::Move && !movedAside)
            return FileStore::removeTree(source);
        return true;
    }
    if (movedAside)
        std::rename(staged.c_str(), source.c_str());
    else
        FileStore::removeTree(staged);
    return false;
}

}
