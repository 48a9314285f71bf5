#pragma once
// ItemPlacement: putting one item at a full destination path by moving, copying or linking, replacing
// whatever stands there, with nothing lost when a step fails.
//
// The missing folders above the destination are created first. The new item is built under a hidden
// name beside the destination (a move renames the source there, or copies it across file systems) and
// then takes the destination's place in one rename; an existing folder is swapped out in one exchange and
// removed afterwards. So a failure at any step leaves the old destination and the source as they were.
//
// Refused (false, nothing touched): a missing source for a move or copy; a destination whose parent is
// not a folder after the attempt to create it; a destination that is a symbolic link whose target is
// missing (it counts as absent, but a name is in the way); a source and destination that are one item,
// however spelled (hard links, "a/./b", a linked parent folder, a source that is a link to the
// destination); a destination inside the source folder;
// and a destination folder that holds the source, which replacing it would destroy.

#include <string>

namespace quodrix {

enum class Placement {
    Move,
    Copy,
    Link,  // a symbolic link whose target text is the source exactly as passed
};

bool placeItem(Placement how, std::string const& source, std::string const& destination);

// Whether something exists at the path once symbolic links are followed (a dangling link does not count).
bool itemExists(std::string const& path);

// Creates the folder and every missing folder above it with default permissions; true when the path is
// a folder afterwards.
bool createFolderTree(std::string const& path);

}
