#include "fs/ItemPlacement.h"

#include "fs/FileOps.h"
#include "fs/FileStore.h"
#include "fs/SystemCalls.h"

#include <cerrno>
#include <climits>
#include <mutex>
#include <optional>
#include <unordered_set>
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

std::string join(std::string const& folder, std::string const& name)
{
    return (folder == "/" ? "" : folder) + "/" + name;
}

// The path with its folders resolved but its last component kept as it is, so that a link at the end
// stays the link itself.
std::optional<std::string> canonicalKeepingName(std::string const& path)
{
    auto folder = resolvedPath(FileStore::parentOf(path));
    if (!folder)
        return std::nullopt;
    return join(*folder, FileStore::lastComponent(path));
}

bool strictlyInside(std::string const& path, std::string const& folder)
{
    return path != folder && liesInside(path, folder);
}

Status refusal(std::string const& source, std::string const& destination, std::string const& why)
{
    return Status::refused(source + " to " + destination + ": " + why);
}

Status checkKept(Placement how, std::string const& source, std::string const& destination, KnownItems const* known)
{
    auto sourceInfo = known && known->source ? known->source : itemStatus(source);
    if (!sourceInfo && how != Placement::Link)
        return Status::fromErrno("read " + source);
    if (known ? known->destination.has_value() : itemStatus(destination).has_value())
        return refusal(source, destination, "would replace an existing item");
    // Names the system would refuse only at the end, after a whole copy under a temporary name: a "/" at the
    // end names a folder, which only a folder may become.
    if (destination.ends_with('/') && !(sourceInfo && S_ISDIR(sourceInfo->st_mode)))
        return Status::fromError(ENOTDIR, source + " to " + destination);
    if (FileStore::lastComponent(destination).size() > NAME_MAX)
        return Status::fromError(ENAMETOOLONG, source + " to " + destination);
    std::string parent = FileStore::parentOf(destination);
    if (!isFolderPath(parent)) {
        return refusal(source, destination,
            itemStatus(parent) ? parent + " is not a folder" : "the folder " + parent + " does not exist");
    }
    if (how != Placement::Link && S_ISDIR(sourceInfo->st_mode)) {
        // A folder copied into itself would never end; the system refuses to move one into itself, with a
        // cause ("Invalid argument") that does not say why.
        auto folder = resolvedPath(source);
        auto target = resolvedPath(parent);
        if (!folder || !target || liesInside(*target, *folder)) {
            return refusal(source, destination,
                std::string("a folder cannot be ") + (how == Placement::Copy ? "copied" : "moved") + " into itself");
        }
    }
    return {};
}

Status checkReplaced(Placement how, std::string const& source, std::string const& destination)
{
    auto sourceInfo = itemStatus(source);
    if (!sourceInfo && how != Placement::Link)
        return Status::fromErrno("read " + source);
    auto destinationInfo = itemStatus(destination);
    // A dangling link: absent as an item, yet its name is taken.
    if (destinationInfo && !itemExists(destination))
        return refusal(source, destination, "a link that leads nowhere is in the way");
    if (!sourceInfo)
        return {};
    if (destinationInfo) {
        // The same item, also when the source is a link that leads to the destination: replacing the
        // destination would destroy what the source stands for.
        Identity destinationItem { destinationInfo->st_dev, destinationInfo->st_ino };
        if (Identity { sourceInfo->st_dev, sourceInfo->st_ino } == destinationItem)
            return refusal(source, destination, "source and destination are the same item");
        struct stat target {};
        if (S_ISLNK(sourceInfo->st_mode) && systemCalls().stat(source.c_str(), &target) == 0
            && Identity { target.st_dev, target.st_ino } == destinationItem)
            return refusal(source, destination, "source and destination are the same item");
    }
    auto sourcePath = canonicalKeepingName(source);
    auto destinationPath = canonicalKeepingName(destination);
    if (!sourcePath || !destinationPath || *sourcePath == *destinationPath)
        return refusal(source, destination, "source and destination are the same item");
    if (S_ISDIR(sourceInfo->st_mode) && how != Placement::Link && strictlyInside(*destinationPath, *sourcePath))
        return refusal(source, destination, "the destination lies inside the source folder");
    if (destinationInfo && S_ISDIR(destinationInfo->st_mode) && strictlyInside(*sourcePath, *destinationPath))
        return refusal(source, destination, "the destination folder holds the source");
    return {};
}

// Puts `staged` at `destination`, which exists: one rename, or when a folder is involved one exchange
// followed by removing the old item (which then sits under the staged, temporary name; should its removal
// fail twice, a later run removes it as a dead process's temporary).
Status replaceWith(std::string const& staged, std::string const& destination)
{
    auto stagedInfo = itemStatus(staged);
    auto old = itemStatus(destination);
    if (!stagedInfo)
        return Status::fromErrno("read " + staged);
    auto& calls = systemCalls();
    if (!old)
        return renameNoReplace(staged, destination);
    if (!S_ISDIR(old->st_mode) && !S_ISDIR(stagedInfo->st_mode)) {
        if (calls.rename(staged.c_str(), destination.c_str()) != 0)
            return Status::fromErrno("rename " + staged + " to " + destination);
        return {};
    }
    if (calls.renameat2(AT_FDCWD, staged.c_str(), AT_FDCWD, destination.c_str(), RENAME_EXCHANGE) != 0)
        return Status::fromErrno("exchange " + staged + " with " + destination);
    // The placement is done; the replaced item goes, tried a second time after a passing fault.
    if (!removeTree(staged))
        (void)removeTree(staged);
    return {};
}

