#pragma once
// ItemPlacement: the one engine that puts an item at a full destination path by moving, copying or
// linking it. Two policies say what happens to an item already at the destination:
//
// Existing::Kept (storing): nothing is ever replaced. The placement refuses ("would replace an existing
// item") when anything, even a dangling link, is at the destination; it also refuses a missing source, a
// destination whose parent is not a folder (no folder is created) and a folder copied into itself.
//
// Existing::Replaced (the file-handling methods): the missing folders above the destination are created;
// what stands at the destination is replaced. Refused, nothing touched: a missing source for a move or
// copy; a destination that is a dangling link; a source and destination that are one item, however
// spelled (hard links, "a/./b", a linked parent folder, a source that is a link to the destination); a
// destination inside the source folder; a destination folder that holds the source.
//
// How nothing is lost. A new item is built under a temporary name beside the destination (see FileOps)
// and takes its place in one rename (RENAME_NOREPLACE when nothing may be replaced, an exchange when a
// folder is involved), so a failure at any step leaves the old destination and the source as they were
// and nothing incomplete under the destination's name. A move within one file system is a rename; when
// a replacing move fails after the source was renamed aside, it is renamed back, and should that fail
// too it is given a visible name (its own place, the destination, or one beside the destination) that
// the failure's message names. A move across file systems copies, flushes every copied file and folder
// and the destination's folder to disk, and only then removes the source; a source folder is first
// renamed aside to a temporary name, so that its removal, cut short, never leaves part of it under its
// name. Before building, temporary items that dead processes left in the destination's folder are
// removed, the first time the process places an item in that folder (so that many placements into one
// folder do not read it each time), and in the source's folder before a source folder is put aside.

#include "fs/FolderHandles.h"
#include "fs/Status.h"

#include <optional>
#include <string>
#include <sys/stat.h>

namespace quodrix {

enum class Placement {
    Move,
    Copy,
    Link,  // a symbolic link whose target text is the source exactly as passed
};

enum class Existing { Kept, Replaced };

Status placeItem(Placement how, Existing existing, std::string const& source, std::string const& destination);
// Why an Existing::Replaced placement would refuse to put `source` at `destination` ("SOURCE to
// DESTINATION: a link that leads nowhere is in the way"), without touching either; success when it would not.
Status replacementRefused(Placement how, std::string const& source, std::string const& destination);

// Renames an item without ever replacing anything: one rename with RENAME_NOREPLACE (EEXIST refused as
// "would replace an existing item"); across file systems, the Existing::Kept move of placeItem. It makes
// no check of its own before the rename, so a run of many renames in one folder takes time in proportion to
// their number.
// `inOneRename`, when given, tells whether the item was renamed in place (and so kept its identity) rather
// than copied across file systems.
// `folders`, when given, are the open folders that the rename goes through (see FolderHandles).
Status renameKept(std::string const& source, std::string const& destination, bool* inOneRename = nullptr,
    FolderHandles* folders = nullptr);

// What a caller found at the source and at the destination (lstat) just before placing: an item, or
// nothing (nullopt).
struct KnownItems {
    std::optional<struct stat> source;
    std::optional<struct stat> destination;
};

// The same placement, for a caller that has just looked at both paths (the journal does, for its record):
// a storing placement (Existing::Kept) takes what the caller found instead of looking again. A source
// found missing is looked at again, so that the refusal names the system's own cause.
Status placeItem(Placement how, Existing existing, std::string const& source, std::string const& destination,
    KnownItems const& known);

// Whether something exists at the path once symbolic links are followed (a dangling link does not count).
bool itemExists(std::string const& path);

// Creates the folder and every missing folder above it with default permissions; succeeds when the path
// is a folder afterwards.
Status createFolderTree(std::string const& path);

}