// A visible name beside the destination for an item that could go back neither to its own place nor to
// the destination: "x.jpg" gives "x (recovered 1234).jpg".
std::string recoveredNameBeside(std::string const& destination)
{
    std::string name = FileStore::lastComponent(destination);
    std::string tag = " (recovered " + std::to_string(getpid()) + ")";
    auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0)
        name += tag;
    else
        name.insert(dot, tag);
    return join(FileStore::parentOf(destination), name);
}

// After a failed commit of a moved item: renames it back from its temporary name. Should that fail, the
// item goes under a visible name, and the status says where it is.
Status rollBack(std::string const& staged, std::string const& source, std::string const& destination,
    Status const& failure)
{
    Status back = renameNoReplace(staged, source);
    if (back)
        return failure;
    for (std::string const& visible : { destination, recoveredNameBeside(destination) }) {
        if (renameNoReplace(staged, visible))
            return Status::refused(failure.message() + "; left as " + visible + " after a failed rollback: "
                + back.message());
    }
    return Status::refused(failure.message() + "; left as " + staged + " after a failed rollback: " + back.message());
}

// Whether the source of a move across file systems can be taken away once its copy is made: its folder must
// let the user remove names (and, where only owners may remove them, the user own the source or the
// folder). Asked before the copy is made, so that a move that could not end leaves no copy behind. (Items
// inside a source folder that cannot be removed still show only when they are removed.)
Status sourceRemovable(std::string const& source)
{
    auto& calls = systemCalls();
    std::string const folder = FileStore::parentOf(source);
    if (calls.access(folder.c_str(), W_OK | X_OK) != 0)
        return Status::fromErrno("remove " + source);
    uid_t const user = geteuid();
    struct stat folderInfo {}, sourceInfo {};
    if (user != 0 && calls.lstat(folder.c_str(), &folderInfo) == 0 && (folderInfo.st_mode & S_ISVTX) != 0
        && folderInfo.st_uid != user && calls.lstat(source.c_str(), &sourceInfo) == 0 && sourceInfo.st_uid != user)
        return Status::fromError(EPERM, "remove " + source);
    return {};
}

// Removes the source of a move across file systems, once its copy is in place and on disk. A folder is
// first renamed aside to a temporary name in its own folder, in one step, so that a removal cut short (by
// a failure or a kill) never leaves a part of the folder under its own name: what is left is a temporary
// item that a later operation writing into that folder, or moving a folder out of it, removes.
Status removeMovedSource(std::string const& source, std::string const& destination)
{
    std::string const context = "the copy at " + destination + " is complete, but the source could not be removed wholly";
    std::string const folder = FileStore::parentOf(source);
    auto info = itemStatus(source);
    std::string doomed = source;
    if (info && S_ISDIR(info->st_mode)) {
        // What an earlier, killed move of this kind left in that folder goes first.
        removeStaleTemporaries(folder);
        doomed = temporaryNameBeside(source);
        if (Status aside = renameNoReplace(source, doomed); !aside)
            return aside.within(context);
        // The source's name is gone on disk before its contents go.
        (void)flushFolder(folder);
    }
    // Tried a second time after a passing fault.
    Status removed = removeTree(doomed);
    if (!removed && doomed != source)
        removed = removeTree(doomed);
    if (!removed)
        return removed.within(context);
    // The removal of the source's name reaches the disk too.
    (void)flushFolder(folder);
    return {};
}

// Makes the item at `staged`, the temporary name of `destination`. A failure names the destination, not the
// temporary item, which is gone: "write /media/card/a.jpg: No space left on device".
Status build(Placement how, std::string const& source, std::string const& staged, std::string const& destination,
    Durability durability)
{
    if (how == Placement::Link) {
        if (systemCalls().symlink(source.c_str(), staged.c_str()) != 0)
            return Status::fromErrno("create the link " + destination);
        return {};
    }
    Status copied = copyTree(source, staged, durability);
    if (!copied)
        (void)removeTree(staged);
    return copied.naming(staged, destination);
}

// Clears the temporaries of dead processes from a folder the first time this process stages an item there:
// reading the folder at every placement made a run of many placements into one folder take time in the
// square of their number.
void clearStaleTemporariesOnce(std::string const& folder)
{
    static std::mutex guard;
    static std::unordered_set<std::string> cleared;
    {
        std::lock_guard<std::mutex> lock(guard);
        if (!cleared.insert(folder).second)
            return;
    }
    removeStaleTemporaries(folder);
}

Status place(Placement how, Existing existing, std::string const& source, std::string const& destination,
    KnownItems const* known)
{
    std::string parent = FileStore::parentOf(destination);
    if (existing == Existing::Replaced) {
        if (Status made = createFolderTree(parent); !made)
            return made;
    }
    if (Status allowed = existing == Existing::Kept ? checkKept(how, source, destination, known)
                                                    : checkReplaced(how, source, destination);
        !allowed)
        return allowed;

    auto& calls = systemCalls();
    bool destinationTaken = existing == Existing::Replaced && itemStatus(destination).has_value();
    bool acrossFileSystems = false;
    if (how == Placement::Move && !destinationTaken) {
        // One rename, which itself refuses a missing source or parent and anything at the destination.
        // It stages no temporary, so the folder is not searched for stale ones: a search per move would
        // read the whole destination folder once for every file moved into it.
        Status moved = renameNoReplace(source, destination);
        if (moved || moved.error() != EXDEV)
            return moved;
        acrossFileSystems = true;
    }
    // The leftovers of dead processes go before this one stages its own temporary beside them (once a
    // folder and process).
    clearStaleTemporariesOnce(parent);

    std::string staged = temporaryNameBeside(destination);
    if (how == Placement::Move && !acrossFileSystems) {
        // A replacing move: the source goes aside first, then takes the destination's place.
        if (calls.rename(source.c_str(), staged.c_str()) == 0) {
            Status committed = replaceWith(staged, destination);
            return committed ? committed : rollBack(staged, source, destination, committed);
        }
        if (errno != EXDEV)
            return Status::fromErrno("rename " + source + " to " + staged);
        acrossFileSystems = true;
    }

    if (how == Placement::Move && acrossFileSystems) {
        if (Status removable = sourceRemovable(source); !removable)
            return removable;
    }
    Durability durability = acrossFileSystems ? Durability::Flushed : Durability::Cached;
    if (Status built = build(how, source, staged, destination, durability); !built)
        return built;
    Status committed = existing == Existing::Kept ? renameNoReplace(staged, destination) : replaceWith(staged, destination);
    if (!committed) {
        (void)removeTree(staged);
        return committed;
    }
    if (!acrossFileSystems)
        return {};
    // The copy's name reaches the disk before the source goes.
    if (Status flushed = flushFolder(parent); !flushed)
        return flushed.within("the copy at " + destination + " is in place, but the source stays");
    return removeMovedSource(source, destination);
}

}

bool itemExists(std::string const& path)
{
    struct stat info {};
    return !path.empty() && systemCalls().stat(path.c_str(), &info) == 0;
}

Status createFolderTree(std::string const& path)
{
    if (!FileStore::isUsablePath(path))
        return Status::refused("not a usable path: " + path);
    // The missing folders, deepest first, then made from the top down.
    std::vector<std::string> missing;
    for (std::string current = path; !isFolderPath(current);) {
        missing.push_back(current);
        std::string parent = FileStore::parentOf(current);
        if (parent == current)
            break;
        current = std::move(parent);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (systemCalls().mkdir(it->c_str(), 0777) != 0) {
            // Another process may have made it meanwhile; otherwise the failure of mkdir is the cause.
            int error = errno;
            if (!isFolderPath(*it))
                return Status::fromError(error, "create the folder " + *it);
        }
    }
    if (!isFolderPath(path))
        return Status::refused("create the folder " + path + ": not a folder");
    return {};
}

Status renameKept(std::string const& source, std::string const& destination, bool* inOneRename, FolderHandles* folders)
{
    if (inOneRename)
        *inOneRename = false;
    if (!FileStore::isUsablePath(source) || !FileStore::isUsablePath(destination))
        return Status::refused("not a usable path: \"" + (FileStore::isUsablePath(source) ? destination : source) + "\"");
    Status moved = renameNoReplace(source, destination, folders);
    if (moved && inOneRename)
        *inOneRename = true;
    if (moved || moved.error() != EXDEV)
        return moved;
    return place(Placement::Move, Existing::Kept, source, destination, nullptr);
}

namespace {

Status placeChecked(Placement how, Existing existing, std::string const& source, std::string const& destination,
    KnownItems const* known)
{
    if (!FileStore::isUsablePath(source) || !FileStore::isUsablePath(destination))
        return Status::refused("not a usable path: \"" + (FileStore::isUsablePath(source) ? destination : source) + "\"");
    if (existing == Existing::Replaced && !FileStore::isSingleComponent(FileStore::lastComponent(destination)))
        return Status::refused(destination + ": not one path component");
    return place(how, existing, source, destination, known);
}

}

Status replacementRefused(Placement how, std::string const& source, std::string const& destination)
{
    return checkReplaced(how, source, destination);
}

Status placeItem(Placement how, Existing existing, std::string const& source, std::string const& destination)
{
    return placeChecked(how, existing, source, destination, nullptr);
}

Status placeItem(Placement how, Existing existing, std::string const& source, std::string const& destination,
    KnownItems const& known)
{
    return placeChecked(how, existing, source, destination, existing == Existing::Kept ? &known : nullptr);
}

}
